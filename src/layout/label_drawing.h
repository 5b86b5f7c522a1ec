#pragma once

#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "layout/filter_expression.h"
#include "layout/layer_style.h"

namespace framora {

// A layer's simple labeling as its QGIS project sets it.
struct LabelStyle {
  std::string fieldName;
  std::shared_ptr<const FilterExpression> expression;  // the text, when it is an expression
  std::string fontFamily;
  StyleSize fontSize{10, SizeUnit::Points};
  bool bold = false, italic = false, underline = false;
  int capitalization = 0;  // QGIS's: 1 all upper case, 2 all lower case
  QColor color = Qt::black;
  double lineHeight = 1;   // times the face's own line spacing
  int lineAlign = 2;       // lines of a label: -1 left, 0 centred, 1 right; else as the placement puts them
  bool buffer = false;
  StyleSize bufferSize{1};
  QColor bufferColor = Qt::white;
  Qt::PenJoinStyle bufferJoin = Qt::RoundJoin;
  bool bufferFill = true;
  // QGIS's placement: 0 around a point, 1 over or beside it (quadrant), 2 and 3 along lines,
  // 4 horizontal, 5 free, 6 ordered around a point, 7 along a polygon's outline.
  int placement = 0;
  int lineFlags = 10;      // 1 on the line, 2 above, 4 below, 8 above as the map shows it
  int quadrant = 4;        // 0..8, rows above, beside and below, columns left, centre, right
  StyleSize distance{0};
  StyleSize offsetX{0}, offsetY{0};  // y down
  double rotation = 0;     // clockwise degrees
  bool displayAll = false; // labels may overlap
  bool scaleLimited = false;
  double closestScale = 0, farthestScale = 0;  // denominators; 0 open
  std::set<std::string> fixedProperties;  // settings set by expressions, drawn with their fixed values

  bool shownAtScale(double scale) const;
};

// Reads a layer's <labeling>. Nothing when it has none that is drawn; problem then names what
// the picture leaves out, or stays empty when there is nothing to draw.
std::optional<LabelStyle> ReadLabelStyle(const std::string& labelingXml, std::string& problem);

// A layer whose features are labelled.
struct LabelSource {
  OGRLayer* data = nullptr;
  OGRCoordinateTransformation* toMap = nullptr;  // when the layer's coordinate system is not the map's
  OGRCoordinateTransformation* toLayer = nullptr;
  const LabelStyle* labels = nullptr;
  const LayerStyle* style = nullptr;  // its markers keep the labels of points clear
};

// The part of the map a frame shows: its extent within its clip shape, when it has one.
OGRGeometryUniquePtr ShownArea(double xmin, double ymin, double xmax, double ymax, const OGRGeometry* clipShape);

// The labels of one map, placed once for the whole page so that every band draws the same.
class MapLabels {
 public:
  // Labels the features of layers (the top of the map first, whose labels win a place)
  // within visibleArea (map coordinates); toDevice maps to the page's device pixels.
  void place(const std::vector<LabelSource>& layers, const OGRGeometry& visibleArea, const QTransform& toDevice,
             const SymbolScale& scale, double mapScale);
  // Draws the labels reaching into rows [firstRow, firstRow + rowCount), whole.
  void draw(QPainter& painter, int firstRow, int rowCount) const;
  size_t size() const { return labels_.size(); }
  // Where the labels lie on the page, device pixels: for tests.
  std::vector<QRectF> boxes() const;

 private:
  struct Placed {
    QPainterPath text;   // the glyphs, page device pixels
    QPolygonF box;       // the text's box, for keeping labels apart
    QRectF bounds;       // the box's bounds
    QRectF reach;        // everything drawn, buffer included
    const LabelStyle* style = nullptr;
    double bufferWidth = 0;
  };
  bool fits(const QPolygonF& box) const;
  void add(Placed placed);
  // The cells of a square grid over the page that bounds meet; none when they are too many.
  static std::vector<std::int64_t> Cells(const QRectF& bounds);
  std::vector<Placed> labels_;
  // Which labels' boxes meet each cell, so that a new label is held against its neighbours
  // only; boxes meeting too many cells are held against every label.
  std::unordered_map<std::int64_t, std::vector<size_t>> cells_;
  std::vector<size_t> large_;
};

}  // namespace framora
