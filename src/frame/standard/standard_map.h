#pragma once

#include <ogrsf_frmts.h>

#include <array>
#include <optional>
#include <string>

#include "frame/frame_builder.h"

namespace framora {

// A point of a sheet in the run's map units: x is the easting or longitude, y the
// northing or latitude.
struct SheetPoint {
  double x = 0;
  double y = 0;
};

// Index of a corner in InnerCorners and OuterCorners.
enum SheetCornerIndex { kLowerLeft = 0, kUpperLeft = 1, kUpperRight = 2, kLowerRight = 3 };

// Where the adjoining-sheet table takes its place from.
struct OuterBounds {
  double left = 0;    // x of the upper-left outer corner
  double bottom = 0;  // the lower y of the two lower outer corners
  double top = 0;     // y of the upper-left outer corner
  double right = 0;   // the smaller x of the two right outer corners
};

// Frames for the sheets of a sheet index ("标准图幅文件"): every selected polygon of the source
// is one standard map sheet whose four corners become the inner frame. The frame's distances,
// fonts, grid and table options come from the settings (TitleField names the neighbours in
// the adjoining-sheet table).
class TstandardMap : public TtkBaseClass {
 public:
  using TtkBaseClass::TtkBaseClass;

  // --- one sheet (its shape and the output classes set) -------------------------------
  // Reads the inner corners from the sheet's shape and derives the outer frame. Throws
  // SheetSkipped with the reason when the shape is not a single ring of 4 or 5 points.
  void ReadSheetCorners();
  // Everything of the current sheet, in a fixed order: corner labels, inner and outer
  // frame, corner lines, scale, frame texts, adjoining-sheet table, grid, mask.
  void DrawSheetContents();
  void DrawCornerLines();
  // The outer frame through its corners (map units): lines, or with OuterLineWidth set a
  // band that wide outside them.
  void DrawOuterFrame(const std::array<SheetPoint, 4>& corners);
  void DrawMask();

  // --- geometry of the current sheet ----------------------------------------------------
  // lower-left, upper-left, upper-right, lower-right, in map units
  const std::array<SheetPoint, 4>& innerCorners() const { return innerCorners_; }
  const std::array<SheetPoint, 4>& outerCorners() const { return outerCorners_; }
  // Geographic sheets only: lower-left inner corner, size in degrees, and the frame gap in
  // degrees of longitude and latitude at the origin.
  SheetPoint geoOrigin() const { return geoOrigin_; }
  double geoWidth() const { return geoWidth_; }
  double geoHeight() const { return geoHeight_; }
  double gapLon() const { return gapLon_; }
  double gapLat() const { return gapLat_; }
  // Envelope of the (simplified) polygon through the four inner corners.
  Envelope InnerFrameBox() const;
  OuterBounds OuterFrameBounds() const;
  // Intersection of y = a1 + b1·x with y = a2 + b2·x; nothing for (nearly) parallel lines.
  static std::optional<SheetPoint> IntersectLines(double a1, double b1, double a2, double b2);
  // Intersection of the line through p1, p2 with the line through p3, p4.
  static std::optional<SheetPoint> IntersectSegmentLines(SheetPoint p1, SheetPoint p2, SheetPoint p3,
                                                         SheetPoint p4);

  // --- grid -----------------------------------------------------------------------------
  // Kilometre grid in plane coordinates: full lines, or ticks between the frames.
  void DrawKmGrid(bool fullLines);
  // Graticule and graticule crosses; geographic sheets only.
  void DrawGraticule();
  void DrawGraticuleCrosses();

  // --- adjoining-sheet table ----------------------------------------------------------------
  void DrawJoinTable();
  // The name of the sheet of the source layer under the point; empty when there is none.
  std::string NeighbourName(double x, double y);
  void PlaceCellName(const std::string& name, double left, double right, double bottom, double top);
  void PlaceCellNameGeographic(const std::string& name, double centreLon, double centreLat);

 protected:
  DrawnSheet DrawSheet(const OGRFeature& feature) override;

 private:
  void DrawGrid();
  void DrawFrameTexts();
  void DrawJoinTablePlane();
  void DrawJoinTableGeographic();
  // A graticule needs degrees and positive steps; says why not otherwise.
  bool GraticuleDrawable();
  // A parallel's label in the side band beside the inner frame's meridian innerLon (west or
  // east side): degrees above, the rest below.
  void WriteSideBandLabel(const std::string& label, double innerLon, double lat, bool east);
  bool TitleFieldUsable();

  std::array<SheetPoint, 4> innerCorners_{};
  std::array<SheetPoint, 4> outerCorners_{};
  SheetPoint geoOrigin_;
  double geoWidth_ = 0;
  double geoHeight_ = 0;
  double gapLon_ = 0;
  double gapLat_ = 0;
  std::optional<bool> titleFieldUsable_;
};

}  // namespace framora
