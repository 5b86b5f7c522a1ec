#include <gtest/gtest.h>

#include <cmath>

#include "frame/frame_builder.h"
#include "frame/frame_test_support.h"
#include "support/temp_folder.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::ReadLines;
using testing::ReadTexts;
using testing::TempFolder;

using Writing = testing::SheetWritingTest;

TEST_F(Writing, FontsStandOnTheGroundAtTheMapScale) {
  testing::SheetWriter arithmetic(settings, "", ui);
  const LogicalFont tenPoint = FontOfPointSize("宋体", 10);
  EXPECT_NEAR(arithmetic.FontHeightOnGround(tenPoint), 35.28, 0.005);
  EXPECT_NEAR(arithmetic.DoubleFontHeightOnGround(tenPoint), 70.56, 0.01);
  settings.ScaleFactor = 5;
  EXPECT_NEAR(arithmetic.FontHeightOnGround(tenPoint), 176.39, 0.005);
}

TEST_F(Writing, GeographicInputStoresLinesAndTextsInDegrees) {
  settings.GeographicInput = true;
  settings.UseKrassowsky = true;
  settings.CoordsWithZone = true;
  settings.ThreeDegreeZones = true;
  settings.CentralMeridian = 87;
  start();
  builder->AddLine(1, 29613707.917, 1774577.078, 29613707.917, 1775577.078);
  builder->AddLineGeographic(2, 88.0625, 16.0416667, 88.1, 16.05);
  builder->AddText("角", settings.CornerFont, 1, 1, 29613707.917, 1774577.078);
  finish();
  const auto lines = ReadLines(path, "L_S");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NEAR(lines[0].x1, 88.0625, 1e-5);
  EXPECT_NEAR(lines[0].y1, 16.0 + 2.5 / 60, 1e-5);
  EXPECT_DOUBLE_EQ(lines[1].x2, 88.1);
  const auto texts = ReadTexts(path, "a_S");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NEAR(texts[0].x, 88.0625, 1e-5);
}

TEST_F(Writing, TextsAreTrimmedBlanksWriteNothingAndAlignmentsAreStored) {
  start();
  builder->AddText("   ", settings.CornerFont, 1, 1, 0, 0);
  builder->AddText(" 左上 ", settings.CornerFont, 1, 1, 10, 20);
  builder->AddText("中", settings.CornerFont, 2, 2, 0, 0);
  builder->AddText("右下", settings.CornerFont, 3, 3, 0, 0);
  finish();
  const auto texts = ReadTexts(path, "a_S");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, "左上");
  EXPECT_EQ(texts[0].hAlign, 0);
  EXPECT_EQ(texts[0].vAlign, 0);
  EXPECT_DOUBLE_EQ(texts[0].x, 10);
  EXPECT_EQ(texts[1].hAlign, 1);
  EXPECT_EQ(texts[1].vAlign, 1);
  EXPECT_EQ(texts[2].hAlign, 2);
  EXPECT_EQ(texts[2].vAlign, 3);
}

TEST_F(Writing, PlaneAndGeographicConversionsMeetTheWorkedExample) {
  settings.CoordsWithZone = true;
  settings.ThreeDegreeZones = true;
  settings.CentralMeridian = 87;
  settings.UseKrassowsky = true;
  testing::SheetWriter arithmetic(settings, "", ui);
  const PlanePoint plane = arithmetic.ToPlane(16.0 + 2.5 / 60, 88.0625);
  EXPECT_NEAR(plane.northing, 1774577.078, 0.0005);
  EXPECT_NEAR(plane.easting, 29613707.917, 0.0005);
  const GeoPoint back = arithmetic.ToGeographic(plane.northing, plane.easting);
  EXPECT_NEAR(back.latitude, 16.0 + 2.5 / 60, 1e-5);
  EXPECT_NEAR(back.longitude, 88.0625, 1e-5);
  EXPECT_EQ(TtkBaseClass::MinutesSecondsText(88.0625), "03′45″");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Writing, AnInverseThatCannotBeComputedIsToldOnceAndTheSheetGoesOnAtTheOrigin) {
  testing::SheetWriter arithmetic(settings, "", ui);
  const GeoPoint point = arithmetic.ToGeographic(std::nan(""), 500000);
  EXPECT_EQ(point.latitude, 0);
  EXPECT_EQ(point.longitude, 0);
  arithmetic.ToGeographic(std::nan(""), 500000);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "输入的数据,错误");
}

}  // namespace
}  // namespace framora
