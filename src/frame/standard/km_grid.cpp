#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "frame/standard/standard_map.h"
#include "geodesy/angle_text.h"

namespace framora {

namespace {

// Labels of the outermost lines keep this far (0.1 mm of paper) from the inner corners,
// where the corner coordinates stand.
constexpr double kCornerClearance = 100;
// Space between a label and its own line, in heights of the small font.
constexpr double kLabelGapEm = 0.2;

std::string WholeText(double value) { return std::to_string(static_cast<long long>(std::floor(value))); }

std::string LastTwo(const std::string& text) { return text.size() <= 2 ? text : text.substr(text.size() - 2); }

// Lines at the multiples of the interval strictly above low and up to high.
struct GridRange {
  double first = 0;
  long long steps = -1;  // lines are first + k·interval for k = 0..steps
};

GridRange MultiplesBetween(double low, double high, double interval) {
  GridRange range;
  range.first = std::floor((interval + low) / interval) * interval;
  range.steps = static_cast<long long>(std::trunc(std::floor(high / interval) - range.first / interval));
  return range;
}

// Draws one kilometre grid; the sheet's corners are in plane coordinates by now.
class KmGridPainter {
 public:
  KmGridPainter(TstandardMap& map, bool fullLines)
      : map_(map),
        s_(map.settings()),
        in_(map.innerCorners()),
        out_(map.outerCorners()),
        fullLines_(fullLines),
        interval_(s_.GridInterval),
        gap_(map.frameGap()),
        sf_(s_.ScaleFactor),
        small_(map.FontHeightOnGround(s_.GridSmallFont)),
        big_(map.FontHeightOnGround(s_.GridBigFont)),
        corner_(map.FontHeightOnGround(s_.CornerFont)),
        labelGap_(kLabelGapEm * small_) {}

  void drawVerticalLines();
  void drawHorizontalLines();

  enum Edge { kLeftEdge, kTopEdge, kRightEdge, kBottomEdge };
  // Where the grid line x = c (vertical) or y = c crosses an edge of the inner or outer frame.
  // On a geographic sheet the edge is a parallel or a meridian rather than the chord between
  // its corners, which lies a fraction of a millimetre off it.
  std::optional<SheetPoint> crossing(double c, bool vertical, bool outer, Edge edge) const;

 private:
  // How far inside the outer frame a label's outer edge stands.
  double labelDistance(bool horizontalLine) const {
    switch (s_.GridLabelPlace) {
      case 1:
        return (s_.InnerToOuterGap + (horizontalLine ? 10 : -10)) * sf_ - small_;
      // Counted from the outer line's inner edge, so that no label touches the line.
      case 2:
        return s_.GridLabelOffset * sf_ + map_.OuterLineInset();
      default:
        return 5 * sf_ + map_.OuterLineInset();
    }
  }
  double widthOf(const std::string& text, const LogicalFont& font) const { return map_.TextWidthOnGround(text, font); }
  bool thousands() const { return interval_ >= 1000; }
  // Full labels carry the hundreds of kilometres at the outermost lines, and where the
  // hundreds change ("00") when the settings ask for it.
  bool carriesHundreds(double metres, bool outermost) const {
    return outermost || (s_.BigNumberAtHundredKm && LastTwo(WholeText(metres / 1000)) == "00");
  }
  // A line's end through the band stops at the inner frame when it would run through a
  // corner label; true when it does.
  bool stopsShortOfCorner(double x1, double y1, double x2, double y2) const {
    return map_.CrossesCornerLabel(x1, y1, x2, y2, kLabelGapEm * corner_);
  }

  // Writes the label of a vertical line at one end (top or bottom of the sheet).
  void labelVerticalEnd(double x, double yEnd, bool top, bool first, bool last);
  // The anchor moved past its own line and clear of the corner labels, for a label from y
  // hanging (top) or standing; left and right are the label's edges from the anchor.
  double clearAnchor(double anchor, double line, double left, double right, double y, bool top) const {
    const double height = std::max(small_, big_);
    // Clearing a corner label may move a label back onto its line, and the other way round.
    for (int pass = 0; pass < 3; ++pass) {
      anchor = TtkBaseClass::ClearOfOwnLine(anchor, line, left, right, labelGap_);
      anchor = map_.ClearOfCornerLabels(anchor, left, right, top ? y - height : y, top ? y : y + height, labelGap_);
    }
    return anchor;
  }
  // Writes the label of a horizontal line at one end: big part (may be empty) then the digits.
  void labelHorizontalEnd(const std::string& bigPart, const std::string& digits, double anchorX, double anchorY,
                          bool leftSide);

  TstandardMap& map_;
  const FrameSettings& s_;
  const std::array<SheetPoint, 4>& in_;
  const std::array<SheetPoint, 4>& out_;
  bool fullLines_;
  double interval_, gap_, sf_, small_, big_, corner_, labelGap_;
};

std::optional<SheetPoint> KmGridPainter::crossing(double c, bool vertical, bool outer, Edge edge) const {
  const std::array<SheetPoint, 4>& corners = outer ? out_ : in_;
  static constexpr int kFrom[4] = {kLowerLeft, kUpperLeft, kUpperRight, kLowerRight};
  static constexpr int kTo[4] = {kUpperLeft, kUpperRight, kLowerRight, kLowerLeft};
  const SheetPoint p1 = vertical ? SheetPoint{c, 0} : SheetPoint{0, c};
  const SheetPoint p2 = vertical ? SheetPoint{c, 1} : SheetPoint{1, c};
  std::optional<SheetPoint> point = TstandardMap::IntersectSegmentLines(p1, p2, corners[kFrom[edge]], corners[kTo[edge]]);
  if (!point || !s_.GeographicInput) return point;

  const double west = map_.geoOrigin().x - (outer ? map_.gapLon() : 0);
  const double east = map_.geoOrigin().x + map_.geoWidth() + (outer ? map_.gapLon() : 0);
  const double south = map_.geoOrigin().y - (outer ? map_.gapLat() : 0);
  const double north = map_.geoOrigin().y + map_.geoHeight() + (outer ? map_.gapLat() : 0);
  const bool parallel = edge == kTopEdge || edge == kBottomEdge;
  const double target = edge == kLeftEdge ? west : edge == kRightEdge ? east : edge == kTopEdge ? north : south;
  // The free coordinate along the grid line, moved until the point lies on the edge.
  double t = vertical ? point->y : point->x;
  const auto offEdge = [&](double along) {
    const GeoPoint g = vertical ? map_.ToGeographic(along, c) : map_.ToGeographic(c, along);
    return (parallel ? g.latitude : g.longitude) - target;
  };
  for (int i = 0; i < 4; ++i) {
    const double f = offEdge(t);
    const double slope = offEdge(t + 1) - f;
    if (!(std::fabs(slope) > 0)) break;
    const double next = t - f / slope;
    if (!std::isfinite(next) || std::fabs(next - t) > interval_) break;
    t = next;
  }
  return vertical ? SheetPoint{c, t} : SheetPoint{t, c};
}

void KmGridPainter::drawVerticalLines() {
  const Envelope box = map_.InnerFrameBox();
  const GridRange range = MultiplesBetween(box.xmin, box.xmax, interval_);
  if (range.steps < 0) return;
  const SheetPoint& lowerLeft = in_[kLowerLeft];
  const SheetPoint& lowerRight = in_[kLowerRight];
  const SheetPoint& upperLeft = in_[kUpperLeft];
  const SheetPoint& upperRight = in_[kUpperRight];

  // An end labels the lines strictly between its two inner corners.
  const auto labelledAt = [&](double x, bool top) {
    const double low = top ? upperLeft.x : lowerLeft.x;
    const double high = top ? upperRight.x : lowerRight.x;
    return x > low && x < high;
  };
  long long firstLabelled[2] = {-1, -1}, lastLabelled[2] = {-1, -1};
  for (long long k = 0; k <= range.steps; ++k) {
    const double x = range.first + k * interval_;
    for (int end = 0; end < 2; ++end) {
      if (!labelledAt(x, end == 1)) continue;
      if (firstLabelled[end] < 0) firstLabelled[end] = k;
      lastLabelled[end] = k;
    }
  }

  for (long long k = 0; k <= range.steps; ++k) {
    const double x = range.first + k * interval_;
    const auto bottom = crossing(x, true, true, kBottomEdge);
    const auto top = crossing(x, true, true, kTopEdge);
    if (!bottom || !top) continue;
    double yb = bottom->y, yt = top->y;
    const double outerBottom = yb, outerTop = yt;  // labels keep to the band, cut or not
    bool bottomCut = false, topCut = false;
    // As horizontal lines are cut at the bottom and top edges, a line passing beside the
    // narrower end of a trapezoid leaves the map through the inner side edge there.
    const auto cutAt = [&](Edge edge, bool cutTop) {
      const auto cut = crossing(x, true, false, edge);
      if (!cut) return;
      (cutTop ? yt : yb) = cut->y;
      (cutTop ? topCut : bottomCut) = true;
    };
    if (x > std::min(lowerLeft.x, upperLeft.x) && x < std::max(lowerLeft.x, upperLeft.x))
      cutAt(kLeftEdge, upperLeft.x > lowerLeft.x);
    else if (x > std::min(lowerRight.x, upperRight.x) && x < std::max(lowerRight.x, upperRight.x))
      cutAt(kRightEdge, upperRight.x < lowerRight.x);
    if (!bottomCut && stopsShortOfCorner(x, yb, x, yb + gap_)) cutAt(kBottomEdge, false);
    if (!topCut && stopsShortOfCorner(x, yt - gap_, x, yt)) cutAt(kTopEdge, true);

    if (fullLines_) {
      map_.AddLine(1, x, yb, x, yt);
    } else {
      if (!bottomCut) map_.AddLine(1, x, yb, x, yb + gap_);
      if (!topCut) map_.AddLine(1, x, yt - gap_, x, yt);
    }
    if (!s_.ShowKmText) continue;
    if (labelledAt(x, true)) labelVerticalEnd(x, outerTop, true, k == firstLabelled[1], k == lastLabelled[1]);
    if (labelledAt(x, false)) labelVerticalEnd(x, outerBottom, false, k == firstLabelled[0], k == lastLabelled[0]);
  }
}

void KmGridPainter::labelVerticalEnd(double x, double yEnd, bool top, bool first, bool last) {
  const double c = labelDistance(false);
  const double clearance = kCornerClearance * sf_;
  // The outermost labels move in from the corners where needed.
  const SheetPoint& leftCorner = in_[top ? kUpperLeft : kLowerLeft];
  const SheetPoint& rightCorner = in_[top ? kUpperRight : kLowerRight];
  double a = x;
  if (first) a = std::max(a, leftCorner.x + clearance);
  if (last) a = std::min(a, rightCorner.x - clearance);
  // Top labels hang from c below the outer frame, bottom labels stand c above it: c below
  // or above the edge wherever the label reaches, the edges of a trapezoid being aslant.
  const auto labelY = [&](double left, double right) {
    const auto at = [&](double xx) {
      const auto edge = crossing(xx, true, true, top ? kTopEdge : kBottomEdge);
      return edge ? edge->y : yEnd;
    };
    return top ? std::min(at(a + left), at(a + right)) - c : std::max(at(a + left), at(a + right)) + c;
  };
  const double digitsOffset = s_.GridLabelOffsetMm * sf_ + labelGap_;

  if (!thousands()) {
    // The whole value stands beside its line, where the two digits of a full label stand.
    const std::string text = MetresToKmText(s_.GridDigitsBefore, s_.GridDigitsAfter, x);
    const double right = digitsOffset + widthOf(text, s_.GridSmallFont);
    a = clearAnchor(a, x, digitsOffset, right, top ? yEnd - c : yEnd + c, top);
    // Moved off the corner onto the next line, it would name that line: it is left out.
    if (a + right + labelGap_ > x + interval_ || a + digitsOffset - labelGap_ < x - interval_ + right) return;
    map_.AddText(text, s_.GridSmallFont, 1, top ? 1 : 3, a + digitsOffset, labelY(digitsOffset, right));
    return;
  }
  const std::string digits = LastTwo(WholeText(x / 1000));
  const std::string hundreds = carriesHundreds(x, first || last) ? map_.zonePrefix() + WholeText(x / 100000) : "";
  const double left = hundreds.empty() ? digitsOffset : -labelGap_ - widthOf(hundreds, s_.GridBigFont);
  const double right = digitsOffset + widthOf(digits, s_.GridSmallFont);
  a = clearAnchor(a, x, left, right, top ? yEnd - c : yEnd + c, top);
  const double y = labelY(left, right);
  if (!hundreds.empty()) map_.AddText(hundreds, s_.GridBigFont, 3, top ? 1 : 3, a - labelGap_, y);
  map_.AddText(digits, s_.GridSmallFont, 1, top ? 1 : 3, a + digitsOffset, y);
}

void KmGridPainter::drawHorizontalLines() {
  const Envelope box = map_.InnerFrameBox();
  const GridRange range = MultiplesBetween(box.ymin, box.ymax, interval_);
  if (range.steps < 0) return;

  // A side labels the lines strictly between its two inner corners.
  const auto labelledOn = [&](double y, bool leftSide) {
    const double low = leftSide ? in_[kLowerLeft].y : in_[kLowerRight].y;
    const double high = leftSide ? in_[kUpperLeft].y : in_[kUpperRight].y;
    return y > low && y < high;
  };
  long long firstLabelled[2] = {-1, -1}, lastLabelled[2] = {-1, -1};
  for (long long j = 0; j <= range.steps; ++j) {
    const double y = range.first + j * interval_;
    for (int side = 0; side < 2; ++side) {
      if (!labelledOn(y, side == 0)) continue;
      if (firstLabelled[side] < 0) firstLabelled[side] = j;
      lastLabelled[side] = j;
    }
  }

  const SheetPoint& lowerLeft = in_[kLowerLeft];
  const SheetPoint& lowerRight = in_[kLowerRight];
  const SheetPoint& upperLeft = in_[kUpperLeft];
  const SheetPoint& upperRight = in_[kUpperRight];
  const double c = labelDistance(true);
  for (long long j = 0; j <= range.steps; ++j) {
    const double y = range.first + j * interval_;
    const auto leftEnd = crossing(y, false, true, kLeftEdge);
    const auto rightEnd = crossing(y, false, true, kRightEdge);
    if (!leftEnd || !rightEnd) continue;
    double xl = leftEnd->x, xr = rightEnd->x;
    bool leftCut = false, rightCut = false;
    // The frame of a projected sheet is a trapezoid: a line passing below the higher lower
    // corner (or above the lower upper corner) leaves the map through the inner edge there.
    const auto cutAt = [&](Edge edge, bool cutRight) {
      const auto cut = crossing(y, false, false, edge);
      if (!cut) return;
      (cutRight ? xr : xl) = cut->x;
      (cutRight ? rightCut : leftCut) = true;
    };
    if (y > std::min(lowerLeft.y, lowerRight.y) && y < std::max(lowerLeft.y, lowerRight.y))
      cutAt(kBottomEdge, lowerRight.y > lowerLeft.y);
    else if (y > std::min(upperLeft.y, upperRight.y) && y < std::max(upperLeft.y, upperRight.y))
      cutAt(kTopEdge, upperRight.y < upperLeft.y);
    if (!leftCut && stopsShortOfCorner(xl, y, xl + gap_, y)) cutAt(kLeftEdge, false);
    if (!rightCut && stopsShortOfCorner(xr - gap_, y, xr, y)) cutAt(kRightEdge, true);

    if (fullLines_) {
      map_.AddLine(1, xl, y, xr, y);
    } else {
      // A tick at a cut end would stand inside the map.
      if (!leftCut) map_.AddLine(1, xl, y, xl + gap_, y);
      if (!rightCut) map_.AddLine(1, xr - gap_, y, xr, y);
    }
    if (!s_.ShowKmText) continue;

    for (int side = 0; side < 2; ++side) {
      const bool leftSide = side == 0;
      if (!labelledOn(y, leftSide)) continue;
      const bool first = j == firstLabelled[side];
      const bool last = j == lastLabelled[side];
      // Labels stand just above their line; the outermost keep clear of the corner
      // coordinates, which take a font height either side of the corner.
      const bool withHundreds = thousands() && carriesHundreds(y, first || last);
      const double labelHeight = withHundreds ? std::max(small_, big_) : small_;
      const double clearance = corner_ + labelGap_;
      double anchorY = y + labelGap_;
      if (first) anchorY = std::max(anchorY, (leftSide ? lowerLeft.y : lowerRight.y) + clearance);
      if (last) anchorY = std::min(anchorY, (leftSide ? upperLeft.y : upperRight.y) - clearance - labelHeight);
      // Pushed down onto its own line, the whole label goes below the line.
      if (anchorY < y + labelGap_ && anchorY + labelHeight > y - labelGap_) anchorY = y - labelGap_ - labelHeight;
      const double anchorX = leftSide ? (leftEnd->x + c) : (rightEnd->x - c);
      if (!thousands()) {
        labelHorizontalEnd("", MetresToKmText(s_.GridDigitsBefore, s_.GridDigitsAfter, y), anchorX, anchorY, leftSide);
      } else {
        const std::string bigPart = withHundreds ? WholeText(y / 100000) : "";
        labelHorizontalEnd(bigPart, LastTwo(WholeText(y / 1000)), anchorX, anchorY, leftSide);
      }
    }
  }
}

void KmGridPainter::labelHorizontalEnd(const std::string& bigPart, const std::string& digits, double anchorX,
                                       double anchorY, bool leftSide) {
  // By the inner frame the label ends at the anchor on the left side and starts there on
  // the right; by the outer frame (or at a custom distance) the other way round.
  const bool endsAtAnchor = (s_.GridLabelPlace == 1) == leftSide;
  if (endsAtAnchor) {
    map_.AddText(digits, s_.GridSmallFont, 3, 3, anchorX, anchorY);
    if (!bigPart.empty())
      map_.AddText(bigPart, s_.GridBigFont, 3, 3, anchorX - widthOf(digits, s_.GridSmallFont), anchorY);
  } else {
    if (!bigPart.empty()) map_.AddText(bigPart, s_.GridBigFont, 1, 3, anchorX, anchorY);
    map_.AddText(digits, s_.GridSmallFont, 1, 3, anchorX + widthOf(bigPart, s_.GridBigFont), anchorY);
  }
}

}  // namespace

void TstandardMap::DrawKmGrid(bool fullLines) {
  if (!StepUsable(settings_.GridInterval, "公里网间隔必须大于0，未画公里网")) return;
  KmGridPainter painter(*this, fullLines);
  painter.drawVerticalLines();
  painter.drawHorizontalLines();
}

}  // namespace framora
