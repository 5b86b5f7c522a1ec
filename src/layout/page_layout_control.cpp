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
#include "layout/page_renderer.h"
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

// Where a map document shows a geographic sheet. QGIS takes degrees as square; the picture
// scales them by the ground metres of a degree east and north at the sheet. An equidistant
// cylindrical plane on a sphere does the same: its radius gives a degree north those metres,
// its parallel of true scale a degree east, so every point lands where the picture has it.
// Nothing for a projected sheet.
struct DocumentView {
  std::string wkt;
  Envelope extent;
};

DocumentView GeographicSheetView(const Envelope& mapExtent, const FinishedSheet& sheet) {
  const double east = sheet.metresPerUnitX, north = sheet.metresPerUnitY;
  if (sheet.zoneWkt.empty() || !(east > 0) || !(north >= east)) return {};
  const double centre = (mapExtent.xmin + mapExtent.xmax) / 2;
  OGRSpatialReference plane;
  plane.SetProjCS("Framora sheet plane");
  plane.SetGeogCS("Sphere", "Sphere", "Sphere", north * 180 / M_PI, 0.0);
  plane.SetEquirectangular2(0, centre, std::acos(east / north) * 180 / M_PI, 0, 0);
  plane.SetLinearUnits(SRS_UL_METER, 1.0);
  DocumentView view;
  view.wkt = WktOf(&plane);
  view.extent = Envelope{(mapExtent.xmin - centre) * east, mapExtent.ymin * north, (mapExtent.xmax - centre) * east,
                         mapExtent.ymax * north};
  return view;
}

// The sheet's classes are borrowed from its workspace for the document step of that sheet only.
struct ReturnBorrowedClasses {
  PageLayout& layout;
  ~ReturnBorrowedClasses() {
    if (MapFrame* frame = layout.findFrame(kOuterMapName))
      for (auto& layer : frame->layers) layer.openClass = nullptr;
  }
};

// A sheet's picture over a copy of its page, the sheet's classes copied into memory, so that
// the workspace goes on with the next sheet on the building thread while it is drawn.
class DetachedPicture final : public SheetPicture {
 public:
  DetachedPicture(const PageLayout& layout, const LayerStyles& styles, std::string fileName, int dpi,
                  std::vector<std::string> notices, std::set<std::string>& drawingNoticesGiven)
      : layout_(layout),
        styles_(styles),
        fileName_(std::move(fileName)),
        dpi_(dpi),
        notices_(std::move(notices)),
        drawingNoticesGiven_(drawingNoticesGiven) {
    for (MapFrame& frame : layout_.frames)
      for (LayoutLayer& layer : frame.layers) {
        if (layer.openClass == nullptr) continue;
        copies_.push_back(CopyLayerInMemory(*layer.openClass));
        layer.openClass = copies_.back().layer;
        if (layer.openClass == nullptr) throw FramoraError("不能复制图层" + layer.data.name);
      }
  }

  void draw(const std::function<bool()>& stopRequested) override {
    drawingNotices_ = ExportActiveView(layout_, styles_, fileName_, dpi_, stopRequested);
  }

  std::vector<std::string> notices() override {
    for (std::string& notice : drawingNotices_)
      if (drawingNoticesGiven_.insert(notice).second) notices_.push_back(std::move(notice));
    drawingNotices_.clear();
    return std::move(notices_);
  }

 private:
  std::vector<OpenedLayer> copies_;
  PageLayout layout_;
  const LayerStyles& styles_;
  std::string fileName_;
  int dpi_;
  std::vector<std::string> notices_;
  std::vector<std::string> drawingNotices_;
  std::set<std::string>& drawingNoticesGiven_;
};

}  // namespace

std::vector<std::string> PageLayoutControl::layOutAndSave(const FinishedSheet& sheet) {
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

  const DocumentView view = GeographicSheetView(sheetPage.mapExtent, sheet);
  for (MapFrame* frame : {userFrame, outerFrame}) {
    ShowMapExtent(*frame, sheetPage.mapExtent);
    frame->metresPerMapUnit = sheet.metresPerUnitY;
    frame->documentCrsWkt = view.extent.width() > 0 ? view.wkt : std::string();
    frame->documentExtent = view.extent;
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
  return notices;
}

std::string PageLayoutControl::picturePath(const FinishedSheet& sheet) const {
  return (fs::path(outputFolder_) / (sheet.name + settings_.PictureType)).string();
}

std::vector<std::string> PageLayoutControl::BuildSheetDocument(const FinishedSheet& sheet) {
  const ReturnBorrowedClasses returnClasses{layout_};
  std::vector<std::string> notices = layOutAndSave(sheet);
  for (std::string& notice : ExportActiveView(*this, picturePath(sheet), settings_.ExportDpi, sheet.stopRequested))
    if (drawingNoticesGiven_.insert(notice).second) notices.push_back(std::move(notice));
  return notices;
}

std::unique_ptr<SheetPicture> PageLayoutControl::PrepareSheetDocument(const FinishedSheet& sheet) {
  const ReturnBorrowedClasses returnClasses{layout_};
  std::vector<std::string> notices = layOutAndSave(sheet);
  return std::make_unique<DetachedPicture>(layout_, styles(), picturePath(sheet), settings_.ExportDpi,
                                           std::move(notices), drawingNoticesGiven_);
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
