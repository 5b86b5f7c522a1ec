#pragma once

#include <ogrsf_frmts.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/frame_builder.h"
#include "frame/frame_settings.h"
#include "gis/map_document.h"
#include "util/user_interface.h"

namespace framora {

enum class FrameJobCommand {
  Generate,    // frames into the output geodatabase
  BatchPrint,  // and a map document and a picture per sheet
};

// What the main window holds for a run, by the names of its controls.
struct FrameJobInputs {
  int creationMode = 1;                  // rgtype: 0 standard sheets, 1 administrative divisions
  std::string documentPath;              // edtmxd
  std::string layerName;                 // CBLayer
  std::string whereClause;               // reditwhere
  std::string nameTemplate;              // edtFileName, such as "[TFH]"
  std::vector<std::string> fieldChoices; // CbField: the fields that tell every feature apart
  std::string outputPath;                // edtoutFile: ".gdb" folder or ".gpkg" file
  std::string outputFolder;              // edtmxdPath (batch print)
  std::string dpiText = "96";            // edtDPI (batch print)
  int coordinateSystemIndex = 0;         // gb8054
  SheetShard shard{};                    // the part of the selected sheets to make (--shard)
  bool resume = false;                   // continue in an existing output: its finished sheets stay
};

struct FrameJobOutcome {
  bool ranToEnd = false;         // the builder went through every sheet
  bool declined = false;         // the user kept an existing output: nothing was done
  bool stopped = false;          // the user stopped between sheets
  long long elapsedMilliseconds = 0;
  int sheetsMade = 0;            // drawn in full by this run
  int sheetsExisting = 0;        // found from an earlier run
  int sheetsSkipped = 0;         // features that could make no sheet
  int sheetsFailed = 0;          // sheets whose map document or picture failed
};

// The highest resolution a picture is made at: the JPEG density field holds 16 bits.
inline constexpr int kMaxExportDpi = 65535;

// "生成N幅，已有N幅，跳过N幅，失败N幅": the counts of a run, for its report.
std::string SheetCountsText(const FrameJobOutcome& outcome);
// A job succeeded when it ran to its end, no sheet was skipped or failed, and it has sheets
// to show for it (made now or before).
bool JobSucceeded(const FrameJobOutcome& outcome);

// The field named in the template, or FramoraError with the system's message.
std::string CheckNameTemplate(const std::string& templateText, const std::vector<std::string>& fieldChoices);
// The template rebuilt around a newly picked field: "[A]图" with B becomes "[B]图".
std::string EditNameTemplate(const std::string& templateText, const std::string& pickedField);
// The fields of a layer whose values tell every feature apart, in the layer's order.
std::vector<std::string> FieldsNamingEveryFeature(OGRLayer& layer);
// Asks before deleting an existing output. False when the user keeps it (nothing touched);
// FramoraError when it cannot be deleted; the user's 继续 keeps it to continue. To resume,
// an existing output is kept without a question, provided it is an output of this program.
bool PrepareOutputGeodatabase(const std::string& outputPath, UserInterface& ui, bool resume = false);
// The spatial data of a map layer, found by name without regard to letter case.
const MapLayer* FindLayerByName(const MapDocument& document, const std::string& name);

// Runs "生成图廓" or "批量打印" with settings already assembled: checks everything the user
// set (resolution, picture type, template, condition, that the output is no input) before
// the output is touched, prepares the output, runs the builder of the mode and reports the
// time taken and the counts. The inputs'
// resolution and coordinate system go into the run's own copy of the settings. document may
// be null: it is then loaded from inputs.documentPath. Failures throw FramoraError with the
// system's message.
FrameJobOutcome RunFrameJob(FrameJobCommand command, const FrameJobInputs& inputs, const FrameSettings& settings,
                            UserInterface& ui, const MapDocument* document = nullptr);

}  // namespace framora

namespace framora {

// The coordinate choices of the main window: what a recognised spatial reference sets.
struct CoordinateChoices {
  bool geographic = false;         // rgjw
  int coordinateSystemIndex = 0;   // gb8054: 0 国家2000, 1 西安80, 2 北京54, 3 WGS84
  bool zoneInEasting = false;      // rgisband
  bool threeDegree = true;         // cbFdf
  double centralMeridian = 117;    // centerL, whole degrees
};

struct CoordSystemGuess;
// The choices a recognised guess sets, the way the main window sets its controls; the fields
// a geographic guess does not speak of keep their values. Throws "坐标系统错误" for an
// unexpected kind.
void ApplyCoordSystemGuess(const CoordSystemGuess& guess, CoordinateChoices& choices);
// The coordinate choices into the run settings (the assembly's rows for them).
void ApplyCoordinateChoices(const CoordinateChoices& choices, FrameSettings& settings);

}  // namespace framora
