#pragma once

#include <string>
#include <string_view>

namespace framora {

// One character per line for vertical frame texts: every character (a Chinese character
// counts as one) followed by "\r\n", the last one too. Line breaks already in the text are
// dropped, since a break of its own would only make an empty line.
std::string SplitToLines(std::string_view text);

// Lines of a text split at "\r\n", "\n" or "\r"; a final break starts no new line,
// so an empty text has none.
int LineCount(std::string_view text);

}  // namespace framora
