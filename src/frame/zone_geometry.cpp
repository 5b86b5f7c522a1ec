#include "frame/zone_geometry.h"

#include <ogr_spatialref.h>

#include <cmath>
#include <optional>

namespace framora {

namespace {

// GDAL walks the vertices of any geometry; this answers for each of them.
class ZoneTransformation final : public OGRCoordinateTransformation {
 public:
  ZoneTransformation(const GaussZone& zone, bool toPlane) : zone_(zone), toPlane_(toPlane) {}

  OGRSpatialReference* GetSourceCS() override { return nullptr; }
  OGRSpatialReference* GetTargetCS() override { return nullptr; }

  int Transform(int count, double* x, double* y, double*, double*, int* success) override {
    bool all = true;
    for (int i = 0; i < count; ++i) {
      bool ok = true;
      if (toPlane_) {
        const PlanePoint p = zone_.Forward({y[i], x[i]});
        ok = std::isfinite(p.easting) && std::isfinite(p.northing);
        x[i] = p.easting;
        y[i] = p.northing;
      } else if (const std::optional<GeoPoint> g = zone_.Inverse({y[i], x[i]})) {
        x[i] = g->longitude;
        y[i] = g->latitude;
      } else {
        ok = false;
      }
      if (success != nullptr) success[i] = ok ? TRUE : FALSE;
      all = all && ok;
    }
    return all ? TRUE : FALSE;
  }

  OGRCoordinateTransformation* Clone() const override { return new ZoneTransformation(zone_, toPlane_); }
  OGRCoordinateTransformation* GetInverse() const override { return new ZoneTransformation(zone_, !toPlane_); }

 private:
  const GaussZone& zone_;
  bool toPlane_;
};

OGRGeometryUniquePtr Transformed(OGRGeometryUniquePtr geometry, const GaussZone& zone, bool toPlane) {
  ZoneTransformation transformation(zone, toPlane);
  if (!geometry || geometry->transform(&transformation) != OGRERR_NONE) return nullptr;
  return geometry;
}

}  // namespace

OGRGeometryUniquePtr GeometryToZone(const OGRGeometry& geographic, const GaussZone& zone) {
  return Transformed(OGRGeometryUniquePtr(geographic.clone()), zone, true);
}

OGRGeometryUniquePtr GeometryFromZone(const OGRGeometry& plane, const GaussZone& zone, double maxSegment) {
  OGRGeometryUniquePtr pieces(plane.clone());
  if (maxSegment > 0) pieces->segmentize(maxSegment);
  return Transformed(std::move(pieces), zone, false);
}

}  // namespace framora
