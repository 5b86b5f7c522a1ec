#include "util/number_parse.h"

#include <gtest/gtest.h>

#include "util/framora_error.h"

namespace framora {
namespace {

TEST(NumberParse, StrictTakesTheNumberAlone) {
  EXPECT_EQ(ParseInteger("095"), 95);
  EXPECT_EQ(ParseInteger("-3"), -3);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseDecimal("-2.5e1"), -25);
  EXPECT_EQ(ParseDecimal(".5"), 0.5);
  EXPECT_EQ(ParseDecimal("5."), 5);
  EXPECT_EQ(ParseDecimal("+1E-1"), 0.1);
  for (const char* bad : {"", " 5", "5 ", "+", "-", "+-5", "--5", "5a", "0x10", "1.5", "1e3", "99999999999"})
    EXPECT_FALSE(ParseInteger(bad)) << bad;
  for (const char* bad : {"", " 1.5", "1.5 ", ".", "1e", "1e+", "e5", "inf", "-nan", "infinity", "0x1p3", "1.2.3",
                          "87度", "1,5", "1e400"})
    EXPECT_FALSE(ParseDecimal(bad)) << bad;
}

TEST(NumberParse, ForgivingAlsoTakesBlanksAroundTheNumber) {
  EXPECT_EQ(ParseInteger(" 96 ", NumberForm::Forgiving), 96);
  EXPECT_EQ(ParseInteger("\t+3\r\n", NumberForm::Forgiving), 3);
  EXPECT_EQ(ParseDecimal("  50000 ", NumberForm::Forgiving), 50000);
  EXPECT_EQ(ParseLongDecimal(" +1.5e1 ", NumberForm::Forgiving), 15);
  for (const char* bad : {"", "   ", "9 6", "1.5", "+ 3"}) EXPECT_FALSE(ParseInteger(bad, NumberForm::Forgiving)) << bad;
  for (const char* bad : {" inf ", "1 e5", "1:5万"}) EXPECT_FALSE(ParseDecimal(bad, NumberForm::Forgiving)) << bad;
}

TEST(NumberParse, LongDecimalsKeepTheirExtraPrecision) {
  const auto third = ParseLongDecimal("0.33333333333333333333");
  ASSERT_TRUE(third);
  EXPECT_NE(*third, static_cast<long double>(*ParseDecimal("0.33333333333333333333")));
  EXPECT_NEAR(static_cast<double>(*third), 1 / 3.0, 1e-16);
}

TEST(NumberParse, ARequiredNumberThatIsNoneRaisesTheReadersMessage) {
  EXPECT_EQ(RequireDecimal(" 117 "), 117);
  try {
    RequireDecimal("abc");
    FAIL();
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "\"abc\" 不是有效的数值");
  }
  EXPECT_THROW(RequireDecimal(" 1 ", NumberForm::Strict), FramoraError);
}

}  // namespace
}  // namespace framora
