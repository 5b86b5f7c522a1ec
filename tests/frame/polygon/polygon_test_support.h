#pragma once

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <string>
#include <vector>

#include "frame/frame_test_support.h"
#include "frame/polygon/polygon_frame.h"
#include "gis/gdal_setup.h"
#include "support/temp_folder.h"
#include "util/recording_user_interface.h"

namespace framora::testing {

struct Township {
  const char* name;
  const char* wkt;  // nullptr: a feature without a shape
};

// Townships in EPSG:4527 with the eastings of the worked example (no zone number):
// 城关镇 spans 512345..515200 east; 河东乡 has a hole; 西山乡 has two parts.
inline const std::vector<Township>& SampleTownships() {
  static const std::vector<Township> townships{
      {"城关镇", "POLYGON ((512345 3401234,512345 3403000,513800 3404321,515200 3403500,515200 3401234,512345 3401234))"},
      {"河东乡",
       "POLYGON ((520100 3401000,520100 3404000,523000 3404000,523000 3401000,520100 3401000),"
       "(521000 3402000,522000 3402000,522000 3403000,521000 3403000,521000 3402000))"},
      {"西山乡",
       "MULTIPOLYGON (((530000 3401000,530000 3402500,531500 3402500,531500 3401000,530000 3401000)),"
       "((532000 3403000,532000 3404000,533000 3404000,533000 3403000,532000 3403000)))"},
  };
  return townships;
}

// Writes the townships as layer "townships" (field XZQMC) through the named driver.
inline GDALDatasetUniquePtr MakeTownshipSource(const std::string& driverName, const std::string& path,
                                               const std::vector<Township>& townships) {
  EnsureGdalRegistered();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName.c_str());
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRLayer* layer = dataset->CreateLayer("townships", &srs, wkbMultiPolygon, nullptr);
  OGRFieldDefn field("XZQMC", OFTString);
  EXPECT_EQ(layer->CreateField(&field), OGRERR_NONE);
  for (const Township& township : townships) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("XZQMC", township.name);
    if (township.wkt != nullptr) {
      OGRGeometry* shape = nullptr;
      OGRGeometryFactory::createFromWkt(township.wkt, nullptr, &shape);
      feature.SetGeometryDirectly(OGRGeometryFactory::forceToMultiPolygon(shape));
    }
    EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
  return dataset;
}

struct StoredPolygon {
  int id = 0;
  double area = 0;
};

inline std::vector<StoredPolygon> ReadPolygons(const std::string& path, const std::string& className) {
  std::vector<StoredPolygon> polygons;
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  OGRLayer* layer = dataset ? dataset->GetLayerByName(className.c_str()) : nullptr;
  if (layer == nullptr) return polygons;
  for (auto& feature : *layer)
    polygons.push_back({feature->GetFieldAsInteger("ID"), OGR_G_Area(OGRGeometry::ToHandle(feature->GetGeometryRef()))});
  return polygons;
}

inline std::vector<StoredLine> LinesOfKind(const std::vector<StoredLine>& lines, int id) {
  std::vector<StoredLine> kind;
  for (const auto& line : lines)
    if (line.id == id) kind.push_back(line);
  return kind;
}

inline std::vector<StoredText> TextsCalled(const std::vector<StoredText>& texts, const std::string& text) {
  std::vector<StoredText> found;
  for (const auto& stored : texts)
    if (stored.text == text) found.push_back(stored);
  return found;
}

// A polygon run from the dialog defaults at 1:10000, zone 39 of the 3-degree zones, with
// big grid digits of 9 pt beside the small ones of 6 pt.
class PolygonRun : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = DialogDefaultSettings();
    settings.CentralMeridian = 117;
    settings.ThreeDegreeZones = true;
    settings.CoordsWithZone = false;
    settings.GridBigFont = FontOfPointSize("黑体", 9);
    source = MakeTownshipSource("GPKG", folder.file("townships.gpkg"), SampleTownships());
  }
  OGRLayer* townships() { return source->GetLayerByName("townships"); }
  SheetRunSummary run(OGRLayer* layer = nullptr) {
    Tcreatetk builder(settings, output, ui,
                      SheetSource{layer != nullptr ? layer : townships(), where, "XZQMC", "[XZQMC]"}, document);
    return builder.Run();
  }
  std::vector<StoredLine> lines(const std::string& sheet) const { return ReadLines(output, "L_" + sheet); }
  std::vector<StoredText> texts(const std::string& sheet) const { return ReadTexts(output, "a_" + sheet); }
  std::vector<StoredPolygon> polygons(const std::string& sheet) const { return ReadPolygons(output, "p_" + sheet); }

  TempFolder folder;
  std::string output = folder.file("frames.gdb");
  FrameSettings settings;
  RecordingUserInterface ui;
  GDALDatasetUniquePtr source;
  std::string where;
  SheetDocumentBuilder* document = nullptr;
};

}  // namespace framora::testing
