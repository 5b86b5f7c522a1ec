#include "layout/symbol_painter.h"

#include <QPainterPathStroker>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

#include "layout/band_cut.h"

namespace framora {

const QPainterPath& SheetClips::grownFor(double width) {
  auto found = grown_.find(width);
  if (found == grown_.end()) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setMiterLimit(2);
    found = grown_.emplace(width, sheet_.united(stroker.createStroke(sheet_)).simplified()).first;
  }
  return found->second;
}

namespace {

// Beyond the band, how far a smoothed edge reaches into it.
constexpr double kSmoothedEdgePx = 4;

}  // namespace

void BandClips::clipToSheet(QPainter& painter, const QRectF& reach) {
  if (page_ != nullptr && !deepInside(reach)) clipTo(painter, page_->sheet());
}

void BandClips::clipForStroke(QPainter& painter, double width, const QRectF& reach) {
  if (page_ != nullptr && !deepInside(reach)) clipTo(painter, page_->grownFor(width));
}

QPainterPath BandClips::areasForBand(const QPainterPath& path) const {
  if (!band_.isValid()) return path;
  return CutAreasToRect(path, band_.adjusted(-kSmoothedEdgePx, -kSmoothedEdgePx, kSmoothedEdgePx, kSmoothedEdgePx));
}

QPainterPath BandClips::linesForBand(const QPainterPath& path, const QPen& pen) const {
  // A dash pattern would start afresh on every piece.
  if (!band_.isValid() || pen.style() != Qt::SolidLine) return path;
  // Half the width beside the line, a miter up to its limit in widths beyond a corner, a square
  // cap half the width beyond an end: twice as far is still near.
  const double reach = 2 * pen.widthF() * std::max(pen.miterLimit(), 1.0) + kSmoothedEdgePx;
  return CutLinesToRect(path, band_.adjusted(-reach, -reach, reach, reach));
}

bool BandClips::deepInside(const QRectF& reach) const {
  // A pixel of smoothed clip edge on either side.
  return reach.isValid() && page_->sheet().contains(reach.adjusted(-2, -2, 2, 2).translated(0, firstRow_));
}

void BandClips::clipTo(QPainter& painter, const QPainterPath& clip) {
  if (&clip == current_) return;
  painter.setClipPath(areasForBand(clip.translated(0, -firstRow_)));
  current_ = &clip;
}

namespace {

constexpr double kDegree = M_PI / 180;

QPointF Polar(double radius, double degrees) {
  return QPointF(radius * std::sin(degrees * kDegree), -radius * std::cos(degrees * kDegree));
}

bool IsOutlineOnly(MarkerShape shape) {
  return shape == MarkerShape::Cross || shape == MarkerShape::Cross2 || shape == MarkerShape::Line ||
         shape == MarkerShape::ArrowHead || shape == MarkerShape::Asterisk;
}

// The shape within the square -1..1 (y down), as QGIS draws its simple markers.
QPainterPath UnitShape(MarkerShape shape) {
  QPainterPath path;
  QPolygonF polygon;
  switch (shape) {
    case MarkerShape::Circle:
      path.addEllipse(QRectF(-1, -1, 2, 2));
      return path;
    case MarkerShape::SemiCircle:
      path.arcTo(-1, -1, 2, 2, 0, 180);
      path.lineTo(0, 0);
      return path;
    case MarkerShape::ThirdCircle:
      path.arcTo(-1, -1, 2, 2, 90, 120);
      path.lineTo(0, 0);
      return path;
    case MarkerShape::QuarterCircle:
      path.arcTo(-1, -1, 2, 2, 90, 90);
      path.lineTo(0, 0);
      return path;
    case MarkerShape::Cross:
      path.moveTo(-1, 0);
      path.lineTo(1, 0);
      path.moveTo(0, -1);
      path.lineTo(0, 1);
      return path;
    case MarkerShape::Cross2:
      path.moveTo(-1, -1);
      path.lineTo(1, 1);
      path.moveTo(1, -1);
      path.lineTo(-1, 1);
      return path;
    case MarkerShape::Asterisk:
      path.moveTo(-1, 0);
      path.lineTo(1, 0);
      path.moveTo(0, -1);
      path.lineTo(0, 1);
      path.moveTo(-0.7071, -0.7071);
      path.lineTo(0.7071, 0.7071);
      path.moveTo(0.7071, -0.7071);
      path.lineTo(-0.7071, 0.7071);
      return path;
    case MarkerShape::Line:
      path.moveTo(0, -1);
      path.lineTo(0, 1);
      return path;
    case MarkerShape::ArrowHead:
      path.moveTo(0, 0);
      path.lineTo(-1, -1);
      path.moveTo(0, 0);
      path.lineTo(-1, 1);
      return path;
    case MarkerShape::Square:
      polygon = QPolygonF(QRectF(QPointF(-1, -1), QPointF(1, 1)));
      break;
    case MarkerShape::QuarterSquare:
      polygon = QPolygonF(QRectF(QPointF(-1, -1), QPointF(0, 0)));
      break;
    case MarkerShape::HalfSquare:
      polygon = QPolygonF(QRectF(QPointF(-1, -1), QPointF(0, 1)));
      break;
    case MarkerShape::DiagonalHalfSquare:
      polygon << QPointF(-1, -1) << QPointF(1, 1) << QPointF(-1, 1);
      break;
    case MarkerShape::SquareWithCorners: {
      const double v = 0.6072;
      polygon << QPointF(-v, 1) << QPointF(v, 1) << QPointF(1, v) << QPointF(1, -v) << QPointF(v, -1)
              << QPointF(-v, -1) << QPointF(-1, -v) << QPointF(-1, v);
      break;
    }
    case MarkerShape::Diamond:
      polygon << QPointF(-1, 0) << QPointF(0, 1) << QPointF(1, 0) << QPointF(0, -1);
      break;
    case MarkerShape::Trapezoid:
      polygon << QPointF(0.5, -0.5) << QPointF(1, 0.5) << QPointF(-1, 0.5) << QPointF(-0.5, -0.5);
      break;
    case MarkerShape::Pentagon:
      for (int i = 0; i < 5; ++i) polygon << Polar(1, 288 - 72.0 * i);
      break;
    case MarkerShape::Hexagon:
      for (int i = 0; i < 6; ++i) polygon << Polar(1, 240 - 60.0 * i);
      break;
    case MarkerShape::Octagon:
      for (int i = 0; i < 8; ++i) polygon << Polar(1, 22.5 + 45.0 * i);
      break;
    case MarkerShape::Triangle:
      polygon << QPointF(-1, 1) << QPointF(1, 1) << QPointF(0, -1);
      break;
    case MarkerShape::EquilateralTriangle:
      polygon << QPointF(-0.8660, 0.5) << QPointF(0.8660, 0.5) << QPointF(0, -1);
      break;
    case MarkerShape::LeftHalfTriangle:
      polygon << QPointF(0, 1) << QPointF(1, 1) << QPointF(0, -1);
      break;
    case MarkerShape::RightHalfTriangle:
      polygon << QPointF(-1, 1) << QPointF(0, 1) << QPointF(0, -1);
      break;
    case MarkerShape::Star: {
      const double inner = std::cos(72 * kDegree) / std::cos(36 * kDegree);
      for (int i = 0; i < 10; ++i) polygon << Polar(i % 2 == 0 ? 1 : inner, 36.0 * i);
      break;
    }
    case MarkerShape::Arrow:
      polygon << QPointF(0, -1) << QPointF(0.5, -0.5) << QPointF(0.25, -0.5) << QPointF(0.25, 1)
              << QPointF(-0.25, 1) << QPointF(-0.25, -0.5) << QPointF(-0.5, -0.5);
      break;
    case MarkerShape::FilledArrowHead:
      polygon << QPointF(0, 0) << QPointF(-1, 1) << QPointF(-1, -1);
      break;
    case MarkerShape::CrossFill:
      polygon << QPointF(-1, -0.2) << QPointF(-1, 0.2) << QPointF(-0.2, 0.2) << QPointF(-0.2, 1) << QPointF(0.2, 1)
              << QPointF(0.2, 0.2) << QPointF(1, 0.2) << QPointF(1, -0.2) << QPointF(0.2, -0.2) << QPointF(0.2, -1)
              << QPointF(-0.2, -1) << QPointF(-0.2, -0.2);
      break;
  }
  path.addPolygon(polygon);
  path.closeSubpath();
  return path;
}

// A pen as QGIS makes it: custom dashes are lengths on paper, which Qt counts in pen widths
// (a pen thinner than a pixel counting as one).
QPen StrokePen(const SymbolLayerLook& layer, const SymbolScale& scale) {
  const double width = scale.pixels(layer.strokeWidth);
  QPen pen(layer.strokeColor, width, layer.penStyle, layer.cap, layer.join);
  if (!layer.dashes.empty()) {
    const double unit = std::max(width, 1.0);
    QVector<qreal> pattern;
    bool any = false;
    for (const StyleSize& dash : layer.dashes) {
      pattern.push_back(std::max(scale.pixels(dash) / unit, 0.0));
      any = any || pattern.back() > 0;
    }
    // A pattern of nothing but zeros draws nothing, as in QGIS.
    if (any)
      pen.setDashPattern(pattern);
    else
      pen.setStyle(Qt::NoPen);
  }
  return pen;
}

void PaintMarker(QPainter& painter, const SymbolLayerLook& layer, QPointF point, const SymbolScale& scale) {
  const QPainterPath marker = MarkerPath(layer, point, scale);
  if (!IsOutlineOnly(layer.shape) && layer.fill) painter.fillPath(marker, layer.fillColor);
  if (layer.stroke) painter.strokePath(marker, StrokePen(layer, scale));
}

// The places along a line where a marker line sets its markers, each with the line's
// direction there (clockwise degrees, y down).
std::vector<std::pair<QPointF, double>> MarkerPlaces(const QPolygonF& line, const SymbolLayerLook& layer,
                                                     const SymbolScale& scale) {
  std::vector<std::pair<QPointF, double>> places;
  if (line.size() < 2) return places;
  const auto direction = [](QPointF from, QPointF to) {
    return std::atan2(to.y() - from.y(), to.x() - from.x()) * 180 / M_PI;
  };
  const int last = line.size() - 1;
  switch (layer.placement) {
    case MarkerPlacement::FirstVertex:
      places.emplace_back(line[0], direction(line[0], line[1]));
      return places;
    case MarkerPlacement::LastVertex:
      places.emplace_back(line[last], direction(line[last - 1], line[last]));
      return places;
    case MarkerPlacement::Vertex:
      for (int i = 0; i <= last; ++i) {
        // Between two segments the marker takes the mean of their directions.
        const double before = i > 0 ? direction(line[i - 1], line[i]) : direction(line[0], line[1]);
        const double after = i < last ? direction(line[i], line[i + 1]) : before;
        double turn = after - before;
        if (turn > 180) turn -= 360;
        if (turn < -180) turn += 360;
        places.emplace_back(line[i], before + turn / 2);
      }
      return places;
    case MarkerPlacement::CentralPoint:
    case MarkerPlacement::Interval:
      break;
  }
  double length = 0;
  for (int i = 1; i <= last; ++i) length += QLineF(line[i - 1], line[i]).length();
  std::vector<double> distances;
  if (layer.placement == MarkerPlacement::CentralPoint) {
    distances.push_back(length / 2);
  } else {
    const double interval = scale.pixels(layer.interval);
    if (interval <= 0) return places;
    for (double at = scale.pixels(layer.offsetAlongLine); at <= length + 1e-9 && distances.size() < 100000; at += interval)
      distances.push_back(at);
  }
  double walked = 0;
  size_t next = 0;
  for (int i = 1; i <= last && next < distances.size(); ++i) {
    const QLineF segment(line[i - 1], line[i]);
    while (next < distances.size() && distances[next] <= walked + segment.length() + 1e-9) {
      const double along = segment.length() > 0 ? (distances[next] - walked) / segment.length() : 0;
      places.emplace_back(segment.pointAt(std::clamp(along, 0.0, 1.0)), direction(line[i - 1], line[i]));
      ++next;
    }
    walked += segment.length();
  }
  return places;
}

// A ring's area (signed) and centroid.
std::pair<double, QPointF> RingMoments(const QPolygonF& ring) {
  double area = 0, x = 0, y = 0;
  for (int i = 0; i < ring.size(); ++i) {
    const QPointF& a = ring[i];
    const QPointF& b = ring[(i + 1) % ring.size()];
    const double cross = a.x() * b.y() - b.x() * a.y();
    area += cross;
    x += (a.x() + b.x()) * cross;
    y += (a.y() + b.y()) * cross;
  }
  area /= 2;
  if (area == 0) return {0, ring.isEmpty() ? QPointF() : ring.front()};
  return {area, QPointF(x / (6 * area), y / (6 * area))};
}

// The centroid of each surface of a shape, holes taken out: a ring inside another is its hole.
// With largestOnly, only the largest surface's.
std::vector<QPointF> SurfaceCentroids(const QPainterPath& path, bool largestOnly) {
  const QList<QPolygonF> rings = path.toSubpathPolygons();
  // Each ring's moments and bounds once: a surface of many holes is compared pair by pair.
  std::vector<std::pair<double, QPointF>> moments;
  std::vector<QRectF> bounds;
  for (const QPolygonF& ring : rings) {
    moments.push_back(RingMoments(ring));
    moments.back().first = std::fabs(moments.back().first);
    bounds.push_back(ring.boundingRect());
  }
  const auto inside = [&](int inner, int outer) {
    return !rings[inner].isEmpty() && bounds[outer].contains(rings[inner].front()) &&
           rings[outer].containsPoint(rings[inner].front(), Qt::OddEvenFill);
  };
  std::vector<bool> isHole(rings.size(), false);
  for (int i = 0; i < rings.size(); ++i)
    for (int j = 0; j < rings.size() && !isHole[i]; ++j)
      if (i != j && moments[j].first > moments[i].first && inside(i, j)) isHole[i] = true;
  std::vector<QPointF> centroids;
  double largest = -1;
  for (int i = 0; i < rings.size(); ++i) {
    if (isHole[i]) continue;
    const auto& [outerArea, outerCentre] = moments[i];
    double area = outerArea;
    QPointF weighted = outerCentre * area;
    for (int j = 0; j < rings.size(); ++j)
      if (isHole[j] && inside(j, i)) {
        const auto& [holeArea, holeCentre] = moments[j];
        area -= holeArea;
        weighted -= holeCentre * holeArea;
      }
    if (area <= 0) continue;
    const QPointF centre = weighted / area;
    if (!largestOnly) {
      centroids.push_back(centre);
    } else if (area > largest) {
      largest = area;
      centroids.assign(1, centre);
    }
  }
  return centroids;
}

// The device pixels a shape covers, its points included.
QRectF ShapeBounds(const DeviceShape& shape) {
  QRectF bounds = shape.path.isEmpty() ? QRectF() : shape.path.boundingRect();
  for (const QPointF& point : shape.points) bounds |= QRectF(point.x() - 0.5, point.y() - 0.5, 1, 1);
  return bounds;
}

QRectF Grown(const QRectF& bounds, double reach) { return bounds.adjusted(-reach, -reach, reach, reach); }

// How far a marker may reach from its point, generously: any shape, turned, with its outline
// and offset.
double MarkerReach(const SymbolLayerLook& marker, const SymbolScale& scale) {
  return std::fabs(scale.pixels(marker.size)) + std::fabs(scale.pixels(marker.strokeWidth)) +
         std::fabs(scale.pixels(marker.offsetX)) + std::fabs(scale.pixels(marker.offsetY)) + 1;
}

double MarkersReach(const SymbolLook& markers, const SymbolScale& scale) {
  double reach = 0;
  for (const SymbolLayerLook& marker : markers.layers) reach = std::max(reach, MarkerReach(marker, scale));
  return reach;
}

}  // namespace

QPainterPath MarkerPath(const SymbolLayerLook& marker, QPointF point, const SymbolScale& scale) {
  const double half = scale.pixels(marker.size) / 2;
  QTransform transform;
  transform.translate(point.x() + scale.pixels(marker.offsetX), point.y() + scale.pixels(marker.offsetY));
  transform.rotate(marker.angle);
  transform.scale(half, half);
  return transform.map(UnitShape(marker.shape));
}

void PaintSymbol(QPainter& painter, const DeviceShape& shape, const SymbolLook& look, const SymbolScale& scale,
                 BandClips& clips, int pass) {
  // Every line at its exact width and smoothed: a floor of one pixel would double thin lines
  // at some resolutions and make vector output depend on the resolution. Switching smoothing
  // rasterises the clip again, so only when it is off.
  if (!painter.testRenderHint(QPainter::Antialiasing)) painter.setRenderHint(QPainter::Antialiasing, true);
  const QRectF bounds = ShapeBounds(shape);
  for (const SymbolLayerLook& layer : look.layers) {
    if (pass >= 0 && layer.pass != pass) continue;
    if (layer.kind == SymbolLayerLook::Kind::Marker) {
      if (shape.points.empty()) continue;
      clips.clipToSheet(painter, Grown(bounds, MarkerReach(layer, scale)));
      for (const QPointF& point : shape.points) PaintMarker(painter, layer, point, scale);
      continue;
    }
    if (layer.kind == SymbolLayerLook::Kind::CentroidFill) {
      if (shape.path.isEmpty() || !shape.areas || !layer.markers) continue;
      clips.clipToSheet(painter, Grown(bounds, MarkersReach(*layer.markers, scale)));
      for (const QPointF& point : SurfaceCentroids(shape.path, !layer.onEveryPart))
        for (const SymbolLayerLook& marker : layer.markers->layers)
          if (marker.kind == SymbolLayerLook::Kind::Marker) PaintMarker(painter, marker, point, scale);
      continue;
    }
    if (layer.kind == SymbolLayerLook::Kind::MarkerLine) {
      if (shape.path.isEmpty() || !layer.markers) continue;
      clips.clipToSheet(painter, Grown(bounds, MarkersReach(*layer.markers, scale)));
      for (const QPolygonF& line : shape.path.toSubpathPolygons())
        for (const auto& [point, angle] : MarkerPlaces(line, layer, scale))
          for (SymbolLayerLook marker : layer.markers->layers) {
            if (marker.kind != SymbolLayerLook::Kind::Marker) continue;
            if (layer.rotateMarkers) marker.angle += angle;
            PaintMarker(painter, marker, point, scale);
          }
      continue;
    }
    if (shape.path.isEmpty()) continue;
    if (layer.kind == SymbolLayerLook::Kind::Fill && layer.fill && shape.areas) {
      clips.clipToSheet(painter, bounds);
      painter.fillPath(clips.areasForBand(shape.path), QBrush(layer.fillColor, layer.brush));
    }
    if (layer.stroke) {
      const QPen pen = StrokePen(layer, scale);
      clips.clipForStroke(painter, pen.widthF(), Grown(bounds, pen.widthF()));
      painter.strokePath(clips.linesForBand(shape.path, pen), pen);
    }
  }
}

}  // namespace framora
