#include <gtest/gtest.h>

#include "util/logical_font.h"

namespace framora {
namespace {

TEST(LogicalFontSize, WholeAndHalfPointsComeBackAsTheyWereGiven) {
  // 五号 10.5, 六号 7.5, 小六 6.5 and whole sizes: the pixel height a font dialog stores and
  // the size read back from it.
  const std::pair<double, int> sizes[] = {{10.5, -14}, {7.5, -10}, {10, -13}, {20, -27}, {50, -67}, {9, -12}, {12, -16}};
  for (const auto& [points, height] : sizes) {
    const LogicalFont font = FontOfPointSize("宋体", points);
    EXPECT_EQ(font.height, height) << points;
    EXPECT_DOUBLE_EQ(font.pointSize(), points) << points;
  }
  // A height no size gives reads as the nearest half point.
  LogicalFont odd;
  odd.height = -9;
  EXPECT_DOUBLE_EQ(odd.pointSize(), 7);
}

}  // namespace
}  // namespace framora
