#include <cmath>

#include "frame/polygon/polygon_frame.h"

namespace framora {

std::vector<double> GraticuleValues(double first, double last, double step) {
  std::vector<double> values;
  if (!(step > 0)) return values;
  const double candidates = std::round((last - first) / step + 1);
  if (!std::isfinite(candidates)) return values;
  const double start = std::trunc(first / step + 1) * step;
  for (double i = 0; i < candidates; ++i) {
    const double value = start + i * step;
    if (value >= last) break;  // the values only grow
    values.push_back(value);
  }
  return values;
}

void Tcreatetk::DrawGraticule(const Envelope& outer) {
  const FrameSettings& s = settings_;
  if (!StepUsable(s.LatStep, "经纬网间隔必须大于0，未画经纬网") ||
      !StepUsable(s.LonStep, "经纬网间隔必须大于0，未画经纬网"))
    return;
  const double gap = frameGap();
  const Envelope inner{outer.xmin + gap, outer.ymin + gap, outer.xmax - gap, outer.ymax - gap};
  const GeoPoint lowerLeft = ToGeographic(inner.ymin, inner.xmin);
  const GeoPoint upperRight = ToGeographic(inner.ymax, inner.xmax);

  for (double latitude : GraticuleValues(lowerLeft.latitude, upperRight.latitude, s.LatStep)) {
    const double left = ToPlane(latitude, lowerLeft.longitude).northing;
    const double right = ToPlane(latitude, upperRight.longitude).northing;
    AddLine(1, inner.xmin, left, inner.xmax, right);
    const std::string label = MinutesSecondsText(latitude);
    AddText(label, s.GridBigFont, 3, 2, inner.xmin, left);
    AddText(label, s.GridBigFont, 1, 2, inner.xmax, right);
  }
  for (double longitude : GraticuleValues(lowerLeft.longitude, upperRight.longitude, s.LonStep)) {
    const double bottom = ToPlane(lowerLeft.latitude, longitude).easting;
    const double top = ToPlane(upperRight.latitude, longitude).easting;
    AddLine(1, bottom, inner.ymin, top, inner.ymax);
    const std::string label = MinutesSecondsText(longitude);
    AddText(label, s.GridBigFont, 2, 3, top, inner.ymax);
    AddText(label, s.GridBigFont, 2, 1, bottom, inner.ymin);
  }
}

}  // namespace framora
