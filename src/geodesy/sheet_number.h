#pragma once

#include <optional>
#include <string>

namespace framora {

// Standard topographic sheet numbers: the new ten-character form ("E45G095066") and the old
// hyphenated form ("J-50-5-(24)-b"). Angles are decimal degrees, north and east.

struct ScaleSizes {
  long double LongitudeSize;
  long double LatitudeSize;
  int SheetsPerSide;  // rows (= columns) of this scale inside a 1:1,000,000 sheet
};
// Sheet size of a scale letter "A" (1:1,000,000) to "H" (1:5,000); nothing for other letters.
std::optional<ScaleSizes> ScaleLetterSizes(char letter);

struct MapSheetExtent {
  long double WestLongitude = 0;
  long double SouthLatitude = 0;
  int ScaleIndex = 0;  // scale letter − "A"; 0 for a three-character number
  long double LatitudeSize = 0;
  long double LongitudeSize = 0;

  long double EastLongitude() const { return WestLongitude + LongitudeSize; }
  long double NorthLatitude() const { return SouthLatitude + LatitudeSize; }
};

// A wrong number raises FramoraError with the text the user is to see; a number too short
// to be one at all gives an empty answer without a word.

// Extent of a new number ("E45G095066", or "J50" for a 1:1,000,000 sheet). Nothing for a
// blank text; "输入的<number>,错误的图幅号" for a malformed one.
std::optional<MapSheetExtent> ParseNewSheetNumber(const std::string& text);

// Old number to new: "J-50-5-(24)-b" -> "J50H005080", kind 7 (kind + "A" is the scale letter).
// Empty (kind −1) for three characters or fewer; "输入的<number>,错误的旧图幅号" for a
// malformed number.
std::string OldToNewSheetNumber(const std::string& text, int& kind);

// Blanks around the number are dropped. Old numbers (with a hyphen) are converted; others must
// have 10 characters ("图幅号输入错误") and come back as they are. Number fields are digits
// only.
std::string NormalizeSheetNumber(const std::string& text);

// Central meridian of the 3-degree zone holding the sheet's west edge; −1 for a number that
// normalises to nothing. Wrong numbers raise as above.
double SheetZoneMeridian(const std::string& text);

// Central meridian of the 3-degree zone holding a sheet's west edge.
double ZoneMeridianOfSheet(const MapSheetExtent& extent);

// Leading zeros up to three digits: 5 -> "005"; longer numbers stay as they are.
std::string PadThreeDigits(int n);

}  // namespace framora
