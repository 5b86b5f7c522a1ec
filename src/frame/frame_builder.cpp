#include "frame/frame_builder.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <ctime>
#include <map>
#include <vector>

#include "frame/picture_in_flight.h"
#include "geodesy/gauss_kruger.h"
#include "gis/text_class.h"
#include "util/framora_error.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {

namespace {

// The progress window of one run, closed on every way out; a failure while closing it never
// replaces the error that ends the run.
class RunProgress {
 public:
  RunProgress(UserInterface& ui, size_t total) : ui_(ui) {
    ui_.startProgress(static_cast<int>(std::min<size_t>(total, INT_MAX)), "正在生成图廓", true);
  }
  ~RunProgress() {
    try {
      ui_.endProgress(false);
    } catch (...) {
    }
  }
  RunProgress(const RunProgress&) = delete;
  RunProgress& operator=(const RunProgress&) = delete;

 private:
  UserInterface& ui_;
};

// One selected feature: by its id, or whole when the source gives it none.
struct SelectedFeature {
  GIntBig fid = OGRNullFID;
  OGRFeatureUniquePtr feature;
};

// The features the where clause selects, in the layer's order. Sheets are read back by id
// when their turn comes, because a sheet start asks the layer for its extent and the
// adjoining-sheet table searches the same layer; some drivers answer either by reading the
// layer through, which would move a cursor kept open across sheets.
std::vector<SelectedFeature> SelectFeatures(OGRLayer& layer, const std::string& whereClause) {
  ApplyWhereClause(layer, whereClause);
  std::vector<SelectedFeature> selected;
  layer.ResetReading();
  while (OGRFeatureUniquePtr feature{layer.GetNextFeature()}) {
    SelectedFeature entry;
    entry.fid = feature->GetFID();
    if (entry.fid == OGRNullFID) entry.feature = std::move(feature);
    selected.push_back(std::move(entry));
  }
  // The sheets' spatial domain comes from the whole layer, not the selection.
  layer.SetAttributeFilter(nullptr);
  layer.ResetReading();
  return selected;
}

}  // namespace

std::pair<size_t, size_t> ShardRange(size_t count, const SheetShard& shard) {
  if (shard.count < 1 || shard.index < 1 || shard.index > shard.count) return {0, count};
  const auto boundary = [&](int part) { return count * static_cast<size_t>(part) / static_cast<size_t>(shard.count); };
  return {boundary(shard.index - 1), boundary(shard.index)};
}

SheetShard ShardOfText(const std::string& text) {
  const std::string trimmed = Trim(text);
  const auto slash = trimmed.find('/');
  std::optional<int> index, count;
  if (slash != std::string::npos) {
    index = ParseInteger(std::string_view(trimmed).substr(0, slash));
    count = ParseInteger(std::string_view(trimmed).substr(slash + 1));
  }
  if (!index || !count || *count < 1 || *index < 1 || *index > *count)
    throw FramoraError("分片应写成K/N，1≤K≤N，例如 2/8，而不是" + text);
  return SheetShard{*index, *count};
}

CalendarDate CalendarDate::Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

namespace {

// The length of the UTF-8 sequence starting at text[i], or 0 when it is not a valid one
// (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  const auto byte = [&text](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned int value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  if (overlong || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  // C1 control characters are no more welcome in a name than C0 ones.
  if (value >= 0x80 && value <= 0x9F) return 0;
  return length;
}

}  // namespace

std::string CleanSheetName(const std::string& name) {
  std::string cleaned;
  cleaned.reserve(name.size());
  size_t characters = 0;
  for (size_t i = 0; i < name.size();) {
    const size_t length = Utf8SequenceLength(name, i);
    std::string piece;
    if (length == 0) {
      piece = "_";  // a byte that is no character
      ++i;
    } else if (length > 1) {
      piece = name.substr(i, length);
      i += length;
    } else {
      const char c = name[i++];
      if (c == ' ' || c == '(' || c == ')') continue;
      // Letters, digits and "_" are all a geodatabase takes; path separators, control
      // characters and the rest of ASCII's signs would also be trouble in file names.
      const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
      piece = plain ? std::string(1, c) : "_";
    }
    if (characters + 1 > kMaxSheetNameCharacters || cleaned.size() + piece.size() > kMaxSheetNameBytes) break;
    cleaned += piece;
    ++characters;
  }
  return cleaned;
}

std::string SheetNameOf(const SheetSource& source, const OGRFeature& feature) {
  const std::string value = FieldValue(feature, source.nameField).value_or("");
  return ReplaceFirst(source.nameTemplate, "[" + source.nameField + "]", value);
}

std::string SheetNameKey(const std::string& cleanedName) { return ToLowerAscii(cleanedName); }

void RefuseCollidingSheetNames(OGRLayer& layer, const SheetSource& source) {
  std::map<std::string, std::vector<std::string>> byKey;
  std::map<std::string, std::string> cleanedOf;
  for (SelectedFeature& entry : SelectFeatures(layer, Trim(source.whereClause))) {
    OGRFeatureUniquePtr feature = entry.feature ? std::move(entry.feature) : OGRFeatureUniquePtr(layer.GetFeature(entry.fid));
    if (!feature) continue;
    const std::string raw = SheetNameOf(source, *feature);
    const std::string cleaned = CleanSheetName(raw);
    if (Trim(cleaned).empty()) continue;  // skipped with its own message
    const std::string key = SheetNameKey(cleaned);
    byKey[key].push_back(raw);
    cleanedOf.emplace(key, cleaned);
  }
  std::string report;
  int groups = 0;
  for (const auto& [key, raws] : byKey) {
    if (raws.size() < 2) continue;
    if (++groups > 10) {
      report += "\n……";
      break;
    }
    std::string names;
    for (size_t i = 0; i < raws.size() && i < 10; ++i) names += (i ? "、" : "") + raws[i];
    if (raws.size() > 10) names += "等" + std::to_string(raws.size()) + "个";
    report += "\n" + names + "都成为图幅" + cleanedOf[key];
  }
  if (groups > 0) throw FramoraError("图幅名称重复，请改用能区分它们的字段：" + report);
}

SpatialDomain SheetSpatialDomain(const Envelope& sourceExtent, double scaleFactor) {
  const double margin = std::trunc(scaleFactor) + 5;
  return SpatialDomain{std::trunc(sourceExtent.xmin / 1000 - margin) * 1000,
                       std::trunc(sourceExtent.ymin / 1000 - margin) * 1000,
                       std::trunc(sourceExtent.xmax / 1000 + margin) * 1000,
                       std::trunc(sourceExtent.ymax / 1000 + margin) * 1000};
}

int SpatialIndexGridSizeOf(const SpatialDomain& domain) {
  const double size = std::trunc(((domain.xmax - domain.xmin) + (domain.ymax - domain.ymin)) / 2);
  return size < 1000 ? 1000 : static_cast<int>(std::min(size, 2.0e9));
}

TtkBaseClass::TtkBaseClass(const FrameSettings& frameSettings, const std::string& outputPath,
                           UserInterface& userInterface, SheetSource source, SheetDocumentBuilder* documents)
    : settings_(frameSettings),
      ui_(userInterface),
      source_(std::move(source)),
      documents_(documents),
      zone_(settings_.UseKrassowsky ? ZoneEllipsoid::Krassowsky
                                    : EllipsoidOfCoordinateSystem(settings_.coordinateSystemIndex),
            settings_.ThreeDegreeZones ? ZoneWidth::ThreeDegree : ZoneWidth::SixDegree, settings_.CentralMeridian,
            settings_.CoordsWithZone) {
  frameGap_ = settings_.InnerToOuterGap * settings_.ScaleFactor;
  if (!settings_.CoordsWithZone) zonePrefix_ = std::to_string(zone_.ZoneNumber());
  if (outputPath.empty()) return;
  outputWorkspace_ = OpenOrCreateWorkspace(OutputPath(outputPath));
  // What a killed run left half-made goes before the run starts.
  if (outputWorkspace_->removeUnfinishedClasses()) {
    outputWorkspace_.reset();
    outputWorkspace_ = OpenWorkspace(OutputPath(outputPath));
  }
  // Masks with holes or several parts share the class with simple areas.
  polygonFields_ = MakeFieldTemplate(wkbMultiPolygon, spatialIndexGridSize_);
  polylineFields_ = MakeFieldTemplate(wkbLineString, spatialIndexGridSize_);
}

TtkBaseClass::~TtkBaseClass() {
  // A builder abandoned half-way through a sheet leaves nothing that looks finished.
  if (drawing_) {
    try {
      EndDrawing(false);
    } catch (...) {
    }
  }
}

SheetRunSummary TtkBaseClass::Run() {
  SheetRunSummary summary;
  if (source_.layer == nullptr) throw FramoraError("没有选择图层");
  shownOnce_.clear();
  namesThisRun_.clear();
  DropHeldMessages();
  std::vector<SelectedFeature> selected = SelectFeatures(*source_.layer, Trim(source_.whereClause));
  const auto [first, last] = ShardRange(selected.size(), source_.shard);
  selected.erase(selected.begin() + static_cast<std::ptrdiff_t>(last), selected.end());
  selected.erase(selected.begin(), selected.begin() + static_cast<std::ptrdiff_t>(first));
  if (selected.empty()) {
    Notify("没有数据，可能条件设置错误");
    return summary;
  }

  RunProgress progress(ui_, selected.size());
  // The sheet whose picture is drawing while the next sheet's frame is built. It is settled
  // (counted, told, stepped) before anything of the next sheet reaches the user, so a run
  // reads as if its sheets were made one after the other.
  PictureInFlight pictures;
  bool inFlightMadeNow = false;
  bool inFlightLast = false;
  const auto settleInFlight = [&] {
    if (!pictures.busy()) return false;
    holding_ = false;  // its own words go out now, ahead of those held
    return Settle(FinishPicture(pictures), inFlightMadeNow, inFlightLast, summary);
  };
  for (size_t i = 0; i < selected.size(); ++i) {
    const bool last = i + 1 == selected.size();
    holding_ = pictures.busy();
    std::optional<DocumentOutcome> outcome;  // none: skipped
    bool madeNow = false;
    std::unique_ptr<SheetPicture> picture;
    try {
      SelectedFeature& entry = selected[i];
      OGRFeatureUniquePtr feature =
          entry.feature ? std::move(entry.feature) : OGRFeatureUniquePtr(source_.layer->GetFeature(entry.fid));
      if (feature) {  // else deleted since it was selected
        try {
          const DrawnSheet sheet = DrawSheet(*feature);
          madeNow = sheet.madeNow;
          outcome = DocumentSheet(sheet, &picture);
        } catch (const SheetSkipped& skipped) {
          Notify(skipped.what());
        }
      }
    } catch (...) {
      // A run that would have stopped after the sheet before never met this error.
      if (settleInFlight()) {
        DropHeldMessages();
        return summary;
      }
      ReleaseHeldMessages();
      throw;
    }
    if (settleInFlight()) {
      // This sheet's frame is whole; it is left for a run that continues this one.
      DropHeldMessages();
      break;
    }
    ReleaseHeldMessages();
    if (picture) {
      pictures.start(std::move(picture));
      inFlightMadeNow = madeNow;
      inFlightLast = last;
    } else if (Settle(outcome, madeNow, last, summary)) {
      break;
    }
  }
  settleInFlight();
  return summary;
}

bool TtkBaseClass::Settle(std::optional<DocumentOutcome> outcome, bool madeNow, bool last,
                          SheetRunSummary& summary) {
  if (!outcome) {
    ++summary.skipped;
  } else if (*outcome == DocumentOutcome::Stopped) {
    // Its frame is whole; its picture is made by a run that continues this one.
    summary.stopped = true;
    return true;
  } else if (*outcome == DocumentOutcome::Failed) {
    ++summary.failed;
  } else if (madeNow) {
    ++summary.made;
  } else {
    ++summary.existing;
  }
  if (ui_.stepProgress(1)) {
    summary.stopped = !last;
    return true;
  }
  return false;
}

TtkBaseClass::DocumentOutcome TtkBaseClass::OutcomeOf(const std::function<void()>& work) {
  try {
    work();
    return DocumentOutcome::Made;
  } catch (const RunStopped&) {
    return DocumentOutcome::Stopped;
  } catch (const FramoraError& error) {
    Notify(error.what());
    return DocumentOutcome::Failed;
  }
}

TtkBaseClass::DocumentOutcome TtkBaseClass::DocumentSheet(const DrawnSheet& sheet,
                                                          std::unique_ptr<SheetPicture>* picture) {
  if (documents_ == nullptr) return DocumentOutcome::Made;
  return OutcomeOf([&] {
    FinishedSheet finished = Finished(sheet.innerFrame);
    if (!sheet.madeNow && documents_->SheetDocumentPresent(finished)) return;
    if (picture != nullptr && (*picture = documents_->PrepareSheetDocument(finished))) return;
    finished.stopRequested = [this] { return ui_.stopRequested(); };
    for (const std::string& notice : documents_->BuildSheetDocument(finished)) NotifyOnce(notice);
  });
}

TtkBaseClass::DocumentOutcome TtkBaseClass::FinishPicture(PictureInFlight& pictures) {
  return OutcomeOf([&] {
    const std::unique_ptr<SheetPicture> picture = pictures.finish([this] { return ui_.stopRequested(); });
    for (const std::string& notice : picture->notices()) NotifyOnce(notice);
  });
}

void TtkBaseClass::ReleaseHeldMessages() {
  holding_ = false;
  std::vector<std::pair<std::string, bool>> held;
  held.swap(held_);
  for (const auto& [text, once] : held) once ? NotifyOnce(text) : Notify(text);
}

void TtkBaseClass::DropHeldMessages() {
  holding_ = false;
  held_.clear();
}

FinishedSheet TtkBaseClass::Finished(const Envelope& innerFrame) const {
  FinishedSheet sheet;
  sheet.name = sheetName_;
  sheet.innerFrame = innerFrame;
  sheet.frameGap = frameGap_;
  sheet.textReferenceScale = settings_.ScaleFactor * 10000;
  sheet.clipShape = sheetGeometry_.get();
  sheet.workspace = outputWorkspace_.get();
  if (source_.layer != nullptr) sheet.spatialReference = source_.layer->GetSpatialRef();
  if (settings_.GeographicInput) {
    // Ground metres per degree at the sheet's lower-left corner.
    const double probe = frameGap_ > 0 ? frameGap_ : 1000;
    const double east = EastOffsetDegrees(probe, innerFrame.ymin, innerFrame.xmin);
    const double north = NorthOffsetDegrees(probe, innerFrame.ymin, innerFrame.xmin);
    if (!(east > 0) || !(north > 0)) throw FramoraError("不能换算图幅" + sheetName_ + "的经纬度");
    sheet.metresPerUnitX = probe / east;
    sheet.metresPerUnitY = probe / north;
    if (sheet.spatialReference != nullptr && sheet.spatialReference->IsGeographic()) {
      OGRSpatialReference zone;
      zone.SetProjCS(("Gauss-Kruger CM " + std::to_string(static_cast<int>(zone_.CentralMeridian())) + "E").c_str());
      zone.CopyGeogCSFrom(sheet.spatialReference);
      zone.SetTM(0, zone_.CentralMeridian(), 1, zone_.FalseEasting(), 0);
      char* wkt = nullptr;
      if (zone.exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr) sheet.zoneWkt = wkt;
      CPLFree(wkt);
    }
  }
  return sheet;
}

void TtkBaseClass::Notify(const std::string& text) const {
  if (holding_)
    held_.emplace_back(text, false);
  else
    ui_.message(text);
}

void TtkBaseClass::NotifyOnce(const std::string& text) const {
  if (holding_)
    held_.emplace_back(text, true);
  else if (shownOnce_.insert(text).second)
    ui_.message(text);
}

bool TtkBaseClass::StepUsable(double step, const std::string& refusal) {
  if (step > 0 && std::isfinite(step)) return true;
  NotifyOnce(refusal);
  return false;
}

std::optional<std::string> TtkBaseClass::SourceFieldValue(const std::string& fieldName) {
  if (!sourceFeature_) return std::string();
  std::optional<std::string> value = FieldValue(*sourceFeature_, fieldName);
  if (!value) NotifyOnce("找不到对应字段" + fieldName);
  return value;
}

void TtkBaseClass::BeginSheet(const OGRFeature& sourceFeature) {
  sourceFeature_.reset(sourceFeature.Clone());
  SourceFieldValue(source_.nameField);  // tells the user once when the field is missing
  const std::string name = SheetNameOf(source_, sourceFeature);
  // Two features of one run never share a dataset, a map document or a picture.
  if (const std::string cleaned = CleanSheetName(name);
      !Trim(cleaned).empty() && !namesThisRun_.insert(SheetNameKey(cleaned)).second)
    throw SheetSkipped("图幅名称" + cleaned + "与前面的图幅重复，没有生成");

  const OGRSpatialReference* spatialReference = nullptr;
  pendingDomain_.reset();
  if (source_.layer != nullptr) {
    spatialReference = source_.layer->GetSpatialRef();
    OGREnvelope extent;
    if (source_.layer->GetExtent(&extent, TRUE) == OGRERR_NONE) {
      const SpatialDomain domain =
          SheetSpatialDomain(Envelope{extent.MinX, extent.MinY, extent.MaxX, extent.MaxY}, settings_.ScaleFactor);
      spatialIndexGridSize_ = SpatialIndexGridSizeOf(domain);
      pendingDomain_ = domain;
    }
  }
  StartSheetDataset(name, spatialReference);
}

void TtkBaseClass::StartSheetDataset(const std::string& name, const OGRSpatialReference* spatialReference) {
  const std::string cleaned = CleanSheetName(name);
  ++sheetsBegun_;
  sheetName_ = cleaned;
  cornerLabelBoxes_.clear();
  lineCursor_.reset();
  lineClass_ = polygonClass_ = textClass_ = nullptr;
  sheetDataset_.reset();
  isNewDataset_ = false;
  if (!outputWorkspace_) throw FramoraError("创立目录" + cleaned + "失败");
  // An empty name would make a dataset "y" that every nameless sheet shares.
  if (Trim(cleaned).empty()) throw SheetSkipped("图幅名称为空，不能创立目录");
  const std::string datasetName = "y" + cleaned;
  if (FeatureDatasetExists(*outputWorkspace_, datasetName)) {
    if (outputWorkspace_->datasetComplete(datasetName)) return;
    // Not finished by the run that made it: made again from the start.
    if (!DeleteFeatureDataset(*outputWorkspace_, datasetName)) throw FramoraError("创立目录" + cleaned + "失败");
  }

  sheetDataset_ = CreateFeatureDataset(*outputWorkspace_, datasetName, spatialReference, pendingDomain_);
  if (!sheetDataset_) throw FramoraError("创立目录" + cleaned + "失败");
  isNewDataset_ = true;
  try {
    lineClass_ = CreateFeatureClass(*sheetDataset_, "L_" + cleaned, polylineFields_);
    polygonClass_ = CreateFeatureClass(*sheetDataset_, "p_" + cleaned, polygonFields_);
    textClass_ = CreateAnnotationClass(*outputWorkspace_, "a_" + cleaned, &*sheetDataset_, nullptr,
                                       settings_.ScaleFactor * 10000);
  } catch (...) {
    DeleteFeatureDataset(*outputWorkspace_, datasetName);
    isNewDataset_ = false;
    throw;
  }
}

void TtkBaseClass::BeginDrawing() {
  if (!isNewDataset_ || lineClass_ == nullptr) return;
  lineCursor_ = std::make_unique<BufferedInsert>(*outputWorkspace_, *lineClass_);
  drawing_ = true;
}

void TtkBaseClass::EndDrawing(bool completed) {
  if (!drawing_) return;
  drawing_ = false;
  if (completed) {
    try {
      if (lineCursor_) lineCursor_->flush();
      lineCursor_.reset();
      // A sheet done is a sheet on disk: a run killed later keeps it.
      outputWorkspace_->recordDatasetComplete("y" + sheetName_, {lineClass_, polygonClass_, textClass_});
      return;
    } catch (...) {
      AbandonSheet();
      throw;
    }
  }
  AbandonSheet();
}

void TtkBaseClass::AbandonSheet() {
  // The batch of an abandoned sheet is closed before its dataset goes.
  if (lineCursor_) {
    try {
      lineCursor_->flush();
    } catch (...) {
    }
    lineCursor_.reset();
  }
  DeleteFeatureDataset(*outputWorkspace_, "y" + sheetName_);
  lineClass_ = polygonClass_ = textClass_ = nullptr;
  sheetDataset_.reset();
  isNewDataset_ = false;
}

TtkBaseClass::SheetCleanup::~SheetCleanup() {
  if (done_) return;
  try {
    builder_.EndDrawing(false);
  } catch (...) {
    // The error that abandoned the sheet is the one the user needs.
  }
}

void TtkBaseClass::SheetCleanup::complete() {
  done_ = true;
  builder_.EndDrawing(true);
}

}  // namespace framora
