#pragma once

#include <string>
#include <string_view>

namespace framora {

// True when text ends with suffix, letters compared without regard to case.
bool EndsWithText(std::string_view text, std::string_view suffix);
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// Blanks and control characters cut from both ends, as the Delphi Trim does.
std::string Trim(std::string_view text);
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);
// The number in the shortest decimal form that gives it back at the given significant digits
// ("%.*g"): 0.1 stays 0.1, 39500000 stays 39500000.
std::string NumberText(double value, int significantDigits = 17);
std::string ReplaceFirst(std::string text, std::string_view from, std::string_view to);

}  // namespace framora
