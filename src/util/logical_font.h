#pragma once

#include <string>

namespace framora {

// A font as the settings keep it: the fields of a Windows logical font plus the colour.
struct LogicalFont {
  int height = -13;           // negative: character height in pixels; positive: cell height
  int width = 0;
  int escapement = 0;
  int orientation = 0;
  int weight = 400;           // 700 is bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charSet = 134;          // GB2312
  int outPrecision = 0;
  int clipPrecision = 0;
  int quality = 0;
  int pitchAndFamily = 0;
  std::string faceName = "宋体";
  int color = 0;              // 0x00BBGGRR, red in the lowest byte; negative for a system colour

  bool bold() const { return weight >= 600; }
  // The character height at 96 pixels per inch, to the half point (13 px is 10 pt, 14 px
  // 10.5 pt, 10 px 7.5 pt).
  double pointSize() const;
  bool operator==(const LogicalFont&) const = default;
};

// The same font at a given point size, as a font dialog would give it back.
LogicalFont FontOfPointSize(const std::string& faceName, double points, int color = 0);

// 0xRRGGBB from a colour with red in the lowest byte; -1 for a negative (system) colour.
int ColorToRgb(int color);

}  // namespace framora
