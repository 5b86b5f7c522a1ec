// Writes 100,000 two-point lines with their "ID" through the data layer and through a
// bare OGR loop on the same driver, and prints both times and their ratio.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gis/buffered_insert.h"
#include "gis/feature_class.h"
#include "gis/feature_dataset.h"
#include "gis/gdal_setup.h"
#include "util/user_interface.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLines = 100000;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

OGRSpatialReference Zone39() {
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

double ThroughDataLayer(const std::string& path) {
  framora::SilentUserInterface ui;
  const auto start = Clock::now();
  auto workspace = framora::CreateWorkspace(framora::OutputPath(path));
  const OGRSpatialReference srs = Zone39();
  auto dataset = framora::CreateFeatureDataset(*workspace, "yBench", &srs,
                                               framora::SpatialDomain{39000000, 3000000, 40000000, 4000000});
  OGRLayer* lines = framora::CreateFeatureClass(*dataset, "L_Bench", framora::MakeFieldTemplate(wkbLineString, 1000));
  {
    framora::BufferedInsert insert(*workspace, *lines);
    for (int i = 0; i < kLines; ++i) {
      const double x = 39500000 + (i % 1000) * 10.0;
      const double y = 3500000 + (i / 1000) * 10.0;
      insert.insertLine(i % 7, x, y, x + 10, y + 10);
    }
    insert.flush();
  }
  workspace.reset();
  return Seconds(start);
}

double BareOgrLoop(const std::string& path, const char* driverName) {
  const auto start = Clock::now();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference srs = Zone39();
  CPLStringList options;
  options.SetNameValue("FID", "OBJECTID");
  options.SetNameValue("GEOMETRY_NAME", "Shape");
  if (std::string(driverName) == "OpenFileGDB") options.SetNameValue("FEATURE_DATASET", "yBench");
  OGRLayer* layer = dataset->CreateLayer("L_Bench", &srs, wkbLineString, options.List());
  OGRFieldDefn id("ID", OFTInteger);
  if (layer->CreateField(&id) != OGRERR_NONE) std::abort();
  const bool transaction = std::string(driverName) == "GPKG";
  if (transaction && dataset->StartTransaction() != OGRERR_NONE) std::abort();
  OGRFeature feature(layer->GetLayerDefn());
  OGRLineString line;
  line.setNumPoints(2);
  for (int i = 0; i < kLines; ++i) {
    const double x = 39500000 + (i % 1000) * 10.0;
    const double y = 3500000 + (i / 1000) * 10.0;
    line.setPoint(0, x, y);
    line.setPoint(1, x + 10, y + 10);
    feature.SetFID(OGRNullFID);
    feature.SetGeometry(&line);
    feature.SetField(0, i % 7);
    if (layer->CreateFeature(&feature) != OGRERR_NONE) std::abort();
  }
  if (transaction && dataset->CommitTransaction() != OGRERR_NONE) std::abort();
  dataset.reset();
  return Seconds(start);
}

}  // namespace

int main() {
  framora::EnsureGdalRegistered();
  char pattern[] = "/tmp/framora-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  std::printf("%d two-point lines with ID, best of 3 runs\n", kLines);
  std::printf("%-12s %12s %12s %8s\n", "format", "data layer s", "bare OGR s", "ratio");
  for (const auto& [extension, driver] : {std::pair{".gdb", "OpenFileGDB"}, std::pair{".gpkg", "GPKG"}}) {
    double ours = 1e9, bare = 1e9;
    for (int run = 0; run < 3; ++run) {
      const std::string a = (folder / ("ours" + std::to_string(run) + extension)).string();
      const std::string b = (folder / ("bare" + std::to_string(run) + extension)).string();
      ours = std::min(ours, ThroughDataLayer(a));
      bare = std::min(bare, BareOgrLoop(b, driver));
    }
    std::printf("%-12s %12.3f %12.3f %8.2f\n", driver, ours, bare, ours / bare);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
