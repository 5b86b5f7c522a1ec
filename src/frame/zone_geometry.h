#pragma once

#include <ogr_geometry.h>

#include "geodesy/gauss_zone.h"

namespace framora {

// A geometry in longitude and latitude carried into the zone's plane (x the easting),
// vertex by vertex. Nothing when a vertex cannot be projected.
OGRGeometryUniquePtr GeometryToZone(const OGRGeometry& geographic, const GaussZone& zone);

// A plane geometry carried back to longitude and latitude. Straight plane edges are cut into
// pieces no longer than maxSegment metres first, so that they keep their course. Nothing
// when a vertex has no inverse.
OGRGeometryUniquePtr GeometryFromZone(const OGRGeometry& plane, const GaussZone& zone, double maxSegment);

}  // namespace framora
