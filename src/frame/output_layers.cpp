#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "frame/frame_builder.h"
#include "geodesy/angle_text.h"
#include "geodesy/gauss_zone.h"
#include "gis/text_class.h"
#include "util/framora_error.h"
#include "util/gbk.h"
#include "util/text.h"

namespace framora {

namespace {

// Texts set tighter than this lose their shapes.
constexpr double kTightestSpacing = -50;

// The lines of a stored text as the page lays them out, empty ones included.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

}  // namespace

void TtkBaseClass::AddLine(int kind, double x1, double y1, double x2, double y2) {
  if (settings_.GeographicInput) {
    const GeoPoint a = ToGeographic(y1, x1);
    const GeoPoint b = ToGeographic(y2, x2);
    AddLineGeographic(kind, a.longitude, a.latitude, b.longitude, b.latitude);
    return;
  }
  AddLineGeographic(kind, x1, y1, x2, y2);
}

void TtkBaseClass::AddLineGeographic(int kind, double lon1, double lat1, double lon2, double lat2) {
  if (!lineCursor_) BeginDrawing();
  if (!lineCursor_) throw FramoraError("图幅" + sheetName_ + "没有可写的线层");
  lineCursor_->insertLine(kind, lon1, lat1, lon2, lat2);
}

void TtkBaseClass::AddText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x,
                           double y, double characterSpacing) {
  if (settings_.GeographicInput) {
    const GeoPoint point = ToGeographic(y, x);
    x = point.longitude;
    y = point.latitude;
  }
  writeText(text, font, hAlign, vAlign, x, y, characterSpacing);
}

void TtkBaseClass::AddTextGeographic(const std::string& text, const LogicalFont& font, int hAlign, int vAlign,
                                     double lon, double lat, double characterSpacing) {
  writeText(text, font, hAlign, vAlign, lon, lat, characterSpacing);
}

void TtkBaseClass::writeText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x,
                             double y, double characterSpacing) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return;
  if (textClass_ == nullptr) throw FramoraError("图幅" + sheetName_ + "没有可写的注记层");
  const TextSymbol symbol =
      MakeTextSymbol(font, characterSpacing, -1, HorizontalAnchorOf(hAlign), VerticalAnchorOf(vAlign));
  AddTextElement(*textClass_, trimmed, x, y, symbol);
}

void TtkBaseClass::AddPolygon(const OGRGeometry& polygon, int id) {
  if (polygonClass_ == nullptr) throw FramoraError("图幅" + sheetName_ + "没有可写的面层");
  StoreFeature(*polygonClass_, polygon, id);
}

double TtkBaseClass::FontHeightOnGround(const LogicalFont& font) const {
  return font.pointSize() * 25.4 / 72 * settings_.ScaleFactor * 10;
}

double TtkBaseClass::TextWidthOnGround(const std::string& text, const LogicalFont& font,
                                       double characterSpacing) const {
  const double em = FontHeightOnGround(font);
  const double stretch = 1 + characterSpacing / 100;
  double widest = 0;
  for (const std::string& line : SplitLines(text)) {
    double width = 0, last = 0;
    for (const char32_t character : ToUtf32(line)) {
      last = (character < 0x80 ? 0.5 : 1.0) * em;
      width += last * stretch;
    }
    widest = std::max(widest, width - last * (stretch - 1));
  }
  return widest;
}

Envelope TtkBaseClass::TextBoxOnGround(const std::string& text, const LogicalFont& font, int hAlign, int vAlign,
                                       double x, double y, double characterSpacing) const {
  const std::string stored = Trim(text);
  const double width = TextWidthOnGround(stored, font, characterSpacing);
  const double height = FontHeightOnGround(font) * static_cast<double>(SplitLines(stored).size());
  const double left = hAlign == 1 ? x : hAlign == 2 ? x - width / 2 : x - width;
  const double bottom = vAlign == 1 ? y - height : vAlign == 2 ? y - height / 2 : y;
  return Envelope{left, bottom, left + width, bottom + height};
}

double TtkBaseClass::SpacingToFit(const std::string& text, const LogicalFont& font, double width) const {
  const double natural = TextWidthOnGround(text, font);
  if (natural <= width) return 0;
  // Spacing scales the width but for the last character's, which -100 leaves alone.
  const double shrinkable = natural - TextWidthOnGround(text, font, -100);
  if (!(shrinkable > 0)) return 0;
  return std::max(kTightestSpacing, (width - natural) / shrinkable * 100);
}

bool TtkBaseClass::CrossesCornerLabel(double x1, double y1, double x2, double y2, double margin) const {
  for (const Envelope& box : cornerLabelBoxes_) {
    // The part of the segment inside the grown box, by its parameter t in [0, 1].
    double t0 = 0, t1 = 1;
    const double d[2] = {x2 - x1, y2 - y1};
    const double from[2] = {x1, y1};
    const double low[2] = {box.xmin - margin, box.ymin - margin};
    const double high[2] = {box.xmax + margin, box.ymax + margin};
    bool outside = false;
    for (int axis = 0; axis < 2 && !outside; ++axis) {
      if (d[axis] == 0) {
        outside = from[axis] < low[axis] || from[axis] > high[axis];
        continue;
      }
      double a = (low[axis] - from[axis]) / d[axis], b = (high[axis] - from[axis]) / d[axis];
      if (a > b) std::swap(a, b);
      t0 = std::max(t0, a);
      t1 = std::min(t1, b);
      outside = t0 > t1;
    }
    if (!outside) return true;
  }
  return false;
}

double TtkBaseClass::ClearOfCornerLabels(double anchor, double left, double right, double low, double high,
                                         double gap) const {
  for (const Envelope& box : cornerLabelBoxes_) {
    const bool across = box.ymin < high + gap && box.ymax > low - gap;
    if (!across || box.xmin >= anchor + right + gap || box.xmax <= anchor + left - gap) continue;
    // Away from the corner label, whichever side of the label it stands.
    if ((box.xmin + box.xmax) / 2 < anchor + (left + right) / 2)
      anchor = box.xmax + gap - left;
    else
      anchor = box.xmin - gap - right;
  }
  return anchor;
}

double TtkBaseClass::ClearOfOwnLine(double anchor, double line, double left, double right, double gap) {
  if (anchor > line && line > anchor + left - gap) return line + gap - left;
  if (anchor < line && line < anchor + right + gap) return line - gap - right;
  return anchor;
}

void TtkBaseClass::writeCornerText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign,
                                   double x, double y, double characterSpacing, bool geographic) {
  if (geographic) {
    AddTextGeographic(text, font, hAlign, vAlign, x, y, characterSpacing);
    const PlanePoint plane = ToPlane(y, x);
    x = plane.easting;
    y = plane.northing;
  } else {
    AddText(text, font, hAlign, vAlign, x, y, characterSpacing);
  }
  if (!Trim(text).empty()) cornerLabelBoxes_.push_back(TextBoxOnGround(text, font, hAlign, vAlign, x, y, characterSpacing));
}

PlanePoint TtkBaseClass::ToPlane(double latitude, double longitude) const {
  return zone_.Forward({latitude, longitude});
}

GeoPoint TtkBaseClass::ToGeographic(double northing, double easting) const {
  if (const std::optional<GeoPoint> point = zone_.Inverse({northing, easting})) return *point;
  // The sheet goes on with the origin in place of the point, as it always has.
  NotifyOnce(kGaussInverseFailedText);
  return GeoPoint{};
}

std::string TtkBaseClass::MinutesSecondsText(double angle) { return SplitAtDegreeSign(DegreesToDmsLabel(angle)).Rest; }

}  // namespace framora
