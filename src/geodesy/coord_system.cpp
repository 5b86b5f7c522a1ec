#include "geodesy/coord_system.h"

#include <cstring>

#include <ogr_spatialref.h>

#include "geodesy/number_text.h"
#include "util/framora_error.h"

namespace framora {

namespace {

// One run of codes: zone 13 (6-degree) or zone 25 (3-degree), i.e. 75°, at `first`,
// one zone further east per code.
struct ProjectedRange {
  int first;
  int last;
  int datum;
  bool threeDegree;
  bool zoneInEasting;
};

constexpr ProjectedRange kProjectedRanges[] = {
    {4491, 4501, CoordSystemGuess::kCgcs2000, false, true},
    {4502, 4512, CoordSystemGuess::kCgcs2000, false, false},
    {4513, 4533, CoordSystemGuess::kCgcs2000, true, true},
    {4534, 4554, CoordSystemGuess::kCgcs2000, true, false},
    {2327, 2337, CoordSystemGuess::kXian1980, false, true},
    {2338, 2348, CoordSystemGuess::kXian1980, false, false},
    {2349, 2369, CoordSystemGuess::kXian1980, true, true},
    {2370, 2390, CoordSystemGuess::kXian1980, true, false},
    {2401, 2421, CoordSystemGuess::kBeijing1954, true, true},
    {2422, 2442, CoordSystemGuess::kBeijing1954, true, false},
    {21413, 21423, CoordSystemGuess::kBeijing1954, false, true},
    {21473, 21483, CoordSystemGuess::kBeijing1954, false, false},
    // The registry has since replaced 21473–21483 by these, and PROJ hands them out
    // even when asked for the old codes.
    {21453, 21463, CoordSystemGuess::kBeijing1954, false, false},
};

int GeographicKind(int code) {
  switch (code) {
    case 4326: return CoordSystemGuess::kGeographicWgs84;
    case 4214: return CoordSystemGuess::kGeographicBeijing1954;
    case 4610: return CoordSystemGuess::kGeographicXian1980;
    case 4490:
    case 4472: return CoordSystemGuess::kGeographicCgcs2000;
    default: return -1;
  }
}

// EPSG and ArcGIS (ESRI) share these codes; another authority's numbers mean something else.
int RegistryCode(const OGRSpatialReference& spatialReference) {
  const char* authority = spatialReference.GetAuthorityName(nullptr);
  const char* code = spatialReference.GetAuthorityCode(nullptr);
  if (authority == nullptr || code == nullptr) return 0;
  if (std::strcmp(authority, "EPSG") != 0 && std::strcmp(authority, "ESRI") != 0) return 0;
  int value = 0;
  return TryReadInteger(code, value) && value > 0 ? value : 0;
}

}  // namespace

bool RecognizeCoordSystemCode(int code, CoordSystemGuess& out) {
  const int geographic = GeographicKind(code);
  if (geographic >= 0) {
    out = CoordSystemGuess{};
    out.Kind = geographic;
    return true;
  }
  // Codes inside a family's bounds but outside these runs (4481–4490, 21424–21452, 2443–2499,
  // ...) belong to other systems in the registry and are left unrecognised.
  for (const ProjectedRange& range : kProjectedRanges) {
    if (code < range.first || code > range.last) continue;
    const int zone = code - range.first + (range.threeDegree ? 25 : 13);
    out = CoordSystemGuess{};
    out.Kind = CoordSystemGuess::kProjected;
    out.Datum = range.datum;
    out.ThreeDegree = range.threeDegree;
    out.ZoneInEasting = range.zoneInEasting;
    out.CentralMeridian = range.threeDegree ? 3 * zone : 6 * zone - 3;
    return true;
  }
  return false;
}

CoordSystemRecognition RecognizeCoordSystem(const OGRSpatialReference* spatialReference) {
  if (spatialReference == nullptr) throw FramoraError("数据没有定义坐标系统");
  const int code = RegistryCode(*spatialReference);
  if (code == 0) return {std::nullopt, "无法自动识别坐标系统，自己设置有关参数"};
  CoordSystemRecognition result;
  CoordSystemGuess guess;
  if (RecognizeCoordSystemCode(code, guess)) result.guess = guess;
  return result;
}

}  // namespace framora
