#include <string>

#include "frame/standard/standard_map.h"
#include "gis/feature_class.h"
#include "gis/geometry.h"
#include "util/gbk.h"
#include "util/text.h"

namespace framora {

namespace {

// The two halves of a name cut by characters, the first holding the smaller half.
std::pair<std::string, std::string> Halves(const std::string& name) {
  const std::u32string characters = ToUtf32(name);
  const size_t half = characters.size() / 2;
  return {FromUtf32(characters.substr(0, half)), FromUtf32(characters.substr(half))};
}

// Eight neighbours, column i from west to east and row j from north to south.
template <typename Visit>
void ForEachNeighbour(Visit visit) {
  for (int i = 0; i <= 2; ++i)
    for (int j = 0; j <= 2; ++j)
      if (i != 1 || j != 1) visit(i, j);
}

}  // namespace

void TstandardMap::DrawJoinTable() {
  if (settings_.GeographicInput)
    DrawJoinTableGeographic();
  else
    DrawJoinTablePlane();
}

void TstandardMap::DrawJoinTablePlane() {
  const FrameSettings& s = settings_;
  const OuterBounds bounds = OuterFrameBounds();
  const double g = frameGap();
  const double x0 = bounds.left + g + s.JoinTableX * s.ScaleFactor;
  const double y0 = bounds.top + s.JoinTableY * s.ScaleFactor;
  const double w = s.JoinTableWidth * s.ScaleFactor;
  const double h = s.JoinTableHeight * s.ScaleFactor;
  for (int k = 0; k <= 3; ++k) AddLine(1, x0, y0 + k * h, x0 + 3 * w, y0 + k * h);
  for (int k = 0; k <= 3; ++k) AddLine(1, x0 + k * w, y0, x0 + k * w, y0 + 3 * h);
  AddPolygon(*EnvelopePolygon(Envelope{x0 + w, y0 + h, x0 + 2 * w, y0 + 2 * h}), 1);

  const double cx = (bounds.left + bounds.right) / 2, cy = (bounds.bottom + bounds.top) / 2;
  const double dx = bounds.right - bounds.left - 2 * g, dy = bounds.top - bounds.bottom - 2 * g;
  ForEachNeighbour([&](int i, int j) {
    const std::string name = NeighbourName(cx + (i - 1) * dx, cy + (1 - j) * dy);
    PlaceCellName(name, x0 + i * w, x0 + (i + 1) * w, y0 + (2 - j) * h, y0 + (3 - j) * h);
  });
}

void TstandardMap::DrawJoinTableGeographic() {
  const FrameSettings& s = settings_;
  // Ground distances become degrees at the north-west inner corner.
  const double west = geoOrigin_.x, north = geoOrigin_.y + geoHeight_;
  const double w = EastOffsetDegrees(s.JoinTableWidth * s.ScaleFactor, north, west);
  const double h = NorthOffsetDegrees(s.JoinTableHeight * s.ScaleFactor, north, west);
  const double x0 = west + EastOffsetDegrees(s.JoinTableX * s.ScaleFactor, north, west);
  const double y0 = north + gapLat_ + NorthOffsetDegrees(s.JoinTableY * s.ScaleFactor, north, west);
  for (int k = 0; k <= 3; ++k) AddLineGeographic(1, x0, y0 + k * h, x0 + 3 * w, y0 + k * h);
  for (int k = 0; k <= 3; ++k) AddLineGeographic(1, x0 + k * w, y0, x0 + k * w, y0 + 3 * h);
  AddPolygon(*EnvelopePolygon(Envelope{x0 + w, y0 + h, x0 + 2 * w, y0 + 2 * h}), 1);

  const OuterBounds bounds = OuterFrameBounds();
  const double cx = (bounds.left + bounds.right) / 2, cy = (bounds.bottom + bounds.top) / 2;
  const double dx = innerCorners_[kUpperRight].x - innerCorners_[kLowerLeft].x;
  const double dy = innerCorners_[kUpperRight].y - innerCorners_[kLowerLeft].y;
  ForEachNeighbour([&](int i, int j) {
    const std::string name = NeighbourName(cx + (i - 1) * dx, cy + (1 - j) * dy);
    PlaceCellNameGeographic(name, x0 + (i + 0.5) * w, y0 + (2 - j + 0.5) * h);
  });
}

std::string TstandardMap::NeighbourName(double x, double y) {
  if (source().layer == nullptr || !TitleFieldUsable()) return "";
  const OGRPoint point(x, y);
  const auto found = SpatialSearch(*source().layer, point, "");
  if (found.empty()) return "";
  return Trim(FieldValue(*found.front(), settings_.TitleField).value_or(""));
}

bool TstandardMap::TitleFieldUsable() {
  if (!titleFieldUsable_) {
    const std::string& field = settings_.TitleField;
    // No field chosen leaves the cells blank; a missing one is said once, not eight
    // times a sheet.
    titleFieldUsable_ = !field.empty() && source().layer != nullptr &&
                        source().layer->GetLayerDefn()->GetFieldIndex(field.c_str()) >= 0;
    if (!*titleFieldUsable_ && !field.empty()) NotifyOnce("找不到对应字段" + field);
  }
  return *titleFieldUsable_;
}

void TstandardMap::PlaceCellName(const std::string& name, double left, double right, double bottom, double top) {
  const LogicalFont& font = settings_.JoinTableFont;
  const double e = FontHeightOnGround(font);
  const auto width = [&](const std::string& text) { return GbkLength(text) * e / 2.1; };
  const double mx = (left + right) / 2, my = (bottom + top) / 2;
  if (GbkLength(name) < 9) {
    AddText(name, font, 1, 1, mx - width(name) / 2, my + e / 2);
    return;
  }
  const auto [upper, lower] = Halves(name);
  AddText(upper, font, 1, 3, mx - width(upper) / 2, my);
  AddText(lower, font, 1, 1, mx - width(lower) / 2, my);
}

void TstandardMap::PlaceCellNameGeographic(const std::string& name, double centreLon, double centreLat) {
  std::string text = name;
  if (GbkLength(name) > 10) {
    const auto [upper, lower] = Halves(name);
    text = upper + "\r\n" + lower;
  }
  AddTextGeographic(text, settings_.JoinTableFont, 2, 2, centreLon, centreLat);
}

}  // namespace framora
