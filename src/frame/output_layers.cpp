#include <cstdio>

#include "frame/frame_builder.h"
#include "geodesy/angle_text.h"
#include "geodesy/gauss_zone.h"
#include "gis/text_class.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

void TtkBaseClass::AddLine(int kind, double x1, double y1, double x2, double y2) {
  if (settings.GeographicInput) {
    const GeoPoint a = ToGeographic(y1, x1);
    const GeoPoint b = ToGeographic(y2, x2);
    AddLineGeographic(kind, a.longitude, a.latitude, b.longitude, b.latitude);
    return;
  }
  AddLineGeographic(kind, x1, y1, x2, y2);
}

void TtkBaseClass::AddLineGeographic(int kind, double lon1, double lat1, double lon2, double lat2) {
  if (!LineCursor) BeginDrawing();
  if (!LineCursor) throw FramoraError("图幅" + SheetName + "没有可写的线层");
  LineCursor->insertLine(kind, lon1, lat1, lon2, lat2);
}

void TtkBaseClass::AddText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x,
                           double y) {
  if (settings.GeographicInput) {
    const GeoPoint point = ToGeographic(y, x);
    x = point.longitude;
    y = point.latitude;
  }
  writeText(text, font, hAlign, vAlign, x, y);
}

void TtkBaseClass::AddTextGeographic(const std::string& text, const LogicalFont& font, int hAlign, int vAlign,
                                     double lon, double lat) {
  writeText(text, font, hAlign, vAlign, lon, lat);
}

void TtkBaseClass::writeText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x,
                             double y) {
  settings.run.TextAnchorH = HorizontalAnchorOf(hAlign);
  settings.run.TextAnchorV = VerticalAnchorOf(vAlign);
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return;
  if (AnnoLayer == nullptr) throw FramoraError("图幅" + SheetName + "没有可写的注记层");
  const TextSymbol symbol =
      MakeTextSymbol(font, settings.run.TextCharSpacing, -1, settings.run.TextAnchorH, settings.run.TextAnchorV);
  AddTextElement(*AnnoLayer, trimmed, x, y, symbol);
}

double TtkBaseClass::FontHeightOnGround(const LogicalFont& font) const {
  return font.pointSize() * 25.4 / 72 * settings.ScaleFactor * 10;
}

namespace {

GaussZone ZoneOfSettings(const FrameSettings& settings) {
  return GaussZone(settings.UseKrassowsky ? ZoneEllipsoid::Krassowsky : ZoneEllipsoid::Iag1975,
                   settings.ThreeDegreeZones ? ZoneWidth::ThreeDegree : ZoneWidth::SixDegree,
                   settings.CentralMeridian, settings.CoordsWithZone);
}

}  // namespace

PlanePoint TtkBaseClass::ToPlane(double latitude, double longitude) const {
  return ZoneOfSettings(settings).Forward({latitude, longitude});
}

GeoPoint TtkBaseClass::ToGeographic(double northing, double easting) const {
  if (const std::optional<GeoPoint> point = ZoneOfSettings(settings).Inverse({northing, easting})) return *point;
  // The sheet goes on with the origin in place of the point, as it always has.
  ui.message(kGaussInverseFailedText);
  return GeoPoint{};
}

std::string TtkBaseClass::MinutesSecondsText(double angle) { return SplitAtDegreeSign(DegreesToDmsLabel(angle)).Rest; }

}  // namespace framora
