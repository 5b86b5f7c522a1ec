#include "geodesy/sheet_number.h"

#include <cmath>
#include <string_view>

#include "geodesy/number_text.h"
#include "util/framora_error.h"
#include "util/gbk.h"
#include "util/text.h"

namespace framora {

namespace {

// Delphi Copy semantics: positions from 1, clipped to the text.
std::string Copy(const std::string& text, size_t position, size_t count = std::string::npos) {
  if (position < 1 || position > text.size()) return "";
  return text.substr(position - 1, count);
}

// Bands A (0°–4°) to V (84°–88°) and columns 1–60 cover the sheets that exist.
bool ValidBand(char letter) { return letter >= 'A' && letter <= 'V'; }
bool ValidColumn(int column) { return column >= 1 && column <= 60; }

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

// Number fields are digits only: no sign, no blanks.
bool ReadDigits(std::string_view text, int& value) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return TryReadInteger(text, value);
}

int LetterIndex(char letter, char first) { return static_cast<unsigned char>(letter) - first; }

bool IsQuarterLetter(std::string_view piece) { return piece.size() == 1 && piece[0] >= 'A' && piece[0] <= 'D'; }

struct OldSheet {
  int kind = -1;
  int row = 0;
  int column = 0;
};

// Row and column of an old number's sheet inside its 1:1,000,000 sheet; kind −1 when the
// pieces after the 1:1,000,000 sheet are not a valid old number.
OldSheet ReadOldPieces(const std::string& text) {
  OldSheet sheet;
  const char first = text[5];
  if (first >= 'A' && first <= 'D') {
    if (text.size() != 6) return sheet;
    const int L = LetterIndex(first, 'A');
    return {1, L / 2 + 1, L % 2 + 1};
  }
  if (first == '[') {
    const size_t close = text.find(']');
    int n = 0;
    if (close == std::string::npos || close != text.size() - 1 || !ReadDigits(Copy(text, 7, close - 6), n) ||
        !InRange(n, 1, 16)) {
      return sheet;
    }
    return {2, (n - 1) / 4 + 1, (n + 3) % 4 + 1};
  }

  std::string rest = Copy(text, 6);
  size_t hyphen = rest.find('-');
  if (hyphen == std::string::npos) {
    int n = 0;
    if (!ReadDigits(rest, n) || !InRange(n, 1, 144)) return sheet;
    return {3, (n - 1) / 12 + 1, (n + 11) % 12 + 1};
  }

  int p = 0;
  if (!ReadDigits(rest.substr(0, hyphen), p) || !InRange(p, 1, 144)) return sheet;
  rest = rest.substr(hyphen + 1);
  const int r100 = (p - 1) / 12;
  const int c100 = (p + 11) % 12;
  hyphen = rest.find('-');
  const bool parenthesis = rest.find('(') != std::string::npos;

  if (parenthesis) {
    const size_t close = rest.find(')');
    int q = 0;
    if (rest[0] != '(' || close == std::string::npos || !ReadDigits(rest.substr(1, close - 1), q) ||
        !InRange(q, 1, 64)) {
      return sheet;
    }
    if (hyphen == std::string::npos) {
      if (close != rest.size() - 1) return sheet;
      return {6, r100 * 8 + (q - 1) / 8 + 1, c100 * 8 + (q + 7) % 8 + 1};
    }
    const std::string last = ToUpperAscii(rest.substr(hyphen + 1));
    if (hyphen != close + 1 || !IsQuarterLetter(last)) return sheet;
    const int L = LetterIndex(last[0], 'A');
    const int r10 = r100 * 8 + (q - 1) / 8;
    const int c10 = c100 * 8 + (q + 7) % 8;
    return {7, r10 * 2 + L / 2 + 1, c10 * 2 + L % 2 + 1};
  }

  if (hyphen != std::string::npos) {
    int m = 0;
    if (!IsQuarterLetter(rest.substr(0, hyphen)) || !ReadDigits(rest.substr(hyphen + 1), m) || !InRange(m, 1, 4)) {
      return sheet;
    }
    const int k = LetterIndex(rest[0], '@');
    return {5, r100 * 4 + ((k - 1) / 2) * 2 + (m - 1) / 2 + 1, c100 * 4 + ((k + 1) % 2) * 2 + (m + 1) % 2 + 1};
  }

  if (!IsQuarterLetter(rest)) return sheet;
  const int L = LetterIndex(rest[0], 'A');
  return {4, r100 * 2 + L / 2 + 1, c100 * 2 + L % 2 + 1};
}

[[noreturn]] void WrongNewNumber(const std::string& text) { throw FramoraError("输入的" + text + ",错误的图幅号"); }
[[noreturn]] void WrongOldNumber(const std::string& text) { throw FramoraError("输入的" + text + ",错误的旧图幅号"); }

std::string TwoDigitColumn(int column) {
  std::string text = std::to_string(column);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

std::optional<ScaleSizes> ScaleLetterSizes(char letter) {
  const int index = LetterIndex(letter, 'A');
  switch (index) {
    case 0: return ScaleSizes{6, 4, 1};
    case 1: return ScaleSizes{3, 2, 2};
    case 2: return ScaleSizes{1.5L, 1, 4};
    default: break;
  }
  if (index < 0 || index > 7) return std::nullopt;
  // From D on each scale halves the previous one; latitude is two thirds of longitude.
  int sheets = 12;
  long double longitude = 0.5L;
  for (int i = 3; i < index; ++i) {
    sheets *= 2;
    longitude /= 2;
  }
  return ScaleSizes{longitude, 4.0L / sheets, sheets};
}

std::optional<MapSheetExtent> ParseNewSheetNumber(const std::string& text) {
  if (Trim(text).empty()) return std::nullopt;

  const char bandLetter = text[0];
  int column = 0;
  if (!ValidBand(bandLetter) || !ReadDigits(Copy(text, 2, 2), column) || !ValidColumn(column)) WrongNewNumber(text);

  MapSheetExtent extent;
  ScaleSizes sizes{6, 4, 1};
  int row = 1;
  int columnInSheet = 1;
  if (text.size() > 3) {
    const auto found = ScaleLetterSizes(text[3]);
    if (!found) WrongNewNumber(text);
    sizes = *found;
    extent.ScaleIndex = LetterIndex(text[3], 'A');
    if (text.size() != 10 || !ReadDigits(Copy(text, 5, 3), row) || !ReadDigits(Copy(text, 8, 3), columnInSheet) ||
        !InRange(row, 1, sizes.SheetsPerSide) || !InRange(columnInSheet, 1, sizes.SheetsPerSide)) {
      WrongNewNumber(text);
    }
  } else if (text.size() != 3) {
    WrongNewNumber(text);
  }

  extent.LongitudeSize = sizes.LongitudeSize;
  extent.LatitudeSize = sizes.LatitudeSize;
  const int band = LetterIndex(bandLetter, '@');
  extent.WestLongitude = (columnInSheet - 1) * sizes.LongitudeSize + (column * 6 - 186);
  // Rows count from the north edge; SheetsPerSide is 4 / LatitudeSize without its rounding.
  extent.SouthLatitude = (sizes.SheetsPerSide - row) * sizes.LatitudeSize + (band - 1) * 4;
  return extent;
}

std::string OldToNewSheetNumber(const std::string& text, int& kind) {
  kind = -1;
  if (text.size() <= 3) return "";

  const char rowLetter = ToUpperAscii(text.substr(0, 1))[0];
  int column = 0;
  if (!ValidBand(rowLetter) || text[1] != '-' || !ReadDigits(Copy(text, 3, 2), column) || !ValidColumn(column)) WrongOldNumber(text);
  if (text.size() == 4) {
    kind = 0;
    return rowLetter + TwoDigitColumn(column);
  }
  if (text[4] != '-' || text.size() < 6) WrongOldNumber(text);

  const OldSheet sheet = ReadOldPieces(text);
  if (sheet.kind < 0) WrongOldNumber(text);
  kind = sheet.kind;
  return rowLetter + TwoDigitColumn(column) + static_cast<char>('A' + sheet.kind) + PadThreeDigits(sheet.row) +
         PadThreeDigits(sheet.column);
}

std::string NormalizeSheetNumber(const std::string& typed) {
  const std::string text = Trim(typed);
  if (text.find('-') != std::string::npos) {
    int kind = 0;
    return OldToNewSheetNumber(text, kind);
  }
  if (GbkLength(text) != 10) throw FramoraError("图幅号输入错误");
  return text;
}

double SheetZoneMeridian(const std::string& text) {
  const std::string number = NormalizeSheetNumber(text);
  const std::optional<MapSheetExtent> extent = number.empty() ? std::nullopt : ParseNewSheetNumber(number);
  if (!extent) return -1;
  return ZoneMeridianOfSheet(*extent);
}

double ZoneMeridianOfSheet(const MapSheetExtent& extent) {
  return 3 * std::floor(static_cast<double>((extent.WestLongitude + 1.5L) / 3));
}

std::string PadThreeDigits(int n) {
  std::string text = std::to_string(n);
  if (n >= 0 && text.size() < 3) text.insert(0, 3 - text.size(), '0');
  return text;
}

}  // namespace framora
