#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "frame/standard/standard_map.h"
#include "geodesy/angle_text.h"

namespace framora {

namespace {

constexpr const char* kGraticuleNeedsDegrees = "经纬网只有是地理坐标（大地坐标才支持)";
constexpr const char* kGraticuleStepRefused = "经纬网间隔必须大于0，未画经纬网";
constexpr int kBeijing1954 = 2;
// Space between a graticule label and the line or tick it names, in em.
constexpr double kBandLabelClearanceEm = 0.2;

// start + k·step for k >= 1 while below start + extent − step/2, so that no line falls on
// or next to the far edge. Counted rather than summed, so rounding does not add up.
std::vector<double> InteriorSteps(double start, double extent, double step) {
  std::vector<double> values;
  for (long long k = 1;; ++k) {
    const double value = start + k * step;
    if (!(value < start + extent - step / 2)) break;
    values.push_back(value);
  }
  return values;
}

// The sheet's rectangle in degrees and the lines inside it.
struct Graticule {
  double west = 0, south = 0, east = 0, north = 0;
  std::vector<double> meridians, parallels;
};

Graticule GraticuleOf(const TstandardMap& map) {
  Graticule g;
  g.west = map.geoOrigin().x;
  g.south = map.geoOrigin().y;
  g.east = g.west + map.geoWidth();
  g.north = g.south + map.geoHeight();
  g.meridians = InteriorSteps(g.west, map.geoWidth(), map.settings().LonStep);
  g.parallels = InteriorSteps(g.south, map.geoHeight(), map.settings().LatStep);
  return g;
}

std::string AngleLabel(const FrameSettings& settings, double degrees) {
  return settings.GraticuleLabelMode == 1 ? DegreesToDmLabel(degrees) : DegreesToDmsLabel(degrees);
}

}  // namespace

bool TstandardMap::GraticuleDrawable() {
  if (!settings_.GeographicInput) {
    NotifyOnce(kGraticuleNeedsDegrees);
    return false;
  }
  if (!(settings_.LonStep > 0) || !(settings_.LatStep > 0)) {
    NotifyOnce(kGraticuleStepRefused);
    return false;
  }
  return true;
}

void TstandardMap::DrawGraticule() {
  if (!GraticuleDrawable()) return;
  const Graticule g = GraticuleOf(*this);
  const LogicalFont& font = settings_.GridBigFont;
  // The Beijing 1954 sheets mark the graticule with ticks and minutes between the frames.
  const bool ticksOnly = settings_.coordinateSystemIndex == kBeijing1954;
  const double clear = kBandLabelClearanceEm * FontHeightOnGround(font);
  const double clearLat = NorthOffsetDegrees(clear, g.south, g.west);
  const double clearLon = EastOffsetDegrees(clear, g.south, g.west);

  for (const double lon : g.meridians) {
    const std::string label = AngleLabel(settings_, lon);
    if (ticksOnly) {
      AddLineGeographic(1, lon, g.south - gapLat_, lon, g.south);
      AddLineGeographic(1, lon, g.north, lon, g.north + gapLat_);
      const std::string minutes = SplitDmsLabel(label).Minutes;
      AddTextGeographic(minutes, font, 1, 3, lon + clearLon, g.north + clearLat);
      AddTextGeographic(minutes, font, 1, 1, lon + clearLon, g.south - clearLat);
    } else {
      AddLineGeographic(1, lon, g.north, lon, g.south);
      AddTextGeographic(label, font, 2, 3, lon, g.north + clearLat);
      AddTextGeographic(label, font, 2, 1, lon, g.south - clearLat);
    }
  }
  for (const double lat : g.parallels) {
    const std::string label = AngleLabel(settings_, lat);
    if (ticksOnly) {
      AddLineGeographic(1, g.west - gapLon_, lat, g.west, lat);
      AddLineGeographic(1, g.east, lat, g.east + gapLon_, lat);
      const std::string minutes = SplitDmsLabel(label).Minutes;
      AddTextGeographic(minutes, font, 3, 1, g.west - clearLon, lat - clearLat);
      AddTextGeographic(minutes, font, 1, 1, g.east + clearLon, lat - clearLat);
    } else {
      AddLineGeographic(1, g.west, lat, g.east, lat);
      WriteSideBandLabel(label, g.west, lat, false);
      WriteSideBandLabel(label, g.east, lat, true);
    }
  }
}

void TstandardMap::DrawGraticuleCrosses() {
  if (!GraticuleDrawable()) return;
  const Graticule g = GraticuleOf(*this);
  const LogicalFont& font = settings_.GridBigFont;
  const double clearLon = EastOffsetDegrees(kBandLabelClearanceEm * FontHeightOnGround(font), g.south, g.west);

  for (const double lon : g.meridians) {
    for (const double lat : g.parallels) {
      // The arms are as long on the ground as the set length of latitude, so the cross is
      // even however short a degree of longitude is there.
      const double armLat = settings_.GraticuleCrossLen / 2;
      const double armMetres = ToPlane(lat + armLat, lon).northing - ToPlane(lat, lon).northing;
      const double armLon = EastOffsetDegrees(armMetres, lat, lon);
      AddLineGeographic(1, lon - armLon, lat, lon + armLon, lat);
      AddLineGeographic(1, lon, lat - armLat, lon, lat + armLat);
    }
    AddLineGeographic(1, lon, g.north, lon, g.north + gapLat_);
    AddLineGeographic(1, lon, g.south - gapLat_, lon, g.south);
    // Beside its tick, in the middle of the band.
    const std::string label = AngleLabel(settings_, lon);
    AddTextGeographic(label, font, 1, 2, lon + clearLon, g.north + gapLat_ / 2);
    AddTextGeographic(label, font, 1, 2, lon + clearLon, g.south - gapLat_ / 2);
  }
  for (const double lat : g.parallels) {
    const std::string label = AngleLabel(settings_, lat);
    WriteSideBandLabel(label, g.west, lat, false);
    WriteSideBandLabel(label, g.east, lat, true);
    AddLineGeographic(1, g.west - gapLon_, lat, g.west, lat);
    AddLineGeographic(1, g.east, lat, g.east + gapLon_, lat);
  }
}

void TstandardMap::WriteSideBandLabel(const std::string& label, double innerLon, double lat, bool east) {
  // As the corner labels: degrees above the parallel, the rest below, both centred in the
  // band left inside the outer line and set tighter where they would not fit across it.
  const LogicalFont& font = settings_.GridBigFont;
  const double em = FontHeightOnGround(font);
  const double outerHalf = OuterLineInset();
  const double room = frameGap() - outerHalf - 2 * kBandLabelClearanceEm * em;
  const double middle = EastOffsetDegrees((frameGap() - outerHalf) / 2, lat, innerLon);
  const double bandLon = east ? innerLon + middle : innerLon - middle;
  const double clearLat = NorthOffsetDegrees(kBandLabelClearanceEm * em, lat, bandLon);
  const DegreeSplit parts = SplitAtDegreeSign(label);
  AddTextGeographic(parts.Degrees, font, 2, 3, bandLon, lat + clearLat, SpacingToFit(parts.Degrees, font, room));
  AddTextGeographic(parts.Rest, font, 2, 1, bandLon, lat - clearLat, SpacingToFit(parts.Rest, font, room));
}

}  // namespace framora
