#include "frame/polygon/polygon_frame.h"
#include "util/framora_error.h"

namespace framora {

void Tcreatetk::DrawSheetFrame(double xmin, double ymin, double xmax, double ymax) {
  const FrameSettings& s = settings_;
  const double gap = frameGap();
  const PolygonFrameBoxes frame = PolygonFrameBoxesOf({xmin, ymin, xmax, ymax}, s.MapToInnerGap * s.ScaleFactor, gap);
  const Envelope& inner = frame.inner;
  const Envelope& outer = frame.outer;

  if (s.CornerLatLonOn) {
    WriteCornerLabel(0, inner.ymin, inner.xmin);
    WriteCornerLabel(1, inner.ymax, inner.xmin);
    WriteCornerLabel(2, inner.ymax, inner.xmax);
    WriteCornerLabel(3, inner.ymin, inner.xmax);
  }

  // The inner lines run on to the outer frame, closing the band's corners.
  AddLine(1, inner.xmin, inner.ymin - gap, inner.xmin, inner.ymax + gap);
  AddLine(1, inner.xmax, inner.ymin - gap, inner.xmax, inner.ymax + gap);
  AddLine(1, inner.xmin - gap, inner.ymax, inner.xmax + gap, inner.ymax);
  AddLine(1, inner.xmin - gap, inner.ymin, inner.xmax + gap, inner.ymin);

  if (s.OuterLineWidth <= 0) {
    AddLine(2, outer.xmin, outer.ymin, outer.xmin, outer.ymax);
    AddLine(2, outer.xmax, outer.ymin, outer.xmax, outer.ymax);
    AddLine(2, outer.xmin, outer.ymax, outer.xmax, outer.ymax);
    AddLine(2, outer.xmin, outer.ymin, outer.xmax, outer.ymin);
    DrawScaleBar(outer.ymin, (outer.xmin + outer.xmax) / 2);
  }

  switch (s.GridType) {
    case 1:
      DrawKmGrid(1, outer);
      break;
    case 2:
      DrawKmGrid(0, outer);
      if (s.GridInterval > 0)  // DrawKmGrid has already said why there is no grid
        DrawGridCrosses(0, outer.ymax - gap, outer.ymin + gap, outer.xmax - gap, outer.xmin + gap);
      break;
    default:
      DrawGraticule(outer);
      break;
  }

  WriteLowerLeft(outer.ymin, outer.xmin);
  WriteLowerRight(outer.ymin, outer.xmax);
  WriteScaleText(outer.ymin, outer.xmax, outer.xmin);
  WriteUpperRight(outer.ymax, outer.xmax);
  WriteTitles(outer.ymax, outer.xmin, outer.xmax);

  if (s.OuterLineWidth > 0) DrawOuterBand(outer);
  DrawMask();
}

void Tcreatetk::DrawOuterBand(const Envelope& outer) {
  const double width = settings_.OuterLineWidth * settings_.ScaleFactor;
  OGRGeometryUniquePtr band = GeometryDifference(ExpandedEnvelopePolygon(outer, width), EnvelopePolygon(outer));
  if (!IsEmptyGeometry(band.get())) AddPlanePolygon(*band, 10);
}

void Tcreatetk::DrawMask() {
  // A sheet drawn by hand outside a run has only its sheet geometry, in the plane.
  const OGRGeometry* shape = planeShape_ ? planeShape_.get() : sheetGeometry();
  if (settings_.MaskMode == 2 || IsEmptyGeometry(shape)) return;
  const Envelope extent = EnvelopeOf(*shape);
  OGRGeometryUniquePtr cover = ExpandedEnvelopePolygon(extent, settings_.MaskDistance * settings_.ScaleFactor);
  // "从内图廓" leaves the whole map body open; mode 1 only the feature's own shape.
  OGRGeometryUniquePtr opening =
      settings_.MaskMode == 0
          ? EnvelopePolygon(PolygonFrameBoxesOf(extent, settings_.MapToInnerGap * settings_.ScaleFactor, frameGap()).inner)
          : CloneGeometry(*shape);
  OGRGeometryUniquePtr mask = GeometryDifference(std::move(cover), std::move(opening));
  // A mask distance inside the inner frame leaves nothing to cover.
  if (!IsEmptyGeometry(mask.get())) AddPlanePolygon(*mask, 100);
}

}  // namespace framora
