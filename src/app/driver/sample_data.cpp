#include "app/driver/sample_data.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "app/driver/sample_imagery.h"
#include "geodesy/gauss_zone.h"
#include "geodesy/sheet_number.h"
#include "gis/geometry.h"
#include "gis/workspace.h"
#include "util/framora_error.h"

namespace framora {

namespace fs = std::filesystem;

namespace {

constexpr double kCentralMeridian = 117;  // 3-degree zone 39
const char* const kImageryFile = "imagery.tif";
constexpr int kFirstRow = 10;
constexpr int kFirstColumn = 40;
const char* const kSheetNames[3][3] = {{"北苑", "来广营", "孙河"}, {"望京", "酒仙桥", "东坝"}, {"三里屯", "朝阳公园", "金盏"}};

struct Plane {
  double x, y;  // easting, northing as stored
};

Plane ToZone39(double latitude, double longitude) {
  static const GaussZone zone(ZoneEllipsoid::Cgcs2000, ZoneWidth::ThreeDegree, kCentralMeridian, true);
  const PlanePoint plane = zone.Forward({latitude, longitude});
  return Plane{plane.easting, plane.northing};
}

OGRSpatialReference Srs(int epsg) {
  OGRSpatialReference srs;
  srs.importFromEPSG(epsg);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

OGRLayer* MakeLayer(GDALDataset& dataset, const char* name, int epsg, OGRwkbGeometryType type,
                    const std::vector<const char*>& fields) {
  OGRSpatialReference srs = Srs(epsg);
  OGRLayer* layer = dataset.CreateLayer(name, &srs, type, nullptr);
  if (layer == nullptr) throw FramoraError(std::string("不能创立示例图层") + name);
  for (const char* field : fields) {
    OGRFieldDefn definition(field, OFTString);
    if (layer->CreateField(&definition) != OGRERR_NONE) throw FramoraError(std::string("不能创立字段") + field);
  }
  return layer;
}

void Store(OGRLayer& layer, const OGRGeometry& geometry, const std::vector<std::pair<const char*, std::string>>& values) {
  OGRFeature feature(layer.GetLayerDefn());
  feature.SetGeometry(&geometry);
  for (const auto& [field, value] : values) feature.SetField(field, value.c_str());
  if (layer.CreateFeature(&feature) != OGRERR_NONE) throw FramoraError("保存失败");
}

OGRPolygon Ring(const std::vector<Plane>& points) {
  OGRLinearRing ring;
  for (const auto& point : points) ring.addPoint(point.x, point.y);
  ring.closeRings();
  OGRPolygon polygon;
  polygon.addRing(&ring);
  return polygon;
}

void WriteSheets(GDALDataset& dataset) {
  OGRLayer* plane = MakeLayer(dataset, "图幅", 4527, wkbPolygon, {"TFH", "TM"});
  OGRLayer* geographic = MakeLayer(dataset, "图幅经纬度", 4490, wkbPolygon, {"TFH", "TM"});
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const std::string number = "J50G" + PadThreeDigits(kFirstRow + r) + PadThreeDigits(kFirstColumn + c);
      const std::optional<MapSheetExtent> extent = ParseNewSheetNumber(number);
      if (!extent) throw FramoraError("示例图幅号错误" + number);
      const double west = static_cast<double>(extent->WestLongitude), south = static_cast<double>(extent->SouthLatitude);
      const double east = static_cast<double>(extent->EastLongitude()), north = static_cast<double>(extent->NorthLatitude());
      const std::vector<std::pair<const char*, std::string>> values{{"TFH", number}, {"TM", kSheetNames[r][c]}};
      Store(*plane,
            Ring({ToZone39(south, west), ToZone39(north, west), ToZone39(north, east), ToZone39(south, east)}),
            values);
      Store(*geographic, Ring({{west, south}, {west, north}, {east, north}, {east, south}}), values);
    }
  }
}

// Points as fractions of the block's width and height.
using Fractions = std::vector<std::pair<double, double>>;

struct SampleRoad {
  const char* name;
  const char* grade;
  Fractions points;
};

const std::vector<SampleRoad>& SampleRoads() {
  static const std::vector<SampleRoad> roads = {
      {"京顺路", "主干路", {{-0.05, 0.48}, {0.3, 0.5}, {0.6, 0.47}, {1.05, 0.52}}},
      {"机场辅路", "次干路", {{0.35, -0.05}, {0.38, 0.4}, {0.33, 0.8}, {0.36, 1.05}}},
      {"东五环", "快速路", {{0.0, 0.1}, {0.5, 0.25}, {1.0, 0.85}}},
  };
  return roads;
}

// The lake cut out of 孙河乡.
const Fractions kLake = {{0.70, 0.75}, {0.70, 0.85}, {0.80, 0.85}, {0.80, 0.75}};

// Townships across the block, in the sheets' plane coordinates; one has a lake cut out of
// it and one lies in two parts.
void WriteTownships(GDALDataset& dataset, const Envelope& block) {
  OGRLayer* layer = MakeLayer(dataset, "乡镇", 4527, wkbMultiPolygon, {"XZQMC", "XZQDM"});
  const double w = block.width(), h = block.height();
  const auto at = [&](double fx, double fy) { return Plane{block.xmin + fx * w, block.ymin + fy * h}; };
  struct Township {
    const char* name;
    const char* code;
    std::vector<std::vector<Plane>> parts;
    bool lake;
  };
  const std::vector<Township> townships = {
      {"来广营乡", "110105001", {{at(0.05, 0.62), at(0.08, 0.95), at(0.45, 0.97), at(0.52, 0.70), at(0.30, 0.58)}}, false},
      {"孙河乡",
       "110105002",
       {{at(0.52, 0.70), at(0.45, 0.97), at(0.93, 0.95), at(0.96, 0.66), at(0.70, 0.60)}},
       true},
      {"望京街道", "110105003", {{at(0.05, 0.62), at(0.30, 0.58), at(0.40, 0.35), at(0.06, 0.30)}}, false},
      {"东坝乡", "110105004", {{at(0.30, 0.58), at(0.52, 0.70), at(0.70, 0.60), at(0.62, 0.32), at(0.40, 0.35)}}, false},
      {"金盏乡",
       "110105005",
       {{at(0.70, 0.60), at(0.96, 0.66), at(0.95, 0.30), at(0.62, 0.32)}, {at(0.75, 0.05), at(0.76, 0.20), at(0.92, 0.22), at(0.94, 0.06)}},
       false},
      {"酒仙桥街道", "110105006", {{at(0.06, 0.30), at(0.40, 0.35), at(0.45, 0.06), at(0.08, 0.04)}}, false},
      {"将台乡", "110105007", {{at(0.40, 0.35), at(0.62, 0.32), at(0.70, 0.05), at(0.45, 0.06)}}, false},
  };
  for (const auto& township : townships) {
    OGRMultiPolygon shape;
    for (size_t i = 0; i < township.parts.size(); ++i) {
      OGRPolygon part = Ring(township.parts[i]);
      if (i == 0 && township.lake) {
        OGRLinearRing hole;
        for (const auto& [fx, fy] : kLake) hole.addPoint(at(fx, fy).x, at(fx, fy).y);
        hole.closeRings();
        part.addRing(&hole);
      }
      shape.addGeometry(&part);
    }
    Store(*layer, shape, {{"XZQMC", township.name}, {"XZQDM", township.code}});
  }
}

void WriteRoads(GDALDataset& dataset, const Envelope& block) {
  OGRLayer* layer = MakeLayer(dataset, "道路", 4527, wkbLineString, {"MC", "DJ"});
  for (const SampleRoad& road : SampleRoads()) {
    OGRLineString line;
    for (const auto& [fx, fy] : road.points) line.addPoint(block.xmin + fx * block.width(), block.ymin + fy * block.height());
    Store(*layer, line, {{"MC", road.name}, {"DJ", road.grade}});
  }
}

// The ground under the vector layers, with their roads and lake on it.
void WriteImagery(const fs::path& path, const Envelope& block) {
  const auto onGround = [&](const Fractions& points) {
    std::vector<ScenePoint> ground;
    for (const auto& [fx, fy] : points) ground.push_back({block.xmin + fx * block.width(), block.ymin + fy * block.height()});
    return ground;
  };
  SampleScene scene;
  scene.block = block;
  for (const SampleRoad& road : SampleRoads()) scene.roads.push_back(onGround(road.points));
  scene.lakes.push_back(onGround(kLake));
  char* wkt = nullptr;
  Srs(4527).exportToWkt(&wkt);
  const std::string srs = wkt ? wkt : "";
  CPLFree(wkt);
  WriteSampleImagery(path.string(), scene, srs);
}

std::string OptionXml(const std::string& name, const std::string& value) {
  return "<Option name=\"" + name + "\" value=\"" + value + "\" type=\"QString\"/>";
}

std::string SymbolXml(int index, const char* type, const char* layerClass, const std::string& options) {
  return "<symbol name=\"" + std::to_string(index) + "\" type=\"" + type +
         "\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\"><layer class=\"" + layerClass +
         "\" enabled=\"1\" locked=\"0\" pass=\"0\"><Option type=\"Map\">" + options + "</Option></layer></symbol>";
}

std::string FillSymbol(int index, const std::string& rgba, const std::string& style, const std::string& outline,
                       const std::string& outlineWidth) {
  return SymbolXml(index, "fill", "SimpleFill",
                   OptionXml("color", rgba) + OptionXml("style", style) + OptionXml("outline_color", outline) +
                       OptionXml("outline_style", "solid") + OptionXml("outline_width", outlineWidth) +
                       OptionXml("outline_width_unit", "MM"));
}

std::string LineSymbol(int index, const std::string& rgba, const std::string& width) {
  return SymbolXml(index, "line", "SimpleLine",
                   OptionXml("line_color", rgba) + OptionXml("line_width", width) + OptionXml("line_width_unit", "MM") +
                       OptionXml("capstyle", "round") + OptionXml("joinstyle", "round"));
}

struct Category {
  const char* value;
  std::string symbol;
};

std::string CategorizedRenderer(const char* attribute, const std::vector<Category>& categories) {
  std::string values, symbols;
  for (size_t i = 0; i < categories.size(); ++i) {
    values += std::string("<category value=\"") + categories[i].value + "\" label=\"" + categories[i].value +
              "\" symbol=\"" + std::to_string(i) + "\" render=\"true\"/>";
    symbols += categories[i].symbol;
  }
  return std::string("<renderer-v2 type=\"categorizedSymbol\" attr=\"") + attribute +
         "\" symbollevels=\"0\" enableorderby=\"0\" forceraster=\"0\"><categories>" + values + "</categories><symbols>" +
         symbols + "</symbols></renderer-v2>";
}

// Each township in its own light tint, the imagery showing through, with a pale boundary.
std::string TownshipRenderer() {
  const char* const colours[] = {"246,232,195", "214,234,204", "204,224,240", "240,214,214",
                                 "228,218,240", "236,236,200", "210,236,232"};
  const char* const names[] = {"来广营乡", "孙河乡", "望京街道", "东坝乡", "金盏乡", "酒仙桥街道", "将台乡"};
  std::vector<Category> categories;
  for (int i = 0; i < 7; ++i)
    categories.push_back({names[i], FillSymbol(i, std::string(colours[i]) + ",90", "solid", "255,246,200,255", "0.4")});
  return CategorizedRenderer("XZQMC", categories);
}

// Roads by grade, wider and warmer the higher the grade.
std::string RoadRenderer() {
  return CategorizedRenderer("DJ", {{"快速路", LineSymbol(0, "232,112,42,255", "1")},
                                    {"主干路", LineSymbol(1, "246,198,66,255", "0.8")},
                                    {"次干路", LineSymbol(2, "252,250,236,255", "0.6")}});
}

// Simple labels of one field: placement 1 over the centroid, 2 along the line.
std::string Labeling(const char* field, const char* face, int points, int placement) {
  return std::string("<labeling type=\"simple\"><settings calloutType=\"simple\"><text-style fieldName=\"") + field +
         "\" isExpression=\"0\" fontFamily=\"" + face + "\" fontSize=\"" + std::to_string(points) +
         "\" fontSizeUnit=\"Point\" textColor=\"30,30,30,255\" textOpacity=\"1\" fontWeight=\"50\" fontItalic=\"0\" "
         "fontUnderline=\"0\" fontStrikeout=\"0\" namedStyle=\"\" multilineHeight=\"1\" fontLetterSpacing=\"0\" "
         "fontWordSpacing=\"0\" fontKerning=\"1\" allowHtml=\"0\" capitalization=\"0\" blendMode=\"0\" "
         "textOrientation=\"horizontal\"><text-buffer bufferDraw=\"1\" bufferSize=\"0.8\" bufferSizeUnits=\"MM\" "
         "bufferColor=\"255,255,255,255\" bufferOpacity=\"1\" bufferJoinStyle=\"128\" bufferNoFill=\"1\" "
         "bufferBlendMode=\"0\"/><background shapeDraw=\"0\"/><shadow shadowDraw=\"0\"/></text-style>"
         "<text-format wrapChar=\"\" multilineAlign=\"3\" autoWrapLength=\"0\"/><placement placement=\"" +
         std::to_string(placement) +
         "\" placementFlags=\"9\" quadOffset=\"4\" dist=\"0\" distUnits=\"MM\" offsetType=\"0\" xOffset=\"0\" "
         "yOffset=\"0\" offsetUnits=\"MM\" rotationAngle=\"0\" centroidWhole=\"0\" centroidInside=\"1\" "
         "repeatDistance=\"0\" priority=\"5\"/><rendering drawLabels=\"1\" displayAll=\"1\" obstacle=\"0\" "
         "upsidedownLabels=\"0\" labelPerPart=\"0\" mergeLines=\"0\" scaleVisibility=\"0\" fontLimitPixelSize=\"0\" "
         "limitNumLabels=\"0\" zIndex=\"0\"/></settings></labeling>";
}

std::string SheetRenderer() {
  return "<renderer-v2 type=\"singleSymbol\" symbollevels=\"0\" enableorderby=\"0\" forceraster=\"0\"><symbols>" +
         FillSymbol(0, "255,255,255,255", "no", "110,110,110,255", "0.2") + "</symbols></renderer-v2>";
}

std::string MapLayerXml(const char* id, const char* name, const char* geometry, int epsg, const std::string& renderer,
                        const std::string& labeling = "") {
  return std::string("    <maplayer type=\"vector\" geometry=\"") + geometry + "\" labelsEnabled=\"" +
         (labeling.empty() ? "0" : "1") + "\">\n      <id>" + id + "</id>\n      <datasource>./sample.gpkg|layername=" +
         name + "</datasource>\n      <layername>" + name + "</layername>\n      <srs><spatialrefsys><authid>EPSG:" +
         std::to_string(epsg) + "</authid></spatialrefsys></srs>\n      <provider encoding=\"UTF-8\">ogr</provider>\n      " +
         renderer + (labeling.empty() ? "" : "\n      " + labeling) + "\n    </maplayer>\n";
}

// The imagery in true colour, stretched from the 8..240 it is stored in, smoothed when enlarged.
std::string ImageryLayerXml() {
  std::string stretches;
  for (const char* colour : {"red", "green", "blue"})
    stretches += std::string("<") + colour + "ContrastEnhancement><minValue>8</minValue><maxValue>240</maxValue>"
                 "<algorithm>StretchToMinimumMaximum</algorithm></" + colour + "ContrastEnhancement>";
  return std::string("    <maplayer type=\"raster\">\n      <id>imagery</id>\n      <datasource>./") + kImageryFile +
         "</datasource>\n      <layername>影像</layername>\n      <srs><spatialrefsys><authid>EPSG:4527</authid>"
         "</spatialrefsys></srs>\n      <provider>gdal</provider>\n      <pipe><rasterrenderer type=\"multibandcolor\" "
         "opacity=\"1\" alphaBand=\"-1\" redBand=\"1\" greenBand=\"2\" blueBand=\"3\"><rasterTransparency/>" + stretches +
         "</rasterrenderer><brightnesscontrast brightness=\"0\" contrast=\"0\" gamma=\"1\"/><rasterresampler "
         "maxOversampling=\"2\" zoomedInResampler=\"bilinear\" zoomedOutResampler=\"bilinear\"/></pipe>\n    </maplayer>\n";
}

std::string ProjectXml() {
  return std::string(R"(<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>
<qgis projectname="Framora 示例" version="3.22.16-Białowieża">
  <title>Framora 示例</title>
  <projectCrs>
    <spatialrefsys>
      <authid>EPSG:4527</authid>
    </spatialrefsys>
  </projectCrs>
  <layer-tree-group>
    <layer-tree-layer id="roads" name="道路" providerKey="ogr" source="./sample.gpkg|layername=道路" checked="Qt::Checked" expanded="1"/>
    <layer-tree-layer id="townships" name="乡镇" providerKey="ogr" source="./sample.gpkg|layername=乡镇" checked="Qt::Checked" expanded="1"/>
    <layer-tree-layer id="sheets" name="图幅" providerKey="ogr" source="./sample.gpkg|layername=图幅" checked="Qt::Checked" expanded="1"/>
    <layer-tree-layer id="sheets_geo" name="图幅经纬度" providerKey="ogr" source="./sample.gpkg|layername=图幅经纬度" checked="Qt::Unchecked" expanded="1"/>
    <layer-tree-layer id="imagery" name="影像" providerKey="gdal" source="./)") + kImageryFile + R"(" checked="Qt::Checked" expanded="1"/>
  </layer-tree-group>
  <projectlayers>
)" + MapLayerXml("roads", "道路", "Line", 4527, RoadRenderer(), Labeling("MC", "宋体", 9, 2)) +
         MapLayerXml("townships", "乡镇", "Polygon", 4527, TownshipRenderer(), Labeling("XZQMC", "黑体", 14, 1)) +
         MapLayerXml("sheets", "图幅", "Polygon", 4527, SheetRenderer()) +
         MapLayerXml("sheets_geo", "图幅经纬度", "Polygon", 4490, SheetRenderer()) + ImageryLayerXml() +
         "  </projectlayers>\n" +
         // QGIS 3.22 takes the project's coordinate system only with projections switched on.
         "  <properties>\n    <SpatialRefSys>\n      <ProjectionsEnabled type=\"int\">1</ProjectionsEnabled>\n"
         "    </SpatialRefSys>\n  </properties>\n</qgis>\n";
}

}  // namespace

void MakeSampleData(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path data = fs::path(folder) / "sample.gpkg";
  fs::remove(data, error);
  {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    GDALDatasetUniquePtr dataset(driver->Create(data.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) throw FramoraError("不能创立" + data.string());
    WriteSheets(*dataset);
    OGREnvelope extent;
    if (dataset->GetLayerByName("图幅")->GetExtent(&extent) != OGRERR_NONE) throw FramoraError("示例图幅没有范围");
    const Envelope block{extent.MinX, extent.MinY, extent.MaxX, extent.MaxY};
    WriteTownships(*dataset, block);
    WriteRoads(*dataset, block);
    WriteImagery(fs::path(folder) / kImageryFile, block);
  }
  std::ofstream project(fs::path(folder) / "sample.qgs", std::ios::binary);
  project << ProjectXml();
  if (!project) throw FramoraError("不能写入" + (fs::path(folder) / "sample.qgs").string());
}

}  // namespace framora
