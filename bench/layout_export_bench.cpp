// Exports one 1:10000 standard sheet (3'45" x 2'30" at 116d30'E 39d50'N, CGCS2000 zone 39,
// a page of about 650 x 560 mm) to .JPG and .TIF at 96 and 300 dpi, and at 300 dpi over
// 2.5 m imagery, and prints seconds per page and the peak memory of each run. Each run is a
// process of its own, so that its peak is its own.
//
//   layout_export_bench            all six runs
//   layout_export_bench run DATA DPI EXT PAGES [imagery]
#include <QGuiApplication>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../tests/layout/sample_sheet.h"
#include "../tests/support/sheet_writer.h"
#include "app/driver/sample_imagery.h"
#include "gis/gdal_setup.h"
#include "gis/map_document.h"
#include "layout/gui_application.h"
#include "layout/page_layout_control.h"
#include "layout/picture_export.h"
#include "util/files.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kLongitude = 116.5, kLatitude = 39.0 + 50.0 / 60;
constexpr double kSheetWidth = 3.75 / 60, kSheetHeight = 2.5 / 60;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// The plane envelope of a block of sheets, columns x rows, starting at the bench sheet.
framora::Envelope PlaneBlock(int columns, int rows) {
  OGRSpatialReference geographic, plane = framora::testing::SampleReference();
  geographic.importFromEPSG(4490);
  geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRCoordinateTransformation* toPlane = OGRCreateCoordinateTransformation(&geographic, &plane);
  framora::Envelope box{1e300, 1e300, -1e300, -1e300};
  for (double lon : {kLongitude, kLongitude + columns * kSheetWidth})
    for (double lat : {kLatitude, kLatitude + rows * kSheetHeight}) {
      double x = lon, y = lat;
      toPlane->Transform(1, &x, &y);
      box = {std::min(box.xmin, x), std::min(box.ymin, y), std::max(box.xmax, x), std::max(box.ymax, y)};
    }
  OGRCoordinateTransformation::DestroyCT(toPlane);
  return box;
}

framora::FrameSettings BenchSettings() {
  framora::FrameSettings settings;
  settings.ScaleFactor = 1;
  settings.InnerToOuterGap = 80;
  return settings;
}

// The user's map (500 parcels over an 8 x 8 block of sheets, as QGIS's benchmark has it),
// imagery of 2.5 m pixels over the sheet and beyond, and the sheet's frame in a geodatabase.
void MakeData(const std::string& folder) {
  framora::testing::WriteUserMap(folder + "/user.gpkg", PlaneBlock(8, 8), 500);
  framora::SampleScene scene;
  scene.block = PlaneBlock(1, 1);
  char* wkt = nullptr;
  framora::testing::SampleReference().exportToWkt(&wkt);
  framora::WriteSampleImagery(folder + "/imagery.tif", scene, wkt ? wkt : "", 2.5);
  CPLFree(wkt);
  framora::FrameSettings settings = BenchSettings();
  framora::SilentUserInterface ui;
  framora::testing::SheetWriter builder(settings, folder + "/frames.gdb", ui);
  framora::testing::SampleSheetParts parts;
  parts.kmLabels = true;
  framora::testing::WriteSampleSheet(builder, "J50G001001", PlaneBlock(1, 1), parts);
}

// One run: pages exports of the sheet, over the imagery when asked; prints a line of figures.
int Run(const std::string& folder, int dpi, const std::string& extension, int pages, bool imagery) {
  framora::EnsureGdalRegistered();
  framora::FrameSettings settings = BenchSettings();
  settings.ExportDpi = dpi;
  settings.PictureType = extension;
  framora::SilentUserInterface ui;
  auto document = framora::MapDocument::Open(folder + "/user.gpkg");
  const std::string outputFolder = folder + "/out" + std::to_string(dpi);
  framora::PageLayoutControl control(*document, settings, outputFolder);
  if (imagery) {
    framora::LayoutLayer image;
    image.data.name = "imagery";
    image.data.source = folder + "/imagery.tif";
    image.data.isVector = false;
    image.data.isRaster = true;
    image.data.styleXml = "<qgis><pipe><rasterrenderer type=\"multibandcolor\" redBand=\"1\" greenBand=\"2\" "
                          "blueBand=\"3\"/><rasterresampler zoomedInResampler=\"bilinear\" "
                          "zoomedOutResampler=\"bilinear\"/></pipe></qgis>";
    control.layout().frames[0].layers.push_back(image);  // under the parcels
  }
  framora::testing::SheetWriter builder(settings, folder + "/frames.gdb", ui);
  const framora::Envelope inner = PlaneBlock(1, 1);
  framora::testing::WriteSampleSheet(builder, "J50G001001", inner);  // reopens the stored sheet

  // The first page lays the sheet out (and saves its map document); then the picture alone.
  const auto documentStart = Clock::now();
  control.BuildSheetDocument(builder.Finished(inner));
  const double firstPage = Seconds(documentStart);
  const std::string picture = outputFolder + "/J50G001001" + extension;
  const auto start = Clock::now();
  for (int page = 0; page < pages; ++page) framora::ExportActiveView(control, picture, dpi);
  const double perPage = Seconds(start) / pages;

  const framora::PixelSize size = framora::ExportPixelSize(control.layout().page, dpi);
  std::printf("%4d dpi %s%s  page %.0f x %.0f mm  %5d x %5d px  %6.3f s/page  (first page with document %.3f s)  "
              "peak %6.1f MB  file %.1f MB\n",
              dpi, extension.c_str(), imagery ? " over imagery" : "", control.layout().page.width,
              control.layout().page.height, size.width,
              size.height, perPage, firstPage, PeakMegabytes(), fs::file_size(picture) / 1048576.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 6 || argc == 7) && std::string(argv[1]) == "run") {
    framora::DrawOffscreenUnlessAsked();
    QGuiApplication application(argc, argv);
    return Run(argv[2], std::atoi(argv[3]), argv[4], std::atoi(argv[5]), argc == 7);
  }

  framora::EnsureGdalRegistered();
  std::string pattern = (fs::temp_directory_path() / "framora-layout-bench-XXXXXX").string();
  const std::string folder = mkdtemp(pattern.data());
  MakeData(folder);
  std::printf("Exporting one 1:10000 standard sheet; bands of at most %zu MB of pixels.\n",
              framora::kExportBandBudgetBytes >> 20);
  int failures = 0;
  struct Case {
    int dpi, pages;
    const char* extension;
    bool imagery;
  };
  for (const Case& run : {Case{96, 10, ".JPG", false}, Case{96, 10, ".TIF", false}, Case{300, 3, ".JPG", false},
                          Case{300, 3, ".TIF", false}, Case{300, 3, ".JPG", true}, Case{300, 3, ".TIF", true}}) {
    const pid_t child = fork();
    if (child == 0) {
      const std::string program = framora::ProgramFolder() + "layout_export_bench";
      const std::string dpiText = std::to_string(run.dpi), pagesText = std::to_string(run.pages);
      execl(program.c_str(), program.c_str(), "run", folder.c_str(), dpiText.c_str(), run.extension, pagesText.c_str(),
            run.imagery ? "imagery" : static_cast<char*>(nullptr), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::printf("QGIS Atlas on this machine kind (anchor): 0.047 s/page at 96 dpi, 0.34 s/page at 300 dpi (JPG), "
              "peak 248 MB and 434 MB.\n");
  framora::DeleteFolderTree(folder);
  return failures;
}
