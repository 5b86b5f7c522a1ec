#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace framora {

// How much a number text may hold besides the number.
enum class NumberForm {
  // The number alone: an optional sign and decimal digits, for a decimal also a point and an
  // exponent ("-12", "+1.5e3", ".5", "5."). No blanks, no "inf", "nan" or hexadecimal.
  Strict,
  // As the windows program reads its edit boxes: the same with blanks around the number.
  Forgiving,
};

// Empty when the text is no such number or the number does not fit the type.
std::optional<int> ParseInteger(std::string_view text, NumberForm form = NumberForm::Strict);
std::optional<double> ParseDecimal(std::string_view text, NumberForm form = NumberForm::Strict);
std::optional<long double> ParseLongDecimal(std::string_view text, NumberForm form = NumberForm::Strict);

// ParseLongDecimal for a text that must be a number: anything else throws
// FramoraError(NotANumberMessage(text)).
long double RequireDecimal(std::string_view text, NumberForm form = NumberForm::Forgiving);
// "\"text\" 不是有效的数值"
std::string NotANumberMessage(std::string_view text);

}  // namespace framora
