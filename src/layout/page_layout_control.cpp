#include "layout/page_layout_control.h"

#include <ogr_spatialref.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "gis/text_class.h"
#include "gis/feature_class.h"
#include "gis/feature_dataset.h"
#include "layout/gui_application.h"
#include "layout/map_document_writer.h"
#include "layout/picture_export.h"
#include "util/files.h"
#include "util/framora_error.h"

namespace framora {

namespace fs = std::filesystem;

namespace {

LayoutLayer SheetLayer(Workspace& workspace, OGRLayer& data, LayerRole role) {
  LayoutLayer layer;
  layer.role = role;
  layer.data.name = data.GetName();
  layer.data.source = workspace.path();
  layer.data.sourceLayer = data.GetName();
  layer.data.geometryType = data.GetGeomType();
  layer.data.crsWkt = WktOf(data.GetSpatialRef());
  layer.openClass = &data;
  return layer;
}

// The sheet's class of that prefix, as stored in its workspace.
OGRLayer& SheetClass(const FinishedSheet& sheet, const std::string& prefix) {
  const std::string name = prefix + sheet.name;
  OGRLayer* found = OpenFeatureClass(*sheet.workspace, name);
  if (found == nullptr) throw FramoraError("找不到要素类" + name);
  return *found;
}

}  // namespace

SheetPage ComputeSheetPage(double top, double bottom, double right, double left, double frameGap,
                           const FrameSettings& settings, double metresPerUnitX, double metresPerUnitY) {
  const double metresPerMm = settings.ScaleFactor * 10;
  if (!(metresPerMm > 0) || !(metresPerUnitX > 0) || !(metresPerUnitY > 0))
    throw FramoraError("比例尺无效，不能排版");
  const bool projected = metresPerUnitX == 1 && metresPerUnitY == 1;
  // Whole metres on projected sheets; a degree cut to whole degrees would lose the sheet.
  const auto outer = [projected](double value) { return projected ? std::trunc(value) : value; };
  const double gapX = frameGap / metresPerUnitX;
  const double gapY = frameGap / metresPerUnitY;
  SheetPage page;
  page.outerFrame = Envelope{outer(left - gapX), outer(bottom - gapY), outer(right + gapX), outer(top + gapY)};
  const Envelope& frame = page.outerFrame;
  page.width = frame.width() * metresPerUnitX / metresPerMm + settings.PageMarginLeft + settings.PageMarginRight;
  page.height = frame.height() * metresPerUnitY / metresPerMm + settings.PageMarginBottom + settings.PageMarginTop;
  if (!(page.width > 0) || !(page.height > 0) || !std::isfinite(page.width) || !std::isfinite(page.height))
    throw FramoraError("页面尺寸无效，不能排版");
  page.mapExtent = Envelope{frame.xmin - settings.PageMarginLeft * metresPerMm / metresPerUnitX,
                            frame.ymin - settings.PageMarginBottom * metresPerMm / metresPerUnitY,
                            frame.xmax + settings.PageMarginRight * metresPerMm / metresPerUnitX,
                            frame.ymax + settings.PageMarginTop * metresPerMm / metresPerUnitY};
  return page;
}

MapFrame& AddOuterMapFrame(PageLayout& layout, const Envelope& envelope) {
  MapFrame frame;
  frame.name = kOuterMapName;
  frame.pageEnvelope = envelope;
  layout.frames.push_back(std::move(frame));
  layout.focusFrame = static_cast<int>(layout.frames.size()) - 1;
  return layout.frames.back();
}

void ShowMapExtent(MapFrame& frame, const Envelope& envelope) {
  frame.mapUnits = kUnitMetres;
  frame.extent = envelope;
}

PageLayoutControl::PageLayoutControl(const MapDocument& document, const FrameSettings& settings,
                                     std::string outputFolder)
    : settings_(settings), outputFolder_(std::move(outputFolder)) {
  MapFrame frame;
  frame.name = "Layers";
  frame.pageEnvelope = Envelope{0, 0, layout_.page.width, layout_.page.height};
  for (const MapLayer& layer : document.layers()) {
    if (!layer.isVector && !layer.isRaster) continue;  // only data GDAL reads are drawn
    LayoutLayer entry;
    entry.data = layer;
    frame.layers.push_back(std::move(entry));
  }
  layout_.frames.push_back(std::move(frame));
  layout_.focusFrame = 0;
  layout_.spatialReferenceWkt = WktOf(&document.spatialReference());
  RequireGuiApplication();
}

PageLayoutControl::PageLayoutControl(PageLayout layout, const FrameSettings& settings, std::string outputFolder)
    : layout_(std::move(layout)), settings_(settings), outputFolder_(std::move(outputFolder)) {
  RequireGuiApplication();
}

void PageLayoutControl::setStyleFolder(const std::string& folder) {
  styleFolder_ = folder;
  styles_.reset();
  styleNoticesGiven_ = false;
}

const LayerStyles& PageLayoutControl::styles() {
  if (!styles_) styles_ = LoadLayerStyles(styleFolder_.empty() ? ProgramFolder() : styleFolder_);
  return *styles_;
}

namespace {

// The map extent of a geographic sheet in its zone's metres: around the extent's centre, as
// wide and high as the page shows on the ground. Empty for a projected sheet.
Envelope ZoneExtentOf(const Envelope& mapExtent, const FinishedSheet& sheet, const OGRSpatialReference* geographic) {
  if (sheet.zoneWkt.empty() || geographic == nullptr) return {};
  OGRSpatialReference source(*geographic);
  OGRSpatialReference zone;
  if (zone.importFromWkt(sheet.zoneWkt.c_str()) != OGRERR_NONE) return {};
  source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  zone.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> transform(OGRCreateCoordinateTransformation(&source, &zone));
  double x = (mapExtent.xmin + mapExtent.xmax) / 2;
  double y = (mapExtent.ymin + mapExtent.ymax) / 2;
  if (!transform || !transform->Transform(1, &x, &y)) return {};
  const double halfWidth = mapExtent.width() * sheet.metresPerUnitX / 2;
  const double halfHeight = mapExtent.height() * sheet.metresPerUnitY / 2;
  return Envelope{x - halfWidth, y - halfHeight, x + halfWidth, y + halfHeight};
}

}  // namespace

std::vector<std::string> PageLayoutControl::BuildSheetDocument(const FinishedSheet& sheet) {
  if (sheet.workspace == nullptr) throw FramoraError("没有输出数据库，不能生成地图文档");
  MapFrame* userFrame = FindUserDataFrame(layout_);
  if (userFrame == nullptr) throw FramoraError("页面上没有数据框");
  const auto userIndex = userFrame - layout_.frames.data();

  const Envelope& inner = sheet.innerFrame;
  const SheetPage sheetPage = ComputeSheetPage(inner.ymax, inner.ymin, inner.xmax, inner.xmin, sheet.frameGap,
                                               settings_, sheet.metresPerUnitX, sheet.metresPerUnitY);
  layout_.page = Page{sheetPage.width, sheetPage.height, kUnitMillimetres};
  const Envelope pageEnvelope{0, 0, sheetPage.width, sheetPage.height};

  MapFrame* outerFrame = layout_.findFrame(kOuterMapName);
  if (outerFrame == nullptr) outerFrame = &AddOuterMapFrame(layout_, pageEnvelope);
  userFrame = &layout_.frames[userIndex];  // adding a frame may have moved them

  userFrame->pageEnvelope = pageEnvelope;
  userFrame->clipShape = sheet.clipShape != nullptr ? CloneGeometry(*sheet.clipShape) : nullptr;
  outerFrame->pageEnvelope = pageEnvelope;

  // The sheet's classes are borrowed from its workspace for this sheet only.
  struct ReturnBorrowedClasses {
    MapFrame& frame;
    ~ReturnBorrowedClasses() {
      for (auto& layer : frame.layers) layer.openClass = nullptr;
    }
  } returnClasses{*outerFrame};
  Workspace& workspace = *sheet.workspace;
  outerFrame->layers.clear();
  OGRLayer& texts = SheetClass(sheet, "A_");
  OGRLayer& lines = SheetClass(sheet, "L_");
  OGRLayer& polygons = SheetClass(sheet, "P_");
  LayoutLayer textLayer = SheetLayer(workspace, texts, LayerRole::SheetTexts);
  textLayer.referenceScale = StoredReferenceScale(workspace, texts.GetName());
  if (textLayer.referenceScale <= 0) textLayer.referenceScale = sheet.textReferenceScale;
  outerFrame->layers.push_back(std::move(textLayer));
  outerFrame->layers.push_back(SheetLayer(workspace, lines, LayerRole::SheetLines));
  outerFrame->layers.push_back(SheetLayer(workspace, polygons, LayerRole::SheetPolygons));
  // The extent is in the sheet's coordinates; other layers are drawn in them.
  if (const std::string wkt = WktOf(lines.GetSpatialRef()); !wkt.empty()) layout_.spatialReferenceWkt = wkt;

  const Envelope documentExtent = ZoneExtentOf(sheetPage.mapExtent, sheet, lines.GetSpatialRef());
  for (MapFrame* frame : {userFrame, outerFrame}) {
    ShowMapExtent(*frame, sheetPage.mapExtent);
    frame->metresPerMapUnit = sheet.metresPerUnitY;
    frame->documentCrsWkt = documentExtent.width() > 0 ? sheet.zoneWkt : std::string();
    frame->documentExtent = documentExtent;
  }

  std::error_code ignored;
  if (!outputFolder_.empty()) fs::create_directories(outputFolder_, ignored);
  const fs::path folder(outputFolder_);
  std::vector<std::string> notices;
  if (!styleNoticesGiven_) {
    styleNoticesGiven_ = true;
    notices = styles().notices;
  }
  SaveMapDocument(*this, (folder / (sheet.name + ".qgs")).string());
  for (std::string& notice :
       ExportActiveView(*this, (folder / (sheet.name + settings_.PictureType)).string(), settings_.ExportDpi,
                        sheet.stopRequested))
    if (drawingNoticesGiven_.insert(notice).second) notices.push_back(std::move(notice));
  return notices;
}

bool PageLayoutControl::SheetDocumentPresent(const FinishedSheet& sheet) const {
  const fs::path folder(outputFolder_);
  std::error_code error;
  return fs::is_regular_file(folder / (sheet.name + ".qgs"), error) &&
         fs::is_regular_file(folder / (sheet.name + settings_.PictureType), error);
}

void SaveMapDocument(PageLayoutControl& control, const std::string& fileName) {
  SaveMapDocument(control.layout(), control.styles(), fileName);
}

std::vector<std::string> ExportActiveView(PageLayoutControl& control, const std::string& fileName, int dpi,
                                          const StopCheck& stop) {
  return ExportActiveView(control.layout(), control.styles(), fileName, dpi, stop);
}

}  // namespace framora
