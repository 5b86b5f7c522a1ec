#include "geodesy/gauss_kruger.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "geodesy/gauss_zone.h"

namespace framora {
namespace {

TEST(Zones, FalseEastingsAndZoneNumbers) {
  EXPECT_EQ(ZoneFalseEasting(true, true, 117), 39500000);
  EXPECT_EQ(ZoneFalseEasting(false, true, 117), 20500000);
  EXPECT_EQ(ZoneFalseEasting(true, false, 117), 500000);
  EXPECT_EQ(ZoneOfMeridian(117, true), 39);
  EXPECT_EQ(ZoneOfMeridian(117, false), 20);
  EXPECT_EQ(ZoneOfMeridian(7.5, true), 2);  // 2.5 rounds to even
  EXPECT_EQ(ZoneOfMeridian(10.5, true), 4);
}

TEST(Zones, MeridianOfALongitude) {
  EXPECT_EQ(ZoneMeridianOfLongitude(88.0625, true), 87);
  EXPECT_EQ(ZoneMeridianOfLongitude(88.0625, false), 87);
  EXPECT_EQ(ZoneMeridianOfLongitude(118.5, true), 120);  // 118°30′ is a zone edge
  EXPECT_EQ(ZoneMeridianOfLongitude(118.4999, true), 117);
  EXPECT_EQ(ZoneMeridianOfLongitude(120, false), 123);
}

TEST(GaussInverse, ArithmeticFailureLeavesTheOutputs) {
  long double B = 34.5;
  long double l = 12.5;
  EXPECT_FALSE(GaussInverse(Iag1975Ellipsoid(), std::nanl(""), 0, B, l));
  EXPECT_FALSE(GaussInverse(KrassowskyEllipsoid(), 4e6, HUGE_VALL, B, l));
  EXPECT_EQ(B, 34.5);
  EXPECT_EQ(l, 12.5);
}

std::unique_ptr<OGRSpatialReference> TransverseMercator(double a, double inverseFlattening, double L0,
                                                        double falseEasting) {
  auto srs = std::make_unique<OGRSpatialReference>();
  srs->SetProjCS("Gauss-Kruger");
  srs->SetGeogCS("geographic", "datum", "ellipsoid", a, inverseFlattening);
  srs->SetTM(0, L0, 1, falseEasting, 0);
  srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

// Largest distance between the series and PROJ's transverse Mercator over a 3-degree zone.
double MaxDifferenceFromProj(const GaussEllipsoid& ellipsoid, double a, double inverseFlattening) {
  const double L0 = 117;
  auto projected = TransverseMercator(a, inverseFlattening, L0, 500000);
  std::unique_ptr<OGRSpatialReference> geographic(projected->CloneGeogCS());
  geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> transform(
      OGRCreateCoordinateTransformation(geographic.get(), projected.get()));
  if (!transform) return HUGE_VAL;
  double worst = 0;
  for (double B = 16; B <= 50.0001; B += 0.5) {
    for (double dL = -1.5; dL <= 1.5001; dL += 0.125) {
      long double x = 0;
      long double y = 0;
      GaussForward(ellipsoid, B, dL, x, y);
      double east = L0 + dL;
      double north = B;
      if (!transform->Transform(1, &east, &north)) return HUGE_VAL;
      worst = std::max(worst, std::hypot(static_cast<double>(x) - north, static_cast<double>(y) + 500000 - east));
    }
  }
  return worst;
}

TEST(GaussForward, AgreesWithProjTransverseMercator) {
  const double krassowsky = MaxDifferenceFromProj(KrassowskyEllipsoid(), 6378245, 298.3);
  const double iag = MaxDifferenceFromProj(Iag1975Ellipsoid(), 6378140, 298.257);
  RecordProperty("KrassowskyMaxMetres", std::to_string(krassowsky));
  RecordProperty("Iag1975MaxMetres", std::to_string(iag));
  std::printf("series vs PROJ, max difference: Krassowsky %.5f m, IAG 1975 %.5f m\n", krassowsky, iag);
  EXPECT_LT(krassowsky, 0.001);  // measured 0.80 mm
  EXPECT_LT(iag, 0.0012);  // measured 0.98 mm
}

TEST(PlatformPath, ProjectsThroughTheDataSpatialReference) {
  OGRSpatialReference cm117;  // CGCS2000 / 3-degree Gauss-Kruger CM 117E
  ASSERT_EQ(cm117.importFromEPSG(4548), OGRERR_NONE);
  double L = 0;
  double B = 0;
  // The series run on IAG 1975, the code on GRS 80: a few metres apart.
  const GaussZone zone(ZoneEllipsoid::Iag1975, ZoneWidth::ThreeDegree, 117, false);
  PlanePoint p = zone.Forward({40, 117});
  ASSERT_TRUE(ProjectWithSpatialReference(&cm117, p.northing, p.easting, L, B));
  EXPECT_NEAR(L, 117, 1e-9);
  EXPECT_NEAR(B, 40, 1e-4);

  p = zone.Forward({35.7, 118.2});
  ASSERT_TRUE(ProjectWithSpatialReference(&cm117, p.northing, p.easting, L, B));
  EXPECT_NEAR(L, 118.2, 1e-4);
  EXPECT_NEAR(B, 35.7, 1e-4);
}

TEST(PlatformPath, FailuresGiveMinusOneAndNeverThrow) {
  double L = 5;
  double B = 5;
  EXPECT_FALSE(ProjectWithSpatialReference(nullptr, 4e6, 5e5, L, B));
  EXPECT_EQ(L, -1);
  EXPECT_EQ(B, -1);
  OGRSpatialReference geographic;
  geographic.importFromEPSG(4490);
  L = B = 5;
  EXPECT_FALSE(ProjectWithSpatialReference(&geographic, 4e6, 5e5, L, B));
  EXPECT_EQ(L, -1);
  EXPECT_EQ(B, -1);
}

}  // namespace
}  // namespace framora
