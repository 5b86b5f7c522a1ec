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
  const double wB = hB / 2.1 * 2;
  const double wS = hS / 2.1 * 2;
  const bool fullLines = mode == 1;
  // Below a kilometre the labels carry the whole value in one text.
  const bool fineGrid = interval < 1000;

  // Lines of constant easting, labelled above and below.
  const double e = s.GridLabelPlace == 1   ? (s.InnerToOuterGap - 10) * sf - hS
                   : s.GridLabelPlace == 2 ? s.GridLabelOffset * sf
                                           : 5 * sf;
  double off = s.GridLabelOffsetMm * sf;
  const GridNodes columns = NodesBetween(outer.xmin + gap, outer.xmax - gap, interval, s.HorLabelMode == 1);
  for (long long i = 0; i <= columns.steps; ++i) {
    const double x = columns.first + i * interval;
    if (fullLines) {
      AddLine(1, x, outer.ymin, x, outer.ymax);
    } else {
      AddLine(1, x, outer.ymin, x, outer.ymin + gap);
      AddLine(1, x, outer.ymax, x, outer.ymax - gap);
    }
    if (!s.ShowKmText) continue;
    if (fineGrid) {
      const std::string km = MetresToKmText(s.GridDigitsBefore, s.GridDigitsAfter, x);
      AddText(km, small, 2, 1, x, outer.ymax - e);
      // Mirrors the top label (B' + e + hS): B' - e + hS would put it on the outer line.
      AddText(km, small, 2, 1, x, outer.ymin + e + hS);
      continue;
    }
    // The end labels keep clear of the frame's corners.
    double a = x;
    if (i == 0) a = std::max(x, outer.xmin + 8 * wB);
    if (i == columns.steps) a = std::min(a, outer.xmax - 8 * wB);
    if (i == 0 || i == columns.steps) {
      const std::string hundreds = zonePrefix() + HundredKilometreText(x);
      AddText(hundreds, big, 3, 1, a, outer.ymax - e);
      AddText(hundreds, big, 3, 3, a, outer.ymin + e + hS - hB);
    }
    const std::string digits = KilometreDigits(x);
    AddText(digits, small, 1, 1, a + off, outer.ymax - e);
    AddText(digits, small, 1, 1, a + off, outer.ymin + e + hS);
  }

  // Lines of constant northing, labelled left and right.
  off = s.GridLabelPlace == 1 ? s.InnerToOuterGap * sf : s.GridLabelPlace == 2 ? s.GridLabelOffset * sf : 5 * sf;
  const GridNodes rows = NodesBetween(outer.ymin + gap, outer.ymax - gap, interval, s.VerLabelMode == 1);
  for (long long j = 0; j <= rows.steps; ++j) {
    const double y = rows.first + j * interval;
    if (fullLines) {
      AddLine(1, outer.xmin, y, outer.xmax, y);
    } else {
      AddLine(1, outer.xmin, y, outer.xmin + gap, y);
      AddLine(1, outer.xmax - gap, y, outer.xmax, y);
    }
    if (!s.ShowKmText) continue;
    if (fineGrid) {
      const std::string km = MetresToKmText(s.GridDigitsBefore, s.GridDigitsAfter, y);
      AddText(km, small, 3, 3, outer.xmin + gap, y);
      AddText(km, small, 1, 3, outer.xmax - gap, y);
      continue;
    }
    double b = y;
    if (j == 0) b = std::max(y, outer.ymin + hB);
    if (j == rows.steps) b = std::min(b, outer.ymax - hB);
    const bool endLine = j == 0 || j == rows.steps;
    const double top = b + hS;
    const std::string hundreds = HundredKilometreText(y);
    const std::string digits = KilometreDigits(y);
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
      AddText(hundreds, big, 3, 1, outer.xmax - wS, top);
      AddText(digits, small, 1, 1, outer.xmin + off + wB, top);
      AddText(digits, small, 3, 1, outer.xmax, top);
    } else {
      AddText(digits, small, 1, 3, outer.xmin + off, b + 5);  // five metres at every scale
      AddText(digits, small, 3, 1, outer.xmax, top);
    }
  }
}

}  // namespace framora
