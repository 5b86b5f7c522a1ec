#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QPointF>

#include <map>
#include <vector>

#include "layout/layer_style.h"

namespace framora {

// The sheet grown by half of a stroke's width, so that an outline along the sheet's edge
// is drawn whole; computed once per width. No sheet: nothing is clipped.
class GrownSheets {
 public:
  explicit GrownSheets(const QPainterPath* sheet) : sheet_(sheet) {}
  const QPainterPath* forStroke(double width);
  const QPainterPath* sheet() const { return sheet_; }

  // Clip what is drawn within reach (device pixels) to the sheet, or to the sheet grown for a
  // stroke of that width. Setting a clip rasterises it over the whole band, so it is set only
  // for what comes near the sheet's edge, and only when it changes: deep inside the sheet
  // every clip in play lets every pixel through.
  void clipToSheet(QPainter& painter, const QRectF& reach);
  void clipForStroke(QPainter& painter, double width, const QRectF& reach);

 private:
  bool deepInside(const QRectF& reach) const;
  void clipTo(QPainter& painter, const QPainterPath* clip);

  const QPainterPath* sheet_;
  std::map<double, QPainterPath> grown_;
  const QPainterPath* current_ = nullptr;  // the clip set last
};

// A feature on the device: its lines and rings as one path, its points apart.
struct DeviceShape {
  QPainterPath path;
  std::vector<QPointF> points;
  bool areas = false;  // the rings bound surfaces, which fills cover
};

// Draws a feature with the symbol layers of look, only those of one pass when pass >= 0:
// fills with their outlines, lines with their dash patterns, markers at the points.
void PaintSymbol(QPainter& painter, const DeviceShape& shape, const SymbolLook& look, const SymbolScale& scale,
                 GrownSheets& clips, int pass = -1);

// A marker's outline on the device, centred at point before its offset: for tests and for
// the labels that keep clear of it.
QPainterPath MarkerPath(const SymbolLayerLook& marker, QPointF point, const SymbolScale& scale);

}  // namespace framora
