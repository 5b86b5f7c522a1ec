#include "layout/band_cut.h"

#include <QPolygonF>

#include <algorithm>

namespace framora {

namespace {

bool HasCurves(const QPainterPath& path) {
  for (int i = 0; i < path.elementCount(); ++i)
    if (path.elementAt(i).isCurveTo()) return true;
  return false;
}

bool Holds(const QRectF& rect, const QRectF& bounds) {
  return bounds.left() >= rect.left() && bounds.right() <= rect.right() && bounds.top() >= rect.top() &&
         bounds.bottom() <= rect.bottom();
}

bool Holds(const QRectF& rect, const QPointF& point) {
  return point.x() >= rect.left() && point.x() <= rect.right() && point.y() >= rect.top() &&
         point.y() <= rect.bottom();
}

// One pass of Sutherland and Hodgman's clipping: the ring on one side of an axis-parallel line.
QPolygonF ClipRingToSide(const QPolygonF& ring, bool alongX, double bound, bool keepGreater) {
  QPolygonF kept;
  if (ring.isEmpty()) return kept;
  const auto coordinate = [alongX](const QPointF& point) { return alongX ? point.x() : point.y(); };
  const auto inside = [&](const QPointF& point) {
    return keepGreater ? coordinate(point) >= bound : coordinate(point) <= bound;
  };
  QPointF previous = ring.back();
  bool previousInside = inside(previous);
  for (const QPointF& current : ring) {
    const bool currentInside = inside(current);
    if (currentInside != previousInside) {
      const double t = (bound - coordinate(previous)) / (coordinate(current) - coordinate(previous));
      QPointF crossing = previous + (current - previous) * t;
      if (alongX)
        crossing.setX(bound);
      else
        crossing.setY(bound);
      kept << crossing;
    }
    if (currentInside) kept << current;
    previous = current;
    previousInside = currentInside;
  }
  return kept;
}

// The part of segment a-b inside rect, as parameters t0 <= t1 along it (Liang and Barsky).
bool ClipSegment(const QPointF& a, const QPointF& b, const QRectF& rect, double& t0, double& t1) {
  t0 = 0;
  t1 = 1;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - rect.left(), rect.right() - a.x(), a.y() - rect.top(), rect.bottom() - a.y()};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;  // parallel to this side and beyond it
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  return true;
}

void AddLine(QPainterPath& path, const QPolygonF& line) {
  if (line.isEmpty()) return;
  path.moveTo(line.front());
  for (int i = 1; i < line.size(); ++i) path.lineTo(line[i]);
}

}  // namespace

QPainterPath CutAreasToRect(const QPainterPath& path, const QRectF& rect) {
  if (path.isEmpty() || Holds(rect, path.controlPointRect()) || HasCurves(path)) return path;
  QPainterPath cut;
  cut.setFillRule(path.fillRule());
  for (QPolygonF ring : path.toSubpathPolygons()) {
    if (ring.size() > 1 && ring.front() == ring.back()) ring.removeLast();
    ring = ClipRingToSide(ring, true, rect.left(), true);
    ring = ClipRingToSide(ring, true, rect.right(), false);
    ring = ClipRingToSide(ring, false, rect.top(), true);
    ring = ClipRingToSide(ring, false, rect.bottom(), false);
    if (ring.size() < 3) continue;
    cut.addPolygon(ring);
    cut.closeSubpath();
  }
  return cut;
}

QPainterPath CutLinesToRect(const QPainterPath& path, const QRectF& rect) {
  if (path.isEmpty() || Holds(rect, path.controlPointRect()) || HasCurves(path)) return path;
  QPainterPath cut;
  for (QPolygonF line : path.toSubpathPolygons()) {
    if (line.size() < 2) continue;  // a lone point strokes nothing
    if (Holds(rect, line.boundingRect())) {
      AddLine(cut, line);
      continue;
    }
    // A ring ends where it starts, with a join there: begun again at a vertex outside rect, it is
    // cut only outside and every join inside is drawn as before.
    if (line.size() > 2 && line.front() == line.back()) {
      const int corners = static_cast<int>(line.size()) - 1;
      int outside = 0;
      while (outside < corners && Holds(rect, line[outside])) ++outside;
      if (outside == corners) {
        AddLine(cut, line);
        continue;
      }
      QPolygonF turned;
      turned.reserve(corners + 1);
      for (int k = 0; k <= corners; ++k) turned << line[(outside + k) % corners];
      line = turned;
    }
    bool drawing = false;  // a piece is open and ends at the previous vertex
    for (int i = 1; i < line.size(); ++i) {
      const QPointF& a = line[i - 1];
      const QPointF& b = line[i];
      double t0 = 0, t1 = 1;
      if (!ClipSegment(a, b, rect, t0, t1)) {
        drawing = false;
        continue;
      }
      if (!drawing || t0 > 0) cut.moveTo(t0 > 0 ? a + (b - a) * t0 : a);
      cut.lineTo(t1 < 1 ? a + (b - a) * t1 : b);
      drawing = t1 >= 1;
    }
  }
  return cut;
}

}  // namespace framora
