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

const GaussEllipsoid kKrassowsky{
    6399698.90178271L,
    0.0067385254147L,
    111134.8611L,
    {32005.7799L, 133.9238L, 0.6973L, 0.0039L},
    {27.11115372595L, 9.02468257083L, -0.00579740442L, -0.00043532572L, 0.00004857285L, 0, 0},
};

const GaussEllipsoid kIag1975{
    6399596.65198801L,
    0.0067395018195L,
    111133.0047L,
    {32009.8575L, 133.9602L, 0.6976L, 0.0039L},
    {27.11162289465L, 9.02483657729L, -0.00579850656L, -0.000435400029L, 0.00004858357L, 0.00000215789L,
     -0.00000019404L},
};

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
const GaussEllipsoid& EllipsoidFor(bool useKrassowsky) { return useKrassowsky ? kKrassowsky : kIag1975; }

long double DegToRad(long double degrees) { return degrees * kPi / 180; }

long double MeridianArc(const GaussEllipsoid& e, long double latitude) {
  const long double b = DegToRad(latitude);
  const long double s = std::sin(b);
  const long double s2 = s * s;
  const long double series = s * (e.ArcSine[0] + s2 * (e.ArcSine[1] + s2 * (e.ArcSine[2] + s2 * e.ArcSine[3])));
  return e.ArcDegree * latitude - std::cos(b) * series;
}

long double FootpointLatitude(const GaussEllipsoid& e, long double northing) {
  const long double E = northing / 1000000 - 3;
  long double result = 0;
  for (int i = 6; i >= 0; --i) result = result * E + e.Footpoint[i];
  return result;
}

double ZoneMeridianOfLongitude(double L, bool threeDegree) {
  return threeDegree ? 3 * std::floor((L + 1.5) / 3) : 6 * std::floor(L / 6) + 3;
}

int ZoneOfMeridian(double centralMeridian, bool threeDegree) {
  return static_cast<int>(std::nearbyint(threeDegree ? centralMeridian / 3 : (centralMeridian + 3) / 6));
}

double ZoneFalseEasting(bool threeDegree, bool withZone, double centralMeridian) {
  if (!withZone) return 500000;
  if (threeDegree) return std::floor((centralMeridian + 1.5) / 3) * 1000000 + 500000;
  return std::floor(centralMeridian / 6) * 1000000 + 1500000;
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
  const long double bf = DegToRad(Bf);
  const long double cosBf = std::cos(bf);
  const long double t = std::tan(bf);
  const long double t2 = t * t;
  const long double t4 = t2 * t2;
  const long double eta2 = e.SecondEccentricitySquared * cosBf * cosBf;
  const long double r = reducedEasting * std::sqrt(1 + eta2) / e.PolarRadius;
  const long double r2 = r * r;

  const long double B = Bf - (1 + eta2) * t / kPi *
                                 (90 * r2 - 7.5L * (5 + 3 * t2 + eta2 - 9 * eta2 * t2) * r2 * r2 +
                                  0.25L * (61 + 90 * t2 + 45 * t4) * r2 * r2 * r2);
  const long double l =
      (180 * r - 30 * (1 + 2 * t2 + eta2) * r2 * r + 1.5L * (5 + 28 * t2 + 24 * t4) * r2 * r2 * r) / (kPi * cosBf);
  if (!std::isfinite(B) || !std::isfinite(l)) return false;
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
