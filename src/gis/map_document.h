#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <string>
#include <vector>

namespace framora {

// One layer of the input map: where its data come from and how it is filtered.
struct MapLayer {
  std::string name;        // the name on the map
  std::string source;      // data source path GDAL opens
  std::string sourceLayer; // layer inside the source; empty: the first one
  std::string subset;      // definition query
  std::string crsWkt;      // as the map declares it; empty: the source's own
  std::string styleXml;    // the project's renderer and labels for it, as a style file; empty: none
  OGRwkbGeometryType geometryType = wkbUnknown;
  bool isVector = true;
  bool isRaster = false;   // an image GDAL reads; styleXml then holds the project's raster pipe
  bool visible = true;     // switched on in the map's layer list, with every group above it
  // Shown only between these scale denominators when set, as QGIS does: from maxScale (the
  // closest, inclusive) out to minScale (the farthest); 0 leaves that end open.
  bool scaleLimited = false;
  double minScale = 0;
  double maxScale = 0;
  double opacity = 1;      // the whole layer's

  bool shownAtScale(double scale) const;

  bool isPolygon() const;
};

// A layer opened for reading; owns its data source.
struct OpenedLayer {
  GDALDatasetUniquePtr dataset;
  OGRLayer* layer = nullptr;
  std::string name;
  std::string definitionExpression;
};

// The input map document: a QGIS project (.qgs, .qgz) or any vector data source GDAL opens.
class MapDocument {
 public:
  // Throws FramoraError with a clear message when the file is missing or unreadable.
  static std::unique_ptr<MapDocument> Open(const std::string& path);

  const std::string& path() const { return path_; }
  // All layers, in map order (the top of the map first).
  const std::vector<MapLayer>& layers() const { return layers_; }
  std::vector<MapLayer> featureLayers() const;
  // The project's CRS, or the first layer's; empty when neither has one.
  const OGRSpatialReference& spatialReference() const { return spatialReference_; }

  // Opens the layer's data with its definition query applied.
  static OpenedLayer OpenLayer(const MapLayer& layer);

 private:
  void loadProject(const std::string& xml);
  void loadDataSource();
  void settleGeometryTypes();

  std::string path_;
  std::vector<MapLayer> layers_;
  OGRSpatialReference spatialReference_;
};

}  // namespace framora
