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

// What a run did, for the driver's report.
struct PolygonRunSummary {
  int drawn = 0;     // sheets whose frame was written by this run
  int existing = 0;  // sheets found from an earlier run: not drawn again, document only
  int skipped = 0;   // features that could make no sheet (no shape, no name, gone)
  bool stopped = false;  // the user stopped the run between sheets
};

// Draws a rectangular frame around each selected polygon of a source layer, such as the
// townships of an administrative-division layer.
//
// The driver constructs it, sets the fields below and those of TtkBaseClass
// (WhereClause; for batch printing BuildMapDocument, OutputFolder, LayoutControl), then
// calls Run once.
class Tcreatetk : public TtkBaseClass {
 public:
  Tcreatetk(FrameSettings& settings, const std::string& outputPath, UserInterface& ui);

  // Draws the frames of every feature of SourceClass that WhereClause selects, one progress
  // step per feature; a sheet whose dataset exists is not drawn again. With
  // BuildMapDocument each sheet then gets its document, laid out around its inner frame.
  // A feature without shape or sheet name is skipped with a message; any other error
  // ends the run and propagates, the half-drawn sheet removed. SourceClass is left
  // without an attribute filter.
  PolygonRunSummary Run();

  // The frame of the current feature (SourceFeature, SheetGeometry) from its extent.
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

  // --- set by the driver -----------------------------------------------------------------
  OGRLayer* SourceClass = nullptr;  // the chosen polygon layer (borrowed); its spatial
                                    // reference becomes every sheet dataset's
  std::string NameField;            // the field named in the template, e.g. "XZQMC"
  std::string NameTemplate;         // e.g. "[XZQMC]" or "[XZQMC]图", as typed

 private:
  enum class SheetResult { Drawn, Existing, Skipped };
  SheetResult DrawSheet(const OGRFeature& feature);
  // A grid step of 0 or less draws no grid; the user hears why once per run.
  bool GridStepUsable(double step, const std::string& refusal);
  bool gridRefusalShown_ = false;
};

}  // namespace framora
