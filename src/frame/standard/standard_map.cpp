#include "frame/standard/standard_map.h"

#include <cmath>
#include <string>
#include <vector>

#include "geodesy/gauss_kruger.h"
#include "gis/feature_class.h"
#include "gis/geometry.h"
#include "util/framora_error.h"

namespace framora {

namespace {

// Closes the progress window on every way out of a run.
class ProgressWindow {
 public:
  ProgressWindow(UserInterface& ui, int total) : ui_(ui) { ui_.startProgress(total, "正在生成图廓", true); }
  ~ProgressWindow() {
    try {
      ui_.endProgress(false);
    } catch (...) {
    }
  }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

 private:
  UserInterface& ui_;
};

}  // namespace

TstandardMap::TstandardMap(FrameSettings& frameSettings, const std::string& outputPath, UserInterface& userInterface)
    : TtkBaseClass(frameSettings, outputPath, userInterface) {}

SheetRunSummary TstandardMap::Run() {
  SheetRunSummary summary;
  if (SourceClass == nullptr) throw FramoraError("没有指定图幅结合表图层");
  shownMessages_.clear();
  titleFieldUsable_.reset();
  if (!settings.CoordsWithZone)
    settings.run.zonePrefixText = std::to_string(ZoneOfMeridian(settings.CentralMeridian, settings.ThreeDegreeZones));

  // Taken up front: the neighbour look-ups of the adjoining-sheet table query the same layer.
  std::vector<OGRFeatureUniquePtr> sheets = AttributeQuery(*SourceClass, MakeQueryFilter());
  SourceClass->SetAttributeFilter(nullptr);
  if (sheets.empty()) {
    ui.message("没有数据，可能条件设置错误");
    return summary;
  }

  ProgressWindow progress(ui, static_cast<int>(sheets.size()));
  for (size_t i = 0; i < sheets.size(); ++i) {
    switch (DrawSheetFeature(*sheets[i])) {
      case SheetOutcome::Drawn:
        ++summary.drawn;
        break;
      case SheetOutcome::Existing:
        ++summary.existing;
        break;
      case SheetOutcome::Skipped:
        ++summary.skipped;
        break;
    }
    sheets[i].reset();
    if (ui.stepProgress(1)) {
      summary.stopped = i + 1 < sheets.size();
      break;
    }
  }
  return summary;
}

TstandardMap::SheetOutcome TstandardMap::DrawSheetFeature(const OGRFeature& feature) {
  const OGRGeometry* shape = feature.GetGeometryRef();
  SheetGeometry = shape == nullptr ? nullptr : CloneGeometry(*shape);
  BeginSheet(&feature, NameField, SourceClass, NameTemplate);

  if (!ReadSheetCorners()) {
    // An empty dataset would pass for a finished sheet in the next run.
    if (IsNewDataset) {
      BeginDrawing();
      EndDrawing(false);
    }
    return SheetOutcome::Skipped;
  }
  const Envelope extent = SheetExtent(*SheetGeometry);
  SheetOutcome outcome = SheetOutcome::Existing;
  if (IsNewDataset) {
    BeginDrawing();
    try {
      DrawSheet();
    } catch (...) {
      try {
        EndDrawing(false);
      } catch (...) {
        // The drawing failure is the one to report.
      }
      throw;
    }
    EndDrawing(true);
    outcome = SheetOutcome::Drawn;
  }
  FinishSheetDocument(extent.ymax, extent.ymin, extent.xmax, extent.xmin);
  return outcome;
}

void TstandardMap::DrawSheet() {
  const bool geographic = settings.GeographicInput;
  for (int corner = 0; corner < 4; ++corner) {
    if (geographic)
      WriteCornerLabelGeographic(corner, InnerCorners[corner].y, InnerCorners[corner].x);
    else
      WriteCornerLabel(corner, InnerCorners[corner].y, InnerCorners[corner].x);
  }

  if (geographic) {
    // The frame of a geographic sheet is the rectangle of its corners, whatever the
    // vertices say; the inner lines run on to the outer frame.
    const double west = GeoOrigin.x, south = GeoOrigin.y;
    const double east = west + GeoWidth, north = south + GeoHeight;
    AddLineGeographic(1, west, south - GapLat, west, north + GapLat);
    AddLineGeographic(1, east, south - GapLat, east, north + GapLat);
    AddLineGeographic(1, west - GapLon, south, east + GapLon, south);
    AddLineGeographic(1, west - GapLon, north, east + GapLon, north);
    const double outerWest = west - GapLon, outerEast = east + GapLon;
    const double outerSouth = south - GapLat, outerNorth = north + GapLat;
    AddLineGeographic(2, outerWest, outerSouth, outerWest, outerNorth);
    AddLineGeographic(2, outerWest, outerNorth, outerEast, outerNorth);
    AddLineGeographic(2, outerEast, outerNorth, outerEast, outerSouth);
    AddLineGeographic(2, outerEast, outerSouth, outerWest, outerSouth);

    WriteScaleTextGeographic(outerSouth, outerEast, outerWest, south, west);
    const PlanePoint barCentre = ToPlane(outerSouth, (outerWest + outerEast) / 2);
    DrawScaleBar(barCentre.northing, barCentre.easting);
  } else {
    for (const auto* corners : {&InnerCorners, &OuterCorners}) {
      const int kind = corners == &InnerCorners ? 1 : 2;
      for (int i = 0; i < 4; ++i) {
        const SheetPoint& from = (*corners)[i];
        const SheetPoint& to = (*corners)[(i + 1) % 4];
        AddLine(kind, from.x, from.y, to.x, to.y);
      }
    }
    DrawCornerLines();

    const SheetPoint& lowerLeft = OuterCorners[kLowerLeft];
    const SheetPoint& lowerRight = OuterCorners[kLowerRight];
    const double bottom = (lowerLeft.y + lowerRight.y) / 2;
    WriteScaleText(bottom, lowerRight.x, lowerLeft.x);
    DrawScaleBar(bottom, (lowerLeft.x + lowerRight.x) / 2);
  }

  DrawFrameTexts();
  DrawJoinTable();

  if (geographic) {
    // The kilometre grid works on the plane.
    for (auto* corners : {&InnerCorners, &OuterCorners}) {
      for (SheetPoint& corner : *corners) {
        const PlanePoint plane = ToPlane(corner.y, corner.x);
        corner = SheetPoint{plane.easting, plane.northing};
      }
    }
  }
  DrawGrid();
  DrawMask();
}

void TstandardMap::DrawFrameTexts() {
  if (!settings.GeographicInput) {
    const SheetPoint& upperLeft = OuterCorners[kUpperLeft];
    const SheetPoint& upperRight = OuterCorners[kUpperRight];
    WriteTitles((upperLeft.y + upperRight.y) / 2, upperLeft.x, upperRight.x);
    WriteUpperRight(upperRight.y, upperRight.x);
    WriteLowerRight(OuterCorners[kLowerRight].y, OuterCorners[kLowerRight].x);
    WriteLowerLeft(OuterCorners[kLowerLeft].y, OuterCorners[kLowerLeft].x);
    return;
  }
  // Distances turn into degrees at the lower-left inner corner; the texts that the plane
  // family holds against the inner frame are given the inner edges.
  const double west = GeoOrigin.x, south = GeoOrigin.y;
  const double east = west + GeoWidth, north = south + GeoHeight;
  WriteTitlesGeographic(north + GapLat, west - GapLon, east + GapLon, south, west);
  WriteUpperRightGeographic(north + GapLat, east, south, west);
  WriteLowerRightGeographic(south - GapLat, east, south, west);
  const double leftTextLat = south - NorthOffsetDegrees(25 * settings.ScaleFactor, south, west);
  WriteLowerLeftGeographic(south - GapLat, west - GapLon, leftTextLat, south, west);
}

void TstandardMap::DrawCornerLines() {
  const auto& inner = InnerCorners;
  const auto& outer = OuterCorners;
  for (int corner = 0; corner < 4; ++corner) {
    const SheetPoint p = inner[corner];
    const bool leftSide = corner == kLowerLeft || corner == kUpperLeft;
    const bool topSide = corner == kUpperLeft || corner == kUpperRight;
    const auto across = IntersectSegmentLines(p, SheetPoint{p.x + 1, p.y}, leftSide ? outer[kLowerLeft] : outer[kUpperRight],
                                              leftSide ? outer[kUpperLeft] : outer[kLowerRight]);
    if (across) AddLine(1, p.x, p.y, across->x, across->y);
    const auto upDown = IntersectSegmentLines(p, SheetPoint{p.x, p.y + 1}, topSide ? outer[kUpperLeft] : outer[kLowerLeft],
                                              topSide ? outer[kUpperRight] : outer[kLowerRight]);
    if (upDown) AddLine(1, p.x, p.y, upDown->x, upDown->y);
  }
}

void TstandardMap::DrawGrid() {
  switch (settings.GridType) {
    case 1:
      DrawKmGrid(true);
      break;
    case 2:
      DrawKmGrid(false);
      if (settings.GridInterval > 0) {
        const Envelope box = InnerFrameBox();
        DrawGridCrosses(1, box.ymax, box.ymin, box.xmax, box.xmin);
      }
      break;
    case 3:
      DrawGraticule();
      break;
    case 4:
      DrawGraticuleCrosses();
      break;
    default:
      break;
  }
}

void TstandardMap::DrawMask() {
  if (settings.MaskMode == 2 || IsEmptyGeometry(SheetGeometry.get()) || PolygonClass == nullptr) return;
  const Envelope extent = EnvelopeOf(*SheetGeometry);
  const double distance = settings.MaskDistance * settings.ScaleFactor;
  OGRGeometryUniquePtr outer;
  if (settings.GeographicInput) {
    // The distance is on the ground; a geographic sheet needs it in degrees.
    const double dLon = std::fabs(EastOffsetDegrees(distance, extent.ymin, extent.xmin));
    const double dLat = NorthOffsetDegrees(distance, extent.ymin, extent.xmin);
    const double sign = distance < 0 ? -1 : 1;
    outer = EnvelopePolygon(Envelope{extent.xmin - sign * dLon, extent.ymin - sign * dLat, extent.xmax + sign * dLon,
                                     extent.ymax + sign * dLat});
  } else {
    outer = ExpandedEnvelopePolygon(extent, distance);
  }
  OGRGeometryUniquePtr mask = GeometryDifference(std::move(outer), CloneGeometry(*SheetGeometry));
  if (IsEmptyGeometry(mask.get())) return;
  StoreFeature(*PolygonClass, *mask, 100, ui);
}

void TstandardMap::MessageOnce(const std::string& text) {
  if (shownMessages_.insert(text).second) ui.message(text);
}

}  // namespace framora
