#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "layout/layout_test_support.h"

namespace framora {
namespace {

// Runs a command and returns its exit status and what it printed.
int RunCommand(const std::string& command, std::string& printed) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) printed += buffer.data();
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool QgisAvailable() {
  std::string ignored;
  return std::filesystem::exists("/usr/bin/python3") &&
         RunCommand("QT_QPA_PLATFORM=offscreen /usr/bin/python3 -c 'import qgis.core'", ignored) == 0;
}

class QgisOpensTheMapDocument : public testing::SheetLayoutTest {};

TEST_F(QgisOpensTheMapDocument, WithValidLayersAndTheLayoutAtTheMapScale) {
  if (!QgisAvailable()) GTEST_SKIP() << "QGIS's Python bindings are not installed";
  // An image under the user's layers, in the map's coordinate system.
  {
    GDALDatasetUniquePtr image(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        folder.file("image.tif").c_str(), 32, 32, 3, GDT_Byte, nullptr));
    double transform[6] = {2420, (5580 - 2420) / 32.0, 0, 4480, 0, -(4480 - 1520) / 32.0};
    image->SetGeoTransform(transform);
    image->SetProjection(control->layout().spatialReferenceWkt.c_str());
    for (int band = 1; band <= 3; ++band) image->GetRasterBand(band)->Fill(60 * band);
  }
  LayoutLayer image;
  image.data.name = "image";
  image.data.source = folder.file("image.tif");
  image.data.isVector = false;
  image.data.isRaster = true;
  image.data.styleXml = "<qgis><pipe><rasterrenderer type=\"multibandcolor\" redBand=\"1\" greenBand=\"2\" "
                        "blueBand=\"3\" opacity=\"1\"/></pipe></qgis>";
  control->layout().frames[0].layers.push_back(image);
  auto builder = makeBuilder("frames.gdb");
  buildSheet(*builder);
  builder.reset();  // the geodatabase is complete once its writer is closed
  ASSERT_TRUE(ui.messages.empty()) << ui.messages.front();

  const auto script = std::filesystem::path(FRAMORA_LAYOUT_TEST_DIR) / "check_map_document.py";
  std::string printed;
  const int status = RunCommand("QT_QPA_PLATFORM=offscreen /usr/bin/python3 '" + script.string() + "' '" + output("S.qgs") +
                             "' S 316 296 10000 2420 1520 5580 4480",
                         printed);
  EXPECT_EQ(status, 0) << printed;
}

}  // namespace
}  // namespace framora
