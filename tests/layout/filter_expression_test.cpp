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
