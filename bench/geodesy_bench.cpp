// Projections per second: the Gauss-Krueger series against PROJ's transverse Mercator on
// the same ellipsoid, over the points of a 3-degree zone.
#include <benchmark/benchmark.h>
#include <ogr_spatialref.h>

#include <memory>
#include <optional>
#include <vector>

#include "geodesy/gauss_zone.h"

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

// As the frame builders convert: through the run's zone, false easting included.
void ZoneForward(benchmark::State& state) {
  const GaussZone zone(ZoneEllipsoid::Iag1975, ZoneWidth::ThreeDegree, kMeridian, false);
  const auto& points = Points();
  for (auto _ : state) {
    for (const Point& p : points) {
      const PlanePoint plane = zone.Forward({p.latitude, p.longitude});
      benchmark::DoNotOptimize(plane);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
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

void ZoneInverse(benchmark::State& state) {
  const GaussZone zone(ZoneEllipsoid::Iag1975, ZoneWidth::ThreeDegree, kMeridian, false);
  const auto& plane = PlanePoints();
  for (auto _ : state) {
    for (const Point& p : plane) {
      const std::optional<GeoPoint> point = zone.Inverse({p.latitude, p.longitude});
      benchmark::DoNotOptimize(point);
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

BENCHMARK(ZoneForward);
BENCHMARK(SeriesForward);
BENCHMARK(ZoneInverse);
BENCHMARK(ProjForward);
BENCHMARK(ProjInverse);
BENCHMARK(ProjForwardBatch);
BENCHMARK(ProjInverseBatch);

}  // namespace

BENCHMARK_MAIN();
