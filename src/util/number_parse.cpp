#include "util/number_parse.h"

#include <charconv>
#include <type_traits>

#include "util/framora_error.h"
#include "util/text.h"

namespace framora {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// from_chars alone would also take "inf", "nan" and hexadecimal digits after a "0x" that it
// stops at; neither the boxes nor the settings ever did.
bool HasNumberShape(std::string_view text, bool decimal) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  int digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (decimal && i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (decimal && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    int exponentDigits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == text.size();
}

template <typename Number>
std::optional<Number> Parse(std::string_view text, NumberForm form) {
  const std::string trimmed = form == NumberForm::Forgiving ? Trim(text) : std::string(text);
  std::string_view number = trimmed;
  if (!HasNumberShape(number, std::is_floating_point_v<Number>)) return std::nullopt;
  if (number.front() == '+') number.remove_prefix(1);  // from_chars takes no "+"
  Number value{};
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  // Out of range, the value would be the largest or the smallest: refused instead.
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> ParseInteger(std::string_view text, NumberForm form) { return Parse<int>(text, form); }

std::optional<double> ParseDecimal(std::string_view text, NumberForm form) { return Parse<double>(text, form); }

std::optional<long double> ParseLongDecimal(std::string_view text, NumberForm form) {
  return Parse<long double>(text, form);
}

long double RequireDecimal(std::string_view text, NumberForm form) {
  if (const auto value = ParseLongDecimal(text, form)) return *value;
  throw FramoraError(NotANumberMessage(text));
}

std::string NotANumberMessage(std::string_view text) {
  std::string message = "\"";
  message.append(text);
  message.append("\" 不是有效的数值");
  return message;
}

}  // namespace framora
