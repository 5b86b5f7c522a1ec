// framora-cli generate | print: the two commands of the main window, unattended.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/command_registry.h"
#include "app/driver/frame_job.h"
#include "app/job/job_controls.h"
#include "geodesy/coord_system.h"
#include "util/console_user_interface.h"
#include "util/framora_error.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora::cli {
namespace {

const char* const kGenerateUsage = R"(Usage: framora-cli generate [OPTIONS]

Draws the frames (图廓) of every selected polygon into an output geodatabase: per sheet a
feature dataset "y<sheet>" with the classes "L_<sheet>" (lines), "p_<sheet>" (polygons) and
"a_<sheet>" (texts).

Input:
  --settings FILE           take everything from a settings file saved by the windows program
                            (framora.set beside it): the main window's inputs and the settings
                            dialog's values; the other options given here override it
  --mode standard|polygon   standard: the layer is a standard sheet index (标准图幅文件);
                            polygon: any polygons, such as townships (行政区划文件; the default)
  --doc PATH                input map: a QGIS project (.qgs, .qgz) or a vector data source
  --layer NAME              the polygon layer in it (letter case does not matter)
  --where CLAUSE            attribute condition on the layer, such as "TFH LIKE 'J50%'"
  --name TEMPLATE           output sheet name: a field in square brackets, such as "[TFH]";
                            the field must tell every feature apart
Output:
  --out PATH                output geodatabase: a ".gdb" folder or a ".gpkg" file
  --overwrite               delete an existing output first (otherwise nothing is touched)
  --shard K/N               make only the K-th of N parts of the selected sheets (consecutive
                            in the layer's order), so that N runs share the job; each writes
                            its own output, and "framora-cli merge" joins the outputs
  --resume                  continue an interrupted run in the existing output: finished
                            sheets (and their whole map documents and pictures) stay, a
                            sheet left half-made is made again, the rest are made
Map:
  --scale N                 scale denominator (default 10000)
  --crs cgcs2000|xian80|beijing54|wgs84
  --zones 3|6               zone width in degrees
  --meridian DEGREES        central meridian of the zone
  --zone-in-easting         eastings carry the zone number
  --geographic              the data are in longitude and latitude
  The coordinate options default to what the layer's coordinate system says (EPSG code),
  or the input's when the layer has none;
  with --settings, to what the settings file holds unless --doc names another input.
Frame:
  --set FIELD=VALUE         any frame setting by name (repeatable), for example
                            --set GridType=1 --set MainTitle=[TM] --set "MainTitleFont=黑体,24"
                            --set ScaleBarOn=1; "framora-cli settings" lists them all

Examples:
  framora-cli generate --mode standard --doc resources/sample/sample.qgs --layer 图幅 \
      --name "[TFH]" --out out/frames.gdb --overwrite
  framora-cli generate --mode polygon --doc resources/sample/sample.gpkg --layer 乡镇 \
      --name "[XZQMC]" --out out/townships.gpkg --set GridType=1 --overwrite
  framora-cli generate --settings build/bin/framora.set --out out/again.gdb --overwrite
)";

const char* const kPrintUsage = R"(Usage: framora-cli print [OPTIONS]

Does what "generate" does and also lays every sheet out on a page at the map scale, saves
its map document "<sheet>.qgs" and exports its picture into a folder.

All options of "framora-cli generate", and:
  --folder PATH             folder for the map documents and pictures (made when missing)
  --picture .JPG|.TIF|.PNG|.BMP|.GIF|.PDF
                            picture type (default .JPG)
  --dpi N                   resolution of the pictures (default 96)

Examples:
  framora-cli print --mode standard --doc resources/sample/sample.qgs --layer 图幅 \
      --name "[TFH]" --out out/frames.gdb --folder out --dpi 150 --overwrite
  framora-cli print --mode polygon --doc resources/sample/sample.qgs --layer 乡镇 \
      --name "[XZQMC]" --out out/townships.gdb --folder out/townships --picture .PDF --overwrite
  framora-cli print --settings build/bin/framora.set --overwrite
)";

struct Options {
  std::map<std::string, std::string> values;
  std::vector<std::string> settings;
  bool overwrite = false;
  bool resume = false;
  bool zoneInEasting = false;
  bool geographic = false;
};

const std::vector<std::string> kValueOptions = {"--settings", "--mode",  "--doc",      "--layer",
                                                "--where",    "--name",  "--out",      "--scale",
                                                "--crs",      "--zones", "--meridian", "--folder",
                                                "--picture",  "--dpi",   "--shard"};

Options ParseOptions(const std::vector<std::string>& args, bool print) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    const auto equals = arg.find('=');
    const bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    const auto takeValue = [&]() {
      if (inlineValue) return value;
      if (i + 1 >= args.size()) throw FramoraError("选项" + arg + "缺少取值");
      return args[++i];
    };
    if (arg == "--overwrite") {
      options.overwrite = true;
    } else if (arg == "--resume") {
      options.resume = true;
    } else if (arg == "--zone-in-easting") {
      options.zoneInEasting = true;
    } else if (arg == "--geographic") {
      options.geographic = true;
    } else if (arg == "--set") {
      options.settings.push_back(takeValue());
    } else if (std::find(kValueOptions.begin(), kValueOptions.end(), arg) != kValueOptions.end()) {
      if (!print && (arg == "--folder" || arg == "--picture" || arg == "--dpi"))
        throw FramoraError("选项" + arg + "只用于 print");
      options.values[arg] = takeValue();
    } else {
      throw FramoraError("不认识的选项" + arg + "，见 --help");
    }
  }
  return options;
}

std::optional<std::string> Value(const Options& options, const std::string& name) {
  const auto found = options.values.find(name);
  if (found == options.values.end()) return std::nullopt;
  return found->second;
}

int CoordinateSystemIndexOf(const std::string& name) {
  const std::string lower = ToLowerAscii(name);
  if (lower == "cgcs2000" || name == "国家2000") return 0;
  if (lower == "xian80" || name == "西安80") return 1;
  if (lower == "beijing54" || name == "北京54") return 2;
  if (lower == "wgs84") return 3;
  throw FramoraError("--crs 只能是 cgcs2000、xian80、beijing54 或 wgs84");
}

// The scale denominator as typed on the command line: a positive number and nothing else,
// so that "50,000" or "1:50000" never become some other scale.
double ScaleFactorOfOption(const std::string& text) {
  const std::optional<double> denominator = ParseDecimal(text);
  if (!denominator || !(*denominator > 0) || !std::isfinite(*denominator))
    throw FramoraError("比例尺" + text + "无效，应为大于0的数字，如 50000");
  return *denominator / 10000;
}

int RunJob(const std::vector<std::string>& args, FrameJobCommand command) {
  const bool print = command == FrameJobCommand::BatchPrint;
  const Options options = ParseOptions(args, print);
  ConsoleUserInterface ui(options.overwrite);

  // A settings file saved by the windows program stands for both windows as they were left.
  const std::optional<std::string> settingsFile = Value(options, "--settings");
  FrameSettings prepared = DialogDefaultSettings();
  FrameJobInputs inputs;
  inputs.dpiText = "96";
  if (settingsFile) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(*settingsFile, error)) throw FramoraError("设置文件" + *settingsFile + "不存在");
    ControlValues values;
    ReadControlValues(*settingsFile, values);
    AssembleFrameSettings(values, prepared);
    inputs = FrameJobInputsFromControls(values);
  }
  if (auto mode = Value(options, "--mode")) {
    if (*mode == "standard")
      inputs.creationMode = 0;
    else if (*mode == "polygon")
      inputs.creationMode = 1;
    else
      throw FramoraError("--mode 只能是 standard 或 polygon");
  }
  const auto takeOption = [&](const char* option, std::string& target) {
    if (auto value = Value(options, option)) target = *value;
  };
  takeOption("--doc", inputs.documentPath);
  takeOption("--layer", inputs.layerName);
  takeOption("--where", inputs.whereClause);
  takeOption("--name", inputs.nameTemplate);
  takeOption("--out", inputs.outputPath);
  takeOption("--folder", inputs.outputFolder);
  takeOption("--dpi", inputs.dpiText);
  if (auto shard = Value(options, "--shard")) inputs.shard = ShardOfText(*shard);
  if (options.overwrite && options.resume) throw FramoraError("--overwrite 和 --resume 不能同时使用");
  inputs.resume = options.resume;
  if (inputs.documentPath.empty()) throw FramoraError("没有输入地图文档，用 --doc 指定");
  if (inputs.outputPath.empty()) throw FramoraError("没有输出地理数据库，用 --out 指定");

  // As the main window does on choosing a document and a layer: load it, offer the fields
  // that name every feature, and take the coordinate settings from its coordinate system.
  // A settings file already holds what the window made of its document and layer.
  const auto document = MapDocument::Open(inputs.documentPath);
  const bool documentChosenHere = !settingsFile || Value(options, "--doc");
  CoordinateChoices choices;
  if (settingsFile) {
    choices.geographic = prepared.GeographicInput;
    choices.coordinateSystemIndex = inputs.coordinateSystemIndex;
    choices.zoneInEasting = prepared.CoordsWithZone;
    choices.threeDegree = prepared.ThreeDegreeZones;
    choices.centralMeridian = prepared.CentralMeridian;
  }
  // The chosen layer's own coordinate system decides; the map's when the layer has none.
  const OGRSpatialReference* recognised =
      documentChosenHere && !document->spatialReference().IsEmpty() ? &document->spatialReference() : nullptr;
  OpenedLayer opened;
  if (documentChosenHere || Value(options, "--layer")) {
    if (const MapLayer* layer = FindLayerByName(*document, inputs.layerName)) {
      opened = MapDocument::OpenLayer(*layer);
      inputs.fieldChoices = FieldsNamingEveryFeature(*opened.layer);
      if (const OGRSpatialReference* own = opened.layer->GetSpatialRef()) recognised = own;
    }
  }
  if (recognised != nullptr) {
    const CoordSystemRecognition recognition = RecognizeCoordSystem(recognised);
    if (!recognition.notice.empty()) ui.message(recognition.notice);
    if (recognition.guess) ApplyCoordSystemGuess(*recognition.guess, choices);
  }
  if (auto crs = Value(options, "--crs")) choices.coordinateSystemIndex = CoordinateSystemIndexOf(*crs);
  if (auto zones = Value(options, "--zones")) {
    if (*zones != "3" && *zones != "6") throw FramoraError("--zones 只能是 3 或 6");
    choices.threeDegree = *zones == "3";
  }
  if (auto meridian = Value(options, "--meridian")) choices.centralMeridian = static_cast<double>(RequireDecimal(*meridian));
  if (options.zoneInEasting) choices.zoneInEasting = true;
  if (options.geographic) choices.geographic = true;
  inputs.coordinateSystemIndex = choices.coordinateSystemIndex;

  // Everything the user set is checked before anything on disk is touched.
  if (auto scale = Value(options, "--scale")) prepared.ScaleFactor = ScaleFactorOfOption(*scale);
  if (auto picture = Value(options, "--picture")) prepared.PictureType = *picture;
  prepared.FrameMode = inputs.creationMode + 1;
  ApplyCoordinateChoices(choices, prepared);
  for (const auto& assignment : options.settings) {
    const auto equals = assignment.find('=');
    if (equals == std::string::npos) throw FramoraError("--set 需要 名称=值，而不是" + assignment);
    std::string error;
    if (!SetFrameSetting(prepared, Trim(assignment.substr(0, equals)), assignment.substr(equals + 1), &error))
      throw FramoraError(error);
  }

  const FrameJobOutcome outcome = RunFrameJob(command, inputs, prepared, ui, document.get());
  if (outcome.declined) {
    std::fprintf(stderr, "输出%s已存在，未做任何改动；加 --overwrite 可删除后重新生成\n", inputs.outputPath.c_str());
    return 1;
  }
  const bool nothing = outcome.sheetsMade + outcome.sheetsExisting == 0;
  std::fprintf(stderr, "图幅：%s%s%s\n", SheetCountsText(outcome).c_str(), outcome.stopped ? "，已终止" : "",
               nothing ? "，没有生成任何图幅" : "");
  return JobSucceeded(outcome) ? 0 : 1;
}

CommandRegistration generate("generate", {"draw the frames of every selected polygon into a geodatabase",
                                          kGenerateUsage,
                                          [](const std::vector<std::string>& args) {
                                            return RunJob(args, FrameJobCommand::Generate);
                                          }});
CommandRegistration print("print", {"generate, then a map document and a picture per sheet", kPrintUsage,
                                    [](const std::vector<std::string>& args) {
                                      return RunJob(args, FrameJobCommand::BatchPrint);
                                    }});

}  // namespace
}  // namespace framora::cli
