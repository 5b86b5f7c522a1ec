#include "util/gbk.h"

#include <gtest/gtest.h>

#include "util/text.h"

namespace framora {
namespace {

TEST(Gbk, ChineseCharactersAndSignsTakeTwoBytes) {
  EXPECT_EQ(GbkLength("图廓"), 4);
  EXPECT_EQ(GbkLength("88°03′45″"), 12);
  EXPECT_EQ(GbkLength("abc"), 3);
  EXPECT_EQ(FromGbk(ToGbk("北京54")), "北京54");
}

TEST(Gbk, ByteSlicesNeverCutACharacter) {
  EXPECT_EQ(GbkLeft("中文ab", 3), "中");
  EXPECT_EQ(GbkLeft("中文ab", 4), "中文");
  EXPECT_EQ(GbkMid("88°03′", 4), "03′");
  EXPECT_EQ(GbkMid("88°03′", 4, 2), "03");
  EXPECT_EQ(ToUtf32("图廓ab").size(), 4u);
}

TEST(Gbk, UnconvertibleCharactersDoNotStopTheConversion) {
  EXPECT_EQ(ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");
}

TEST(Text, SuffixTestIgnoresCase) {
  EXPECT_TRUE(EndsWithText("D:\\A.GDB", ".gdb"));
  EXPECT_TRUE(EndsWithText("x.gdb.gdb", ".gdb"));
  EXPECT_FALSE(EndsWithText("x.gdbx", ".gdb"));
  EXPECT_FALSE(EndsWithText("db", ".gdb"));
}

TEST(Text, TrimCutsBlanksAndControlCharacters) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(Trim("   "), "");
}

}  // namespace
}  // namespace framora
