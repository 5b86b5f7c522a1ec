#pragma once

class OGRSpatialReference;

namespace framora {

// Gauss–Krüger by closed series for the ellipsoids of the Chinese systems.
// x is the northing, y the easting, both in metres; angles are decimal degrees. A run
// projects through a GaussZone (gauss_zone.h); these are its parts.

constexpr long double kPi = 3.1415926535897932385L;

struct GaussEllipsoid {
  long double SemiMajorAxis;              // a
  long double PolarRadius;                // c
  long double SecondEccentricitySquared;  // e′²
  long double ArcDegree;                  // metres of meridian arc per degree
  long double ArcSine[4];                 // coefficients of sin, sin³, sin⁵, sin⁷ in the arc
};

// Beijing 1954.
const GaussEllipsoid& KrassowskyEllipsoid();
// Xian 1980.
const GaussEllipsoid& Iag1975Ellipsoid();
// CGCS2000 (its ellipsoid is GRS 80's in all that matters here).
const GaussEllipsoid& Cgcs2000Ellipsoid();
const GaussEllipsoid& Wgs84Ellipsoid();

long double DegToRad(long double degrees);

// Meridian arc from the equator to latitude B (degrees).
long double MeridianArc(const GaussEllipsoid& ellipsoid, long double latitude);
// Footpoint latitude (degrees) of a northing: the meridian arc solved to convergence.
long double FootpointLatitude(const GaussEllipsoid& ellipsoid, long double northing);

// Central meridian of the zone holding a longitude.
double ZoneMeridianOfLongitude(double longitude, bool threeDegree);
// Zone number of a central meridian: the zone whose western edge is at or below it, the
// one both the forward and the inverse use.
int ZoneOfMeridian(double centralMeridian, bool threeDegree);
// 500,000, or zone × 1,000,000 + 500,000 when eastings carry the zone number.
double ZoneFalseEasting(bool threeDegree, bool withZone, double centralMeridian);

// Series on numbers: latitude and longitude difference in degrees, easting without its
// false easting.
void GaussForward(const GaussEllipsoid& ellipsoid, long double latitude, long double longitudeDifference,
                  long double& x, long double& y);
// False when the arithmetic fails (results not finite); outputs are then unchanged.
bool GaussInverse(const GaussEllipsoid& ellipsoid, long double x, long double reducedEasting,
                  long double& latitude, long double& longitudeDifference);

// Plane to geographic through the data's own projected spatial reference (via PROJ).
// Never throws; on any failure both results are −1 and the answer is false.
bool ProjectWithSpatialReference(const OGRSpatialReference* projected, double northing, double easting,
                                 double& longitude, double& latitude);

}  // namespace framora
