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

// Krassowsky for Beijing 1954, IAG 1975 for Xian 1980; CGCS2000 and WGS84 on their own.
enum class ZoneEllipsoid { Krassowsky, Iag1975, Cgcs2000, Wgs84 };
enum class ZoneWidth { ThreeDegree, SixDegree };

// What the user is told when an inverse cannot be computed.
inline constexpr char kGaussInverseFailedText[] = "输入的数据,错误";

// One Gauss–Krüger zone as a run uses it, fixed when the run starts.
// The ellipsoid of a coordinate system as the settings number them: 0 CGCS2000,
// 1 Xian 1980, 2 Beijing 1954, 3 WGS84.
ZoneEllipsoid EllipsoidOfCoordinateSystem(int coordinateSystemIndex);

class GaussZone {
 public:
  GaussZone(ZoneEllipsoid ellipsoid, ZoneWidth width, double centralMeridian, bool zoneInEasting);

  PlanePoint Forward(GeoPoint point) const;
  // Nothing when the series give no finite answer (a point far outside any zone, or not
  // a number).
  std::optional<GeoPoint> Inverse(PlanePoint point) const;

  ZoneEllipsoid Ellipsoid() const { return ellipsoidKind_; }
  ZoneWidth Width() const { return width_; }

  // The zone number the forward adds to eastings and the inverse removes.
  int ZoneNumber() const { return zoneNumber_; }
  // What the forward adds: 500,000, or the zone × 1,000,000 + 500,000.
  double FalseEasting() const { return falseEasting_; }
  double CentralMeridian() const { return centralMeridian_; }
  bool ZoneInEasting() const { return zoneInEasting_; }

 private:
  ZoneEllipsoid ellipsoidKind_;
  ZoneWidth width_;
  const GaussEllipsoid* ellipsoid_;
  double centralMeridian_;
  bool zoneInEasting_;
  int zoneNumber_;
  double falseEasting_;
};

}  // namespace framora
