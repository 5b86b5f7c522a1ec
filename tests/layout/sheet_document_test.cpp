#include <cpl_conv.h>
#include <cpl_minixml.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "gis/gdal_setup.h"
#include "layout/layout_test_support.h"
#include "layout/picture_export.h"
#include "support/test_geometry.h"

namespace framora {
namespace {

namespace fs = std::filesystem;
using testing::Picture;
using testing::SheetLayoutTest;

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The resolution a picture file itself records, in dots per inch; 0 for none. Read from the
// bytes, so that GDAL's side file cannot stand in for it.
double RecordedDpi(const std::string& path, const std::string& extension) {
  const std::string bytes = FileText(path);
  const auto byte = [&bytes](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
  if (extension == ".PNG") {
    const size_t chunk = bytes.find("pHYs");
    if (chunk == std::string::npos || chunk + 13 > bytes.size() || byte(chunk + 12) != 1) return 0;
    const unsigned perMetre = byte(chunk + 4) << 24 | byte(chunk + 5) << 16 | byte(chunk + 6) << 8 | byte(chunk + 7);
    return perMetre * 0.0254;
  }
  if (extension == ".BMP") {
    const unsigned perMetre = byte(38) | byte(39) << 8 | byte(40) << 16 | byte(41) << 24;
    return perMetre * 0.0254;
  }
  if (extension == ".jpg") return byte(13) == 1 ? (byte(14) << 8 | byte(15)) : 0;  // JFIF, dots per inch
  if (extension == ".TIF") {
    GDALDatasetUniquePtr tiff(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    const char* resolution = tiff ? tiff->GetMetadataItem("TIFFTAG_XRESOLUTION") : nullptr;
    return resolution != nullptr ? CPLAtof(resolution) : 0;
  }
  return 0;
}

class SheetDocument : public SheetLayoutTest {};

TEST_F(SheetDocument, TheWorkedExampleIsLaidOutSavedAndExported) {
  auto builder = makeBuilder();
  buildSheet(*builder);
  ASSERT_TRUE(ui.messages.empty()) << ui.messages.front();

  const PageLayout& layout = control->layout();
  EXPECT_DOUBLE_EQ(layout.page.width, 316);
  EXPECT_DOUBLE_EQ(layout.page.height, 296);
  EXPECT_EQ(layout.page.units, kUnitMillimetres);
  ASSERT_EQ(layout.frames.size(), 2u);
  EXPECT_EQ(layout.frames[0].name, "Layers");
  EXPECT_EQ(layout.frames[1].name, "outer Map");
  for (const MapFrame& frame : layout.frames) {
    EXPECT_DOUBLE_EQ(frame.pageEnvelope.xmax, 316);
    EXPECT_DOUBLE_EQ(frame.pageEnvelope.ymax, 296);
    EXPECT_DOUBLE_EQ(frame.extent.xmin, 2420);
    EXPECT_DOUBLE_EQ(frame.extent.ymin, 1520);
    EXPECT_DOUBLE_EQ(frame.extent.xmax, 5580);
    EXPECT_DOUBLE_EQ(frame.extent.ymax, 4480);
    EXPECT_EQ(frame.mapUnits, kUnitMetres);
    EXPECT_FALSE(frame.border);
    EXPECT_NEAR(frame.scale(layout.page), 10000, 1e-6);
  }
  const MapFrame& sheetFrame = layout.frames[1];
  ASSERT_EQ(sheetFrame.layers.size(), 3u);
  EXPECT_EQ(sheetFrame.layers[0].data.name, "a_S");
  EXPECT_EQ(sheetFrame.layers[1].data.name, "L_S");
  EXPECT_EQ(sheetFrame.layers[2].data.name, "p_S");
  EXPECT_DOUBLE_EQ(sheetFrame.layers[0].referenceScale, 10000);
  EXPECT_EQ(sheetFrame.layers[0].openClass, nullptr);  // given back with the sheet
  ASSERT_TRUE(layout.frames[0].clipShape);
  EXPECT_DOUBLE_EQ(EnvelopeOf(*layout.frames[0].clipShape).xmin, 3000);
  EXPECT_EQ(layout.frames[0].layers.size(), 2u);  // the user's roads and parcels

  EXPECT_TRUE(fs::exists(output("S.qgs")));
  EXPECT_TRUE(fs::exists(output("S.PNG")));
}

TEST_F(SheetDocument, ThePictureShowsFramesMaskAndTitleOverTheClippedMap) {
  settings.ExportDpi = 100;
  auto builder = makeBuilder();
  buildSheet(*builder);
  Picture picture(output("S.PNG"));
  ASSERT_TRUE(picture.valid());
  // Thin lines are drawn at their exact width, smoothed: grey at 100 dpi, yet there.
  EXPECT_LT(picture.darkness(3000, 3500), 200);  // inner frame
  EXPECT_LT(picture.darkness(2920, 3500), 80);  // outer frame, 1 mm wide
  EXPECT_LT(picture.darkness(2920 - 4, 3500), 80);
  EXPECT_LT(picture.darkness(4000, 2500), 230);  // km grid
  // The road runs corner to corner: drawn inside the sheet, whited out by the mask between
  // the frames, clipped away beyond the mask.
  const auto roadY = [](double x) { return 1520 + (x - 2420) * (4480 - 1520) / (5580 - 2420); };
  EXPECT_LT(picture.darkness(3500, roadY(3500)), 200);
  EXPECT_EQ(picture.darkness(2960, roadY(2960)), 255);
  EXPECT_EQ(picture.darkness(2500, roadY(2500)), 255);
  // The title stands centred above the outer frame, 24 pt high at the map scale.
  EXPECT_GT(picture.darkPixels(Envelope{3800, 4170, 4200, 4260}), 40);
  EXPECT_EQ(picture.darkPixels(Envelope{2500, 4170, 3300, 4260}), 0);
  EXPECT_EQ(picture.darkPixels(Envelope{4700, 4170, 5500, 4260}), 0);
}

TEST_F(SheetDocument, ALayerSwitchedOffIsNotPrintedAndStaysOffInTheMapDocument) {
  settings.ExportDpi = 100;
  for (LayoutLayer& layer : control->layout().frames[0].layers)
    if (layer.data.name == "roads") layer.data.visible = false;
  auto builder = makeBuilder();
  buildSheet(*builder);
  Picture picture(output("S.PNG"));
  ASSERT_TRUE(picture.valid());
  const auto roadY = [](double x) { return 1520 + (x - 2420) * (4480 - 1520) / (5580 - 2420); };
  EXPECT_GT(picture.darkness(3500, roadY(3500)), 128);
  const std::string project = FileText(output("S.qgs"));
  const auto roads = project.find("name=\"roads\"");
  ASSERT_NE(roads, std::string::npos);
  EXPECT_NE(project.find("checked=\"Qt::Unchecked\"", project.rfind("<layer-tree-layer", roads)), std::string::npos);
}

TEST_F(SheetDocument, WhatTheMapUsesAndIsNotDrawnIsToldOnceARun) {
  {
    GDALDatasetUniquePtr image(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        folder.file("relief.tif").c_str(), 8, 8, 1, GDT_Byte, nullptr));
    double transform[6] = {2420, 400, 0, 4480, 0, -400};
    image->SetGeoTransform(transform);
  }
  LayoutLayer relief;
  relief.data.name = "地势";
  relief.data.source = folder.file("relief.tif");
  relief.data.isVector = false;
  relief.data.isRaster = true;
  relief.data.styleXml = "<qgis><pipe><rasterrenderer type=\"hillshade\" band=\"1\"/></pipe></qgis>";
  control->layout().frames[0].layers.push_back(relief);
  auto builder = makeBuilder();
  buildSheet(*builder, "S");
  buildSheet(*builder, "T");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "图层地势的栅格渲染方式hillshade不能绘制，按默认样式绘制");
}

TEST_F(SheetDocument, EveryRasterFormatDecodesWithItsSizeGeoreferenceAndColours) {
  testing::SampleSheetParts redTitle;
  redTitle.titleFont.color = 0x0000FF;  // red in the lowest byte
  auto builder = makeBuilder();
  buildSheet(*builder, "S", redTitle);
  const PixelSize size = ExportPixelSize(control->layout().page, 50);
  ASSERT_EQ(size.width, 622);
  ASSERT_EQ(size.height, 582);
  const std::pair<const char*, const char*> formats[] = {
      {".BMP", "bpw"}, {".jpg", "jgw"}, {".PNG", "pgw"}, {".TIF", nullptr}, {".GIF", "gfw"}};
  for (const auto& [extension, worldFile] : formats) {
    SCOPED_TRACE(extension);
    const std::string file = output(std::string("S") + extension);
    ASSERT_TRUE(ExportActiveView(*control, file, 50).empty());
    Picture picture(file);
    ASSERT_TRUE(picture.valid());
    EXPECT_EQ(picture.width(), size.width);
    EXPECT_EQ(picture.height(), size.height);
    const double* transform = picture.transform();
    EXPECT_NEAR(transform[0], 2420, 1e-6);
    EXPECT_NEAR(transform[3], 4480, 1e-6);
    EXPECT_NEAR(transform[1], 10 * 25.4 / 50, 1e-9);  // 10 m a millimetre at 50 dpi
    EXPECT_NEAR(transform[5], -10 * 25.4 / 50, 1e-9);
    const OGRSpatialReference* srs = picture.dataset().GetSpatialRef();
    ASSERT_NE(srs, nullptr);
    EXPECT_STREQ(srs->GetAuthorityCode(nullptr), "4527");
    // EPSG:4527 names the northing first; the geotransform's x is the easting.
    EXPECT_EQ(srs->GetDataAxisToSRSAxisMapping(), (std::vector<int>{2, 1}));
    if (std::string(extension) != ".GIF") {
      EXPECT_NEAR(RecordedDpi(file, extension), 50, 0.013);  // whole pixels per metre in PNG and BMP
    }
    if (worldFile) {
      EXPECT_TRUE(fs::exists(CPLResetExtension(file.c_str(), worldFile)));
    }
    EXPECT_LT(picture.darkness(2920, 3000), 100);  // the outer frame survives every format
    EXPECT_GT(picture.redPixels(Envelope{3800, 4170, 4200, 4260}), 20);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SheetDocument, GifChoosesItsPaletteFromThePage) {
  testing::SampleSheetParts paleTitle;
  paleTitle.titleFont.color = 0xC3E8F6;  // (246, 232, 195), red in the lowest byte
  auto builder = makeBuilder();
  buildSheet(*builder, "S", paleTitle);
  const std::string file = output("S.GIF");
  ASSERT_TRUE(ExportActiveView(*control, file, 50).empty());
  GDALDatasetUniquePtr gif(GDALDataset::Open(file.c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(gif);
  const GDALColorTable* table = gif->GetRasterBand(1)->GetColorTable();
  ASSERT_NE(table, nullptr);
  // A fixed colour cube would offer (255, 255, 204) at best, 23 away; median cut works on five
  // bits a channel and averages the cells it makes.
  int nearest = 255;
  for (int i = 0; i < table->GetColorEntryCount(); ++i) {
    const GDALColorEntry* entry = table->GetColorEntry(i);
    nearest = std::min(nearest, std::max({std::abs(entry->c1 - 246), std::abs(entry->c2 - 232), std::abs(entry->c3 - 195)}));
  }
  EXPECT_LE(nearest, 8);
}

TEST_F(SheetDocument, PdfIsAVectorPageWithItsFontsInside) {
  auto builder = makeBuilder();
  buildSheet(*builder);
  const std::string file = output("S.pdf");
  ASSERT_TRUE(ExportActiveView(*control, file, 50).empty());
  const std::string text = FileText(file);
  EXPECT_NE(text.find("/FontFile"), std::string::npos);
  EXPECT_EQ(text.find("/Subtype /Image"), std::string::npos);
  const char* options[] = {"DPI=50", nullptr};
  GDALDatasetUniquePtr pdf(GDALDataset::Open(file.c_str(), GDAL_OF_RASTER, nullptr, options));
  ASSERT_TRUE(pdf);
  EXPECT_NEAR(pdf->GetRasterXSize(), 622, 1);
  EXPECT_NEAR(pdf->GetRasterYSize(), 582, 1);
}

TEST_F(SheetDocument, BandsOfRowsJoinWithoutSeams) {
  auto builder = makeBuilder();
  buildSheet(*builder);
  const PageLayout& layout = control->layout();
  PageRenderer renderer(layout, control->styles(), 50);
  const Georeference where = PageGeoreference(layout, 50);
  const auto read = [&](size_t budget, int& bands) {
    RenderedPageDataset page(renderer, 622, 582, where, budget);
    std::vector<GByte> samples(622 * 582 * 3);
    EXPECT_EQ(page.RasterIO(GF_Read, 0, 0, 622, 582, samples.data(), 622, 582, GDT_Byte, 3, nullptr, 3, 622 * 3, 1,
                            nullptr),
              CE_None);
    bands = page.bandsDrawn();
    return samples;
  };
  int wholeBands = 0, stripBands = 0;
  const auto whole = read(64u << 20, wholeBands);
  const auto strips = read(622 * 4 * 7, stripBands);
  EXPECT_EQ(wholeBands, 1);
  EXPECT_EQ(stripBands, (582 + 6) / 7);
  // Smoothed thin lines may be rasterised a fraction of a pixel apart in a band; a seam
  // (a row lost, doubled or shifted) differs along much of the row.
  size_t seamRows = 0;
  for (size_t row = 0; row < 582; ++row) {
    size_t differing = 0;
    for (size_t i = row * 622 * 3; i < (row + 1) * 622 * 3; ++i) differing += std::abs(int(whole[i]) - int(strips[i])) > 24;
    seamRows += differing > 622 * 3 / 20;
  }
  EXPECT_EQ(seamRows, 0u);
}

TEST_F(SheetDocument, BandsDrawnAheadOnOtherThreadsAreTheBandsDrawnInTurn) {
  auto builder = makeBuilder();
  buildSheet(*builder);
  const PageLayout& layout = control->layout();
  PageRenderer renderer(layout, control->styles(), 50);
  const Georeference where = PageGeoreference(layout, 50);
  const auto read = [&](bool ahead, int& bands) {
    RenderedPageDataset page(renderer, 622, 582, where, 622 * 4 * 40, ahead);
    std::vector<GByte> samples(622 * 582 * 3);
    // Row by row, as the encoders take them.
    for (int row = 0; row < 582; ++row)
      EXPECT_EQ(page.RasterIO(GF_Read, 0, row, 622, 1, samples.data() + row * 622 * 3, 622, 1, GDT_Byte, 3, nullptr,
                              3, 622 * 3, 1, nullptr),
                CE_None);
    // A row above the band in hand is drawn again in turn.
    std::vector<GByte> first(622 * 3);
    EXPECT_EQ(page.RasterIO(GF_Read, 0, 0, 622, 1, first.data(), 622, 1, GDT_Byte, 3, nullptr, 3, 622 * 3, 1, nullptr),
              CE_None);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), samples.begin()));
    bands = page.bandsDrawn();
    return samples;
  };
  int inTurnBands = 0, aheadBands = 0;
  const auto inTurn = read(false, inTurnBands);
  const auto ahead = read(true, aheadBands);
  EXPECT_EQ(inTurnBands, (582 + 39) / 40 + 1);
  EXPECT_EQ(aheadBands, inTurnBands);
  EXPECT_TRUE(inTurn == ahead);
  EXPECT_NE(renderer.twin(), nullptr) << "fifteen bands are drawn two at a time, the sheet's classes opened twice";
}

TEST_F(SheetDocument, AStopBetweenBandsLeavesNoPictureAndTheEarlierOneStays) {
  settings.PictureType = ".JPG";
  auto builder = makeBuilder();
  buildSheet(*builder);
  const std::string file = output("S.JPG");
  ASSERT_TRUE(fs::exists(file));
  const auto earlier = fs::file_size(file);
  // 600 dpi: 7464 pixels across, a dozen bands.
  int asked = 0;
  EXPECT_THROW(ExportActiveView(*control, file, 600, [&asked] { return ++asked == 3; }), RunStopped);
  EXPECT_EQ(asked, 3) << "asked before each band, and no more once it said yes";
  EXPECT_EQ(fs::file_size(file), earlier);
  for (const auto& entry : fs::directory_iterator(outputFolder()))
    EXPECT_EQ(entry.path().filename().string().find("framora-tmp"), std::string::npos) << entry.path();
}

TEST_F(SheetDocument, APictureTooLargeForItsFormatIsReportedAndTheNextSheetFollows) {
  settings.PictureType = ".JPG";
  settings.ExportDpi = 6000;  // 74645 pixels across, past JPEG's 65500
  auto builder = makeBuilder();
  buildSheet(*builder, "S");
  EXPECT_EQ(ui.messages, std::vector<std::string>{"文件太大，无法导出"});
  EXPECT_TRUE(fs::exists(output("S.qgs")));
  EXPECT_FALSE(fs::exists(output("S.JPG")));
  settings.ExportDpi = 30;
  buildSheet(*builder, "T");
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(fs::exists(output("T.JPG")));
}

TEST_F(SheetDocument, AnUnknownTypeEndsTheStepAfterTheDocumentIsSaved) {
  for (const char* type : {".EMF", ""}) {
    SCOPED_TRACE(type);
    ui.messages.clear();
    settings.PictureType = type;
    auto builder = makeBuilder();
    buildSheet(*builder);
    EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(type) + "错误的文件类型"});
    EXPECT_TRUE(fs::exists(output("S.qgs")));
    if (*type) {
      EXPECT_FALSE(fs::exists(output(std::string("S") + type)));
    }
  }
  ui.messages.clear();
  settings.PictureType = ".PNG";
  settings.ExportDpi = 0;
  auto builder = makeBuilder();
  buildSheet(*builder);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("分辨率"), std::string::npos);
}

TEST_F(SheetDocument, AStoredSheetIsLaidOutAgainFromItsClasses) {
  {
    auto first = makeBuilder("frames.gdb");
    testing::WriteSampleSheet(*first, "S", inner);
  }
  auto again = makeBuilder("frames.gdb");
  buildSheet(*again);
  EXPECT_FALSE(again->isNewDataset());
  ASSERT_TRUE(ui.messages.empty()) << ui.messages.front();
  Picture picture(output("S.PNG"));
  ASSERT_TRUE(picture.valid());
  EXPECT_LT(picture.darkness(2920, 3500), 80);
  EXPECT_GT(picture.darkPixels(Envelope{3800, 4170, 4200, 4260}), 20);
  const MapFrame& sheetFrame = control->layout().frames[1];
  EXPECT_EQ(sheetFrame.layers[2].data.name, "p_S");  // asked for as P_S
  EXPECT_DOUBLE_EQ(sheetFrame.layers[0].referenceScale, 10000);
}

TEST_F(SheetDocument, MissingStyleFilesFallBackOnceAndSaySo) {
  testing::TempFolder empty;
  control->setStyleFolder(empty.path().string());
  auto builder = makeBuilder();
  buildSheet(*builder, "S");
  buildSheet(*builder, "T");
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0], "样式文件" + empty.file("line.qml") + "不存在，使用内置样式");
  EXPECT_EQ(ui.messages[1], "样式文件" + empty.file("poly.qml") + "不存在，使用内置样式");
  Picture picture(output("T.PNG"));
  EXPECT_LT(picture.darkness(2920, 3500), 80);
  EXPECT_EQ(picture.darkness(2960, 2025.8), 255);

  std::ofstream(empty.file("line.qml")) << "<qgis><nothing/></qgis>";
  control->setStyleFolder(empty.path().string());
  EXPECT_EQ(control->styles().notices.front(), "样式文件" + empty.file("line.qml") + "无法读取，使用内置样式");
}

TEST_F(SheetDocument, TheMapDocumentKeepsRelativePathsTheStylesAndThePrintLayout) {
  auto builder = makeBuilder();
  buildSheet(*builder);
  CPLXMLNode* root = CPLParseXMLFile(output("S.qgs").c_str());
  ASSERT_NE(root, nullptr);
  const CPLXMLNode* qgis = CPLGetXMLNode(root, "=qgis");
  ASSERT_NE(qgis, nullptr);
  EXPECT_STREQ(CPLGetXMLValue(qgis, "properties.Paths.Absolute", ""), "false");
  std::map<std::string, const CPLXMLNode*> layers;
  for (const CPLXMLNode* node = CPLGetXMLNode(qgis, "projectlayers")->psChild; node; node = node->psNext)
    if (node->eType == CXT_Element) layers[CPLGetXMLValue(node, "layername", "")] = node;
  ASSERT_EQ(layers.size(), 5u);
  EXPECT_STREQ(CPLGetXMLValue(layers["L_S"], "datasource", ""), "../frames.gpkg|layername=L_S");
  EXPECT_STREQ(CPLGetXMLValue(layers["roads"], "datasource", ""), "../user.gpkg|layername=roads");
  EXPECT_STREQ(CPLGetXMLValue(layers["L_S"], "renderer-v2.attr", ""), "ID");
  EXPECT_STREQ(CPLGetXMLValue(layers["p_S"], "renderer-v2.type", ""), "categorizedSymbol");
  EXPECT_STREQ(CPLGetXMLValue(layers["a_S"], "labelsEnabled", ""), "1");
  EXPECT_STREQ(CPLGetXMLValue(layers["a_S"], "labeling.settings.text-style.fontSizeUnit", ""), "MapUnit");

  const CPLXMLNode* printLayout = CPLGetXMLNode(qgis, "Layouts.Layout");
  ASSERT_NE(printLayout, nullptr);
  EXPECT_STREQ(CPLGetXMLValue(printLayout, "name", ""), "S");
  EXPECT_STREQ(CPLGetXMLValue(printLayout, "PageCollection.LayoutItem.size", ""), "316,296,mm");
  std::map<std::string, const CPLXMLNode*> maps;
  for (const CPLXMLNode* item = printLayout->psChild; item; item = item->psNext)
    if (item->eType == CXT_Element && EQUAL(CPLGetXMLValue(item, "type", ""), "65639"))
      maps[CPLGetXMLValue(item, "id", "")] = item;
  ASSERT_EQ(maps.size(), 2u);
  for (const auto& [name, item] : maps) {
    SCOPED_TRACE(name);
    EXPECT_STREQ(CPLGetXMLValue(item, "size", ""), "316,296,mm");
    EXPECT_STREQ(CPLGetXMLValue(item, "frame", ""), "false");
    EXPECT_DOUBLE_EQ(CPLAtof(CPLGetXMLValue(item, "Extent.xmin", "")), 2420);
    EXPECT_DOUBLE_EQ(CPLAtof(CPLGetXMLValue(item, "Extent.ymax", "")), 4480);
  }
  EXPECT_STREQ(CPLGetXMLValue(maps["Layers"], "itemClippingSettings.enabled", ""), "1");
  CPLDestroyXMLNode(root);
}

TEST_F(SheetDocument, AGeographicSheetGetsItsPaperSizeAndTheMapScale) {
  settings.GeographicInput = true;
  settings.CentralMeridian = 117;
  settings.ThreeDegreeZones = true;
  settings.CoordsWithZone = true;
  auto builder = makeBuilder();
  OGRSpatialReference geographic;
  geographic.importFromEPSG(4490);
  geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  builder->StartSheetDataset("G", &geographic);
  // A 1:10000 sheet, 3'45" by 2'30", at 116d30'E 39d50'N.
  const Envelope sheet{116.5, 39.0 + 50.0 / 60, 116.5 + 3.75 / 60, 39.875};
  builder->setSheetGeometry(EnvelopePolygon(sheet));
  builder->BeginDrawing();
  builder->AddLineGeographic(1, sheet.xmin, sheet.ymin, sheet.xmin, sheet.ymax);
  builder->EndDrawing(true);
  ASSERT_TRUE(control->BuildSheetDocument(builder->Finished(sheet)).empty());
  ASSERT_TRUE(ui.messages.empty()) << ui.messages.front();
  const PageLayout& layout = control->layout();
  // 5.34 km by 4.63 km of ground, 16 m of frame gaps, margins of 100 and 80 mm.
  EXPECT_NEAR(layout.page.width, 5337.5 / 10 + 16 + 100, 2);
  EXPECT_NEAR(layout.page.height, 4627.0 / 10 + 16 + 80, 2);
  EXPECT_LT(layout.frames[0].extent.xmin, sheet.xmin);
  EXPECT_NEAR(layout.frames[1].scale(layout.page), 10000, 10);
  Picture picture(output("G.PNG"));
  ASSERT_TRUE(picture.valid());
  EXPECT_LT(picture.darkness(sheet.xmin, (sheet.ymin + sheet.ymax) / 2), 240);  // a thin line at its width
}

TEST(UserLayers, LayersInOtherCoordinateSystemsAreDrawnOnTheMapsOwn) {
  EnsureGdalRegistered();
  testing::TempFolder folder;
  OGRSpatialReference geographic;
  geographic.importFromEPSG(4490);
  geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const OGRSpatialReference plane = testing::SampleReference();
  // A meridian at 117 degrees east, the zone's central meridian: easting 39 500 000 m.
  {
    GDALDatasetUniquePtr data(GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
        folder.file("degrees.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* meridians = data->CreateLayer("meridian", &geographic, wkbLineString, nullptr);
    OGRFeature meridian(meridians->GetLayerDefn());
    meridian.SetGeometry(testing::LineBetween(117, 39.8, 117, 39.9).get());
    ASSERT_EQ(meridians->CreateFeature(&meridian), OGRERR_NONE);
  }
  PageLayout layout;
  layout.page = Page{100, 100, kUnitMillimetres};
  char* wkt = nullptr;
  plane.exportToWkt(&wkt);
  layout.spatialReferenceWkt = wkt;
  CPLFree(wkt);
  MapFrame frame;
  frame.name = "Layers";
  frame.pageEnvelope = Envelope{0, 0, 100, 100};
  frame.extent = Envelope{39499500, 4415000, 39500500, 4416000};  // 1 km square about 39.87 N
  LayoutLayer layer;
  layer.data = MapDocument::Open(folder.file("degrees.gpkg"))->layers().front();
  frame.layers.push_back(layer);
  layout.frames.push_back(std::move(frame));
  const FrameSettings settings;
  PageLayoutControl control(std::move(layout), settings, folder.path().string());
  ASSERT_TRUE(ExportActiveView(control, folder.file("m.png"), 50).empty());
  Picture picture(folder.file("m.png"));
  EXPECT_LT(picture.darkness(39500000, 4415500), 230);  // 0.2 mm at 50 dpi
  EXPECT_EQ(picture.darkness(39500200, 4415500), 255);
}

}  // namespace
}  // namespace framora
