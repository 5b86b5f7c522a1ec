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
  // Within some ten metres of the point: labels keep a fifth of an em off their lines.
  const StoredText* textAt(const std::string& text, double x, double y, double tolerance = 1e-4) const {
    for (const auto& t : stored)
      if (t.text == text && std::fabs(t.x - x) < tolerance && std::fabs(t.y - y) < tolerance) return &t;
    return nullptr;
  }
  // The band between the frames in degrees of longitude, from the outer frame's lines.
  double gapLon() const {
    for (const auto& l : lines(kCentre))
      if (l.id == 2 && l.x1 == l.x2 && l.x1 < sheet.west()) return sheet.west() - l.x1;
    return 0;
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
  // Parallels are labelled in the middle of the side bands, degrees above the parallel and
  // minutes below, as the corners are.
  const double band = gapLon();
  ASSERT_GT(band, 0);
  const StoredText* westDegrees = textAt("38°", sheet.west() - band / 2, parallels[0]);
  const StoredText* westMinutes = textAt("01′", sheet.west() - band / 2, parallels[0]);
  ASSERT_TRUE(westDegrees && westMinutes);
  EXPECT_EQ(westDegrees->hAlign, 1);
  EXPECT_EQ(westDegrees->vAlign, 3);
  EXPECT_EQ(westMinutes->vAlign, 0);
  EXPECT_GT(westDegrees->y, parallels[0]);
  EXPECT_LT(westMinutes->y, parallels[0]);
  EXPECT_TRUE(textAt("02′", sheet.east() + band / 2, parallels[1]));
}

TEST_F(Graticule, SecondsLabelsAreSetTighterToFitTheBand) {
  settings.GridType = 3;
  settings.GraticuleLabelMode = 0;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  stored = texts(kCentre);
  // "00′50″" is 4 em, 8.5 mm at 6 pt: too wide for the 8 mm band without tightening.
  const StoredText* seconds = textAt("00′50″", sheet.west() - gapLon() / 2, parallels[0]);
  ASSERT_TRUE(seconds);
  const double em = seconds->size * 25.4 / 72;
  const double width = 4 * em + seconds->spacing / 100 * 3 * em;
  EXPECT_LT(seconds->spacing, 0);
  EXPECT_LE(width, 8 - 0.4 * em + 1e-9);
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
  EXPECT_GT(minutes->x, meridians[0]);  // beside its tick, not touching it
  EXPECT_TRUE(textAt("00′", sheet.west(), parallels[0]));  // 38°00′50″
}

TEST_F(Graticule, CrossesAtTheNodesAndLabelsOutsideTheTicks) {
  settings.GridType = 4;
  ASSERT_EQ(run(kCentreOnly).made, 1);
  stored = texts(kCentre);
  // The arms are equally long on the ground: the set length of latitude both ways.
  const double arm = settings.GraticuleCrossLen;
  const PlaneProjection plane = PlaneProjection::Iag1975(true);
  int vertical = 0, horizontal = 0;
  for (const auto& l : lines(kCentre)) {
    if (l.id != 1) continue;
    const double length = std::hypot(plane.forward(l.x2, l.y2).x - plane.forward(l.x1, l.y1).x,
                                     plane.forward(l.x2, l.y2).y - plane.forward(l.x1, l.y1).y);
    if (l.x1 == l.x2 && std::fabs(l.y2 - l.y1 - arm) < 1e-12) {
      ++vertical;
      EXPECT_NEAR(length, arm * 111000, 1000 * arm);
    } else if (l.y1 == l.y2 && std::fabs(length - arm * 111000) < 1000 * arm) {
      ++horizontal;
    }
  }
  EXPECT_EQ(vertical, 2 * 2);
  EXPECT_EQ(horizontal, 2 * 2);
  double gapLat = 0;
  for (const auto& l : lines(kCentre))
    if (l.id == 2 && l.y1 == l.y2 && l.y1 > sheet.north()) gapLat = l.y1 - sheet.north();
  ASSERT_GT(gapLat, 0);
  // Beside its tick in the middle of the band, not across it.
  const StoredText* north = textAt("117°05′", meridians[0], sheet.north() + gapLat / 2);
  ASSERT_TRUE(north);
  EXPECT_EQ(north->hAlign, 0);
  EXPECT_EQ(north->vAlign, 1);
  EXPECT_GT(north->x, meridians[0]);
  EXPECT_TRUE(textAt("38°", sheet.west() - gapLon() / 2, parallels[0]));
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
