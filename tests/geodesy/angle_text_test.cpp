#include "geodesy/angle_text.h"

#include <gtest/gtest.h>

#include "geodesy/number_text.h"
#include "util/framora_error.h"

namespace framora {
namespace {

TEST(DmsText, ReadsPackedSexagesimal) {
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("88.0345"), 88.0625);
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("88.034512"), 88 + 3 / 60.0 + 45.12 / 3600);
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("88.053"), 88 + 5 / 60.0 + 30 / 3600.0);
}

TEST(DmsText, ShortFractionsAreWholeMinutes) {
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("88"), 88);
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("88.5"), 88 + 50 / 60.0);
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("88.05"), 88 + 5 / 60.0);
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("88."), 88);
}

TEST(DmsText, NegativeAnglesMirrorPositiveOnes) {
  EXPECT_DOUBLE_EQ(DmsTextToDegrees("-88.0345"), -88.0625);
  EXPECT_EQ(DegreesToDmsNumber(-88.0625), "-88.0345");
  EXPECT_EQ(DegreesToDmLabel(-88.0625), "-88°04′");
}

TEST(DmsText, NonNumbersRaiseTheReaderError) {
  try {
    DmsTextToDegrees("abc");
    FAIL();
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "\"abc\" 不是有效的数值");
  }
  EXPECT_THROW(DmsTextToDegrees("88.0x45"), FramoraError);
  EXPECT_THROW(DmsTextToDegrees(""), FramoraError);
  EXPECT_THROW(ReadDecimal("inf"), FramoraError);
  EXPECT_THROW(ReadDecimal("1e"), FramoraError);
  EXPECT_EQ(ReadDecimal(" +1.5e1 "), 15);
}

TEST(DmsText, IntegersAreReadStrictly) {
  int value = 7;
  EXPECT_TRUE(TryReadInteger("095", value));
  EXPECT_EQ(value, 95);
  EXPECT_TRUE(TryReadInteger("-3", value));
  EXPECT_EQ(value, -3);
  for (const char* bad : {"", "+", "-", "+-5", " 5", "5 ", "5a", "0x10", "99999999999"}) {
    EXPECT_FALSE(TryReadInteger(bad, value)) << bad;
  }
}

TEST(DmsNumber, WritesPackedFormWithZeros) {
  EXPECT_EQ(DegreesToDmsNumber(88.0625), "88.0345");
  EXPECT_EQ(DegreesToDmsNumber(88), "88.0000");
  EXPECT_EQ(DegreesToDmsNumber(88.05), "88.0300");
  EXPECT_EQ(DegreesToDmsNumber(16 + 2.5 / 60), "16.0230");
}

TEST(DmsNumber, SixtySecondsCarryIntoMinutesAndDegrees) {
  EXPECT_EQ(DegreesToDmsNumber(88 + 59 / 60.0 + 59.7 / 3600), "89.0000");
  EXPECT_EQ(DegreesToDmsNumber(88 + 3 / 60.0 + 59.6 / 3600), "88.0400");
}

TEST(DmsNumber, HalfSecondsRoundToEven) {
  // 1′52.5″ and 5′37.5″ are exact binary fractions of a degree.
  EXPECT_EQ(DegreesToDmsNumber(88.03125), "88.0152");
  EXPECT_EQ(DegreesToDmsNumber(88.09375), "88.0538");
}

TEST(DmsLabel, LabelsCarryAllSigns) {
  EXPECT_EQ(DmsNumberToLabel("88.0345"), "88°03′45″");
  EXPECT_EQ(DmsNumberToLabel("88.034512"), "88°03′45″");
  EXPECT_EQ(DmsNumberToLabel("88.5"), "88°50′00″");
  EXPECT_EQ(DegreesToDmsLabel(16 + 5 / 60.0), "16°05′00″");
  EXPECT_EQ(DegreesToDmsLabel(88.125), "88°07′30″");
}

TEST(DmLabel, ThirtySecondsRoundTheMinuteUp) {
  EXPECT_EQ(DegreesToDmLabel(88.0625), "88°04′");
  EXPECT_EQ(DegreesToDmLabel(88 + 3 / 60.0 + 30 / 3600.0), "88°04′");
  EXPECT_EQ(DegreesToDmLabel(88 + 3 / 60.0 + 29 / 3600.0), "88°03′");
  EXPECT_EQ(DegreesToDmLabel(88 + 59 / 60.0 + 45 / 3600.0), "89°00′");
  EXPECT_EQ(DegreesToDmLabel(5.1), "5°06′");
}

TEST(DmsLabel, SplitsCountTheSignsAsTwoBytes) {
  const DegreeSplit split = SplitAtDegreeSign("88°03′45″");
  EXPECT_EQ(split.Degrees, "88°");
  EXPECT_EQ(split.Rest, "03′45″");
  const DmsSplit parts = SplitDmsLabel("88°03′45″");
  EXPECT_EQ(parts.Degrees, "88°");
  EXPECT_EQ(parts.Minutes, "03′");
  EXPECT_EQ(parts.Seconds, "45″");
  EXPECT_EQ(SplitAtDegreeSign("no sign").Degrees, "no sign");
  EXPECT_EQ(SplitAtDegreeSign("no sign").Rest, "");
}

TEST(KmText, CutsKilometresAndPadsTheRest) {
  EXPECT_EQ(MetresToKmText(2, 2, 3456789), "56.78");
  EXPECT_EQ(MetresToKmText(2, 2, 3456000), "56.00");
  EXPECT_EQ(MetresToKmText(2, 2, 3456045), "56.04");
  EXPECT_EQ(MetresToKmText(2, 2, 5000), "5.00");
  EXPECT_EQ(MetresToKmText(4, 3, 3456789.5), "3456.789");
  EXPECT_EQ(MetresToKmText(2, 5, 3456789.123), "56.78912");
  EXPECT_EQ(MetresToKmText(3, 0, 39613707.917), "613.");
}

}  // namespace
}  // namespace framora
