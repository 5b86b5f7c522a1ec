#pragma once

#include <ogrsf_frmts.h>

#include <string>
#include <vector>

#include "frame/frame_builder.h"

namespace framora {

// Inner and outer frame of a polygon sheet, whole metres cut toward zero.
struct PolygonFrameBoxes {
  Envelope inner;
  Envelope outer;
};

// The inner frame lies mapToInner metres outside the feature's extent, the outer frame
// frameGap metres outside the inner one.
PolygonFrameBoxes PolygonFrameBoxesOf(const Envelope& featureExtent, double mapToInner, double frameGap);

// Graticule values strictly inside (first, last): multiples of step, the first one above
// first. Empty for a step of 0 or less.
std::vector<double> GraticuleValues(double first, double last, double step);

// Draws a rectangular frame around each selected polygon of a source layer, such as the
// townships of an administrative-division layer. A feature without shape or sheet name is
// skipped with a message. With a document builder each sheet is laid out around its inner
// frame, so that the whole frame and its titles fit inside the page margins. A layer in
// longitude and latitude is framed in the run's zone and written back in degrees.
class Tcreatetk : public TtkBaseClass {
 public:
  using TtkBaseClass::TtkBaseClass;

  // The frame of the current feature (its shape set) from its extent.
  void DrawSheetFrame(double xmin, double ymin, double xmax, double ymax);
  // mode 1: full grid lines; mode 0: ticks between the outer and the inner frame.
  void DrawKmGrid(int mode, const Envelope& outer);
  // Parallels and meridians at LatStep and LonStep across the inner frame.
  void DrawGraticule(const Envelope& outer);
  // The outer frame drawn as a band OuterLineWidth wide, polygon ID 10.
  void DrawOuterBand(const Envelope& outer);
  // Covers what lies around the sheet, polygon ID 100: around the inner frame with
  // MaskMode 0, around the feature's own shape with 1, nothing with 2.
  void DrawMask();

 protected:
  DrawnSheet DrawSheet(const OGRFeature& feature) override;

 private:
  // Stores an area drawn in the plane, in degrees on a geographic layer.
  void AddPlanePolygon(const OGRGeometry& polygon, int id);
  // Plane edges are cut this short before they go to degrees.
  static double InnerSegmentMetres(const Envelope& frame);

  // The feature's shape in the zone's plane: the frame's coordinates are all in metres.
  OGRGeometryUniquePtr planeShape_;
};

}  // namespace framora
