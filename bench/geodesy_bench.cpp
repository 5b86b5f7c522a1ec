// Projections per second: the Gauss-Krueger series against PROJ's transverse Mercator on
// the same ellipsoid, over the points of a 3-degree zone.
#include <benchmark/benchmark.h>
#include <ogr_spatialref.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "geodesy/gauss_kruger.h"
#include "util/user_interface.h"

namespace {

using namespace framora;

constexpr double kMeridian = 117;

struct Point {
  double longitude;
  double latitude;
};

const std::vector<Point>& Points() {
  static const std::vector<Point> points = [] {
    std::vector<Point> out;
    for (double B = 16; B <= 50; B += 0.5) {
      for (double dL = -1.5; dL <= 1.5; dL += 0.125) out.push_back({kMeridian + dL, B});
    }
    return out;
  }();
  return points;
}

// The texts the frame builders hand to the series.
const std::vector<std::pair<std::string, std::string>>& PointTexts() {
  static const std::vector<std::pair<std::string, std::string>> texts = [] {
    std::vector<std::pair<std::string, std::string>> out;
    char lon[32];
    char lat[32];
    for (const Point& p : Points()) {
      std::snprintf(lon, sizeof lon, "%.10f", p.longitude);
      std::snprintf(lat, sizeof lat, "%.10f", p.latitude);
      out.emplace_back(lon, lat);
    }
    return out;
  }();
  return texts;
}

const std::vector<Point>& PlanePoints() {  // x northing, y easting, stored as (y, x)
  static const std::vector<Point> plane = [] {
    std::vector<Point> out;
    for (const Point& p : Points()) {
      long double x = 0;
      long double y = 0;
      GaussForward(Iag1975Ellipsoid(), p.latitude, p.longitude - kMeridian, x, y);
      out.push_back({static_cast<double>(y) + 500000, static_cast<double>(x)});
    }
    return out;
  }();
  return plane;
}

void SeriesForwardTexts(benchmark::State& state) {
  const auto& texts = PointTexts();
  double x = 0;
  double y = 0;
  for (auto _ : state) {
    for (const auto& [lon, lat] : texts) {
      GeodeticToGauss(false, lon, lat, false, false, true, kMeridian, x, y);
      benchmark::DoNotOptimize(x);
      benchmark::DoNotOptimize(y);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}

void SeriesForward(benchmark::State& state) {
  const auto& points = Points();
  long double x = 0;
  long double y = 0;
  for (auto _ : state) {
    for (const Point& p : points) {
      GaussForward(Iag1975Ellipsoid(), p.latitude, p.longitude - kMeridian, x, y);
      benchmark::DoNotOptimize(x);
      benchmark::DoNotOptimize(y);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}

void SeriesInverse(benchmark::State& state) {
  const auto& plane = PlanePoints();
  SilentUserInterface ui;
  double L = 0;
  double B = 0;
  for (auto _ : state) {
    for (const Point& p : plane) {
      GaussToGeodetic(false, false, true, kMeridian, p.longitude, p.latitude, L, B, ui);
      benchmark::DoNotOptimize(L);
      benchmark::DoNotOptimize(B);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(plane.size()));
}

struct ProjTransforms {
  std::unique_ptr<OGRCoordinateTransformation> forward;
  std::unique_ptr<OGRCoordinateTransformation> inverse;
};

ProjTransforms MakeProjTransforms() {
  OGRSpatialReference projected;
  projected.SetProjCS("IAG 1975 / Gauss-Kruger CM 117E");
  projected.SetGeogCS("IAG 1975", "IAG 1975", "IAG 1975", 6378140, 298.257);
  projected.SetTM(0, kMeridian, 1, 500000, 0);
  projected.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRSpatialReference> geographic(projected.CloneGeogCS());
  geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  ProjTransforms out;
  out.forward.reset(OGRCreateCoordinateTransformation(geographic.get(), &projected));
  out.inverse.reset(OGRCreateCoordinateTransformation(&projected, geographic.get()));
  return out;
}

// One point per call, as the frame builders convert them.
void RunProj(benchmark::State& state, OGRCoordinateTransformation* transform, const std::vector<Point>& points) {
  if (transform == nullptr) {
    state.SkipWithError("PROJ transformation not available");
    return;
  }
  for (auto _ : state) {
    for (const Point& p : points) {
      double a = p.longitude;
      double b = p.latitude;
      transform->Transform(1, &a, &b);
      benchmark::DoNotOptimize(a);
      benchmark::DoNotOptimize(b);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}

void ProjForward(benchmark::State& state) {
  const ProjTransforms transforms = MakeProjTransforms();
  RunProj(state, transforms.forward.get(), Points());
}

void ProjInverse(benchmark::State& state) {
  const ProjTransforms transforms = MakeProjTransforms();
  RunProj(state, transforms.inverse.get(), PlanePoints());
}

// Whole arrays in one call, PROJ's best case.
void RunProjBatch(benchmark::State& state, OGRCoordinateTransformation* transform, const std::vector<Point>& points) {
  if (transform == nullptr) {
    state.SkipWithError("PROJ transformation not available");
    return;
  }
  std::vector<double> a(points.size());
  std::vector<double> b(points.size());
  for (auto _ : state) {
    for (size_t i = 0; i < points.size(); ++i) {
      a[i] = points[i].longitude;
      b[i] = points[i].latitude;
    }
    transform->Transform(points.size(), a.data(), b.data());
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(b.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}

void ProjForwardBatch(benchmark::State& state) {
  const ProjTransforms transforms = MakeProjTransforms();
  RunProjBatch(state, transforms.forward.get(), Points());
}

void ProjInverseBatch(benchmark::State& state) {
  const ProjTransforms transforms = MakeProjTransforms();
  RunProjBatch(state, transforms.inverse.get(), PlanePoints());
}

BENCHMARK(SeriesForwardTexts);
BENCHMARK(SeriesForward);
BENCHMARK(SeriesInverse);
BENCHMARK(ProjForward);
BENCHMARK(ProjInverse);
BENCHMARK(ProjForwardBatch);
BENCHMARK(ProjInverseBatch);

}  // namespace

BENCHMARK_MAIN();
