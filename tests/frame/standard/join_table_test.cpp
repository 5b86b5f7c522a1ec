#include <gtest/gtest.h>

#include <map>

#include "frame/standard/sheet_index_support.h"

namespace framora {
namespace {

using namespace standard_testing;

using Cells = std::map<std::pair<int, int>, std::multiset<std::string>>;

// The texts standing in the table whose lower-left corner is (x0, y0), by cell (column
// from the west, row from the north).
Cells TableTexts(const std::vector<StoredText>& texts, double x0, double y0, double w, double h) {
  Cells cells;
  for (const auto& t : texts) {
    const double i = std::floor((t.x - x0) / w), row = std::floor((t.y - y0) / h);
    if (i >= 0 && i < 3 && row >= 0 && row < 3) cells[{static_cast<int>(i), 2 - static_cast<int>(row)}].insert(t.text);
  }
  return cells;
}

TEST_F(StandardRun, PlaneTableNamesTheEightNeighboursInTheirDirections) {
  writeIndex(true, NineSheets(true));
  ASSERT_EQ(run(kCentreOnly).made, 1);
  const auto in = SheetCorners(SeriesSheet{kCentreRow, kCentreColumn}, true);
  // The table starts above the upper-left inner corner, 2 mm over the outer frame.
  const double x0 = in[kUpperLeft].x, y0 = in[kUpperLeft].y + 80 + 20, w = 130, h = 70;
  const auto stored = lines(kCentre);
  for (int k = 0; k <= 3; ++k) {
    EXPECT_TRUE(std::any_of(stored.begin(), stored.end(), [&](const StoredLine& l) {
      return l.id == 1 && std::fabs(l.y1 - (y0 + k * h)) < 1e-6 && std::fabs(l.y2 - l.y1) < 1e-9 &&
             std::fabs(std::fabs(l.x2 - l.x1) - 3 * w) < 1e-6;
    })) << k;
  }
  const auto polygons = ReadPolygons(outputPath, "p_" + kCentre);
  const auto centre = std::find_if(polygons.begin(), polygons.end(), [](const auto& p) { return p.id == 1; });
  ASSERT_NE(centre, polygons.end());
  OGREnvelope box;
  centre->shape->getEnvelope(&box);
  EXPECT_NEAR(box.MinX, x0 + w, 1e-6);
  EXPECT_NEAR(box.MaxY, y0 + 2 * h, 1e-6);

  // Up to eight bytes on one line; longer names split by characters into two.
  const Cells expected = {{{0, 0}, {"北庄"}},         {{1, 0}, {"王家村镇"}},      {{2, 0}, {"ABCD", "EFGHI"}},
                          {{0, 1}, {"ABCDE", "FGHIJ"}}, {{2, 1}, {"ABCDE", "FGHIJK"}}, {{0, 2}, {"东风农", "场一队"}},
                          {{1, 2}, {"南"}},             {{2, 2}, {"东南"}}};
  EXPECT_EQ(TableTexts(texts(kCentre), x0, y0, w, h), expected);
}

TEST_F(StandardRun, GeographicTableCentresEachNameInItsCell) {
  settings = StandardSettings(true);
  writeIndex(false, NineSheets(false));
  ASSERT_EQ(run(kCentreOnly).made, 1);
  const SeriesSheet sheet{kCentreRow, kCentreColumn};
  const auto p = PlaneProjection::Iag1975(true);
  const double west = sheet.west(), north = sheet.north();
  const double w = p.eastDegrees(130, west, north), h = p.northDegrees(70, west, north);
  const double x0 = west, y0 = north + p.northDegrees(80, west, sheet.south()) + p.northDegrees(20, west, north);
  const std::map<std::pair<int, int>, std::string> expected = {
      {{0, 0}, "北庄"},       {{1, 0}, "王家村镇"},          {{2, 0}, "ABCDEFGHI"},
      {{0, 1}, "ABCDEFGHIJ"}, {{2, 1}, "ABCDE\r\nFGHIJK"}, {{0, 2}, "东风农\r\n场一队"},
      {{1, 2}, "南"},         {{2, 2}, "东南"}};
  const auto stored = texts(kCentre);
  // Within a centimetre: PROJ and the program's own series differ by millimetres.
  for (const auto& [cell, name] : expected) {
    const double x = x0 + (cell.first + 0.5) * w, y = y0 + (2 - cell.second + 0.5) * h;
    // Named in the capture: clang 14 cannot capture a structured binding.
    const auto found = std::find_if(stored.begin(), stored.end(), [&, &name = name](const StoredText& t) {
      return t.text == name && std::fabs(t.x - x) < 1e-7 && std::fabs(t.y - y) < 1e-7;
    });
    ASSERT_NE(found, stored.end()) << name;
    EXPECT_EQ(found->hAlign, 1);
    EXPECT_EQ(found->vAlign, 1);
  }
}

TEST_F(StandardRun, ASheetOnTheEdgeOfTheIndexGetsEmptyCellsOutside) {
  writeIndex(true, NineSheets(true));
  const SeriesSheet corner{kCentreRow - 1, kCentreColumn - 1};
  ASSERT_EQ(run("TFH = '" + corner.number() + "'").made, 1);
  const auto in = SheetCorners(corner, true);
  const Cells expected = {{{2, 1}, {"王家村镇"}}, {{1, 2}, {"ABCDE", "FGHIJ"}}, {{2, 2}, {"中心村"}}};
  EXPECT_EQ(TableTexts(texts(corner.number()), in[kUpperLeft].x, in[kUpperLeft].y + 100, 130, 70), expected);
  const auto polygons = ReadPolygons(outputPath, "p_" + corner.number());
  EXPECT_EQ(std::count_if(polygons.begin(), polygons.end(), [](const auto& p) { return p.id == 1; }), 1);
}

TEST_F(StandardRun, AMissingNameFieldIsSaidOnceAndNoFieldSaysNothing) {
  writeIndex(true, NineSheets(true));
  settings.TitleField = "NOPE";
  EXPECT_EQ(run().made, 9);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"找不到对应字段NOPE"});
  settings.TitleField = "";
  ui.messages.clear();
  outputPath = folder.file("unnamed.gpkg");
  EXPECT_EQ(run().made, 9);
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace framora
