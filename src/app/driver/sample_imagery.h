#pragma once

#include <string>
#include <vector>

#include "gis/geometry.h"

namespace framora {

// A point in plane metres.
struct ScenePoint {
  double x = 0, y = 0;
};

// What the sample's vector layers put on the ground, so that the imagery shows it too.
struct SampleScene {
  Envelope block;                               // the sheets' block, plane metres
  std::vector<std::vector<ScenePoint>> roads;   // centre lines
  std::vector<std::vector<ScenePoint>> lakes;   // shore rings
};

// Ground metres of one pixel of the sample imagery.
inline constexpr double kSampleImageryResolution = 5;

// Writes a synthetic orthophoto of the scene to path: fields, woods, a town, a river, the
// lakes and the roads as seen from above, 3 bands of 8 bits, JPEG-compressed in a tiled
// GeoTIFF with overviews, georeferenced in wkt, pixels of resolution ground metres. The same
// scene gives the same pixels. Throws FramoraError when the file cannot be written.
void WriteSampleImagery(const std::string& path, const SampleScene& scene, const std::string& wkt,
                        double resolution = kSampleImageryResolution);

}  // namespace framora
