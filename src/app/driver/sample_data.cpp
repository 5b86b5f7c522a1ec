#include "app/driver/sample_data.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "geodesy/gauss_zone.h"
#include "geodesy/sheet_number.h"
#include "gis/geometry.h"
#include "gis/workspace.h"
#include "util/framora_error.h"

namespace framora {

namespace fs = std::filesystem;

namespace {

constexpr double kCentralMeridian = 117;  // 3-degree zone 39
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
    std::vector<Plane> hole;
  };
  const std::vector<Township> townships = {
      {"来广营乡", "110105001", {{at(0.05, 0.62), at(0.08, 0.95), at(0.45, 0.97), at(0.52, 0.70), at(0.30, 0.58)}}, {}},
      {"孙河乡",
       "110105002",
       {{at(0.52, 0.70), at(0.45, 0.97), at(0.93, 0.95), at(0.96, 0.66), at(0.70, 0.60)}},
       {at(0.70, 0.75), at(0.70, 0.85), at(0.80, 0.85), at(0.80, 0.75)}},
      {"望京街道", "110105003", {{at(0.05, 0.62), at(0.30, 0.58), at(0.40, 0.35), at(0.06, 0.30)}}, {}},
      {"东坝乡", "110105004", {{at(0.30, 0.58), at(0.52, 0.70), at(0.70, 0.60), at(0.62, 0.32), at(0.40, 0.35)}}, {}},
      {"金盏乡",
       "110105005",
       {{at(0.70, 0.60), at(0.96, 0.66), at(0.95, 0.30), at(0.62, 0.32)}, {at(0.75, 0.05), at(0.76, 0.20), at(0.92, 0.22), at(0.94, 0.06)}},
       {}},
      {"酒仙桥街道", "110105006", {{at(0.06, 0.30), at(0.40, 0.35), at(0.45, 0.06), at(0.08, 0.04)}}, {}},
      {"将台乡", "110105007", {{at(0.40, 0.35), at(0.62, 0.32), at(0.70, 0.05), at(0.45, 0.06)}}, {}},
  };
  for (const auto& township : townships) {
    OGRMultiPolygon shape;
    for (size_t i = 0; i < township.parts.size(); ++i) {
      OGRPolygon part = Ring(township.parts[i]);
      if (i == 0 && !township.hole.empty()) {
        OGRLinearRing hole;
        for (const auto& point : township.hole) hole.addPoint(point.x, point.y);
        hole.closeRings();
        part.addRing(&hole);
      }
      shape.addGeometry(&part);
    }
    Store(*layer, shape, {{"XZQMC", township.name}, {"XZQDM", township.code}});
  }
}

void WriteRoads(GDALDataset& dataset, const Envelope& block) {
  OGRLayer* layer = MakeLayer(dataset, "道路", 4527, wkbLineString, {"MC"});
  const double w = block.width(), h = block.height();
  const auto line = [&](std::vector<std::pair<double, double>> points) {
    OGRLineString road;
    for (const auto& [fx, fy] : points) road.addPoint(block.xmin + fx * w, block.ymin + fy * h);
    return road;
  };
  Store(*layer, line({{-0.05, 0.48}, {0.3, 0.5}, {0.6, 0.47}, {1.05, 0.52}}), {{"MC", "京顺路"}});
  Store(*layer, line({{0.35, -0.05}, {0.38, 0.4}, {0.33, 0.8}, {0.36, 1.05}}), {{"MC", "机场辅路"}});
  Store(*layer, line({{0.0, 0.1}, {0.5, 0.25}, {1.0, 0.85}}), {{"MC", "东五环"}});
}

std::string FillSymbol(int index, const std::string& color, const std::string& style) {
  return "<symbol name=\"" + std::to_string(index) +
         "\" type=\"fill\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\"><layer class=\"SimpleFill\" enabled=\"1\" "
         "locked=\"0\" pass=\"0\"><Option type=\"Map\"><Option name=\"color\" value=\"" + color +
         ",255\" type=\"QString\"/><Option name=\"style\" value=\"" + style +
         "\" type=\"QString\"/><Option name=\"outline_color\" value=\"110,110,110,255\" type=\"QString\"/>"
         "<Option name=\"outline_style\" value=\"solid\" type=\"QString\"/><Option name=\"outline_width\" value=\"0.2\" "
         "type=\"QString\"/><Option name=\"outline_width_unit\" value=\"MM\" type=\"QString\"/></Option></layer></symbol>";
}

// Pastel fills by township, roads in brown, sheet outlines without fill.
std::string TownshipRenderer() {
  const char* const colours[] = {"246,232,195", "214,234,204", "204,224,240", "240,214,214",
                                 "228,218,240", "236,236,200", "210,236,232"};
  const char* const names[] = {"来广营乡", "孙河乡", "望京街道", "东坝乡", "金盏乡", "酒仙桥街道", "将台乡"};
  std::string categories, symbols;
  for (int i = 0; i < 7; ++i) {
    categories += std::string("<category value=\"") + names[i] + "\" label=\"" + names[i] + "\" symbol=\"" +
                  std::to_string(i) + "\" render=\"true\"/>";
    symbols += FillSymbol(i, colours[i], "solid");
  }
  return "<renderer-v2 type=\"categorizedSymbol\" attr=\"XZQMC\" symbollevels=\"0\" enableorderby=\"0\" "
         "forceraster=\"0\"><categories>" + categories + "</categories><symbols>" + symbols + "</symbols></renderer-v2>";
}

std::string RoadRenderer() {
  return "<renderer-v2 type=\"singleSymbol\" symbollevels=\"0\" enableorderby=\"0\" forceraster=\"0\"><symbols>"
         "<symbol name=\"0\" type=\"line\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\"><layer class=\"SimpleLine\" "
         "enabled=\"1\" locked=\"0\" pass=\"0\"><Option type=\"Map\"><Option name=\"line_color\" value=\"190,110,50,255\" "
         "type=\"QString\"/><Option name=\"line_width\" value=\"0.6\" type=\"QString\"/><Option name=\"line_width_unit\" "
         "value=\"MM\" type=\"QString\"/><Option name=\"capstyle\" value=\"round\" type=\"QString\"/></Option></layer>"
         "</symbol></symbols></renderer-v2>";
}

std::string SheetRenderer() {
  return "<renderer-v2 type=\"singleSymbol\" symbollevels=\"0\" enableorderby=\"0\" forceraster=\"0\"><symbols>" +
         FillSymbol(0, "255,255,255", "no") + "</symbols></renderer-v2>";
}

std::string MapLayerXml(const char* id, const char* name, const char* geometry, int epsg, const std::string& renderer) {
  return std::string("    <maplayer type=\"vector\" geometry=\"") + geometry + "\">\n      <id>" + id +
         "</id>\n      <datasource>./sample.gpkg|layername=" + name + "</datasource>\n      <layername>" + name +
         "</layername>\n      <srs><spatialrefsys><authid>EPSG:" + std::to_string(epsg) +
         "</authid></spatialrefsys></srs>\n      <provider encoding=\"UTF-8\">ogr</provider>\n      " + renderer +
         "\n    </maplayer>\n";
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
  </layer-tree-group>
  <projectlayers>
)") + MapLayerXml("roads", "道路", "Line", 4527, RoadRenderer()) +
         MapLayerXml("townships", "乡镇", "Polygon", 4527, TownshipRenderer()) +
         MapLayerXml("sheets", "图幅", "Polygon", 4527, SheetRenderer()) +
         MapLayerXml("sheets_geo", "图幅经纬度", "Polygon", 4490, SheetRenderer()) + "  </projectlayers>\n" +
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
  }
  std::ofstream project(fs::path(folder) / "sample.qgs", std::ios::binary);
  project << ProjectXml();
  if (!project) throw FramoraError("不能写入" + (fs::path(folder) / "sample.qgs").string());
}

}  // namespace framora
