#pragma once

#include <string_view>

namespace framora {

// Reads a decimal number as the text boxes hold it: optional sign, digits with an optional
// point, optional exponent; blanks around it are allowed. Anything else raises
// FramoraError("\"text\" 不是有效的数值").
long double ReadDecimal(std::string_view text);

// Reads an integer strictly: optional sign and decimal digits, nothing else (no blanks).
// False when the text is not such an integer or does not fit an int.
bool TryReadInteger(std::string_view text, int& value);

}  // namespace framora
