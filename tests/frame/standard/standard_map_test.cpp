#include <gtest/gtest.h>

#include "frame/standard/sheet_index_support.h"
#include "util/framora_error.h"

namespace framora {
namespace {

using namespace standard_testing;

bool Near(SheetPoint a, double x, double y, double tolerance) {
  return std::fabs(a.x - x) <= tolerance && std::fabs(a.y - y) <= tolerance;
}

// A stored line between the two points, in either direction.
bool HasLine(const std::vector<StoredLine>& lines, int id, SheetPoint a, SheetPoint b, double tolerance = 1e-6) {
  for (const auto& line : lines) {
    if (line.id != id) continue;
    const SheetPoint p{line.x1, line.y1}, q{line.x2, line.y2};
    if ((Near(p, a.x, a.y, tolerance) && Near(q, b.x, b.y, tolerance)) ||
        (Near(p, b.x, b.y, tolerance) && Near(q, a.x, a.y, tolerance)))
      return true;
  }
  return false;
}

int CountId(const std::vector<StoredLine>& lines, int id) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return l.id == id; }));
}

class CornerReading : public ::testing::Test {
 protected:
  bool read(const std::vector<SheetPoint>& points, bool withHole = false) {
    auto polygon = std::make_unique<OGRPolygon>();
    OGRLinearRing ring;
    for (const auto& p : points) ring.addPoint(p.x, p.y);
    polygon->addRing(&ring);
    if (withHole) {
      OGRLinearRing hole;
      for (const auto& p : {SheetPoint{2, 2}, SheetPoint{2, 3}, SheetPoint{3, 3}, SheetPoint{2, 2}})
        hole.addPoint(p.x, p.y);
      polygon->addRing(&hole);
    }
    map.setSheetGeometry(OGRGeometryUniquePtr(polygon.release()));
    return readCorners();
  }
  // False with the reason kept when the shape is refused.
  bool readCorners() {
    try {
      map.ReadSheetCorners();
      return true;
    } catch (const SheetSkipped& refused) {
      refusals.push_back(refused.what());
      return false;
    }
  }
  FrameSettings settings = StandardSettings(false);
  RecordingUserInterface ui;
  TstandardMap map{settings, "", ui};
  std::vector<std::string> refusals;
};

TEST_F(CornerReading, EachCornerIsTheVertexNearestItsEnvelopeCorner) {
  ASSERT_TRUE(read({{10, 20}, {10, 0}, {0, 0}, {0, 20}, {10, 20}}));
  EXPECT_TRUE(Near(map.innerCorners()[kLowerLeft], 0, 0, 0) && Near(map.innerCorners()[kUpperLeft], 0, 20, 0) &&
              Near(map.innerCorners()[kUpperRight], 10, 20, 0) && Near(map.innerCorners()[kLowerRight], 10, 0, 0));
  EXPECT_TRUE(Near(map.outerCorners()[kLowerLeft], -80, -80, 0) && Near(map.outerCorners()[kUpperRight], 90, 100, 0));
  const auto closed = map.innerCorners();
  ASSERT_TRUE(read({{10, 20}, {10, 0}, {0, 0}, {0, 20}}));  // the open four-point form
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Near(map.innerCorners()[i], closed[i].x, closed[i].y, 0));

  // A diamond: every envelope corner is equally far from two vertices; the earlier wins,
  // so the first vertex serves twice.
  ASSERT_TRUE(read({{5, 0}, {0, 5}, {5, 10}, {10, 5}, {5, 0}}));
  EXPECT_TRUE(Near(map.innerCorners()[kLowerLeft], 5, 0, 0));
  EXPECT_TRUE(Near(map.innerCorners()[kUpperLeft], 0, 5, 0));
  EXPECT_TRUE(Near(map.innerCorners()[kUpperRight], 5, 10, 0));
  EXPECT_TRUE(Near(map.innerCorners()[kLowerRight], 5, 0, 0));
  EXPECT_TRUE(refusals.empty());
}

TEST_F(CornerReading, ShapesThatAreNoSheetAreRefusedWithTheirMessage) {
  EXPECT_FALSE(read({{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}, true));
  EXPECT_FALSE(read({{0, 0}, {0, 5}, {0, 10}, {10, 10}, {10, 5}, {10, 0}, {0, 0}}));
  map.setSheetGeometry(nullptr);
  EXPECT_FALSE(readCorners());
  EXPECT_EQ(refusals, (std::vector<std::string>{"图形对象个数错误",
                                                   "对象节点个数错误,可能不是结合图表,因为接幅表只有4，或5个节点",
                                                   "图形对象个数错误"}));
}

TEST(LineIntersections, VerticalAndParallelLines) {
  EXPECT_FALSE(TstandardMap::IntersectSegmentLines({1, 0}, {1, 5}, {3, 0}, {3, 5}));
  EXPECT_FALSE(TstandardMap::IntersectLines(1, 2, 3, 2));
  const auto vertical = TstandardMap::IntersectSegmentLines({2, 0}, {2, 1}, {0, 1}, {4, 3});
  ASSERT_TRUE(vertical);
  EXPECT_DOUBLE_EQ(vertical->y, 2);
  const auto crossing = TstandardMap::IntersectSegmentLines({0, 0}, {1, 1}, {0, 2}, {2, 0});
  ASSERT_TRUE(crossing);
  EXPECT_DOUBLE_EQ(crossing->x, 1);
  EXPECT_DOUBLE_EQ(crossing->y, 1);
}

TEST_F(StandardRun, APlaneSheetGetsItsFramesCornerLinesAndMask) {
  writeIndex(true, NineSheets(true));
  settings.GridType = 0;
  const SheetRunSummary summary = run(kCentreOnly);
  EXPECT_EQ(summary.made, 1);
  EXPECT_EQ(ui.progressCaption, "正在生成图廓");
  EXPECT_EQ(ui.progressTotal, 1);
  EXPECT_EQ(ui.stepsTaken, 1);
  EXPECT_EQ(ui.progressEnds, 1);

  const auto in = SheetCorners(SeriesSheet{kCentreRow, kCentreColumn}, true);
  const double sx[4] = {-80, -80, 80, 80}, sy[4] = {-80, 80, 80, -80};
  std::array<SheetPoint, 4> out;
  for (int i = 0; i < 4; ++i) out[i] = {in[i].x + sx[i], in[i].y + sy[i]};
  const auto stored = lines(kCentre);
  EXPECT_EQ(CountId(stored, 2), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(HasLine(stored, 1, in[i], in[(i + 1) % 4])) << i;
    EXPECT_TRUE(HasLine(stored, 2, out[i], out[(i + 1) % 4])) << i;
  }
  // Corner lines run from the inner corner straight across to the outer edges.
  const auto onEdge = [](SheetPoint a, SheetPoint b, double y) { return a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y); };
  EXPECT_TRUE(HasLine(stored, 1, in[kLowerLeft], {onEdge(out[0], out[1], in[0].y), in[0].y}, 1e-4));
  EXPECT_TRUE(HasLine(stored, 1, in[kUpperRight], {onEdge(out[2], out[3], in[2].y), in[2].y}, 1e-4));
  const auto acrossTop = [&](double x) { return out[1].y + (x - out[1].x) * (out[2].y - out[1].y) / (out[2].x - out[1].x); };
  EXPECT_TRUE(HasLine(stored, 1, in[kUpperLeft], {in[1].x, acrossTop(in[1].x)}, 1e-4));

  const auto polygons = ReadPolygons(outputPath, "p_" + kCentre);
  const auto mask = std::find_if(polygons.begin(), polygons.end(), [](const auto& p) { return p.id == 100; });
  ASSERT_NE(mask, polygons.end());
  OGREnvelope box;
  mask->shape->getEnvelope(&box);
  const double xmin = std::min(in[0].x, in[1].x), xmax = std::max(in[2].x, in[3].x);
  const double ymin = std::min(in[0].y, in[3].y), ymax = std::max(in[1].y, in[2].y);
  EXPECT_NEAR(box.MinX, xmin - 200, 1e-6);
  EXPECT_NEAR(box.MaxY, ymax + 200, 1e-6);
  double sheetArea = 0;
  for (int i = 0; i < 4; ++i) sheetArea += in[(i + 1) % 4].x * in[i].y - in[i].x * in[(i + 1) % 4].y;
  EXPECT_NEAR(OGR_G_Area(OGRGeometry::ToHandle(mask->shape.get())),
              (xmax - xmin + 400) * (ymax - ymin + 400) - std::fabs(sheetArea) / 2, 1);
}

TEST_F(StandardRun, CornersAreLabelledOnlyWhenAsked) {
  writeIndex(true, NineSheets(true));
  settings.GridType = 0;
  settings.CornerLatLonOn = true;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  const auto labelled = texts(kCentre);
  outputPath = folder.file("bare.gpkg");
  settings.CornerLatLonOn = false;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  const auto bare = texts(kCentre);
  const auto isCornerText = [](const StoredText& text) {
    return text.text.find("°") != std::string::npos || text.text.find("′") != std::string::npos;
  };
  EXPECT_GT(std::count_if(labelled.begin(), labelled.end(), isCornerText), 0);
  EXPECT_EQ(std::count_if(bare.begin(), bare.end(), isCornerText), 0);
  EXPECT_LT(bare.size(), labelled.size());
}

TEST_F(StandardRun, AnOuterLineWidthDrawsTheOuterFrameAsABandOfThatWidth) {
  for (const bool plane : {true, false}) {
    settings = StandardSettings(!plane);
    settings.GridType = 0;
    settings.OuterLineWidth = 10;  // 1 mm: 10 m at 1:10000
    outputPath = folder.file(plane ? "plane.gpkg" : "geographic.gpkg");
    writeIndex(plane, NineSheets(plane));
    ASSERT_EQ(run(kCentreOnly).made, 1);
    const auto stored = lines(kCentre);
    EXPECT_EQ(std::count_if(stored.begin(), stored.end(), [](const auto& l) { return l.id == 2; }), 0) << plane;
    const StoredPolygon* band = nullptr;
    const auto areas = ReadPolygons(outputPath, "p_" + kCentre);
    for (const auto& polygon : areas)
      if (polygon.id == 10) band = &polygon;
    ASSERT_NE(band, nullptr) << plane;
    // A ring 10 m wide around the outer frame: its perimeter times the width, near enough.
    const OGRGeometry* shape = band->shape.get();
    const OGRPolygon* ring = wkbFlatten(shape->getGeometryType()) == wkbMultiPolygon
                                 ? shape->toMultiPolygon()->getGeometryRef(0)
                                 : shape->toPolygon();
    ASSERT_EQ(ring->getNumInteriorRings(), 1);
    if (plane) {
      const double perimeter = ring->getInteriorRing(0)->get_Length();
      EXPECT_NEAR(OGR_G_Area(OGRGeometry::ToHandle(band->shape.get())), perimeter * 10 + 4 * 100, 20);
    }
  }
}

TEST_F(StandardRun, TheHundredsOfKilometresAreSetAgainAt00WhenAsked) {
  // 4 km by 3 km across the 39500 km and 4200 km lines.
  const std::vector<SheetPoint> ring = {{39498500, 4198500}, {39498500, 4201500}, {39502500, 4201500},
                                        {39502500, 4198500}, {39498500, 4198500}};
  writeIndex(true, {{"HUNDRED", "", ring}});
  settings.GridType = 1;
  ASSERT_EQ(run().made, 1);
  const auto count = [](const std::vector<StoredText>& stored, const std::string& text) {
    return std::count_if(stored.begin(), stored.end(), [&](const auto& t) { return t.text == text; });
  };
  auto stored = texts("HUNDRED");
  // 39500 km: its "00" line carries "395" at both ends, beside "394" and "395" at the outermost lines.
  EXPECT_EQ(count(stored, "395"), 2 + 2);
  EXPECT_EQ(count(stored, "42"), 2 + 2);  // 4200 km on both sides, the last line too

  settings.BigNumberAtHundredKm = false;
  outputPath = folder.file("plain.gpkg");
  ASSERT_EQ(run().made, 1);
  stored = texts("HUNDRED");
  EXPECT_EQ(count(stored, "395"), 2);
  EXPECT_EQ(count(stored, "42"), 2);
}

TEST_F(StandardRun, AGeographicSheetIsFramedOnTheRectangleOfItsCorners) {
  settings = StandardSettings(true);
  settings.GridType = 0;
  writeIndex(false, NineSheets(false));
  EXPECT_EQ(run(kCentreOnly).made, 1);
  const SeriesSheet sheet{kCentreRow, kCentreColumn};
  const auto independent = PlaneProjection::Iag1975(true);
  const double gapLat = independent.northDegrees(80, sheet.west(), sheet.south());
  const double gapLon = independent.eastDegrees(80, sheet.west(), sheet.south());
  const double w = sheet.west(), e = sheet.east(), s = sheet.south(), n = sheet.north();
  const auto stored = lines(kCentre);
  EXPECT_TRUE(HasLine(stored, 1, {w, s - gapLat}, {w, n + gapLat}, 1e-8));
  EXPECT_TRUE(HasLine(stored, 1, {w - gapLon, n}, {e + gapLon, n}, 1e-8));
  EXPECT_TRUE(HasLine(stored, 2, {e + gapLon, n + gapLat}, {e + gapLon, s - gapLat}, 1e-8));
  EXPECT_TRUE(HasLine(stored, 2, {e + gapLon, s - gapLat}, {w - gapLon, s - gapLat}, 1e-8));
  EXPECT_EQ(CountId(stored, 2), 4);
  // The mask grows by 200 m on the ground, in degrees.
  const auto polygons = ReadPolygons(outputPath, "p_" + kCentre);
  const auto mask = std::find_if(polygons.begin(), polygons.end(), [](const auto& p) { return p.id == 100; });
  ASSERT_NE(mask, polygons.end());
  OGREnvelope box;
  mask->shape->getEnvelope(&box);
  EXPECT_NEAR(box.MinY, s - independent.northDegrees(200, w, s), 1e-8);
}

TEST_F(StandardRun, NoMatchingSheetIsSaidAndNothingStarts) {
  writeIndex(true, NineSheets(true));
  const SheetRunSummary summary = run("TFH = 'none'");
  EXPECT_EQ(ui.messages, std::vector<std::string>{"没有数据，可能条件设置错误"});
  EXPECT_EQ(ui.progressStarts, 0);
  EXPECT_EQ(summary.made + summary.existing + summary.skipped, 0);
}

TEST_F(StandardRun, AStopEndsTheRunBetweenSheets) {
  writeIndex(true, NineSheets(true));
  ui.cancelAtStep = 2;
  const SheetRunSummary summary = run();
  EXPECT_EQ(summary.made, 2);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(ui.progressTotal, 9);
  EXPECT_EQ(ui.progressEnds, 1);
  EXPECT_TRUE(LayerExists(outputPath, "L_J50G047050"));
  EXPECT_FALSE(LayerExists(outputPath, "L_J50G047051"));
}

TEST_F(StandardRun, UnreadableSheetsAreSkippedAndLeaveNothingBehind) {
  const auto good = SeriesIndexSheet(SeriesSheet{kCentreRow, kCentreColumn}, true, "");
  IndexSheet sixPoints{"BAD1", "", good.ring};
  sixPoints.ring.insert(sixPoints.ring.begin() + 1, {good.ring[0].x, (good.ring[0].y + good.ring[1].y) / 2});
  IndexSheet triangle{"BAD2", "", {good.ring[0], good.ring[1], good.ring[2]}};  // an open three-point ring
  writeIndex(true, {sixPoints, triangle, good});
  const SheetRunSummary summary = run();
  EXPECT_EQ(summary.skipped, 2);
  EXPECT_EQ(summary.made, 1);
  EXPECT_EQ(ui.stepsTaken, 3);
  EXPECT_EQ(std::count(ui.messages.begin(), ui.messages.end(),
                       "对象节点个数错误,可能不是结合图表,因为接幅表只有4，或5个节点"),
            2);
  EXPECT_FALSE(LayerExists(outputPath, "L_BAD1"));
  EXPECT_FALSE(LayerExists(outputPath, "p_BAD2"));
  EXPECT_TRUE(LayerExists(outputPath, "L_" + kCentre));
}

// Records the map-document step.
struct RecordedDocuments : SheetDocumentBuilder {
  std::vector<std::pair<std::string, Envelope>> sheets;
  std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) override {
    sheets.push_back({sheet.name, sheet.innerFrame});
    return {};
  }
};

TEST_F(StandardRun, ASecondRunFindsItsSheetsAndStillBuildsTheirDocuments) {
  outputPath = folder.file("frames.gdb");
  writeIndex(true, NineSheets(true));
  EXPECT_EQ(run().made, 9);
  const size_t lineCount = lines(kCentre).size();
  RecordedDocuments documents;
  const SheetRunSummary again = run("", &documents);
  EXPECT_EQ(again.existing, 9);
  EXPECT_EQ(again.made, 0);
  EXPECT_EQ(lines(kCentre).size(), lineCount);
  ASSERT_EQ(documents.sheets.size(), 9u);
  const auto in = SheetCorners(SeriesSheet{kCentreRow - 1, kCentreColumn - 1}, true);
  EXPECT_EQ(documents.sheets[0].first, "J50G047049");
  EXPECT_NEAR(documents.sheets[0].second.xmin, std::min(in[0].x, in[1].x), 1e-6);
  EXPECT_NEAR(documents.sheets[0].second.ymax, std::max(in[1].y, in[2].y), 1e-6);
}

TEST_F(StandardRun, ASheetFailingHalfWayIsRemovedAndEndsTheRun) {
  // Its lower-right corner lies south of latitude 1°, where corner labels are refused
  // after three corners have been written.
  const auto good = SeriesIndexSheet(SeriesSheet{kCentreRow, kCentreColumn}, true, "");
  const IndexSheet failing{"FAIL", "", {{39400000, 150000}, {39400000, 250000}, {39600000, 250000}, {39600000, 50000}}};
  writeIndex(true, {good, failing});
  try {
    run();
    FAIL() << "the run went on";
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "参数设置错误");
  }
  EXPECT_EQ(ui.progressEnds, 1);
  EXPECT_TRUE(LayerExists(outputPath, "L_" + kCentre));
  EXPECT_FALSE(LayerExists(outputPath, "a_FAIL"));
  EXPECT_FALSE(LayerExists(outputPath, "L_FAIL"));
}

}  // namespace
}  // namespace framora
