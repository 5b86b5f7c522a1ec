#include "layout/filter_expression.h"

#include <gtest/gtest.h>

#include <map>

namespace framora {
namespace {

// A feature with a number, a text that reads as a number, a Chinese text and a NULL.
ExpressionValue Field(const std::string& name) {
  static const std::map<std::string, ExpressionValue> fields = {
      {"pop", ExpressionValue::Of(1500.0)},
      {"code", ExpressionValue::Of(std::string("10"))},
      {"name", ExpressionValue::Of(std::string("东坝镇"))},
      {"kind", ExpressionValue::Of(std::string("Road"))},
      {"my field", ExpressionValue::Of(std::string("x"))},
  };
  const auto found = fields.find(name);
  return found == fields.end() ? ExpressionValue::Null() : found->second;
}

struct Case {
  const char* expression;
  int expected;  // 1 true, 0 false, -1 NULL
};

void ExpectCases(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    std::string error;
    const auto expression = FilterExpression::Parse(c.expression, &error);
    ASSERT_TRUE(expression) << c.expression << ": " << error;
    const ExpressionValue value = expression->evaluate(Field);
    const int actual = value.isNull() ? -1 : value.isTrue() ? 1 : 0;
    EXPECT_EQ(actual, c.expected) << c.expression;
  }
}

TEST(FilterExpression, ComparisonsAreNumericUnlessBothSidesAreTexts) {
  ExpectCases({{"\"pop\" = 1500", 1},
               {"\"pop\" <> 1500", 0},
               {"\"pop\" != 1499", 1},
               {"pop >= 1500 ", 1},
               {"\"pop\" < 1e3", 0},
               {"\"pop\" <= 1500.0", 1},
               {"\"pop\" > '900'", 1},     // a number against a text: as numbers
               {"\"code\" = 10", 1},       // a text that reads as a number against a number
               {"\"code\" < '9'", 1},      // two texts: as texts
               {"\"name\" = '东坝镇'", 1},
               {"'it''s' = 'it\\'s'", 1},  // both ways of writing a quote
               {"\"my field\" = 'x'", 1},
               {"\"missing\" = 1", -1}});
}

TEST(FilterExpression, LogicFollowsQgisWithNullAsUnknown) {
  ExpectCases({{"\"pop\" > 1000 AND \"kind\" = 'Road'", 1},
               {"\"pop\" > 1000 and \"kind\" = 'Path'", 0},
               {"\"pop\" > 2000 OR \"kind\" = 'Road'", 1},
               {"NOT \"pop\" > 2000", 1},
               {"NOT (\"pop\" > 1000 AND \"kind\" = 'Road')", 0},
               {"\"missing\" = 1 OR \"pop\" = 1500", 1},
               {"\"missing\" = 1 AND \"pop\" = 0", 0},
               {"\"missing\" = 1 AND \"pop\" = 1500", -1},
               {"NOT \"missing\" = 1", -1},
               // AND binds tighter than OR.
               {"\"pop\" = 0 AND \"pop\" = 0 OR \"kind\" = 'Road'", 1},
               {"\"pop\" = 0 AND (\"pop\" = 0 OR \"kind\" = 'Road')", 0}});
}

TEST(FilterExpression, ListsPatternsAndNulls) {
  ExpectCases({{"\"kind\" IN ('Road', 'Path')", 1},
               {"\"kind\" NOT IN ('Road', 'Path')", 0},
               {"\"pop\" IN (1, 1500)", 1},
               {"\"pop\" in ('1500')", 1},
               {"\"kind\" IN ('Path', NULL)", -1},
               {"\"kind\" LIKE 'Ro%'", 1},
               {"\"kind\" LIKE 'ro%'", 0},
               {"\"kind\" ILIKE 'ro%'", 1},
               {"\"kind\" LIKE 'R_ad'", 1},
               {"\"kind\" LIKE 'R_d'", 0},
               {"\"kind\" NOT LIKE '%a%'", 0},
               {"\"name\" LIKE '%坝%'", 1},
               {"'a.c' LIKE 'a.c'", 1},
               {"'abc' LIKE 'a.c'", 0},  // only % and _ are wild
               {"'50%' LIKE '50\\%'", 1},
               {"\"missing\" IS NULL", 1},
               {"\"pop\" IS NULL", 0},
               {"\"pop\" IS NOT NULL", 1},
               {"\"missing\" IS NOT NULL", 0},
               {"\"missing\" LIKE '%'", -1}});
}

TEST(FilterExpression, ArithmeticAndTextMakeLabels) {
  const auto text = [](const char* source) {
    const auto expression = FilterExpression::Parse(source);
    EXPECT_TRUE(expression) << source;
    return expression ? expression->evaluate(Field).asText() : std::string();
  };
  EXPECT_EQ(text("\"name\" || ' ' || \"pop\""), "东坝镇 1500");
  EXPECT_EQ(text("\"name\" || \"missing\""), "");  // NULL in, NULL out
  EXPECT_EQ(text("concat(\"name\", \"missing\", '!')"), "东坝镇!");
  EXPECT_EQ(text("\"pop\" / 1000"), "1.5");
  EXPECT_EQ(text("-\"pop\" + 2 * 3"), "-1494");
  EXPECT_EQ(text("upper(\"kind\") || lower('X')"), "ROADx");
  EXPECT_EQ(text("coalesce(\"missing\", 'none')"), "none");
  EXPECT_EQ(text("left(\"name\", 2) || right('110105003', 3) || substr('abcdef', 2, 3) || substr('abcdef', -2)"),
            "东坝003bcdef");
  ExpectCases({{"\"pop\" / 1000 > 1", 1}, {"\"pop\" + 1 = 1501", 1}, {"\"pop\" / 0 = 1", -1}});
}

TEST(FilterExpression, OddValuesGiveWhatQgisGives) {
  ExpectCases({{"'abc' LIKE NULL", -1},   // NULL pattern: unknown, not "matches the empty text"
               {"'' LIKE NULL", -1},
               {"'0x10' = 16", 0},         // no hexadecimal: compared as texts
               {"' 16 ' = 16", 1},         // blanks around a number are fine
               {"\"code\" = 1e1", 1},
               {"1e400 > 1e300", 1},       // too large reads as infinity, not as garbage
               {"1e-400 = 0", 1},
               {"'abc' AND \"pop\" = 1500", -1},  // a text that is no number is no truth value
               {"NOT 'abc'", -1},
               {"'1' AND 1", 1},
               {"left('abc', NULL) IS NULL", 1},
               {"left('abc', 1e20) IS NULL", 1},  // no count an integer could hold
               {"substr('abc', -1e300) IS NULL", 1},
               {"round(1.5, 1e10) IS NULL", 1},
               {"round(2.567, 1) = 2.6", 1},
               {"substr('abcdef', 2, -1) = 'bcde'", 1},  // a negative length stops short of the end
               {"substr('abcdef', -4, -1) = 'cde'", 1},
               {"substr('abcdef', 2.6, 2) = 'cd'", 1},
               // Equal within rounding, yet not less or equal.
               {"0.1 + 0.2 = 0.3", 1},
               {"0.1 + 0.2 <> 0.3", 0},
               {"0.1 + 0.2 IN (0.3)", 1},
               {"0.1 + 0.2 IS 0.3", 1},
               {"0.1 + 0.2 <= 0.3", 0},
               {"1e20 + 10000 = 1e20", 0}});
  // A rule reads its filter's value as QGIS does: the texts "false" and "0" are false.
  const auto falseText = FilterExpression::Parse("'false'");
  ASSERT_TRUE(falseText);
  EXPECT_FALSE(falseText->matches(Field));
  EXPECT_TRUE(FilterExpression::Parse("'yes'")->matches(Field));
}

TEST(FilterExpression, FieldsOfAFeatureReadAsQgisShowsThem) {
  OGRFeatureDefn* definition = new OGRFeatureDefn;  // features share it by count
  definition->Reference();
  OGRFieldDefn padded("padded", OFTReal), real("real", OFTReal), big("big", OFTInteger64), name("name", OFTString),
      day("day", OFTDate), moment("moment", OFTDateTime);
  padded.SetWidth(12);
  padded.SetPrecision(3);  // as shapefiles keep decimals
  for (OGRFieldDefn* field : {&padded, &real, &big, &name, &day, &moment}) definition->AddFieldDefn(field);
  {
    OGRFeature feature(definition);
    feature.SetField("padded", 1500.0);
    feature.SetField("real", 1.0 / 3);
    feature.SetField("big", GIntBig{9007199254740993});
    feature.SetFieldNull(definition->GetFieldIndex("name"));
    feature.SetField("day", 2020, 1, 2);
    feature.SetField("moment", 2020, 1, 2, 3, 4, 5.25f);
    const FieldValues fields = FeatureFields(feature);
    EXPECT_EQ(fields("padded").asText(), "1500");
    EXPECT_EQ(fields("real").asText(), "0.3333333333333333");
    EXPECT_EQ(fields("big").asText(), "9007199254740993");
    EXPECT_TRUE(fields("name").isNull());
    EXPECT_TRUE(fields("missing").isNull());
    EXPECT_EQ(fields("day").asText(), "2020-01-02") << "not 2020/01/02";
    EXPECT_EQ(fields("moment").asText(), "2020-01-02T03:04:05.250");
    const auto label = FilterExpression::Parse("\"padded\" || ' m'");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->evaluate(fields).asText(), "1500 m");
  }
  definition->Release();
}

TEST(FilterExpression, DeepOrLongExpressionsAreRefusedInsteadOfOverflowingTheStack) {
  // Built by appending: GCC 12 misreads chains of + on these strings.
  const auto repeated = [](std::string text, const std::string& part, int times, const std::string& end) {
    for (int i = 0; i < times; ++i) text.append(part);
    return text.append(end);
  };
  const int many = 200000;
  for (const std::string& deep :
       {repeated(repeated("", "(", many, "1"), ")", many, ""), repeated("", "NOT ", many, "1"),
        repeated("", "-", many, "1"), repeated("1", " + 1", many, ""),
        repeated("\"pop\"", " = 1 OR \"pop\"", many, " = 2"),
        repeated(repeated("", "upper(", many, "'a'"), ")", many, ""), repeated("", "(", many, "")}) {
    std::string error;
    EXPECT_FALSE(FilterExpression::Parse(deep, &error)) << deep.substr(0, 20);
    EXPECT_FALSE(error.empty());
  }
  // What people write stays well within the bound.
  const auto chain = FilterExpression::Parse(repeated("\"pop\" = 0", " OR \"pop\" = 0", 300, " OR \"pop\" = 1500"));
  ASSERT_TRUE(chain);
  EXPECT_TRUE(chain->matches(Field));
  ASSERT_TRUE(FilterExpression::Parse(repeated(repeated("", "(", 100, "\"pop\" > 1"), ")", 100, "")));
}

TEST(FilterExpression, TextThatIsNoExpressionIsRefusedWithAReason) {
  for (const char* bad : {"\"pop\" = ", "\"pop\" = 'open", "(\"pop\" = 1", "\"pop\" IN 1, 2", "\"pop\" ~ 3",
                          "\"pop\" = 1 1", "regexp_match(\"kind\", 'R')", "AND", ""}) {
    std::string error;
    EXPECT_FALSE(FilterExpression::Parse(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

}  // namespace
}  // namespace framora
