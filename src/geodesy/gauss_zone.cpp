#include "geodesy/gauss_zone.h"

#include <cmath>

namespace framora {

namespace {

const GaussEllipsoid& EllipsoidOf(ZoneEllipsoid ellipsoid) {
  switch (ellipsoid) {
    case ZoneEllipsoid::Krassowsky:
      return KrassowskyEllipsoid();
    case ZoneEllipsoid::Iag1975:
      return Iag1975Ellipsoid();
    case ZoneEllipsoid::Wgs84:
      return Wgs84Ellipsoid();
    case ZoneEllipsoid::Cgcs2000:
      break;
  }
  return Cgcs2000Ellipsoid();
}

}  // namespace

ZoneEllipsoid EllipsoidOfCoordinateSystem(int coordinateSystemIndex) {
  switch (coordinateSystemIndex) {
    case 1:
      return ZoneEllipsoid::Iag1975;
    case 2:
      return ZoneEllipsoid::Krassowsky;
    case 3:
      return ZoneEllipsoid::Wgs84;
    default:
      return ZoneEllipsoid::Cgcs2000;
  }
}

GaussZone::GaussZone(ZoneEllipsoid ellipsoid, ZoneWidth width, double centralMeridian, bool zoneInEasting)
    : ellipsoidKind_(ellipsoid),
      width_(width),
      ellipsoid_(&EllipsoidOf(ellipsoid)),
      centralMeridian_(centralMeridian),
      zoneInEasting_(zoneInEasting),
      zoneNumber_(ZoneOfMeridian(centralMeridian, width == ZoneWidth::ThreeDegree)),
      falseEasting_(ZoneFalseEasting(width == ZoneWidth::ThreeDegree, zoneInEasting, centralMeridian)) {}

PlanePoint GaussZone::Forward(GeoPoint point) const {
  // The longitude difference passes through double, as it always has: results stay
  // identical to the bit.
  const long double l = static_cast<double>(static_cast<long double>(point.longitude) - centralMeridian_);
  long double northing = 0;
  long double easting = 0;
  GaussForward(*ellipsoid_, point.latitude, l, northing, easting);
  return PlanePoint{static_cast<double>(northing), static_cast<double>(falseEasting_ + easting)};
}

std::optional<GeoPoint> GaussZone::Inverse(PlanePoint point) const {
  long double reduced = static_cast<long double>(point.easting) - 500000;
  if (zoneInEasting_) reduced -= static_cast<long double>(zoneNumber_) * 1000000;
  long double B = 0;
  long double l = 0;
  if (!GaussInverse(*ellipsoid_, point.northing, reduced, B, l)) return std::nullopt;
  const double longitude = static_cast<double>(centralMeridian_ + l);
  const double latitude = static_cast<double>(B);
  if (!std::isfinite(longitude) || !std::isfinite(latitude)) return std::nullopt;
  return GeoPoint{latitude, longitude};
}

}  // namespace framora
