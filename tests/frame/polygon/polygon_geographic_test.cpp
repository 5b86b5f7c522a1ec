#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "frame/polygon/polygon_test_support.h"
#include "geodesy/gauss_zone.h"

namespace framora {
namespace {

using namespace testing;

// Townships near Beijing in longitude and latitude (CGCS2000).
const std::vector<Township>& GeographicTownships() {
  static const std::vector<Township> townships{
      {"永乐店", "POLYGON ((116.45 39.51,116.45 39.56,116.52 39.56,116.52 39.53,116.49 39.51,116.45 39.51))"},
      {"于家务", "POLYGON ((116.55 39.50,116.55 39.54,116.61 39.54,116.61 39.50,116.55 39.50))"},
  };
  return townships;
}

// The same townships as PROJ puts them into EPSG:4527 (3-degree zone 39, zone in the easting).
std::vector<std::string> ProjectedTownshipWkts() {
  OGRSpatialReference geographic;
  geographic.importFromEPSG(4490);
  geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRSpatialReference projected;
  projected.importFromEPSG(4527);
  projected.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> transform(OGRCreateCoordinateTransformation(&geographic, &projected));
  std::vector<std::string> wkts;
  for (const Township& township : GeographicTownships()) {
    OGRGeometry* shape = nullptr;
    OGRGeometryFactory::createFromWkt(township.wkt, nullptr, &shape);
    OGRGeometryUniquePtr owned(shape);
    EXPECT_EQ(owned->transform(transform.get()), OGRERR_NONE);
    char* text = nullptr;
    owned->exportToWkt(&text, wkbVariantIso);
    wkts.emplace_back(text);
    CPLFree(text);
  }
  return wkts;
}

GDALDatasetUniquePtr MakeSource(const std::string& path, int epsg, const std::vector<Township>& townships) {
  GDALDatasetUniquePtr dataset = MakeTownshipSource("GPKG", path, {});
  dataset->DeleteLayer(0);
  OGRSpatialReference srs;
  srs.importFromEPSG(epsg);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRLayer* layer = dataset->CreateLayer("townships", &srs, wkbMultiPolygon, nullptr);
  OGRFieldDefn field("XZQMC", OFTString);
  EXPECT_EQ(layer->CreateField(&field), OGRERR_NONE);
  for (const Township& township : townships) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("XZQMC", township.name);
    OGRGeometry* shape = nullptr;
    OGRGeometryFactory::createFromWkt(township.wkt, nullptr, &shape);
    feature.SetGeometryDirectly(OGRGeometryFactory::forceToMultiPolygon(shape));
    EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
  return dataset;
}

class GeographicPolygonRun : public PolygonRun {
 protected:
  void SetUp() override {
    PolygonRun::SetUp();
    settings.CoordsWithZone = true;
    settings.coordinateSystemIndex = 0;  // CGCS2000
    geographicSource = MakeSource(folder.file("degrees.gpkg"), 4490, GeographicTownships());
    std::vector<Township> projected;
    const std::vector<std::string> wkts = ProjectedTownshipWkts();
    for (size_t i = 0; i < wkts.size(); ++i) projected.push_back({GeographicTownships()[i].name, wkts[i].c_str()});
    projectedSource = MakeSource(folder.file("metres.gpkg"), 4527, projected);
  }

  GDALDatasetUniquePtr geographicSource;
  GDALDatasetUniquePtr projectedSource;
};

TEST_F(GeographicPolygonRun, FramesOfDegreesEqualFramesOfMetres) {
  settings.GeographicInput = false;
  ASSERT_EQ(run(projectedSource->GetLayer(0)).made, 2) << (ui.messages.empty() ? "" : ui.messages.front());
  const std::string metresOutput = output;
  output = folder.file("degrees.gdb");
  settings.GeographicInput = true;
  ASSERT_EQ(run(geographicSource->GetLayer(0)).made, 2) << (ui.messages.empty() ? "" : ui.messages.front());
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();

  const GaussZone zone(ZoneEllipsoid::Cgcs2000, ZoneWidth::ThreeDegree, 117, true);
  for (const Township& township : GeographicTownships()) {
    SCOPED_TRACE(township.name);
    const std::vector<StoredLine> inMetres = ReadLines(metresOutput, std::string("L_") + township.name);
    const std::vector<StoredLine> inDegrees = ReadLines(output, std::string("L_") + township.name);
    ASSERT_FALSE(inMetres.empty());
    ASSERT_EQ(inDegrees.size(), inMetres.size());
    double worst = 0;
    for (const StoredLine& degrees : inDegrees) {
      EXPECT_GT(degrees.x1, 116) << "written in longitude";
      EXPECT_LT(degrees.x1, 118);
      const PlanePoint a = zone.Forward({degrees.y1, degrees.x1});
      const PlanePoint b = zone.Forward({degrees.y2, degrees.x2});
      double nearest = HUGE_VAL;
      for (const StoredLine& metres : inMetres)
        if (metres.id == degrees.id)
          nearest = std::min(nearest, std::max(std::hypot(a.easting - metres.x1, a.northing - metres.y1),
                                               std::hypot(b.easting - metres.x2, b.northing - metres.y2)));
      worst = std::max(worst, nearest);
    }
    EXPECT_LT(worst, 0.05);

    // The same labels, corner latitudes and longitudes among them.
    std::vector<std::string> metresTexts, degreesTexts;
    for (const StoredText& text : ReadTexts(metresOutput, std::string("a_") + township.name))
      metresTexts.push_back(text.text);
    for (const StoredText& text : ReadTexts(output, std::string("a_") + township.name))
      degreesTexts.push_back(text.text);
    std::sort(metresTexts.begin(), metresTexts.end());
    std::sort(degreesTexts.begin(), degreesTexts.end());
    EXPECT_EQ(degreesTexts, metresTexts);

    // The mask and the band around the frame stay near the township, in degrees.
    GDALDatasetUniquePtr dataset(GDALDataset::Open(output.c_str(), GDAL_OF_VECTOR));
    OGRLayer* areas = dataset->GetLayerByName((std::string("p_") + township.name).c_str());
    ASSERT_NE(areas, nullptr);
    OGREnvelope extent;
    ASSERT_EQ(areas->GetExtent(&extent, TRUE), OGRERR_NONE);
    EXPECT_GT(extent.MinX, 116.3);
    EXPECT_LT(extent.MaxX, 116.8);
    EXPECT_GT(extent.MinY, 39.4);
    EXPECT_LT(extent.MaxY, 39.7);
  }
}

}  // namespace
}  // namespace framora
