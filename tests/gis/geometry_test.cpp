#include "gis/geometry.h"

#include <gtest/gtest.h>

#include "gis/gdal_setup.h"
#include "support/test_geometry.h"

namespace framora {
namespace {

OGRGeometryUniquePtr FromWkt(const char* wkt) {
  OGRGeometry* geometry = nullptr;
  OGRGeometryFactory::createFromWkt(wkt, nullptr, &geometry);
  return OGRGeometryUniquePtr(geometry);
}

TEST(Geometry, EnvelopesBecomePolygons) {
  auto square = EnvelopePolygon({0, 0, 10, 20});
  EXPECT_DOUBLE_EQ(testing::AreaOf(*square), 200);
  auto wider = ExpandedEnvelopePolygon({0, 0, 10, 20}, 5);
  const Envelope box = EnvelopeOf(*wider);
  EXPECT_DOUBLE_EQ(box.xmin, -5);
  EXPECT_DOUBLE_EQ(box.ymax, 25);
  EXPECT_DOUBLE_EQ(testing::AreaOf(*wider), 20 * 30);
}

TEST(Geometry, EmptyAndNothingAreBothEmpty) {
  EXPECT_TRUE(IsEmptyGeometry(nullptr));
  EXPECT_TRUE(IsEmptyGeometry(FromWkt("POLYGON EMPTY").get()));
  EXPECT_FALSE(IsEmptyGeometry(EnvelopePolygon({0, 0, 1, 1}).get()));
}

TEST(SimplifyGeometry, RepairsASelfCrossingPolygon) {
  auto bowtie = FromWkt("POLYGON ((0 0,10 10,10 0,0 10,0 0))");
  ASSERT_FALSE(bowtie->IsValid());
  SimplifyGeometry(bowtie);
  EXPECT_TRUE(bowtie->IsValid());
  EXPECT_NEAR(testing::AreaOf(*bowtie), 50, 1e-9);
}

TEST(SimplifyGeometry, AResultThatVanishesRestoresTheOriginal) {
  // A polygon with no area simplifies to nothing; the original comes back.
  auto flat = FromWkt("POLYGON ((0 0,10 0,20 0,0 0))");
  SimplifyGeometry(flat);
  ASSERT_TRUE(flat);
  EXPECT_FALSE(flat->IsEmpty());
  EXPECT_EQ(wkbFlatten(flat->getGeometryType()), wkbPolygon);
  OGRGeometryUniquePtr nothing;
  SimplifyGeometry(nothing);
  EXPECT_FALSE(nothing);
}

TEST(GeometryDifference, CutsTheHoleOfTheMask) {
  auto outer = EnvelopePolygon({0, 0, 100, 100});
  auto inner = EnvelopePolygon({10, 10, 90, 90});
  auto mask = GeometryDifference(std::move(outer), std::move(inner));
  ASSERT_TRUE(mask);
  EXPECT_DOUBLE_EQ(testing::AreaOf(*mask), 100 * 100 - 80 * 80);
  auto whole = GeometryDifference(EnvelopePolygon({0, 0, 1, 1}), nullptr);
  EXPECT_DOUBLE_EQ(testing::AreaOf(*whole), 1);
}

}  // namespace
}  // namespace framora
