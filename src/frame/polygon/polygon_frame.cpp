#include "frame/polygon/polygon_frame.h"

#include <climits>
#include <cmath>
#include <vector>

#include "geodesy/gauss_kruger.h"
#include "util/framora_error.h"

namespace framora {

namespace {

// StartSheetDataset's refusal of a name that cleans to nothing: that sheet is skipped.
constexpr char kEmptySheetName[] = "图幅名称为空，不能创立目录";

// The progress window of one run, closed on every way out.
class RunProgress {
 public:
  RunProgress(UserInterface& ui, long long total) : ui_(ui) {
    ui_.startProgress(static_cast<int>(std::min<long long>(total, INT_MAX)), "正在生成图廓", true);
  }
  ~RunProgress() { ui_.endProgress(false); }
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

// The features the where clause selects, at most count of them. Sheets are then read back
// by id, because a sheet start asks the layer for its extent, and some drivers answer that
// by reading the layer through, which would move a cursor kept open across sheets back to
// the first feature.
std::vector<SelectedFeature> SelectFeatures(OGRLayer& layer, long long count) {
  std::vector<SelectedFeature> selected;
  layer.ResetReading();
  while (static_cast<long long>(selected.size()) < count) {
    OGRFeatureUniquePtr feature(layer.GetNextFeature());
    if (!feature) break;
    SelectedFeature entry;
    entry.fid = feature->GetFID();
    if (entry.fid == OGRNullFID) entry.feature = std::move(feature);
    selected.push_back(std::move(entry));
  }
  return selected;
}

}  // namespace

PolygonFrameBoxes PolygonFrameBoxesOf(const Envelope& featureExtent, double mapToInner, double frameGap) {
  PolygonFrameBoxes boxes;
  boxes.inner = Envelope{std::trunc(featureExtent.xmin - mapToInner), std::trunc(featureExtent.ymin - mapToInner),
                         std::trunc(featureExtent.xmax + mapToInner), std::trunc(featureExtent.ymax + mapToInner)};
  boxes.outer = Envelope{std::trunc(boxes.inner.xmin - frameGap), std::trunc(boxes.inner.ymin - frameGap),
                         std::trunc(boxes.inner.xmax + frameGap), std::trunc(boxes.inner.ymax + frameGap)};
  return boxes;
}

Tcreatetk::Tcreatetk(FrameSettings& frameSettings, const std::string& outputPath, UserInterface& userInterface)
    : TtkBaseClass(frameSettings, outputPath, userInterface) {}

PolygonRunSummary Tcreatetk::Run() {
  if (SourceClass == nullptr) throw FramoraError("没有选择图层");
  if (!settings.CoordsWithZone)
    settings.run.zonePrefixText = std::to_string(ZoneOfMeridian(settings.CentralMeridian, settings.ThreeDegreeZones));
  gridRefusalShown_ = false;

  PolygonRunSummary summary;
  const long long count = CountFeatures(*SourceClass, MakeQueryFilter());
  if (count <= 0) {
    SourceClass->SetAttributeFilter(nullptr);
    ui.message("没有数据，可能条件设置错误");
    return summary;
  }
  RunProgress progress(ui, count);
  std::vector<SelectedFeature> selected = SelectFeatures(*SourceClass, count);
  // The sheets' spatial domain comes from the whole layer, not the selection.
  SourceClass->SetAttributeFilter(nullptr);
  SourceClass->ResetReading();

  // Fewer features than counted (the data changed meanwhile): the run ends after the last.
  for (SelectedFeature& entry : selected) {
    OGRFeatureUniquePtr feature =
        entry.feature ? std::move(entry.feature) : OGRFeatureUniquePtr(SourceClass->GetFeature(entry.fid));
    if (!feature) {
      ++summary.skipped;  // deleted since it was counted
    } else {
      switch (DrawSheet(*feature)) {
        case SheetResult::Drawn: ++summary.drawn; break;
        case SheetResult::Existing: ++summary.existing; break;
        case SheetResult::Skipped: ++summary.skipped; break;
      }
    }
    if (ui.stepProgress(1)) {
      summary.stopped = true;
      break;
    }
  }
  return summary;
}

Tcreatetk::SheetResult Tcreatetk::DrawSheet(const OGRFeature& feature) {
  const OGRGeometry* shape = feature.GetGeometryRef();
  if (IsEmptyGeometry(shape)) {
    ui.message("要素" + std::to_string(feature.GetFID()) + "没有图形，不生成图廓");
    return SheetResult::Skipped;
  }
  try {
    BeginSheet(&feature, NameField, SourceClass, NameTemplate);
  } catch (const FramoraError& error) {
    if (std::string(error.what()) != kEmptySheetName) throw;
    ui.message(error.what());
    return SheetResult::Skipped;
  }
  SheetGeometry = CloneGeometry(*shape);
  const Envelope extent = SheetExtent(*SheetGeometry);
  const bool drawnNow = IsNewDataset;
  if (IsNewDataset) {
    BeginDrawing();
    try {
      DrawSheetFrame(extent.xmin, extent.ymin, extent.xmax, extent.ymax);
    } catch (...) {
      EndDrawing(false);
      throw;
    }
    EndDrawing(true);
  }
  if (BuildMapDocument) {
    // The page is laid out around the inner frame, so the whole frame and its titles fit
    // inside the margins.
    const Envelope inner =
        PolygonFrameBoxesOf(extent, settings.MapToInnerGap * settings.ScaleFactor, FrameGap).inner;
    FinishSheetDocument(inner.ymax, inner.ymin, inner.xmax, inner.xmin);
  }
  return drawnNow ? SheetResult::Drawn : SheetResult::Existing;
}

bool Tcreatetk::GridStepUsable(double step, const std::string& refusal) {
  if (step > 0 && std::isfinite(step)) return true;
  if (!gridRefusalShown_) {
    gridRefusalShown_ = true;
    ui.message(refusal);
  }
  return false;
}

}  // namespace framora
