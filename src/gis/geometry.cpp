#include "gis/geometry.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <ogr_api.h>

namespace framora {

bool IsEmptyGeometry(const OGRGeometry* geometry) { return geometry == nullptr || geometry->IsEmpty(); }

OGRGeometryUniquePtr CloneGeometry(const OGRGeometry& geometry) { return OGRGeometryUniquePtr(geometry.clone()); }

Envelope EnvelopeOf(const OGRGeometry& geometry) {
  OGREnvelope envelope;
  geometry.getEnvelope(&envelope);
  return Envelope{envelope.MinX, envelope.MinY, envelope.MaxX, envelope.MaxY};
}

OGRGeometryUniquePtr EnvelopePolygon(const Envelope& envelope) {
  auto ring = std::make_unique<OGRLinearRing>();
  // Clockwise from the lower left, as the desktop GIS stores outer rings.
  ring->addPoint(envelope.xmin, envelope.ymin);
  ring->addPoint(envelope.xmin, envelope.ymax);
  ring->addPoint(envelope.xmax, envelope.ymax);
  ring->addPoint(envelope.xmax, envelope.ymin);
  ring->closeRings();
  auto polygon = std::make_unique<OGRPolygon>();
  polygon->addRingDirectly(ring.release());
  return OGRGeometryUniquePtr(polygon.release());
}

OGRGeometryUniquePtr ExpandedEnvelopePolygon(const Envelope& envelope, double distance) {
  return EnvelopePolygon(Envelope{envelope.xmin - distance, envelope.ymin - distance, envelope.xmax + distance,
                                  envelope.ymax + distance});
}

OGRGeometryUniquePtr RingToPolygon(const OGRLinearRing& ring) {
  auto polygon = std::make_unique<OGRPolygon>();
  polygon->addRing(const_cast<OGRLinearRing*>(&ring));
  polygon->closeRings();
  return OGRGeometryUniquePtr(polygon.release());
}

namespace {

// Repair may turn a polygon without area into lines; such leftovers count as nothing,
// as a simplified polygon only holds polygons.
OGRGeometryUniquePtr KeepDimension(OGRGeometryUniquePtr geometry, int dimension) {
  if (geometry->getDimension() == dimension && wkbFlatten(geometry->getGeometryType()) != wkbGeometryCollection)
    return geometry;
  auto kept = dimension == 2 ? OGRGeometryUniquePtr(new OGRMultiPolygon)
              : dimension == 1 ? OGRGeometryUniquePtr(new OGRMultiLineString)
                               : OGRGeometryUniquePtr(new OGRMultiPoint);
  auto add = [&](const OGRGeometry& part) {
    if (part.getDimension() == dimension && !part.IsEmpty()) kept->toGeometryCollection()->addGeometry(&part);
  };
  if (OGR_GT_IsSubClassOf(wkbFlatten(geometry->getGeometryType()), wkbGeometryCollection)) {
    for (const OGRGeometry* part : *geometry->toGeometryCollection()) add(*part);
  } else {
    add(*geometry);
  }
  if (kept->toGeometryCollection()->getNumGeometries() == 1)
    return OGRGeometryUniquePtr(kept->toGeometryCollection()->getGeometryRef(0)->clone());
  return kept;
}

}  // namespace

void SimplifyGeometry(OGRGeometryUniquePtr& geometry) {
  if (IsEmptyGeometry(geometry.get())) return;
  const OGRwkbGeometryType type = wkbFlatten(geometry->getGeometryType());
  if (type == wkbPoint || type == wkbMultiPoint) return;
  OGRGeometryUniquePtr kept = CloneGeometry(*geometry);
  if (type == wkbLinearRing) geometry = RingToPolygon(*geometry->toLinearRing());
  if (geometry->IsValid()) return;
  CPLErrorReset();
  OGRGeometryUniquePtr valid(geometry->MakeValid());
  if (!valid) return;  // failure ignored: the geometry stays as it was
  valid = KeepDimension(std::move(valid), geometry->getDimension());
  if (valid->IsEmpty()) {
    geometry = std::move(kept);
    return;
  }
  geometry = std::move(valid);
}

OGRGeometryUniquePtr GeometryDifference(OGRGeometryUniquePtr a, OGRGeometryUniquePtr b) {
  if (!a) return nullptr;
  if (IsEmptyGeometry(b.get())) return a;
  SimplifyGeometry(a);
  SimplifyGeometry(b);
  return OGRGeometryUniquePtr(a->Difference(b.get()));
}

std::string WktOf(const OGRSpatialReference* srs) {
  if (srs == nullptr || srs->IsEmpty()) return {};
  char* text = nullptr;
  srs->exportToWkt(&text);
  std::string wkt = text != nullptr ? text : "";
  CPLFree(text);
  return wkt;
}

}  // namespace framora
