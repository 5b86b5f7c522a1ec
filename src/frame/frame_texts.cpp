#include <cmath>
#include <string>

#include "frame/frame_builder.h"
#include "geodesy/angle_text.h"
#include "gis/feature_class.h"
#include "util/date_text.h"
#include "util/framora_error.h"
#include "util/gbk.h"
#include "util/text.h"
#include "util/vertical_text.h"

namespace framora {

namespace {

// Character spacing in per cent of the em.
constexpr double kSpreadTitleSpacing = 30;
constexpr double kCornerLabelSpacing = -30;
// Space between an XY corner value and the line beside it, in em.
constexpr double kCornerLineClearanceEm = 0.2;

// The field name between the first "[" and the first "]", when "[" comes first.
bool FieldPlaceholder(const std::string& text, std::string& name) {
  const auto open = text.find('[');
  const auto close = text.find(']');
  if (open == std::string::npos || close == std::string::npos || open > close) return false;
  name = text.substr(open + 1, close - open - 1);
  return true;
}

bool IsSingleByteText(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

std::string SpacedCharacters(const std::u32string& characters, const std::string& gap) {
  std::string out;
  for (size_t i = 0; i < characters.size(); ++i) {
    if (i > 0) out += gap;
    out += FromUtf32(characters.substr(i, 1));
  }
  return out;
}

}  // namespace

std::string TtkBaseClass::ExpandFieldText(const std::string& text) {
  std::string name;
  if (!sourceFeature_ || !FieldPlaceholder(text, name)) return text;
  const std::string value = Trim(SourceFieldValue(name).value_or(""));
  std::string result = ReplaceFirst(text, "[" + name + "]", value);
  const auto blank = result.find(' ');
  if (blank != std::string::npos) result.erase(blank, 1);
  // A sheet number is shown as "E45 G 095066"; only plain letters and digits are cut so.
  if (result.size() == 10 && IsSingleByteText(result))
    result = result.substr(0, 3) + " " + result.substr(3, 1) + " " + result.substr(4);
  return result;
}

TtkBaseClass::TitleText TtkBaseClass::ExpandTitleText(const std::string& text) {
  std::string name;
  if (!sourceFeature_ || !FieldPlaceholder(text, name)) return {text, 0};
  const std::string value = Trim(SourceFieldValue(name).value_or(""));
  const std::string result = ReplaceFirst(text, "[" + name + "]", value);
  const std::u32string characters = ToUtf32(result);
  // Short names are spread with blanks, longer ones with character spacing.
  if (characters.size() == 3) return {SpacedCharacters(characters, "  "), 0};
  if (characters.size() == 2) return {SpacedCharacters(characters, "    "), 0};
  return {result, characters.size() >= 4 ? kSpreadTitleSpacing : 0};
}

std::string TtkBaseClass::ExpandScaleText(const std::string& text) const {
  const auto position = ToLowerAscii(text).find("[scale]");
  if (position == std::string::npos) return text;
  std::string result = text;
  const long long denominator = static_cast<long long>(std::trunc(settings_.ScaleFactor * 10000));
  result.replace(position, 7, std::to_string(denominator));
  return result;
}

double TtkBaseClass::NorthOffsetDegrees(double metres, double latitude, double longitude) const {
  const PlanePoint plane = ToPlane(latitude, longitude);
  const GeoPoint moved = ToGeographic(plane.northing + metres, plane.easting);
  return std::fabs(moved.latitude - latitude);
}

double TtkBaseClass::EastOffsetDegrees(double metres, double latitude, double longitude) const {
  const PlanePoint plane = ToPlane(latitude, longitude);
  const GeoPoint moved = ToGeographic(plane.northing, plane.easting + metres);
  return moved.longitude - longitude;
}

std::string TtkBaseClass::FillDates(const std::string& text) const {
  return ReplaceDatePlaceholders(text, textDate_.year, textDate_.month, textDate_.day);
}

// ---- projected family -----------------------------------------------------------------

void TtkBaseClass::WriteTitles(double top, double left, double right) {
  const FrameSettings& s = settings_;
  const double x = (left + right) / 2;
  if (!s.MainTitle.empty()) {
    const TitleText title = ExpandTitleText(s.MainTitle);
    AddText(title.text, s.MainTitleFont, 2, 3, x, top + s.MainTitleTop * s.ScaleFactor, title.characterSpacing);
  }
  if (!s.SubTitle1.empty())
    AddText(ExpandFieldText(s.SubTitle1), s.SubTitle1Font, 2, 3, x, top + s.SubTitle1Top * s.ScaleFactor);
  if (!s.SubTitle2.empty())
    AddText(ExpandFieldText(s.SubTitle2), s.SubTitle2Font, 2, 3, x, top + s.SubTitle2Top * s.ScaleFactor);
}

void TtkBaseClass::WriteScaleText(double bottom, double right, double left) {
  const FrameSettings& s = settings_;
  if (s.ScaleText.empty()) return;
  AddText(ExpandScaleText(s.ScaleText), s.ScaleTextFont, 2, 1, (left + right) / 2,
          bottom - s.ScaleTextBottom * s.ScaleFactor);
}

void TtkBaseClass::WriteUpperRight(double top, double right) {
  const FrameSettings& s = settings_;
  if (s.UpperRightText.empty()) return;
  // 20 m on the ground at every scale keeps the text off the inner frame's corner.
  AddText(s.UpperRightText, s.UpperRightFont, 3, 3, right - frameGap_ - 20, top + s.UpperRightTop * s.ScaleFactor);
  AddText(s.SideTitle, s.SideTitleFont, 3, 3, right - frameGap_ - 20 - s.SideTitleRight * s.ScaleFactor,
          top + s.SideTitleTop * s.ScaleFactor);
}

void TtkBaseClass::WriteLowerRight(double bottom, double right) {
  const FrameSettings& s = settings_;
  if (s.LowerRightText.empty()) return;
  const double drop = s.LowerRightBottom * s.ScaleFactor;
  const std::string& tail = s.LowerRightCentredTail;
  if (tail.empty()) {
    AddText(FillDates(s.LowerRightText), s.LowerRightFont, 3, 1, right - frameGap_, bottom - drop);
    return;
  }
  // The block stands left of the tail by the tail's width, one em per two-byte character.
  const double width = DoubleFontHeightOnGround(s.LowerRightFont) * GbkLength(tail) / 4;
  const double lineHeight = FontHeightOnGround(s.LowerRightFont);
  const double shift = LineCount(s.LowerRightText) * lineHeight / 3;
  AddText(FillDates(tail), s.LowerRightFont, 3, 1, right - frameGap_, bottom - drop - shift);
  AddText(FillDates(s.LowerRightText), s.LowerRightFont, 3, 1, right - frameGap_ - width, bottom - drop);
}

void TtkBaseClass::WriteLowerLeft(double bottom, double left) {
  const FrameSettings& s = settings_;
  if (!s.LowerLeftText.empty())
    AddText(FillDates(ExpandFieldText(s.LowerLeftText)), s.LowerLeftFont, 1, 1, left + frameGap_,
            bottom - s.LowerLeftBottom * s.ScaleFactor);
  if (!s.LeftText.empty())
    AddText(SplitToLines(s.LeftText), s.LeftTextFont, 3, 3, left - s.LeftTextDist * s.ScaleFactor,
            bottom + frameGap_ - 25 * s.ScaleFactor);
}

// ---- geographic family ------------------------------------------------------------------

void TtkBaseClass::WriteTitlesGeographic(double topLat, double leftLon, double rightLon, double referenceLat,
                                         double referenceLon) {
  const FrameSettings& s = settings_;
  const double lon = (leftLon + rightLon) / 2;
  const struct {
    const std::string& text;
    const LogicalFont& font;
    double top;
  } titles[] = {{s.MainTitle, s.MainTitleFont, s.MainTitleTop},
                {s.SubTitle1, s.SubTitle1Font, s.SubTitle1Top},
                {s.SubTitle2, s.SubTitle2Font, s.SubTitle2Top}};
  for (const auto& title : titles) {
    if (title.text.empty()) continue;
    const double offset = NorthOffsetDegrees(title.top * s.ScaleFactor, referenceLat, referenceLon);
    AddTextGeographic(ExpandFieldText(title.text), title.font, 2, 3, lon, topLat + offset);
  }
}

void TtkBaseClass::WriteScaleTextGeographic(double bottomLat, double rightLon, double leftLon, double referenceLat,
                                            double referenceLon) {
  const FrameSettings& s = settings_;
  if (s.ScaleText.empty()) return;
  const double offset = NorthOffsetDegrees(s.ScaleTextBottom * s.ScaleFactor, referenceLat, referenceLon);
  AddTextGeographic(ExpandScaleText(s.ScaleText), s.ScaleTextFont, 2, 1, (leftLon + rightLon) / 2,
                    bottomLat - offset);
}

void TtkBaseClass::WriteUpperRightGeographic(double topLat, double rightLon, double referenceLat,
                                             double referenceLon) {
  const FrameSettings& s = settings_;
  if (s.UpperRightText.empty()) return;
  const double offset = NorthOffsetDegrees(s.UpperRightTop * s.ScaleFactor, referenceLat, referenceLon);
  AddTextGeographic(s.UpperRightText, s.UpperRightFont, 3, 3, rightLon, topLat + offset);
}

void TtkBaseClass::WriteLowerRightGeographic(double bottomLat, double rightLon, double referenceLat,
                                             double referenceLon) {
  const FrameSettings& s = settings_;
  if (s.LowerRightText.empty()) return;
  const double offset = NorthOffsetDegrees(s.LowerRightBottom * s.ScaleFactor, referenceLat, referenceLon);
  AddTextGeographic(FillDates(s.LowerRightText), s.LowerRightFont, 3, 1, rightLon, bottomLat - offset);
}

void TtkBaseClass::WriteLowerLeftGeographic(double bottomLat, double leftLon, double textLat, double referenceLat,
                                            double referenceLon) {
  const FrameSettings& s = settings_;
  if (!s.LowerLeftText.empty()) {
    const double offset = NorthOffsetDegrees(s.LowerLeftBottom * s.ScaleFactor, referenceLat, referenceLon);
    AddTextGeographic(FillDates(s.LowerLeftText), s.LowerLeftFont, 1, 1, referenceLon, bottomLat - offset);
  }
  if (!s.LeftText.empty()) {
    const double offset = NorthOffsetDegrees(s.LeftTextDist * s.ScaleFactor, referenceLat, referenceLon);
    AddTextGeographic(SplitToLines(s.LeftText), s.LeftTextFont, 3, 3, leftLon - offset, textLat);
  }
}

// ---- corner labels ----------------------------------------------------------------------

void TtkBaseClass::checkCornerBounds(double latitude, double longitude) const {
  if (!(latitude >= 1 && latitude <= 90 && longitude >= 20 && longitude <= 180)) throw FramoraError("参数设置错误");
}

void TtkBaseClass::WriteCornerLabel(int corner, double northing, double easting) {
  const FrameSettings& s = settings_;
  // Corner labels are set tight so that they stay within the band between the frames.
  const auto addTight = [this](const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x,
                               double y) { writeCornerText(text, font, hAlign, vAlign, x, y, kCornerLabelSpacing, false); };

  double lonValue = easting, latValue = northing;
  if (s.CornerLabelMode != 2) {
    const GeoPoint point = ToGeographic(northing, easting);
    checkCornerBounds(point.latitude, point.longitude);
    lonValue = point.longitude;
    latValue = point.latitude;
  }
  const LogicalFont& font = s.CornerFont;
  const double N = northing, E = easting;

  if (s.CornerLabelMode == 2) {
    const std::string eastText = MetresToKmText(s.CornerDigitsBefore, s.CornerDigitsAfter, lonValue);
    const std::string northText = MetresToKmText(s.CornerDigitsBefore, s.CornerDigitsAfter, latValue);
    // Each value stands beside its corner line, clear of it: the easting in the middle of
    // the top or bottom band on the map's side, the northing just above the line.
    const double clear = kCornerLineClearanceEm * FontHeightOnGround(font);
    const bool leftSide = corner <= 1;
    const double bandMiddle = corner == 0 || corner == 3 ? N - frameGap_ / 2 : N + frameGap_ / 2;
    addTight(eastText, font, leftSide ? 1 : 3, 2, leftSide ? E + clear : E - clear, bandMiddle);
    addTight(northText, font, leftSide ? 3 : 1, 3, leftSide ? E - clear : E + clear, N + clear);
    return;
  }

  const auto label = [&](double value) {
    return SplitAtDegreeSign(s.CornerLabelMode == 0 ? DegreesToDmsLabel(value) : DegreesToDmLabel(value));
  };
  const DegreeSplit lon = label(lonValue);
  const DegreeSplit lat = label(latValue);
  const double h = FontHeightOnGround(font);
  const double o1 = s.GridLabelOffset * s.ScaleFactor / 5;
  const double o2 = s.GridLabelOffsetMm * s.ScaleFactor;
  const double G = s.InnerToOuterGap * s.ScaleFactor;
  const bool centred = s.LatDegreeAlign == 1;
  const bool bottom = corner == 0 || corner == 3;
  const bool leftSide = corner == 0 || corner == 1;

  // Longitude: degrees right-aligned against minutes, below the bottom corners, above the top ones.
  const double lonY = bottom ? N - o1 - h : N + o1 + h;
  const int lonV = bottom ? 1 : 3;
  addTight(lon.Degrees, font, 3, lonV, E, lonY);
  addTight(lon.Rest, font, 1, lonV, E + o2, lonY);

  // Latitude: centred in the band between the frames, or held against the inner frame.
  if (centred) {
    const double x = leftSide ? E - G / 2 : E + G / 2;
    addTight(lat.Degrees, font, 2, 3, x, N);
    addTight(lat.Rest, font, 2, 1, x, N);
    return;
  }
  switch (corner) {
    case 0:
      addTight(lat.Degrees, font, 3, 3, E, N);
      addTight(lat.Rest, font, 3, 1, E + o2, N);
      break;
    case 1:
      addTight(lat.Degrees, font, 3, 3, E + o2, N);
      addTight(lat.Rest, font, 3, 1, E + o2, N);
      break;
    case 2:
      addTight(lat.Degrees, font, 1, 3, E + o2, N);
      addTight(lat.Rest, font, 1, 1, E + o2, N);
      break;
    default:
      addTight(lat.Degrees, font, 1, 3, E, N);
      addTight(lat.Rest, font, 1, 1, E + o2, N);
      break;
  }
}

void TtkBaseClass::WriteCornerLabelGeographic(int corner, double latitude, double longitude) {
  const FrameSettings& s = settings_;
  checkCornerBounds(latitude, longitude);
  if (s.CornerLabelMode == 2) return;
  const double G = s.InnerToOuterGap * s.ScaleFactor;
  const double dLon = EastOffsetDegrees(G, latitude, longitude);
  const double dLat = NorthOffsetDegrees(G, latitude, longitude);
  const auto label = [&](double value) {
    return SplitAtDegreeSign(s.CornerLabelMode == 0 ? DegreesToDmsLabel(value) : DegreesToDmLabel(value));
  };
  const DegreeSplit lon = label(longitude);
  const DegreeSplit lat = label(latitude);
  const LogicalFont& font = s.CornerFont;
  const bool leftSide = corner == 0 || corner == 1;
  const double bandLon = leftSide ? longitude - dLon / 2 : longitude + dLon / 2;

  if (s.LatDegreeAlign == 1)
    writeCornerText(lat.Degrees, font, 2, 3, bandLon, latitude, kCornerLabelSpacing, true);
  else
    writeCornerText(lat.Degrees, font, leftSide ? 3 : 1, 3, longitude, latitude, kCornerLabelSpacing, true);
  writeCornerText(lat.Rest, font, 2, 1, bandLon, latitude, kCornerLabelSpacing, true);

  const bool top = corner == 1 || corner == 2;
  const double lonLat = top ? latitude + dLat / 2 : latitude - dLat / 2;
  writeCornerText(lon.Degrees, font, 3, 2, longitude, lonLat, kCornerLabelSpacing, true);
  writeCornerText(lon.Rest, font, 1, 2, longitude, lonLat, kCornerLabelSpacing, true);
}

}  // namespace framora
