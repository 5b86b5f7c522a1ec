#pragma once

#include <ogr_api.h>
#include <ogr_geometry.h>

#include <memory>

namespace framora::testing {

inline double AreaOf(const OGRGeometry& geometry) {
  return OGR_G_Area(OGRGeometry::ToHandle(const_cast<OGRGeometry*>(&geometry)));
}

inline OGRGeometryUniquePtr LineBetween(double x1, double y1, double x2, double y2) {
  auto line = std::make_unique<OGRLineString>();
  line->addPoint(x1, y1);
  line->addPoint(x2, y2);
  return OGRGeometryUniquePtr(line.release());
}

}  // namespace framora::testing
