#include <cmath>
#include <string>

#include "frame/frame_builder.h"

namespace framora {

void TtkBaseClass::DrawScaleBar(double bottom, double centre) {
  const FrameSettings& s = settings_;
  if (!s.ScaleBarOn) return;
  constexpr int kKind = 3;
  const double length = s.ScaleBarLength * s.ScaleFactor;
  const double tick = s.ScaleBarTickLength * s.ScaleFactor;
  const double base = bottom - s.ScaleBarBottom * s.ScaleFactor;
  const double left = centre - length / 2;
  const double right = centre + length / 2;
  AddLine(kKind, right, base, left, base);

  // Ground metres of one centimetre of paper: the labels count whole centimetres.
  const long long f = static_cast<long long>(std::trunc(s.ScaleFactor * 100));
  for (int i = 0; i <= 10; ++i) {
    const double easting = left + i * length / 10;
    const bool odd = i == 3 || i == 5 || i == 7 || i == 9;
    const double top = odd ? base + tick * 3 / 4 : base + tick;
    if (!odd) {
      const long long metres = i == 0 ? 2 * f : i == 1 ? f : i == 10 ? 8 * f : (i - 2) * f;
      // The unit stands once, after the right end's number; before the left end's it read
      // as part of the number ("m200").
      std::string label = std::to_string(metres);
      if (i == 10) label.push_back('m');
      AddText(label, s.ScaleBarFont, 2, 3, easting, top);
    }
    AddLine(kKind, easting, top, easting, base);
    if (i <= 1) {
      for (int j = 1; j <= 4; ++j) {
        const double small = easting + j * length / 50;
        AddLine(kKind, small, base + tick / 2, small, base);
      }
    }
  }
}

}  // namespace framora
