#include "geodesy/angle_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "geodesy/number_text.h"
#include "util/framora_error.h"
#include "util/gbk.h"
#include "util/text.h"

namespace framora {

namespace {

const char* const kDegreeSign = "°";
const char* const kMinuteSign = "′";
const char* const kSecondSign = "″";

struct Dms {
  bool negative = false;
  long long degrees = 0;
  int minutes = 0;
  int seconds = 0;
};

// Whole degrees and minutes cut, seconds rounded; no carry yet.
Dms Split(double degrees) {
  Dms out;
  out.negative = degrees < 0;
  const double magnitude = std::fabs(degrees);
  out.degrees = static_cast<long long>(std::trunc(magnitude));
  const double minutes = (magnitude - static_cast<double>(out.degrees)) * 60;
  out.minutes = static_cast<int>(std::trunc(minutes));
  out.seconds = static_cast<int>(std::nearbyint((minutes - out.minutes) * 60));
  return out;
}

void CarryMinute(Dms& dms) {
  if (dms.minutes == 60) {
    dms.minutes = 0;
    ++dms.degrees;
  }
}

std::string SignText(const Dms& dms) {
  return dms.negative && (dms.degrees != 0 || dms.minutes != 0 || dms.seconds != 0) ? "-" : "";
}

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%2d", value);
  return ReplaceAll(buffer, " ", "0");
}

}  // namespace

double DmsTextToDegrees(const std::string& text) {
  std::string packed = Trim(text);
  const long double value = ReadDecimal(packed);
  const bool negative = std::signbit(value);
  if (!packed.empty() && (packed.front() == '-' || packed.front() == '+')) packed.erase(0, 1);
  long double result = std::trunc(std::fabs(value));

  const size_t point = packed.find('.');
  if (point == std::string::npos) return static_cast<double>(negative ? -result : result);
  // One or two digits after the point are minutes without seconds: 88.5 is 88°50′.
  if (packed.size() - point < 4) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4Lf", std::fabs(value));
    packed = buffer;
  }
  const size_t at = packed.find('.');
  try {
    result += ReadDecimal(packed.substr(at + 1, 2)) / 60;
    result += ReadDecimal("0." + packed.substr(at + 3)) * 100 / 3600;
  } catch (const FramoraError&) {
    // Name the whole angle, not the piece that failed.
    throw FramoraError("\"" + text + "\" 不是有效的数值");
  }
  return static_cast<double>(negative ? -result : result);
}

std::string DegreesToDmsNumber(double degrees) {
  Dms dms = Split(degrees);
  if (dms.seconds == 60) {
    dms.seconds = 0;
    ++dms.minutes;
    CarryMinute(dms);
  }
  return SignText(dms) + std::to_string(dms.degrees) + "." + TwoDigits(dms.minutes) + TwoDigits(dms.seconds);
}

std::string DmsNumberToLabel(const std::string& text) {
  std::string degrees = text;
  std::string digits;
  const size_t point = text.find('.');
  if (point != std::string::npos) {
    degrees = text.substr(0, point);
    digits = text.substr(point + 1, 4);
  }
  // A short packed number means zero minutes or seconds, not a shorter label.
  digits.resize(4, '0');
  return degrees + kDegreeSign + digits.substr(0, 2) + kMinuteSign + digits.substr(2, 2) + kSecondSign;
}

std::string DegreesToDmsLabel(double degrees) { return DmsNumberToLabel(DegreesToDmsNumber(degrees)); }

std::string DegreesToDmLabel(double degrees) {
  Dms dms = Split(degrees);
  if (dms.seconds >= 30) {
    ++dms.minutes;
    CarryMinute(dms);
  }
  dms.seconds = 0;
  return SignText(dms) + std::to_string(dms.degrees) + kDegreeSign + TwoDigits(dms.minutes) + kMinuteSign;
}

DegreeSplit SplitAtDegreeSign(const std::string& label) {
  const size_t sign = label.find(kDegreeSign);
  if (sign == std::string::npos) return {label, ""};
  const size_t after = sign + std::char_traits<char>::length(kDegreeSign);
  return {label.substr(0, after), GbkLeft(label.substr(after), 100)};
}

DmsSplit SplitDmsLabel(const std::string& label) {
  const DegreeSplit split = SplitAtDegreeSign(label);
  return {split.Degrees, GbkLeft(split.Rest, 4), GbkMid(split.Rest, 4, 4)};
}

std::string MetresToKmText(int digitsBefore, int digitsAfter, double metres) {
  const long long kilometres = static_cast<long long>(std::trunc(metres / 1000));
  const double rest = metres - static_cast<double>(kilometres) * 1000;

  std::string before = std::to_string(kilometres);
  if (digitsBefore >= 0 && before.size() > static_cast<size_t>(digitsBefore)) {
    before = before.substr(before.size() - digitsBefore);
  }

  // Fifteen significant digits, as numbers are written as text elsewhere.
  const double magnitude = std::fabs(rest);
  const int integerDigits = magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 1;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", std::max(0, 15 - integerDigits), magnitude);
  std::string after = buffer;
  const size_t point = after.find('.');
  std::string whole = after.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : after.substr(point + 1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (whole.size() < 3) whole.insert(0, 3 - whole.size(), '0');
  after = whole + fraction + "0000000000";
  return before + "." + after.substr(0, std::max(0, digitsAfter));
}

}  // namespace framora
