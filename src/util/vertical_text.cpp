#include "util/vertical_text.h"

#include "util/gbk.h"

namespace framora {

std::string SplitToLines(std::string_view text) {
  std::string out;
  for (char32_t c : ToUtf32(text)) {
    if (c == U'\r' || c == U'\n') continue;
    out += FromUtf32(std::u32string_view(&c, 1));
    out += "\r\n";
  }
  return out;
}

int LineCount(std::string_view text) {
  int lines = 0;
  size_t i = 0;
  while (i < text.size()) {
    ++lines;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
  }
  return lines;
}

}  // namespace framora
