#include "app/driver/frame_job.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "geodesy/coord_system.h"
#include "frame/polygon/polygon_frame.h"
#include "frame/standard/standard_map.h"
#include "geodesy/number_text.h"
#include "gis/feature_class.h"
#include "gis/output_path.h"
#include "layout/page_layout_control.h"
#include "layout/picture_export.h"
#include "util/files.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

std::string CheckNameTemplate(const std::string& templateText, const std::vector<std::string>& fieldChoices) {
  const std::string trimmed = Trim(templateText);
  if (trimmed.empty()) throw FramoraError("字段值没有设置，所以输出图层名为空");
  const auto open = trimmed.find('[');
  const auto close = trimmed.find(']');
  if (open == std::string::npos || close == std::string::npos) throw FramoraError("文件名格式不正确");
  const std::string field = close > open ? trimmed.substr(open + 1, close - open - 1) : std::string();
  for (const auto& choice : fieldChoices)
    if (EqualsIgnoringCase(choice, field)) return field;
  // Every layer has one; whether the list offered it or not.
  if (EqualsIgnoringCase(field, kObjectIdField)) return field;
  throw FramoraError("文件名中，必须包括字段");
}

std::string EditNameTemplate(const std::string& templateText, const std::string& pickedField) {
  const auto open = templateText.find('[');
  const auto close = templateText.find(']');
  const std::string before = open == std::string::npos ? "" : templateText.substr(0, open);
  const std::string after = close == std::string::npos ? "" : templateText.substr(close + 1);
  return before + "[" + pickedField + "]" + after;
}

std::vector<std::string> FieldsNamingEveryFeature(OGRLayer& layer) {
  std::vector<std::string> fields;
  OGRFeatureDefn* definition = layer.GetLayerDefn();
  for (int i = 0; i < definition->GetFieldCount(); ++i) {
    const std::string name = definition->GetFieldDefn(i)->GetNameRef();
    if (FieldTellsFeaturesApart(layer, name)) fields.push_back(name);
  }
  // Without an attribute of its own for each feature, the object identifier names them.
  if (fields.empty() && definition->GetFieldIndex(kObjectIdField) < 0) fields.emplace_back(kObjectIdField);
  return fields;
}

bool PrepareOutputGeodatabase(const std::string& outputPath, UserInterface& ui, bool resume) {
  const OutputPath output(outputPath);
  if (!output.occupied()) return true;
  // Nothing but an earlier output is offered for deletion, or continued.
  output.refuseForeign();
  if (resume) return true;
  const std::string question =
      (output.kind() == WorkspaceKind::FileGeodatabase ? "目录" : "文件") + output.text() + "已存在，是否删除";
  switch (ui.askExistingOutput(question, question)) {
    case ExistingOutputAnswer::Keep:
      return false;
    case ExistingOutputAnswer::Continue:
      return true;  // its finished sheets stay, the rest are made
    case ExistingOutputAnswer::Delete:
      break;
  }
  output.deleteOutput();
  return true;
}

const MapLayer* FindLayerByName(const MapDocument& document, const std::string& name) {
  const std::string wanted = ToUpperAscii(name);
  for (const auto& layer : document.layers())
    if (ToUpperAscii(layer.name) == wanted) return &layer;
  return nullptr;
}

}  // namespace framora

namespace framora {

void ApplyCoordSystemGuess(const CoordSystemGuess& guess, CoordinateChoices& choices) {
  switch (guess.Kind) {
    case CoordSystemGuess::kProjected:
      choices.geographic = false;
      choices.coordinateSystemIndex = guess.Datum;
      choices.zoneInEasting = guess.ZoneInEasting;
      choices.threeDegree = guess.ThreeDegree;
      choices.centralMeridian = std::trunc(guess.CentralMeridian);
      return;
    case CoordSystemGuess::kGeographicBeijing1954:
      choices.geographic = true;
      choices.coordinateSystemIndex = 2;
      return;
    case CoordSystemGuess::kGeographicCgcs2000:
      choices.geographic = true;
      choices.coordinateSystemIndex = 0;
      return;
    case CoordSystemGuess::kGeographicXian1980:
      choices.geographic = true;
      choices.coordinateSystemIndex = 1;
      return;
    case CoordSystemGuess::kGeographicWgs84:
      choices.geographic = true;
      choices.coordinateSystemIndex = 3;
      return;
    default:
      throw FramoraError("坐标系统错误");
  }
}

void ApplyCoordinateChoices(const CoordinateChoices& choices, FrameSettings& settings) {
  settings.GeographicInput = choices.geographic;
  settings.coordinateSystemIndex = choices.coordinateSystemIndex;
  settings.UseKrassowsky = choices.coordinateSystemIndex == 2;
  settings.CoordsWithZone = choices.zoneInEasting;
  settings.ThreeDegreeZones = choices.threeDegree;
  settings.CentralMeridian = choices.centralMeridian;
}

}  // namespace framora

namespace framora {

namespace {

// The resolution typed for batch printing; anything but a whole number above 0 is refused
// before any work starts, and so is one the pictures' resolution fields cannot hold.
int ExportDpiOfText(const std::string& text) {
  int dpi = 0;
  if (!TryReadInteger(Trim(text), dpi) || dpi <= 0) throw FramoraError("输出分辨率" + Trim(text) + "无效，应大于0");
  if (dpi > kMaxExportDpi) throw FramoraError("输出分辨率" + Trim(text) + "太大，不能超过" + std::to_string(kMaxExportDpi));
  return dpi;
}

bool SamePath(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error)) return true;
  return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// Whether path is the output or lies inside it (a layer of an input geodatabase).
bool WithinOutput(const fs::path& output, const std::string& path) {
  if (Trim(path).empty()) return false;
  std::error_code error;
  const fs::path outputPath = fs::weakly_canonical(output, error);
  for (fs::path p = fs::weakly_canonical(fs::path(path), error); !p.empty(); p = p.parent_path()) {
    if (p == outputPath || SamePath(p, output)) return true;
    if (p == p.parent_path()) break;
  }
  return false;
}

// The output is deleted or written: it can be neither the map document nor data the map uses.
void RefuseInputAsOutput(const OutputPath& output, const std::string& documentPath, const MapDocument& document) {
  const auto refuse = [&output](const std::string& what) {
    throw FramoraError("不能输出到" + output.text() + "：它是" + what);
  };
  if (WithinOutput(output.text(), documentPath)) refuse("输入的地图文档");
  for (const MapLayer& layer : document.layers())
    if (WithinOutput(output.text(), layer.source)) refuse("图层" + layer.name + "的数据");
}

// A condition that does not parse against the layer ends the run before anything is touched.
void CheckWhereClause(OGRLayer& layer, const std::string& whereClause) {
  ApplyWhereClause(layer, whereClause);
  layer.SetAttributeFilter(nullptr);
  layer.ResetReading();
}

}  // namespace

std::string SheetCountsText(const FrameJobOutcome& outcome) {
  return "生成" + std::to_string(outcome.sheetsMade) + "幅，已有" + std::to_string(outcome.sheetsExisting) + "幅，跳过" +
         std::to_string(outcome.sheetsSkipped) + "幅，失败" + std::to_string(outcome.sheetsFailed) + "幅";
}

bool JobSucceeded(const FrameJobOutcome& outcome) {
  return outcome.ranToEnd && !outcome.stopped && outcome.sheetsFailed == 0 && outcome.sheetsSkipped == 0 &&
         outcome.sheetsMade + outcome.sheetsExisting > 0;
}

FrameJobOutcome RunFrameJob(FrameJobCommand command, const FrameJobInputs& inputs, const FrameSettings& settings,
                            UserInterface& ui, const MapDocument* document) {
  const bool batchPrint = command == FrameJobCommand::BatchPrint;
  FrameJobOutcome outcome;
  // The command's own values travel in a copy: the caller's settings stay as assembled.
  FrameSettings run = settings;
  if (batchPrint) run.ExportDpi = ExportDpiOfText(inputs.dpiText);
  run.coordinateSystemIndex = inputs.coordinateSystemIndex;
  run.isStandardSheetMode = inputs.creationMode == 0;
  const std::string nameField = CheckNameTemplate(inputs.nameTemplate, inputs.fieldChoices);
  const OutputPath output(inputs.outputPath);  // a personal geodatabase is refused before anything else
  const std::string folder = Trim(inputs.outputFolder);
  // Everything below is refused before an existing output is deleted, which would lose it
  // for nothing.
  if (batchPrint && folder.empty()) throw FramoraError("输出MXD,JPG目录不能为空");
  if (batchPrint) ExporterForExtension(run.PictureType);  // an unknown picture type ends the run here

  std::unique_ptr<MapDocument> loaded;
  if (document == nullptr) {
    std::error_code error;
    if (!fs::exists(inputs.documentPath, error)) throw FramoraError("文件" + inputs.documentPath + ",不存在");
    loaded = MapDocument::Open(inputs.documentPath);
    document = loaded.get();
  }
  const MapLayer* layer = FindLayerByName(*document, inputs.layerName);
  if (layer == nullptr || !layer->isVector || layer->geometryType == wkbNone)
    throw FramoraError(inputs.layerName + "文件不在" + inputs.documentPath);
  OpenedLayer source = MapDocument::OpenLayer(*layer);
  std::error_code error;
  if (!fs::exists(inputs.documentPath, error)) throw FramoraError("文件" + inputs.documentPath + ",不存在");
  CheckWhereClause(*source.layer, Trim(inputs.whereClause));
  RefuseInputAsOutput(output, inputs.documentPath, *document);
  const SheetSource sheets{source.layer, Trim(inputs.whereClause), nameField, inputs.nameTemplate, inputs.shard};
  RefuseCollidingSheetNames(*source.layer, sheets);

  // The folders are made, and the pictures' proved writable, before the output is touched.
  if (batchPrint) {
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error)) throw FramoraError("不能创立目录" + folder);
    const std::string probe = (fs::path(folder) / ".framora-probe").string();
    if (!std::ofstream(probe)) throw FramoraError("不能创建文件" + probe + "：" + std::strerror(errno));
    fs::remove(probe, error);
  }
  if (const fs::path parent = fs::path(output.text()).parent_path(); !parent.empty()) {
    fs::create_directories(parent, error);
    if (!fs::is_directory(parent, error)) throw FramoraError("不能创立目录" + parent.string());
  }
  // One job per output, from before it is deleted to the end of the run.
  const std::string lockPath = output.text() + ".framora-lock";
  errno = 0;
  const std::optional<FileLock> lock = FileLock::TryLock(lockPath);
  if (!lock && errno == EWOULDBLOCK)
    throw FramoraError("输出" + output.text() + "正由另一个任务生成，请等它结束后再运行");
  if (!lock) throw FramoraError("不能创建文件" + lockPath + "：" + std::strerror(errno));
  if (!PrepareOutputGeodatabase(output.text(), ui, inputs.resume)) {
    outcome.declined = true;
    return outcome;
  }
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<PageLayoutControl> layout;
  if (batchPrint) layout = std::make_unique<PageLayoutControl>(*document, run, folder);
  std::unique_ptr<TtkBaseClass> builder;
  if (inputs.creationMode == 0)
    builder = std::make_unique<TstandardMap>(run, output.text(), ui, sheets, layout.get());
  else
    builder = std::make_unique<Tcreatetk>(run, output.text(), ui, sheets, layout.get());
  const SheetRunSummary summary = builder->Run();
  outcome.sheetsMade = summary.made;
  outcome.sheetsExisting = summary.existing;
  outcome.sheetsSkipped = summary.skipped;
  outcome.sheetsFailed = summary.failed;
  outcome.stopped = summary.stopped;
  outcome.ranToEnd = !summary.stopped;
  outcome.elapsedMilliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  ui.message("完成，用时" + std::to_string(outcome.elapsedMilliseconds) + "毫秒\n" + SheetCountsText(outcome));
  return outcome;
}

}  // namespace framora
