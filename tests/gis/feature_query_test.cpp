#include <gtest/gtest.h>

#include "gis/feature_class.h"
#include "support/test_geometry.h"
#include "gis/geometry.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::TempFolder;

// A small sheet index: four 1 km squares in a row, named and numbered.
class SheetIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace = CreateWorkspace(OutputPath(folder.file("index.gpkg")));
    GDALDataset& dataset = workspace->dataset();
    layer = dataset.CreateLayer("sheets", nullptr, wkbPolygon, nullptr);
    OGRFieldDefn name("TFH", OFTString);
    OGRFieldDefn group("Grp", OFTString);
    OGRFieldDefn number("Num", OFTInteger);
    ASSERT_EQ(layer->CreateField(&name), OGRERR_NONE);
    ASSERT_EQ(layer->CreateField(&group), OGRERR_NONE);
    ASSERT_EQ(layer->CreateField(&number), OGRERR_NONE);
    const char* names[] = {"b-2", "A-1", "c-3", "D-4"};
    for (int i = 0; i < 4; ++i) {
      OGRFeature feature(layer->GetLayerDefn());
      feature.SetField("TFH", names[i]);
      if (i != 2) feature.SetField("Grp", i < 2 ? "x" : "y");
      feature.SetField("Num", i + 1);
      feature.SetGeometry(EnvelopePolygon({i * 1000.0, 0, (i + 1) * 1000.0, 1000}).get());
      ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
  }
  TempFolder folder;
  std::unique_ptr<Workspace> workspace;
  OGRLayer* layer = nullptr;
};

TEST_F(SheetIndex, FieldValuesComeAsTextWithNullsEmptyAndMissingFieldsAsNothing) {
  layer->ResetReading();
  OGRFeatureUniquePtr first(layer->GetNextFeature());
  EXPECT_EQ(FieldIndex(*first, "TFH"), 0);
  EXPECT_LT(FieldIndex(*first, "Nope"), 0);
  EXPECT_EQ(FieldValue(*first, "TFH"), "b-2");
  EXPECT_EQ(FieldValue(*first, "Num"), "1");
  EXPECT_EQ(FieldValue(*first, "Nope"), std::nullopt);
  layer->SetNextByIndex(2);
  OGRFeatureUniquePtr third(layer->GetNextFeature());
  EXPECT_EQ(FieldValue(*third, "Grp"), "");
}

TEST_F(SheetIndex, AFieldNamesSheetsWhenEveryFeatureHasItsOwnValue) {
  EXPECT_TRUE(FieldTellsFeaturesApart(*layer, "TFH"));
  EXPECT_FALSE(FieldTellsFeaturesApart(*layer, "Grp"));
  EXPECT_FALSE(FieldTellsFeaturesApart(*layer, "Nope"));
}

TEST_F(SheetIndex, TheObjectIdentifierNamesSheetsWithoutAFieldOfItsName) {
  EXPECT_TRUE(FieldTellsFeaturesApart(*layer, "FID"));
  layer->ResetReading();
  OGRFeatureUniquePtr first(layer->GetNextFeature());
  EXPECT_EQ(FieldValue(*first, "fid"), std::to_string(first->GetFID()));
  OGRFeatureUniquePtr second(layer->GetNextFeature());
  EXPECT_NE(FieldValue(*second, "FID"), FieldValue(*first, "FID"));
}

TEST_F(SheetIndex, WhereClausesFilterAndABrokenOneIsAClearError) {
  EXPECT_EQ(CountFeatures(*layer, "Num > 2"), 2);
  EXPECT_EQ(CountFeatures(*layer, ""), 4);
  EXPECT_EQ(AttributeQuery(*layer, "TFH = 'A-1'").size(), 1u);
  try {
    CountFeatures(*layer, "Num >>> 'x");
    FAIL() << "a clause that does not parse must be refused";
  } catch (const FramoraError& error) {
    EXPECT_EQ(std::string(error.what()), "查询条件错误：Num >>> 'x");
  }
  EXPECT_THROW(CountFeatures(*layer, "NoSuchField = 1"), FramoraError);
  EXPECT_EQ(CountFeatures(*layer, ""), 4) << "a refused clause leaves the layer unfiltered";
}

TEST_F(SheetIndex, SpatialSearchComparesShapesNotEnvelopes) {
  // A point at the shared corner of sheets 1 and 2 touches both.
  OGRPoint corner(1000, 1000);
  EXPECT_EQ(SpatialSearch(*layer, corner, "").size(), 2u);
  OGRPoint inside(1500, 500);
  auto found = SpatialSearch(*layer, inside, "");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_STREQ(found[0]->GetFieldAsString("TFH"), "A-1");
  // A diagonal line whose envelope covers sheet 3 but whose shape does not reach it.
  OGRLineString diagonal;
  diagonal.addPoint(100, 100);
  diagonal.addPoint(1900, 900);
  EXPECT_EQ(SpatialSearch(*layer, diagonal, "").size(), 2u);
  EXPECT_EQ(SpatialSearch(*layer, diagonal, "Num = 1").size(), 1u);
}

TEST(StoreFeature, AFailedStoreNamesTheClass) {
  TempFolder folder;
  auto workspace = CreateWorkspace(OutputPath(folder.file("out.gpkg")));
  auto dataset = CreateFeatureDataset(*workspace, "yA", nullptr);
  OGRLayer* lines = CreateFeatureClass(*dataset, "L_A", MakeFieldTemplate(wkbLineString, 1000));
  // A read-only copy refuses every insert.
  workspace.reset();
  GDALDatasetUniquePtr readOnly(GDALDataset::Open(folder.file("out.gpkg").c_str(), GDAL_OF_VECTOR));
  lines = readOnly->GetLayerByName("L_A");
  try {
    StoreFeature(*lines, *testing::LineBetween(0, 0, 1, 1), 1);
    FAIL() << "a read-only class took a feature";
  } catch (const FramoraError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("保存失败：L_A", 0), 0u) << error.what();
  }
}

}  // namespace
}  // namespace framora
