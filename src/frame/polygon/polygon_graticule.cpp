#include <cmath>

#include "frame/polygon/polygon_frame.h"

namespace framora {

namespace {

// Space between a graticule label and the inner frame, in em.
constexpr double kGraticuleLabelClearanceEm = 0.2;

}  // namespace

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
  const LogicalFont& font = s.GridBigFont;
  const double clear = kGraticuleLabelClearanceEm * FontHeightOnGround(font);
  const double outerHalf = OuterLineInset();
  // Labels stand a little off the inner frame, narrowed to the band where they would not fit
  // across it; one that would reach a corner's labels or past the band's ends is left out.
  const auto place = [&](std::string label, int hAlign, int vAlign, double x, double y, double room) {
    double spacing = SpacingToFit(label, font, room);
    // Too wide for the band even set tight: the seconds go under the minutes.
    const auto minuteSign = label.find("′");
    if (TextWidthOnGround(label, font, spacing) > room && minuteSign != std::string::npos) {
      label.insert(minuteSign + std::string("′").size(), "\r\n");
      spacing = SpacingToFit(label, font, room);
    }
    const Envelope box = TextBoxOnGround(label, font, hAlign, vAlign, x, y, spacing);
    // Onto the outer line, or into a corner square.
    const double edge = gap - outerHalf;
    if (box.xmin < inner.xmin - edge || box.xmax > inner.xmax + edge || box.ymin < inner.ymin - edge ||
        box.ymax > inner.ymax + edge)
      return;
    if ((box.xmin < inner.xmin || box.xmax > inner.xmax) && (box.ymin < inner.ymin || box.ymax > inner.ymax)) return;
    for (const Envelope& corner : cornerLabelBoxes())
      if (corner.xmin < box.xmax + clear && corner.xmax > box.xmin - clear && corner.ymin < box.ymax + clear &&
          corner.ymax > box.ymin - clear)
        return;
    AddText(label, font, hAlign, vAlign, x, y, spacing);
  };

  for (double latitude : GraticuleValues(lowerLeft.latitude, upperRight.latitude, s.LatStep)) {
    const double left = ToPlane(latitude, lowerLeft.longitude).northing;
    const double right = ToPlane(latitude, upperRight.longitude).northing;
    AddLine(1, inner.xmin, left, inner.xmax, right);
    const std::string label = MinutesSecondsText(latitude);
    place(label, 3, 2, inner.xmin - clear, left, gap - outerHalf - 2 * clear);
    place(label, 1, 2, inner.xmax + clear, right, gap - outerHalf - 2 * clear);
  }
  for (double longitude : GraticuleValues(lowerLeft.longitude, upperRight.longitude, s.LonStep)) {
    const double bottom = ToPlane(lowerLeft.latitude, longitude).easting;
    const double top = ToPlane(upperRight.latitude, longitude).easting;
    AddLine(1, bottom, inner.ymin, top, inner.ymax);
    const std::string label = MinutesSecondsText(longitude);
    place(label, 2, 3, top, inner.ymax + clear, inner.width());
    place(label, 2, 1, bottom, inner.ymin - clear, inner.width());
  }
}

}  // namespace framora
