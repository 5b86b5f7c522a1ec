// The proof a cartographer gives a printed sheet, run over written sheets: no two texts
// overlap, no line strikes a text, no grid line or cross runs beside the map.
#ifdef FRAMORA_PROOF_CHECK

#include <gtest/gtest.h>

#include <map>

#include "frame/polygon/polygon_test_support.h"
#include "frame/standard/sheet_index_support.h"
#include "support/proof_check.h"

namespace framora {
namespace {

using standard_testing::IndexSheet;
using standard_testing::PlaneProjection;
using standard_testing::StandardSettings;
using standard_testing::WriteSheetIndex;
using testing::ProofFrame;
using testing::SheetProof;
using testing::TempFolder;

// Each sheet's frame as the page lays it out.
class FrameRecorder : public SheetDocumentBuilder {
 public:
  std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) override {
    sheets[sheet.name] = Recorded{sheet.innerFrame, sheet.frameGap, sheet.metresPerUnitX, sheet.metresPerUnitY};
    return {};
  }
  struct Recorded {
    Envelope inner;
    double gap = 0, metresPerUnitX = 1, metresPerUnitY = 1;
  };
  std::map<std::string, Recorded> sheets;
};

std::string Listed(const std::vector<std::string>& faults) {
  std::string text;
  for (size_t i = 0; i < faults.size() && i < 12; ++i) text += "\n  " + faults[i];
  if (faults.size() > 12) text += "\n  … " + std::to_string(faults.size()) + " in all";
  return text;
}

// The four corners of each sheet of an index, as its ring stores them.
std::map<std::string, std::array<SheetPoint, 4>> IndexCorners(OGRLayer& layer, const std::string& nameField) {
  std::map<std::string, std::array<SheetPoint, 4>> corners;
  layer.ResetReading();
  for (auto& feature : layer) {
    const OGRGeometry* shape = feature->GetGeometryRef();
    const OGRPolygon* polygon = wkbFlatten(shape->getGeometryType()) == wkbMultiPolygon
                                    ? shape->toMultiPolygon()->getGeometryRef(0)
                                    : shape->toPolygon();
    const OGRLinearRing* ring = polygon->getExteriorRing();
    const Envelope box = EnvelopeOf(*shape);
    const SheetPoint targets[4] = {{box.xmin, box.ymin}, {box.xmin, box.ymax}, {box.xmax, box.ymax}, {box.xmax, box.ymin}};
    std::array<SheetPoint, 4> found{};
    for (int c = 0; c < 4; ++c) {
      double best = 1e300;
      for (int i = 0; i < ring->getNumPoints(); ++i) {
        const double d = std::fabs(ring->getX(i) - targets[c].x) + std::fabs(ring->getY(i) - targets[c].y);
        if (d < best) {
          best = d;
          found[c] = SheetPoint{ring->getX(i), ring->getY(i)};
        }
      }
    }
    corners[CleanSheetName(feature->GetFieldAsString(nameField.c_str()))] = found;
  }
  layer.ResetReading();
  return corners;
}

// Runs the standard sheets of an index layer and proofs every sheet written.
std::vector<std::string> ProofStandardRun(const FrameSettings& settings, OGRLayer& index, const std::string& output,
                                          const std::string& label) {
  RecordingUserInterface ui;
  FrameRecorder recorder;
  TstandardMap map(settings, output, ui, SheetSource{&index, "", "TFH", "[TFH]"}, &recorder);
  const SheetRunSummary summary = map.Run();
  std::vector<std::string> faults;
  if (summary.made == 0) faults.push_back(label + ": no sheet made");
  const auto corners = IndexCorners(index, "TFH");
  for (const auto& [name, sheet] : recorder.sheets) {
    ProofFrame frame;
    frame.inner = corners.at(name);
    frame.gap = sheet.gap;
    frame.metresPerUnitX = sheet.metresPerUnitX;
    frame.metresPerUnitY = sheet.metresPerUnitY;
    for (const std::string& fault : SheetProof(output, name, frame).faults()) faults.push_back(label + " " + name + ": " + fault);
  }
  return faults;
}

TEST(SheetProof, TheSampleSheetsPassInEveryGrid) {
  EnsureGdalRegistered();
  TempFolder folder;
  GDALDatasetUniquePtr sample(GDALDataset::Open(FRAMORA_SAMPLE_DIR "/sample.gpkg", GDAL_OF_VECTOR));
  ASSERT_TRUE(sample);
  int run = 0;
  for (const bool geographic : {false, true}) {
    OGRLayer* index = sample->GetLayerByName(geographic ? "图幅经纬度" : "图幅");
    ASSERT_NE(index, nullptr);
    for (int grid = 1; grid <= (geographic ? 4 : 2); ++grid) {
      FrameSettings s = StandardSettings(geographic);
      s.MainTitle = "[TM]";
      s.TitleField = "TM";
      s.ScaleBarOn = true;
      s.GridType = grid;
      const std::string label = std::string(geographic ? "geographic" : "plane") + " grid " + std::to_string(grid);
      const auto faults = ProofStandardRun(s, *index, folder.file("run" + std::to_string(++run) + ".gpkg"), label);
      EXPECT_TRUE(faults.empty()) << Listed(faults);
    }
  }
}

// One sheet of the national series at a scale, its lower-left corner at 118°15′E 38°N:
// 1.25° east of the central meridian, so that its plane frame is a trapezoid.
struct Series {
  int denominator;
  double widthMinutes, heightMinutes;
};
constexpr Series kSeries[] = {{5000, 1.875, 1.25}, {10000, 3.75, 2.5}, {25000, 7.5, 5}, {50000, 15, 10}};

class SeriesProof : public ::testing::TestWithParam<Series> {
 protected:
  // Writes the 2 x 2 sheets at the corner in the index's coordinates and opens it.
  OGRLayer* writeIndex(int epsg, bool plane, bool withZone) {
    const Series series = GetParam();
    const PlaneProjection projection = PlaneProjection::Iag1975(withZone);
    std::vector<IndexSheet> sheets;
    for (int row = 0; row < 2; ++row)
      for (int column = 0; column < 2; ++column) {
        const double west = 118.25 + column * series.widthMinutes / 60;
        const double south = 38 + row * series.heightMinutes / 60;
        const double east = west + series.widthMinutes / 60, north = south + series.heightMinutes / 60;
        std::vector<SheetPoint> ring = {{west, south}, {west, north}, {east, north}, {east, south}, {west, south}};
        if (plane)
          for (SheetPoint& point : ring) point = projection.forward(point.x, point.y);
        sheets.push_back(IndexSheet{"S" + std::to_string(row) + std::to_string(column), "", ring});
      }
    const std::string path = folder.file("index" + std::to_string(++indexes) + ".gpkg");
    WriteSheetIndex(path, epsg, sheets);
    index.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
    return index->GetLayerByName("sheets");
  }
  FrameSettings settingsFor(bool geographic, bool withZone) const {
    FrameSettings s = StandardSettings(geographic);
    s.ScaleFactor = GetParam().denominator / 10000.0;
    s.CoordsWithZone = withZone;
    s.ScaleBarOn = true;
    s.TitleField = "";
    return s;
  }
  std::string output() { return folder.file("frames" + std::to_string(++outputs) + ".gpkg"); }

  TempFolder folder;
  GDALDatasetUniquePtr index;
  int indexes = 0, outputs = 0;
};

TEST_P(SeriesProof, PlaneSheetsWithAndWithoutTheZoneNumber) {
  for (const bool withZone : {true, false}) {
    OGRLayer* layer = writeIndex(withZone ? 4527 : 4548, true, withZone);
    for (int grid = 0; grid <= 2; ++grid)
      for (int place = 0; place <= 2; ++place) {
        FrameSettings s = settingsFor(false, withZone);
        s.GridType = grid;
        s.GridLabelPlace = place;
        const std::string label = "1:" + std::to_string(GetParam().denominator) + (withZone ? " zone" : " no zone") +
                                  " grid " + std::to_string(grid) + " place " + std::to_string(place);
        const auto faults = ProofStandardRun(s, *layer, output(), label);
        EXPECT_TRUE(faults.empty()) << Listed(faults);
      }
  }
}

TEST_P(SeriesProof, GeographicSheets) {
  OGRLayer* layer = writeIndex(4490, false, true);
  for (int grid = 0; grid <= 4; ++grid)
    for (int place = 0; place <= 2; ++place)
      for (int labels = 0; labels <= 1; ++labels) {
        FrameSettings s = settingsFor(true, true);
        s.GridType = grid;
        s.GridLabelPlace = place;
        s.GraticuleLabelMode = labels;
        s.CornerLabelMode = labels;
        const std::string label = "1:" + std::to_string(GetParam().denominator) + " geographic grid " +
                                  std::to_string(grid) + " place " + std::to_string(place) + " labels " +
                                  std::to_string(labels);
        const auto faults = ProofStandardRun(s, *layer, output(), label);
        EXPECT_TRUE(faults.empty()) << Listed(faults);
      }
}

TEST_P(SeriesProof, CornerLabelsInMetresAndFinerGrids) {
  OGRLayer* layer = writeIndex(4527, true, true);
  for (const int interval : {500, 1000, 2000}) {
    FrameSettings s = settingsFor(false, true);
    s.GridType = 1;
    s.CornerLabelMode = 2;
    s.GridInterval = interval;
    const std::string label = "1:" + std::to_string(GetParam().denominator) + " XY interval " + std::to_string(interval);
    const auto faults = ProofStandardRun(s, *layer, output(), label);
    EXPECT_TRUE(faults.empty()) << Listed(faults);
  }
}

TEST_P(SeriesProof, CornerLabelsHeldAgainstTheInnerFrameAndAnOuterBand) {
  OGRLayer* layer = writeIndex(4527, true, true);
  for (int mode = 0; mode <= 2; ++mode)
    for (int grid = 1; grid <= 2; ++grid) {
      FrameSettings s = settingsFor(false, true);
      s.GridType = grid;
      s.CornerLabelMode = mode;
      s.LatDegreeAlign = 0;
      s.OuterLineWidth = mode == 1 ? 10 : 0;
      const std::string label = "1:" + std::to_string(GetParam().denominator) + " corner mode " +
                                std::to_string(mode) + " grid " + std::to_string(grid);
      const auto faults = ProofStandardRun(s, *layer, output(), label);
      EXPECT_TRUE(faults.empty()) << Listed(faults);
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, SeriesProof, ::testing::ValuesIn(kSeries),
                         [](const auto& info) { return "Scale" + std::to_string(info.param.denominator); });

// Square townships of several sizes, the smallest narrower than one grid step.
TEST(SheetProof, PolygonFramesOfEverySize) {
  EnsureGdalRegistered();
  TempFolder folder;
  std::vector<std::string> wkts;
  std::vector<testing::Township> townships;
  const std::pair<const char*, double> sizes[] = {{"大镇", 4200}, {"中乡", 1700}, {"小村", 700}, {"点", 60}};
  for (const auto& [name, size] : sizes) {
    const double x = 512345, y = 3401234;
    char wkt[200];
    std::snprintf(wkt, sizeof wkt, "POLYGON ((%f %f,%f %f,%f %f,%f %f,%f %f))", x, y, x, y + size, x + size, y + size,
                  x + size, y, x, y);
    wkts.push_back(wkt);
  }
  for (size_t i = 0; i < wkts.size(); ++i) townships.push_back({sizes[i].first, wkts[i].c_str()});
  GDALDatasetUniquePtr source = testing::MakeTownshipSource("GPKG", folder.file("townships.gpkg"), townships);
  OGRLayer* layer = source->GetLayerByName("townships");
  int run = 0;
  for (const double scale : {0.5, 1.0, 2.5})
    for (int grid = 1; grid <= 3; ++grid)
      for (int place = 0; place <= 2; ++place)
        for (const int interval : {1000, 500}) {
        FrameSettings s = DialogDefaultSettings();
        s.CentralMeridian = 117;
        s.ThreeDegreeZones = true;
        s.CoordsWithZone = false;
        s.ScaleFactor = scale;
        s.GridType = grid;
        s.GridLabelPlace = place;
        s.GridInterval = interval;
        s.ScaleBarOn = true;
        // The free texts of the lower margin are some 100 mm wide at the defaults and cannot
        // share a frame narrower than that with the scale bar; their place is the user's.
        s.LowerLeftText = s.LeftText = s.LowerRightText = "";
        const std::string output = folder.file("polygons" + std::to_string(++run) + ".gpkg");
        RecordingUserInterface ui;
        FrameRecorder recorder;
        Tcreatetk builder(s, output, ui, SheetSource{layer, "", "XZQMC", "[XZQMC]"}, &recorder);
        builder.Run();
        ASSERT_EQ(recorder.sheets.size(), townships.size());
        for (const auto& [name, sheet] : recorder.sheets) {
          ProofFrame frame;
          const Envelope& in = sheet.inner;
          frame.inner = {SheetPoint{in.xmin, in.ymin}, {in.xmin, in.ymax}, {in.xmax, in.ymax}, {in.xmax, in.ymin}};
          frame.gap = sheet.gap;
          const SheetProof proof(output, name, frame);
          std::vector<std::string> faults = proof.faults();
          // Grid lines, ticks and crosses of a frame with no grid node inside stay inside too.
          for (const std::string& fault : proof.linesBeyondTheFrame({0, 1})) faults.push_back(fault);
          EXPECT_TRUE(faults.empty()) << "1:" << scale * 10000 << " grid " << grid << " place " << place
                                      << " interval " << interval << " " << name << Listed(faults);
        }
      }
}

}  // namespace
}  // namespace framora

#endif
