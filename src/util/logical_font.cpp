#include "util/logical_font.h"

#include <cmath>
#include <cstdlib>

namespace framora {

double LogicalFont::pointSize() const {
  // The size a font dialog would have been given: whole points first, then half points,
  // whichever gives the same pixels back.
  const long pixels = std::abs(height);
  const double whole = std::lround(pixels * 72.0 / 96.0);
  if (std::lround(whole * 96.0 / 72.0) == pixels) return whole;
  return std::lround(pixels * 72.0 / 96.0 * 2) / 2.0;
}

LogicalFont FontOfPointSize(const std::string& faceName, double points, int color) {
  LogicalFont font;
  font.faceName = faceName;
  font.height = -static_cast<int>(std::lround(points * 96.0 / 72.0));
  font.color = color;
  return font;
}

int ColorToRgb(int color) {
  if (color < 0) return -1;
  const int red = color & 0xFF;
  const int green = (color >> 8) & 0xFF;
  const int blue = (color >> 16) & 0xFF;
  return (red << 16) | (green << 8) | blue;
}

}  // namespace framora
