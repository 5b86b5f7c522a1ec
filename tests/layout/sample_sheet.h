#pragma once

// A sheet written the way the frame builders write one, for the layout tests and the
// export benchmark.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <string>

#include "frame/frame_builder.h"
#include "gis/geometry.h"
#include "../support/test_geometry.h"
#include "util/logical_font.h"

namespace framora::testing {

inline OGRSpatialReference SampleReference() {
  OGRSpatialReference srs;
  srs.importFromEPSG(4527);  // CGCS2000 3-degree zone 39, eastings with the zone
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

struct SampleSheetParts {
  std::string title = "测试图名";
  LogicalFont titleFont = FontOfPointSize("黑体", 24);
  double titleAbove = 80;  // metres above the outer frame's top
  double gridInterval = 1000;
  double maskDistance = 300;  // metres beyond the inner frame
  bool kmLabels = false;      // kilometre numbers at both ends of every grid line
};

// Inner frame (ID 1), outer frame (ID 2) at FrameGap, km grid (ID 1), a scale bar line
// (ID 3), the title centred above the outer frame, and the mask (ID 100) from the inner
// frame out to maskDistance.
inline void WriteSampleSheet(TtkBaseClass& builder, const std::string& name, const Envelope& inner,
                             const SampleSheetParts& parts = {}) {
  const OGRSpatialReference srs = SampleReference();
  builder.StartSheetDataset(name, &srs);
  builder.setSheetGeometry(EnvelopePolygon(inner));
  if (!builder.isNewDataset()) return;
  builder.BeginDrawing();
  const double g = builder.frameGap();
  const Envelope outer{inner.xmin - g, inner.ymin - g, inner.xmax + g, inner.ymax + g};
  const auto rectangle = [&](int kind, const Envelope& box) {
    builder.AddLine(kind, box.xmin, box.ymin, box.xmin, box.ymax);
    builder.AddLine(kind, box.xmin, box.ymax, box.xmax, box.ymax);
    builder.AddLine(kind, box.xmax, box.ymax, box.xmax, box.ymin);
    builder.AddLine(kind, box.xmax, box.ymin, box.xmin, box.ymin);
  };
  rectangle(1, inner);
  rectangle(2, outer);
  const LogicalFont labelFont = FontOfPointSize("宋体", 10);
  const auto kilometres = [](double metres) { return std::to_string(static_cast<long long>(metres / 1000) % 100); };
  for (double x = std::ceil(inner.xmin / parts.gridInterval) * parts.gridInterval; x < inner.xmax; x += parts.gridInterval) {
    builder.AddLine(1, x, inner.ymin, x, inner.ymax);
    if (!parts.kmLabels) continue;
    builder.AddText(kilometres(x), labelFont, 2, 3, x, inner.ymax + 10);
    builder.AddText(kilometres(x), labelFont, 2, 1, x, inner.ymin - 10);
  }
  for (double y = std::ceil(inner.ymin / parts.gridInterval) * parts.gridInterval; y < inner.ymax; y += parts.gridInterval) {
    builder.AddLine(1, inner.xmin, y, inner.xmax, y);
    if (!parts.kmLabels) continue;
    builder.AddText(kilometres(y), labelFont, 3, 2, inner.xmin - 10, y);
    builder.AddText(kilometres(y), labelFont, 1, 2, inner.xmax + 10, y);
  }
  const double centre = (outer.xmin + outer.xmax) / 2;
  builder.AddLine(3, centre - 500, outer.ymin - 100, centre + 500, outer.ymin - 100);
  builder.AddText(parts.title, parts.titleFont, 2, 3, centre, outer.ymax + parts.titleAbove);
  builder.AddText("比例尺 1:10000", FontOfPointSize("宋体", 12), 2, 1, centre, outer.ymin - 150);
  OGRGeometryUniquePtr mask = GeometryDifference(ExpandedEnvelopePolygon(inner, parts.maskDistance), EnvelopePolygon(inner));
  if (mask) builder.AddPolygon(*mask, 100);
  builder.EndDrawing(true);
}

// A GeoPackage with one line layer "roads" running corner to corner across the area and
// one polygon layer "parcels" of count squares, as the user's map.
inline void WriteUserMap(const std::string& path, const Envelope& area, int parcels = 1) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference srs = SampleReference();
  OGRLayer* roads = dataset->CreateLayer("roads", &srs, wkbLineString, nullptr);
  OGRFeature road(roads->GetLayerDefn());
  road.SetGeometry(LineBetween(area.xmin, area.ymin, area.xmax, area.ymax).get());
  if (roads->CreateFeature(&road) != OGRERR_NONE) return;
  OGRLayer* squares = dataset->CreateLayer("parcels", &srs, wkbPolygon, nullptr);
  dataset->StartTransaction();
  unsigned seed = 20240601;
  for (int i = 0; i < parcels; ++i) {
    seed = seed * 1103515245u + 12345u;
    const double x = area.xmin + (seed >> 8) % 10000 / 10000.0 * area.width();
    seed = seed * 1103515245u + 12345u;
    const double y = area.ymin + (seed >> 8) % 10000 / 10000.0 * area.height();
    const double half = 40 + i % 7 * 40;
    OGRFeature square(squares->GetLayerDefn());
    square.SetGeometry(EnvelopePolygon(Envelope{x - half, y - half, x + half, y + half}).get());
    if (squares->CreateFeature(&square) != OGRERR_NONE) break;
  }
  dataset->CommitTransaction();
}

}  // namespace framora::testing
