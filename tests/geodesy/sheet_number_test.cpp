#include "geodesy/sheet_number.h"

#include <gtest/gtest.h>

#include "util/framora_error.h"

namespace framora {
namespace {

std::string Convert(const std::string& old, int* kind = nullptr) {
  int k = -2;
  const std::string result = OldToNewSheetNumber(old, k);
  if (kind) *kind = k;
  return result;
}

// The text a wrong number raises; empty when it raises nothing.
template <typename Call>
std::string RaisedText(Call&& call) {
  try {
    call();
  } catch (const FramoraError& error) {
    return error.what();
  }
  return "";
}

TEST(ScaleSizes, HalvingFromDWithLatitudeTwoThirds) {
  EXPECT_EQ(ScaleLetterSizes('C')->LongitudeSize, 1.5);
  EXPECT_EQ(ScaleLetterSizes('D')->LatitudeSize, 1.0L / 3);
  EXPECT_EQ(ScaleLetterSizes('H')->LongitudeSize, 0.03125);
  EXPECT_EQ(ScaleLetterSizes('H')->LatitudeSize, 1.0L / 48);
  EXPECT_FALSE(ScaleLetterSizes('I'));
  EXPECT_FALSE(ScaleLetterSizes('@'));
}

TEST(NewSheetNumber, WorkedExampleE45G095066) {
  const std::optional<MapSheetExtent> found = ParseNewSheetNumber("E45G095066");
  ASSERT_TRUE(found);
  const MapSheetExtent& e = *found;
  EXPECT_EQ(e.ScaleIndex, 6);
  EXPECT_NEAR(static_cast<double>(e.WestLongitude), 88.0625, 1e-12);
  EXPECT_NEAR(static_cast<double>(e.EastLongitude()), 88.125, 1e-12);
  EXPECT_NEAR(static_cast<double>(e.SouthLatitude), 16 + 2.5 / 60, 1e-12);
  EXPECT_NEAR(static_cast<double>(e.NorthLatitude()), 16 + 5 / 60.0, 1e-12);
  EXPECT_EQ(SheetZoneMeridian("E45G095066"), 87);
}

TEST(NewSheetNumber, ThreeCharacterNumberIsAMillionSheet) {
  const std::optional<MapSheetExtent> found = ParseNewSheetNumber(NormalizeSheetNumber("J-50"));
  ASSERT_TRUE(found);
  const MapSheetExtent& e = *found;
  EXPECT_EQ(e.ScaleIndex, 0);
  EXPECT_EQ(e.WestLongitude, 114);
  EXPECT_EQ(e.EastLongitude(), 120);
  EXPECT_EQ(e.SouthLatitude, 36);
  EXPECT_EQ(e.NorthLatitude(), 40);
}

TEST(NewSheetNumber, LastRowOfBandAStartsAtTheEquator) {
  ASSERT_TRUE(ParseNewSheetNumber("A50G096001"));
  EXPECT_EQ(ParseNewSheetNumber("A50G096001")->SouthLatitude, 0);
  const std::optional<MapSheetExtent> last = ParseNewSheetNumber("A50H192192");
  ASSERT_TRUE(last);
  EXPECT_EQ(last->SouthLatitude, 0);
  EXPECT_EQ(last->EastLongitude(), 120);
}

TEST(NewSheetNumber, BlankGivesNothingWithoutAWord) {
  EXPECT_EQ(RaisedText([] { EXPECT_FALSE(ParseNewSheetNumber("")); }), "");
  EXPECT_EQ(RaisedText([] { EXPECT_FALSE(ParseNewSheetNumber("   ")); }), "");
}

TEST(NewSheetNumber, MalformedNumbersAreRefusedWithTheMessage) {
  for (const char* bad : {"E4xG095066", "E45G09506x", "E45G 95066", "E45I095066", "E45a095066", "E45G097066",
                          "E45G095000", "E00G095066", "W45G095066", "e45g095066", "E45G0950661", "J5"}) {
    EXPECT_EQ(RaisedText([&] { ParseNewSheetNumber(bad); }), std::string("输入的") + bad + ",错误的图幅号");
  }
}

TEST(OldSheetNumber, EveryKindOfTheJ50Example) {
  int kind = -2;
  EXPECT_EQ(Convert("J-50", &kind), "J50");
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(Convert("J-50-A", &kind), "J50B001001");
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(Convert("J-50-[16]", &kind), "J50C004004");
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(Convert("J-50-5", &kind), "J50D001005");
  EXPECT_EQ(kind, 3);
  EXPECT_EQ(Convert("J-50-5-B", &kind), "J50E001010");
  EXPECT_EQ(kind, 4);
  EXPECT_EQ(Convert("J-50-5-B-4", &kind), "J50F002020");
  EXPECT_EQ(kind, 5);
  EXPECT_EQ(Convert("J-50-5-(24)", &kind), "J50G003040");
  EXPECT_EQ(kind, 6);
  EXPECT_EQ(Convert("J-50-5-(24)-b", &kind), "J50H005080");
  EXPECT_EQ(kind, 7);
  EXPECT_EQ(Convert("J-50-5-(24)-c"), "J50H006079");
}

TEST(OldSheetNumber, LetterCaseOfTheLastPieceDoesNotMatter) {
  EXPECT_EQ(Convert("J-50-5-(24)-B"), Convert("J-50-5-(24)-b"));
  EXPECT_EQ(Convert("J-50-144-(64)-D"), "J50H192192");
}

TEST(OldSheetNumber, LastSheetsOfEachKindStayInsideTheMillionSheet) {
  EXPECT_EQ(Convert("J-50-D"), "J50B002002");
  EXPECT_EQ(Convert("J-50-144"), "J50D012012");
  EXPECT_EQ(Convert("J-50-144-D"), "J50E024024");
  EXPECT_EQ(Convert("J-50-144-D-4"), "J50F048048");
  EXPECT_EQ(Convert("J-50-144-(64)"), "J50G096096");
  EXPECT_EQ(Convert("J-50-13-A-1"), "J50F005001");
}

TEST(OldSheetNumber, ConvertedNumbersParseToTheSameSheet) {
  const std::optional<MapSheetExtent> hundred = ParseNewSheetNumber(Convert("J-50-5"));
  const std::optional<MapSheetExtent> fiveThousand = ParseNewSheetNumber(Convert("J-50-5-(1)-a"));
  ASSERT_TRUE(hundred && fiveThousand);
  EXPECT_EQ(fiveThousand->WestLongitude, hundred->WestLongitude);
  EXPECT_NEAR(static_cast<double>(fiveThousand->NorthLatitude()), static_cast<double>(hundred->NorthLatitude()),
              1e-15);
}

TEST(OldSheetNumber, ShortTextsGiveNothingWithoutAWord) {
  EXPECT_EQ(RaisedText([] { EXPECT_EQ(Convert("J-5"), ""); }), "");
  EXPECT_EQ(RaisedText([] { EXPECT_EQ(Convert(""), ""); }), "");
  EXPECT_EQ(RaisedText([] { EXPECT_EQ(NormalizeSheetNumber("J-5"), ""); }), "");
}

TEST(OldSheetNumber, InvalidPiecesAreRefusedWithTheMessage) {
  for (const char* bad : {"J-5x", "J-50-", "J-50-[]", "J-50-[17]", "J-50-[3", "J-50-145", "J-50-0", "J-50-5-E",
                          "J-50-5-B-5", "J-50-5-(65)", "J-50-5-(24)-e", "J-50-5-(x)", "J-50-5-(24", "J-50-x-B",
                          "J-50-AB", "J550-5", "J-61"}) {
    int kind = 9;
    EXPECT_EQ(RaisedText([&] { OldToNewSheetNumber(bad, kind); }), std::string("输入的") + bad + ",错误的旧图幅号");
    EXPECT_EQ(kind, -1) << bad;
  }
}

TEST(NormalizeSheetNumber, NewNumbersMustHaveTenCharacters) {
  EXPECT_EQ(NormalizeSheetNumber("E45G095066"), "E45G095066");
  EXPECT_EQ(NormalizeSheetNumber("J-50-5-(24)-b"), "J50H005080");
  EXPECT_EQ(RaisedText([] { NormalizeSheetNumber("E45G09506"); }), "图幅号输入错误");
  EXPECT_EQ(RaisedText([] { NormalizeSheetNumber("J50"); }), "图幅号输入错误");
  EXPECT_EQ(RaisedText([] { NormalizeSheetNumber("J-50-x"); }), "输入的J-50-x,错误的旧图幅号");
}

TEST(NormalizeSheetNumber, BlanksAroundAreDroppedSignsRefusedAndNumbersToldAsTyped) {
  EXPECT_EQ(NormalizeSheetNumber("  E45G095066 "), "E45G095066");
  EXPECT_EQ(NormalizeSheetNumber(" J-50-5-(24)-b\t"), "J50H005080");
  EXPECT_EQ(NormalizeSheetNumber("j-50-5-(24)-b"), "J50H005080");
  EXPECT_EQ(RaisedText([] { ParseNewSheetNumber("E+5G095066"); }), "输入的E+5G095066,错误的图幅号");
  EXPECT_EQ(RaisedText([] { ParseNewSheetNumber("E45G+95066"); }), "输入的E45G+95066,错误的图幅号");
  EXPECT_EQ(RaisedText([] { NormalizeSheetNumber("J-50-+5"); }), "输入的J-50-+5,错误的旧图幅号");
  EXPECT_EQ(RaisedText([] { NormalizeSheetNumber("J-50-[+6]"); }), "输入的J-50-[+6],错误的旧图幅号");
  EXPECT_EQ(RaisedText([] { NormalizeSheetNumber("x-50-5"); }), "输入的x-50-5,错误的旧图幅号");
}

TEST(SheetZoneMeridian, WestEdgeDecidesTheThreeDegreeZone) {
  EXPECT_EQ(SheetZoneMeridian("J-50"), 114);
  EXPECT_EQ(SheetZoneMeridian("J-50-5-(24)-b"), 117);
  EXPECT_EQ(SheetZoneMeridian("J50D001009"), 117);  // west edge 118°
  EXPECT_EQ(SheetZoneMeridian("J50D001010"), 120);  // west edge on the zone border 118°30′
}

TEST(SheetZoneMeridian, WrongNumbersRaiseWhatTheUserIsToldAndTooShortOnesGiveMinusOne) {
  EXPECT_EQ(RaisedText([] { SheetZoneMeridian("E45G0950"); }), "图幅号输入错误");
  EXPECT_EQ(RaisedText([] { SheetZoneMeridian("E45X095066"); }), "输入的E45X095066,错误的图幅号");
  EXPECT_EQ(RaisedText([] { SheetZoneMeridian("J-50-5-X"); }), "输入的J-50-5-X,错误的旧图幅号");
  EXPECT_EQ(SheetZoneMeridian("J-5"), -1);
}

TEST(PadThreeDigits, LeadingZerosOnlyUpToThree) {
  EXPECT_EQ(PadThreeDigits(5), "005");
  EXPECT_EQ(PadThreeDigits(1234), "1234");
}

}  // namespace
}  // namespace framora
