#include "layout/map_document_writer.h"

#include <cpl_minixml.h>
#include <cpl_string.h>

#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <map>
#include <memory>
#include <vector>

#include "gis/gdal_setup.h"
#include "layout/gui_application.h"
#include "layout/map_text.h"
#include "support/temp_folder.h"

namespace framora {
namespace {

using XmlTree = std::unique_ptr<CPLXMLNode, void (*)(CPLXMLNode*)>;

XmlTree ReadXml(const std::string& file) { return XmlTree(CPLParseXMLFile(file.c_str()), CPLDestroyXMLNode); }

// The layout's item of that type.
const CPLXMLNode* LayoutItem(const CPLXMLNode* qgis, const char* type) {
  for (const CPLXMLNode* node = CPLGetXMLNode(qgis, "Layouts.Layout")->psChild; node; node = node->psNext)
    if (node->eType == CXT_Element && EQUAL(node->pszValue, "LayoutItem") && EQUAL(CPLGetXMLValue(node, "type", ""), type))
      return node;
  return nullptr;
}

LayoutLayer UserLayer(const std::string& name, const std::string& source, const std::string& style) {
  LayoutLayer layer;
  layer.data.name = name;
  layer.data.source = source;
  layer.data.sourceLayer = name;
  layer.data.geometryType = wkbPolygon;
  layer.data.styleXml = style;
  return layer;
}

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

// The polygon item the map is clipped to holds one ring: QGIS fills it even-odd, so what it
// covers must be every part of the sheet's shape and none of its holes.
TEST(SaveMapDocument, TheMapIsClippedToEveryPartOfTheSheetAndNoneOfItsHoles) {
  testing::TempFolder folder;
  PageLayout layout;
  layout.page = Page{100, 100, kUnitMillimetres};
  MapFrame frame;
  frame.name = "Layers";
  frame.pageEnvelope = Envelope{0, 0, 100, 100};
  frame.extent = Envelope{0, 0, 1000, 1000};  // 10 m to the millimetre, y up
  OGRGeometry* shape = nullptr;
  ASSERT_EQ(OGRGeometryFactory::createFromWkt("MULTIPOLYGON (((100 100, 100 900, 450 900, 450 100, 100 100), "
                                              "(200 400, 350 400, 350 600, 200 600, 200 400)), "
                                              "((550 100, 900 100, 900 900, 550 900, 550 100)))",
                                              nullptr, &shape),
            OGRERR_NONE);
  frame.clipShape.reset(shape);
  frame.layers.push_back(UserLayer("towns", folder.file("user.gpkg"), ""));
  layout.frames.push_back(std::move(frame));
  SaveMapDocument(layout, LayerStyles{}, folder.file("C.qgs"));

  const XmlTree root = ReadXml(folder.file("C.qgs"));
  ASSERT_NE(root, nullptr);
  const CPLXMLNode* qgis = CPLGetXMLNode(root.get(), "=qgis");
  const CPLXMLNode* polygon = LayoutItem(qgis, "65644");
  ASSERT_NE(polygon, nullptr);
  const CPLStringList position(CSLTokenizeString2(CPLGetXMLValue(polygon, "position", ""), ",", 0));
  ASSERT_GE(position.size(), 2);
  std::vector<std::pair<double, double>> ring;  // page millimetres, y down
  for (const CPLXMLNode* node = CPLGetXMLNode(polygon, "nodes")->psChild; node; node = node->psNext)
    if (node->eType == CXT_Element)
      ring.emplace_back(CPLAtof(position[0]) + CPLAtof(CPLGetXMLValue(node, "x", "0")),
                        CPLAtof(position[1]) + CPLAtof(CPLGetXMLValue(node, "y", "0")));
  const auto covered = [&](double x, double y) {  // ground metres
    const double px = x / 10, py = 100 - y / 10;
    bool inside = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
      if ((ring[i].second > py) != (ring[j].second > py) &&
          px < (ring[j].first - ring[i].first) * (py - ring[i].second) / (ring[j].second - ring[i].second) + ring[i].first)
        inside = !inside;
    return inside;
  };
  EXPECT_TRUE(covered(150, 150));
  EXPECT_TRUE(covered(400, 800));
  EXPECT_TRUE(covered(700, 500)) << "the second part";
  EXPECT_TRUE(covered(880, 880));
  EXPECT_FALSE(covered(275, 500)) << "the hole";
  EXPECT_FALSE(covered(500, 500)) << "between the parts";
  EXPECT_FALSE(covered(50, 500));
  EXPECT_FALSE(covered(950, 950));
  const CPLXMLNode* map = LayoutItem(qgis, "65639");
  ASSERT_NE(map, nullptr);
  EXPECT_STREQ(CPLGetXMLValue(map, "itemClippingSettings.clipSource", ""), CPLGetXMLValue(polygon, "uuid", "?"));
}

// The user's labels go along in the face the pictures draw them with; a layer switched off
// is listed unchecked and left out of the map item, which would draw it regardless.
TEST(SaveMapDocument, UserLabelsKeepTheirSettingsAndSwitchedOffLayersStayOff) {
  RequireGuiApplication();
  testing::TempFolder folder;
  PageLayout layout;
  MapFrame frame;
  frame.name = "Layers";
  frame.pageEnvelope = Envelope{0, 0, 210, 297};
  frame.extent = Envelope{0, 0, 2100, 2970};
  frame.layers.push_back(
      UserLayer("towns", folder.file("user.gpkg"), "<qgis><renderer-v2 type=\"singleSymbol\"><symbols/></renderer-v2></qgis>"));
  frame.layers.back().data.labelsEnabled = true;
  frame.layers.back().data.labelingXml =
      "<labeling type=\"simple\"><settings><text-style fieldName=\"NAME\" fontFamily=\"宋体\" fontSize=\"9\"/>"
      "<placement placement=\"1\"/></settings></labeling>";
  frame.layers.push_back(UserLayer("hidden", folder.file("user.gpkg"), ""));
  frame.layers.back().data.visible = false;
  layout.frames.push_back(std::move(frame));
  SaveMapDocument(layout, LayerStyles{}, folder.file("L.qgs"));

  const XmlTree root = ReadXml(folder.file("L.qgs"));
  ASSERT_NE(root, nullptr);
  const CPLXMLNode* qgis = CPLGetXMLNode(root.get(), "=qgis");
  std::map<std::string, const CPLXMLNode*> layers;
  for (const CPLXMLNode* node = CPLGetXMLNode(qgis, "projectlayers")->psChild; node; node = node->psNext)
    if (node->eType == CXT_Element) layers[CPLGetXMLValue(node, "layername", "")] = node;
  ASSERT_TRUE(layers.count("towns") && layers.count("hidden"));
  EXPECT_STREQ(CPLGetXMLValue(layers["towns"], "labelsEnabled", ""), "1");
  EXPECT_STREQ(CPLGetXMLValue(layers["towns"], "labeling.settings.text-style.fieldName", ""), "NAME");
  EXPECT_EQ(CPLGetXMLValue(layers["towns"], "labeling.settings.text-style.fontFamily", ""),
            InstalledFace("宋体").toStdString());
  EXPECT_STREQ(CPLGetXMLValue(layers["towns"], "labeling.settings.placement.placement", ""), "1");
  EXPECT_STREQ(CPLGetXMLValue(layers["hidden"], "labelsEnabled", ""), "0");

  std::map<std::string, std::string> checked;
  for (const CPLXMLNode* node = CPLGetXMLNode(qgis, "layer-tree-group")->psChild; node; node = node->psNext)
    if (node->eType == CXT_Element) checked[CPLGetXMLValue(node, "name", "")] = CPLGetXMLValue(node, "checked", "");
  EXPECT_EQ(checked["towns"], "Qt::Checked");
  EXPECT_EQ(checked["hidden"], "Qt::Unchecked");
  std::vector<std::string> drawn;
  const CPLXMLNode* map = LayoutItem(qgis, "65639");
  ASSERT_NE(map, nullptr);
  for (const CPLXMLNode* node = CPLGetXMLNode(map, "LayerSet")->psChild; node; node = node->psNext)
    if (node->eType == CXT_Element) drawn.push_back(CPLGetXMLValue(node, "name", ""));
  EXPECT_EQ(drawn, std::vector<std::string>{"towns"});
}

// Every font name the texts use reaches QGIS as the face the pictures draw it with: a
// vertical variant, a face not on this machine and an empty name included.
TEST(SaveMapDocument, TextsNameTheFacesThePicturesUse) {
  RequireGuiApplication();
  EnsureGdalRegistered();
  testing::TempFolder folder;
  GDALDatasetUniquePtr texts(GetGDALDriverManager()->GetDriverByName("Memory")->Create("", 0, 0, 0, GDT_Unknown, nullptr));
  OGRLayer* textClass = texts->CreateLayer("A_S", nullptr, wkbPoint, nullptr);
  OGRFieldDefn fontName("FontName", OFTString);
  ASSERT_EQ(textClass->CreateField(&fontName), OGRERR_NONE);
  for (const char* face : {"@宋体", "Framora Missing Face", "", "黑体"}) {
    OGRFeature feature(textClass->GetLayerDefn());
    feature.SetField("FontName", face);
    ASSERT_EQ(textClass->CreateFeature(&feature), OGRERR_NONE);
  }
  PageLayout layout;
  MapFrame frame;
  frame.name = kOuterMapName;
  frame.pageEnvelope = Envelope{0, 0, 210, 297};
  frame.extent = Envelope{0, 0, 2100, 2970};
  LayoutLayer layer;
  layer.role = LayerRole::SheetTexts;
  layer.data.name = "A_S";
  layer.data.source = folder.file("frames.gpkg");
  layer.data.geometryType = wkbPoint;
  layer.openClass = textClass;
  layer.referenceScale = 10000;
  frame.layers.push_back(layer);
  layout.frames.push_back(std::move(frame));
  SaveMapDocument(layout, LayerStyles{}, folder.file("T.qgs"));

  const XmlTree root = ReadXml(folder.file("T.qgs"));
  ASSERT_NE(root, nullptr);
  std::string family;
  const CPLXMLNode* properties =
      CPLGetXMLNode(root.get(), "=qgis.projectlayers.maplayer.labeling.settings.dd_properties.Option");
  for (const CPLXMLNode* node = properties ? properties->psChild : nullptr; node; node = node->psNext)
    if (EQUAL(CPLGetXMLValue(node, "name", ""), "properties"))
      for (const CPLXMLNode* property = node->psChild; property; property = property->psNext)
        if (EQUAL(CPLGetXMLValue(property, "name", ""), "Family"))
          for (const CPLXMLNode* option = property->psChild; option; option = option->psNext)
            if (EQUAL(CPLGetXMLValue(option, "name", ""), "expression")) family = CPLGetXMLValue(option, "value", "");
  ASSERT_FALSE(family.empty());
  for (const std::string face : {"@宋体", "Framora Missing Face", "", "黑体"}) {
    const std::string drawn = InstalledFace(face).toStdString();
    if (drawn == face) continue;  // installed here: QGIS finds it by its name
    EXPECT_NE(family.find("= '" + face + "' THEN '" + drawn + "'"), std::string::npos) << face << " in " << family;
  }
}

}  // namespace
}  // namespace framora
