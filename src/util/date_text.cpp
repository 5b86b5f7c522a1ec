#include "util/date_text.h"

#include <ctime>

#include "util/gbk.h"
#include "util/text.h"

namespace framora {
namespace {

constexpr const char* kChineseDigit[] = {"○", "一", "二", "三", "四", "五", "六", "七", "八", "九"};

// The last count characters (not bytes) of a text.
std::string LastCharacters(std::string_view text, size_t count) {
  const std::u32string characters = ToUtf32(text);
  if (characters.size() <= count) return std::string(text);
  return FromUtf32(std::u32string_view(characters).substr(characters.size() - count));
}

// Below 100 the tens are spoken; anything else (never a real month or day) falls back to plain digits.
std::string ChineseSmallNumber(int number) {
  if (number < 0 || number >= 100) return ChineseDigits(number);
  if (number < 10) return kChineseDigit[number];
  std::string out = number >= 20 ? kChineseDigit[number / 10] : "";
  out += "十";
  if (number % 10 != 0) out += kChineseDigit[number % 10];
  return out;
}

}  // namespace

std::string ChineseDigits(long long number) {
  std::string out;
  for (char c : std::to_string(number)) {
    if (c >= '0' && c <= '9') {
      out += kChineseDigit[c - '0'];
    } else {
      out += c;
    }
  }
  return out;
}

std::string ChineseMonthNumber(int month) { return ChineseSmallNumber(month); }

std::string ChineseDayNumber(int day) { return ChineseSmallNumber(day); }

std::string ReplaceDatePlaceholders(std::string_view text, int year, int month, int day) {
  const std::string chineseYear = ChineseDigits(year);
  const std::string decimalYear = std::to_string(year);
  // Four-letter forms first, so that YYYY is never read as two YY.
  std::string out(text);
  out = ReplaceAll(std::move(out), "YYYY", chineseYear);
  out = ReplaceAll(std::move(out), "YY", LastCharacters(chineseYear, 2));
  out = ReplaceAll(std::move(out), "MM", ChineseMonthNumber(month));
  out = ReplaceAll(std::move(out), "DD", ChineseDayNumber(day));
  out = ReplaceAll(std::move(out), "yyyy", decimalYear);
  out = ReplaceAll(std::move(out), "yy", LastCharacters(decimalYear, 2));
  out = ReplaceAll(std::move(out), "mm", std::to_string(month));
  out = ReplaceAll(std::move(out), "dd", std::to_string(day));
  return out;
}

std::string ReplaceDatePlaceholders(std::string_view text) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return ReplaceDatePlaceholders(text, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace framora
