#include "geodesy/number_text.h"

#include "util/number_parse.h"

namespace framora {

long double ReadDecimal(std::string_view text) { return RequireDecimal(text, NumberForm::Forgiving); }

bool TryReadInteger(std::string_view text, int& value) {
  const auto parsed = ParseInteger(text);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

}  // namespace framora
