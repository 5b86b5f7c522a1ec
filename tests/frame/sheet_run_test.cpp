// The sheet loop every builder shares: counts, skips, stops, failures and cleanup.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "frame/frame_builder.h"
#include "frame/frame_test_support.h"
#include "gis/workspace.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::TempFolder;

// A builder whose sheets do what their name says: "skip" cannot be made, "fail" breaks
// half-way, any other draws one line.
class ScriptedBuilder : public TtkBaseClass {
 public:
  using TtkBaseClass::TtkBaseClass;

 protected:
  DrawnSheet DrawSheet(const OGRFeature& feature) override {
    const std::string name = feature.GetFieldAsString("NAME");
    if (name.rfind("skip", 0) == 0) throw SheetSkipped("不能成图：" + name);
    BeginSheet(feature);
    const bool madeNow = DrawNewSheet([&] {
      AddLine(1, 0, 0, 1, 1);
      if (name == "fail") throw FramoraError("画到一半失败");
    });
    return DrawnSheet{madeNow, Envelope{0, 0, 1, 1}};
  }
};

// Records the document step; "nodoc" cannot get its document, every sheet has a notice.
struct ScriptedDocuments : SheetDocumentBuilder {
  std::vector<std::string> sheets;
  std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) override {
    sheets.push_back(sheet.name);
    if (sheet.name == "nodoc") throw FramoraError("不能写入图片" + sheet.name);
    return {"图层道路的数据不能打开，图片中没有它"};
  }
};

// Pictures that ask for a stop once per band, four bands a sheet, as an export does.
struct BandedDocuments : SheetDocumentBuilder {
  std::vector<std::string> sheets;
  std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) override {
    for (int band = 0; band < 4; ++band)
      if (sheet.stopRequested && sheet.stopRequested()) throw RunStopped();
    sheets.push_back(sheet.name);
    return {};
  }
};

// A progress window that cannot be closed.
struct BrokenProgressUserInterface : RecordingUserInterface {
  void endProgress(bool) override { throw FramoraError("进度窗口关不上"); }
};

class SheetRun : public ::testing::Test {
 protected:
  void writeSource(const std::vector<std::string>& names, OGRSpatialReference* srs = nullptr) {
    auto source = CreateWorkspace(OutputPath(sourcePath));
    OGRLayer* layer = source->dataset().CreateLayer("sheets", srs, wkbPolygon, nullptr);
    OGRFieldDefn field("NAME", OFTString);
    ASSERT_EQ(layer->CreateField(&field), OGRERR_NONE);
    for (const std::string& name : names) {
      OGRFeature feature(layer->GetLayerDefn());
      feature.SetField("NAME", name.c_str());
      feature.SetGeometry(EnvelopePolygon({0, 0, 1, 1}).get());
      ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
  }
  SheetRunSummary run(UserInterface& userInterface, SheetDocumentBuilder* documents = nullptr,
                      const std::string& where = "") {
    GDALDatasetUniquePtr source(GDALDataset::Open(sourcePath.c_str(), GDAL_OF_VECTOR));
    ScriptedBuilder builder(settings, outputPath, userInterface,
                            SheetSource{source->GetLayerByName("sheets"), where, "NAME", "[NAME]"}, documents);
    return builder.Run();
  }
  bool sheetExists(const std::string& name) const {
    GDALDatasetUniquePtr output(GDALDataset::Open(outputPath.c_str(), GDAL_OF_VECTOR));
    return output && output->GetLayerByName(("L_" + name).c_str()) != nullptr;
  }

  TempFolder folder;
  std::string sourcePath = folder.file("source.gpkg");
  std::string outputPath = folder.file("frames.gpkg");
  FrameSettings settings;
  RecordingUserInterface ui;
};

TEST_F(SheetRun, EachSheetIsCountedOnceAsMadeExistingSkippedOrFailed) {
  writeSource({"a", "skip1", "nodoc", "b"});
  ScriptedDocuments documents;
  const SheetRunSummary first = run(ui, &documents);
  EXPECT_EQ(first.made, 2);
  EXPECT_EQ(first.skipped, 1);
  EXPECT_EQ(first.failed, 1);
  EXPECT_FALSE(first.stopped);
  EXPECT_EQ(documents.sheets, (std::vector<std::string>{"a", "nodoc", "b"}));
  // The skip and the failure are told; a notice that every sheet gives is told once.
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"图层道路的数据不能打开，图片中没有它", "不能成图：skip1",
                                                   "不能写入图片nodoc"}));
  EXPECT_EQ(ui.progressTotal, 4);
  EXPECT_EQ(ui.progressEnds, 1);

  const SheetRunSummary again = run(ui);
  EXPECT_EQ(again.made, 0);
  EXPECT_EQ(again.existing, 3);
  EXPECT_EQ(again.skipped, 1);
}

TEST_F(SheetRun, NoSelectedSheetIsToldAndNothingStarts) {
  writeSource({"a"});
  const SheetRunSummary summary = run(ui, nullptr, "NAME = 'none'");
  EXPECT_EQ(summary.made + summary.existing + summary.skipped + summary.failed, 0);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"没有数据，可能条件设置错误"}));
  EXPECT_EQ(ui.progressStarts, 0);
}

TEST_F(SheetRun, AStopCountsOnlyWhenSheetsAreLeft) {
  writeSource({"a", "b", "c"});
  ui.cancelAtStep = 2;
  SheetRunSummary summary = run(ui);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.made, 2);
  EXPECT_FALSE(sheetExists("c"));

  RecordingUserInterface last;
  last.cancelAtStep = 3;
  summary = run(last);
  EXPECT_FALSE(summary.stopped) << "a stop after the last sheet leaves nothing undone";
  EXPECT_EQ(summary.made, 1);
}

TEST_F(SheetRun, AStopDuringAPictureEndsTheRunWithThatSheetNotMadeAndAResumeMakesIt) {
  writeSource({"a", "b", "c"});
  BandedDocuments documents;
  ui.stopAtCheck = 6;  // the second band of b's picture
  SheetRunSummary summary = run(ui, &documents);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.made, 1);
  EXPECT_EQ(summary.failed, 0);
  EXPECT_EQ(documents.sheets, std::vector<std::string>{"a"});
  EXPECT_TRUE(ui.messages.empty()) << "a stop is not a failure";
  EXPECT_EQ(ui.progressEnds, 1);
  EXPECT_FALSE(sheetExists("c"));

  // b's frame is whole; the run that continues gives it its picture.
  RecordingUserInterface resumed;
  summary = run(resumed, &documents);
  EXPECT_FALSE(summary.stopped);
  EXPECT_EQ(summary.made, 1);
  EXPECT_EQ(summary.existing, 2);
  EXPECT_EQ(documents.sheets, (std::vector<std::string>{"a", "a", "b", "c"}));
}

TEST_F(SheetRun, ASheetFailingHalfWayIsRemovedAndItsErrorEndsTheRun) {
  writeSource({"a", "fail", "b"});
  try {
    run(ui);
    FAIL() << "the run went on";
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "画到一半失败");
  }
  EXPECT_TRUE(sheetExists("a"));
  EXPECT_FALSE(sheetExists("fail"));
  EXPECT_FALSE(sheetExists("b"));
  EXPECT_EQ(ui.progressEnds, 1);
}

TEST_F(SheetRun, AProgressWindowThatWillNotCloseNeverHidesTheRunsError) {
  writeSource({"fail"});
  BrokenProgressUserInterface broken;
  try {
    run(broken);
    FAIL() << "the run went on";
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "画到一半失败");
  }
}

TEST_F(SheetRun, NamesThatCollideAfterCleaningAreRefusedUpFrontNamingTheFeatures) {
  writeSource({"A-1", "A.1", "B", "A_1", "a_1", "A (1)"});
  GDALDatasetUniquePtr source(GDALDataset::Open(sourcePath.c_str(), GDAL_OF_VECTOR));
  OGRLayer* layer = source->GetLayerByName("sheets");
  try {
    RefuseCollidingSheetNames(*layer, SheetSource{layer, "", "NAME", "[NAME]"});
    FAIL() << "the collision went unnoticed";
  } catch (const FramoraError& error) {
    const std::string text = error.what();
    EXPECT_EQ(text.rfind("图幅名称重复", 0), 0u) << text;
    for (const char* name : {"A-1", "A.1", "A_1", "a_1", "都成为图幅A_1"})
      EXPECT_NE(text.find(name), std::string::npos) << name;
    EXPECT_EQ(text.find("B"), std::string::npos);
    EXPECT_EQ(text.find("A (1)"), std::string::npos) << "it becomes A1, a name of its own";
  }
  EXPECT_NO_THROW(RefuseCollidingSheetNames(*layer, SheetSource{layer, "NAME IN ('A-1', 'B')", "NAME", "[NAME]"}));
  EXPECT_EQ(layer->GetAttrQueryString(), nullptr);

  // A run that was not checked still never merges two features into one sheet.
  ScriptedDocuments documents;
  const SheetRunSummary summary = run(ui, &documents);
  EXPECT_EQ(summary.made, 3);
  EXPECT_EQ(summary.skipped, 3);
  EXPECT_EQ(documents.sheets, (std::vector<std::string>{"A_1", "B", "A1"}));
  EXPECT_NE(std::find(ui.messages.begin(), ui.messages.end(), "图幅名称a_1与前面的图幅重复，没有生成"), ui.messages.end());
}

TEST_F(SheetRun, HostileNamesMakeSafeSheetsInAFileGeodatabase) {
  const std::string longName(300, 'x');
  OGRSpatialReference srs;
  srs.importFromEPSG(4547);
  writeSource({"/tmp/elsewhere/abs", "a\tb\nc", "../../up", "bad\xff\xfe" "utf", longName, "图幅\\名"}, &srs);
  outputPath = folder.file("frames.gdb");
  ScriptedDocuments documents;
  const SheetRunSummary summary = run(ui, &documents);
  EXPECT_EQ(summary.made, 6) << ::testing::PrintToString(ui.messages);
  EXPECT_EQ(documents.sheets, (std::vector<std::string>{"_tmp_elsewhere_abs", "a_b_c", "______up", "bad__utf",
                                                        std::string(kMaxSheetNameCharacters, 'x'), "图幅_名"}));
  for (const std::string& name : documents.sheets) EXPECT_TRUE(sheetExists(name)) << name;
}

}  // namespace
}  // namespace framora
