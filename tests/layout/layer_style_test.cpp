#include "layout/layer_style.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

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

// A renderer wrapped as a project keeps it.
std::string Style(const std::string& renderer) { return "<qgis>" + renderer + "</qgis>"; }

std::string FillSymbol(int name, const char* color) {
  return "<symbol name=\"" + std::to_string(name) + "\" type=\"fill\" alpha=\"1\"><layer class=\"SimpleFill\" "
         "enabled=\"1\" pass=\"" + std::to_string(name) + "\"><Option type=\"Map\"><Option name=\"color\" value=\"" +
         color + "\" type=\"QString\"/></Option></layer></symbol>";
}

// Fills 0 to 3: red, blue, green and grey.
std::string RedBlueGreenGreyFills() {
  return FillSymbol(0, "255,0,0,255") + FillSymbol(1, "0,0,255,255") + FillSymbol(2, "0,255,0,255") +
         FillSymbol(3, "128,128,128,255");
}

FieldValues Fields(std::map<std::string, ExpressionValue> values) {
  return [values](const std::string& name) {
    const auto found = values.find(name);
    return found == values.end() ? ExpressionValue::Null() : found->second;
  };
}

// The fill colour of the only symbol a feature gets; "none" when it gets none.
std::string ColorFor(const LayerStyle& style, const FieldValues& fields, double scale = 10000) {
  std::vector<const SymbolLook*> looks;
  style.looksFor(fields, scale, looks);
  std::string colors;
  for (const SymbolLook* look : looks) {
    if (!colors.empty()) colors += '+';
    colors += look->layers.at(0).fillColor.name().toStdString();
  }
  return colors.empty() ? "none" : colors;
}

TEST(LayerStyle, GraduatedRangesTakeValuesAsQgisDoes) {
  const auto style = StyleFromText(
      Style("<renderer-v2 type=\"graduatedSymbol\" attr=\"pop\"><ranges>"
            "<range lower=\"0.000000000000000\" upper=\"10.000000000000000\" symbol=\"0\" render=\"true\"/>"
            "<range lower=\"10.000000000000000\" upper=\"20.000000000000000\" symbol=\"1\" render=\"true\"/>"
            "<range lower=\"20\" upper=\"30\" symbol=\"2\" render=\"false\"/></ranges><symbols>" +
            FillSymbol(0, "255,0,0,255") + FillSymbol(1, "0,0,255,255") + FillSymbol(2, "0,255,0,255") +
            "</symbols></renderer-v2>"),
      StyleKind::Polygons);
  ASSERT_TRUE(style);
  ASSERT_EQ(style->renderer, LayerStyle::Renderer::Graduated);
  const auto pop = [](ExpressionValue value) { return Fields({{"pop", value}}); };
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(0.0))), "#ff0000");
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(10.0))), "#ff0000") << "bounds are inclusive, the first range wins";
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(10.0000000001))), "#0000ff");
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(-1e-12))), "#ff0000") << "rounding at the bound";
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(std::string("5")))), "#ff0000");
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(std::string(" 15 ")))), "#0000ff");
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(std::string("abc")))), "#ff0000") << "no number: 0";
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(std::string()))), "#ff0000");
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(25.0))), "none") << "a range switched off";
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Of(-1.0))), "none");
  EXPECT_EQ(ColorFor(*style, pop(ExpressionValue::Null())), "none");
  EXPECT_EQ(style->passes(), (std::set<int>{0, 1})) << "a range switched off draws in no pass";
}

TEST(LayerStyle, RulesNestElseAndScaleAsQgisDoes) {
  const auto style = StyleFromText(
      Style("<renderer-v2 type=\"RuleRenderer\" symbollevels=\"0\"><rules key=\"root\">"
            "<rule key=\"a\" filter=\"&quot;kind&quot; = 'a'\" symbol=\"0\">"
            "  <rule key=\"a-close\" filter=\"&quot;pop&quot; &gt; 100\" symbol=\"1\" scalemaxdenom=\"20000\"/>"
            "</rule>"
            "<rule key=\"group\" filter=\"&quot;kind&quot; IN ('b', 'c')\">"
            "  <rule key=\"b\" filter=\"&quot;kind&quot; = 'b'\" symbol=\"2\" scalemindenom=\"5000\"/>"
            "</rule>"
            "<rule key=\"off\" filter=\"&quot;kind&quot; = 'd'\" symbol=\"0\" checkstate=\"0\"/>"
            "<rule key=\"bad\" filter=\"&quot;kind&quot; ~ 'x'\" symbol=\"0\"/>"
            "<rule key=\"else\" filter=\"ELSE\" symbol=\"3\"/>"
            "</rules><symbols>" +
            RedBlueGreenGreyFills() + "</symbols></renderer-v2>"),
      StyleKind::Polygons);
  ASSERT_TRUE(style);
  ASSERT_EQ(style->renderer, LayerStyle::Renderer::RuleBased);
  ASSERT_EQ(style->unreadableFilters, std::vector<std::string>{"\"kind\" ~ 'x'"});
  const auto feature = [](const char* kind, double pop) {
    return Fields({{"kind", ExpressionValue::Of(std::string(kind))}, {"pop", ExpressionValue::Of(pop)}});
  };
  EXPECT_EQ(ColorFor(*style, feature("a", 500), 10000), "#ff0000+#0000ff") << "a rule and the rule within it";
  EXPECT_EQ(ColorFor(*style, feature("a", 500), 50000), "#ff0000") << "the inner rule is out of its scales";
  EXPECT_EQ(ColorFor(*style, feature("a", 50), 10000), "#ff0000");
  EXPECT_EQ(ColorFor(*style, feature("b", 0), 10000), "#00ff00");
  // Closer than its scales the rule draws nothing, so its group drew nothing: the else rule takes it.
  EXPECT_EQ(ColorFor(*style, feature("b", 0), 1000), "#808080");
  EXPECT_EQ(ColorFor(*style, feature("c", 0), 10000), "#808080");
  // As QGIS 3.22 draws it: a rule switched off takes what it matches from the else rule.
  EXPECT_EQ(ColorFor(*style, feature("d", 0), 10000), "none") << "a rule switched off";
  EXPECT_EQ(ColorFor(*style, feature("z", 0), 10000), "#808080");

  // A layer drawn with no symbols at all shows only its labels.
  const auto none = StyleFromText(Style("<renderer-v2 type=\"nullSymbol\"/>"), StyleKind::Lines);
  ASSERT_TRUE(none);
  EXPECT_EQ(ColorFor(*none, feature("a", 0)), "none");
}

TEST(LayerStyle, ARuleOutOfItsScalesKeepsItsFeaturesFromTheElseRule) {
  const auto style = StyleFromText(
      Style("<renderer-v2 type=\"RuleRenderer\"><rules key=\"root\">"
            "<rule key=\"close\" filter=\"&quot;n&quot; = 1\" symbol=\"0\" scalemaxdenom=\"20000\"/>"
            "<rule key=\"else\" filter=\"else\" symbol=\"1\"/></rules><symbols>" +
            FillSymbol(0, "255,0,0,255") + FillSymbol(1, "128,128,128,255") + "</symbols></renderer-v2>"),
      StyleKind::Polygons);
  ASSERT_TRUE(style);
  const auto n = [](double value) { return Fields({{"n", ExpressionValue::Of(value)}}); };
  EXPECT_EQ(ColorFor(*style, n(1), 10000), "#ff0000");
  EXPECT_EQ(ColorFor(*style, n(1), 50000), "none");
  EXPECT_EQ(ColorFor(*style, n(2), 50000), "#808080");
}

TEST(LayerStyle, TheAttributeIsTheLayersFieldBeforeItIsAnExpression) {
  const auto categorized = [](const char* attribute) {
    auto style = StyleFromText(
        Style(std::string("<renderer-v2 type=\"categorizedSymbol\" attr=\"") + attribute +
              "\"><categories><category value=\"7\" symbol=\"0\" render=\"true\"/></categories><symbols>" +
              FillSymbol(0, "255,0,0,255") + "</symbols></renderer-v2>"),
        StyleKind::Polygons);
    EXPECT_TRUE(style) << attribute;
    return style;
  };
  OGRFeatureDefn definition;
  for (const char* name : {"1990", "a-b", "a", "b"}) {
    OGRFieldDefn field(name, OFTInteger);
    definition.AddFieldDefn(&field);
  }
  const FieldValues fields = Fields({{"1990", ExpressionValue::Of(7.0)}, {"a-b", ExpressionValue::Of(7.0)},
                                     {"a", ExpressionValue::Of(9.0)}, {"b", ExpressionValue::Of(2.0)}});
  for (const char* fieldName : {"1990", "a-b"}) {
    auto style = categorized(fieldName);
    style->resolveAttribute(definition);
    EXPECT_EQ(ColorFor(*style, fields), "#ff0000") << fieldName;
  }
  auto expression = categorized("&quot;a&quot; - &quot;b&quot;");
  expression->resolveAttribute(definition);
  EXPECT_EQ(ColorFor(*expression, fields), "#ff0000") << "no such field: an expression";
}

TEST(LayerStyle, CategoriesTakeValuesAsQgisDoes) {
  const auto style = StyleFromText(
      Style("<renderer-v2 type=\"categorizedSymbol\" attr=\"v\"><categories>"
            "<category value=\"1\" symbol=\"0\" render=\"true\"/><category value=\"1\" symbol=\"1\" render=\"true\"/>"
            "<category value=\"2.5\" symbol=\"2\" render=\"true\"/><category value=\"\" symbol=\"3\" render=\"true\"/>"
            "</categories><symbols>" +
            RedBlueGreenGreyFills() + "</symbols></renderer-v2>"),
      StyleKind::Polygons);
  ASSERT_TRUE(style);
  const auto v = [](ExpressionValue value) { return Fields({{"v", value}}); };
  EXPECT_EQ(ColorFor(*style, v(ExpressionValue::Of(1.0))), "#0000ff") << "of two equal values the last";
  EXPECT_EQ(ColorFor(*style, v(ExpressionValue::Of(std::string("1")))), "#0000ff");
  ExpressionValue written = ExpressionValue::Of(2.5);
  written.text = "2.50000";  // as a data source may write it
  EXPECT_EQ(ColorFor(*style, v(written)), "#00ff00");
  EXPECT_EQ(ColorFor(*style, v(ExpressionValue::Null())), "#808080");
  EXPECT_EQ(ColorFor(*style, v(ExpressionValue::Of(std::string("x")))), "#808080");
  EXPECT_EQ(ColorFor(*style, v(ExpressionValue::Of(std::nan("")))), "#808080") << "NaN is no category's number";
}

TEST(LayerStyle, RulesAndSymbolsNestedBeyondReasonAreLeftOutInsteadOfOverflowingTheStack) {
  const int deep = 9000;  // GDAL reads XML up to 10000 levels deep
  std::string rules = "<renderer-v2 type=\"RuleRenderer\"><rules key=\"root\">";
  for (int i = 0; i < deep; ++i) rules.append("<rule filter=\"&quot;n&quot; &gt; 0\" symbol=\"0\">");
  for (int i = 0; i < deep; ++i) rules.append("</rule>");
  rules.append("</rules><symbols>").append(FillSymbol(0, "255,0,0,255")).append("</symbols></renderer-v2>");
  const auto ruled = StyleFromText(Style(rules), StyleKind::Polygons);
  ASSERT_TRUE(ruled);
  EXPECT_FALSE(ruled->unreadableFilters.empty()) << "the rules too deep are named";
  std::vector<const SymbolLook*> looks;
  ruled->looksFor(Fields({{"n", ExpressionValue::Of(1.0)}}), 10000, looks);
  EXPECT_FALSE(looks.empty());

  std::string symbols = "<renderer-v2 type=\"singleSymbol\"><symbols>";
  for (int i = 0; i < deep / 2; ++i)
    symbols.append("<symbol name=\"0\" type=\"line\"><layer class=\"MarkerLine\" enabled=\"1\" pass=\"0\">");
  for (int i = 0; i < deep / 2; ++i) symbols.append("</layer></symbol>");
  symbols.append("</symbols></renderer-v2>");
  const auto nested = StyleFromText(Style(symbols), StyleKind::Lines);
  ASSERT_TRUE(nested);
  EXPECT_FALSE(nested->undrawnSymbolLayers.empty()) << "the symbols too deep are named";
}

TEST(LayerStyle, MarkersAlongALineShareTheLinesOpacity) {
  const auto style = StyleFromText(
      Style("<renderer-v2 type=\"singleSymbol\"><symbols><symbol name=\"0\" type=\"line\" alpha=\"0.5\">"
            "<layer class=\"MarkerLine\" enabled=\"1\" pass=\"0\"><symbol name=\"@0@0\" type=\"marker\" alpha=\"0.5\">"
            "<layer class=\"SimpleMarker\" enabled=\"1\" pass=\"0\"><Option type=\"Map\">"
            "<Option name=\"color\" value=\"255,0,0,255\" type=\"QString\"/></Option></layer></symbol></layer>"
            "</symbol></symbols></renderer-v2>"),
      StyleKind::Lines);
  ASSERT_TRUE(style && style->otherValues);
  const SymbolLayerLook& line = style->otherValues->layers.at(0);
  ASSERT_TRUE(line.markers);
  EXPECT_EQ(line.markers->layers.at(0).fillColor.alpha(), 64) << "a half of a half";
}

TEST(LayerStyle, ColoursReadInEveryFormQgisWrites) {
  EXPECT_EQ(StyleColor("10,20,30,255"), QColor(10, 20, 30));
  EXPECT_EQ(StyleColor("10,20,30"), QColor(10, 20, 30));
  EXPECT_EQ(StyleColor("227,26,28,128,rgb:0.89,0.10,0.11,0.5"), QColor(227, 26, 28, 128)) << "QGIS 3.34 and later";
  EXPECT_EQ(StyleColor("#ff0000"), QColor(255, 0, 0));
  EXPECT_EQ(StyleColor("red"), QColor(255, 0, 0)) << "a colour's name";
  EXPECT_EQ(StyleColor("blue", 0.5).alpha(), 128);
  EXPECT_EQ(StyleColor("0,0,255,255", 0.5).alpha(), 128);
  EXPECT_EQ(StyleColor("nonsense"), QColor(Qt::black));
  EXPECT_EQ(StyleColor(""), QColor(Qt::black));
}

TEST(LayerStyle, SymbolLayersReadCurrentAndOlderProperties) {
  const auto style = StyleFromText(
      Style("<renderer-v2 type=\"categorizedSymbol\" attr=\"upper(&quot;kind&quot;)\"><categories>"
            "<category value=\"ROAD\" symbol=\"0\" render=\"true\"/><category value=\"PATH\" symbol=\"1\" render=\"true\"/>"
            "<category value=\"TOWN\" symbol=\"2\" render=\"true\"/></categories><symbols>"
            "<symbol name=\"0\" type=\"line\" alpha=\"0.5\"><layer class=\"SimpleLine\" enabled=\"1\" pass=\"0\">"
            "<prop k=\"color\" v=\"10,20,30,255\"/><prop k=\"width\" v=\"2\"/><prop k=\"width_unit\" v=\"Point\"/>"
            "<prop k=\"penstyle\" v=\"dot\"/><prop k=\"capstyle\" v=\"round\"/><prop k=\"joinstyle\" v=\"round\"/>"
            "</layer></symbol>"
            "<symbol name=\"1\" type=\"line\"><layer class=\"SimpleLine\" enabled=\"1\" pass=\"0\"><Option type=\"Map\">"
            "<Option name=\"line_color\" value=\"0,0,0,128\" type=\"QString\"/>"
            "<Option name=\"line_width\" value=\"3\" type=\"QString\"/>"
            "<Option name=\"line_width_unit\" value=\"MapUnit\" type=\"QString\"/>"
            "<Option name=\"use_custom_dash\" value=\"1\" type=\"QString\"/>"
            "<Option name=\"customdash\" value=\"4;1.5\" type=\"QString\"/>"
            "<Option name=\"customdash_unit\" value=\"MM\" type=\"QString\"/></Option></layer>"
            "<layer class=\"MarkerLine\" enabled=\"1\" pass=\"0\"/></symbol>"
            "<symbol name=\"2\" type=\"marker\"><layer class=\"SimpleMarker\" enabled=\"1\" pass=\"0\"><Option type=\"Map\">"
            "<Option name=\"name\" value=\"star\" type=\"QString\"/><Option name=\"size\" value=\"12\" type=\"QString\"/>"
            "<Option name=\"size_unit\" value=\"Pixel\" type=\"QString\"/><Option name=\"angle\" value=\"45\" type=\"QString\"/>"
            "<Option name=\"color\" value=\"#00ff00\" type=\"QString\"/><Option name=\"outline_style\" value=\"no\" type=\"QString\"/>"
            "</Option><data_defined_properties><Option type=\"Map\"><Option name=\"name\" value=\"\" type=\"QString\"/>"
            "<Option name=\"properties\" type=\"Map\"><Option name=\"size\" type=\"Map\">"
            "<Option name=\"active\" value=\"true\" type=\"bool\"/><Option name=\"expression\" value=\"pop\" type=\"QString\"/>"
            "</Option><Option name=\"angle\" type=\"Map\"><Option name=\"active\" value=\"false\" type=\"bool\"/></Option>"
            "</Option><Option name=\"type\" value=\"collection\" type=\"QString\"/></Option></data_defined_properties></layer><layer class=\"SimpleMarker\" enabled=\"1\" pass=\"0\"><Option type=\"Map\">"
            "<Option name=\"name\" value=\"heart\" type=\"QString\"/></Option></layer></symbol>"
            "</symbols></renderer-v2>"),
      StyleKind::Lines);
  ASSERT_TRUE(style);
  EXPECT_EQ(style->undrawnSymbolLayers, (std::set<std::string>{"MarkerLine", "SimpleMarker heart"}));
  EXPECT_EQ(style->fixedProperties, std::set<std::string>{"SimpleMarker size"}) << "an expression's size, drawn fixed";
  std::vector<const SymbolLook*> looks;
  style->looksFor(Fields({{"kind", ExpressionValue::Of(std::string("road"))}}), 10000, looks);
  ASSERT_EQ(looks.size(), 1u) << "the category's value is the attribute's expression";
  const SymbolLayerLook& road = looks[0]->layers.at(0);
  EXPECT_EQ(road.strokeColor.rgba(), QColor(10, 20, 30, 128).rgba()) << "the symbol's opacity";
  EXPECT_EQ(road.penStyle, Qt::DotLine);
  EXPECT_EQ(road.cap, Qt::RoundCap);
  EXPECT_EQ(road.join, Qt::RoundJoin);
  const SymbolScale scale{10, 4};  // 10 pixels a millimetre, 4 a map unit
  EXPECT_NEAR(scale.pixels(road.strokeWidth), 2 * 25.4 / 72 * 10, 1e-9);

  style->looksFor(Fields({{"kind", ExpressionValue::Of(std::string("path"))}}), 10000, looks);
  ASSERT_EQ(looks.size(), 1u);
  const SymbolLayerLook& path = looks[0]->layers.at(0);
  EXPECT_EQ(path.strokeColor.alpha(), 128);
  EXPECT_DOUBLE_EQ(scale.pixels(path.strokeWidth), 12);
  ASSERT_EQ(path.dashes.size(), 2u);
  EXPECT_DOUBLE_EQ(scale.pixels(path.dashes[1]), 15);

  style->looksFor(Fields({{"kind", ExpressionValue::Of(std::string("town"))}}), 10000, looks);
  ASSERT_EQ(looks.size(), 1u);
  ASSERT_EQ(looks[0]->layers.size(), 1u);
  const SymbolLayerLook& town = looks[0]->layers[0];
  EXPECT_EQ(town.kind, SymbolLayerLook::Kind::Marker);
  EXPECT_EQ(town.shape, MarkerShape::Star);
  EXPECT_FALSE(town.stroke);
  EXPECT_EQ(town.fillColor, QColor(0, 255, 0));
  EXPECT_DOUBLE_EQ(scale.pixels(town.size), 12);
  EXPECT_DOUBLE_EQ(town.angle, 45);
}

}  // namespace
}  // namespace framora
