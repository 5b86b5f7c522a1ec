#include "util/date_text.h"

#include <gtest/gtest.h>

namespace framora {
namespace {

TEST(DatePlaceholders, FillBothNotationsOnAFixedDate) {
  EXPECT_EQ(ReplaceDatePlaceholders("yyyy年mm月dd日", 2009, 7, 5), "2009年7月5日");
  EXPECT_EQ(ReplaceDatePlaceholders("YYYY年MM月DD日", 2009, 7, 5), "二○○九年七月五日");
  EXPECT_EQ(ReplaceDatePlaceholders("YY年 yy年", 2009, 7, 5), "○九年 09年");
}

TEST(DatePlaceholders, FourLetterFormsAreNotTakenForTwoShortOnes) {
  EXPECT_EQ(ReplaceDatePlaceholders("YYYYMM", 2009, 7, 5), "二○○九七");
  EXPECT_EQ(ReplaceDatePlaceholders("yyyymmdd", 2010, 12, 31), "20101231");
  EXPECT_EQ(ReplaceDatePlaceholders("YYYYY", 2009, 7, 5), "二○○九Y");
}

TEST(DatePlaceholders, CaseMattersAndOtherTextStays) {
  EXPECT_EQ(ReplaceDatePlaceholders("Yy mM dD", 2009, 7, 5), "Yy mM dD");
  EXPECT_EQ(ReplaceDatePlaceholders("1954年北京坐标系。", 2009, 7, 5), "1954年北京坐标系。");
  EXPECT_EQ(ReplaceDatePlaceholders("", 2009, 7, 5), "");
}

TEST(DatePlaceholders, TodayFillsEveryPlaceholder) {
  const std::string text = ReplaceDatePlaceholders("YYYY MM DD yyyy mm dd");
  EXPECT_EQ(text.find_first_of("YMDymd"), std::string::npos) << text;
}

TEST(ChineseNumbers, DigitsOneByOne) {
  EXPECT_EQ(ChineseDigits(2010), "二○一○");
  EXPECT_EQ(ChineseDigits(0), "○");
  EXPECT_EQ(ChineseDigits(1234567890), "一二三四五六七八九○");
}

TEST(ChineseNumbers, MonthsAndDaysSpeakTheTens) {
  EXPECT_EQ(ChineseMonthNumber(5), "五");
  EXPECT_EQ(ChineseMonthNumber(10), "十");
  EXPECT_EQ(ChineseMonthNumber(12), "十二");
  EXPECT_EQ(ChineseDayNumber(19), "十九");
  EXPECT_EQ(ChineseDayNumber(10), "十");
  EXPECT_EQ(ChineseDayNumber(20), "二十");
  EXPECT_EQ(ChineseDayNumber(23), "二十三");
  EXPECT_EQ(ChineseDayNumber(30), "三十");
  EXPECT_EQ(ChineseDayNumber(31), "三十一");
  EXPECT_EQ(ReplaceDatePlaceholders("MM月DD日", 2020, 11, 30), "十一月三十日");
}

}  // namespace
}  // namespace framora
