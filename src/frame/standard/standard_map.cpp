#include "frame/standard/standard_map.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "geodesy/gauss_kruger.h"
#include "gis/feature_class.h"
#include "gis/geometry.h"
#include "util/framora_error.h"

namespace framora {

TtkBaseClass::DrawnSheet TstandardMap::DrawSheet(const OGRFeature& feature) {
  const OGRGeometry* shape = feature.GetGeometryRef();
  setSheetGeometry(shape == nullptr ? nullptr : CloneGeometry(*shape));
  BeginSheet(feature);
  bool madeNow = false;
  if (isNewDataset()) {
    // A sheet whose corners cannot be read leaves no empty dataset to pass for a finished
    // one in the next run.
    madeNow = DrawNewSheet([&] {
      ReadSheetCorners();
      DrawSheetContents();
    });
  } else {
    ReadSheetCorners();
  }
  return DrawnSheet{madeNow, SheetExtent(*sheetGeometry())};
}

void TstandardMap::DrawSheetContents() {
  const bool geographic = settings_.GeographicInput;
  // "不标注" leaves the corners bare on standard sheets as on polygon frames.
  for (int corner = 0; corner < 4 && settings_.CornerLatLonOn; ++corner) {
    if (geographic)
      WriteCornerLabelGeographic(corner, innerCorners_[corner].y, innerCorners_[corner].x);
    else
      WriteCornerLabel(corner, innerCorners_[corner].y, innerCorners_[corner].x);
  }

  if (geographic) {
    // The frame of a geographic sheet is the rectangle of its corners, whatever the
    // vertices say; the inner lines run on to the outer frame.
    const double west = geoOrigin_.x, south = geoOrigin_.y;
    const double east = west + geoWidth_, north = south + geoHeight_;
    AddLineGeographic(1, west, south - gapLat_, west, north + gapLat_);
    AddLineGeographic(1, east, south - gapLat_, east, north + gapLat_);
    AddLineGeographic(1, west - gapLon_, south, east + gapLon_, south);
    AddLineGeographic(1, west - gapLon_, north, east + gapLon_, north);
    const double outerWest = west - gapLon_, outerEast = east + gapLon_;
    const double outerSouth = south - gapLat_, outerNorth = north + gapLat_;
    DrawOuterFrame({SheetPoint{outerWest, outerSouth}, SheetPoint{outerWest, outerNorth},
                    SheetPoint{outerEast, outerNorth}, SheetPoint{outerEast, outerSouth}});

    WriteScaleTextGeographic(outerSouth, outerEast, outerWest, south, west);
    const PlanePoint barCentre = ToPlane(outerSouth, (outerWest + outerEast) / 2);
    DrawScaleBar(barCentre.northing, barCentre.easting);
  } else {
    for (int i = 0; i < 4; ++i) {
      const SheetPoint& from = innerCorners_[i];
      const SheetPoint& to = innerCorners_[(i + 1) % 4];
      AddLine(1, from.x, from.y, to.x, to.y);
    }
    DrawOuterFrame(outerCorners_);
    DrawCornerLines();

    const SheetPoint& lowerLeft = outerCorners_[kLowerLeft];
    const SheetPoint& lowerRight = outerCorners_[kLowerRight];
    const double bottom = (lowerLeft.y + lowerRight.y) / 2;
    WriteScaleText(bottom, lowerRight.x, lowerLeft.x);
    DrawScaleBar(bottom, (lowerLeft.x + lowerRight.x) / 2);
  }

  DrawFrameTexts();
  DrawJoinTable();

  if (geographic) {
    // The kilometre grid works on the plane.
    for (auto* corners : {&innerCorners_, &outerCorners_}) {
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
  if (!settings_.GeographicInput) {
    const SheetPoint& upperLeft = outerCorners_[kUpperLeft];
    const SheetPoint& upperRight = outerCorners_[kUpperRight];
    WriteTitles((upperLeft.y + upperRight.y) / 2, upperLeft.x, upperRight.x);
    WriteUpperRight(upperRight.y, upperRight.x);
    WriteLowerRight(outerCorners_[kLowerRight].y, outerCorners_[kLowerRight].x);
    WriteLowerLeft(outerCorners_[kLowerLeft].y, outerCorners_[kLowerLeft].x);
    return;
  }
  // Distances turn into degrees at the lower-left inner corner; the texts that the plane
  // family holds against the inner frame are given the inner edges.
  const double west = geoOrigin_.x, south = geoOrigin_.y;
  const double east = west + geoWidth_, north = south + geoHeight_;
  WriteTitlesGeographic(north + gapLat_, west - gapLon_, east + gapLon_, south, west);
  WriteUpperRightGeographic(north + gapLat_, east, south, west);
  WriteLowerRightGeographic(south - gapLat_, east, south, west);
  const double leftTextLat = south - NorthOffsetDegrees(25 * settings_.ScaleFactor, south, west);
  WriteLowerLeftGeographic(south - gapLat_, west - gapLon_, leftTextLat, south, west);
}

void TstandardMap::DrawOuterFrame(const std::array<SheetPoint, 4>& corners) {
  const bool geographic = settings_.GeographicInput;
  if (settings_.OuterLineWidth <= 0) {
    for (int i = 0; i < 4; ++i) {
      const SheetPoint& from = corners[i];
      const SheetPoint& to = corners[(i + 1) % 4];
      if (geographic)
        AddLineGeographic(2, from.x, from.y, to.x, to.y);
      else
        AddLine(2, from.x, from.y, to.x, to.y);
    }
    return;
  }
  // A set width draws the outer frame as a band that wide outside the outer frame, as on
  // polygon frames. The corners run clockwise, so outward is left of each side's direction.
  const double width = settings_.OuterLineWidth * settings_.ScaleFactor;
  const double widthX = geographic ? EastOffsetDegrees(width, corners[0].y, corners[0].x) : width;
  const double widthY = geographic ? NorthOffsetDegrees(width, corners[0].y, corners[0].x) : width;
  std::array<SheetPoint, 4> from{}, to{};
  for (int i = 0; i < 4; ++i) {
    const SheetPoint a = corners[i], b = corners[(i + 1) % 4];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (!(length > 0)) return;
    const double nx = -(b.y - a.y) / length * widthX, ny = (b.x - a.x) / length * widthY;
    from[i] = SheetPoint{a.x + nx, a.y + ny};
    to[i] = SheetPoint{b.x + nx, b.y + ny};
  }
  auto outside = std::make_unique<OGRLinearRing>();
  auto hole = std::make_unique<OGRLinearRing>();
  for (int i = 0; i < 4; ++i) {
    const int before = (i + 3) % 4;
    const std::optional<SheetPoint> grown = IntersectSegmentLines(from[before], to[before], from[i], to[i]);
    if (!grown) return;
    outside->addPoint(grown->x, grown->y);
    hole->addPoint(corners[i].x, corners[i].y);
  }
  outside->closeRings();
  hole->closeRings();
  OGRPolygon band;
  band.addRingDirectly(outside.release());
  band.addRingDirectly(hole.release());
  AddPolygon(band, 10);
}

void TstandardMap::DrawCornerLines() {
  const auto& inner = innerCorners_;
  const auto& outer = outerCorners_;
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
  switch (settings_.GridType) {
    case 1:
      DrawKmGrid(true);
      break;
    case 2:
      DrawKmGrid(false);
      if (settings_.GridInterval > 0) {
        const Envelope box = InnerFrameBox();
        // A trapezoid does not fill its box: only crosses whole inside the inner frame.
        const auto inside = [this](double x, double y) {
          for (int i = 0; i < 4; ++i) {
            const SheetPoint& a = innerCorners_[i];
            const SheetPoint& b = innerCorners_[(i + 1) % 4];
            // The corners run clockwise from the lower left: the map lies to the right of each side.
            if ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x) > 0) return false;
          }
          return true;
        };
        DrawGridCrosses(1, box.ymax, box.ymin, box.xmax, box.xmin, [&](double x, double y, double arm) {
          return inside(x - arm, y) && inside(x + arm, y) && inside(x, y - arm) && inside(x, y + arm);
        });
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
  if (settings_.MaskMode == 2 || IsEmptyGeometry(sheetGeometry())) return;
  const Envelope extent = EnvelopeOf(*sheetGeometry());
  const double distance = settings_.MaskDistance * settings_.ScaleFactor;
  OGRGeometryUniquePtr outer;
  if (settings_.GeographicInput) {
    // The distance is on the ground; a geographic sheet needs it in degrees.
    const double dLon = std::fabs(EastOffsetDegrees(distance, extent.ymin, extent.xmin));
    const double dLat = NorthOffsetDegrees(distance, extent.ymin, extent.xmin);
    const double sign = distance < 0 ? -1 : 1;
    outer = EnvelopePolygon(Envelope{extent.xmin - sign * dLon, extent.ymin - sign * dLat, extent.xmax + sign * dLon,
                                     extent.ymax + sign * dLat});
  } else {
    outer = ExpandedEnvelopePolygon(extent, distance);
  }
  OGRGeometryUniquePtr mask = GeometryDifference(std::move(outer), CloneGeometry(*sheetGeometry()));
  if (IsEmptyGeometry(mask.get())) return;
  AddPolygon(*mask, 100);
}

}  // namespace framora
