#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>

#include "gis/gdal_setup.h"
#include "layout/layout_test_support.h"
#include "layout/gui_application.h"
#include "layout/map_document_writer.h"
#include "layout/picture_export.h"
#include "layout/raster_layer_drawing.h"
#include "support/test_geometry.h"

namespace framora {
namespace {

// A 1 km square about 39.87 N, 20 by 20 pixels of 50 m: the left half one colour, the right another.
constexpr double kLeft = 39499500, kBottom = 4415000, kSize = 1000;

void WriteImage(const std::string& path, const std::array<GByte, 3>& left, const std::array<GByte, 3>& right) {
  GDALDatasetUniquePtr image(
      GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 20, 20, 3, GDT_Byte, nullptr));
  double transform[6] = {kLeft, 50, 0, kBottom + kSize, 0, -50};
  image->SetGeoTransform(transform);
  const OGRSpatialReference plane = testing::SampleReference();
  image->SetSpatialRef(&plane);
  for (int band = 0; band < 3; ++band) {
    std::vector<GByte> values(400);
    for (int i = 0; i < 400; ++i) values[i] = i % 20 < 10 ? left[band] : right[band];
    ASSERT_EQ(image->GetRasterBand(band + 1)->RasterIO(GF_Write, 0, 0, 20, 20, values.data(), 20, 20, GDT_Byte, 0, 0,
                                                        nullptr),
              CE_None);
  }
}

std::string Pipe(const std::string& renderer) { return "<qgis><pipe>" + renderer + "</pipe></qgis>"; }

class RasterLayers : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdalRegistered();
    WriteImage(folder.file("image.tif"), {200, 30, 40}, {20, 60, 220});
  }
  // Exports a page showing the square with the image under it; returns the notices.
  std::vector<std::string> print(const std::string& pipe, const std::string& picture) {
    const FrameSettings settings;
    PageLayoutControl control(pageWithImage(pipe), settings, folder.path().string());
    return ExportActiveView(control, folder.file(picture), 50);
  }
  PageLayout pageWithImage(const std::string& pipe) {
    // White either side of the image.
    PageLayout layout = testing::SquareMapPage(Envelope{kLeft - 500, kBottom, kLeft + kSize + 500, kBottom + kSize});
    LayoutLayer layer;
    layer.data.name = "影像";
    layer.data.source = folder.file("image.tif");
    layer.data.isVector = false;
    layer.data.isRaster = true;
    layer.data.styleXml = pipe;
    layout.frames[0].layers.push_back(layer);
    return layout;
  }
  static std::array<int, 3> colorAt(testing::Picture& picture, double x, double y) {
    const double* t = picture.transform();
    const int column = static_cast<int>((x - t[0]) / t[1]);
    const int row = static_cast<int>((y - t[3]) / t[5]);
    std::array<int, 3> rgb{};
    for (int band = 0; band < 3; ++band) {
      GByte value = 0;
      EXPECT_EQ(picture.dataset().GetRasterBand(band + 1)->RasterIO(GF_Read, column, row, 1, 1, &value, 1, 1, GDT_Byte,
                                                                    0, 0, nullptr),
                CE_None);
      rgb[band] = value;
    }
    return rgb;
  }
  static void expectNear(const std::array<int, 3>& actual, const std::array<int, 3>& expected) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k], expected[k], 3) << "channel " << k;
  }
  testing::TempFolder folder;
};

TEST_F(RasterLayers, MultibandColourKeepsTheImagesColoursInsideTheFrameOnly) {
  ASSERT_TRUE(print(Pipe("<rasterrenderer type=\"multibandcolor\" opacity=\"1\" redBand=\"1\" greenBand=\"2\" "
                         "blueBand=\"3\"/>"),
                    "m.png")
                  .empty());
  testing::Picture picture(folder.file("m.png"));
  ASSERT_TRUE(picture.valid());
  expectNear(colorAt(picture, kLeft + 200, kBottom + 500), {200, 30, 40});
  expectNear(colorAt(picture, kLeft + 800, kBottom + 500), {20, 60, 220});
  expectNear(colorAt(picture, kLeft - 200, kBottom + 500), {255, 255, 255});
}

TEST_F(RasterLayers, StretchesBandMappingAndOpacityFollowTheRenderer) {
  // Blue and red swapped, red stretched over 20..200, half opaque over white.
  ASSERT_TRUE(print(Pipe("<rasterrenderer type=\"multibandcolor\" opacity=\"0.5\" redBand=\"3\" greenBand=\"2\" "
                         "blueBand=\"1\"><redContrastEnhancement><minValue>40</minValue><maxValue>220</maxValue>"
                         "<algorithm>StretchToMinimumMaximum</algorithm></redContrastEnhancement></rasterrenderer>"),
                    "s.png")
                  .empty());
  testing::Picture picture(folder.file("s.png"));
  // Left: red from 40 -> 0, green 30, blue 200; halfway to white.
  expectNear(colorAt(picture, kLeft + 200, kBottom + 500), {128, 143, 228});
  // Right: red from 220 -> 255, green 60, blue 20.
  expectNear(colorAt(picture, kLeft + 800, kBottom + 500), {255, 158, 138});
}

TEST_F(RasterLayers, SingleBandRenderersColourOneBand) {
  ASSERT_TRUE(print(Pipe("<rasterrenderer type=\"singlebandgray\" grayBand=\"2\" gradient=\"BlackToWhite\">"
                         "<contrastEnhancement><minValue>30</minValue><maxValue>60</maxValue>"
                         "<algorithm>StretchToMinimumMaximum</algorithm></contrastEnhancement></rasterrenderer>"),
                    "g.png")
                  .empty());
  testing::Picture grey(folder.file("g.png"));
  expectNear(colorAt(grey, kLeft + 200, kBottom + 500), {0, 0, 0});
  expectNear(colorAt(grey, kLeft + 800, kBottom + 500), {255, 255, 255});

  ASSERT_TRUE(print(Pipe("<rasterrenderer type=\"paletted\" band=\"1\"><colorPalette>"
                         "<paletteEntry value=\"200\" color=\"#00ff00\" alpha=\"255\"/>"
                         "<paletteEntry value=\"20\" color=\"#ffff00\" alpha=\"255\"/></colorPalette></rasterrenderer>"),
                    "p.png")
                  .empty());
  testing::Picture paletted(folder.file("p.png"));
  expectNear(colorAt(paletted, kLeft + 200, kBottom + 500), {0, 255, 0});
  expectNear(colorAt(paletted, kLeft + 800, kBottom + 500), {255, 255, 0});

  ASSERT_TRUE(print(Pipe("<rasterrenderer type=\"singlebandpseudocolor\" band=\"1\"><rastershader>"
                         "<colorrampshader colorRampType=\"INTERPOLATED\">"
                         "<item value=\"0\" color=\"#000000\" alpha=\"255\"/>"
                         "<item value=\"100\" color=\"#0000c8\" alpha=\"255\"/>"
                         "<item value=\"300\" color=\"#c80000\" alpha=\"255\"/></colorrampshader></rastershader>"
                         "</rasterrenderer>"),
                    "c.png")
                  .empty());
  testing::Picture ramp(folder.file("c.png"));
  expectNear(colorAt(ramp, kLeft + 200, kBottom + 500), {100, 0, 100});  // 200: halfway from 100 to 300
  expectNear(colorAt(ramp, kLeft + 800, kBottom + 500), {0, 0, 40});     // 20: a fifth of the way to 100
}

TEST_F(RasterLayers, AnImageInDegreesIsWarpedOntoTheMap) {
  OGRSpatialReference geographic;
  geographic.importFromEPSG(4490);
  GDALDatasetUniquePtr image(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
      folder.file("image.tif").c_str(), 10, 10, 3, GDT_Byte, nullptr));
  double transform[6] = {116.9, 0.02, 0, 40.0, 0, -0.02};  // 116.9..117.1 E, 39.8..40.0 N
  image->SetGeoTransform(transform);
  image->SetSpatialRef(&geographic);
  for (int band = 0; band < 3; ++band) image->GetRasterBand(band + 1)->Fill(band == 1 ? 150 : 10);
  image.reset();
  ASSERT_TRUE(print("", "w.png").empty());
  testing::Picture picture(folder.file("w.png"));
  expectNear(colorAt(picture, kLeft + 500, kBottom + 500), {10, 150, 10});
}

TEST_F(RasterLayers, ARendererNotDrawnIsNamedAndAnUnreadableImageToo) {
  const auto notices = print(Pipe("<rasterrenderer type=\"hillshade\" band=\"1\"/>"), "h.png");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("影像"), std::string::npos);
  EXPECT_NE(notices[0].find("hillshade"), std::string::npos);
  // A vector layer whose renderer is not one we draw is named the same way.
  {
    GDALDatasetUniquePtr data(GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
        folder.file("towns.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference plane = testing::SampleReference();
    ASSERT_NE(data->CreateLayer("towns", &plane, wkbPolygon, nullptr), nullptr);
  }
  PageLayout layout = pageWithImage("");
  LayoutLayer towns;
  towns.data = MapDocument::Open(folder.file("towns.gpkg"))->layers().front();
  towns.data.name = "乡镇";
  towns.data.styleXml = "<qgis><renderer-v2 type=\"heatmapRenderer\"/></qgis>";
  layout.frames[0].layers.insert(layout.frames[0].layers.begin(), towns);
  const FrameSettings settings;
  PageLayoutControl control(std::move(layout), settings, folder.path().string());
  const auto ruled = ExportActiveView(control, folder.file("r.png"), 50);
  ASSERT_EQ(ruled.size(), 1u);
  EXPECT_NE(ruled[0].find("乡镇"), std::string::npos);
  EXPECT_NE(ruled[0].find("heatmapRenderer"), std::string::npos);

  // A symbol layer not drawn is named, the ones drawn beside it kept.
  towns.data.styleXml =
      "<qgis><renderer-v2 type=\"singleSymbol\"><symbols><symbol name=\"0\" type=\"fill\">"
      "<layer class=\"SimpleFill\" enabled=\"1\" pass=\"0\"/><layer class=\"GradientFill\" enabled=\"1\" pass=\"0\"/>"
      "</symbol></symbols></renderer-v2></qgis>";
  PageLayout gradient = pageWithImage("");
  gradient.frames[0].layers.insert(gradient.frames[0].layers.begin(), towns);
  PageLayoutControl gradientControl(std::move(gradient), settings, folder.path().string());
  const auto layered = ExportActiveView(gradientControl, folder.file("f.png"), 50);
  ASSERT_EQ(layered.size(), 1u);
  EXPECT_NE(layered[0].find("GradientFill"), std::string::npos);
  EXPECT_NE(layered[0].find("乡镇"), std::string::npos);

  std::ofstream(folder.file("image.tif"), std::ios::trunc) << "not an image";
  const auto missing = print("", "x.png");
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_NE(missing[0].find("影像"), std::string::npos);
}

TEST_F(RasterLayers, AProjectsGdalLayerIsReadWithItsPipe) {
  std::ofstream(folder.file("p.qgs"))
      << "<qgis><projectlayers><maplayer type=\"raster\" hasScaleBasedVisibilityFlag=\"1\" minScale=\"50000\" "
         "maxScale=\"1000\"><id>img</id><layerOpacity>0.4</layerOpacity><datasource>./image.tif</datasource>"
         "<layername>影像</layername><provider>gdal</provider><pipe><rasterrenderer type=\"paletted\" band=\"1\"/>"
         "</pipe></maplayer></projectlayers></qgis>";
  const auto document = MapDocument::Open(folder.file("p.qgs"));
  ASSERT_EQ(document->layers().size(), 1u);
  const MapLayer& layer = document->layers()[0];
  EXPECT_TRUE(layer.isRaster);
  EXPECT_FALSE(layer.isVector);
  EXPECT_EQ(std::filesystem::path(layer.source), std::filesystem::path(folder.file("image.tif")));
  EXPECT_NE(layer.styleXml.find("paletted"), std::string::npos);
  EXPECT_DOUBLE_EQ(layer.opacity, 0.4);
  EXPECT_TRUE(layer.shownAtScale(20000));
  EXPECT_TRUE(layer.shownAtScale(1000));
  EXPECT_FALSE(layer.shownAtScale(50000));
  EXPECT_FALSE(layer.shownAtScale(999));
}

TEST_F(RasterLayers, LayerOpacityAndTheScalesALayerIsShownAtHold) {
  // The page shows 2 km on 100 mm: 1:20000.
  PageLayout layout = pageWithImage("");
  layout.frames[0].layers[0].data.opacity = 0.5;
  {
    GDALDatasetUniquePtr data(GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
        folder.file("towns.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference plane = testing::SampleReference();
    OGRLayer* towns = data->CreateLayer("towns", &plane, wkbPolygon, nullptr);
    OGRFeature town(towns->GetLayerDefn());
    OGRGeometry* square = nullptr;
    const std::string wkt = "POLYGON((39500100 4415100,39500400 4415100,39500400 4415400,39500100 4415400,39500100 4415100))";
    OGRGeometryFactory::createFromWkt(wkt.c_str(), &plane, &square);
    town.SetGeometryDirectly(square);
    ASSERT_EQ(towns->CreateFeature(&town), OGRERR_NONE);
  }
  LayoutLayer towns;
  towns.data = MapDocument::Open(folder.file("towns.gpkg"))->layers().front();
  towns.data.styleXml =
      "<qgis><renderer-v2 type=\"singleSymbol\"><symbols><symbol name=\"0\" type=\"fill\"><layer class=\"SimpleFill\" "
      "enabled=\"1\" pass=\"0\"><Option type=\"Map\"><Option name=\"color\" value=\"0,0,0,255\" type=\"QString\"/>"
      "<Option name=\"outline_style\" value=\"no\" type=\"QString\"/></Option></layer></symbol></symbols>"
      "</renderer-v2></qgis>";
  towns.data.opacity = 0.5;
  layout.frames[0].layers.insert(layout.frames[0].layers.begin(), towns);
  LayoutLayer hidden = towns;  // shown only closer than 1:10000
  hidden.data.opacity = 1;
  hidden.data.scaleLimited = true;
  hidden.data.minScale = 10000;
  layout.frames[0].layers.insert(layout.frames[0].layers.begin(), hidden);
  const FrameSettings settings;
  PageLayoutControl control(std::move(layout), settings, folder.path().string());
  ASSERT_TRUE(ExportActiveView(control, folder.file("o.png"), 50).empty());
  testing::Picture picture(folder.file("o.png"));
  expectNear(colorAt(picture, kLeft + 200, kBottom + 500), {228, 143, 148});  // the image at half
  expectNear(colorAt(picture, kLeft + 800, kBottom + 500), {138, 158, 238});
  // Black at half over the image at half, not the black of the hidden copy.
  expectNear(colorAt(picture, kLeft + 750, kBottom + 250), {69, 79, 119});
}

TEST_F(RasterLayers, TheMapDocumentListsTheImageWithItsPipe) {
  const std::string pipe = "<rasterrenderer type=\"paletted\" band=\"1\" opacity=\"0.7\"/>";
  RequireGuiApplication();
  SaveMapDocument(pageWithImage(Pipe(pipe)), LayerStyles{}, folder.file("m.qgs"));
  std::unique_ptr<CPLXMLNode, void (*)(CPLXMLNode*)> root(CPLParseXMLFile(folder.file("m.qgs").c_str()),
                                                          CPLDestroyXMLNode);
  ASSERT_NE(root, nullptr);
  const CPLXMLNode* layer = CPLGetXMLNode(root.get(), "=qgis.projectlayers.maplayer");
  ASSERT_NE(layer, nullptr);
  EXPECT_STREQ(CPLGetXMLValue(layer, "type", ""), "raster");
  EXPECT_STREQ(CPLGetXMLValue(layer, "provider", ""), "gdal");
  EXPECT_STREQ(CPLGetXMLValue(layer, "datasource", ""), "./image.tif");
  EXPECT_STREQ(CPLGetXMLValue(layer, "pipe.rasterrenderer.type", ""), "paletted");
  EXPECT_STREQ(CPLGetXMLValue(layer, "pipe.rasterrenderer.opacity", ""), "0.7");
  EXPECT_STREQ(CPLGetXMLValue(root.get(), "=qgis.layer-tree-group.layer-tree-layer.providerKey", ""), "gdal");
  std::ifstream file(folder.file("m.qgs"));
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("<Layer source=\"./image.tif\" provider=\"gdal\""), std::string::npos);  // the map item's
}

TEST_F(RasterLayers, ResamplingIsTheProjectsOrBilinearInPictureAndMapDocumentAlike) {
  std::string unknown;
  const RasterLook chosen = RasterLook::FromPipe(
      Pipe("<rasterrenderer type=\"multibandcolor\"/><rasterresampler zoomedInResampler=\"cubic\" "
           "zoomedOutResampler=\"nearestNeighbour\"/>"),
      3, unknown);
  EXPECT_EQ(chosen.enlargingResampling, GRIORA_Cubic);
  EXPECT_EQ(chosen.resampling, GRIORA_NearestNeighbour);
  // QGIS leaves the attributes out for its nearest neighbour; the pictures smooth there, and so
  // must QGIS with the map document.
  const std::string open = Pipe("<rasterrenderer type=\"multibandcolor\"/><rasterresampler maxOversampling=\"2\"/>");
  const RasterLook smoothed = RasterLook::FromPipe(open, 3, unknown);
  EXPECT_EQ(smoothed.enlargingResampling, GRIORA_Bilinear);
  EXPECT_EQ(smoothed.resampling, GRIORA_Bilinear);
  RequireGuiApplication();
  SaveMapDocument(pageWithImage(open), LayerStyles{}, folder.file("r.qgs"));
  std::unique_ptr<CPLXMLNode, void (*)(CPLXMLNode*)> root(CPLParseXMLFile(folder.file("r.qgs").c_str()),
                                                          CPLDestroyXMLNode);
  ASSERT_NE(root, nullptr);
  const CPLXMLNode* resampler = CPLGetXMLNode(root.get(), "=qgis.projectlayers.maplayer.pipe.rasterresampler");
  ASSERT_NE(resampler, nullptr);
  EXPECT_STREQ(CPLGetXMLValue(resampler, "zoomedInResampler", ""), "bilinear");
  EXPECT_STREQ(CPLGetXMLValue(resampler, "zoomedOutResampler", ""), "bilinear");
  EXPECT_STREQ(CPLGetXMLValue(resampler, "maxOversampling", ""), "2");
}

}  // namespace
}  // namespace framora
