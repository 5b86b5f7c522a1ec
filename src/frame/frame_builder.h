#pragma once

#include <ogrsf_frmts.h>

#include <memory>
#include <optional>
#include <string>

#include "frame/frame_settings.h"
#include "frame/sheet_document.h"
#include "geodesy/gauss_zone.h"
#include "gis/buffered_insert.h"
#include "gis/feature_class.h"
#include "gis/feature_dataset.h"
#include "gis/geometry.h"
#include "gis/workspace.h"
#include "util/logical_font.h"
#include "util/user_interface.h"

namespace framora {

class SheetDocumentBuilder;

struct CalendarDate {
  int year = 2000, month = 1, day = 1;
  static CalendarDate Today();
};

// The frame builder of one run: owns the output geodatabase and the classes of the sheet
// being drawn. The standard-sheet and polygon builders derive from it and call these
// operations; there are no virtual operations.
//
// Coordinates handed to the writing operations are (easting, northing) in projected
// metres, or (longitude, latitude) in the geographic variants.
class TtkBaseClass {
 public:
  // An empty outputPath makes an object with only FrameGap set (for arithmetic alone).
  TtkBaseClass(FrameSettings& settings, const std::string& outputPath, UserInterface& ui);
  ~TtkBaseClass();
  TtkBaseClass(const TtkBaseClass&) = delete;
  TtkBaseClass& operator=(const TtkBaseClass&) = delete;

  // --- the sheet ---------------------------------------------------------------------
  // Name from the template and the feature's field value, spatial domain from the source
  // layer's extent, then StartSheetDataset.
  void BeginSheet(const OGRFeature* sourceFeature, const std::string& fieldName, OGRLayer* sourceDataset,
                  const std::string& nameText);
  // Cleans the name, counts the sheet and opens or creates its dataset and classes.
  void StartSheetDataset(const std::string& name, const OGRSpatialReference* spatialReference);
  // Opens the line cursor and the text batch of a new sheet.
  void BeginDrawing();
  // Flushes what was drawn. A sheet that did not complete is removed again, so that a
  // later run does not take it for finished.
  void EndDrawing(bool completed);
  // The map-document step at the end of a sheet, when asked for (also for a sheet whose
  // dataset already existed). A failure is reported and ends only this sheet's step.
  void FinishSheetDocument(double top, double bottom, double right, double left);
  std::string MakeQueryFilter() const { return WhereClause; }
  static Envelope SheetExtent(const OGRGeometry& geometry) { return EnvelopeOf(geometry); }

  // --- writing -------------------------------------------------------------------------
  void AddLine(int kind, double x1, double y1, double x2, double y2);
  void AddLineGeographic(int kind, double lon1, double lat1, double lon2, double lat2);
  void AddText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x, double y);
  void AddTextGeographic(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double lon,
                         double lat);
  // The height of the font's em on the ground at the map scale, in metres.
  double FontHeightOnGround(const LogicalFont& font) const;
  double DoubleFontHeightOnGround(const LogicalFont& font) const { return 2 * FontHeightOnGround(font); }
  PlanePoint ToPlane(double latitude, double longitude) const;
  GeoPoint ToGeographic(double northing, double easting) const;
  // What follows "°" in the angle's degree-minute-second label.
  static std::string MinutesSecondsText(double angle);
  static OGRPoint MakePoint(double x, double y) { return OGRPoint(x, y); }

  // --- frame texts -----------------------------------------------------------------------
  void WriteTitles(double top, double left, double right);
  void WriteScaleText(double bottom, double right, double left);
  void WriteUpperRight(double top, double right);
  void WriteLowerRight(double bottom, double right);
  void WriteLowerLeft(double bottom, double left);
  void WriteCornerLabel(int corner, double northing, double easting);
  void WriteTitlesGeographic(double topLat, double leftLon, double rightLon, double referenceLat, double referenceLon);
  void WriteScaleTextGeographic(double bottomLat, double rightLon, double leftLon, double referenceLat,
                                double referenceLon);
  void WriteUpperRightGeographic(double topLat, double rightLon, double referenceLat, double referenceLon);
  void WriteLowerRightGeographic(double bottomLat, double rightLon, double referenceLat, double referenceLon);
  void WriteLowerLeftGeographic(double bottomLat, double leftLon, double textLat, double referenceLat,
                                double referenceLon);
  void WriteCornerLabelGeographic(int corner, double latitude, double longitude);
  std::string ExpandFieldText(const std::string& text);
  std::string ExpandTitleText(const std::string& text);
  std::string ExpandScaleText(const std::string& text) const;
  double NorthOffsetDegrees(double metres, double latitude, double longitude) const;
  double EastOffsetDegrees(double metres, double latitude, double longitude) const;

  // --- scale bar and crosses --------------------------------------------------------------
  void DrawScaleBar(double bottom, double centre);
  void DrawGridCrosses(int kind, double maxNorthing, double minNorthing, double maxEasting, double minEasting);

  // --- fields ---------------------------------------------------------------------------
  FrameSettings& settings;
  UserInterface& ui;
  FieldTemplate PolygonFields;
  FieldTemplate PolylineFields;
  double FrameGap = 0;
  std::unique_ptr<Workspace> OutputWorkspace;
  std::optional<FeatureDataset> SheetDataset;
  OGRLayer* AnnoClass = nullptr;
  OGRLayer* LineClass = nullptr;
  std::unique_ptr<BufferedInsert> LineCursor;
  OGRLayer* PolygonClass = nullptr;
  OGRLayer* AnnoLayer = nullptr;  // texts go into the text class directly
  OGRFeatureUniquePtr SourceFeature;
  bool IsNewDataset = false;
  std::string SheetName;
  OGRGeometryUniquePtr SheetGeometry;
  SheetDocumentBuilder* LayoutControl = nullptr;  // borrowed
  std::string OutputFolder;
  bool BuildMapDocument = false;
  std::string WhereClause;
  CalendarDate TextDate = CalendarDate::Today();  // fills the date placeholders of texts

 private:
  std::string FillDates(const std::string& text) const;
  void writeText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x, double y);
  void checkCornerBounds(double latitude, double longitude) const;
  bool drawing_ = false;
  std::optional<SpatialDomain> pendingDomain_;
};

// First grid node above the minimum (half an interval off in offset mode) and the number
// of further steps up to the maximum; steps < 0 when no node fits. Interval must be > 0.
struct GridNodes {
  double first;
  long long steps;
};
GridNodes NodesBetween(double minimum, double maximum, double interval, bool offsetByHalf);

// "-" and "." become "_"; blanks and parentheses go.
std::string CleanSheetName(const std::string& name);
// The spatial domain of a sheet's dataset from the source extent: whole kilometres with a
// margin of trunc(ScaleFactor) + 5 km on every side.
SpatialDomain SheetSpatialDomain(const Envelope& sourceExtent, double scaleFactor);
// Half the domain's width plus height, at least 1000.
int SpatialIndexGridSizeOf(const SpatialDomain& domain);

}  // namespace framora
