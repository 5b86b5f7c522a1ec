#include "geodesy/gauss_kruger.h"

#include <cmath>
#include <memory>

#include <cpl_error.h>
#include <ogr_spatialref.h>


namespace framora {

namespace {

// Held as extended values on purpose: the published series use these exact digits.
constexpr long double kOneSixth = 0.1666666666666666667L;
constexpr long double kOne120th = 0.008333333333333333334L;

// The meridian arc as a·B − cos B·(c₀ sin B + c₁ sin³B + c₂ sin⁵B + c₃ sin⁷B) from the
// ellipsoid's own a and f, carried to e⁸: well below a millimetre everywhere in China.
GaussEllipsoid MakeEllipsoid(long double a, long double inverseFlattening) {
  const long double f = 1 / inverseFlattening;
  const long double e2 = f * (2 - f);
  const long double m0 = a * (1 - e2);
  const long double m2 = 1.5L * e2 * m0;
  const long double m4 = 1.25L * e2 * m2;
  const long double m6 = 7.0L / 6 * e2 * m4;
  const long double m8 = 9.0L / 8 * e2 * m6;
  const long double a0 = m0 + m2 / 2 + 3 * m4 / 8 + 5 * m6 / 16 + 35 * m8 / 128;
  const long double a2 = m2 / 2 + m4 / 2 + 15 * m6 / 32 + 7 * m8 / 16;
  const long double a4 = m4 / 8 + 3 * m6 / 16 + 7 * m8 / 32;
  const long double a6 = m6 / 32 + m8 / 16;
  const long double a8 = m8 / 128;
  GaussEllipsoid e{};
  e.SemiMajorAxis = a;
  e.PolarRadius = a / (1 - f);
  e.SecondEccentricitySquared = e2 / (1 - e2);
  e.ArcDegree = a0 * kPi / 180;
  e.ArcSine[0] = a2 - a4 + a6 - a8;
  e.ArcSine[1] = 2 * a4 - 16 * a6 / 3 + 10 * a8;
  e.ArcSine[2] = 16 * a6 / 3 - 24 * a8;
  e.ArcSine[3] = 16 * a8;
  return e;
}

const GaussEllipsoid kKrassowsky = MakeEllipsoid(6378245, 298.3L);
const GaussEllipsoid kIag1975 = MakeEllipsoid(6378140, 298.257L);
const GaussEllipsoid kGrs80 = MakeEllipsoid(6378137, 298.257222101L);
const GaussEllipsoid kWgs84 = MakeEllipsoid(6378137, 298.257223563L);

// GDAL reports to stderr by default; the callers here only want the answer.
class QuietGdalErrors {
 public:
  QuietGdalErrors() { CPLPushErrorHandler(CPLQuietErrorHandler); }
  ~QuietGdalErrors() { CPLPopErrorHandler(); }
  QuietGdalErrors(const QuietGdalErrors&) = delete;
  QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

}  // namespace

const GaussEllipsoid& KrassowskyEllipsoid() { return kKrassowsky; }
const GaussEllipsoid& Iag1975Ellipsoid() { return kIag1975; }
const GaussEllipsoid& Cgcs2000Ellipsoid() { return kGrs80; }
const GaussEllipsoid& Wgs84Ellipsoid() { return kWgs84; }

long double DegToRad(long double degrees) { return degrees * kPi / 180; }

long double MeridianArc(const GaussEllipsoid& e, long double latitude) {
  const long double b = DegToRad(latitude);
  const long double s = std::sin(b);
  const long double s2 = s * s;
  const long double series = s * (e.ArcSine[0] + s2 * (e.ArcSine[1] + s2 * (e.ArcSine[2] + s2 * e.ArcSine[3])));
  return e.ArcDegree * latitude - std::cos(b) * series;
}

long double FootpointLatitude(const GaussEllipsoid& e, long double northing) {
  // Newton on the arc: its derivative is the meridian's radius of curvature. Five steps
  // reach the last bit from anywhere between the poles.
  long double latitude = northing / e.ArcDegree;
  for (int i = 0; i < 10; ++i) {
    const long double cosB = std::cos(DegToRad(latitude));
    const long double onePlusEta2 = 1 + e.SecondEccentricitySquared * cosB * cosB;
    const long double meridianRadius = e.PolarRadius / (onePlusEta2 * std::sqrt(onePlusEta2));
    const long double step = (northing - MeridianArc(e, latitude)) / meridianRadius * 180 / kPi;
    if (!std::isfinite(step)) return step;
    latitude += step;
    if (std::abs(step) < 1e-12L) return latitude;
  }
  return std::nanl("");  // no latitude has that arc
}

double ZoneMeridianOfLongitude(double L, bool threeDegree) {
  return threeDegree ? 3 * std::floor((L + 1.5) / 3) : 6 * std::floor(L / 6) + 3;
}

int ZoneOfMeridian(double centralMeridian, bool threeDegree) {
  return static_cast<int>(threeDegree ? std::floor((centralMeridian + 1.5) / 3) : std::floor(centralMeridian / 6) + 1);
}

double ZoneFalseEasting(bool threeDegree, bool withZone, double centralMeridian) {
  if (!withZone) return 500000;
  return ZoneOfMeridian(centralMeridian, threeDegree) * 1000000.0 + 500000;
}

void GaussForward(const GaussEllipsoid& e, long double latitude, long double longitudeDifference, long double& x,
                  long double& y) {
  const long double b = DegToRad(latitude);
  const long double cosB = std::cos(b);
  const long double t = std::tan(b);
  const long double t2 = t * t;
  const long double eta2 = e.SecondEccentricitySquared * cosB * cosB;
  const long double N = e.PolarRadius / std::sqrt(1 + eta2);
  const long double m = DegToRad(longitudeDifference) * cosB;
  const long double m2 = m * m;

  x = MeridianArc(e, latitude) +
      N * t * m2 *
          (0.5L + (5 - t2 + 9 * eta2 + 4 * eta2 * eta2) * m2 / 24 + (61 - 58 * t2 + t2 * t2) * m2 * m2 / 720);
  y = N * (m + (1 - t2 + eta2) * m2 * m * kOneSixth +
           (5 - 18 * t2 + t2 * t2 + 14 * eta2 - 58 * eta2 * t2) * m2 * m2 * m * kOne120th);
}

bool GaussInverse(const GaussEllipsoid& e, long double x, long double reducedEasting, long double& latitude,
                  long double& longitudeDifference) {
  const long double Bf = FootpointLatitude(e, x);
  if (!(std::abs(Bf) <= 90)) return false;
  const long double bf = DegToRad(Bf);
  const long double cosBf = std::cos(bf);
  const long double t = std::tan(bf);
  const long double t2 = t * t;
  const long double t4 = t2 * t2;
  const long double eta2 = e.SecondEccentricitySquared * cosBf * cosBf;
  const long double r = reducedEasting * std::sqrt(1 + eta2) / e.PolarRadius;
  const long double r2 = r * r;

  long double B = Bf - (1 + eta2) * t / kPi *
                                 (90 * r2 - 7.5L * (5 + 3 * t2 + eta2 - 9 * eta2 * t2) * r2 * r2 +
                                  0.25L * (61 + 90 * t2 + 45 * t4) * r2 * r2 * r2);
  long double l = (180 * r - 30 * (1 + 2 * t2 + eta2) * r2 * r +
                         1.5L * (5 + 28 * t2 + 24 * t4 + 6 * eta2 + 8 * eta2 * t2) * r2 * r2 * r) /
                  (kPi * cosBf);
  if (!std::isfinite(B) || !std::isfinite(l)) return false;
  // The series stop at y⁶: near a millimetre at 56° north and 3.5° out. A few steps against
  // the forward take that away, so the two are each other's inverse.
  for (int i = 0; i < 4; ++i) {
    long double xB = 0;
    long double yB = 0;
    GaussForward(e, B, l, xB, yB);
    const long double cosB = std::cos(DegToRad(B));
    const long double onePlusEta2 = 1 + e.SecondEccentricitySquared * cosB * cosB;
    const long double N = e.PolarRadius / std::sqrt(onePlusEta2);
    const long double dB = (x - xB) * onePlusEta2 / N * 180 / kPi;
    const long double dl = (reducedEasting - yB) / (N * cosB) * 180 / kPi;
    if (!std::isfinite(dB) || !std::isfinite(dl)) break;
    B += dB;
    l += dl;
    if (std::abs(dB) < 1e-13L && std::abs(dl) < 1e-13L) break;
  }
  latitude = B;
  longitudeDifference = l;
  return true;
}

bool ProjectWithSpatialReference(const OGRSpatialReference* projected, double northing, double easting,
                                 double& longitude, double& latitude) {
  longitude = -1;
  latitude = -1;
  try {
    if (projected == nullptr || !projected->IsProjected()) return false;
    QuietGdalErrors quiet;
    OGRSpatialReference source(*projected);
    std::unique_ptr<OGRSpatialReference> geographic(source.CloneGeogCS());
    if (!geographic) return false;
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> transform(
        OGRCreateCoordinateTransformation(&source, geographic.get()));
    if (!transform) return false;
    double x = easting;
    double y = northing;
    if (!transform->Transform(1, &x, &y) || !std::isfinite(x) || !std::isfinite(y)) return false;
    longitude = x;
    latitude = y;
    return true;
  } catch (...) {
    longitude = -1;
    latitude = -1;
    return false;
  }
}

}  // namespace framora
