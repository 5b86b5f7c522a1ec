#include "frame/frame_builder.h"

#include <gtest/gtest.h>

#include "frame/frame_test_support.h"
#include "gis/feature_dataset.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::ReadLines;
using testing::SheetWriter;
using testing::TempFolder;

OGRSpatialReference Zone39() {
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

TEST(FrameBuilderCreation, AnEmptyOutputPathOnlySetsTheFrameGap) {
  FrameSettings settings;
  settings.ScaleFactor = 0.5;
  RecordingUserInterface ui;
  SheetWriter builder(settings, "", ui);
  EXPECT_DOUBLE_EQ(builder.frameGap(), 40);
  EXPECT_EQ(builder.outputWorkspace(), nullptr);
}

TEST(FrameBuilderCreation, AnMdbOutputIsRefusedBeforeAnythingIsWritten) {
  TempFolder folder;
  FrameSettings settings;
  RecordingUserInterface ui;
  EXPECT_THROW(SheetWriter(settings, folder.file("out.mdb"), ui), FramoraError);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(SheetNames, PunctuationBecomesUnderscoresAndBracketsAndBlanksGo) {
  EXPECT_EQ(CleanSheetName("E45G095066"), "E45G095066");
  EXPECT_EQ(CleanSheetName("H-50 (12).3"), "H_5012_3");
  EXPECT_EQ(CleanSheetName("A-1.2"), "A_1_2");
}

TEST(SheetName, NothingOfANameReachesOutsideTheFolderOrPastTheLimits) {
  EXPECT_EQ(CleanSheetName("/tmp/x/abs"), "_tmp_x_abs");
  EXPECT_EQ(CleanSheetName("..\\..\\c:d"), "______c_d");
  EXPECT_EQ(CleanSheetName("a\tb\nc\x7f"), "a_b_c_");
  EXPECT_EQ(CleanSheetName("x*?<>|\"#&,"), "x_________");
  EXPECT_EQ(CleanSheetName("金盏乡"), "金盏乡");
  // Invalid UTF-8: stray continuation, cut sequence, overlong form, surrogate, C1 control.
  EXPECT_EQ(CleanSheetName("a\x80" "b\xe4\xb8"), "a_b__");
  EXPECT_EQ(CleanSheetName("\xc0\xafz\xed\xa0\x80\xc2\x85"), "__z_____");
  EXPECT_EQ(CleanSheetName(std::string(300, 'n')).size(), kMaxSheetNameCharacters);
  // Three bytes a character: the byte limit comes first, and never in a character's middle.
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "图";
  const std::string cut = CleanSheetName(chinese);
  EXPECT_EQ(cut.size(), kMaxSheetNameBytes / 3 * 3);
  EXPECT_EQ(SheetNameKey("Ab_1"), SheetNameKey("aB_1"));
}

TEST(SpatialDomain, WholeKilometresWithAMarginGrowingWithTheScale) {
  const SpatialDomain domain = SheetSpatialDomain({39512345, 3401234, 39523456, 3412345}, 1);
  EXPECT_DOUBLE_EQ(domain.xmin, 39506000);
  EXPECT_DOUBLE_EQ(domain.ymin, 3395000);
  EXPECT_DOUBLE_EQ(domain.xmax, 39529000);
  EXPECT_DOUBLE_EQ(domain.ymax, 3418000);
  EXPECT_EQ(SpatialIndexGridSizeOf(domain), 23000);
  const SpatialDomain wide = SheetSpatialDomain({39512345, 3401234, 39523456, 3412345}, 5.5);
  EXPECT_DOUBLE_EQ(wide.xmin, 39502000);
  EXPECT_EQ(SpatialIndexGridSizeOf(SpatialDomain{0, 0, 100, 100}), 1000);
}

// A builder writing into a fresh geodatabase of either kind.
class SheetOutput : public ::testing::TestWithParam<const char*> {
 protected:
  std::string path() const { return folder.file(std::string("frames") + GetParam()); }
  TempFolder folder;
  FrameSettings settings;
  RecordingUserInterface ui;
};

TEST_P(SheetOutput, ASheetGetsItsDatasetAndThreeClassesWithTheReferenceScale) {
  settings.ScaleFactor = 0.5;
  {
    SheetWriter builder(settings, path(), ui);
    const OGRSpatialReference srs = Zone39();
    builder.StartSheetDataset("A-1.2", &srs);
    EXPECT_TRUE(builder.isNewDataset());
    EXPECT_EQ(builder.sheetName(), "A_1_2");
    EXPECT_EQ(builder.sheetsBegun(), 1);
    builder.BeginDrawing();
    builder.AddLine(1, 39500000, 3500000, 39501000, 3500000);
    builder.AddText("图名", settings.MainTitleFont, 2, 3, 39500500, 3500100);
    builder.EndDrawing(true);
  }
  GDALDatasetUniquePtr output(GDALDataset::Open(path().c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(output);
  for (const char* name : {"L_A_1_2", "p_A_1_2", "a_A_1_2"}) {
    OGRLayer* layer = output->GetLayerByName(name);
    ASSERT_NE(layer, nullptr) << name;
    ASSERT_NE(layer->GetSpatialRef(), nullptr) << name;
    EXPECT_STREQ(layer->GetSpatialRef()->GetAuthorityCode(nullptr), "4527") << name;
  }
  auto workspace = OpenWorkspace(OutputPath(path()));
  EXPECT_TRUE(FeatureDatasetExists(*workspace, "yA_1_2"));
  EXPECT_DOUBLE_EQ(StoredReferenceScale(*workspace, "a_A_1_2"), 5000);
}

TEST_P(SheetOutput, ASheetStartedTwiceIsDrawnOnce) {
  const OGRSpatialReference srs = Zone39();
  {
    SheetWriter builder(settings, path(), ui);
    builder.StartSheetDataset("E45G095066", &srs);
    builder.BeginDrawing();
    builder.AddLine(1, 0, 0, 1, 1);
    builder.EndDrawing(true);
  }
  SheetWriter again(settings, path(), ui);
  again.StartSheetDataset("E45G095066", &srs);
  EXPECT_FALSE(again.isNewDataset());
  again.StartSheetDataset("E45G095066", &srs);
  EXPECT_EQ(again.sheetsBegun(), 2);
  EXPECT_EQ(ReadLines(path(), "L_E45G095066").size(), 1u);
}

TEST_P(SheetOutput, ASheetThatFailsHalfWayIsNotLeftLookingFinished) {
  const OGRSpatialReference srs = Zone39();
  {
    SheetWriter builder(settings, path(), ui);
    builder.StartSheetDataset("broken", &srs);
    builder.BeginDrawing();
    builder.AddLine(1, 0, 0, 1, 1);
    builder.EndDrawing(false);
  }
  {
    SheetWriter builder(settings, path(), ui);
    builder.StartSheetDataset("abandoned", &srs);
    builder.BeginDrawing();
    builder.AddLine(1, 0, 0, 1, 1);
  }  // dropped while drawing
  SheetWriter rerun(settings, path(), ui);
  rerun.StartSheetDataset("broken", &srs);
  EXPECT_TRUE(rerun.isNewDataset());
  rerun.StartSheetDataset("abandoned", &srs);
  EXPECT_TRUE(rerun.isNewDataset());
}

TEST_P(SheetOutput, BeginSheetNamesTheSheetFromTheFieldAndTakesTheSourceReference) {
  const std::string sourcePath = folder.file("index.gpkg");
  {
    auto source = CreateWorkspace(OutputPath(sourcePath));
    OGRSpatialReference srs = Zone39();
    OGRLayer* sheets = source->dataset().CreateLayer("sheets", &srs, wkbPolygon, nullptr);
    OGRFieldDefn field("TFH", OFTString);
    ASSERT_EQ(sheets->CreateField(&field), OGRERR_NONE);
    OGRFeature feature(sheets->GetLayerDefn());
    feature.SetField("TFH", "H-50-(12)");
    feature.SetGeometry(EnvelopePolygon({39512345, 3401234, 39523456, 3412345}).get());
    ASSERT_EQ(sheets->CreateFeature(&feature), OGRERR_NONE);
  }
  GDALDatasetUniquePtr source(GDALDataset::Open(sourcePath.c_str(), GDAL_OF_VECTOR));
  OGRLayer* sheets = source->GetLayerByName("sheets");
  OGRFeatureUniquePtr feature(sheets->GetNextFeature());
  SheetWriter builder(settings, path(), ui, SheetSource{sheets, "", "TFH", "图[TFH]"});
  builder.BeginSheet(*feature);
  EXPECT_EQ(builder.sheetName(), "图H_50_12");
  EXPECT_EQ(builder.spatialIndexGridSize(), 23000);
  EXPECT_TRUE(builder.isNewDataset());
  EXPECT_TRUE(ui.messages.empty());

  SheetWriter missing(settings, path(), ui, SheetSource{sheets, "", "Missing", "X[Missing]"});
  missing.BeginSheet(*feature);
  EXPECT_EQ(ui.messages.back(), "找不到对应字段Missing");
  EXPECT_EQ(missing.sheetName(), "X");
}

TEST_P(SheetOutput, ANameThatCleansToNothingIsRefused) {
  SheetWriter builder(settings, path(), ui);
  EXPECT_THROW(builder.StartSheetDataset(" () ", nullptr), FramoraError);
}

INSTANTIATE_TEST_SUITE_P(BothKinds, SheetOutput, ::testing::Values(".gdb", ".gpkg"),
                         [](const auto& info) { return std::string(info.param + 1); });

}  // namespace
}  // namespace framora
