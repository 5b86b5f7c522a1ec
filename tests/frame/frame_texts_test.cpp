#include <gtest/gtest.h>

#include "frame/frame_builder.h"
#include "frame/frame_test_support.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::FindText;
using testing::ReadTexts;
using testing::TempFolder;

// Frame texts around the outer frame 1000..3000 (eastings) by 2000..4000 (northings).
class FrameTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.ScaleFactor = 1;
    sourcePath = folder.file("source.gpkg");
    auto source = CreateWorkspace(OutputPath(sourcePath));
    OGRLayer* layer = source->dataset().CreateLayer("sheets", nullptr, wkbPolygon, nullptr);
    for (const char* name : {"TFH", "NAME"}) {
      OGRFieldDefn field(name, OFTString);
      ASSERT_EQ(layer->CreateField(&field), OGRERR_NONE);
    }
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("TFH", "J50 G 001001");
    feature.SetField("NAME", "城关");
    feature.SetGeometry(EnvelopePolygon({0, 0, 1, 1}).get());
    ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    sheet.reset(feature.Clone());
  }
  void start() {
    builder = std::make_unique<testing::SheetWriter>(settings, path, ui);
    builder->StartSheetDataset("S", nullptr);
    builder->setSourceFeature(OGRFeatureUniquePtr(sheet->Clone()));
    builder->setTextDate(CalendarDate{2009, 7, 5});
    builder->BeginDrawing();
  }
  std::vector<testing::StoredText> finish() {
    builder->EndDrawing(true);
    builder.reset();
    return ReadTexts(path, "a_S");
  }
  TempFolder folder;
  std::string path = folder.file("out.gpkg");
  std::string sourcePath;
  OGRFeatureUniquePtr sheet;
  FrameSettings settings;
  RecordingUserInterface ui;
  std::unique_ptr<testing::SheetWriter> builder;
  // The sheet's feature with one field changed.
  void setField(const char* field, const char* value) {
    sheet->SetField(field, value);
    builder->setSourceFeature(OGRFeatureUniquePtr(sheet->Clone()));
  }
};

TEST_F(FrameTexts, FieldPlaceholdersFillSubtitlesAndTitles) {
  start();
  EXPECT_EQ(builder->ExpandFieldText("[TFH]"), "J50G 001001");
  EXPECT_EQ(builder->ExpandFieldText("No field"), "No field");
  settings.TitleField = "TFH";
  setField("TFH", "E45G095066");
  EXPECT_EQ(builder->ExpandFieldText("[TFH]"), "E45 G 095066");
  EXPECT_EQ(builder->ExpandTitleText("[NAME]").text, "城    关");
  EXPECT_DOUBLE_EQ(builder->ExpandTitleText("[NAME]").characterSpacing, 0);
  setField("NAME", "城关镇");
  EXPECT_EQ(builder->ExpandTitleText("[NAME]").text, "城  关  镇");
  setField("NAME", "城关镇中心");
  EXPECT_EQ(builder->ExpandTitleText("[NAME]").text, "城关镇中心");
  EXPECT_DOUBLE_EQ(builder->ExpandTitleText("[NAME]").characterSpacing, 30);
  EXPECT_EQ(builder->ExpandFieldText("[Nope]"), "");
  EXPECT_EQ(ui.messages.back(), "找不到对应字段Nope");
  builder->setSourceFeature(nullptr);
  EXPECT_EQ(builder->ExpandTitleText("[NAME]").text, "[NAME]");
}

TEST_F(FrameTexts, ScalePlaceholderIsFoundWithoutRegardToCase) {
  settings.ScaleFactor = 0.5;
  testing::SheetWriter arithmetic(settings, "", ui);
  EXPECT_EQ(arithmetic.ExpandScaleText("SCALE 1:[Scale]"), "SCALE 1:5000");
  settings.ScaleFactor = 5;
  EXPECT_EQ(arithmetic.ExpandScaleText("比例尺1:[scale]"), "比例尺1:50000");
}

TEST_F(FrameTexts, TitlesStandCentredAboveTheFrameAndALongTitleIsSpaced) {
  settings.MainTitle = "[NAME]";
  settings.MainTitleTop = 150;
  settings.SubTitle1 = "[TFH]";
  settings.SubTitle1Top = 80;
  settings.ScaleText = "比例尺1:[scale]";
  settings.ScaleTextBottom = 60;
  start();
  setField("NAME", "城关镇中心区");
  builder->WriteTitles(4000, 1000, 3000);
  builder->WriteScaleText(2000, 3000, 1000);
  const auto texts = finish();
  const auto* title = FindText(texts, "城关镇中心区");
  ASSERT_NE(title, nullptr);
  EXPECT_DOUBLE_EQ(title->x, 2000);
  EXPECT_DOUBLE_EQ(title->y, 4150);
  EXPECT_EQ(title->hAlign, 1);
  EXPECT_EQ(title->vAlign, 3);
  EXPECT_DOUBLE_EQ(title->spacing, 30);
  const auto* subtitle = FindText(texts, "J50G 001001");
  ASSERT_NE(subtitle, nullptr);
  EXPECT_DOUBLE_EQ(subtitle->y, 4080);
  EXPECT_DOUBLE_EQ(subtitle->spacing, 0);
  const auto* scale = FindText(texts, "比例尺1:10000");
  ASSERT_NE(scale, nullptr);
  EXPECT_DOUBLE_EQ(scale->y, 1940);
  EXPECT_EQ(scale->vAlign, 0);
}

TEST_F(FrameTexts, UpperRightNeedsItsTextAndStaysClearOfTheCorner) {
  settings.SideTitle = "侧标题";
  settings.UpperRightText = "";
  start();
  builder->WriteUpperRight(4000, 3000);
  EXPECT_TRUE(finish().empty()) << "a side title alone is not written";

  settings.UpperRightText = "秘密";
  settings.UpperRightTop = 30;
  settings.SideTitleTop = 100;
  settings.SideTitleRight = 50;
  path = folder.file("second.gpkg");
  start();
  builder->WriteUpperRight(4000, 3000);
  const auto texts = finish();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_DOUBLE_EQ(texts[0].x, 3000 - 80 - 20);
  EXPECT_DOUBLE_EQ(texts[0].y, 4030);
  EXPECT_DOUBLE_EQ(texts[1].x, 3000 - 80 - 20 - 50);
  EXPECT_DOUBLE_EQ(texts[1].y, 4100);
  EXPECT_EQ(texts[1].hAlign, 2);
}

TEST_F(FrameTexts, LowerRightTailSitsUnderTheBlockByItsWidth) {
  settings.LowerRightText = "测绘单位\r\nyyyy年mm月";
  settings.LowerRightCentredTail = "某某测绘";  // 8 bytes
  settings.LowerRightFont = FontOfPointSize("宋体", 10);
  settings.LowerRightBottom = 50;
  start();
  builder->WriteLowerRight(2000, 3000);
  const auto texts = finish();
  ASSERT_EQ(texts.size(), 2u);
  const auto* tail = FindText(texts, "某某测绘");
  const auto* block = FindText(texts, "测绘单位\r\n2009年7月");
  ASSERT_NE(tail, nullptr);
  ASSERT_NE(block, nullptr);
  EXPECT_DOUBLE_EQ(tail->x, 3000 - 80);
  EXPECT_NEAR(tail->y, 2000 - 50 - 23.52, 0.005);
  EXPECT_NEAR(block->x, 3000 - 80 - 141.11, 0.005);
  EXPECT_DOUBLE_EQ(block->y, 1950);
  EXPECT_EQ(block->vAlign, 0);
  EXPECT_EQ(block->hAlign, 2);
}

TEST_F(FrameTexts, LowerLeftBlockAndTheVerticalLeftText) {
  settings.LowerLeftText = "[TFH] YYYY年MM月DD日";
  settings.LowerLeftBottom = 40;
  settings.LeftText = "测绘局";
  settings.LeftTextDist = 30;
  start();
  builder->WriteLowerLeft(2000, 1000);
  const auto texts = finish();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "J50G 001001 二○○九年七月五日");
  EXPECT_DOUBLE_EQ(texts[0].x, 1080);
  EXPECT_DOUBLE_EQ(texts[0].y, 1960);
  EXPECT_EQ(texts[1].text, "测\r\n绘\r\n局") << "stored trimmed of the final line break";
  EXPECT_DOUBLE_EQ(texts[1].x, 970);
  EXPECT_DOUBLE_EQ(texts[1].y, 2000 + 80 - 25);
}

TEST_F(FrameTexts, CornerLabelsInDegreesSplitAtTheDegreeSign) {
  settings.CoordsWithZone = true;
  settings.ThreeDegreeZones = true;
  settings.CentralMeridian = 87;
  settings.UseKrassowsky = true;
  settings.CornerLabelMode = 0;
  settings.GridLabelOffset = 5;
  settings.GridLabelOffsetMm = 0;
  settings.CornerFont = FontOfPointSize("宋体", 10);
  start();
  builder->WriteCornerLabel(0, 1774577.078, 29613707.917);
  const auto texts = finish();
  ASSERT_EQ(texts.size(), 4u);
  const auto* lonDegrees = FindText(texts, "88°");
  const auto* lonRest = FindText(texts, "03′45″");
  const auto* latDegrees = FindText(texts, "16°");
  const auto* latRest = FindText(texts, "02′30″");
  ASSERT_TRUE(lonDegrees && lonRest && latDegrees && latRest);
  EXPECT_NEAR(lonDegrees->y, 1774577.078 - 1 - 35.2778, 0.001);
  EXPECT_EQ(lonDegrees->hAlign, 2);
  EXPECT_EQ(lonRest->hAlign, 0);
  EXPECT_DOUBLE_EQ(lonDegrees->spacing, -30);
  EXPECT_EQ(latDegrees->vAlign, 3);
  EXPECT_EQ(latRest->vAlign, 0);
}

TEST_F(FrameTexts, CornerLabelsOutsideChinaStopTheRun) {
  settings.CentralMeridian = 3;
  settings.CornerLabelMode = 0;
  start();
  EXPECT_THROW(builder->WriteCornerLabel(0, 1774577, 500000), FramoraError);
  try {
    builder->WriteCornerLabelGeographic(1, 0.5, 100);
    FAIL();
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "参数设置错误");
  }
}

TEST_F(FrameTexts, CornerLabelsInMetresSitInsideTheBand) {
  settings.CornerLabelMode = 2;
  settings.CornerDigitsBefore = 2;
  settings.CornerDigitsAfter = 2;
  start();
  builder->WriteCornerLabel(1, 3456789, 512345);
  const auto texts = finish();
  ASSERT_EQ(texts.size(), 2u);
  const auto* east = FindText(texts, "12.34");
  const auto* north = FindText(texts, "56.78");
  ASSERT_TRUE(east && north);
  // Beside the corner lines, not across them: the easting right of the upper-left corner's
  // line in the middle of the top band, the northing left of the inner frame above its line.
  const double clear = 0.2 * 6 * 25.4 / 72 * 10;
  EXPECT_DOUBLE_EQ(east->x, 512345 + clear);
  EXPECT_DOUBLE_EQ(east->y, 3456789 + 40);
  EXPECT_EQ(east->hAlign, 0);
  EXPECT_EQ(east->vAlign, 1);
  EXPECT_DOUBLE_EQ(north->x, 512345 - clear);
  EXPECT_DOUBLE_EQ(north->y, 3456789 + clear);
  EXPECT_EQ(north->hAlign, 2);
}

}  // namespace
}  // namespace framora
