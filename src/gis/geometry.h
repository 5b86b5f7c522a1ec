#pragma once

#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <string>

namespace framora {

struct Envelope {
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  double width() const { return xmax - xmin; }
  double height() const { return ymax - ymin; }
};

bool IsEmptyGeometry(const OGRGeometry* geometry);
OGRGeometryUniquePtr CloneGeometry(const OGRGeometry& geometry);
Envelope EnvelopeOf(const OGRGeometry& geometry);
// A polygon going round the envelope's four corners.
OGRGeometryUniquePtr EnvelopePolygon(const Envelope& envelope);
// The envelope widened by distance on all four sides, as a polygon.
OGRGeometryUniquePtr ExpandedEnvelopePolygon(const Envelope& envelope, double distance);
OGRGeometryUniquePtr RingToPolygon(const OGRLinearRing& ring);
// Makes the geometry valid in place. Failures are ignored; a result that comes out
// empty is replaced by the geometry as it was.
void SimplifyGeometry(OGRGeometryUniquePtr& geometry);
// a with b taken away, both simplified first; nullptr when the operation fails.
OGRGeometryUniquePtr GeometryDifference(OGRGeometryUniquePtr a, OGRGeometryUniquePtr b);
// The coordinate system as WKT; empty for none.
std::string WktOf(const OGRSpatialReference* srs);

}  // namespace framora
