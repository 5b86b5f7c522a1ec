#include <algorithm>
#include <cmath>

#include "frame/polygon/polygon_frame.h"
#include "geodesy/angle_text.h"

namespace framora {

namespace {

std::string WholeText(double value) { return std::to_string(static_cast<long long>(std::trunc(value))); }

// The small digits of a grid label: the last two of the whole kilometres.
std::string KilometreDigits(double metres) {
  const std::string km = WholeText(metres / 1000);
  return km.size() <= 2 ? km : km.substr(km.size() - 2);
}

std::string HundredKilometreText(double metres) { return WholeText(metres / 100000); }

// Space between a label and the corner labels or its own line, in heights of the small font.
constexpr double kLabelGapEm = 0.2;

}  // namespace

void Tcreatetk::DrawKmGrid(int mode, const Envelope& outer) {
  const FrameSettings& s = settings_;
  if (!StepUsable(s.GridInterval, "公里网间隔必须大于0，未画公里网")) return;
  const double interval = s.GridInterval;
  const double gap = frameGap();
  const double sf = s.ScaleFactor;
  const LogicalFont& big = s.GridBigFont;
  const LogicalFont& small = s.GridSmallFont;
  const double hB = FontHeightOnGround(big);
  const double hS = FontHeightOnGround(small);
  // Two digits on the page's metric model.
  const double wB = TextWidthOnGround("00", big);
  const double wS = TextWidthOnGround("00", small);
  const bool fullLines = mode == 1;
  // Below a kilometre the labels carry the whole value in one text.
  const bool fineGrid = interval < 1000;

  // Lines of constant easting, labelled above and below.
  const double e = s.GridLabelPlace == 1   ? (s.InnerToOuterGap - 10) * sf - hS
                   : s.GridLabelPlace == 2 ? s.GridLabelOffset * sf
                                           : 5 * sf;
  double off = s.GridLabelOffsetMm * sf;
  const GridNodes columns = NodesBetween(outer.xmin + gap, outer.xmax - gap, interval, s.HorLabelMode == 1);
  const double innerBottom = outer.ymin + gap, innerTop = outer.ymax - gap;
  const double innerLeft = outer.xmin + gap, innerRight = outer.xmax - gap;
  const double labelGap = kLabelGapEm * hS;
  // A line's end through the band stops at the inner frame where it would run through a
  // corner label.
  const auto stopsShort = [&](double x1, double y1, double x2, double y2) {
    return CrossesCornerLabel(x1, y1, x2, y2, kLabelGapEm * FontHeightOnGround(s.CornerFont));
  };
  for (long long i = 0; i <= columns.steps; ++i) {
    const double x = columns.first + i * interval;
    const bool bottomStops = stopsShort(x, outer.ymin, x, innerBottom);
    const bool topStops = stopsShort(x, innerTop, x, outer.ymax);
    if (fullLines) {
      AddLine(1, x, bottomStops ? innerBottom : outer.ymin, x, topStops ? innerTop : outer.ymax);
    } else {
      if (!bottomStops) AddLine(1, x, outer.ymin, x, outer.ymin + gap);
      if (!topStops) AddLine(1, x, outer.ymax, x, outer.ymax - gap);
    }
    if (!s.ShowKmText) continue;
    // Top labels hang from outer.ymax - e; bottom ones stand up to outer.ymin + e + hS.
    const double topLabelLow = outer.ymax - e - std::max(hS, hB), topLabelHigh = outer.ymax - e;
    const double bottomLabelLow = outer.ymin + e + hS - std::max(hS, hB), bottomLabelHigh = outer.ymin + e + hS;
    const auto clearAnchor = [&](double anchor, double left, double right) {
      // Clearing a corner label may move a label back onto its line, and the other way round.
      for (int pass = 0; pass < 3; ++pass) {
        anchor = ClearOfOwnLine(anchor, x, left, right, labelGap);
        anchor = ClearOfCornerLabels(anchor, left, right, topLabelLow, topLabelHigh, labelGap);
        anchor = ClearOfCornerLabels(anchor, left, right, bottomLabelLow, bottomLabelHigh, labelGap);
      }
      return anchor;
    };
    if (fineGrid) {
      // The whole value beside its line, where the digits of a full label stand.
      const std::string km = MetresToKmText(s.GridDigitsBefore, s.GridDigitsAfter, x);
      const double a = clearAnchor(x, off + labelGap, off + labelGap + TextWidthOnGround(km, small));
      AddText(km, small, 1, 1, a + off + labelGap, outer.ymax - e);
      // Mirrors the top label (B' + e + hS): B' - e + hS would put it on the outer line.
      AddText(km, small, 1, 1, a + off + labelGap, outer.ymin + e + hS);
      continue;
    }
    // The end labels keep clear of the frame's corners.
    double a = x;
    if (i == 0) a = std::max(x, outer.xmin + 8 * wB);
    if (i == columns.steps) a = std::min(a, outer.xmax - 8 * wB);
    const std::string digits = KilometreDigits(x);
    const bool withHundreds = i == 0 || i == columns.steps || (s.BigNumberAtHundredKm && digits == "00");
    a = clearAnchor(a, withHundreds ? -TextWidthOnGround(zonePrefix() + HundredKilometreText(x), big) : off,
                    off + TextWidthOnGround(digits, small));
    if (withHundreds) {
      const std::string hundreds = zonePrefix() + HundredKilometreText(x);
      AddText(hundreds, big, 3, 1, a, outer.ymax - e);
      AddText(hundreds, big, 3, 3, a, outer.ymin + e + hS - hB);
    }
    AddText(digits, small, 1, 1, a + off, outer.ymax - e);
    AddText(digits, small, 1, 1, a + off, outer.ymin + e + hS);
  }

  // Lines of constant northing, labelled left and right.
  off = s.GridLabelPlace == 1 ? s.InnerToOuterGap * sf : s.GridLabelPlace == 2 ? s.GridLabelOffset * sf : 5 * sf;
  const GridNodes rows = NodesBetween(outer.ymin + gap, outer.ymax - gap, interval, s.VerLabelMode == 1);
  for (long long j = 0; j <= rows.steps; ++j) {
    const double y = rows.first + j * interval;
    const bool leftStops = stopsShort(outer.xmin, y, innerLeft, y);
    const bool rightStops = stopsShort(innerRight, y, outer.xmax, y);
    if (fullLines) {
      AddLine(1, leftStops ? innerLeft : outer.xmin, y, rightStops ? innerRight : outer.xmax, y);
    } else {
      if (!leftStops) AddLine(1, outer.xmin, y, outer.xmin + gap, y);
      if (!rightStops) AddLine(1, outer.xmax - gap, y, outer.xmax, y);
    }
    if (!s.ShowKmText) continue;
    if (fineGrid) {
      // On its line by the inner frame, or clear of the corner labels as below.
      double bottom = y;
      if (s.CornerLatLonOn) {
        const double clearance = FontHeightOnGround(s.CornerFont) + labelGap;
        if (j == 0) bottom = std::max(bottom, innerBottom + clearance);
        if (j == rows.steps) bottom = std::min(bottom, innerTop - clearance - hS);
        if (bottom < y && bottom + hS > y - labelGap) bottom = y - labelGap - hS;
      }
      const std::string km = MetresToKmText(s.GridDigitsBefore, s.GridDigitsAfter, y);
      AddText(km, small, 3, 3, outer.xmin + gap, bottom);
      AddText(km, small, 1, 3, outer.xmax - gap, bottom);
      continue;
    }
    // The label's top stands at b + hS; the hundreds, when there, reach down to b + hS - hB.
    const double labelHeight = std::max(hS, hB);
    double b = y;
    if (s.CornerLatLonOn) {
      // The outermost labels keep clear of the corner labels, a corner font height either
      // side of the inner corners; one pushed down onto its own line goes below the line.
      const double clearance = FontHeightOnGround(s.CornerFont) + kLabelGapEm * hS;
      if (j == 0) b = std::max(b, outer.ymin + gap + clearance + labelHeight - hS);
      if (j == rows.steps) b = std::min(b, outer.ymax - gap - clearance - hS);
      if (b < y && b + hS > y - kLabelGapEm * hS && b + hS - labelHeight < y + kLabelGapEm * hS)
        b = y - kLabelGapEm * hS - hS;
    } else {
      if (j == 0) b = std::max(y, outer.ymin + hB);
      if (j == rows.steps) b = std::min(b, outer.ymax - hB);
    }
    const std::string hundreds = HundredKilometreText(y);
    const std::string digits = KilometreDigits(y);
    const bool endLine = j == 0 || j == rows.steps || (s.BigNumberAtHundredKm && digits == "00");
    const double top = b + hS;
    if (s.GridLabelPlace == 1) {
      if (endLine) {
        AddText(hundreds, big, 3, 1, outer.xmin + off - wS, top);
        AddText(hundreds, small, 1, 1, outer.xmax - off, top);
        AddText(digits, small, 3, 1, outer.xmin + off, top);
        AddText(digits, small, 1, 1, outer.xmax - off + wB, top);
      } else {
        AddText(digits, small, 3, 1, outer.xmin + off, top);
        AddText(digits, small, 1, 1, outer.xmax - off, top);
      }
    } else if (endLine) {
      AddText(hundreds, big, 1, 1, outer.xmin + off, top);
      // The right side mirrors the left, off the outer frame by the same distance.
      AddText(hundreds, big, 3, 1, outer.xmax - off - wS, top);
      AddText(digits, small, 1, 1, outer.xmin + off + wB, top);
      AddText(digits, small, 3, 1, outer.xmax - off, top);
    } else {
      AddText(digits, small, 1, 3, outer.xmin + off, b + 5);  // five metres at every scale
      AddText(digits, small, 3, 1, outer.xmax - off, top);
    }
  }
}

}  // namespace framora
