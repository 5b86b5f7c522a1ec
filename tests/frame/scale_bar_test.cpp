#include <gtest/gtest.h>

#include <algorithm>

#include "frame/frame_builder.h"
#include "frame/frame_test_support.h"
#include "support/temp_folder.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::ReadLines;
using testing::ReadTexts;
using testing::TempFolder;

using Drawing = testing::SheetWritingTest;

std::vector<std::string> Labels(const std::vector<testing::StoredText>& texts) {
  std::vector<std::string> labels;
  for (const auto& text : texts) labels.push_back(text.text);
  return labels;
}

TEST_F(Drawing, NoScaleBarUnlessAskedFor) {
  start();
  builder->DrawScaleBar(1000, 5000);
  finish();
  EXPECT_TRUE(ReadLines(path, "L_S").empty());
  EXPECT_TRUE(ReadTexts(path, "a_S").empty());
}

TEST_F(Drawing, ScaleBarAtOneToTenThousand) {
  settings.ScaleBarOn = true;
  settings.ScaleBarBottom = 100;
  start();
  builder->DrawScaleBar(1000, 5000);
  finish();
  const auto texts = ReadTexts(path, "a_S");
  EXPECT_EQ(Labels(texts), (std::vector<std::string>{"200", "100", "0", "200", "400", "600", "800m"}));
  const auto lines = ReadLines(path, "L_S");
  ASSERT_EQ(lines.size(), 1u + 11 + 8);
  EXPECT_TRUE(std::all_of(lines.begin(), lines.end(), [](const auto& line) { return line.id == 3; }));
  EXPECT_DOUBLE_EQ(lines[0].x1, 5500);
  EXPECT_DOUBLE_EQ(lines[0].x2, 4500);
  EXPECT_DOUBLE_EQ(lines[0].y1, 900);
  std::vector<double> heights;
  for (const auto& line : lines) heights.push_back(line.y1 - line.y2);
  EXPECT_DOUBLE_EQ(*std::max_element(heights.begin(), heights.end()), 20);
  EXPECT_EQ(std::count(heights.begin(), heights.end(), 15.0), 4);
  EXPECT_EQ(std::count(heights.begin(), heights.end(), 10.0), 8);
  EXPECT_DOUBLE_EQ(texts[0].x, 4500);
  EXPECT_DOUBLE_EQ(texts[0].y, 920);
}

TEST_F(Drawing, ScaleBarLabelsFollowTheScale) {
  settings.ScaleBarOn = true;
  settings.ScaleFactor = 0.25;
  start();
  builder->DrawScaleBar(1000, 5000);
  finish();
  EXPECT_EQ(Labels(ReadTexts(path, "a_S")), (std::vector<std::string>{"50", "25", "0", "50", "100", "150", "200m"}));
}

std::vector<std::pair<double, double>> CrossCentres(const std::vector<testing::StoredLine>& lines) {
  std::vector<std::pair<double, double>> centres;
  for (const auto& line : lines)
    if (line.x1 == line.x2) centres.emplace_back(line.x1, (line.y1 + line.y2) / 2);
  return centres;
}

TEST_F(Drawing, CrossesAtTheGridNodesInsideTheExtent) {
  start();
  builder->DrawGridCrosses(5, 4000, 2500, 5000, 3000);
  finish();
  const auto lines = ReadLines(path, "L_S");
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(CrossCentres(lines),
            (std::vector<std::pair<double, double>>{{4000, 3000}, {4000, 4000}, {5000, 3000}, {5000, 4000}}));
  EXPECT_DOUBLE_EQ(lines[0].y1 - lines[0].y2, 50);
  EXPECT_EQ(lines[0].id, 5);
}

TEST_F(Drawing, CrossesOffsetByHalfAnInterval) {
  settings.HorLabelMode = 1;
  start();
  builder->DrawGridCrosses(5, 4000, 2500, 5000, 3000);
  finish();
  const auto centres = CrossCentres(ReadLines(path, "L_S"));
  ASSERT_EQ(centres.size(), 4u);
  EXPECT_DOUBLE_EQ(centres[0].first, 3500);
  EXPECT_DOUBLE_EQ(centres[2].first, 4500);
}

TEST_F(Drawing, AGridIntervalOfZeroDrawsNothingAndSaysWhy) {
  settings.GridInterval = 0;
  start();
  builder->DrawGridCrosses(5, 4000, 2500, 5000, 3000);
  settings.GridInterval = -100;
  builder->DrawGridCrosses(5, 4000, 2500, 5000, 3000);
  finish();
  EXPECT_TRUE(ReadLines(path, "L_S").empty());
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
}  // namespace framora
