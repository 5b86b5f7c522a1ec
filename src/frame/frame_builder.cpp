#include "frame/frame_builder.h"

#include <cmath>
#include <ctime>

#include "gis/text_class.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

CalendarDate CalendarDate::Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string CleanSheetName(const std::string& name) {
  std::string cleaned;
  cleaned.reserve(name.size());
  for (char c : name) {
    if (c == '-' || c == '.')
      cleaned.push_back('_');
    else if (c != ' ' && c != '(' && c != ')')
      cleaned.push_back(c);
  }
  return cleaned;
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

TtkBaseClass::TtkBaseClass(FrameSettings& frameSettings, const std::string& outputPath, UserInterface& userInterface)
    : settings(frameSettings), ui(userInterface) {
  FrameGap = settings.InnerToOuterGap * settings.ScaleFactor;
  if (outputPath.empty()) return;
  OutputWorkspace = OpenOrCreateWorkspace(OutputPath(outputPath));
  // Masks with holes or several parts share the class with simple areas.
  PolygonFields = MakeFieldTemplate(wkbMultiPolygon, settings.run.SpatialIndexGridSize);
  PolylineFields = MakeFieldTemplate(wkbLineString, settings.run.SpatialIndexGridSize);
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

void TtkBaseClass::BeginSheet(const OGRFeature* sourceFeature, const std::string& fieldName,
                              OGRLayer* sourceDataset, const std::string& nameText) {
  std::string value;
  if (sourceFeature != nullptr) {
    SourceFeature.reset(sourceFeature->Clone());
    value = FieldValue(*sourceFeature, fieldName, ui);
  } else {
    SourceFeature.reset();
  }
  const std::string name = ReplaceFirst(nameText, "[" + fieldName + "]", value);

  const OGRSpatialReference* spatialReference = nullptr;
  pendingDomain_.reset();
  if (sourceDataset != nullptr) {
    spatialReference = sourceDataset->GetSpatialRef();
    OGREnvelope extent;
    if (sourceDataset->GetExtent(&extent, TRUE) == OGRERR_NONE) {
      const SpatialDomain domain =
          SheetSpatialDomain(Envelope{extent.MinX, extent.MinY, extent.MaxX, extent.MaxY}, settings.ScaleFactor);
      settings.run.SpatialIndexGridSize = SpatialIndexGridSizeOf(domain);
      pendingDomain_ = domain;
    }
  }
  StartSheetDataset(name, spatialReference);
}

void TtkBaseClass::StartSheetDataset(const std::string& name, const OGRSpatialReference* spatialReference) {
  const std::string cleaned = CleanSheetName(name);
  ++settings.run.SheetCounter;
  SheetName = cleaned;
  LineCursor.reset();
  LineClass = PolygonClass = AnnoClass = AnnoLayer = nullptr;
  SheetDataset.reset();
  IsNewDataset = false;
  if (!OutputWorkspace) throw FramoraError("创立目录" + cleaned + "失败");
  // An empty name would make a dataset "y" that every nameless sheet shares.
  if (Trim(cleaned).empty()) throw FramoraError("图幅名称为空，不能创立目录");
  const std::string datasetName = "y" + cleaned;
  if (FeatureDatasetExists(*OutputWorkspace, datasetName)) return;

  SheetDataset = CreateFeatureDataset(*OutputWorkspace, datasetName, spatialReference, pendingDomain_);
  if (!SheetDataset) throw FramoraError("创立目录" + cleaned + "失败");
  IsNewDataset = true;
  try {
    LineClass = CreateFeatureClass(*SheetDataset, "L_" + cleaned, PolylineFields);
    PolygonClass = CreateFeatureClass(*SheetDataset, "p_" + cleaned, PolygonFields);
    AnnoClass = CreateAnnotationClass(*OutputWorkspace, "a_" + cleaned, &*SheetDataset, nullptr,
                                      settings.ScaleFactor * 10000);
    AnnoLayer = AnnoClass;
  } catch (...) {
    DeleteFeatureDataset(*OutputWorkspace, datasetName);
    IsNewDataset = false;
    throw;
  }
}

void TtkBaseClass::BeginDrawing() {
  if (!IsNewDataset || LineClass == nullptr) return;
  LineCursor = std::make_unique<BufferedInsert>(*OutputWorkspace, *LineClass, ui);
  drawing_ = true;
}

void TtkBaseClass::EndDrawing(bool completed) {
  if (!drawing_) return;
  drawing_ = false;
  if (LineCursor) {
    LineCursor->flush();
    LineCursor.reset();
  }
  if (completed) return;
  DeleteFeatureDataset(*OutputWorkspace, "y" + SheetName);
  LineClass = PolygonClass = AnnoClass = AnnoLayer = nullptr;
  SheetDataset.reset();
  IsNewDataset = false;
}

void TtkBaseClass::FinishSheetDocument(double top, double bottom, double right, double left) {
  if (!BuildMapDocument || LayoutControl == nullptr) return;
  try {
    LayoutControl->BuildSheetDocument(*this, top, bottom, right, left);
  } catch (const FramoraError& error) {
    ui.message(error.what());
  }
}

}  // namespace framora
