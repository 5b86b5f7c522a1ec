// Draws polygon frames (1:10000, km grid, every frame text on) around 64 and then 512
// township-like polygons, each run into one fresh file geodatabase, and prints sheets
// per second.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "frame/polygon/polygon_frame.h"
#include "gis/gdal_setup.h"
#include "util/user_interface.h"

namespace {

using Clock = std::chrono::steady_clock;

// Townships of about 3 by 3 km in zone 39, each a 48-sided ring, eight to a row.
GDALDatasetUniquePtr MakeTownships(int count) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("Memory");
  GDALDatasetUniquePtr dataset(driver->Create("", 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRLayer* layer = dataset->CreateLayer("townships", &srs, wkbPolygon, nullptr);
  OGRFieldDefn field("XZQMC", OFTString);
  if (layer->CreateField(&field) != OGRERR_NONE) std::abort();
  for (int i = 0; i < count; ++i) {
    const double cx = 39502000 + (i % 8) * 4000.0;
    const double cy = 3402000 + (i / 8) * 4000.0;
    OGRLinearRing ring;
    for (int k = 0; k < 48; ++k) {
      const double angle = k * 2 * M_PI / 48;
      const double radius = 1500 + 200 * std::sin(3 * angle);
      ring.addPoint(cx + radius * std::cos(angle), cy + radius * std::sin(angle));
    }
    ring.closeRings();
    OGRPolygon polygon;
    polygon.addRing(&ring);
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("XZQMC", ("乡镇" + std::to_string(1000 + i)).c_str());
    feature.SetGeometry(&polygon);
    if (layer->CreateFeature(&feature) != OGRERR_NONE) std::abort();
  }
  return dataset;
}

framora::FrameSettings AllTextsOn() {
  framora::FrameSettings settings = framora::DialogDefaultSettings();
  settings.ScaleFactor = 1;
  settings.GridType = 1;
  settings.ShowKmText = true;
  settings.CornerLatLonOn = true;
  settings.ScaleBarOn = true;
  settings.SubTitle1 = "[XZQMC]";
  settings.SubTitle2 = "第二副标题";
  settings.LowerRightCentredTail = "YYYY年MM月";
  settings.CentralMeridian = 117;
  settings.ThreeDegreeZones = true;
  settings.CoordsWithZone = true;
  return settings;
}

void Measure(int count, const std::filesystem::path& folder) {
  GDALDatasetUniquePtr source = MakeTownships(count);
  framora::FrameSettings settings = AllTextsOn();
  framora::SilentUserInterface ui;
  const std::string output = (folder / ("frames" + std::to_string(count) + ".gdb")).string();
  const auto start = Clock::now();
  framora::SheetRunSummary summary;
  {
    framora::Tcreatetk builder(settings, output, ui, framora::SheetSource{source->GetLayer(0), "", "XZQMC", "[XZQMC]"});
    summary = builder.Run();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (summary.made != count) {
    std::fprintf(stderr, "only %d of %d sheets drawn\n", summary.made, count);
    std::exit(1);
  }
  std::printf("%4d polygon frames: %7.2f s, %7.1f sheets/s\n", count, seconds, count / seconds);
}

}  // namespace

int main() {
  framora::EnsureGdalRegistered();
  std::string pattern = (std::filesystem::temp_directory_path() / "framora-bench-XXXXXX").string();
  const std::filesystem::path folder = mkdtemp(pattern.data());
  Measure(64, folder);
  Measure(512, folder);
  std::filesystem::remove_all(folder);
  return 0;
}
