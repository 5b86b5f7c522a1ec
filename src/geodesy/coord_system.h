#pragma once

class OGRSpatialReference;

namespace framora {

class UserInterface;

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

// Recognises a spatial reference by its registry code. Without one (nullptr) raises
// FramoraError("数据没有定义坐标系统"); a system without a code shows
// "无法自动识别坐标系统，自己设置有关参数" and is not recognised; other unknown codes are not
// recognised silently. `out` is written only when recognised.
bool RecognizeCoordSystem(const OGRSpatialReference* spatialReference, CoordSystemGuess& out, UserInterface& ui);

// The same rules on the bare code (0 = none, no message here).
bool RecognizeCoordSystemCode(int code, CoordSystemGuess& out);

}  // namespace framora
