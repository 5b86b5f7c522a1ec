#pragma once

#include <ogrsf_frmts.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

// The outer frame's line (ID 2) prints 1 mm wide in the built-in style, half of it inside the
// band between the frames: texts in the band keep off that half.
inline constexpr double kOuterLineHalfWidthMm = 0.5;

struct CalendarDate {
  int year = 2000, month = 1, day = 1;
  static CalendarDate Today();
};

// The K-th of N parts of a run's selected sheets, so that N runs (on one machine or many)
// share a job: the selected sheets in the layer's order, cut into N runs of consecutive
// sheets whose sizes differ by one at most. 1 of 1 is the whole selection.
struct SheetShard {
  int index = 1;  // K, from 1
  int count = 1;  // N
};
// The positions [first, last) of part K of N among count selected sheets.
std::pair<size_t, size_t> ShardRange(size_t count, const SheetShard& shard);
// "K/N" as typed; FramoraError saying what is expected otherwise.
SheetShard ShardOfText(const std::string& text);

// Where a run's sheets come from.
struct SheetSource {
  OGRLayer* layer = nullptr;   // the polygon layer (borrowed); its spatial reference becomes every
                               // sheet dataset's
  std::string whereClause;     // attribute condition over the layer; empty selects every feature
  std::string nameField;       // the field named in the template, such as "TFH"
  std::string nameTemplate;    // the output name as typed, such as "[TFH]" or "[XZQMC]图"
  SheetShard shard{};          // the part of the selected sheets this run makes
};

// What one run did, for the driver's report.
struct SheetRunSummary {
  int made = 0;          // sheets made in full by this run
  int existing = 0;      // sheets an earlier run made: not drawn again, document only
  int skipped = 0;       // features that could make no sheet (their message was shown)
  int failed = 0;        // sheets whose map document or picture could not be made
  bool stopped = false;  // the user stopped the run before its last sheet
};

// The frame builder of one run: owns the output geodatabase, the classes of the sheet being
// drawn and the run's working state, and runs the sheet loop. The standard-sheet and polygon
// builders derive from it and supply how one sheet is drawn.
//
// Coordinates handed to the writing operations are (easting, northing) in projected metres,
// or (longitude, latitude) in the geographic variants.
class PictureInFlight;

class TtkBaseClass {
 public:
  // An empty outputPath makes a builder for arithmetic alone. documents, when given, lays
  // every sheet out after it is drawn (batch printing).
  TtkBaseClass(const FrameSettings& settings, const std::string& outputPath, UserInterface& ui,
               SheetSource source = {}, SheetDocumentBuilder* documents = nullptr);
  virtual ~TtkBaseClass();
  TtkBaseClass(const TtkBaseClass&) = delete;
  TtkBaseClass& operator=(const TtkBaseClass&) = delete;

  // Draws every sheet that the source's condition selects, one progress step per feature; a
  // stop is honoured between sheets. A sheet whose dataset exists is not drawn again. A sheet
  // that cannot be made is skipped with its message; a failed map document counts the sheet
  // as failed and the run goes on; any other error ends the run and propagates, the sheet in
  // hand removed again and the progress closed. The source layer is left without a filter.
  SheetRunSummary Run();

  // --- the sheet ---------------------------------------------------------------------
  // Name from the template and the feature's field value, spatial domain from the source
  // layer's extent, then StartSheetDataset.
  void BeginSheet(const OGRFeature& sourceFeature);
  // Cleans the name, counts the sheet and opens or creates its dataset and classes.
  void StartSheetDataset(const std::string& name, const OGRSpatialReference* spatialReference);
  // Opens the line cursor and the text batch of a new sheet.
  void BeginDrawing();
  // Flushes what was drawn. A sheet that did not complete is removed again, so that a
  // later run does not take it for finished.
  void EndDrawing(bool completed);
  static Envelope SheetExtent(const OGRGeometry& geometry) { return EnvelopeOf(geometry); }

  // --- writing -------------------------------------------------------------------------
  void AddLine(int kind, double x1, double y1, double x2, double y2);
  void AddLineGeographic(int kind, double lon1, double lat1, double lon2, double lat2);
  // characterSpacing is in per cent of the em, as the text class stores it.
  void AddText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x, double y,
               double characterSpacing = 0);
  void AddTextGeographic(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double lon,
                         double lat, double characterSpacing = 0);
  // Stores an area of the sheet with its "ID" kind.
  void AddPolygon(const OGRGeometry& polygon, int id);
  // The height of the font's em on the ground at the map scale, in metres.
  double FontHeightOnGround(const LogicalFont& font) const;
  // A text's widest line on the ground on the page's metric model (single-byte characters
  // half an em, others one em; the spacing a percentage of each character but the last).
  double TextWidthOnGround(const std::string& text, const LogicalFont& font, double characterSpacing = 0) const;
  // How far the outer frame's line reaches into the band: half its printed width when it is
  // drawn as a line, nothing when OuterLineWidth draws it as a band outside.
  double OuterLineInset() const {
    return settings_.OuterLineWidth > 0 ? 0 : kOuterLineHalfWidthMm * 10 * settings_.ScaleFactor;
  }
  // The character spacing (per cent, 0 or less) that narrows a text to width, never
  // tighter than -50.
  double SpacingToFit(const std::string& text, const LogicalFont& font, double width) const;
  // The em box a text written with AddText's alignment codes takes on the ground.
  Envelope TextBoxOnGround(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x,
                           double y, double characterSpacing = 0) const;
  // Whether the segment (plane coordinates) comes within margin of a corner label of the
  // sheet being drawn; km lines near a corner stop short of them.
  bool CrossesCornerLabel(double x1, double y1, double x2, double y2, double margin) const;
  // The boxes of the corner labels written so far on the sheet, in the plane.
  const std::vector<Envelope>& cornerLabelBoxes() const { return cornerLabelBoxes_; }
  // The anchor of a label reaching from anchor + left to anchor + right along x, across
  // low..high, moved along x away from any corner label it comes within gap of.
  double ClearOfCornerLabels(double anchor, double left, double right, double low, double high, double gap) const;
  // The anchor of a label moved off its line's position (toward the map's middle, to keep
  // clear of a corner), moved on past the line when the line would run through it.
  static double ClearOfOwnLine(double anchor, double line, double left, double right, double gap);
  double DoubleFontHeightOnGround(const LogicalFont& font) const { return 2 * FontHeightOnGround(font); }
  PlanePoint ToPlane(double latitude, double longitude) const;
  GeoPoint ToGeographic(double northing, double easting) const;
  // What follows "°" in the angle's degree-minute-second label.
  static std::string MinutesSecondsText(double angle);

  // --- frame texts -----------------------------------------------------------------------
  // A title's text and the character spacing it is written with.
  struct TitleText {
    std::string text;
    double characterSpacing = 0;
  };
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
  TitleText ExpandTitleText(const std::string& text);
  std::string ExpandScaleText(const std::string& text) const;
  double NorthOffsetDegrees(double metres, double latitude, double longitude) const;
  double EastOffsetDegrees(double metres, double latitude, double longitude) const;

  // --- scale bar and crosses --------------------------------------------------------------
  void DrawScaleBar(double bottom, double centre);
  // Crosses at the grid nodes of the box; `keep`, when given, says which crosses (by their
  // node) may be drawn, so that none lies beside a sheet that does not fill its box.
  void DrawGridCrosses(int kind, double maxNorthing, double minNorthing, double maxEasting, double minEasting,
                       const std::function<bool(double easting, double northing, double arm)>& keep = {});

  // --- the state of the run, read-only --------------------------------------------------------
  const FrameSettings& settings() const { return settings_; }
  double frameGap() const { return frameGap_; }
  const std::string& sheetName() const { return sheetName_; }
  bool isNewDataset() const { return isNewDataset_; }
  const OGRGeometry* sheetGeometry() const { return sheetGeometry_.get(); }
  // The Gauss–Krüger zone of the run.
  const GaussZone& zone() const { return zone_; }
  Workspace* outputWorkspace() const { return outputWorkspace_.get(); }
  int sheetsBegun() const { return sheetsBegun_; }
  int spatialIndexGridSize() const { return spatialIndexGridSize_; }
  // Ahead of the hundreds of kilometre labels: the zone number, unless eastings carry it.
  const std::string& zonePrefix() const { return zonePrefix_; }
  // The sheet of the current feature as the page layout needs it, around its inner frame.
  FinishedSheet Finished(const Envelope& innerFrame) const;

  // The sheet's shape and the feature its texts take field values from; set by each sheet
  // of a run, and by hand where one sheet is drawn outside a run (sample pages).
  void setSheetGeometry(OGRGeometryUniquePtr geometry) { sheetGeometry_ = std::move(geometry); }
  void setSourceFeature(OGRFeatureUniquePtr feature) { sourceFeature_ = std::move(feature); }
  // Fills the date placeholders of texts; today unless set.
  void setTextDate(CalendarDate date) { textDate_ = date; }

 protected:
  // What drawing one feature gave: a sheet drawn now or found from an earlier run, and its
  // inner frame for the page layout.
  struct DrawnSheet {
    bool madeNow = false;
    Envelope innerFrame;
  };
  // Draws the sheet of one selected feature. Throws SheetSkipped for a feature that can make
  // no sheet; any other error ends the run.
  virtual DrawnSheet DrawSheet(const OGRFeature& feature) = 0;

  // Runs draw between BeginDrawing and EndDrawing when the sheet's dataset is new; whatever
  // way draw fails, the half-drawn sheet is removed and draw's own error propagates.
  template <typename Draw>
  bool DrawNewSheet(Draw&& draw) {
    if (!isNewDataset_) return false;
    SheetCleanup cleanup(*this);
    draw();
    cleanup.complete();
    return true;
  }

  // Tells the user something during the run; the once variant only the first time per run.
  void Notify(const std::string& text) const;
  void NotifyOnce(const std::string& text) const;
  // A step read from the settings that a loop would divide by: false, said once, when it
  // is not positive.
  bool StepUsable(double step, const std::string& refusal);

  const SheetSource& source() const { return source_; }
  const OGRFeature* sourceFeature() const { return sourceFeature_.get(); }
  OGRLayer* polygonClass() const { return polygonClass_; }

  const FrameSettings& settings_;
  UserInterface& ui_;

 private:
  // Removes the sheet in hand unless told it completed; never lets a cleanup failure hide the
  // error that caused it.
  class SheetCleanup {
   public:
    explicit SheetCleanup(TtkBaseClass& builder) : builder_(builder) { builder_.BeginDrawing(); }
    ~SheetCleanup();
    void complete();
    SheetCleanup(const SheetCleanup&) = delete;
    SheetCleanup& operator=(const SheetCleanup&) = delete;

   private:
    TtkBaseClass& builder_;
    bool done_ = false;
  };

  std::string FillDates(const std::string& text) const;
  std::optional<std::string> SourceFieldValue(const std::string& fieldName);
  void writeText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x, double y,
                 double characterSpacing);
  void checkCornerBounds(double latitude, double longitude) const;
  // Writes a corner label's text and keeps its box, in the plane, for CrossesCornerLabel.
  void writeCornerText(const std::string& text, const LogicalFont& font, int hAlign, int vAlign, double x, double y,
                       double characterSpacing, bool geographic);
  // Removes the sheet in hand from the output.
  void AbandonSheet();
  // The map-document step of a sheet: Failed when the user has been told why, Stopped when
  // the user stopped the run during its picture.
  enum class DocumentOutcome { Made, Failed, Stopped };
  // With picture given, a builder that can leaves the picture in it to be drawn elsewhere.
  DocumentOutcome DocumentSheet(const DrawnSheet& sheet, std::unique_ptr<SheetPicture>* picture);
  DocumentOutcome FinishPicture(PictureInFlight& pictures);
  // What work comes to: made, stopped by the user, or failed with the user told why.
  DocumentOutcome OutcomeOf(const std::function<void()>& work);
  // Counts a sheet (none: skipped) and steps the progress; true when the run ends there.
  bool Settle(std::optional<DocumentOutcome> outcome, bool madeNow, bool last, SheetRunSummary& summary);
  // What the user is told while the sheet before is still drawing waits for it to be settled.
  void ReleaseHeldMessages();
  void DropHeldMessages();

  SheetSource source_;
  SheetDocumentBuilder* documents_ = nullptr;
  double frameGap_ = 0;
  FieldTemplate polygonFields_;
  FieldTemplate polylineFields_;
  std::unique_ptr<Workspace> outputWorkspace_;
  std::optional<FeatureDataset> sheetDataset_;
  OGRLayer* lineClass_ = nullptr;
  OGRLayer* polygonClass_ = nullptr;
  OGRLayer* textClass_ = nullptr;
  std::unique_ptr<BufferedInsert> lineCursor_;
  OGRFeatureUniquePtr sourceFeature_;
  OGRGeometryUniquePtr sheetGeometry_;
  bool isNewDataset_ = false;
  std::string sheetName_;
  CalendarDate textDate_ = CalendarDate::Today();
  bool drawing_ = false;
  std::optional<SpatialDomain> pendingDomain_;
  std::vector<Envelope> cornerLabelBoxes_;  // of the sheet being drawn, in the plane

  // The run's working state.
  GaussZone zone_;
  std::string zonePrefix_;
  int sheetsBegun_ = 0;
  // The field templates read it before any sheet has set it, so it starts at the floor that
  // a sheet start raises it to.
  int spatialIndexGridSize_ = 1000;
  // Telling the user changes nothing of the sheets, so const operations may do it too.
  mutable std::set<std::string> shownOnce_;
  mutable bool holding_ = false;
  mutable std::vector<std::pair<std::string, bool>> held_;  // with whether told once a run
  std::set<std::string> namesThisRun_;  // SheetNameKey of each sheet begun
};

// First grid node above the minimum (half an interval off in offset mode) and the number
// of further steps up to the maximum; steps < 0 when no node fits. Interval must be > 0.
struct GridNodes {
  double first;
  long long steps;
};
GridNodes NodesBetween(double minimum, double maximum, double interval, bool offsetByHalf);

// FileGDB takes 160 characters in a name, of which "L_" or "y" go ahead of the sheet's.
inline constexpr size_t kMaxSheetNameCharacters = 158;
// A file name holds 255 bytes: room for the picture's side files at a temporary name.
inline constexpr size_t kMaxSheetNameBytes = 220;

// The name of a sheet as its dataset, classes, map document and picture carry it: blanks and
// parentheses go; "-", ".", path separators, control characters and every other ASCII sign
// become "_", and so does a byte of invalid UTF-8; cut to kMaxSheetNameCharacters and
// kMaxSheetNameBytes at a character's end. So no name reaches outside the output folder.
std::string CleanSheetName(const std::string& name);
// The name the template gives a feature, before cleaning.
std::string SheetNameOf(const SheetSource& source, const OGRFeature& feature);
// Cleaned names that differ only in letter case name the same dataset in a geodatabase.
std::string SheetNameKey(const std::string& cleanedName);
// Throws FramoraError naming the features whose sheets would share a name after cleaning
// (letter case ignored), among those the source's condition selects. The layer is left
// without a filter.
void RefuseCollidingSheetNames(OGRLayer& layer, const SheetSource& source);
// The spatial domain of a sheet's dataset from the source extent: whole kilometres with a
// margin of trunc(ScaleFactor) + 5 km on every side.
SpatialDomain SheetSpatialDomain(const Envelope& sourceExtent, double scaleFactor);
// Half the domain's width plus height, at least 1000.
int SpatialIndexGridSizeOf(const SpatialDomain& domain);

}  // namespace framora
