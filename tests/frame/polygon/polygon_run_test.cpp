#include <gtest/gtest.h>

#include <algorithm>

#include "frame/polygon/polygon_test_support.h"
#include "util/framora_error.h"

namespace framora {
namespace {

using namespace testing;

bool HasClass(const std::string& path, const std::string& name) {
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  return dataset && dataset->GetLayerByName(name.c_str()) != nullptr;
}

struct RecordedDocument {
  std::string sheet;
  double top, bottom, right, left;
};

class RecordingDocuments : public SheetDocumentBuilder {
 public:
  std::vector<RecordedDocument> documents;
  std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) override {
    const Envelope& inner = sheet.innerFrame;
    documents.push_back({sheet.name, inner.ymax, inner.ymin, inner.xmax, inner.xmin});
    return {};
  }
};

// Counts two features more than it gives, as a layer whose data change under a run does.
class ShrinkingLayer : public OGRLayer {
 public:
  explicit ShrinkingLayer(OGRLayer& inner) : inner_(inner) {}
  void ResetReading() override { inner_.ResetReading(); }
  OGRFeature* GetNextFeature() override { return inner_.GetNextFeature(); }
  OGRFeature* GetFeature(GIntBig fid) override { return inner_.GetFeature(fid); }
  OGRFeatureDefn* GetLayerDefn() override { return inner_.GetLayerDefn(); }
  OGRSpatialReference* GetSpatialRef() override { return inner_.GetSpatialRef(); }
  GIntBig GetFeatureCount(int force) override { return inner_.GetFeatureCount(force) + 2; }
  int TestCapability(const char*) override { return FALSE; }

 private:
  OGRLayer& inner_;
};

TEST_F(PolygonRun, EverySelectedPolygonGetsItsSheetWithOneProgressStepEach) {
  const SheetRunSummary summary = run();
  EXPECT_EQ(Tcreatetk(settings, "", ui).zonePrefix(), "39");
  EXPECT_EQ(summary.made, 3);
  EXPECT_FALSE(summary.stopped);
  EXPECT_EQ(ui.progressStarts, 1);
  EXPECT_EQ(ui.progressTotal, 3);
  EXPECT_EQ(ui.progressCaption, "正在生成图廓");
  EXPECT_EQ(ui.stepsTaken, 3);
  EXPECT_EQ(ui.progressEnds, 1);
  GDALDatasetUniquePtr output(GDALDataset::Open(this->output.c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(output);
  for (const char* sheet : {"城关镇", "河东乡", "西山乡"})
    for (const std::string prefix : {"L_", "p_", "a_"}) {
      OGRLayer* layer = output->GetLayerByName((prefix + sheet).c_str());
      ASSERT_NE(layer, nullptr) << prefix << sheet;
      EXPECT_STREQ(layer->GetSpatialRef()->GetAuthorityCode(nullptr), "4527");
      EXPECT_GT(layer->GetFeatureCount(), 0) << prefix << sheet;
    }
  // The source layer is left without the run's filter.
  EXPECT_EQ(townships()->GetFeatureCount(), 3);
}

TEST_F(PolygonRun, TheConditionSelectsAndNoMatchSaysSo) {
  where = "XZQMC = '河东乡'";
  EXPECT_EQ(run().made, 1);
  EXPECT_FALSE(HasClass(output, "L_城关镇"));
  EXPECT_TRUE(HasClass(output, "L_河东乡"));

  where = "XZQMC = '无此乡'";
  ui = RecordingUserInterface{};
  const SheetRunSummary none = run();
  EXPECT_EQ(none.made + none.skipped + none.existing, 0);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"没有数据，可能条件设置错误"});
  EXPECT_EQ(ui.progressStarts, 0);
}

TEST_F(PolygonRun, AStopTakesEffectBetweenSheets) {
  ui.cancelAtStep = 1;
  const SheetRunSummary summary = run();
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.made, 1);
  EXPECT_TRUE(HasClass(output, "L_城关镇"));
  EXPECT_FALSE(HasClass(output, "L_河东乡"));
  EXPECT_EQ(ui.progressEnds, 1);
}

TEST_F(PolygonRun, ARerunDrawsNothingAgainButRebuildsEveryDocumentAroundTheInnerFrame) {
  RecordingDocuments documents;
  document = &documents;
  EXPECT_EQ(run().made, 3);
  const size_t linesBefore = lines("城关镇").size();
  const SheetRunSummary again = run();
  EXPECT_EQ(again.made, 0);
  EXPECT_EQ(again.existing, 3);
  EXPECT_EQ(lines("城关镇").size(), linesBefore);
  ASSERT_EQ(documents.documents.size(), 6u);
  const RecordedDocument& first = documents.documents[0];
  EXPECT_EQ(first.sheet, "城关镇");
  EXPECT_DOUBLE_EQ(first.top, 3404481);
  EXPECT_DOUBLE_EQ(first.bottom, 3401074);
  EXPECT_DOUBLE_EQ(first.right, 515360);
  EXPECT_DOUBLE_EQ(first.left, 512185);
  EXPECT_DOUBLE_EQ(documents.documents[3].left, 512185);
}

TEST_F(PolygonRun, ASourceThatReadsItselfThroughForItsExtentStillGivesEverySheet) {
  // In-memory and GeoJSON layers answer an extent question by reading all their features.
  source = MakeTownshipSource("Memory", "", SampleTownships());
  EXPECT_EQ(run().made, 3);
  EXPECT_TRUE(HasClass(output, "L_西山乡"));
}

TEST_F(PolygonRun, AMiscountingLayerStillGivesEverySheetAndStepsByItsFeatures) {
  ShrinkingLayer shrinking(*townships());
  const SheetRunSummary summary = run(&shrinking);
  EXPECT_EQ(summary.made, 3);
  EXPECT_EQ(ui.progressTotal, 3);
  EXPECT_EQ(ui.stepsTaken, 3);
  EXPECT_EQ(ui.progressEnds, 1);
}

TEST_F(PolygonRun, FeaturesWithoutShapeOrNameAreSkippedAndTheRunGoesOn) {
  std::vector<Township> townships = SampleTownships();
  townships.insert(townships.begin() + 1, {"无图形乡", nullptr});
  townships.insert(townships.begin() + 2, {" ( ) ", "POLYGON ((540000 3401000,540000 3402000,541000 3402000,540000 3401000))"});
  source = MakeTownshipSource("GPKG", folder.file("gaps.gpkg"), townships);
  const SheetRunSummary summary = run();
  EXPECT_EQ(summary.made, 3);
  EXPECT_EQ(summary.skipped, 2);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"要素2没有图形，不生成图廓", "图幅名称为空，不能创立目录"}));
  EXPECT_TRUE(HasClass(output, "L_西山乡"));
  EXPECT_EQ(ui.stepsTaken, 5);
}

TEST_F(PolygonRun, GridStepsOfZeroDrawNoGridAndSaySoOnce) {
  const std::string kmRefusal = "公里网间隔必须大于0，未画公里网", graticuleRefusal = "经纬网间隔必须大于0，未画经纬网";
  for (int gridType : {1, 2, 3}) {
    output = folder.file("type" + std::to_string(gridType) + ".gdb");
    ui = RecordingUserInterface{};
    settings.GridType = gridType;
    settings.GridInterval = gridType == 1 ? 0 : gridType == 2 ? -100 : 1000;
    settings.LatStep = gridType == 3 ? 0 : 1 / 60.0;
    EXPECT_EQ(run().made, 3);
    EXPECT_EQ(ui.messages, std::vector<std::string>{gridType == 3 ? graticuleRefusal : kmRefusal});
    EXPECT_TRUE(LinesOfKind(lines("城关镇"), 0).empty());        // no crosses
    EXPECT_EQ(LinesOfKind(lines("城关镇"), 1).size(), 4u) << gridType;  // the inner frame alone
  }
}

TEST_F(PolygonRun, AFailingSheetEndsTheRunAndLeavesNothingHalfWritten) {
  std::vector<Township> townships{{"赤道乡", "POLYGON ((512000 100,512000 900,513000 900,513000 100,512000 100))"}};
  townships.push_back(SampleTownships()[0]);
  source = MakeTownshipSource("GPKG", folder.file("equator.gpkg"), townships);
  EXPECT_THROW(
      try { run(); } catch (const FramoraError& error) {
        EXPECT_STREQ(error.what(), "参数设置错误");  // corner labels this near the equator
        throw;
      },
      FramoraError);
  EXPECT_EQ(ui.progressEnds, 1);
  EXPECT_FALSE(HasClass(output, "L_赤道乡"));
  EXPECT_FALSE(HasClass(output, "L_城关镇"));
}

}  // namespace
}  // namespace framora
