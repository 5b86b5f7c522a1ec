#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QPointF>

#include <map>
#include <utility>
#include <vector>

#include "layout/layer_style.h"

namespace framora {

// A map's sheet on the page, in the device pixels of the page's first row, and the sheet grown
// by half of a stroke's width for each width asked so far, so that an outline along the
// sheet's edge is drawn whole. Growing is costly: one of these serves every band of a page.
class SheetClips {
 public:
  explicit SheetClips(QPainterPath sheet) : sheet_(std::move(sheet)) {}
  const QPainterPath& sheet() const { return sheet_; }
  const QPainterPath& grownFor(double width);

 private:
  QPainterPath sheet_;
  std::map<double, QPainterPath> grown_;
};

// What one drawing of a layer on a band clips to, and the band itself. Setting a clip
// rasterises it over the whole band, so it is set only for what comes near the sheet's edge,
// and only when it changes: deep inside the sheet every clip in play lets every pixel through.
// Shapes and clips reaching far beyond the band are cut down to it first (see band_cut.h).
class BandClips {
 public:
  // page: nothing is clipped when null; firstRow: the page's row at the band's row 0; band: the
  // band's pixels, or none when nothing is to be cut.
  BandClips(SheetClips* page, int firstRow, QRectF band = QRectF())
      : page_(page), firstRow_(firstRow), band_(band) {}

  // Clip what is drawn within reach (band pixels) to the sheet, or to the sheet grown for a
  // stroke of that width.
  void clipToSheet(QPainter& painter, const QRectF& reach);
  void clipForStroke(QPainter& painter, double width, const QRectF& reach);

  // What a fill of path, or a stroke of it with pen, needs to paint the band.
  QPainterPath areasForBand(const QPainterPath& path) const;
  QPainterPath linesForBand(const QPainterPath& path, const QPen& pen) const;

 private:
  bool deepInside(const QRectF& reach) const;
  void clipTo(QPainter& painter, const QPainterPath& clip);

  SheetClips* page_;
  int firstRow_;
  QRectF band_;
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
                 BandClips& clips, int pass = -1);

// A marker's outline on the device, centred at point before its offset: for tests and for
// the labels that keep clear of it.
QPainterPath MarkerPath(const SymbolLayerLook& marker, QPointF point, const SymbolScale& scale);

}  // namespace framora
