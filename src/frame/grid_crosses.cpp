#include <cmath>

#include "frame/frame_builder.h"

namespace framora {

GridNodes NodesBetween(double minimum, double maximum, double interval, bool offsetByHalf) {
  double first = std::floor((minimum + interval) / interval) * interval;
  if (offsetByHalf) {
    first -= interval / 2;
    if (minimum > first) first += interval;
  }
  // Rounded down, not toward zero: a range holding no node has none, not one beyond it.
  return GridNodes{first, static_cast<long long>(std::floor((maximum - first) / interval))};
}

void TtkBaseClass::DrawGridCrosses(int kind, double maxNorthing, double minNorthing, double maxEasting,
                                   double minEasting,
                                   const std::function<bool(double easting, double northing, double arm)>& keep) {
  const FrameSettings& s = settings_;
  const double interval = s.GridInterval;
  if (interval <= 0) {
    Notify("公里网间隔必须大于0，未画十字");
    return;
  }
  const GridNodes east = NodesBetween(minEasting, maxEasting, interval, s.HorLabelMode == 1);
  const GridNodes north = NodesBetween(minNorthing, maxNorthing, interval, s.VerLabelMode == 1);
  if (east.steps < 0) return;
  const double arm = s.CrossLineLength / 2;
  for (long long w = 0; w <= east.steps; ++w) {
    const double e = east.first + w * interval;
    for (long long k = 0; k <= north.steps; ++k) {
      const double n = north.first + k * interval;
      if (keep && !keep(e, n, arm)) continue;
      AddLine(kind, e, n + arm, e, n - arm);
      AddLine(kind, e + arm, n, e - arm, n);
    }
  }
}

}  // namespace framora
