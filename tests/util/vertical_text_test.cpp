#include "util/vertical_text.h"

#include <gtest/gtest.h>

namespace framora {
namespace {

TEST(VerticalText, EveryCharacterIsOneLineEndedByABreak) {
  EXPECT_EQ(SplitToLines("国土局"), "国\r\n土\r\n局\r\n");
  EXPECT_EQ(SplitToLines("A1图"), "A\r\n1\r\n图\r\n");
  EXPECT_EQ(SplitToLines(""), "");
  EXPECT_EQ(LineCount(SplitToLines("国土局")), 3);
}

TEST(VerticalText, BreaksInTheTextMakeNoEmptyLines) {
  EXPECT_EQ(SplitToLines("国\r\n土"), "国\r\n土\r\n");
}

TEST(VerticalText, LineCountIgnoresAFinalBreak) {
  EXPECT_EQ(LineCount(""), 0);
  EXPECT_EQ(LineCount("a"), 1);
  EXPECT_EQ(LineCount("a\r\n"), 1);
  EXPECT_EQ(LineCount("a\r\nb"), 2);
  EXPECT_EQ(LineCount("a\nb\rc"), 3);
  EXPECT_EQ(LineCount("\r\n\r\n"), 2);
  EXPECT_EQ(LineCount("第一行\r\n\r\n第三行"), 3);
}

}  // namespace
}  // namespace framora
