#include "app/driver/sample_data.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/driver/sample_imagery.h"
#include "gis/gdal_setup.h"
#include "support/temp_folder.h"

namespace framora {
namespace {

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The bundled sample is what "framora-cli sample" writes: the same project, the same
// classes and the same imagery, pixel for pixel (JPEG decoders may round a level apart).
TEST(SampleData, TheBundledSampleIsWhatTheGeneratorWrites) {
  EnsureGdalRegistered();
  testing::TempFolder folder;
  MakeSampleData(folder.file("sample"));
  const std::string bundled = FRAMORA_SAMPLE_DIR;
  EXPECT_EQ(FileText(folder.file("sample/sample.qgs")), FileText(bundled + "/sample.qgs"))
      << "run framora-cli sample resources/sample";

  GDALDatasetUniquePtr made(GDALDataset::Open(folder.file("sample/sample.gpkg").c_str(), GDAL_OF_VECTOR));
  GDALDatasetUniquePtr kept(GDALDataset::Open((bundled + "/sample.gpkg").c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(made && kept);
  ASSERT_EQ(made->GetLayerCount(), kept->GetLayerCount());
  for (int i = 0; i < made->GetLayerCount(); ++i) {
    OGRLayer* ours = made->GetLayer(i);
    OGRLayer* theirs = kept->GetLayerByName(ours->GetName());
    ASSERT_NE(theirs, nullptr) << ours->GetName();
    EXPECT_EQ(ours->GetFeatureCount(), theirs->GetFeatureCount()) << ours->GetName();
    EXPECT_EQ(ours->GetLayerDefn()->GetFieldCount(), theirs->GetLayerDefn()->GetFieldCount()) << ours->GetName();
    OGREnvelope a, b;
    ASSERT_EQ(ours->GetExtent(&a), OGRERR_NONE);
    ASSERT_EQ(theirs->GetExtent(&b), OGRERR_NONE);
    EXPECT_NEAR(a.MinX, b.MinX, 1e-6);
    EXPECT_NEAR(a.MaxY, b.MaxY, 1e-6);
  }

  GDALDatasetUniquePtr image(GDALDataset::Open(folder.file("sample/imagery.tif").c_str(), GDAL_OF_RASTER));
  GDALDatasetUniquePtr keptImage(GDALDataset::Open((bundled + "/imagery.tif").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(image && keptImage);
  ASSERT_EQ(image->GetRasterXSize(), keptImage->GetRasterXSize());
  ASSERT_EQ(image->GetRasterYSize(), keptImage->GetRasterYSize());
  ASSERT_EQ(image->GetRasterCount(), 3);
  double transform[6], keptTransform[6];
  ASSERT_EQ(image->GetGeoTransform(transform), CE_None);
  ASSERT_EQ(keptImage->GetGeoTransform(keptTransform), CE_None);
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(transform[i], keptTransform[i]);
  EXPECT_DOUBLE_EQ(transform[1], kSampleImageryResolution);
  EXPECT_GE(image->GetRasterBand(1)->GetOverviewCount(), 3) << "overviews for small scales";
  const int width = image->GetRasterXSize(), height = image->GetRasterYSize();
  for (int band = 1; band <= 3; ++band) {
    std::vector<GByte> ours(static_cast<size_t>(width) * height), theirs(ours.size());
    ASSERT_EQ(image->GetRasterBand(band)->RasterIO(GF_Read, 0, 0, width, height, ours.data(), width, height, GDT_Byte,
                                                   0, 0),
              CE_None);
    ASSERT_EQ(keptImage->GetRasterBand(band)->RasterIO(GF_Read, 0, 0, width, height, theirs.data(), width, height,
                                                       GDT_Byte, 0, 0),
              CE_None);
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) worst = std::max(worst, std::abs(ours[i] - theirs[i]));
    EXPECT_LE(worst, 2) << "band " << band;
  }
  EXPECT_LT(std::filesystem::file_size(bundled + "/imagery.tif"), 4u << 20) << "the sample stays small";
}

// The imagery looks like ground: fields, woods, water and town in their colours, not noise
// or a flat fill, and the lake the townships leave out is water.
TEST(SampleData, TheImageryShowsTheScenesWaterAndVariedGround) {
  EnsureGdalRegistered();
  testing::TempFolder folder;
  SampleScene scene;
  scene.block = Envelope{0, 0, 4000, 3000};
  scene.lakes.push_back({{2000, 1500}, {2000, 2000}, {2600, 2000}, {2600, 1500}});
  scene.roads.push_back({{0, 1000}, {4000, 1100}});
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);
  char* wkt = nullptr;
  srs.exportToWkt(&wkt);
  WriteSampleImagery(folder.file("i.tif"), scene, wkt);
  CPLFree(wkt);
  GDALDatasetUniquePtr image(GDALDataset::Open(folder.file("i.tif").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(image);
  double transform[6];
  image->GetGeoTransform(transform);
  const auto colour = [&](double x, double y) {
    std::vector<int> rgb;
    for (int band = 1; band <= 3; ++band) {
      GByte value = 0;
      const int column = static_cast<int>((x - transform[0]) / transform[1]);
      const int row = static_cast<int>((y - transform[3]) / transform[5]);
      EXPECT_EQ(image->GetRasterBand(band)->RasterIO(GF_Read, column, row, 1, 1, &value, 1, 1, GDT_Byte, 0, 0), CE_None);
      rgb.push_back(value);
    }
    return rgb;
  };
  const std::vector<int> lake = colour(2300, 1750);
  EXPECT_LT(lake[0], 90);
  EXPECT_GT(lake[2], lake[0]) << "water is bluer than it is red";
  const std::vector<int> road = colour(2000, 1050);
  EXPECT_NEAR(road[0], road[2], 12) << "asphalt is grey";
  // Fields of several crops across the ground, greener than they are blue.
  int distinct = 0, green = 0;
  std::vector<int> previous;
  for (int i = 0; i < 40; ++i) {
    const std::vector<int> ground = colour(3000 + (i % 8) * 110, 1300 + (i / 8) * 280);
    green += ground[1] > ground[2];
    distinct += !previous.empty() && std::abs(ground[1] - previous[1]) > 10;
    previous = ground;
  }
  EXPECT_GT(green, 30);
  EXPECT_GT(distinct, 10);
}

}  // namespace
}  // namespace framora
