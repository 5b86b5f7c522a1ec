#pragma once

#include <optional>
#include <string>

class OGRSpatialReference;

namespace framora {

// What the registry (EPSG) code of a layer's spatial reference says about the projection
// settings. Only the Chinese geodetic systems and WGS84 are known.
struct CoordSystemGuess {
  static constexpr int kProjected = 0;
  static constexpr int kGeographicWgs84 = 10;
  static constexpr int kGeographicBeijing1954 = 20;
  static constexpr int kGeographicXian1980 = 30;
  static constexpr int kGeographicCgcs2000 = 40;

  static constexpr int kCgcs2000 = 0;
  static constexpr int kXian1980 = 1;
  static constexpr int kBeijing1954 = 2;

  int Kind = kProjected;
  // The rest is for projected systems only.
  int Datum = kCgcs2000;
  bool ThreeDegree = false;
  bool ZoneInEasting = false;  // eastings carry the zone number
  double CentralMeridian = 0;
};

struct CoordSystemRecognition {
  std::optional<CoordSystemGuess> guess;  // nothing when not recognised
  // For the caller to show: why nothing could be recognised, when the user can act on it.
  std::string notice;
};

// Recognises a spatial reference by its registry code. Without one (nullptr) raises
// FramoraError("数据没有定义坐标系统"); a system without a code is not recognised, with the
// notice "无法自动识别坐标系统，自己设置有关参数"; other unknown codes are not recognised and
// leave the notice empty.
CoordSystemRecognition RecognizeCoordSystem(const OGRSpatialReference* spatialReference);

// The same rules on the bare code (0 = none, no message here).
bool RecognizeCoordSystemCode(int code, CoordSystemGuess& out);

}  // namespace framora
