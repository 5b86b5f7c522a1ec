#include "app/driver/sample_imagery.h"

#include <gdal_priv.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "util/framora_error.h"

namespace framora {

namespace {

using Colour = std::array<double, 3>;

// Integer hashing: the same cell always gets the same numbers, on any machine.
uint32_t Hash(int64_t x, int64_t y, uint32_t seed) {
  uint64_t h = seed * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(x) * 0xBF58476D1CE4E5B9ull ^
               static_cast<uint64_t>(y) * 0x94D049BB133111EBull;
  h ^= h >> 31;
  h *= 0xD6E8FEB86659FD93ull;
  h ^= h >> 32;
  return static_cast<uint32_t>(h);
}

double Unit(uint32_t h) { return (h >> 8) / 16777216.0; }

double Smooth(double t) { return t * t * (3 - 2 * t); }

// Smooth noise in [0, 1] with features about one unit apart.
double ValueNoise(double x, double y, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy);
  const double tx = Smooth(x - fx), ty = Smooth(y - fy);
  const double a = Unit(Hash(ix, iy, seed)), b = Unit(Hash(ix + 1, iy, seed));
  const double c = Unit(Hash(ix, iy + 1, seed)), d = Unit(Hash(ix + 1, iy + 1, seed));
  return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

double Fractal(double x, double y, uint32_t seed, int octaves) {
  double sum = 0, amplitude = 0.5, total = 0;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += amplitude * ValueNoise(x, y, seed + octave);
    total += amplitude;
    x *= 2.03, y *= 2.03, amplitude /= 2;
  }
  return sum / total;
}

Colour Mix(const Colour& a, const Colour& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

Colour Brighter(const Colour& colour, double amount) {
  return {colour[0] + amount, colour[1] + amount, colour[2] + amount};
}

double SegmentDistance(const ScenePoint& p, const ScenePoint& a, const ScenePoint& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length = dx * dx + dy * dy;
  const double t = length > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0) : 0;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

double LineDistance(const ScenePoint& p, const std::vector<ScenePoint>& line) {
  double nearest = 1e300;
  for (size_t i = 1; i < line.size(); ++i) nearest = std::min(nearest, SegmentDistance(p, line[i - 1], line[i]));
  return nearest;
}

bool Inside(const ScenePoint& p, const std::vector<ScenePoint>& ring) {
  bool inside = false;
  for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
    if ((ring[i].y > p.y) != (ring[j].y > p.y) &&
        p.x < (ring[j].x - ring[i].x) * (p.y - ring[i].y) / (ring[j].y - ring[i].y) + ring[i].x)
      inside = !inside;
  return inside;
}

// Roofs, yards and paving of built-up land, in cells of the given size.
Colour BuiltUp(double x, double y, double cell, uint32_t seed) {
  static const Colour roofs[] = {{204, 200, 192}, {152, 160, 170}, {168, 112, 92}, {226, 224, 218}, {186, 176, 160}};
  const auto cx = static_cast<int64_t>(std::floor(x / cell)), cy = static_cast<int64_t>(std::floor(y / cell));
  const double lx = x / cell - cx, ly = y / cell - cy;
  const uint32_t h = Hash(cx, cy, seed);
  const double inset = 0.12 + 0.2 * Unit(Hash(cx, cy, seed + 1));
  const bool onBuilding = (h & 7) < 5 && lx > inset && lx < 1 - inset && ly > inset && ly < 1 - inset;
  if (onBuilding) {
    Colour roof = roofs[(h >> 3) % 5];
    // A shadow on the side away from the sun.
    if (lx > 1 - inset - 0.06 || ly < inset + 0.06) roof = Brighter(roof, -35);
    return roof;
  }
  return (h >> 6) % 3 == 0 ? Colour{96, 122, 78} : Colour{150, 146, 138};
}

class Ground {
 public:
  explicit Ground(const SampleScene& scene) : scene_(scene) {}

  Colour at(double x, double y) const {
    const Envelope& block = scene_.block;
    const double u = (x - block.xmin) / block.width(), v = (y - block.ymin) / block.height();
    const double broad = Fractal(x / 900, y / 900, 11, 4);
    const double fine = Fractal(x / 40, y / 40, 23, 3);
    const double grain = Unit(Hash(static_cast<int64_t>(std::floor(x)), static_cast<int64_t>(std::floor(y)), 37)) - 0.5;
    const ScenePoint p{x, y};

    for (const auto& lake : scene_.lakes)
      if (Inside(p, lake)) {
        const double shore = LineDistance(p, lake);
        return Brighter(Mix(Colour{92, 118, 96}, Colour{46, 74, 84}, shore / 40), 8 * fine + 4 * grain);
      }

    // A river winding across the south of the block.
    const double riverV = 0.16 + 0.035 * std::sin(u * 10.7 + 0.6) + 0.02 * std::sin(u * 27 + 1.9);
    const double fromRiver = std::abs(v - riverV) * block.height();
    const double riverHalfWidth = 22 + 10 * broad;
    if (fromRiver < riverHalfWidth) return Brighter(Colour{44, 72, 80}, 10 * fine + 4 * grain);
    if (fromRiver < riverHalfWidth + 18) return Brighter(Colour{74, 98, 62}, 30 * (fine - 0.5) + 6 * grain);

    double fromRoad = 1e300;
    for (const auto& road : scene_.roads) fromRoad = std::min(fromRoad, LineDistance(p, road));
    if (fromRoad < 8) return Brighter(Colour{112, 112, 110}, 6 * grain);
    if (fromRoad < 11) return Brighter(Colour{172, 166, 150}, 8 * grain);
    if (fromRoad < 19 && Fractal(x / 9, y / 9, 41, 2) > 0.42) return Brighter(Colour{58, 86, 50}, 20 * (fine - 0.5));

    // The town in the south-west, its edge frayed.
    const double town = std::min(0.44 - u, 0.47 - v) + 0.09 * (broad - 0.5) * 2;
    if (town > 0) {
      const double street = 230;
      const double sx = (x - block.xmin) - std::floor((x - block.xmin) / street) * street;
      const double sy = (y - block.ymin) - std::floor((y - block.ymin) / street) * street;
      if (sx < 14 || sy < 14) return Brighter(Colour{132, 130, 126}, 6 * grain);
      return Brighter(BuiltUp(x, y, 38, 53), 10 * (fine - 0.5) + 8 * grain);
    }

    // Villages among the fields.
    const double villageCell = 1400;
    const auto vx = static_cast<int64_t>(std::floor(x / villageCell)), vy = static_cast<int64_t>(std::floor(y / villageCell));
    if (Unit(Hash(vx, vy, 61)) < 0.3) {
      const double cx = (vx + 0.25 + 0.5 * Unit(Hash(vx, vy, 62))) * villageCell;
      const double cy = (vy + 0.25 + 0.5 * Unit(Hash(vx, vy, 63))) * villageCell;
      if (std::hypot(x - cx, y - cy) < 110 + 60 * fine) return Brighter(BuiltUp(x, y, 24, 67), 8 * grain);
    }

    // Woods in patches.
    const double wood = Fractal(x / 650, y / 650, 71, 3);
    if (wood > 0.67) {
      const double crowns = Fractal(x / 7, y / 7, 73, 2);
      return Brighter(Colour{52, 82, 46}, 45 * (crowns - 0.5) + 12 * (broad - 0.5));
    }

    // Fields in a slightly turned grid of strips, each with its own crop.
    static const Colour crops[] = {{88, 126, 58}, {128, 152, 78}, {190, 176, 120}, {142, 118, 90}, {114, 98, 78}, {104, 138, 90}};
    const double angle = 0.14;
    const double a = (x - block.xmin) * std::cos(angle) + (y - block.ymin) * std::sin(angle);
    const double b = -(x - block.xmin) * std::sin(angle) + (y - block.ymin) * std::cos(angle);
    const double width = 270, height = 130;
    const auto column = static_cast<int64_t>(std::floor(a / width));
    const double shifted = b + Unit(Hash(column, 0, 79)) * height;
    const auto row = static_cast<int64_t>(std::floor(shifted / height));
    const double la = a - column * width, lb = shifted - row * height;
    if (la < 3 || lb < 3) return Brighter(Colour{158, 150, 112}, 8 * grain);
    const uint32_t h = Hash(column, row, 83);
    Colour crop = crops[h % 6];
    const double rows = std::sin(((h >> 4) & 1 ? la : lb) * 2 * M_PI / 5.5);
    crop = Brighter(crop, 26 * (broad - 0.5) + 12 * (fine - 0.5) + 5 * rows + 5 * grain);
    return crop;
  }

 private:
  const SampleScene& scene_;
};

}  // namespace

void WriteSampleImagery(const std::string& path, const SampleScene& scene, const std::string& wkt, double resolution) {
  const double step = resolution;
  const double margin = 300;
  const double xmin = std::floor((scene.block.xmin - margin) / step) * step;
  const double ymax = std::ceil((scene.block.ymax + margin) / step) * step;
  const int width = static_cast<int>(std::ceil((scene.block.xmax + margin - xmin) / step));
  const int height = static_cast<int>(std::ceil((ymax - (scene.block.ymin - margin)) / step));

  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
  GDALDriver* cog = GetGDALDriverManager()->GetDriverByName("COG");
  if (memory == nullptr || cog == nullptr) throw FramoraError("GDAL缺少写影像的驱动，不能生成示例影像");
  GDALDatasetUniquePtr image(memory->Create("", width, height, 3, GDT_Byte, nullptr));
  if (!image) throw FramoraError("内存不足，不能生成示例影像");
  double transform[6] = {xmin, step, 0, ymax, 0, -step};
  image->SetGeoTransform(transform);
  image->SetProjection(wkt.c_str());

  const Ground ground(scene);
  std::vector<GByte> row(static_cast<size_t>(width) * 3);
  for (int line = 0; line < height; ++line) {
    const double y = ymax - (line + 0.5) * step;
    for (int column = 0; column < width; ++column) {
      const Colour colour = ground.at(xmin + (column + 0.5) * step, y);
      // Held inside 8..240 as a sensor leaves it; the project stretches it back.
      for (int band = 0; band < 3; ++band)
        row[static_cast<size_t>(column) * 3 + band] =
            static_cast<GByte>(std::lround(8 + std::clamp(colour[band], 0.0, 255.0) * 232 / 255));
    }
    if (image->RasterIO(GF_Write, 0, line, width, 1, row.data(), width, 1, GDT_Byte, 3, nullptr, 3,
                        static_cast<GSpacing>(width) * 3, 1) != CE_None)
      throw FramoraError("不能生成示例影像");
  }

  const char* options[] = {"COMPRESS=JPEG", "QUALITY=72", "OVERVIEW_COMPRESS=JPEG", "OVERVIEW_QUALITY=72",
                           "OVERVIEW_RESAMPLING=AVERAGE", "BLOCKSIZE=256", nullptr};
  VSIUnlink(path.c_str());
  GDALDatasetUniquePtr written(cog->CreateCopy(path.c_str(), image.get(), FALSE, const_cast<char**>(options), nullptr, nullptr));
  if (!written) throw FramoraError("不能写入" + path);
}

}  // namespace framora
