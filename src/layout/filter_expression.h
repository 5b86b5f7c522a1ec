#pragma once

#include <ogr_feature.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace framora {

// A value as QGIS expressions see it: NULL, a number or a text.
struct ExpressionValue {
  enum class Kind { Null, Number, Text };
  Kind kind = Kind::Null;
  double number = 0;
  std::string text;  // for a whole number read from data: the text the data source gives it

  static ExpressionValue Null() { return {}; }
  static ExpressionValue Of(double value);
  static ExpressionValue Of(std::string value);

  bool isNull() const { return kind == Kind::Null; }
  // Numbers as QGIS shows them: integers without a decimal point, others shortest.
  std::string asText() const;
  // A number, or a text that reads wholly as one.
  std::optional<double> asNumber() const;
  // As a rule takes its filter's value: NULL, zero, an empty text, "0" and "false" are false.
  bool isTrue() const;
};

// The value of a field of the feature at hand by its name; Null for a missing field.
using FieldValues = std::function<ExpressionValue(const std::string& name)>;

// The fields of a feature: numbers as numbers, everything else as text; unset and null
// fields NULL. The feature must outlive the lookup.
FieldValues FeatureFields(const OGRFeature& feature);

// An expression of the subset of QGIS's expression language that styles and labels use
// most: comparisons, IN, AND / OR / NOT, LIKE / ILIKE, IS [NOT] NULL, arithmetic, ||
// concatenation, a few text functions, "field" names and 'text' literals.
class FilterExpression {
 public:
  // Nothing when the text is not an expression of that subset; error then says why.
  static std::unique_ptr<FilterExpression> Parse(const std::string& text, std::string* error = nullptr);
  ~FilterExpression();
  FilterExpression(const FilterExpression&) = delete;
  FilterExpression& operator=(const FilterExpression&) = delete;

  ExpressionValue evaluate(const FieldValues& fields) const;
  bool matches(const FieldValues& fields) const { return evaluate(fields).isTrue(); }
  const std::string& text() const { return text_; }

  struct Node;

 private:
  FilterExpression(std::string text, std::unique_ptr<Node> root);
  std::string text_;
  std::unique_ptr<Node> root_;
};

}  // namespace framora
