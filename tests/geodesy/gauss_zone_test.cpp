#include "geodesy/gauss_zone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "geodesy/angle_text.h"

namespace framora {
namespace {

constexpr ZoneEllipsoid kKrassowsky = ZoneEllipsoid::Krassowsky;
constexpr ZoneEllipsoid kIag = ZoneEllipsoid::Iag1975;
constexpr ZoneEllipsoid kCgcs2000 = ZoneEllipsoid::Cgcs2000;
constexpr ZoneWidth kThree = ZoneWidth::ThreeDegree;
constexpr ZoneWidth kSix = ZoneWidth::SixDegree;

// South-west corner of E45G095066 (16°02′30″, 88°03′45″), 3-degree zone 29 with the zone
// number; the angles come in as the boxes hold them.
GeoPoint WorkedExampleCorner() { return {DmsTextToDegrees("16.0230"), DmsTextToDegrees("88.0345")}; }

TEST(GaussZone, WorkedExamplesGiveThePublishedResults) {
  // The published figures to the millimetre.
  const PlanePoint krassowsky = GaussZone(kKrassowsky, kThree, 87, true).Forward(WorkedExampleCorner());
  EXPECT_NEAR(krassowsky.northing, 1774577.078, 0.0006);
  EXPECT_NEAR(krassowsky.easting, 29613707.917, 0.0006);

  const PlanePoint iag = GaussZone(kIag, kThree, 87, true).Forward(WorkedExampleCorner());
  EXPECT_NEAR(iag.northing, 1774546.210, 0.0006);
  EXPECT_NEAR(iag.easting, 29613706.050, 0.0006);

  const PlanePoint sixDegree = GaussZone(kKrassowsky, kSix, 117, true).Forward({40, 117});
  EXPECT_NEAR(sixDegree.northing, 4429607.368, 0.0006);
  EXPECT_EQ(sixDegree.easting, 20500000.0);
}

TEST(GaussZone, WorkedExamplesComeBack) {
  const GeoPoint corner = WorkedExampleCorner();
  // A millimetre is about 1e-8 degrees.
  std::optional<GeoPoint> p = GaussZone(kIag, kThree, 87, true).Inverse({1774546.210, 29613706.050});
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->latitude, corner.latitude, 1e-8);
  EXPECT_NEAR(p->longitude, corner.longitude, 1e-8);

  p = GaussZone(kKrassowsky, kThree, 87, true).Inverse({1774577.078, 29613707.917});
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->latitude, corner.latitude, 1e-8);
  EXPECT_NEAR(p->longitude, corner.longitude, 1e-8);

  p = GaussZone(kKrassowsky, kSix, 117, true).Inverse({4429607.368, 20500000});
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->latitude, 40, 1e-8);
  EXPECT_EQ(p->longitude, 117);
}

TEST(GaussZone, CentralMeridianGetsTheFalseEastingExactly) {
  EXPECT_EQ(GaussZone(kIag, kThree, 117, false).Forward({40, 117}).easting, 500000.0);
  EXPECT_EQ(GaussZone(kIag, kThree, 117, true).Forward({40, 117}).easting, 39500000.0);
  EXPECT_EQ(GaussZone(kIag, kSix, 117, true).Forward({40, 117}).easting, 20500000.0);
  EXPECT_EQ(GaussZone(kIag, kThree, 75, false).Forward({0, 75}).northing, 0.0);

  const GaussZone zone39(kIag, kThree, 117, true);
  EXPECT_EQ(zone39.ZoneNumber(), 39);
  EXPECT_EQ(zone39.FalseEasting(), 39500000);
  const GaussZone bare(kIag, kSix, 117, false);
  EXPECT_EQ(bare.ZoneNumber(), 20);
  EXPECT_EQ(bare.FalseEasting(), 500000);
}

TEST(GaussZone, AMeridianThatIsNoZonesOwnComesBackToItself) {
  // 120° is the edge between 6-degree zones 20 and 21: the forward's zone is the inverse's.
  for (const double meridian : {84.0, 96.0, 108.0, 120.0, 132.0}) {
    const GaussZone zone(kCgcs2000, kSix, meridian, true);
    const std::optional<GeoPoint> back = zone.Inverse(zone.Forward({40, meridian + 0.5}));
    ASSERT_TRUE(back) << meridian;
    EXPECT_NEAR(back->longitude, meridian + 0.5, 1e-9) << meridian;
    EXPECT_EQ(zone.FalseEasting(), zone.ZoneNumber() * 1e6 + 500000) << meridian;
  }
}

TEST(GaussZone, ZoneNumberInEastingsChangesNothingElse) {
  for (const ZoneWidth width : {kThree, kSix}) {
    const GaussZone with(kKrassowsky, width, 117, true);
    const GaussZone without(kKrassowsky, width, 117, false);
    const PlanePoint a = with.Forward({35.25, 118.1});
    const PlanePoint b = without.Forward({35.25, 118.1});
    EXPECT_EQ(a.northing, b.northing);
    EXPECT_EQ(a.easting - b.easting, with.ZoneNumber() * 1e6);
    const std::optional<GeoPoint> backA = with.Inverse(a);
    const std::optional<GeoPoint> backB = without.Inverse(b);
    ASSERT_TRUE(backA && backB);
    // The larger easting holds fewer bits below the metre; nothing else differs.
    EXPECT_NEAR(backA->latitude, backB->latitude, 1e-10);
    EXPECT_NEAR(backA->longitude, backB->longitude, 1e-10);
  }
}

struct RoundTripCase {
  ZoneEllipsoid ellipsoid;
  ZoneWidth width;
  bool zoneInEasting;
  double northmost;   // degrees
  double tolerance;  // degrees
};

class GaussZoneRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Forward then inverse across the whole zone from the equator to the far north: the inverse
// undoes the forward to well below a millimetre.
TEST_P(GaussZoneRoundTrip, ReturnsThePoint) {
  const RoundTripCase c = GetParam();
  const double meridian = c.width == kThree ? 117 : 111;
  const double halfWidth = c.width == kThree ? 1.5 : 3;
  const GaussZone zone(c.ellipsoid, c.width, meridian, c.zoneInEasting);
  double worst = 0;
  for (double B = 0; B <= c.northmost; B += 1.1) {
    for (double dL = -halfWidth; dL <= halfWidth; dL += halfWidth / 8) {
      const std::optional<GeoPoint> back = zone.Inverse(zone.Forward({B, meridian + dL}));
      ASSERT_TRUE(back) << B << " " << dL;
      worst = std::max({worst, std::abs(back->latitude - B), std::abs(back->longitude - meridian - dL)});
    }
  }
  EXPECT_LT(worst, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(EllipsoidsWidthsAndZoneNumbers, GaussZoneRoundTrip,
                         ::testing::Values(RoundTripCase{kIag, kThree, true, 56, 1e-10},
                                           RoundTripCase{kIag, kThree, false, 56, 1e-10},
                                           RoundTripCase{kIag, kSix, true, 56, 1e-10},
                                           RoundTripCase{kIag, kSix, false, 56, 1e-10},
                                           RoundTripCase{kKrassowsky, kThree, true, 56, 1e-10},
                                           RoundTripCase{kKrassowsky, kThree, false, 56, 1e-10},
                                           RoundTripCase{kKrassowsky, kSix, true, 56, 1e-10},
                                           RoundTripCase{kKrassowsky, kSix, false, 56, 1e-10},
                                           RoundTripCase{kCgcs2000, kThree, true, 56, 1e-10},
                                           RoundTripCase{kCgcs2000, kSix, false, 56, 1e-10}));

TEST(GaussZone, AnInverseThatCannotBeComputedGivesNothing) {
  const GaussZone zone(kIag, kThree, 117, false);
  EXPECT_FALSE(zone.Inverse({std::nan(""), 500000}));
  EXPECT_FALSE(zone.Inverse({4e6, HUGE_VAL}));
  EXPECT_FALSE(GaussZone(kKrassowsky, kThree, 117, false).Inverse({1e300, 600000}));
  EXPECT_TRUE(zone.Inverse({4e6, 500000}));
}

}  // namespace
}  // namespace framora
