#include "util/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace framora {

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return ToLowerAscii(a) == ToLowerAscii(b); }

bool EndsWithText(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  return EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  if (from.empty()) return text;
  size_t position = 0;
  while ((position = text.find(from, position)) != std::string::npos) {
    text.replace(position, from.size(), to);
    position += to.size();
  }
  return text;
}

std::string NumberText(double value, int significantDigits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*g", significantDigits, value);
  return buffer;
}

std::string ReplaceFirst(std::string text, std::string_view from, std::string_view to) {
  if (from.empty()) return text;
  const size_t position = text.find(from);
  if (position != std::string::npos) text.replace(position, from.size(), to);
  return text;
}

}  // namespace framora
