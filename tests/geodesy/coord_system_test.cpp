#include "geodesy/coord_system.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include "util/framora_error.h"

namespace framora {
namespace {

CoordSystemRecognition Recognize(int epsg) {
  OGRSpatialReference srs;
  EXPECT_EQ(srs.importFromEPSG(epsg), OGRERR_NONE) << epsg;
  return RecognizeCoordSystem(&srs);
}

int KindOf(int epsg) {
  const CoordSystemRecognition r = Recognize(epsg);
  return r.guess ? r.guess->Kind : -7;
}

void ExpectProjected(int epsg, int datum, bool threeDegree, bool zoneInEasting, double meridian) {
  const CoordSystemRecognition r = Recognize(epsg);
  ASSERT_TRUE(r.guess) << epsg;
  EXPECT_EQ(r.guess->Kind, CoordSystemGuess::kProjected) << epsg;
  EXPECT_EQ(r.guess->Datum, datum) << epsg;
  EXPECT_EQ(r.guess->ThreeDegree, threeDegree) << epsg;
  EXPECT_EQ(r.guess->ZoneInEasting, zoneInEasting) << epsg;
  EXPECT_EQ(r.guess->CentralMeridian, meridian) << epsg;
  EXPECT_EQ(r.notice, "") << epsg;
}

TEST(CoordSystem, GeographicCodes) {
  EXPECT_EQ(KindOf(4326), CoordSystemGuess::kGeographicWgs84);
  EXPECT_EQ(KindOf(4214), CoordSystemGuess::kGeographicBeijing1954);
  EXPECT_EQ(KindOf(4610), CoordSystemGuess::kGeographicXian1980);
  EXPECT_EQ(KindOf(4490), CoordSystemGuess::kGeographicCgcs2000);
  CoordSystemGuess guess;
  ASSERT_TRUE(RecognizeCoordSystemCode(4472, guess));
  EXPECT_EQ(guess.Kind, CoordSystemGuess::kGeographicCgcs2000);
}

TEST(CoordSystem, FirstAndLastCodesOfEachFamily) {
  using G = CoordSystemGuess;
  ExpectProjected(4491, G::kCgcs2000, false, true, 75);
  ExpectProjected(4502, G::kCgcs2000, false, false, 75);
  ExpectProjected(4513, G::kCgcs2000, true, true, 75);
  ExpectProjected(4534, G::kCgcs2000, true, false, 75);
  ExpectProjected(4554, G::kCgcs2000, true, false, 135);
  ExpectProjected(2327, G::kXian1980, false, true, 75);
  ExpectProjected(2338, G::kXian1980, false, false, 75);
  ExpectProjected(2349, G::kXian1980, true, true, 75);
  ExpectProjected(2370, G::kXian1980, true, false, 75);
  ExpectProjected(2401, G::kBeijing1954, true, true, 75);
  ExpectProjected(2422, G::kBeijing1954, true, false, 75);
  ExpectProjected(2442, G::kBeijing1954, true, false, 135);
  ExpectProjected(21413, G::kBeijing1954, false, true, 75);
  ExpectProjected(21473, G::kBeijing1954, false, false, 75);  // PROJ answers 21453 for it
  ExpectProjected(21463, G::kBeijing1954, false, false, 135);
  CoordSystemGuess guess;
  ASSERT_TRUE(RecognizeCoordSystemCode(21483, guess));
  EXPECT_EQ(guess.CentralMeridian, 135);
  EXPECT_FALSE(guess.ZoneInEasting);
  ExpectProjected(4548, G::kCgcs2000, true, false, 117);
}

TEST(CoordSystem, CodesOutsideTheRunsChangeNothing) {
  // 2400 and 2500 lie outside the Beijing family; the others inside a family's bounds but
  // name other systems (JGD2000 Japan, KKJ Finland, New Beijing).
  for (int code : {2400, 2500, 32650, 2443, 2391, 4555}) {
    const CoordSystemRecognition r = Recognize(code);
    EXPECT_FALSE(r.guess) << code;
    EXPECT_EQ(r.notice, "") << code;
  }
  CoordSystemGuess guess;
  for (int code : {21424, 21452, 21464, 21484, 4481, 2301}) EXPECT_FALSE(RecognizeCoordSystemCode(code, guess)) << code;
}

TEST(CoordSystem, MissingReferenceRaisesAndMissingCodeGivesANotice) {
  try {
    RecognizeCoordSystem(nullptr);
    FAIL();
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "数据没有定义坐标系统");
  }
  OGRSpatialReference custom;
  custom.SetProjCS("local");
  custom.SetGeogCS("g", "d", "Krassowsky", 6378245, 298.3);
  custom.SetTM(0, 117, 1, 500000, 0);
  const CoordSystemRecognition r = RecognizeCoordSystem(&custom);
  EXPECT_FALSE(r.guess);
  EXPECT_EQ(r.notice, "无法自动识别坐标系统，自己设置有关参数");
}

}  // namespace
}  // namespace framora
