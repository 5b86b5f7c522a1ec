#include "geodesy/coord_system.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

struct Recognition {
  bool recognised = false;
  CoordSystemGuess guess;
  std::vector<std::string> messages;
};

Recognition Recognize(int epsg) {
  OGRSpatialReference srs;
  EXPECT_EQ(srs.importFromEPSG(epsg), OGRERR_NONE) << epsg;
  RecordingUserInterface ui;
  Recognition r;
  r.guess.Kind = -7;
  r.recognised = RecognizeCoordSystem(&srs, r.guess, ui);
  r.messages = ui.messages;
  return r;
}

void ExpectProjected(int epsg, int datum, bool threeDegree, bool zoneInEasting, double meridian) {
  const Recognition r = Recognize(epsg);
  ASSERT_TRUE(r.recognised) << epsg;
  EXPECT_EQ(r.guess.Kind, CoordSystemGuess::kProjected) << epsg;
  EXPECT_EQ(r.guess.Datum, datum) << epsg;
  EXPECT_EQ(r.guess.ThreeDegree, threeDegree) << epsg;
  EXPECT_EQ(r.guess.ZoneInEasting, zoneInEasting) << epsg;
  EXPECT_EQ(r.guess.CentralMeridian, meridian) << epsg;
  EXPECT_TRUE(r.messages.empty());
}

TEST(CoordSystem, GeographicCodes) {
  EXPECT_EQ(Recognize(4326).guess.Kind, CoordSystemGuess::kGeographicWgs84);
  EXPECT_EQ(Recognize(4214).guess.Kind, CoordSystemGuess::kGeographicBeijing1954);
  EXPECT_EQ(Recognize(4610).guess.Kind, CoordSystemGuess::kGeographicXian1980);
  EXPECT_EQ(Recognize(4490).guess.Kind, CoordSystemGuess::kGeographicCgcs2000);
  EXPECT_TRUE(Recognize(4490).recognised);
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
    const Recognition r = Recognize(code);
    EXPECT_FALSE(r.recognised) << code;
    EXPECT_EQ(r.guess.Kind, -7) << code;
    EXPECT_TRUE(r.messages.empty()) << code;
  }
  CoordSystemGuess guess;
  for (int code : {21424, 21452, 21464, 21484, 4481, 2301}) EXPECT_FALSE(RecognizeCoordSystemCode(code, guess)) << code;
}

TEST(CoordSystem, MissingReferenceRaisesAndMissingCodeAsks) {
  RecordingUserInterface ui;
  CoordSystemGuess guess;
  try {
    RecognizeCoordSystem(nullptr, guess, ui);
    FAIL();
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "数据没有定义坐标系统");
  }
  OGRSpatialReference custom;
  custom.SetProjCS("local");
  custom.SetGeogCS("g", "d", "Krassowsky", 6378245, 298.3);
  custom.SetTM(0, 117, 1, 500000, 0);
  EXPECT_FALSE(RecognizeCoordSystem(&custom, guess, ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "无法自动识别坐标系统，自己设置有关参数");
}

}  // namespace
}  // namespace framora
