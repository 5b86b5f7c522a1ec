#pragma once

#include <optional>

#include "geodesy/gauss_kruger.h"

namespace framora {

// Angles in decimal degrees, north and east.
struct GeoPoint {
  double latitude = 0;
  double longitude = 0;
};

// Gauss–Krüger plane coordinates in metres; the easting includes the false easting.
struct PlanePoint {
  double northing = 0;
  double easting = 0;
};

// Krassowsky for Beijing 1954; IAG 1975 for Xian 1980, CGCS2000 and WGS84.
enum class ZoneEllipsoid { Krassowsky, Iag1975 };
enum class ZoneWidth { ThreeDegree, SixDegree };

// What the user is told when an inverse cannot be computed.
inline constexpr char kGaussInverseFailedText[] = "输入的数据,错误";

// One Gauss–Krüger zone as a run uses it, fixed when the run starts.
class GaussZone {
 public:
  GaussZone(ZoneEllipsoid ellipsoid, ZoneWidth width, double centralMeridian, bool zoneInEasting);

  PlanePoint Forward(GeoPoint point) const;
  // Nothing when the series give no finite answer (a point far outside any zone, or not
  // a number).
  std::optional<GeoPoint> Inverse(PlanePoint point) const;

  // The zone number the inverse removes from eastings (the meridian's zone, rounded).
  int ZoneNumber() const { return zoneNumber_; }
  // What the forward adds: 500,000, or the zone × 1,000,000 + 500,000. For a meridian that
  // is not a zone's own the zone here is found by flooring, unlike ZoneNumber.
  double FalseEasting() const { return falseEasting_; }
  double CentralMeridian() const { return centralMeridian_; }
  bool ZoneInEasting() const { return zoneInEasting_; }

 private:
  const GaussEllipsoid* ellipsoid_;
  double centralMeridian_;
  bool zoneInEasting_;
  int zoneNumber_;
  double falseEasting_;
};

}  // namespace framora
