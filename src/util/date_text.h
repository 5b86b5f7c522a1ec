#pragma once

#include <string>
#include <string_view>

namespace framora {

// Each decimal digit of the number as a Chinese numeral (2010 gives 二○一○); a minus sign stays.
std::string ChineseDigits(long long number);

// Month and day the way dates are written on a sheet: 5 五, 10 十, 12 十二, 20 二十, 31 三十一.
std::string ChineseMonthNumber(int month);
std::string ChineseDayNumber(int day);

// Fills in the date placeholders of a frame text, letter case significant:
// YYYY, YY (Chinese year, its last two characters), MM, DD (Chinese month and day),
// then yyyy, yy, mm, dd (decimal, no leading zeros on month and day).
std::string ReplaceDatePlaceholders(std::string_view text, int year, int month, int day);
// The same with today's local date.
std::string ReplaceDatePlaceholders(std::string_view text);

}  // namespace framora
