#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <array>
#include <fstream>
#include <tuple>
#include <iterator>

#include "gis/gdal_setup.h"
#include "layout/gui_application.h"
#include "layout/layout_test_support.h"
#include "layout/map_document_writer.h"
#include "layout/map_text.h"
#include "layout/page_renderer.h"
#include "layout/picture_export.h"
#include "util/text.h"

namespace framora {
namespace {

// A kilometre square on 100 mm of paper: 1:10000, one millimetre ten metres.
constexpr double kLeft = 39499500, kBottom = 4415000;

std::string Option(const char* name, const std::string& value) {
  return std::string("<Option name=\"") + name + "\" value=\"" + value + "\" type=\"QString\"/>";
}

std::string SymbolXml(const char* name, const char* type, const char* layerClass, const std::string& options) {
  return std::string("<symbol name=\"") + name + "\" type=\"" + type + "\" alpha=\"1\"><layer class=\"" + layerClass +
         "\" enabled=\"1\" pass=\"0\"><Option type=\"Map\">" + options + "</Option></layer></symbol>";
}

// A single symbol of one symbol layer that sets markers: a marker line or a centroid fill.
std::string MarkerSettingStyle(const char* symbolType, const char* layerClass, const std::string& options,
                               const std::string& markerOptions) {
  std::string style = "<qgis><renderer-v2 type=\"singleSymbol\"><symbols><symbol name=\"0\" type=\"";
  style.append(symbolType).append("\" alpha=\"1\"><layer class=\"").append(layerClass);
  style.append("\" enabled=\"1\" pass=\"0\"><Option type=\"Map\">").append(options).append("</Option>");
  style.append(SymbolXml("@0@0", "marker", "SimpleMarker", markerOptions));
  return style.append("</layer></symbol></symbols></renderer-v2></qgis>");
}

std::string Labeling(const std::string& field, bool expression, const std::string& placement,
                     const std::string& color = "0,0,0,255", bool buffer = false) {
  return "<labeling type=\"simple\"><settings calloutType=\"simple\"><text-style fieldName=\"" + field +
         "\" isExpression=\"" + (expression ? "1" : "0") +
         "\" fontFamily=\"SimHei\" fontSize=\"14\" fontSizeUnit=\"Point\" textColor=\"" + color +
         "\" textOpacity=\"1\"><text-buffer bufferDraw=\"" + (buffer ? "1" : "0") +
         "\" bufferSize=\"1\" bufferSizeUnits=\"MM\" bufferColor=\"255,255,255,255\" bufferOpacity=\"1\"/>"
         "</text-style>" + placement + "<rendering drawLabels=\"1\"/></settings></labeling>";
}

class UserStyles : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdalRegistered();
    RequireGuiApplication();
    GDALDatasetUniquePtr data(GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
        folder.file("map.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference plane = testing::SampleReference();
    const auto add = [&](const char* layerName, OGRwkbGeometryType type,
                         std::vector<std::tuple<std::string, std::string, double, std::string>> features) {
      OGRLayer* layer = data->CreateLayer(layerName, &plane, type, nullptr);
      OGRFieldDefn kind("kind", OFTString), name("name", OFTString), pop("pop", OFTReal);
      layer->CreateField(&kind);
      layer->CreateField(&name);
      layer->CreateField(&pop);
      for (const auto& [kindValue, nameValue, popValue, wkt] : features) {
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("kind", kindValue.c_str());
        feature.SetField("name", nameValue.c_str());
        feature.SetField("pop", popValue);
        OGRGeometry* geometry = nullptr;
        OGRGeometryFactory::createFromWkt(wkt.c_str(), &plane, &geometry);
        feature.SetGeometryDirectly(geometry);
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
      }
    };
    add("towns", wkbPolygon,
        {{"a", "东坝", 5, Square(100, 100, 300)}, {"b", "西坝", 15, Square(600, 100, 300)}});
    add("roads", wkbLineString, {{"dash", "R1", 0, "LINESTRING(" + At(100, 700) + "," + At(900, 700) + ")"}});
    // A yard whose left half is a hole: its middle lies right of its box's.
    add("yards", wkbPolygon,
        {{"", "", 0,
          "POLYGON((" + At(100, 450) + "," + At(400, 450) + "," + At(400, 550) + "," + At(100, 550) + "," + At(100, 450) +
              "),(" + At(110, 460) + "," + At(250, 460) + "," + At(250, 540) + "," + At(110, 540) + "," + At(110, 460) +
              "))"}});
    add("wells", wkbPoint, {{"", "Well", 1, "POINT(" + At(250, 850) + ")"}, {"", "", 10, "POINT(" + At(750, 850) + ")"}});
  }

  static std::string At(double x, double y) {
    return std::to_string(kLeft + x) + " " + std::to_string(kBottom + y);
  }
  static std::string Square(double x, double y, double size) {
    return "POLYGON((" + At(x, y) + "," + At(x + size, y) + "," + At(x + size, y + size) + "," + At(x, y + size) +
           "," + At(x, y) + "))";
  }

  LayoutLayer layer(const char* name) {
    const auto document = MapDocument::Open(folder.file("map.gpkg"));
    for (const MapLayer& data : document->layers())
      if (data.name == name) {
        LayoutLayer result;
        result.data = data;
        return result;
      }
    ADD_FAILURE() << name;
    return {};
  }

  // The three layers styled, labels on the towns, the road and the wells.
  PageLayout styledPage() {
    LayoutLayer towns = layer("towns");
    towns.data.styleXml =
        "<qgis><renderer-v2 type=\"RuleRenderer\"><rules key=\"r\">"
        "<rule key=\"a\" filter=\"&quot;kind&quot; = 'a' AND &quot;pop&quot; &lt; 10\" symbol=\"0\"/>"
        "<rule key=\"e\" filter=\"ELSE\" symbol=\"1\"/></rules><symbols>" +
        SymbolXml("0", "fill", "SimpleFill", Option("color", "255,0,0,255") + Option("outline_style", "no")) +
        SymbolXml("1", "fill", "SimpleFill", Option("color", "0,0,255,255") + Option("outline_style", "no")) +
        "</symbols></renderer-v2></qgis>";
    towns.data.labelsEnabled = true;
    towns.data.labelingXml = Labeling("&quot;name&quot; || '镇'", true, "<placement placement=\"1\" quadOffset=\"4\"/>",
                                      "0,0,0,255", true);
    LayoutLayer roads = layer("roads");
    roads.data.styleXml =
        "<qgis><renderer-v2 type=\"singleSymbol\"><symbols>" +
        SymbolXml("0", "line", "SimpleLine",
                  Option("line_color", "0,0,0,255") + Option("line_width", "1") + Option("capstyle", "flat") +
                      Option("use_custom_dash", "1") + Option("customdash", "3;3") + Option("customdash_unit", "MM")) +
        "</symbols></renderer-v2></qgis>";
    roads.data.labelsEnabled = true;
    roads.data.labelingXml =
        Labeling("name", false, "<placement placement=\"2\" placementFlags=\"1\"/>", "255,0,0,255");
    LayoutLayer wells = layer("wells");
    wells.data.styleXml =
        "<qgis><renderer-v2 type=\"graduatedSymbol\" attr=\"pop\"><ranges>"
        "<range lower=\"0\" upper=\"5\" symbol=\"0\" render=\"true\"/><range lower=\"5\" upper=\"20\" symbol=\"1\" "
        "render=\"true\"/></ranges><symbols>" +
        SymbolXml("0", "marker", "SimpleMarker",
                  Option("name", "square") + Option("color", "0,200,0,255") + Option("outline_style", "no") +
                      Option("size", "6") + Option("size_unit", "MM")) +
        SymbolXml("1", "marker", "SimpleMarker",
                  Option("name", "circle") + Option("color", "0,200,0,255") + Option("outline_style", "no") +
                      Option("size", "80") + Option("size_unit", "MapUnit")) +
        "</symbols></renderer-v2></qgis>";
    wells.data.labelsEnabled = true;
    wells.data.labelingXml =
        Labeling("name", false, "<placement placement=\"1\" quadOffset=\"2\" dist=\"1\" distUnits=\"MM\"/>");

    PageLayout layout = testing::SquareMapPage(Envelope{kLeft, kBottom, kLeft + 1000, kBottom + 1000});
    layout.frames[0].layers = {wells, roads, towns};
    return layout;
  }

  std::vector<std::string> print(PageLayout layout, const std::string& picture, int dpi = 100) {
    return ExportActiveView(layout, LayerStyles{}, folder.file(picture), dpi);
  }

  static std::array<int, 3> colorAt(const testing::Picture& picture, double x, double y) {
    const double* t = picture.transform();
    const int column = static_cast<int>((kLeft + x - t[0]) / t[1]);
    const int row = static_cast<int>((kBottom + y - t[3]) / t[5]);
    std::array<int, 3> rgb{};
    for (int band = 0; band < 3; ++band) {
      GByte value = 0;
      EXPECT_EQ(const_cast<testing::Picture&>(picture).dataset().GetRasterBand(band + 1)->RasterIO(
                    GF_Read, column, row, 1, 1, &value, 1, 1, GDT_Byte, 0, 0, nullptr),
                CE_None);
      rgb[band] = value;
    }
    return rgb;
  }
  static Envelope Box(double xmin, double ymin, double xmax, double ymax) {
    return Envelope{kLeft + xmin, kBottom + ymin, kLeft + xmax, kBottom + ymax};
  }

  // A layer in memory with a "name" field.
  OGRLayer& namedLayer(const char* layerName, OGRwkbGeometryType type) {
    if (!memory)
      memory.reset(GetGDALDriverManager()->GetDriverByName("Memory")->Create("", 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = memory->CreateLayer(layerName, nullptr, type, nullptr);
    OGRFieldDefn name("name", OFTString);
    layer->CreateField(&name);
    return *layer;
  }
  static void AddNamed(OGRLayer& layer, const OGRGeometry& geometry, const char* name) {
    OGRFeature feature(layer.GetLayerDefn());
    feature.SetField("name", name);
    feature.SetGeometry(&geometry);
    ASSERT_EQ(layer.CreateFeature(&feature), OGRERR_NONE);
  }
  // The labels of a layer on a page of 1000 by 1000 pixels, one a map unit and ten a millimetre.
  static MapLabels Placed(OGRLayer& layer, const LabelStyle& style) {
    const OGRGeometryUniquePtr shown = ShownArea(-10, -10, 1010, 1010, nullptr);
    MapLabels labels;
    labels.place({LabelSource{&layer, nullptr, nullptr, &style, nullptr}}, *shown, QTransform(1, 0, 0, -1, 0, 1000),
                 SymbolScale{10, 1}, 10000);
    return labels;
  }

  testing::TempFolder folder;
  GDALDatasetUniquePtr memory;
};

TEST_F(UserStyles, RulesRangesDashesAndMarkersAreDrawnAsStyled) {
  ASSERT_TRUE(print(styledPage(), "s.png").empty());
  testing::Picture picture(folder.file("s.png"));
  ASSERT_TRUE(picture.valid());
  using Rgb = std::array<int, 3>;
  // Town a passes the rule; town b falls to the else rule.
  EXPECT_EQ(colorAt(picture, 120, 120), (Rgb{255, 0, 0}));
  EXPECT_EQ(colorAt(picture, 880, 120), (Rgb{0, 0, 255}));
  // A 6 mm square and an 80 m circle, both green.
  EXPECT_EQ(colorAt(picture, 250 - 25, 850 - 25), (Rgb{0, 200, 0}));
  EXPECT_EQ(colorAt(picture, 250 - 40, 850), (Rgb{255, 255, 255}));
  EXPECT_EQ(colorAt(picture, 750 - 35, 850), (Rgb{0, 200, 0}));
  EXPECT_EQ(colorAt(picture, 750 - 24, 850 - 24), (Rgb{0, 200, 0}));
  EXPECT_EQ(colorAt(picture, 750 - 45, 850), (Rgb{255, 255, 255}));
  // 3 mm dashes, 3 mm gaps: along the road as much ink as paper, in runs of about 30 m.
  int ink = 0, paper = 0, runs = 0;
  bool wasInk = false;
  for (double x = 150; x < 400; x += 2.5) {
    const bool dark = colorAt(picture, x, 700)[0] < 100;
    (dark ? ink : paper) += 1;
    if (dark && !wasInk) ++runs;
    wasInk = dark;
  }
  EXPECT_NEAR(ink, paper, 12);
  EXPECT_NEAR(runs, 250 / 60.0, 1.5);
  EXPECT_EQ(picture.darkPixels(Box(150, 690, 400, 694)), 0) << "the line is 1 mm wide";
}

TEST_F(UserStyles, LabelsStandWhereTheirPlacementSaysAndNowhereElse) {
  ASSERT_TRUE(print(styledPage(), "l.png").empty());
  testing::Picture picture(folder.file("l.png"));
  ASSERT_TRUE(picture.valid());
  // The town's label on its centre, in black on a white buffer over the red.
  EXPECT_GT(picture.darkPixels(Box(200, 230, 300, 270)), 20);
  EXPECT_EQ(picture.darkPixels(Box(100, 100, 180, 180)), 0);
  EXPECT_EQ(picture.darkPixels(Box(100, 320, 400, 400)), 0);
  int buffered = 0;
  for (double x = 200; x < 300; x += 2)
    for (double y = 220; y < 280; y += 2) buffered += colorAt(picture, x, y) == std::array<int, 3>{255, 255, 255};
  EXPECT_GT(buffered, 20) << "the buffer whitens around the letters";
  // The well's label above and to the right of it.
  EXPECT_GT(picture.darkPixels(Box(260, 860, 400, 930)), 20);
  EXPECT_EQ(picture.darkPixels(Box(100, 860, 240, 1000)), 0);
  EXPECT_EQ(picture.darkPixels(Box(260, 760, 400, 840)), 0);
  // The road's label in red on the middle of the road; the unnamed well has none.
  EXPECT_GT(picture.redPixels(Box(450, 670, 550, 730)), 20);
  EXPECT_EQ(picture.redPixels(Box(100, 600, 420, 800)), 0);
  EXPECT_EQ(picture.redPixels(Box(580, 600, 900, 800)), 0);
  EXPECT_EQ(picture.darkPixels(Box(760, 860, 1000, 1000)), 0);
}

TEST_F(UserStyles, EveryPointOfAMultipointIsLabelledAndTextAlongUprightLinesReadsUpwards) {
  {
    GDALDatasetUniquePtr data(GDALDataset::Open(folder.file("map.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
    ASSERT_TRUE(data);
    OGRSpatialReference plane = testing::SampleReference();
    for (const auto& [layerName, type, wkts] :
         {std::tuple<const char*, OGRwkbGeometryType, std::vector<std::string>>{
              "spots", wkbMultiPoint, {"MULTIPOINT((" + At(-500, 550) + "),(" + At(300, 550) + "),(" + At(700, 550) + "))"}},
          {"streams", wkbLineString,
           {"LINESTRING(" + At(950, 450) + "," + At(950, 950) + ")", "LINESTRING(" + At(50, 950) + "," + At(50, 450) + ")"}}}) {
      OGRLayer* layer = data->CreateLayer(layerName, &plane, type, nullptr);
      OGRFieldDefn name("name", OFTString);
      layer->CreateField(&name);
      for (const std::string& wkt : wkts) {
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("name", type == wkbMultiPoint ? "PP" : "______");
        OGRGeometry* geometry = nullptr;
        OGRGeometryFactory::createFromWkt(wkt.c_str(), &plane, &geometry);
        feature.SetGeometryDirectly(geometry);
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
      }
    }
  }
  PageLayout layout = styledPage();
  LayoutLayer spots = layer("spots"), streams = layer("streams");
  spots.data.labelsEnabled = streams.data.labelsEnabled = true;
  spots.data.labelingXml =
      Labeling("name", false, "<placement placement=\"1\" quadOffset=\"4\"/>", "255,0,0,255");
  streams.data.labelingXml =
      Labeling("name", false, "<placement placement=\"2\" placementFlags=\"1\"/>", "255,0,0,255");
  layout.frames[0].layers.insert(layout.frames[0].layers.begin(), {spots, streams});
  ASSERT_TRUE(print(layout, "p.png", 300).empty());
  testing::Picture picture(folder.file("p.png"));
  ASSERT_TRUE(picture.valid());
  // The first point lies off the map; the other two are labelled each.
  for (const double x : {300.0, 700.0}) EXPECT_GT(picture.redPixels(Box(x - 40, 520, x + 40, 580)), 20) << x;
  // Read upwards, the text's foot, where the underscores are, lies right of the line whichever way it runs.
  for (const double x : {950.0, 50.0}) {
    const int right = picture.redPixels(Box(x + 3, 550, x + 50, 850));
    const int left = picture.redPixels(Box(x - 50, 550, x - 3, 850));
    EXPECT_GT(right, 20) << x;
    EXPECT_GT(right, 3 * left) << x;
  }

  // QGIS 3.22 draws a buffer sized in percent as that many pixels.
  std::string problem;
  const auto percent = ReadLabelStyle(
      ReplaceAll(Labeling("name", false, "", "0,0,0,255", true), "bufferSizeUnits=\"MM\"", "bufferSizeUnits=\"Percentage\""),
      problem);
  ASSERT_TRUE(percent);
  EXPECT_EQ(percent->bufferSize.unit, SizeUnit::Pixels);
}

TEST_F(UserStyles, CrowdedLabelsKeepApart) {
  OGRLayer& points = namedLayer("points", wkbPoint);
  // A dense grid of points, labels far longer than their spacing, and a pile on one spot.
  for (int row = 0; row < 60; ++row)
    for (int column = 0; column < 60; ++column)
      AddNamed(points, OGRPoint(column * 17, row * 17), CPLSPrintf("P%d", row * 60 + column));
  for (int i = 0; i < 50; ++i) AddNamed(points, OGRPoint(500, 500), "Q");
  LabelStyle style;
  style.fieldName = "name";
  style.placement = 0;
  const std::vector<QRectF> boxes = Placed(points, style).boxes();
  EXPECT_GT(boxes.size(), 100u);
  EXPECT_LT(boxes.size(), 3600u);
  int overlapping = 0;
  for (size_t i = 0; i < boxes.size(); ++i)
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const QRectF both = boxes[i].intersected(boxes[j]);
      overlapping += both.width() > 1e-6 && both.height() > 1e-6;
    }
  EXPECT_EQ(overlapping, 0);
}

TEST_F(UserStyles, LabelsStandOffLinesAndPointsAsQgisPutsThem) {
  OGRLayer& lines = namedLayer("lines", wkbLineString);
  OGRLineString westwards;
  westwards.addPoint(900, 500);
  westwards.addPoint(100, 500);
  AddNamed(lines, westwards, "ABOVE");
  // Where the label lies against the line, device y growing downwards: -1 above, 1 below.
  const auto side = [&](int flags) {
    LabelStyle style;
    style.fieldName = "name";
    style.placement = 2;
    style.lineFlags = flags;
    const MapLabels labels = Placed(lines, style);
    if (labels.size() != 1) return 0;
    const QRectF box = labels.boxes()[0];
    return box.bottom() <= 500 ? -1 : box.top() >= 500 ? 1 : 0;
  };
  // As QGIS 3.22 places them on a line drawn from east to west.
  EXPECT_EQ(side(2 | 8), -1);
  EXPECT_EQ(side(4 | 8), 1);
  EXPECT_EQ(side(2), 1) << "left of the line's direction";
  EXPECT_EQ(side(4), -1);
  EXPECT_EQ(side(1), 0);

  // Offset from a point, QGIS sets the label's corner on the point whatever the label distance.
  OGRLayer& points = namedLayer("points", wkbPoint);
  AddNamed(points, OGRPoint(500, 500), "AB");
  LabelStyle style;
  style.fieldName = "name";
  style.placement = 1;
  style.quadrant = 2;  // above and to the right
  style.distance = StyleSize{50, SizeUnit::Pixels};
  const MapLabels labels = Placed(points, style);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_NEAR(labels.boxes()[0].left(), 500, 1e-6);
  EXPECT_NEAR(labels.boxes()[0].bottom(), 500, 1e-6);
}

TEST_F(UserStyles, ALabelAcrossBandsIsDrawnWholeInEach) {
  const PageLayout layout = styledPage();
  const LayerStyles styles;
  const double dpi = 150;
  PageRenderer renderer(layout, styles, dpi);
  const int size = static_cast<int>(std::lround(100 / 25.4 * dpi));
  QImage whole(size, size, QImage::Format_RGB32);
  {
    QPainter painter(&whole);
    renderer.drawRows(painter, 0, size, size);
  }
  // Bands cut through the town's label (its centre lies 250 m up from the bottom).
  const int cut = static_cast<int>(size * 0.75);
  QImage banded(size, size, QImage::Format_RGB32);
  {
    QPainter painter(&banded);
    for (const auto& [top, count] : {std::pair<int, int>{0, cut}, std::pair<int, int>{cut, size - cut}}) {
      QImage band(size, count, QImage::Format_RGB32);
      {
        QPainter bandPainter(&band);
        renderer.drawRows(bandPainter, top, count, size);
      }
      painter.drawImage(0, top, band);
    }
  }
  int differing = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const QRgb a = whole.pixel(x, y), b = banded.pixel(x, y);
      differing += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 24;
    }
  EXPECT_LE(differing, 4);
}

TEST_F(UserStyles, WhatIsNotDrawnIsNamedAndTheDocumentKeepsTheLabels) {
  PageLayout layout = styledPage();
  MapLayer& towns = layout.frames[0].layers[2].data;
  towns.styleXml = ReplaceAll(towns.styleXml, "&quot;pop&quot; &lt; 10", "&quot;pop&quot; =~ 10");
  MapLayer& roads = layout.frames[0].layers[1].data;
  roads.labelingXml = "<labeling type=\"rule-based\"><rules/></labeling>";
  MapLayer& wells = layout.frames[0].layers[0].data;
  wells.labelingXml = ReplaceAll(
      wells.labelingXml, "</settings>",
      "<dd_properties><Option type=\"Map\"><Option name=\"properties\" type=\"Map\"><Option name=\"Color\" "
      "type=\"Map\"><Option name=\"active\" value=\"true\" type=\"bool\"/></Option></Option></Option>"
      "</dd_properties></settings>");
  const auto notices = print(layout, "n.png");
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_NE(notices[2].find("wells"), std::string::npos);
  EXPECT_NE(notices[2].find("Color"), std::string::npos);
  EXPECT_NE(notices[0].find("towns"), std::string::npos);
  EXPECT_NE(notices[0].find("=~"), std::string::npos);
  EXPECT_NE(notices[1].find("roads"), std::string::npos);
  EXPECT_NE(notices[1].find("rule-based"), std::string::npos);
  testing::Picture picture(folder.file("n.png"));
  EXPECT_EQ(colorAt(picture, 120, 120), (std::array<int, 3>{0, 0, 255})) << "the unreadable rule draws nothing";

  SaveMapDocument(styledPage(), LayerStyles{}, folder.file("m.qgs"));
  std::unique_ptr<CPLXMLNode, void (*)(CPLXMLNode*)> root(CPLParseXMLFile(folder.file("m.qgs").c_str()),
                                                          CPLDestroyXMLNode);
  ASSERT_NE(root, nullptr);
  int labelled = 0;
  for (const CPLXMLNode* node = CPLGetXMLNode(root.get(), "=qgis.projectlayers")->psChild; node; node = node->psNext) {
    if (node->eType != CXT_Element || !EQUAL(node->pszValue, "maplayer")) continue;
    EXPECT_STREQ(CPLGetXMLValue(node, "labelsEnabled", ""), "1");
    EXPECT_STREQ(CPLGetXMLValue(node, "labeling.type", ""), "simple");
    EXPECT_EQ(CPLGetXMLValue(node, "labeling.settings.text-style.fontFamily", ""),
              InstalledFace("SimHei").toStdString()) << "the face the picture draws with";
    if (std::string(CPLGetXMLValue(node, "layername", "")) == "towns") {
      EXPECT_STREQ(CPLGetXMLValue(node, "labeling.settings.text-style.fieldName", ""), "\"name\" || '镇'");
    }
    ++labelled;
  }
  EXPECT_EQ(labelled, 3);
}

TEST_F(UserStyles, AMarkerLineSetsItsMarkersAlongTheLine) {
  PageLayout layout = styledPage();
  MapLayer& roads = layout.frames[0].layers[1].data;
  roads.labelsEnabled = false;
  // Red 3 mm squares every 10 mm from 5 mm along the road, which starts 100 m in.
  roads.styleXml = MarkerSettingStyle(
      "line", "MarkerLine",
      Option("placement", "interval") + Option("interval", "10") + Option("interval_unit", "MM") +
          Option("offset_along_line", "5") + Option("offset_along_line_unit", "MM") + Option("rotate", "1"),
      Option("name", "square") + Option("color", "255,0,0,255") + Option("outline_style", "no") + Option("size", "3"));
  ASSERT_TRUE(print(layout, "m.png").empty());
  testing::Picture picture(folder.file("m.png"));
  ASSERT_TRUE(picture.valid());
  for (double x = 150; x < 900; x += 100) {
    EXPECT_GT(picture.redPixels(Box(x - 10, 690, x + 10, 710)), 20) << x;
    EXPECT_EQ(picture.redPixels(Box(x + 25, 680, x + 75, 720)), 0) << x;
  }
}

TEST_F(UserStyles, ZeroDashesDrawNothingAndOddSizesOrIntervalsStillMakeThePicture) {
  PageLayout layout = styledPage();
  MapLayer& roads = layout.frames[0].layers[1].data;
  roads.labelsEnabled = false;
  roads.styleXml = ReplaceAll(roads.styleXml, Option("customdash", "3;3"), Option("customdash", "0;0"));
  ASSERT_TRUE(print(layout, "z.png").empty());
  testing::Picture zeros(folder.file("z.png"));
  ASSERT_TRUE(zeros.valid());
  EXPECT_EQ(zeros.darkPixels(Box(150, 680, 900, 720)), 0) << "QGIS draws no line for such a pattern";

  // Sizes beyond any paper: the picture is still made.
  for (const char* size : {"1e30", "-3", "1e300"}) {
    roads.styleXml = ReplaceAll(styledPage().frames[0].layers[1].data.styleXml, Option("line_width", "1"),
                                Option("line_width", size));
    MapLayer& wells = layout.frames[0].layers[0].data;
    wells.styleXml = ReplaceAll(styledPage().frames[0].layers[0].data.styleXml, Option("size", "6"), Option("size", size));
    ASSERT_TRUE(print(layout, "h.png").empty()) << size;
  }

  // Markers every 0 mm, or every so little that they would be millions: the picture is still made.
  for (const char* interval : {"0", "-5", "0.0000001"}) {
    roads.styleXml = MarkerSettingStyle(
        "line", "MarkerLine", Option("placement", "interval") + Option("interval", interval) + Option("interval_unit", "MM"),
        Option("name", "square") + Option("color", "255,0,0,255"));
    ASSERT_TRUE(print(layout, "i.png").empty()) << interval;
  }
}

TEST_F(UserStyles, ACentroidFillMarksTheMiddleOfEachSurface) {
  PageLayout layout = styledPage();
  MapLayer& towns = layout.frames[0].layers[2].data;
  towns.labelsEnabled = false;
  towns.styleXml = MarkerSettingStyle(
      "fill", "CentroidFill", Option("point_on_all_parts", "1"),
      Option("name", "circle") + Option("color", "255,0,0,255") + Option("outline_style", "no") + Option("size", "4"));
  LayoutLayer yards = layer("yards");
  yards.data.styleXml = towns.styleXml;
  layout.frames[0].layers.insert(layout.frames[0].layers.begin(), yards);
  ASSERT_TRUE(print(layout, "c.png").empty());
  testing::Picture picture(folder.file("c.png"));
  ASSERT_TRUE(picture.valid());
  for (const double x : {250.0, 750.0}) {
    EXPECT_GT(picture.redPixels(Box(x - 15, 235, x + 15, 265)), 20) << x;
    EXPECT_EQ(picture.redPixels(Box(x - 150, 100, x - 30, 400)), 0) << x;
    EXPECT_EQ(picture.redPixels(Box(x + 30, 100, x + 150, 400)), 0) << x;
  }
  // The yard's 300 by 100 m frame less its 140 by 80 m hole: the middle at x = 292 m.
  EXPECT_GT(picture.redPixels(Box(277, 485, 307, 515)), 20);
  EXPECT_EQ(picture.redPixels(Box(100, 450, 260, 550)), 0) << "not the middle of its box, 250 m";
}

TEST_F(UserStyles, AProjectsLabelsReachTheLayer) {
  std::ofstream(folder.file("p.qgs"))
      << "<qgis><projectlayers><maplayer type=\"vector\" labelsEnabled=\"1\"><id>w</id>"
         "<datasource>./map.gpkg|layername=wells</datasource><layername>wells</layername><provider>ogr</provider>"
      << Labeling("name", false, "<placement placement=\"0\"/>") << "</maplayer></projectlayers></qgis>";
  const auto document = MapDocument::Open(folder.file("p.qgs"));
  ASSERT_EQ(document->layers().size(), 1u);
  EXPECT_TRUE(document->layers()[0].labelsEnabled);
  std::string problem;
  const auto labels = ReadLabelStyle(document->layers()[0].labelingXml, problem);
  ASSERT_TRUE(labels);
  EXPECT_EQ(labels->fieldName, "name");
  EXPECT_EQ(labels->placement, 0);
  EXPECT_DOUBLE_EQ(labels->fontSize.value, 14);
  EXPECT_EQ(labels->fontSize.unit, SizeUnit::Points);
}

}  // namespace
}  // namespace framora
