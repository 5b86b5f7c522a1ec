#include <cmath>
#include <limits>

#include "frame/standard/standard_map.h"
#include "gis/geometry.h"
#include "util/framora_error.h"

namespace framora {

namespace {

// Rings count as parts, as the desktop GIS counts them: a polygon with a hole has two.
int PartCount(const OGRGeometry& geometry) {
  switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbPolygon:
      return geometry.toPolygon()->IsEmpty() ? 0 : 1 + geometry.toPolygon()->getNumInteriorRings();
    case wkbMultiPolygon: {
      int parts = 0;
      for (const OGRPolygon* polygon : *geometry.toMultiPolygon()) parts += PartCount(*polygon);
      return parts;
    }
    case wkbLineString:
      return geometry.IsEmpty() ? 0 : 1;
    case wkbMultiLineString:
      return geometry.toMultiLineString()->getNumGeometries();
    default:
      return 0;
  }
}

// The points of the one part of a geometry that has exactly one.
const OGRSimpleCurve* OnlyPart(const OGRGeometry& geometry) {
  switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbPolygon:
      return geometry.toPolygon()->getExteriorRing();
    case wkbMultiPolygon:
      return geometry.toMultiPolygon()->getGeometryRef(0)->getExteriorRing();
    case wkbLineString:
      return geometry.toLineString();
    case wkbMultiLineString:
      return geometry.toMultiLineString()->getGeometryRef(0);
    default:
      return nullptr;
  }
}

}  // namespace

void TstandardMap::ReadSheetCorners() {
  if (IsEmptyGeometry(sheetGeometry())) {
    throw SheetSkipped("图形对象个数错误");
  }
  // Sheets drawn with arcs are read along their straightened outline.
  OGRGeometryUniquePtr straightened;
  const OGRGeometry* shape = sheetGeometry();
  if (shape->hasCurveGeometry()) {
    straightened.reset(shape->getLinearGeometry());
    shape = straightened.get();
  }
  if (shape == nullptr || PartCount(*shape) != 1) {
    throw SheetSkipped("图形对象个数错误");
  }
  const OGRSimpleCurve* part = OnlyPart(*shape);
  const int pointCount = part == nullptr ? 0 : part->getNumPoints();
  if (pointCount != 4 && pointCount != 5) {
    throw SheetSkipped("对象节点个数错误,可能不是结合图表,因为接幅表只有4，或5个节点");
  }

  SheetPoint points[4];
  for (int i = 0; i < 4; ++i) points[i] = SheetPoint{part->getX(i), part->getY(i)};
  const Envelope extent = EnvelopeOf(*shape);
  const SheetPoint envelopeCorners[4] = {
      {extent.xmin, extent.ymin}, {extent.xmin, extent.ymax}, {extent.xmax, extent.ymax}, {extent.xmax, extent.ymin}};
  for (int corner = 0; corner < 4; ++corner) {
    // Nearest vertex by the sum of the coordinate differences; the earlier one wins a tie.
    double best = std::numeric_limits<double>::infinity();
    for (const SheetPoint& point : points) {
      const double distance =
          std::fabs(point.x - envelopeCorners[corner].x) + std::fabs(point.y - envelopeCorners[corner].y);
      if (distance < best) {
        best = distance;
        innerCorners_[corner] = point;
      }
    }
  }

  double gapX = frameGap(), gapY = frameGap();
  if (settings_.GeographicInput) {
    geoOrigin_ = innerCorners_[kLowerLeft];
    geoWidth_ = innerCorners_[kUpperRight].x - innerCorners_[kLowerLeft].x;
    geoHeight_ = innerCorners_[kUpperRight].y - innerCorners_[kLowerLeft].y;
    gapLon_ = EastOffsetDegrees(frameGap(), geoOrigin_.y, geoOrigin_.x);
    gapLat_ = NorthOffsetDegrees(frameGap(), geoOrigin_.y, geoOrigin_.x);
    gapX = gapLon_;
    gapY = gapLat_;
  }
  const double outwardX[4] = {-gapX, -gapX, gapX, gapX};
  const double outwardY[4] = {-gapY, gapY, gapY, -gapY};
  for (int corner = 0; corner < 4; ++corner)
    outerCorners_[corner] =
        SheetPoint{innerCorners_[corner].x + outwardX[corner], innerCorners_[corner].y + outwardY[corner]};
}

Envelope TstandardMap::InnerFrameBox() const {
  OGRLinearRing ring;
  for (const SheetPoint& corner : innerCorners_) ring.addPoint(corner.x, corner.y);
  ring.closeRings();
  OGRGeometryUniquePtr polygon = RingToPolygon(ring);
  SimplifyGeometry(polygon);
  if (IsEmptyGeometry(polygon.get())) {
    // A sheet whose corners collapsed still has their extent.
    Envelope box{innerCorners_[0].x, innerCorners_[0].y, innerCorners_[0].x, innerCorners_[0].y};
    for (const SheetPoint& corner : innerCorners_) {
      box.xmin = std::min(box.xmin, corner.x);
      box.ymin = std::min(box.ymin, corner.y);
      box.xmax = std::max(box.xmax, corner.x);
      box.ymax = std::max(box.ymax, corner.y);
    }
    return box;
  }
  return EnvelopeOf(*polygon);
}

OuterBounds TstandardMap::OuterFrameBounds() const {
  return OuterBounds{outerCorners_[kUpperLeft].x,
                     std::min(outerCorners_[kLowerLeft].y, outerCorners_[kLowerRight].y),
                     outerCorners_[kUpperLeft].y,
                     std::min(outerCorners_[kUpperRight].x, outerCorners_[kLowerRight].x)};
}

std::optional<SheetPoint> TstandardMap::IntersectLines(double a1, double b1, double a2, double b2) {
  if (std::fabs(b2 - b1) < 1e-6) return std::nullopt;
  const double x = (a1 - a2) / (b2 - b1);
  return SheetPoint{x, a1 + b1 * x};
}

std::optional<SheetPoint> TstandardMap::IntersectSegmentLines(SheetPoint p1, SheetPoint p2, SheetPoint p3,
                                                              SheetPoint p4) {
  const bool firstVertical = std::fabs(p1.x - p2.x) < 1e-6;
  const bool secondVertical = std::fabs(p3.x - p4.x) < 1e-6;
  if (firstVertical && secondVertical) return std::nullopt;
  const auto slope = [](SheetPoint a, SheetPoint b) { return (b.y - a.y) / (b.x - a.x); };
  if (firstVertical) {
    const double b = slope(p3, p4);
    return SheetPoint{p1.x, p3.y + b * (p1.x - p3.x)};
  }
  if (secondVertical) {
    const double b = slope(p1, p2);
    return SheetPoint{p3.x, p1.y + b * (p3.x - p1.x)};
  }
  const double b1 = slope(p1, p2);
  const double b2 = slope(p3, p4);
  return IntersectLines(p1.y - b1 * p1.x, b1, p3.y - b2 * p3.x, b2);
}

}  // namespace framora
