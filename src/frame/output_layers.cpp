#include <cstdio>

#include "frame/frame_builder.h"
#include "geodesy/angle_text.h"
#include "geodesy/gauss_zone.h"
#include "gis/text_class.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

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
