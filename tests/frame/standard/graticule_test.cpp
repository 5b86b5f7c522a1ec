#include <gtest/gtest.h>

#include "frame/standard/sheet_index_support.h"

namespace framora {
namespace {

using namespace standard_testing;

class Graticule : public StandardRun {
 protected:
  void SetUp() override {
    settings = StandardSettings(true);
    settings.LonStep = 75 / 3600.0;  // 1′15″: two meridians inside a 3′45″ sheet
    settings.LatStep = 50 / 3600.0;  // 50″: two parallels inside a 2′30″ sheet
    writeIndex(false, NineSheets(false));
  }
  // ID 1 lines along a meridian or parallel that reach into the map.
  std::vector<StoredLine> graticuleLines() const {
    std::vector<StoredLine> found;
    for (const auto& l : lines(kCentre)) {
      const bool meridian = l.x1 == l.x2 && l.x1 > sheet.west() + 1e-9 && l.x1 < sheet.east() - 1e-9 &&
                            std::max(l.y1, l.y2) > sheet.south() + 1e-9 && std::min(l.y1, l.y2) < sheet.north() - 1e-9;
      const bool parallel = l.y1 == l.y2 && l.y1 > sheet.south() + 1e-9 && l.y1 < sheet.north() - 1e-9 &&
                            std::max(l.x1, l.x2) > sheet.west() + 1e-9 && std::min(l.x1, l.x2) < sheet.east() - 1e-9;
      if (l.id == 1 && (meridian || parallel)) found.push_back(l);
    }
    return found;
  }
  const StoredText* textAt(const std::string& text, double x, double y) const {
    for (const auto& t : stored)
      if (t.text == text && std::fabs(t.x - x) < 1e-9 && std::fabs(t.y - y) < 1e-9) return &t;
    return nullptr;
  }
  const SeriesSheet sheet{kCentreRow, kCentreColumn};
  const double meridians[2] = {sheet.west() + 75 / 3600.0, sheet.west() + 150 / 3600.0};
  const double parallels[2] = {sheet.south() + 50 / 3600.0, sheet.south() + 100 / 3600.0};
  std::vector<StoredText> stored;
};

TEST_F(Graticule, LinesAcrossTheSheetLabelledAtBothEnds) {
  settings.GridType = 3;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  stored = texts(kCentre);
  const auto found = graticuleLines();
  ASSERT_EQ(found.size(), 4u);
  EXPECT_NEAR(found[0].x1, meridians[0], 1e-12);
  EXPECT_DOUBLE_EQ(std::max(found[0].y1, found[0].y2), sheet.north());
  EXPECT_DOUBLE_EQ(std::min(found[0].y1, found[0].y2), sheet.south());
  EXPECT_NEAR(found[3].y1, parallels[1], 1e-12);
  EXPECT_DOUBLE_EQ(std::min(found[3].x1, found[3].x2), sheet.west());
  // Degrees and minutes, the minute rounded by the seconds: 117°06′15″ reads 117°06′.
  const StoredText* north = textAt("117°05′", meridians[0], sheet.north());
  const StoredText* south = textAt("117°06′", meridians[1], sheet.south());
  ASSERT_TRUE(north && south);
  EXPECT_EQ(north->hAlign, 1);
  EXPECT_EQ(north->vAlign, 3);
  EXPECT_EQ(south->vAlign, 0);
  const StoredText* west = textAt("38°01′", sheet.west(), parallels[0]);
  ASSERT_TRUE(west);
  EXPECT_EQ(west->hAlign, 2);
  EXPECT_TRUE(textAt("38°02′", sheet.east(), parallels[1]));
}

TEST_F(Graticule, Beijing1954SheetsGetTicksAndMinutesBetweenTheFrames) {
  settings.GridType = 3;
  settings.coordinateSystemIndex = 2;
  settings.GraticuleLabelMode = 0;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  stored = texts(kCentre);
  EXPECT_TRUE(graticuleLines().empty()) << "no line crosses the map";
  int ticks = 0;
  for (const auto& l : lines(kCentre))
    for (double lon : meridians)
      if (l.x1 == lon && l.x2 == lon && (l.y1 == sheet.north() || l.y2 == sheet.south())) ++ticks;
  EXPECT_EQ(ticks, 4);
  const StoredText* minutes = textAt("05′", meridians[0], sheet.north());
  ASSERT_TRUE(minutes);
  EXPECT_EQ(minutes->hAlign, 0);
  EXPECT_EQ(minutes->vAlign, 3);
  EXPECT_TRUE(textAt("00′", sheet.west(), parallels[0]));  // 38°00′50″
}

TEST_F(Graticule, CrossesAtTheNodesAndLabelsOutsideTheTicks) {
  settings.GridType = 4;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  stored = texts(kCentre);
  const double arm = settings.GraticuleCrossLen;
  int arms = 0;
  for (const auto& l : lines(kCentre))
    if (l.id == 1 && std::fabs(std::hypot(l.x2 - l.x1, l.y2 - l.y1) - arm) < 1e-12) ++arms;
  EXPECT_EQ(arms, 2 * 2 * 2);
  double gapLat = 0;
  for (const auto& l : lines(kCentre))
    if (l.id == 2 && l.y1 == l.y2 && l.y1 > sheet.north()) gapLat = l.y1 - sheet.north();
  ASSERT_GT(gapLat, 0);
  const StoredText* north = textAt("117°05′", meridians[0], sheet.north() + gapLat);
  ASSERT_TRUE(north);
  EXPECT_EQ(north->vAlign, 0);
  EXPECT_TRUE(textAt("38°01′", sheet.west(), parallels[0]));
}

TEST_F(Graticule, AStepThatDoesNotDivideTheSheetStopsHalfAStepShortOfTheEdge) {
  settings.GridType = 3;
  settings.LonStep = 100 / 3600.0;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  int meridianCount = 0;
  for (const auto& l : graticuleLines())
    if (l.x1 == l.x2) {
      ++meridianCount;
      EXPECT_NEAR(l.x1, sheet.west() + 100 / 3600.0, 1e-12);
    }
  EXPECT_EQ(meridianCount, 1);  // 200″ would stand 25″ from the east edge
}

TEST_F(Graticule, PlaneSheetsAndStepsOfZeroAreRefused) {
  settings.GridType = 4;
  settings.LatStep = 0;
  EXPECT_EQ(run().made, 9);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"经纬网间隔必须大于0，未画经纬网"});
  EXPECT_TRUE(graticuleLines().empty());

  settings = StandardSettings(false);
  settings.GridType = 3;
  writeIndex(true, NineSheets(true));
  outputPath = folder.file("plane.gpkg");
  ui.messages.clear();
  EXPECT_EQ(run().made, 9);
  // Said once for the run, not once a sheet.
  EXPECT_EQ(ui.messages, std::vector<std::string>{"经纬网只有是地理坐标（大地坐标才支持)"});
}

}  // namespace
}  // namespace framora
