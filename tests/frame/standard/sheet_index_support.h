#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/frame_settings.h"
#include "frame/frame_test_support.h"
#include "frame/standard/standard_map.h"
#include "gis/gdal_setup.h"
#include "support/temp_folder.h"
#include "util/recording_user_interface.h"

namespace framora::standard_testing {

using testing::ReadLines;
using testing::ReadTexts;
using testing::StoredLine;
using testing::StoredText;
using testing::TempFolder;

// A 1:10000 sheet of the national series inside J50 (latitudes 36°–40°, longitudes
// 114°–120°): row 1 is the northernmost, column 1 the westernmost; 3′45″ by 2′30″.
struct SeriesSheet {
  int row = 0, column = 0;
  std::string number() const {
    char text[16];
    std::snprintf(text, sizeof text, "J50G%03d%03d", row, column);
    return text;
  }
  double west() const { return 114 + (column - 1) * 3.75 / 60; }
  double east() const { return west() + 3.75 / 60; }
  double north() const { return 40 - (row - 1) * 2.5 / 60; }
  double south() const { return north() - 2.5 / 60; }
};

// The centre of the test index: longitudes 117°03′45″–117°07′30″, latitudes 38°–38°02′30″,
// east of the central meridian so that no frame line runs along a grid line.
inline constexpr int kCentreRow = 48;
inline constexpr int kCentreColumn = 50;

inline OGRSpatialReference Srs(int epsg) {
  OGRSpatialReference srs;
  srs.importFromEPSG(epsg);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

// Longitude/latitude to plane through PROJ, outside anything of ours.
class PlaneProjection {
 public:
  // EPSG:4490 to EPSG:4527 (CGCS2000, 3-degree zone 39 with its number).
  PlaneProjection() : PlaneProjection(Srs(4490), Srs(4527)) {}
  // The ellipsoid the program's own series use for CGCS2000 (IAG 1975), central meridian
  // 117°, with or without the zone number.
  static PlaneProjection Iag1975(bool withZone) {
    OGRSpatialReference geographic, plane;
    geographic.importFromProj4("+proj=longlat +a=6378140 +rf=298.257 +no_defs");
    plane.importFromProj4(withZone ? "+proj=tmerc +lat_0=0 +lon_0=117 +k=1 +x_0=39500000 +y_0=0 +a=6378140 "
                                     "+rf=298.257 +units=m +no_defs"
                                   : "+proj=tmerc +lat_0=0 +lon_0=117 +k=1 +x_0=500000 +y_0=0 +a=6378140 "
                                     "+rf=298.257 +units=m +no_defs");
    geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    plane.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return PlaneProjection(geographic, plane);
  }
  SheetPoint forward(double lon, double lat) const {
    double x = lon, y = lat;
    forward_->Transform(1, &x, &y);
    return {x, y};
  }
  SheetPoint inverse(double easting, double northing) const {
    double x = easting, y = northing;
    inverse_->Transform(1, &x, &y);
    return {x, y};
  }
  // Degrees of latitude and longitude that d metres north and east make at a point.
  double northDegrees(double d, double lon, double lat) const {
    const SheetPoint p = forward(lon, lat);
    return std::fabs(inverse(p.x, p.y + d).y - lat);
  }
  double eastDegrees(double d, double lon, double lat) const {
    const SheetPoint p = forward(lon, lat);
    return inverse(p.x + d, p.y).x - lon;
  }

 private:
  PlaneProjection(const OGRSpatialReference& geographic, const OGRSpatialReference& plane)
      : forward_(OGRCreateCoordinateTransformation(&geographic, &plane)),
        inverse_(OGRCreateCoordinateTransformation(&plane, &geographic)) {}
  std::shared_ptr<OGRCoordinateTransformation> forward_, inverse_;
};

// Corners lower-left, upper-left, upper-right, lower-right, in the index's coordinates.
inline std::array<SheetPoint, 4> SheetCorners(const SeriesSheet& sheet, bool plane) {
  const std::array<SheetPoint, 4> geographic = {SheetPoint{sheet.west(), sheet.south()},
                                                SheetPoint{sheet.west(), sheet.north()},
                                                SheetPoint{sheet.east(), sheet.north()},
                                                SheetPoint{sheet.east(), sheet.south()}};
  if (!plane) return geographic;
  static const PlaneProjection projection;
  std::array<SheetPoint, 4> corners;
  for (int i = 0; i < 4; ++i) corners[i] = projection.forward(geographic[i].x, geographic[i].y);
  return corners;
}

struct IndexSheet {
  std::string number;
  std::string name;
  std::vector<SheetPoint> ring;  // as stored; closed when the last point repeats the first
};

inline IndexSheet SeriesIndexSheet(const SeriesSheet& sheet, bool plane, const std::string& name) {
  const auto corners = SheetCorners(sheet, plane);
  return IndexSheet{sheet.number(), name, {corners[0], corners[1], corners[2], corners[3], corners[0]}};
}

// Writes a sheet index: layer "sheets" with the fields TFH (sheet number) and NAME.
inline void WriteSheetIndex(const std::string& path, int epsg, const std::vector<IndexSheet>& sheets) {
  EnsureGdalRegistered();
  std::filesystem::remove(path);
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference srs = Srs(epsg);
  OGRLayer* layer = dataset->CreateLayer("sheets", &srs, wkbPolygon, nullptr);
  for (const char* name : {"TFH", "NAME"}) {
    OGRFieldDefn field(name, OFTString);
    if (layer->CreateField(&field) != OGRERR_NONE) ADD_FAILURE() << "field " << name << " not made";
  }
  dataset->StartTransaction();
  for (const IndexSheet& sheet : sheets) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("TFH", sheet.number.c_str());
    feature.SetField("NAME", sheet.name.c_str());
    auto ring = std::make_unique<OGRLinearRing>();
    for (const SheetPoint& point : sheet.ring) ring->addPoint(point.x, point.y);
    OGRPolygon polygon;
    polygon.addRingDirectly(ring.release());
    feature.SetGeometry(&polygon);
    if (layer->CreateFeature(&feature) != OGRERR_NONE) ADD_FAILURE() << "sheet " << sheet.number << " not written";
  }
  dataset->CommitTransaction();
}

// The 3 x 3 sheets around the centre, each named by its place.
inline const char* NeighbourNameAt(int rowOffset, int columnOffset) {
  static const char* names[3][3] = {
      {"北庄", "王家村镇", "ABCDEFGHI"},          // north-west, north, north-east
      {"ABCDEFGHIJ", "中心村", "ABCDEFGHIJK"},    // west, centre, east
      {"东风农场一队", "南", "东南"},             // south-west, south, south-east
  };
  return names[rowOffset + 1][columnOffset + 1];
}

inline std::vector<IndexSheet> NineSheets(bool plane) {
  std::vector<IndexSheet> sheets;
  for (int dr = -1; dr <= 1; ++dr)
    for (int dc = -1; dc <= 1; ++dc)
      sheets.push_back(
          SeriesIndexSheet(SeriesSheet{kCentreRow + dr, kCentreColumn + dc}, plane, NeighbourNameAt(dr, dc)));
  return sheets;
}

// What the tests run with: the dialog's defaults at 1:10000 over CGCS2000 zone 39.
inline FrameSettings StandardSettings(bool geographic) {
  FrameSettings s = DialogDefaultSettings();
  s.ScaleFactor = 1;
  s.CentralMeridian = 117;
  s.ThreeDegreeZones = true;
  s.CoordsWithZone = true;
  s.GeographicInput = geographic;
  s.FrameMode = 1;
  s.isStandardSheetMode = true;
  s.TitleField = "NAME";
  return s;
}

struct StoredPolygon {
  int id = 0;
  OGRGeometryUniquePtr shape;
};

inline std::vector<StoredPolygon> ReadPolygons(const std::string& path, const std::string& className) {
  std::vector<StoredPolygon> polygons;
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  OGRLayer* layer = dataset ? dataset->GetLayerByName(className.c_str()) : nullptr;
  if (layer == nullptr) return polygons;
  for (auto& feature : *layer)
    polygons.push_back(StoredPolygon{feature->GetFieldAsInteger("ID"),
                                     OGRGeometryUniquePtr(feature->GetGeometryRef()->clone())});
  return polygons;
}

inline bool LayerExists(const std::string& path, const std::string& className) {
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  return dataset && dataset->GetLayerByName(className.c_str()) != nullptr;
}

// A sheet index in a temporary folder and a builder run over it.
class StandardRun : public ::testing::Test {
 protected:
  void writeIndex(bool plane, const std::vector<IndexSheet>& sheets, int epsg = 0) {
    WriteSheetIndex(indexPath, epsg != 0 ? epsg : plane ? 4527 : 4490, sheets);
  }
  // Runs over the index, documents given for batch printing.
  SheetRunSummary run(const std::string& where = "", SheetDocumentBuilder* documents = nullptr) {
    GDALDatasetUniquePtr index(GDALDataset::Open(indexPath.c_str(), GDAL_OF_VECTOR));
    TstandardMap map(settings, outputPath, ui, SheetSource{index->GetLayerByName("sheets"), where, "TFH", "[TFH]"},
                     documents);
    return map.Run();
  }
  std::vector<StoredLine> lines(const std::string& sheet) const { return ReadLines(outputPath, "L_" + sheet); }
  std::vector<StoredText> texts(const std::string& sheet) const { return ReadTexts(outputPath, "a_" + sheet); }

  TempFolder folder;
  std::string indexPath = folder.file("index.gpkg");
  std::string outputPath = folder.file("frames.gpkg");
  FrameSettings settings = StandardSettings(false);
  RecordingUserInterface ui;
};

inline const std::string kCentre = SeriesSheet{kCentreRow, kCentreColumn}.number();
inline const std::string kCentreOnly = "TFH = '" + kCentre + "'";

}  // namespace framora::standard_testing
