#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "frame/polygon/polygon_test_support.h"
#include "support/test_geometry.h"

namespace framora {
namespace {

using namespace testing;

// 城关镇 at 1:10000 with the dialog's gaps: inner frame 512185..515360 by 3401074..3404481,
// outer frame 512105..515440 by 3400994..3404561. Grid fonts: big 9 pt, small 6 pt.
constexpr double L = 512105, B = 3400994, R = 515440, Top = 3404561;
const double hB = 9 * 25.4 / 72 * 10, hS = 6 * 25.4 / 72 * 10;
// Two digits on the page's metric model: half an em each.
const double wB = hB, wS = hS;
constexpr double kBig = 9, kSmall = 6;

TEST(PolygonFrameBoxes, WorkedExampleAndCutsTowardZero) {
  const PolygonFrameBoxes boxes = PolygonFrameBoxesOf({512345, 3401234, 515200, 3404321}, 160, 80);
  EXPECT_DOUBLE_EQ(boxes.inner.xmin, 512185);
  EXPECT_DOUBLE_EQ(boxes.outer.xmin, 512105);
  EXPECT_DOUBLE_EQ(boxes.outer.ymax, 3404561);
  const PolygonFrameBoxes nearZero = PolygonFrameBoxesOf({159.5, 79.5, 200.7, 300}, 160, 80.5);
  EXPECT_DOUBLE_EQ(nearZero.inner.xmin, 0);     // -0.5
  EXPECT_DOUBLE_EQ(nearZero.inner.ymin, -80);   // -80.5
  EXPECT_DOUBLE_EQ(nearZero.outer.ymin, -160);  // -160.5
  EXPECT_DOUBLE_EQ(nearZero.inner.xmax, 360);   // 360.7
}

TEST(GraticuleValues, StepsStrictlyInsideAndNoneForAStepOfZeroOrLess) {
  const std::vector<double> values = GraticuleValues(30.71, 30.755, 0.02);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_NEAR(values[0], 30.72, 1e-12);
  EXPECT_NEAR(values[1], 30.74, 1e-12);
  EXPECT_TRUE(GraticuleValues(30.71, 30.76, 0).empty());
  EXPECT_TRUE(GraticuleValues(30.71, 30.76, -0.02).empty());
}

// Alignments as stored: horizontal 0 left, 1 centre, 2 right; vertical 0 top, 3 bottom.
void ExpectTextAt(const std::vector<StoredText>& texts, const std::string& text, double x, double y, int hAlign,
                  int vAlign, double points) {
  for (const auto& stored : texts)
    if (stored.text == text && std::abs(stored.x - x) < 1e-3 && std::abs(stored.y - y) < 1e-3) {
      EXPECT_EQ(stored.hAlign, hAlign) << text << " at " << x << "," << y;
      EXPECT_EQ(stored.vAlign, vAlign) << text << " at " << x << "," << y;
      EXPECT_EQ(stored.size, points) << text << " at " << x << "," << y;
      return;
    }
  ADD_FAILURE() << "no " << text << " at " << x << "," << y;
}

// Full grid lines (kind 1, after the four inner sides) at constant easting or northing.
std::set<double> GridLines(const std::vector<StoredLine>& lines, bool vertical) {
  std::set<double> at;
  const auto grid = LinesOfKind(lines, 1);
  for (size_t i = 4; i < grid.size(); ++i) {
    const StoredLine& line = grid[i];
    if (vertical && line.x1 == line.x2 && line.y1 == B && line.y2 == Top) at.insert(line.x1);
    if (!vertical && line.y1 == line.y2 && line.x1 == L && line.x2 == R) at.insert(line.y1);
  }
  return at;
}

TEST_F(PolygonRun, FrameAndKmGridOfTheWorkedExample) {
  settings.ScaleBarOn = true;
  run();
  const auto drawn = lines("城关镇");
  const auto outer = LinesOfKind(drawn, 2);
  ASSERT_EQ(outer.size(), 4u);
  EXPECT_EQ(std::make_pair(outer[0].x1, outer[0].y1), std::make_pair(L, B));
  EXPECT_DOUBLE_EQ(outer[2].y1, Top);
  // The inner sides come first, each running on to the outer frame.
  const auto inner = LinesOfKind(drawn, 1);
  EXPECT_EQ(std::make_tuple(inner[0].x1, inner[0].y1, inner[0].y2), std::make_tuple(512185.0, B, Top));
  EXPECT_DOUBLE_EQ(inner[3].y1, 3401074);
  EXPECT_FALSE(LinesOfKind(drawn, 3).empty());  // scale bar under the outer frame
  EXPECT_EQ(GridLines(drawn, true), (std::set<double>{513000, 514000, 515000}));
  EXPECT_EQ(GridLines(drawn, false), (std::set<double>{3402000, 3403000, 3404000}));

  // By the inner frame (the dialog's choice): the zone goes before the hundreds of km.
  const auto labels = texts("城关镇");
  const double e = 70 - hS;
  ExpectTextAt(labels, "395", 513000, Top - e, 2, 0, kBig);
  ExpectTextAt(labels, "395", 513000, B + e + hS - hB, 2, 3, kBig);
  ExpectTextAt(labels, "13", 513000, Top - e, 0, 0, kSmall);
  ExpectTextAt(labels, "13", 513000, B + e + hS, 0, 0, kSmall);
  EXPECT_EQ(TextsCalled(labels, "395").size(), 4u);  // first and last line only
  EXPECT_EQ(TextsCalled(labels, "14").size(), 2u);
  ExpectTextAt(labels, "34", L + 80 - wS, 3402000 + hS, 2, 0, kBig);
  ExpectTextAt(labels, "34", R - 80, 3402000 + hS, 0, 0, kSmall);  // small digits on the right
  ExpectTextAt(labels, "02", L + 80, 3402000 + hS, 2, 0, kSmall);
  ExpectTextAt(labels, "02", R - 80 + wB, 3402000 + hS, 0, 0, kSmall);
  ExpectTextAt(labels, "03", L + 80, 3403000 + hS, 2, 0, kSmall);
  ExpectTextAt(labels, "03", R - 80, 3403000 + hS, 0, 0, kSmall);
  EXPECT_EQ(TextsCalled(labels, "34").size(), 4u);
  ExpectTextAt(labels, "比例尺1:10000", (L + R) / 2, B - 50, 1, 0, 15);

  // The first line of 河东乡 lies close to the frame's corner: its labels move inwards.
  ExpectTextAt(texts("河东乡"), "395", 519860 + 8 * wB, 3404240 - e, 2, 0, kBig);
}

TEST_F(PolygonRun, HalfIntervalModesAndTheOtherLabelPlaces) {
  where = "XZQMC = '城关镇'";
  settings.HorLabelMode = 1;
  settings.VerLabelMode = 1;
  settings.GridLabelPlace = 0;
  run();
  auto drawn = lines("城关镇");
  EXPECT_EQ(GridLines(drawn, true), (std::set<double>{512500, 513500, 514500}));
  EXPECT_EQ(GridLines(drawn, false), (std::set<double>{3401500, 3402500, 3403500}));
  auto labels = texts("城关镇");
  ExpectTextAt(labels, "395", 512500, Top - 5, 2, 0, kBig);
  ExpectTextAt(labels, "395", 512500, B + 5 + hS - hB, 2, 3, kBig);
  ExpectTextAt(labels, "12", 512500, B + 5 + hS, 0, 0, kSmall);
  ExpectTextAt(labels, "34", L + 5, 3401500 + hS, 0, 0, kBig);
  // The right side mirrors the left, 5 m off the outer frame.
  ExpectTextAt(labels, "34", R - 5 - wS, 3401500 + hS, 2, 0, kBig);
  ExpectTextAt(labels, "01", L + 5 + wB, 3401500 + hS, 0, 0, kSmall);
  ExpectTextAt(labels, "01", R - 5, 3401500 + hS, 2, 0, kSmall);
  ExpectTextAt(labels, "02", L + 5, 3402505, 0, 3, kSmall);  // five metres above the line at any scale
  ExpectTextAt(labels, "02", R - 5, 3402500 + hS, 2, 0, kSmall);

  output = folder.file("custom.gdb");
  settings.HorLabelMode = settings.VerLabelMode = 0;
  settings.GridLabelPlace = 2;
  SetGridLabelOffset(settings, 27);  // 2.7 mm, 2 whole mm
  run();
  labels = texts("城关镇");
  ExpectTextAt(labels, "395", 515000, Top - 27, 2, 0, kBig);
  ExpectTextAt(labels, "15", 515002, Top - 27, 0, 0, kSmall);
  ExpectTextAt(labels, "34", L + 27, 3404000 + hS, 0, 0, kBig);
  ExpectTextAt(labels, "04", L + 27 + wB, 3404000 + hS, 0, 0, kSmall);
  ExpectTextAt(labels, "03", L + 27, 3403005, 0, 3, kSmall);
}

TEST_F(PolygonRun, GridsFinerThanAKilometreCarryWholeKilometreTexts) {
  where = "XZQMC = '城关镇'";
  settings.GridInterval = 500;
  run();
  const auto labels = texts("城关镇");
  EXPECT_EQ(GridLines(lines("城关镇"), true).size(), 6u);
  const double e = 70 - hS;
  // Beside its line, a fifth of the small font's height clear of it.
  ExpectTextAt(labels, "12.50", 512500 + 0.2 * hS, Top - e, 0, 0, kSmall);
  // Mirrored about the frame: the bottom label stands as far inside the outer line as the top one.
  ExpectTextAt(labels, "12.50", 512500 + 0.2 * hS, B + e + hS, 0, 0, kSmall);
  for (const auto& text : TextsCalled(labels, "12.50")) EXPECT_GE(text.y - hS, B - 1e-6);
  ExpectTextAt(labels, "01.50", 512185, 3401500, 2, 3, kSmall);
  ExpectTextAt(labels, "01.50", 515360, 3401500, 0, 3, kSmall);
}

TEST_F(PolygonRun, SingleDigitKilometres) {
  source = MakeTownshipSource("Memory", "", {{"近点村", "POLYGON ((2000 3401000,2000 3402000,3500 3402000,3500 3401000,2000 3401000))"}});
  settings.CornerLatLonOn = false;
  run();
  const auto labels = texts("近点村");
  EXPECT_EQ(TextsCalled(labels, "2").size(), 2u);
  EXPECT_EQ(TextsCalled(labels, "3").size(), 2u);
  EXPECT_EQ(TextsCalled(labels, "390").size(), 4u);
}

TEST_F(PolygonRun, TicksAndCrosses) {
  where = "XZQMC = '城关镇'";
  settings.GridType = 2;
  run();
  const auto drawn = lines("城关镇");
  EXPECT_TRUE(GridLines(drawn, true).empty());
  const auto ticks = std::count_if(drawn.begin(), drawn.end(), [](const StoredLine& line) {
    return line.id == 1 && line.x1 == 513000 && line.x2 == 513000 && std::abs(line.y2 - line.y1) == 80;
  });
  EXPECT_EQ(ticks, 2);
  const auto crosses = LinesOfKind(drawn, 0);
  ASSERT_EQ(crosses.size(), 18u);  // 3 x 3 nodes inside the inner frame
  EXPECT_EQ(std::make_pair(crosses[0].x1, crosses[0].y1), std::make_pair(513000.0, 3402025.0));
}

TEST_F(PolygonRun, GraticuleAlsoForGridTypeNone) {
  where = "XZQMC = '城关镇'";
  settings.GridType = 0;
  settings.LatStep = settings.LonStep = 60 / 3600.0;
  run();
  int parallels = 0, meridians = 0;
  for (const auto& line : LinesOfKind(lines("城关镇"), 1)) {
    if (line.x1 == 512185 && line.x2 == 515360) ++parallels;
    if (line.y1 == 3401074 && line.y2 == 3404481 && line.x1 != 512185 && line.x1 != 515360) ++meridians;
  }
  EXPECT_GE(parallels, 1);
  EXPECT_GE(meridians, 1);
  EXPECT_TRUE(GridLines(lines("城关镇"), true).empty());
  const auto labels = texts("城关镇");
  const int graticuleLabels = std::count_if(labels.begin(), labels.end(), [](const StoredText& text) {
    return text.text.size() > 3 && text.text.ends_with("00″") && text.text.find("°") == std::string::npos;
  });
  EXPECT_EQ(graticuleLabels, 2 * (parallels + meridians));
}

TEST_F(PolygonRun, OuterBandAndMasks) {
  settings.OuterLineWidth = 10;
  settings.ScaleBarOn = true;
  run();
  const auto drawn = lines("城关镇");
  EXPECT_TRUE(LinesOfKind(drawn, 2).empty());
  EXPECT_TRUE(LinesOfKind(drawn, 3).empty());  // no scale bar either
  const auto areas = polygons("城关镇");
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_EQ(areas[0].id, 10);
  EXPECT_NEAR(areas[0].area, (R - L + 20) * (Top - B + 20) - (R - L) * (Top - B), 1e-3);
  // From the inner frame: the extent widened by 200 m, less the inner frame.
  EXPECT_EQ(areas[1].id, 100);
  EXPECT_NEAR(areas[1].area, 3255.0 * 3487 - 3175.0 * 3407, 1e-3);

  output = folder.file("shapes.gdb");
  settings.OuterLineWidth = 0;
  settings.MaskMode = 1;
  run();
  for (const Township& township : {SampleTownships()[1], SampleTownships()[2]}) {  // with a hole, two parts
    OGRGeometry* shape = nullptr;
    OGRGeometryFactory::createFromWkt(township.wkt, nullptr, &shape);
    const OGRGeometryUniquePtr owned(shape);
    const Envelope extent = EnvelopeOf(*shape);
    const auto masks = polygons(township.name);
    ASSERT_EQ(masks.size(), 1u);
    EXPECT_EQ(masks[0].id, 100);
    EXPECT_NEAR(masks[0].area, (extent.width() + 400) * (extent.height() + 400) - testing::AreaOf(*shape), 1e-3);
  }

  output = folder.file("none.gdb");
  settings.MaskMode = 2;
  run();
  EXPECT_TRUE(polygons("河东乡").empty());
}

}  // namespace
}  // namespace framora
