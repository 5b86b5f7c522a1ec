#pragma once

#include <ogrsf_frmts.h>

#include <array>
#include <optional>
#include <set>
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

// What one run did, for the driver's report.
struct SheetRunSummary {
  int drawn = 0;           // sheets written in full by this run
  int existing = 0;  // sheets an earlier run made; not drawn again
  int skipped = 0;         // sheets whose corners could not be read (their message was shown)
  bool stopped = false;    // the user stopped the run before its last sheet
};

// Frames for the sheets of a sheet index ("标准图幅文件"): every selected polygon is one
// standard map sheet whose four corners become the inner frame.
//
// The driver constructs it with the output geodatabase path and then sets, before Run:
//   SourceClass      the sheet-index layer (polygons of 4 or 5 points); borrowed, must
//                    outlive Run. Its own spatial reference becomes each sheet dataset's.
//   WhereClause      the attribute condition over SourceClass; empty selects every sheet
//   NameTemplate     output name template as typed, such as "[TFH]" or "[TFH]图"
//   NameField        the field named in the template's brackets, such as "TFH"
//   MapSpatialRef    the map's spatial reference; borrowed, may stay null. The sheets are
//                    drawn in the sheet index's own coordinates; it travels with the
//                    builder for the map-document step.
//   batch printing only: BuildMapDocument = true, OutputFolder, LayoutControl
// The frame's distances, fonts, grid and table options come from the FrameSettings given
// at construction (settings.TitleField names the neighbours in the adjoining-sheet table).
class TstandardMap : public TtkBaseClass {
 public:
  TstandardMap(FrameSettings& settings, const std::string& outputPath, UserInterface& ui);

  // Draws the frames of every sheet of SourceClass that matches WhereClause, one progress
  // step per sheet; a stop is honoured between sheets. Errors that end the run propagate
  // after the sheet in hand has been removed again and the progress closed.
  SheetRunSummary Run();

  // --- one sheet (SheetGeometry and the output classes set) ---------------------------
  // Reads InnerCorners from SheetGeometry and derives the outer frame; false after its
  // message when the shape is not a single ring of 4 or 5 points.
  bool ReadSheetCorners();
  // Everything of the current sheet, in a fixed order: corner labels, inner and outer
  // frame, corner lines, scale, frame texts, adjoining-sheet table, grid, mask.
  void DrawSheet();
  void DrawCornerLines();
  void DrawMask();

  // --- geometry of the current sheet ----------------------------------------------------
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
  // The name of the sheet of SourceClass under the point; empty when there is none.
  std::string NeighbourName(double x, double y);
  void PlaceCellName(const std::string& name, double left, double right, double bottom, double top);
  void PlaceCellNameGeographic(const std::string& name, double centreLon, double centreLat);

  // --- set by the driver ------------------------------------------------------------------
  OGRLayer* SourceClass = nullptr;
  std::string NameTemplate;
  std::string NameField;
  const OGRSpatialReference* MapSpatialRef = nullptr;

  // --- the current sheet, in map units ---------------------------------------------------
  std::array<SheetPoint, 4> InnerCorners{};  // lower-left, upper-left, upper-right, lower-right
  std::array<SheetPoint, 4> OuterCorners{};
  // Geographic sheets only: lower-left inner corner, size in degrees, and the frame gap
  // in degrees of longitude and latitude at GeoOrigin.
  SheetPoint GeoOrigin;
  double GeoWidth = 0;
  double GeoHeight = 0;
  double GapLon = 0;
  double GapLat = 0;

 private:
  enum class SheetOutcome { Drawn, Existing, Skipped };
  SheetOutcome DrawSheetFeature(const OGRFeature& feature);
  void DrawGrid();
  void DrawFrameTexts();
  void DrawJoinTablePlane();
  void DrawJoinTableGeographic();
  // A refusal that would otherwise repeat for every sheet is shown once per builder.
  void MessageOnce(const std::string& text);
  // A graticule needs degrees and positive steps; says why not otherwise.
  bool GraticuleDrawable();
  bool TitleFieldUsable();

  std::set<std::string> shownMessages_;
  std::optional<bool> titleFieldUsable_;
};

}  // namespace framora
