#include "geodesy/number_text.h"

#include <cctype>
#include <charconv>
#include <string>

#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// from_chars alone would also take "inf", "nan" and hex forms; the boxes never did.
bool LooksDecimal(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  int digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    int exponentDigits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == text.size();
}

}  // namespace

long double ReadDecimal(std::string_view text) {
  const std::string trimmed = Trim(text);
  std::string_view digits = trimmed;
  if (LooksDecimal(digits)) {
    if (digits.front() == '+') digits.remove_prefix(1);
    long double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size()) return value;
  }
  throw FramoraError("\"" + std::string(text) + "\" 不是有效的数值");
}

bool TryReadInteger(std::string_view text, int& value) {
  std::string_view digits = text;
  const bool plus = !digits.empty() && digits.front() == '+';
  if (plus) digits.remove_prefix(1);
  const size_t firstDigit = !plus && !digits.empty() && digits.front() == '-' ? 1 : 0;
  if (firstDigit >= digits.size()) return false;
  for (size_t i = firstDigit; i < digits.size(); ++i) {
    if (!IsDigit(digits[i])) return false;
  }
  int parsed = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
  if (error != std::errc() || end != digits.data() + digits.size()) return false;
  value = parsed;
  return true;
}

}  // namespace framora
