#include "layout/map_document_writer.h"

#include <cpl_minixml.h>
#include <cpl_string.h>

#include <gtest/gtest.h>

#include <map>

#include "support/temp_folder.h"

namespace framora {
namespace {

// A page with one frame of user layers: their own styles must reach QGIS as they are, or
// be replaced when they are not XML at all.
TEST(SaveMapDocument, UserStylesGoAlongWhenWellFormedAndNamesSurviveTheirMarkup) {
  testing::TempFolder folder;
  PageLayout layout;
  layout.page = Page{200, 150, kUnitMillimetres};
  MapFrame frame;
  frame.name = "Layers <1> & \"2\"";
  frame.pageEnvelope = Envelope{10, 10, 190, 140};
  frame.extent = Envelope{0, 0, 1800, 1300};
  const auto userLayer = [&](const std::string& name, const std::string& style) {
    LayoutLayer layer;
    layer.data.name = name;
    layer.data.source = folder.file("user.gpkg");
    layer.data.sourceLayer = name;
    layer.data.geometryType = wkbLineString;
    layer.data.styleXml = style;
    return layer;
  };
  frame.layers.push_back(userLayer(
      "roads & rails",
      "<qgis><renderer-v2 type=\"singleSymbol\" attr=\"a &amp; b\"><symbols/></renderer-v2><blendMode>2</blendMode></qgis>"));
  frame.layers.push_back(userLayer("rivers", "<qgis><renderer-v2 type=\"graduatedSymbol\"><broken></qgis>"));
  layout.frames.push_back(std::move(frame));
  const std::string file = folder.file("P.qgs");
  SaveMapDocument(layout, LayerStyles{}, file);

  CPLXMLNode* root = CPLParseXMLFile(file.c_str());
  ASSERT_NE(root, nullptr);
  const CPLXMLNode* qgis = CPLGetXMLNode(root, "=qgis");
  ASSERT_NE(qgis, nullptr);
  std::map<std::string, const CPLXMLNode*> layers;
  for (const CPLXMLNode* node = CPLGetXMLNode(qgis, "projectlayers")->psChild; node; node = node->psNext)
    if (node->eType == CXT_Element) layers[CPLGetXMLValue(node, "layername", "")] = node;
  ASSERT_EQ(layers.size(), 2u);
  ASSERT_TRUE(layers.count("roads & rails"));
  EXPECT_STREQ(CPLGetXMLValue(layers["roads & rails"], "renderer-v2.attr", ""), "a & b");
  EXPECT_STREQ(CPLGetXMLValue(layers["roads & rails"], "renderer-v2.type", ""), "singleSymbol");
  ASSERT_TRUE(layers.count("rivers"));
  EXPECT_STREQ(CPLGetXMLValue(layers["rivers"], "renderer-v2.type", ""), "singleSymbol")
      << "a style that is not XML gives way to the plain look";
  EXPECT_STREQ(CPLGetXMLValue(layers["rivers"], "renderer-v2.symbols.symbol.layer.class", ""), "SimpleLine");

  const CPLXMLNode* items = CPLGetXMLNode(qgis, "Layouts.Layout");
  ASSERT_NE(items, nullptr);
  EXPECT_STREQ(CPLGetXMLValue(items, "PageCollection.LayoutItem.type", ""), "65638");
  EXPECT_STREQ(CPLGetXMLValue(items, "LayoutItem.type", ""), "65639");
  EXPECT_STREQ(CPLGetXMLValue(items, "LayoutItem.id", ""), "Layers <1> & \"2\"");
  CPLDestroyXMLNode(root);
}

}  // namespace
}  // namespace framora
