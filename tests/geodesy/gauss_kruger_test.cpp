#include "geodesy/gauss_kruger.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

struct Plane {
  double x = 0;
  double y = 0;
};

Plane Forward(bool krassowsky, const char* L, const char* B, bool withZone, bool dms, bool three, double L0) {
  Plane p;
  GeodeticToGauss(krassowsky, L, B, withZone, dms, three, L0, p.x, p.y);
  return p;
}

// South-west corner of E45G095066 (16°02′30″, 88°03′45″), 3-degree zone 29 with the zone number.
TEST(GaussForward, WorkedExampleKrassowsky) {
  const Plane p = Forward(true, "88.0345", "16.0230", true, true, true, 87);
  EXPECT_NEAR(p.x, 1774577.078, 0.0005);
  EXPECT_NEAR(p.y, 29613707.917, 0.0005);
}

TEST(GaussForward, WorkedExampleIag1975) {
  const Plane p = Forward(false, "88.0345", "16.0230", true, true, true, 87);
  EXPECT_NEAR(p.x, 1774546.210, 0.0005);
  EXPECT_NEAR(p.y, 29613706.050, 0.0005);
}

TEST(GaussForward, CentralMeridianGetsTheFalseEastingExactly) {
  const Plane p = Forward(true, "117", "40", true, false, false, 117);
  EXPECT_NEAR(p.x, 4429607.368, 0.0005);
  EXPECT_EQ(p.y, 20500000.0);
  EXPECT_EQ(Forward(false, "117", "40", false, false, false, 117).y, 500000.0);
  EXPECT_EQ(Forward(false, "117", "40", true, false, true, 117).y, 39500000.0);
  EXPECT_EQ(Forward(false, "75", "0", false, false, true, 75).x, 0.0);
}

TEST(GaussForward, NonNumericTextRaises) {
  double x = 0;
  double y = 0;
  EXPECT_THROW(GeodeticToGauss(true, "88.06x", "16", true, false, true, 87, x, y), FramoraError);
  EXPECT_THROW(GeodeticToGauss(true, "88", "", true, true, true, 87, x, y), FramoraError);
}

TEST(Zones, FalseEastingsAndZoneNumbers) {
  EXPECT_EQ(ZoneFalseEasting(true, true, 117), 39500000);
  EXPECT_EQ(ZoneFalseEasting(false, true, 117), 20500000);
  EXPECT_EQ(ZoneFalseEasting(true, false, 117), 500000);
  EXPECT_EQ(ZoneOfMeridian(117, true), 39);
  EXPECT_EQ(ZoneOfMeridian(117, false), 20);
  EXPECT_EQ(ZoneOfMeridian(7.5, true), 2);  // 2.5 rounds to even
  EXPECT_EQ(ZoneOfMeridian(10.5, true), 4);
}

TEST(Zones, MeridianOfAPackedLongitude) {
  EXPECT_EQ(ZoneMeridianOfLongitude("88.0345", true), 87);
  EXPECT_EQ(ZoneMeridianOfLongitude("88.0345", false), 87);
  EXPECT_EQ(ZoneMeridianOfLongitude("118.30", true), 120);  // 118°30′ is a zone edge
  EXPECT_EQ(ZoneMeridianOfLongitude("118.2959", true), 117);
  EXPECT_EQ(ZoneMeridianOfLongitude("120", false), 123);
  EXPECT_DOUBLE_EQ(LongitudeDifference("88.0345", true, 87), 1.0625);
  EXPECT_DOUBLE_EQ(LongitudeDifference("88.0345", false, 87), 1.0345);
}

TEST(GaussInverse, RoundTripIag1975WithinOneHundredThousandthDegree) {
  RecordingUserInterface ui;
  for (double B = 16; B <= 54; B += 2) {
    for (double dL = -1.5; dL <= 1.5; dL += 0.25) {
      char lon[32];
      char lat[32];
      std::snprintf(lon, sizeof lon, "%.12f", 117 + dL);
      std::snprintf(lat, sizeof lat, "%.12f", B);
      const Plane p = Forward(false, lon, lat, true, false, true, 117);
      double L = 0;
      double back = 0;
      ASSERT_TRUE(GaussToGeodetic(false, true, true, 117, p.y, p.x, L, back, ui));
      EXPECT_NEAR(L, 117 + dL, 1e-5) << B << " " << dL;
      EXPECT_NEAR(back, B, 1e-5) << B << " " << dL;
    }
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST(GaussInverse, KrassowskyFootpointIsLooserAtSixteenNorth) {
  RecordingUserInterface ui;
  const Plane p = Forward(true, "88.0625", "16.041667", true, false, true, 87);
  double L = 0;
  double B = 0;
  ASSERT_TRUE(GaussToGeodetic(true, true, true, 87, p.y, p.x, L, B, ui));
  EXPECT_NEAR(B, 16.041667, 1e-5);
  EXPECT_NEAR(L, 88.0625, 1e-5);
}

TEST(GaussInverse, ZoneNumberIsRemovedByRounding) {
  RecordingUserInterface ui;
  double withZone[2] = {0, 0};
  double bare[2] = {0, 0};
  ASSERT_TRUE(GaussToGeodetic(false, true, true, 87, 29613706.050, 1774546.210, withZone[0], withZone[1], ui));
  ASSERT_TRUE(GaussToGeodetic(false, false, true, 87, 613706.050, 1774546.210, bare[0], bare[1], ui));
  EXPECT_EQ(withZone[0], bare[0]);
  EXPECT_EQ(withZone[1], bare[1]);
  EXPECT_NEAR(bare[0], 88.0625, 1e-6);
  EXPECT_NEAR(bare[1], 16.041667, 1e-6);
  // 6-degree zone 20 around 117°.
  ASSERT_TRUE(GaussToGeodetic(true, true, false, 117, 20500000, 4429607.368, bare[0], bare[1], ui));
  EXPECT_DOUBLE_EQ(bare[0], 117);
  EXPECT_NEAR(bare[1], 40, 2e-5);
}

TEST(GaussInverse, ArithmeticFailureLeavesOutputsAndTellsTheUser) {
  RecordingUserInterface ui;
  double L = 12.5;
  double B = 34.5;
  EXPECT_FALSE(GaussToGeodetic(false, false, true, 117, 500000, std::nan(""), L, B, ui));
  EXPECT_FALSE(GaussToGeodetic(false, false, true, 117, HUGE_VAL, 4e6, L, B, ui));
  EXPECT_FALSE(GaussToGeodetic(true, false, true, 117, 600000, 1e300, L, B, ui));
  EXPECT_EQ(L, 12.5);
  EXPECT_EQ(B, 34.5);
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0], "输入的数据,错误");
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
  Plane p = Forward(false, "117", "40", false, false, true, 117);
  ASSERT_TRUE(ProjectWithSpatialReference(&cm117, p.x, p.y, L, B));
  EXPECT_NEAR(L, 117, 1e-9);
  EXPECT_NEAR(B, 40, 1e-4);

  p = Forward(false, "118.2", "35.7", false, false, true, 117);
  ASSERT_TRUE(ProjectWithSpatialReference(&cm117, p.x, p.y, L, B));
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
