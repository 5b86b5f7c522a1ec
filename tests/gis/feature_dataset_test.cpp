#include "gis/feature_dataset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "gis/buffered_insert.h"
#include "gis/feature_class.h"
#include "gis/geometry.h"
#include "gis/text_class.h"
#include "support/temp_folder.h"
#include "support/test_geometry.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::TempFolder;

// The feature datasets a geodatabase shows through GDAL's groups.
std::vector<std::string> FeatureDatasetNamesSeenByGdal(GDALDataset& dataset) {
  auto root = dataset.GetRootGroup();
  return root ? root->GetGroupNames() : std::vector<std::string>{};
}

OGRSpatialReference Cgcs2000Zone39() {
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);  // CGCS2000 3-degree zone 39, with zone number
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

// Runs each case on a file geodatabase and on a GeoPackage.
class OutputClasses : public ::testing::TestWithParam<const char*> {
 protected:
  std::string path() const { return folder.file(std::string("out") + GetParam()); }
  GDALDatasetUniquePtr reopen() const {
    return GDALDatasetUniquePtr(GDALDataset::Open(path().c_str(), GDAL_OF_VECTOR));
  }
  TempFolder folder;
};

TEST_P(OutputClasses, SheetClassesAreStoredWithFieldsInOrderAndTheirSpatialReference) {
  {
    auto workspace = CreateWorkspace(OutputPath(path()));
    const OGRSpatialReference srs = Cgcs2000Zone39();
    auto dataset = CreateFeatureDataset(*workspace, "yE45G095066", &srs,
                                        SpatialDomain{39000000, 3000000, 40000000, 4000000});
    ASSERT_TRUE(dataset);
    OGRLayer* lines = CreateFeatureClass(*dataset, "L_E45G095066", MakeFieldTemplate(wkbLineString, 1000));
    OGRLayer* polygons = CreateFeatureClass(*dataset, "p_E45G095066", MakeFieldTemplate(wkbPolygon, 1000));
    ASSERT_NE(lines, nullptr);
    ASSERT_NE(polygons, nullptr);
    BufferedInsert insert(*workspace, *lines);
    insert.insertLine(1, 39500000, 3500000, 39500100, 3500000);
    insert.insertLine(2, 39500000, 3500000, 39500000, 3500100);
    insert.flush();
    StoreFeature(*polygons, *EnvelopePolygon({39500000, 3500000, 39500100, 3500100}), 100);
  }
  auto reopened = reopen();
  ASSERT_TRUE(reopened);
  OGRLayer* lines = reopened->GetLayerByName("L_E45G095066");
  ASSERT_NE(lines, nullptr);
  EXPECT_STREQ(lines->GetFIDColumn(), "OBJECTID");
  EXPECT_STREQ(lines->GetGeometryColumn(), "Shape");
  ASSERT_EQ(lines->GetLayerDefn()->GetFieldCount(), 1);
  EXPECT_STREQ(lines->GetLayerDefn()->GetFieldDefn(0)->GetNameRef(), "ID");
  EXPECT_EQ(lines->GetLayerDefn()->GetFieldDefn(0)->GetType(), OFTInteger);
  EXPECT_EQ(wkbFlatten(lines->GetGeomType()) == wkbLineString || wkbFlatten(lines->GetGeomType()) == wkbMultiLineString,
            true);
  ASSERT_NE(lines->GetSpatialRef(), nullptr);
  EXPECT_STREQ(lines->GetSpatialRef()->GetAuthorityCode(nullptr), "4527");
  EXPECT_EQ(lines->GetFeatureCount(), 2);
  std::vector<int> ids;
  for (auto& feature : *lines) ids.push_back(feature->GetFieldAsInteger("ID"));
  EXPECT_EQ(ids, (std::vector<int>{1, 2}));
  OGRLayer* polygons = reopened->GetLayerByName("p_E45G095066");
  ASSERT_NE(polygons, nullptr);
  EXPECT_EQ(polygons->GetFeatureCount(), 1);
  polygons->ResetReading();
  OGRFeatureUniquePtr polygon(polygons->GetNextFeature());
  EXPECT_EQ(polygon->GetFieldAsInteger("ID"), 100);
  EXPECT_NEAR(testing::AreaOf(*polygon->GetGeometryRef()), 10000.0, 1e-3);
}

TEST_P(OutputClasses, ACoordinateSystemWithoutACodeServesEveryClassOfTheDataset) {
  for (const char* definition : {"+proj=tmerc +lat_0=0 +lon_0=117 +k=1 +x_0=500000 +y_0=0 +ellps=GRS80 +units=m",
                                 "+proj=longlat +a=6378000 +rf=298.1 +no_defs"}) {
    SCOPED_TRACE(definition);
    OGRSpatialReference srs;
    ASSERT_EQ(srs.importFromProj4(definition), OGRERR_NONE);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    auto workspace = CreateWorkspace(OutputPath(path()));
    const std::string name = srs.IsGeographic() ? "G" : "P";
    auto dataset = CreateFeatureDataset(*workspace, "y" + name, &srs, SpatialDomain{0, 0, 1000, 1000});
    ASSERT_TRUE(dataset);
    EXPECT_NE(CreateFeatureClass(*dataset, "L_" + name, MakeFieldTemplate(wkbLineString, 1000)), nullptr);
    EXPECT_NE(CreateFeatureClass(*dataset, "p_" + name, MakeFieldTemplate(wkbPolygon, 1000)), nullptr);
    EXPECT_NE(CreateFeatureClass(*dataset, "A_" + name, MakeFieldTemplate(wkbPolygon, 1000)), nullptr);
    EXPECT_NE(CreateAnnotationClass(*workspace, "T_" + name, &*dataset, nullptr, 1000), nullptr);
    workspace.reset();
    auto reopened = reopen();
    ASSERT_TRUE(reopened);
    for (const std::string& member : {"L_" + name, "p_" + name, "T_" + name}) {
      const OGRSpatialReference* stored = reopened->GetLayerByName(member.c_str())->GetSpatialRef();
      ASSERT_NE(stored, nullptr) << member;
      EXPECT_EQ(stored->IsGeographic(), srs.IsGeographic()) << member;
    }
    reopened.reset();
    // A dataset an earlier run left empty (its classes removed) is made anew in the
    // dataset it finds.
    {
      auto emptied = OpenWorkspace(OutputPath(path()));
      for (int i = emptied->dataset().GetLayerCount() - 1; i >= 0; --i)
        ASSERT_EQ(emptied->dataset().DeleteLayer(i), OGRERR_NONE);
    }
    {
      auto again = OpenWorkspace(OutputPath(path()));
      ASSERT_FALSE(FeatureDatasetExists(*again, "y" + name));
      auto remade = CreateFeatureDataset(*again, "y" + name, &srs, SpatialDomain{0, 0, 1000, 1000});
      ASSERT_TRUE(remade);
      EXPECT_NE(CreateFeatureClass(*remade, "L_" + name, MakeFieldTemplate(wkbLineString, 1000)), nullptr);
      EXPECT_NE(CreateAnnotationClass(*again, "T_" + name, &*remade, nullptr, 1000), nullptr);
    }
    reopened = reopen();
    ASSERT_TRUE(reopened);
    EXPECT_NE(reopened->GetLayerByName(("L_" + name).c_str()), nullptr);
    EXPECT_NE(reopened->GetLayerByName(("T_" + name).c_str()), nullptr);
    reopened.reset();
    std::filesystem::remove_all(path());
  }
}

TEST_P(OutputClasses, DatasetsAreFoundByNameOrMemberWithoutRegardToCase) {
  {
    auto workspace = CreateWorkspace(OutputPath(path()));
    EXPECT_FALSE(FeatureDatasetExists(*workspace, "yA_1_2"));
    auto dataset = CreateFeatureDataset(*workspace, "yA_1_2", nullptr);
    ASSERT_TRUE(dataset);
    CreateFeatureClass(*dataset, "L_A-1.2", MakeFieldTemplate(wkbLineString, 1000));
    EXPECT_TRUE(FeatureDatasetExists(*workspace, "YA_1_2"));
    EXPECT_TRUE(FeatureDatasetExists(*workspace, "l_a_1_2"));
    EXPECT_FALSE(CreateFeatureDataset(*workspace, "ya_1_2", nullptr)) << "a taken name gives nothing";
  }
  auto workspace = OpenWorkspace(OutputPath(path()));
  ASSERT_TRUE(workspace);
  EXPECT_TRUE(FeatureDatasetExists(*workspace, "ya_1_2"));
  EXPECT_TRUE(FeatureDatasetExists(*workspace, "L_A_1_2"));
  EXPECT_FALSE(FeatureDatasetExists(*workspace, "yA_1"));
  EXPECT_NE(OpenFeatureClass(*workspace, "l_a_1_2"), nullptr);
}

TEST_P(OutputClasses, ClassNamesGetUnderscoresAndAFailureEndsTheJob) {
  auto workspace = CreateWorkspace(OutputPath(path()));
  auto dataset = CreateFeatureDataset(*workspace, "yA_1_2", nullptr);
  ASSERT_TRUE(dataset);
  OGRLayer* layer = CreateFeatureClass(*dataset, "L_A-1.2", MakeFieldTemplate(wkbLineString, 1000));
  EXPECT_STREQ(layer->GetName(), "L_A_1_2");
  try {
    CreateFeatureClass(*dataset, "L_A.1-2", MakeFieldTemplate(wkbLineString, 1000));
    FAIL() << "a second class of the same cleaned name cannot be made";
  } catch (const FramoraError& error) {
    EXPECT_STREQ(error.what(), "不能创立表L_A_1_2");
  }
}

TEST_P(OutputClasses, TextsKeepTheirSymbolAndTheClassItsReferenceScale) {
  {
    auto workspace = CreateWorkspace(OutputPath(path()));
    const OGRSpatialReference srs = Cgcs2000Zone39();
    auto dataset = CreateFeatureDataset(*workspace, "yS", &srs);
    CreateFeatureClass(*dataset, "L_S", MakeFieldTemplate(wkbLineString, 1000));
    OGRLayer* texts = CreateAnnotationClass(*workspace, "a_S", &*dataset, nullptr, 50000);
    ASSERT_NE(texts, nullptr);
    LogicalFont font = FontOfPointSize("黑体", 20, 0x0000FF);  // red in the lowest byte
    font.weight = 700;
    const TextSymbol symbol = MakeTextSymbol(font, 30, -1, HorizontalAnchorOf(2), VerticalAnchorOf(3));
    workspace->beginBatch();
    EXPECT_TRUE(AddTextElement(*texts, "  图廓 ", 39500000, 3500000, symbol));
    EXPECT_FALSE(AddTextElement(*texts, "   ", 39500000, 3500000, symbol));
    workspace->endBatch();
    EXPECT_TRUE(FeatureDatasetExists(*workspace, "A_s"));
    EXPECT_DOUBLE_EQ(StoredReferenceScale(*workspace, "a_S"), 50000);
  }
  auto reopened = reopen();
  OGRLayer* texts = reopened->GetLayerByName("a_S");
  ASSERT_NE(texts, nullptr);
  ASSERT_EQ(texts->GetFeatureCount(), 1);
  ASSERT_NE(texts->GetSpatialRef(), nullptr);
  texts->ResetReading();
  OGRFeatureUniquePtr text(texts->GetNextFeature());
  EXPECT_STREQ(text->GetFieldAsString("TextString"), "  图廓 ");
  EXPECT_STREQ(text->GetFieldAsString("FontName"), "黑体");
  EXPECT_DOUBLE_EQ(text->GetFieldAsDouble("FontSize"), 20);
  EXPECT_EQ(text->GetFieldAsInteger("Bold"), 1);
  EXPECT_EQ(text->GetFieldAsInteger("Color"), 0xFF0000);
  EXPECT_EQ(text->GetFieldAsInteger("HorizontalAlignment"), 1);
  EXPECT_EQ(text->GetFieldAsInteger("VerticalAlignment"), 3);
  EXPECT_DOUBLE_EQ(text->GetFieldAsDouble("CharacterSpacing"), 30);

  auto workspace = OpenWorkspace(OutputPath(path()));
  EXPECT_DOUBLE_EQ(StoredReferenceScale(*workspace, "A_S"), 50000);
}

TEST_P(OutputClasses, ADeletedDatasetNoLongerCountsAsMade) {
  {
    auto workspace = CreateWorkspace(OutputPath(path()));
    auto dataset = CreateFeatureDataset(*workspace, "yHalf", nullptr);
    CreateFeatureClass(*dataset, "L_Half", MakeFieldTemplate(wkbLineString, 1000));
    CreateAnnotationClass(*workspace, "a_Half", &*dataset, nullptr, 10000);
    EXPECT_TRUE(DeleteFeatureDataset(*workspace, "yHalf"));
    EXPECT_FALSE(FeatureDatasetExists(*workspace, "yHalf"));
  }
  auto workspace = OpenWorkspace(OutputPath(path()));
  EXPECT_FALSE(FeatureDatasetExists(*workspace, "yHalf"));
  EXPECT_EQ(OpenFeatureClass(*workspace, "L_Half"), nullptr);
  auto again = CreateFeatureDataset(*workspace, "yHalf", nullptr);
  ASSERT_TRUE(again);
  EXPECT_NE(CreateFeatureClass(*again, "L_Half", MakeFieldTemplate(wkbLineString, 1000)), nullptr);
}

TEST_P(OutputClasses, AFailedSheetLeavesNoEmptyDatasetButOneMadeAgainStays) {
  {
    auto workspace = CreateWorkspace(OutputPath(path()));
    for (const char* sheet : {"Gone", "Again"}) {
      auto dataset = CreateFeatureDataset(*workspace, std::string("y") + sheet, nullptr);
      CreateFeatureClass(*dataset, std::string("L_") + sheet, MakeFieldTemplate(wkbLineString, 1000));
      EXPECT_TRUE(DeleteFeatureDataset(*workspace, std::string("y") + sheet));
    }
    auto again = CreateFeatureDataset(*workspace, "yAgain", nullptr);
    ASSERT_TRUE(again);
    CreateFeatureClass(*again, "L_Again", MakeFieldTemplate(wkbLineString, 1000));
  }
  // What other programs see: a fresh GDAL open of the file.
  GDALDatasetUniquePtr reopened(GDALDataset::Open(path().c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(reopened);
  std::vector<std::string> datasets = FeatureDatasetNamesSeenByGdal(*reopened);
  EXPECT_EQ(std::count(datasets.begin(), datasets.end(), "yGone"), 0);
  EXPECT_EQ(std::count(datasets.begin(), datasets.end(), "yAgain"), GetParam() == std::string(".gdb") ? 1 : 0);
  EXPECT_NE(reopened->GetLayerByName("L_Again"), nullptr);
  if (GetParam() == std::string(".gdb")) {
    // No catalog entry is left of the failed sheet, not even of its class.
    OGRLayer* items = reopened->ExecuteSQL("SELECT Path FROM GDB_Items", nullptr, nullptr);
    ASSERT_NE(items, nullptr);
    for (auto& item : *items) EXPECT_EQ(std::string(item->GetFieldAsString(0)).find("yGone"), std::string::npos);
    reopened->ReleaseResultSet(items);
  }
  auto workspace = OpenWorkspace(OutputPath(path()));
  EXPECT_TRUE(FeatureDatasetExists(*workspace, "yAgain"));
  EXPECT_FALSE(FeatureDatasetExists(*workspace, "yGone"));
}

INSTANTIATE_TEST_SUITE_P(BothKinds, OutputClasses, ::testing::Values(".gdb", ".gpkg"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST(TextSymbol, AlignmentCodesAndSizes) {
  EXPECT_EQ(HorizontalAnchorOf(1), 0);
  EXPECT_EQ(HorizontalAnchorOf(2), 1);
  EXPECT_EQ(HorizontalAnchorOf(3), 2);
  EXPECT_EQ(HorizontalAnchorOf(7), 2);
  EXPECT_EQ(VerticalAnchorOf(1), 0);
  EXPECT_EQ(VerticalAnchorOf(2), 1);
  EXPECT_EQ(VerticalAnchorOf(3), 3);
  EXPECT_EQ(VerticalAnchorOf(0), 3);
  LogicalFont font;  // 13 px is 10 pt
  EXPECT_DOUBLE_EQ(MakeTextSymbol(font, 0, -1, 0, 0).size, 10);
  EXPECT_DOUBLE_EQ(MakeTextSymbol(font, 0, 24, 0, 0).size, 24);
  font.color = -16777201;  // a system colour keeps the default
  EXPECT_EQ(MakeTextSymbol(font, 0, -1, 0, 0).color, -1);
  font.height = -67;
  EXPECT_EQ(font.pointSize(), 50);
}

int OpenFileDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

TEST(FeatureDataset, ALongRunOpensTheGeodatabaseAfreshBetweenSheetsAndKeepsEverySheet) {
  TempFolder folder;
  const OutputPath path(folder.file("long.gdb"));
  OGRSpatialReference srs;
  ASSERT_EQ(srs.importFromEPSG(4527), OGRERR_NONE);
  const int sheets = Workspace::kSheetsPerOpening * 2 + 3;
  const auto named = [](const char* prefix, int i) { return std::string(prefix).append("S").append(std::to_string(i)); };
  {
    auto workspace = CreateWorkspace(path);
    const int openAtStart = OpenFileDescriptors();
    for (int i = 0; i < sheets; ++i) {
      auto dataset = CreateFeatureDataset(*workspace, named("y", i), &srs, SpatialDomain{0, 0, 1000, 1000});
      ASSERT_TRUE(dataset) << i;
      OGRLayer* lines = CreateFeatureClass(*dataset, named("L_", i), MakeFieldTemplate(wkbLineString, 1000));
      OGRLayer* texts = CreateAnnotationClass(*workspace, named("a_", i), &*dataset, nullptr, 1000);
      ASSERT_NE(lines, nullptr);
      ASSERT_NE(texts, nullptr);
      OGRFeature feature(lines->GetLayerDefn());
      OGRLineString line;
      line.addPoint(i, 0);
      line.addPoint(i, 1000);
      feature.SetGeometry(&line);
      ASSERT_EQ(lines->CreateFeature(&feature), OGRERR_NONE);
      workspace->recordDatasetComplete(named("y", i), {lines, texts});
    }
    // Each class GDAL holds keeps its files open: after the fresh openings only the last
    // sheets' are.
    EXPECT_LT(OpenFileDescriptors() - openAtStart, sheets) << "of " << OpenFileDescriptors() - openAtStart;
    for (int i = 0; i < sheets; ++i) {
      EXPECT_TRUE(FeatureDatasetExists(*workspace, named("y", i))) << i;
      OGRLayer* lines = OpenFeatureClass(*workspace, named("L_", i));
      ASSERT_NE(lines, nullptr) << i;
      EXPECT_EQ(lines->GetFeatureCount(), 1) << i;
    }
  }
  auto reopened = OpenWorkspace(path);
  for (int i = 0; i < sheets; ++i) {
    EXPECT_TRUE(reopened->datasetComplete(named("y", i))) << i;
    OGRLayer* lines = OpenFeatureClass(*reopened, named("L_", i));
    ASSERT_NE(lines, nullptr) << i;
    EXPECT_EQ(lines->GetFeatureCount(), 1) << i;
    EXPECT_EQ(FeatureDatasetMembers(*reopened, named("y", i)).size(), 2u) << i;
  }
}

}  // namespace
}  // namespace framora
