// The sheet loop every builder shares: counts, skips, stops, failures and cleanup.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

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
  std::function<void(const std::string&)> drawing;  // told of each sheet as it starts

 protected:
  DrawnSheet DrawSheet(const OGRFeature& feature) override {
    const std::string name = feature.GetFieldAsString("NAME");
    if (drawing) drawing(name);
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

// Pictures drawn on a thread of their own, keeping the order of what happened. "nodoc"'s picture
// fails once the next sheet's frame has begun; with untilStopped, a picture draws until a stop
// reaches it. Every picture has the same notice. Waits give up after a few seconds, so a run
// that never overlaps fails its test instead of hanging.
struct ScriptedPictures : SheetDocumentBuilder {
  std::mutex guard;
  std::condition_variable changed;
  std::vector<std::string> events;
  bool untilStopped = false;

  void record(const std::string& event) {
    const std::lock_guard<std::mutex> lock(guard);
    events.push_back(event);
    changed.notify_all();
  }
  bool waitFor(const std::function<bool()>& happened) {
    std::unique_lock<std::mutex> lock(guard);
    return changed.wait_for(lock, std::chrono::seconds(5), happened);
  }
  size_t framesLocked() const {
    return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                             [](const std::string& event) { return event.rfind("frame ", 0) == 0; }));
  }
  size_t frames() {
    const std::lock_guard<std::mutex> lock(guard);
    return framesLocked();
  }
  size_t position(const std::string& event) const {
    return static_cast<size_t>(std::find(events.begin(), events.end(), event) - events.begin());
  }
  bool happened(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  struct Picture : SheetPicture {
    ScriptedPictures& owner;
    std::string name;
    size_t framesBefore;  // begun when the picture was handed over
    Picture(ScriptedPictures& pictures, std::string sheet)
        : owner(pictures), name(std::move(sheet)), framesBefore(pictures.frames()) {}
    void draw(const std::function<bool()>& stopRequested) override {
      if (name == "nodoc") {
        owner.waitFor([this] { return owner.framesLocked() > framesBefore; });
        owner.record("picture nodoc failed");
        throw FramoraError("不能写入图片" + name);
      }
      if (owner.untilStopped) {
        const auto start = std::chrono::steady_clock::now();
        while (!stopRequested() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (stopRequested()) throw RunStopped();
      }
      owner.record("picture " + name);
    }
    std::vector<std::string> notices() override { return {"图层道路的数据不能打开，图片中没有它"}; }
  };

  std::vector<std::string> BuildSheetDocument(const FinishedSheet&) override {
    ADD_FAILURE() << "a picture that can be drawn elsewhere was drawn in turn";
    return {};
  }
  std::unique_ptr<SheetPicture> PrepareSheetDocument(const FinishedSheet& sheet) override {
    return std::make_unique<Picture>(*this, sheet.name);
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
    builder.drawing = drawing;
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
  std::function<void(const std::string&)> drawing;
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


TEST_F(SheetRun, APictureFailingWhileTheNextFrameIsBuiltFailsItsOwnSheetAndIsToldInTurn) {
  writeSource({"a", "nodoc", "skip1", "b"});
  ScriptedDocuments inTurn;
  const SheetRunSummary expected = run(ui, &inTurn);
  const std::vector<std::string> expectedMessages = ui.messages;
  std::filesystem::remove(outputPath);

  ScriptedPictures pictures;
  drawing = [&pictures](const std::string& name) { pictures.record("frame " + name); };
  RecordingUserInterface overlapped;
  const SheetRunSummary summary = run(overlapped, &pictures);
  EXPECT_EQ(summary.made, expected.made);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(summary.skipped, 1);
  EXPECT_EQ(summary.existing, expected.existing);
  EXPECT_FALSE(summary.stopped);
  // skip1's refusal came while nodoc's picture was drawing, and is still told after its failure.
  EXPECT_EQ(overlapped.messages, expectedMessages);
  EXPECT_EQ(pictures.events.size(), 7u);
  EXPECT_LT(pictures.position("frame skip1"), pictures.position("picture nodoc failed"));
  EXPECT_LT(pictures.position("picture nodoc failed"), pictures.position("frame b"));
  EXPECT_EQ(overlapped.stepsTaken, 4);
  EXPECT_TRUE(sheetExists("nodoc")) << "its frame is whole; only the picture failed";
}

TEST_F(SheetRun, AStopHeardWhileAPictureDrawsBesideTheNextFrameEndsTheRunAndAResumeMakesTheRest) {
  writeSource({"a", "b", "c"});
  ScriptedPictures pictures;
  pictures.untilStopped = true;
  drawing = [&pictures](const std::string& name) { pictures.record("frame " + name); };
  ui.stopAtCheck = 1;
  SheetRunSummary summary = run(ui, &pictures);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.made + summary.existing + summary.failed + summary.skipped, 0);
  EXPECT_TRUE(ui.messages.empty()) << "a stop is not a failure";
  EXPECT_EQ(ui.stepsTaken, 0);
  EXPECT_EQ(ui.progressEnds, 1);
  EXPECT_EQ(pictures.events, (std::vector<std::string>{"frame a", "frame b"}));
  EXPECT_FALSE(sheetExists("c"));

  // b's frame was built beside a's picture; the run that continues gives both their pictures.
  ScriptedPictures resumedPictures;
  RecordingUserInterface resumed;
  summary = run(resumed, &resumedPictures);
  EXPECT_FALSE(summary.stopped);
  EXPECT_EQ(summary.made, 1);
  EXPECT_EQ(summary.existing, 2);
  EXPECT_EQ(resumed.messages, std::vector<std::string>{"图层道路的数据不能打开，图片中没有它"});
  EXPECT_TRUE(resumedPictures.happened("picture a") && resumedPictures.happened("picture b") &&
              resumedPictures.happened("picture c"));
}

TEST_F(SheetRun, AStopBetweenSheetsWithAPictureInFlightCountsThatPictureFirst) {
  writeSource({"a", "b", "c"});
  ScriptedPictures pictures;
  ui.cancelAtStep = 1;
  const SheetRunSummary summary = run(ui, &pictures);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.made, 1);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"图层道路的数据不能打开，图片中没有它"});
  EXPECT_FALSE(pictures.happened("picture b"));
  EXPECT_FALSE(sheetExists("c"));
}

}  // namespace
}  // namespace framora
