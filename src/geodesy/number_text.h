#pragma once

#include <string_view>

namespace framora {

// The geodesy's readings of number texts, over util/number_parse.h.

// A decimal as the windows program's boxes hold it (NumberForm::Forgiving); anything else
// raises FramoraError("\"text\" 不是有效的数值").
long double ReadDecimal(std::string_view text);

// An integer read strictly (NumberForm::Strict); false when the text is no such integer or
// does not fit an int, value then unchanged.
bool TryReadInteger(std::string_view text, int& value);

}  // namespace framora
