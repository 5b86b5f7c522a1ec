#include "layout/layer_style.h"

#include <gtest/gtest.h>

#include <fstream>

#include "gis/map_document.h"
#include "support/temp_folder.h"

namespace framora {
namespace {

TEST(LayerStyle, TheMaskIsDrawnBeforeEveryOtherArea) {
  const LayerStyle polygons = BuiltInStyle(StyleKind::Polygons);
  ASSERT_TRUE(polygons.symbolLevels);
  ASSERT_NE(polygons.lookFor("100"), nullptr);
  ASSERT_NE(polygons.lookFor("1"), nullptr);
  EXPECT_LT(polygons.lookFor("100")->layers[0].pass, polygons.lookFor("1")->layers[0].pass);
  EXPECT_LT(polygons.lookFor("100")->layers[0].pass, polygons.lookFor("10")->layers[0].pass);
  EXPECT_FALSE(BuiltInStyle(StyleKind::Lines).symbolLevels);
}

TEST(LayerStyle, AUserLayerKeepsTheLookItsProjectGivesIt) {
  testing::TempFolder folder;
  const std::string project = R"(<qgis version="3.22.16">
  <projectlayers>
    <maplayer type="vector" geometry="Polygon">
      <id>towns</id>
      <datasource>./none.gpkg|layername=towns</datasource>
      <layername>towns</layername>
      <provider>ogr</provider>
      <renderer-v2 type="categorizedSymbol" attr="NAME" symbollevels="0">
        <categories><category value="东坝" symbol="0" render="true"/></categories>
        <symbols><symbol name="0" type="fill"><layer class="SimpleFill" enabled="1" pass="0"><Option type="Map">
          <Option name="color" value="10,20,30,255" type="QString"/>
        </Option></layer></symbol></symbols>
      </renderer-v2>
    </maplayer>
  </projectlayers>
</qgis>)";
  std::ofstream(folder.file("p.qgs")) << project;
  const auto document = MapDocument::Open(folder.file("p.qgs"));
  ASSERT_EQ(document->layers().size(), 1u);
  const auto style = StyleFromText(document->layers()[0].styleXml, StyleKind::Polygons);
  ASSERT_TRUE(style);
  EXPECT_EQ(style->attribute, "NAME");
  const SymbolLook* look = style->lookFor("东坝");
  ASSERT_NE(look, nullptr);
  ASSERT_EQ(look->layers.size(), 1u);
  EXPECT_TRUE(look->layers[0].fill);
  EXPECT_EQ(look->layers[0].fillColor, QColor(10, 20, 30));
  EXPECT_EQ(style->lookFor("其他"), nullptr) << "values without a category are not drawn";
  EXPECT_FALSE(StyleFromText("", StyleKind::Polygons));
}

}  // namespace
}  // namespace framora
