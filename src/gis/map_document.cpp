#include "gis/map_document.h"

#include <cpl_minixml.h>
#include <cpl_vsi.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "gis/feature_class.h"
#include "gis/gdal_setup.h"
#include "gis/xml_text.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

bool MapLayer::isPolygon() const {
  const OGRwkbGeometryType flat = wkbFlatten(geometryType);
  return flat == wkbPolygon || flat == wkbMultiPolygon || flat == wkbCurvePolygon || flat == wkbMultiSurface;
}

namespace {

struct XmlTree {
  CPLXMLNode* root = nullptr;
  explicit XmlTree(const std::string& text) : root(CPLParseXMLString(text.c_str())) {}
  ~XmlTree() {
    if (root) CPLDestroyXMLNode(root);
  }
  XmlTree(const XmlTree&) = delete;
  XmlTree& operator=(const XmlTree&) = delete;
};

// A .qgz is a zip holding one .qgs.
std::string ReadProjectXml(const std::string& path) {
  if (!EndsWithText(path, ".qgz")) return ReadTextFile(path);
  const std::string zip = "/vsizip/" + path;
  char** entries = VSIReadDir(zip.c_str());
  std::string xml;
  for (int i = 0; entries != nullptr && entries[i] != nullptr; ++i) {
    if (EndsWithText(entries[i], ".qgs")) {
      xml = ReadTextFile(zip + "/" + entries[i]);
      break;
    }
  }
  CSLDestroy(entries);
  return xml;
}

std::string Text(const CPLXMLNode* node, const char* path) {
  const char* value = CPLGetXMLValue(node, path, "");
  return value ? value : "";
}

std::string WktOfSrsNode(const CPLXMLNode* spatialRefSys) {
  if (spatialRefSys == nullptr) return {};
  OGRSpatialReference srs;
  for (const char* key : {"wkt", "authid", "proj4"}) {
    const std::string value = Text(spatialRefSys, key);
    if (value.empty()) continue;
    if (srs.SetFromUserInput(value.c_str()) == OGRERR_NONE) {
      char* wkt = nullptr;
      srs.exportToWkt(&wkt);
      std::string out = wkt ? wkt : "";
      CPLFree(wkt);
      return out;
    }
  }
  return {};
}

// "path|layername=x|subset=..." as QGIS writes an OGR data source.
void ParseOgrSource(const std::string& dataSource, const fs::path& projectFolder, MapLayer& layer) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t bar; (bar = dataSource.find('|', start)) != std::string::npos; start = bar + 1)
    pieces.push_back(dataSource.substr(start, bar - start));
  pieces.push_back(dataSource.substr(start));
  std::string path = pieces.front();
  if (!path.empty() && path.rfind("/vsi", 0) != 0 && fs::path(path).is_relative())
    path = (projectFolder / path).lexically_normal().string();
  layer.source = path;
  for (size_t i = 1; i < pieces.size(); ++i) {
    const std::string& piece = pieces[i];
    const auto equals = piece.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = ToLowerAscii(piece.substr(0, equals));
    if (key == "layername") layer.sourceLayer = piece.substr(equals + 1);
    if (key == "subset") {
      // The subset runs to the end: it may hold "|" itself.
      std::string rest = piece.substr(equals + 1);
      for (size_t k = i + 1; k < pieces.size(); ++k) rest += "|" + pieces[k];
      layer.subset = rest;
      break;
    }
  }
}

// The layer's renderer and its labels when they are switched on, wrapped as a style file so
// that style readers take it as one.
std::string StyleOfLayerNode(const CPLXMLNode* mapLayer) {
  std::string style;
  if (const CPLXMLNode* renderer = CPLGetXMLNode(mapLayer, "renderer-v2"))
    style += SerializedElement(const_cast<CPLXMLNode*>(renderer));
  const CPLXMLNode* labeling = CPLGetXMLNode(mapLayer, "labeling");
  if (labeling != nullptr && EQUAL(CPLGetXMLValue(mapLayer, "labelsEnabled", "0"), "1"))
    style += SerializedElement(const_cast<CPLXMLNode*>(labeling));
  return style.empty() ? style : "<qgis>" + style + "</qgis>";
}

// A raster layer's drawing pipe (renderer, resampling), wrapped the same way.
std::string PipeOfLayerNode(const CPLXMLNode* mapLayer) {
  const CPLXMLNode* pipe = CPLGetXMLNode(mapLayer, "pipe");
  if (pipe == nullptr) return {};
  return "<qgis>" + SerializedElement(const_cast<CPLXMLNode*>(pipe)) + "</qgis>";
}

// A layer-tree node the user switched off ("Qt::Unchecked"); partly checked groups show.
bool SwitchedOff(const CPLXMLNode* node) {
  return EQUAL(CPLGetXMLValue(node, "checked", "Qt::Checked"), "Qt::Unchecked");
}

// The layers in the order of the layer list, and those hidden by their own switch or a group's.
void CollectTreeOrder(const CPLXMLNode* group, bool groupShown, std::vector<std::string>& ids,
                      std::set<std::string>& hidden) {
  for (const CPLXMLNode* child = group ? group->psChild : nullptr; child; child = child->psNext) {
    if (child->eType != CXT_Element) continue;
    if (EQUAL(child->pszValue, "layer-tree-layer")) {
      ids.push_back(CPLGetXMLValue(child, "id", ""));
      if (!groupShown || SwitchedOff(child)) hidden.insert(ids.back());
    }
    if (EQUAL(child->pszValue, "layer-tree-group")) CollectTreeOrder(child, groupShown && !SwitchedOff(child), ids, hidden);
  }
}

}  // namespace

bool MapLayer::shownAtScale(double scale) const {
  return !scaleLimited || ((minScale <= 0 || scale < minScale) && (maxScale <= 0 || scale >= maxScale));
}

std::unique_ptr<MapDocument> MapDocument::Open(const std::string& path) {
  EnsureGdalRegistered();
  std::error_code error;
  if (path.empty() || !fs::exists(path, error)) throw FramoraError("文件" + path + ",不存在");
  auto document = std::make_unique<MapDocument>();
  document->path_ = path;
  if (EndsWithText(path, ".qgs") || EndsWithText(path, ".qgz")) {
    const std::string xml = ReadProjectXml(path);
    if (xml.empty()) throw FramoraError("不能读取地图文档" + path);
    document->loadProject(xml);
  } else {
    document->loadDataSource();
  }
  document->settleGeometryTypes();
  return document;
}

void MapDocument::loadProject(const std::string& xml) {
  XmlTree tree(xml);
  const CPLXMLNode* qgis = tree.root ? CPLGetXMLNode(tree.root, "=qgis") : nullptr;
  if (qgis == nullptr) throw FramoraError("不是有效的QGIS项目文件：" + path_);
  const fs::path folder = fs::absolute(fs::path(path_)).parent_path();

  std::map<std::string, MapLayer> byId;
  std::vector<std::string> declaredOrder;
  if (const CPLXMLNode* projectLayers = CPLGetXMLNode(qgis, "projectlayers")) {
    for (const CPLXMLNode* node = projectLayers->psChild; node; node = node->psNext) {
      if (node->eType != CXT_Element || !EQUAL(node->pszValue, "maplayer")) continue;
      MapLayer layer;
      layer.name = Text(node, "layername");
      layer.isVector = EqualsIgnoringCase(Text(node, "type"), "vector");
      const std::string provider = Text(node, "provider");
      if (layer.isVector && (provider.empty() || EqualsIgnoringCase(provider, "ogr"))) {
        ParseOgrSource(Text(node, "datasource"), folder, layer);
      } else if (EqualsIgnoringCase(Text(node, "type"), "raster") && EqualsIgnoringCase(provider, "gdal")) {
        layer.isVector = false;
        layer.isRaster = true;
        ParseOgrSource(Text(node, "datasource"), folder, layer);
      } else {
        layer.isVector = false;  // only data GDAL reads take part
      }
      layer.crsWkt = WktOfSrsNode(CPLGetXMLNode(node, "srs.spatialrefsys"));
      layer.scaleLimited = std::atoi(CPLGetXMLValue(node, "hasScaleBasedVisibilityFlag", "0")) != 0;
      layer.minScale = CPLAtof(CPLGetXMLValue(node, "minScale", "0"));
      layer.maxScale = CPLAtof(CPLGetXMLValue(node, "maxScale", "0"));
      layer.opacity = std::clamp(CPLAtof(CPLGetXMLValue(node, "layerOpacity", "1")), 0.0, 1.0);
      layer.styleXml = layer.isRaster ? PipeOfLayerNode(node) : StyleOfLayerNode(node);
      const std::string id = Text(node, "id");
      declaredOrder.push_back(id);
      byId[id] = std::move(layer);
    }
  }
  std::vector<std::string> order;
  std::set<std::string> hidden;
  CollectTreeOrder(CPLGetXMLNode(qgis, "layer-tree-group"), true, order, hidden);
  for (const auto& id : hidden)
    if (auto found = byId.find(id); found != byId.end()) found->second.visible = false;
  for (const auto& id : declaredOrder)
    if (std::find(order.begin(), order.end(), id) == order.end()) order.push_back(id);
  for (const auto& id : order) {
    auto found = byId.find(id);
    if (found != byId.end()) layers_.push_back(found->second);
  }

  const std::string projectWkt = WktOfSrsNode(CPLGetXMLNode(qgis, "projectCrs.spatialrefsys"));
  std::string wkt = projectWkt;
  if (wkt.empty())
    for (const auto& layer : layers_)
      if (!layer.crsWkt.empty()) {
        wkt = layer.crsWkt;
        break;
      }
  if (!wkt.empty()) spatialReference_.importFromWkt(wkt.c_str());
}

void MapDocument::loadDataSource() {
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path_.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!dataset) throw FramoraError("不能打开数据" + path_);
  for (int i = 0; i < dataset->GetLayerCount(); ++i) {
    OGRLayer* source = dataset->GetLayer(i);
    MapLayer layer;
    layer.name = source->GetName();
    layer.source = path_;
    layer.sourceLayer = source->GetName();
    layer.geometryType = source->GetGeomType();
    if (const OGRSpatialReference* srs = source->GetSpatialRef()) {
      char* wkt = nullptr;
      srs->exportToWkt(&wkt);
      layer.crsWkt = wkt ? wkt : "";
      CPLFree(wkt);
    }
    if (layer.geometryType == wkbNone) continue;  // plain tables are not map layers
    layers_.push_back(std::move(layer));
  }
  for (const auto& layer : layers_)
    if (!layer.crsWkt.empty()) {
      spatialReference_.importFromWkt(layer.crsWkt.c_str());
      break;
    }
}

void MapDocument::settleGeometryTypes() {
  for (auto& layer : layers_) {
    if (!layer.isVector || layer.geometryType != wkbUnknown) continue;
    GDALDatasetUniquePtr dataset(GDALDataset::Open(layer.source.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    OGRLayer* source = !dataset                    ? nullptr
                       : layer.sourceLayer.empty() ? dataset->GetLayer(0)
                                                   : dataset->GetLayerByName(layer.sourceLayer.c_str());
    if (source == nullptr) continue;
    layer.geometryType = source->GetGeomType();
    if (layer.crsWkt.empty())
      if (const OGRSpatialReference* srs = source->GetSpatialRef()) {
        char* wkt = nullptr;
        srs->exportToWkt(&wkt);
        layer.crsWkt = wkt ? wkt : "";
        CPLFree(wkt);
      }
  }
  if (spatialReference_.IsEmpty())
    for (const auto& layer : layers_)
      if (!layer.crsWkt.empty()) {
        spatialReference_.importFromWkt(layer.crsWkt.c_str());
        break;
      }
  spatialReference_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
}

std::vector<MapLayer> MapDocument::featureLayers() const {
  std::vector<MapLayer> out;
  for (const auto& layer : layers_)
    if (layer.isVector && layer.geometryType != wkbNone) out.push_back(layer);
  return out;
}

OpenedLayer MapDocument::OpenLayer(const MapLayer& layer) {
  EnsureGdalRegistered();
  OpenedLayer opened;
  opened.name = layer.name;
  opened.dataset.reset(GDALDataset::Open(layer.source.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!opened.dataset) throw FramoraError("文件" + layer.source + ",不存在");
  opened.layer = layer.sourceLayer.empty() ? opened.dataset->GetLayer(0)
                                           : opened.dataset->GetLayerByName(layer.sourceLayer.c_str());
  if (opened.layer == nullptr) throw FramoraError("数据" + layer.source + "中没有图层" + layer.sourceLayer);
  opened.definitionExpression = layer.subset;
  ApplyWhereClause(*opened.layer, layer.subset);
  return opened;
}

}  // namespace framora
