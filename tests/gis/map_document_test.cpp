#include "gis/map_document.h"

#include <gtest/gtest.h>

#include <fstream>

#include "gis/geometry.h"
#include "gis/workspace.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"

namespace framora {
namespace {

using testing::TempFolder;

// A source with a polygon layer "townships" (3 features), a line layer "roads" and a table.
void MakeSource(const std::string& path) {
  auto workspace = CreateWorkspace(OutputPath(path));
  GDALDataset& dataset = workspace->dataset();
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);
  OGRLayer* townships = dataset.CreateLayer("townships", &srs, wkbPolygon, nullptr);
  OGRFieldDefn name("XZQMC", OFTString);
  ASSERT_EQ(townships->CreateField(&name), OGRERR_NONE);
  for (int i = 0; i < 3; ++i) {
    OGRFeature feature(townships->GetLayerDefn());
    feature.SetField("XZQMC", ("镇" + std::to_string(i)).c_str());
    feature.SetGeometry(EnvelopePolygon({39500000.0 + i * 5000, 3500000, 39504000.0 + i * 5000, 3504000}).get());
    ASSERT_EQ(townships->CreateFeature(&feature), OGRERR_NONE);
  }
  ASSERT_NE(dataset.CreateLayer("roads", &srs, wkbLineString, nullptr), nullptr);
}

TEST(MapDocument, AVectorSourceListsItsLayersWithTheFirstLayersCrs) {
  TempFolder folder;
  MakeSource(folder.file("data.gpkg"));
  auto document = MapDocument::Open(folder.file("data.gpkg"));
  ASSERT_EQ(document->featureLayers().size(), 2u) << "the dataset table is no map layer";
  EXPECT_EQ(document->layers()[0].name, "townships");
  EXPECT_TRUE(document->layers()[0].isPolygon());
  EXPECT_FALSE(document->layers()[1].isPolygon());
  EXPECT_STREQ(document->spatialReference().GetAuthorityCode(nullptr), "4527");
  OpenedLayer opened = MapDocument::OpenLayer(document->layers()[0]);
  EXPECT_EQ(opened.layer->GetFeatureCount(), 3);
}

TEST(MapDocument, AQgisProjectGivesLayersInMapOrderWithTheirQueriesAndTheProjectCrs) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("data"));
  MakeSource(folder.file("data/src.gpkg"));
  const std::string project = R"(<!DOCTYPE qgis>
<qgis version="3.22.16" projectname="demo">
  <projectCrs><spatialrefsys><authid>EPSG:4527</authid></spatialrefsys></projectCrs>
  <layer-tree-group>
    <layer-tree-layer id="roads_1" name="Roads"/>
    <layer-tree-group name="admin">
      <layer-tree-layer id="towns_1" name="Towns"/>
    </layer-tree-group>
  </layer-tree-group>
  <projectlayers>
    <maplayer type="vector" geometry="Polygon">
      <id>towns_1</id>
      <datasource>./data/src.gpkg|layername=townships|subset="XZQMC" &lt;&gt; '镇1'</datasource>
      <layername>Towns</layername>
      <provider encoding="UTF-8">ogr</provider>
    </maplayer>
    <maplayer type="vector" geometry="Line">
      <id>roads_1</id>
      <datasource>./data/src.gpkg|layername=roads</datasource>
      <layername>Roads</layername>
      <provider>ogr</provider>
    </maplayer>
    <maplayer type="raster">
      <id>dem_1</id>
      <datasource>./data/dem.tif</datasource>
      <layername>DEM</layername>
      <provider>gdal</provider>
    </maplayer>
  </projectlayers>
</qgis>
)";
  std::ofstream(folder.file("demo.qgs")) << project;
  auto document = MapDocument::Open(folder.file("demo.qgs"));
  ASSERT_EQ(document->layers().size(), 3u);
  EXPECT_EQ(document->layers()[0].name, "Roads");
  EXPECT_EQ(document->layers()[1].name, "Towns");
  EXPECT_EQ(document->featureLayers().size(), 2u) << "a raster is no feature layer";
  const MapLayer* towns = &document->layers()[1];
  EXPECT_TRUE(towns->isPolygon());
  EXPECT_FALSE(document->layers()[0].isPolygon());
  EXPECT_EQ(towns->subset, "\"XZQMC\" <> '镇1'");
  OpenedLayer opened = MapDocument::OpenLayer(*towns);
  EXPECT_EQ(opened.layer->GetFeatureCount(), 2) << "the definition query applies";
  EXPECT_EQ(opened.definitionExpression, towns->subset);
  EXPECT_STREQ(document->spatialReference().GetAuthorityCode(nullptr), "4527");
}

TEST(MapDocument, LayersSwitchedOffOrInASwitchedOffGroupAreNotShown) {
  TempFolder folder;
  MakeSource(folder.file("src.gpkg"));
  const std::string project = R"(<!DOCTYPE qgis>
<qgis version="3.22.16">
  <layer-tree-group>
    <layer-tree-layer id="roads_1" name="Roads" checked="Qt::Unchecked"/>
    <layer-tree-group name="admin" checked="Qt::Unchecked">
      <layer-tree-layer id="towns_1" name="Towns" checked="Qt::Checked"/>
    </layer-tree-group>
    <layer-tree-group name="more" checked="Qt::PartiallyChecked">
      <layer-tree-layer id="towns_2" name="Towns again" checked="Qt::Checked"/>
    </layer-tree-group>
  </layer-tree-group>
  <projectlayers>
    <maplayer type="vector"><id>towns_1</id><datasource>./src.gpkg|layername=townships</datasource>
      <layername>Towns</layername><provider>ogr</provider></maplayer>
    <maplayer type="vector"><id>towns_2</id><datasource>./src.gpkg|layername=townships</datasource>
      <layername>Towns again</layername><provider>ogr</provider></maplayer>
    <maplayer type="vector"><id>roads_1</id><datasource>./src.gpkg|layername=roads</datasource>
      <layername>Roads</layername><provider>ogr</provider></maplayer>
  </projectlayers>
</qgis>
)";
  std::ofstream(folder.file("demo.qgs")) << project;
  auto document = MapDocument::Open(folder.file("demo.qgs"));
  ASSERT_EQ(document->layers().size(), 3u);
  EXPECT_FALSE(document->layers()[0].visible) << "its own switch";
  EXPECT_FALSE(document->layers()[1].visible) << "its group's switch";
  EXPECT_TRUE(document->layers()[2].visible) << "a partly checked group shows what is checked";
}

TEST(MapDocument, ALayersLabelsAreKeptWithTheirSwitch) {
  TempFolder folder;
  MakeSource(folder.file("src.gpkg"));
  const std::string project = R"(<!DOCTYPE qgis>
<qgis version="3.22.16">
  <projectlayers>
    <maplayer type="vector" labelsEnabled="1"><id>towns_1</id><datasource>./src.gpkg|layername=townships</datasource>
      <layername>Towns</layername><provider>ogr</provider><renderer-v2 type="singleSymbol"><symbols/></renderer-v2>
      <labeling type="simple"><settings><text-style fieldName="NAME"/></settings></labeling></maplayer>
    <maplayer type="vector" labelsEnabled="0"><id>towns_2</id><datasource>./src.gpkg|layername=townships</datasource>
      <layername>Unlabelled</layername><provider>ogr</provider>
      <labeling type="simple"><settings><text-style fieldName="NAME"/></settings></labeling></maplayer>
  </projectlayers>
</qgis>
)";
  std::ofstream(folder.file("labels.qgs")) << project;
  auto document = MapDocument::Open(folder.file("labels.qgs"));
  ASSERT_EQ(document->layers().size(), 2u);
  const MapLayer& labelled = document->layers()[0];
  EXPECT_TRUE(labelled.labelsEnabled);
  EXPECT_NE(labelled.styleXml.find("<renderer-v2"), std::string::npos);
  EXPECT_EQ(labelled.styleXml.find("<labeling"), std::string::npos) << "the renderer alone is the style";
  EXPECT_EQ(labelled.labelingXml.rfind("<labeling type=\"simple\">", 0), 0u);
  EXPECT_FALSE(document->layers()[1].labelsEnabled);
  EXPECT_EQ(document->layers()[1].styleXml, "");
  EXPECT_NE(document->layers()[1].labelingXml, "") << "kept as the project has it, switched off";
}

TEST(MapDocument, MissingOrUnreadableInputIsAClearError) {
  TempFolder folder;
  try {
    MapDocument::Open(folder.file("none.qgs"));
    FAIL();
  } catch (const FramoraError& error) {
    EXPECT_EQ(std::string(error.what()), "文件" + folder.file("none.qgs") + ",不存在");
  }
  std::ofstream(folder.file("bad.qgs")) << "<html>not a project</html>";
  EXPECT_THROW(MapDocument::Open(folder.file("bad.qgs")), FramoraError);
  std::ofstream(folder.file("bad.gpkg")) << "nothing";
  EXPECT_THROW(MapDocument::Open(folder.file("bad.gpkg")), FramoraError);
}

}  // namespace
}  // namespace framora
