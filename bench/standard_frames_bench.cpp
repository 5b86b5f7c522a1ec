// Builds the frames of 64 and of 512 adjoining 1:10000 sheets (km grid, every frame text,
// scale bar, adjoining-sheet table, mask), each count into one file geodatabase, and prints
// sheets per second. The cost of a sheet should not grow with the sheets already written.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "frame/frame_settings.h"
#include "frame/standard/standard_map.h"
#include "gis/gdal_setup.h"
#include "util/user_interface.h"

namespace {

using Clock = std::chrono::steady_clock;

OGRSpatialReference Srs(int epsg) {
  OGRSpatialReference srs;
  srs.importFromEPSG(epsg);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

// A block of J50 sheets 32 columns wide around the central meridian 117°, in zone 39 with
// its number (EPSG:4527).
void WriteSheetIndex(const std::string& path, int count) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference plane = Srs(4527);
  const OGRSpatialReference geographic = Srs(4490);
  std::unique_ptr<OGRCoordinateTransformation> project(OGRCreateCoordinateTransformation(&geographic, &plane));
  OGRLayer* layer = dataset->CreateLayer("sheets", &plane, wkbPolygon, nullptr);
  for (const char* name : {"TFH", "NAME"}) {
    OGRFieldDefn field(name, OFTString);
    if (layer->CreateField(&field) != OGRERR_NONE) std::fprintf(stderr, "field %s not made\n", name);
  }
  dataset->StartTransaction();
  constexpr int kColumns = 32;
  for (int i = 0; i < count; ++i) {
    const int row = 40 + i / kColumns, column = 33 + i % kColumns;
    const double west = 114 + (column - 1) * 3.75 / 60, north = 40 - (row - 1) * 2.5 / 60;
    const double xs[5] = {west, west, west + 3.75 / 60, west + 3.75 / 60, west};
    const double ys[5] = {north - 2.5 / 60, north, north, north - 2.5 / 60, north - 2.5 / 60};
    auto ring = std::make_unique<OGRLinearRing>();
    for (int k = 0; k < 5; ++k) {
      double x = xs[k], y = ys[k];
      project->Transform(1, &x, &y);
      ring->addPoint(x, y);
    }
    OGRPolygon polygon;
    polygon.addRingDirectly(ring.release());
    char number[16];
    std::snprintf(number, sizeof number, "J50G%03d%03d", row, column);
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("TFH", number);
    feature.SetField("NAME", (std::string("图幅") + number).c_str());
    feature.SetGeometry(&polygon);
    if (layer->CreateFeature(&feature) != OGRERR_NONE) std::fprintf(stderr, "sheet %s not written\n", number);
  }
  dataset->CommitTransaction();
}

framora::FrameSettings BenchSettings() {
  framora::FrameSettings s = framora::DialogDefaultSettings();
  s.ScaleFactor = 1;
  s.CentralMeridian = 117;
  s.ThreeDegreeZones = true;
  s.CoordsWithZone = true;
  s.GridType = 1;
  s.ShowKmText = true;
  s.MainTitle = "[NAME]";
  s.SubTitle1 = "[TFH]";
  s.SubTitle2 = "测试单位";
  s.ScaleBarOn = true;
  s.TitleField = "NAME";
  return s;
}

struct Timing {
  int drawn = 0;
  double seconds = 0;
};

Timing BuildFrames(const std::string& folder, int count) {
  const std::string indexPath = folder + "/index" + std::to_string(count) + ".gpkg";
  const std::string outputPath = folder + "/frames" + std::to_string(count) + ".gdb";
  WriteSheetIndex(indexPath, count);
  framora::FrameSettings settings = BenchSettings();
  framora::SilentUserInterface ui;
  GDALDatasetUniquePtr index(GDALDataset::Open(indexPath.c_str(), GDAL_OF_VECTOR));
  const auto start = Clock::now();
  framora::SheetRunSummary summary;
  {
    framora::TstandardMap map(settings, outputPath, ui,
                              framora::SheetSource{index->GetLayerByName("sheets"), "", "TFH", "[TFH]"});
    summary = map.Run();
  }  // the geodatabase is closed inside the timing
  return Timing{summary.made, std::chrono::duration<double>(Clock::now() - start).count()};
}

}  // namespace

int main() {
  framora::EnsureGdalRegistered();
  std::string pattern = (std::filesystem::temp_directory_path() / "framora-bench-XXXXXX").string();
  const std::string folder = mkdtemp(pattern.data());

  const Timing small = BuildFrames(folder, 64);
  const Timing large = BuildFrames(folder, 512);
  const double smallRate = small.drawn / small.seconds, largeRate = large.drawn / large.seconds;
  std::printf("%4d sheets: %7.2f s, %7.1f sheets/s\n", small.drawn, small.seconds, smallRate);
  std::printf("%4d sheets: %7.2f s, %7.1f sheets/s\n", large.drawn, large.seconds, largeRate);
  std::printf("rate of 64 / rate of 512: %.2f (must stay within 1.3)\n", smallRate / largeRate);

  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return small.drawn == 64 && large.drawn == 512 ? 0 : 1;
}
