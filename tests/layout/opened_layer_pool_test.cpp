#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <string>

#include "gis/gdal_setup.h"
#include "layout/opened_layer_pool.h"
#include "util/framora_error.h"

namespace framora {
namespace {

namespace fs = std::filesystem;

// A GeoPackage of ten points, CODE 0 to 9.
std::string TenPoints(const fs::path& folder) {
  EnsureGdalRegistered();
  fs::create_directories(folder);
  const std::string path = (folder / "points.gpkg").string();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRLayer* layer = dataset ? dataset->CreateLayer("points", nullptr, wkbPoint, nullptr) : nullptr;
  if (layer == nullptr) {
    ADD_FAILURE() << "cannot make " << path;
    return path;
  }
  OGRFieldDefn code("CODE", OFTInteger);
  EXPECT_EQ(layer->CreateField(&code), OGRERR_NONE);
  for (int i = 0; i < 10; ++i) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("CODE", i);
    OGRPoint point(i, i);
    feature.SetGeometry(&point);
    EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
  return path;
}

MapLayer Points(const std::string& path, const std::string& subset = {}) {
  MapLayer layer;
  layer.name = "点";
  layer.source = path;
  layer.sourceLayer = "points";
  layer.subset = subset;
  return layer;
}

int Count(OGRLayer& layer) {
  int count = 0;
  for (auto& feature : layer) count += feature != nullptr;
  return count;
}

class OpenedLayerPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder a test of its own: tests run side by side.
    folder_ = fs::temp_directory_path() /
              (std::string("framora_opened_layer_pool_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    path_ = TenPoints(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
  std::string path_;
};

TEST_F(OpenedLayerPoolTest, ARunLendsTheSameLayerAgainAsItWasFirstOpened) {
  OGRLayer* first = nullptr;
  {
    OpenedLayerPool::KeepOpen run;
    {
      OpenedLayerPool::Lent lent = OpenedLayerPool::Borrow(Points(path_));
      first = lent.layer();
      ASSERT_NE(first, nullptr);
      // A renderer leaves it filtered and half read.
      first->SetSpatialFilterRect(-0.5, -0.5, 2.5, 2.5);
      first->ResetReading();
      OGRFeatureUniquePtr(first->GetNextFeature());
    }
    EXPECT_EQ(OpenedLayerPool::IdleCount(), 1u);
    OpenedLayerPool::Lent again = OpenedLayerPool::Borrow(Points(path_));
    EXPECT_EQ(again.layer(), first);
    EXPECT_EQ(Count(*again.layer()), 10) << "the filter and the reading went with the first holder";
    // Two holders at once never share one: renderers draw on different threads.
    OpenedLayerPool::Lent second = OpenedLayerPool::Borrow(Points(path_));
    EXPECT_NE(second.layer(), again.layer());
    // The definition query makes another layer.
    OpenedLayerPool::Lent some = OpenedLayerPool::Borrow(Points(path_, "CODE < 4"));
    EXPECT_EQ(Count(*some.layer()), 4);
    EXPECT_EQ(OpenedLayerPool::IdleCount(), 0u);
  }
  // The run over, nothing stays open: the user may change the file now.
  EXPECT_EQ(OpenedLayerPool::IdleCount(), 0u);
}

TEST_F(OpenedLayerPoolTest, OutsideARunLayersGivenBackAreClosed) {
  {
    OpenedLayerPool::Lent lent = OpenedLayerPool::Borrow(Points(path_));
    EXPECT_EQ(Count(*lent.layer()), 10);
    OpenedLayerPool::Lent moved = std::move(lent);
    EXPECT_EQ(lent.layer(), nullptr);
    EXPECT_EQ(Count(*moved.layer()), 10);
  }
  EXPECT_EQ(OpenedLayerPool::IdleCount(), 0u);
  EXPECT_THROW(OpenedLayerPool::Borrow(Points((folder_ / "missing.gpkg").string())), FramoraError);
  MapLayer wrongLayer = Points(path_);
  wrongLayer.sourceLayer = "lines";
  OpenedLayerPool::KeepOpen run;
  EXPECT_THROW(OpenedLayerPool::Borrow(wrongLayer), FramoraError);
  EXPECT_EQ(OpenedLayerPool::IdleCount(), 0u);
}

}  // namespace
}  // namespace framora
