#include "geodesy/gauss_kruger.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "geodesy/angle_text.h"
#include "geodesy/gauss_zone.h"

namespace framora {
namespace {

TEST(Zones, FalseEastingsAndZoneNumbers) {
  EXPECT_EQ(ZoneFalseEasting(true, true, 117), 39500000);
  EXPECT_EQ(ZoneFalseEasting(false, true, 117), 20500000);
  EXPECT_EQ(ZoneFalseEasting(true, false, 117), 500000);
  EXPECT_EQ(ZoneOfMeridian(117, true), 39);
  EXPECT_EQ(ZoneOfMeridian(117, false), 20);
  // A meridian that is no zone's own belongs to the zone it lies in, as false eastings say.
  EXPECT_EQ(ZoneOfMeridian(7.5, true), 3);
  EXPECT_EQ(ZoneOfMeridian(10.5, true), 4);
  for (const double meridian : {84.0, 96.0, 108.0, 120.0, 132.0}) {
    EXPECT_EQ(ZoneOfMeridian(meridian, false), meridian / 6 + 1) << meridian;
    EXPECT_EQ(ZoneFalseEasting(false, true, meridian), ZoneOfMeridian(meridian, false) * 1e6 + 500000);
  }
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

struct ProjDifference {
  double forward = 0;  // metres
  double inverse = 0;  // metres on the ground
};

// Largest differences between a zone and PROJ's transverse Mercator on the same ellipsoid,
// 0–56° north and 3.5° either side of the central meridian.
ProjDifference MaxDifferenceFromProj(ZoneEllipsoid ellipsoid, double a, double inverseFlattening) {
  const double L0 = 117;
  const GaussZone zone(ellipsoid, ZoneWidth::ThreeDegree, L0, false);
  auto projected = TransverseMercator(a, inverseFlattening, L0, 500000);
  std::unique_ptr<OGRSpatialReference> geographic(projected->CloneGeogCS());
  geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> forward(
      OGRCreateCoordinateTransformation(geographic.get(), projected.get()));
  std::unique_ptr<OGRCoordinateTransformation> inverse(
      OGRCreateCoordinateTransformation(projected.get(), geographic.get()));
  ProjDifference worst;
  if (!forward || !inverse) return {HUGE_VAL, HUGE_VAL};
  const double metresPerDegree = 111000;
  for (double B = 0; B <= 56.0001; B += 0.5) {
    for (double dL = -3.5; dL <= 3.5001; dL += 0.25) {
      const PlanePoint mine = zone.Forward({B, L0 + dL});
      double east = L0 + dL;
      double north = B;
      if (!forward->Transform(1, &east, &north)) return {HUGE_VAL, HUGE_VAL};
      worst.forward = std::max(worst.forward, std::hypot(mine.northing - north, mine.easting - east));

      // The inverse of PROJ's plane point, so that only the inverses are compared.
      const std::optional<GeoPoint> back = zone.Inverse({north, east});
      if (!back || !inverse->Transform(1, &east, &north)) return {HUGE_VAL, HUGE_VAL};
      worst.inverse =
          std::max(worst.inverse, metresPerDegree * std::hypot(back->latitude - north,
                                                               (back->longitude - east) * std::cos(B * 0.017453292519943295)));
    }
  }
  return worst;
}

struct EllipsoidCase {
  const char* name;
  ZoneEllipsoid ellipsoid;
  double a;
  double inverseFlattening;
};

class AgainstProj : public ::testing::TestWithParam<EllipsoidCase> {};

TEST_P(AgainstProj, ForwardAndInverseWithinAMillimetre) {
  const EllipsoidCase c = GetParam();
  const ProjDifference d = MaxDifferenceFromProj(c.ellipsoid, c.a, c.inverseFlattening);
  RecordProperty("ForwardMaxMetres", std::to_string(d.forward));
  RecordProperty("InverseMaxMetres", std::to_string(d.inverse));
  std::printf("%s vs PROJ, 0-56N, 3.5 deg: forward %.5f m, inverse %.5f m\n", c.name, d.forward, d.inverse);
  EXPECT_LE(d.forward, 0.001);
  EXPECT_LE(d.inverse, 0.001);
}

INSTANTIATE_TEST_SUITE_P(Ellipsoids, AgainstProj,
                         ::testing::Values(EllipsoidCase{"Krassowsky", ZoneEllipsoid::Krassowsky, 6378245, 298.3},
                                           EllipsoidCase{"IAG1975", ZoneEllipsoid::Iag1975, 6378140, 298.257},
                                           EllipsoidCase{"CGCS2000", ZoneEllipsoid::Cgcs2000, 6378137, 298.257222101},
                                           EllipsoidCase{"WGS84", ZoneEllipsoid::Wgs84, 6378137, 298.257223563}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformPath, ProjectsThroughTheDataSpatialReference) {
  OGRSpatialReference cm117;  // CGCS2000 / 3-degree Gauss-Kruger CM 117E
  ASSERT_EQ(cm117.importFromEPSG(4548), OGRERR_NONE);
  double L = 0;
  double B = 0;
  // The same ellipsoid on both sides: a millimetre is about 1e-8 degrees.
  const GaussZone zone(ZoneEllipsoid::Cgcs2000, ZoneWidth::ThreeDegree, 117, false);
  PlanePoint p = zone.Forward({40, 117});
  ASSERT_TRUE(ProjectWithSpatialReference(&cm117, p.northing, p.easting, L, B));
  EXPECT_NEAR(L, 117, 1e-9);
  EXPECT_NEAR(B, 40, 1e-8);

  p = zone.Forward({35.7, 118.2});
  ASSERT_TRUE(ProjectWithSpatialReference(&cm117, p.northing, p.easting, L, B));
  EXPECT_NEAR(L, 118.2, 1e-8);
  EXPECT_NEAR(B, 35.7, 1e-8);
}

TEST(PlatformPath, Cgcs2000ZonesWithTheirNumberMatchTheEpsgCodes) {
  // EPSG:4527 is CGCS2000 3-degree zone 39 with the zone in the easting, 4499 the 6-degree
  // zone 21 likewise.
  struct Case {
    int epsg;
    ZoneWidth width;
    double meridian;
  };
  for (const Case c : {Case{4527, ZoneWidth::ThreeDegree, 117}, Case{4499, ZoneWidth::SixDegree, 123}}) {
    OGRSpatialReference code;
    ASSERT_EQ(code.importFromEPSG(c.epsg), OGRERR_NONE);
    code.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRSpatialReference> geographic(code.CloneGeogCS());
    geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> forward(
        OGRCreateCoordinateTransformation(geographic.get(), &code));
    ASSERT_TRUE(forward);
    const GaussZone zone(ZoneEllipsoid::Cgcs2000, c.width, c.meridian, true);
    double worst = 0;
    for (double B = 18; B <= 54; B += 2) {
      for (double dL = -1.5; dL <= 1.5; dL += 0.5) {
        double east = c.meridian + dL;
        double north = B;
        ASSERT_TRUE(forward->Transform(1, &east, &north));
        const PlanePoint mine = zone.Forward({B, c.meridian + dL});
        worst = std::max(worst, std::hypot(mine.northing - north, mine.easting - east));
      }
    }
    EXPECT_LT(worst, 0.001) << c.epsg;
  }
}

TEST(PlatformPath, FarNorthBeijing1954SheetsReadTheirCornersToTheSecond) {
  // 1:50000 sheets of 6-degree zone 21 at 50.5–51° north, their corners put into the plane by
  // PROJ as a sheet index made elsewhere would be.
  OGRSpatialReference zone21;
  ASSERT_EQ(zone21.importFromEPSG(21421), OGRERR_NONE);  // Beijing 1954 / Gauss-Kruger zone 21
  zone21.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRSpatialReference> geographic(zone21.CloneGeogCS());
  geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> forward(OGRCreateCoordinateTransformation(geographic.get(), &zone21));
  ASSERT_TRUE(forward);
  const GaussZone zone(ZoneEllipsoid::Krassowsky, ZoneWidth::SixDegree, 123, true);
  int wrong = 0;
  for (int row = 0; row <= 3; ++row) {
    for (int column = 0; column <= 24; ++column) {
      const double latitude = 50.5 + row / 6.0;
      const double longitude = 120 + column / 4.0;
      double east = longitude;
      double north = latitude;
      ASSERT_TRUE(forward->Transform(1, &east, &north));
      const std::optional<GeoPoint> back = zone.Inverse({north, east});
      ASSERT_TRUE(back);
      if (DegreesToDmsLabel(back->latitude) != DegreesToDmsLabel(latitude) ||
          DegreesToDmsLabel(back->longitude) != DegreesToDmsLabel(longitude))
        ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
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
