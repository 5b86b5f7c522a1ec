#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "frame/frame_settings.h"
#include "frame/sheet_document.h"
#include "gis/map_document.h"
#include "layout/layer_style.h"
#include "layout/opened_layer_pool.h"
#include "layout/page_layout.h"
#include <vector>

namespace framora {

// The page of one sheet at the map scale, from the inner frame's extent.
struct SheetPage {
  Envelope outerFrame;  // X1, Y1, X2, Y2
  double width = 0;     // page millimetres
  double height = 0;
  Envelope mapExtent;   // what both maps show, in map units
};

// The outer frame (whole metres on projected sheets), the page size in millimetres and the
// map extent. metresPerUnitX/Y turn map units into ground metres: 1 for projected sheets,
// the length of a degree of longitude and of latitude for geographic ones (whose outer
// frame is not cut to whole units). Throws FramoraError for a scale or page that is not
// positive.
SheetPage ComputeSheetPage(double top, double bottom, double right, double left, double frameGap,
                           const FrameSettings& settings, double metresPerUnitX = 1, double metresPerUnitY = 1);

// A map frame named "outer Map" on envelope (page units), on top of the page and made the
// focus frame.
MapFrame& AddOuterMapFrame(PageLayout& layout, const Envelope& envelope);
// The map of the frame in metres, showing envelope.
void ShowMapExtent(MapFrame& frame, const Envelope& envelope);

// The page layout of batch printing. It holds the user's map in a data frame "Layers" and,
// per sheet, lays the sheet out on a page at the map scale with the sheet's layers in a
// frame "outer Map" on top, saves the page as a QGIS project and exports its picture.
class PageLayoutControl final : public SheetDocumentBuilder {
 public:
  // The page of an input map document: one data frame "Layers" with its layers. The
  // settings give the scale, margins, picture type and resolution; documents and pictures
  // go into outputFolder.
  PageLayoutControl(const MapDocument& document, const FrameSettings& settings, std::string outputFolder);
  // A page as it stands.
  PageLayoutControl(PageLayout layout, const FrameSettings& settings, std::string outputFolder);

  // Writes <outputFolder>/<name>.qgs and <outputFolder>/<name><PictureType>.
  std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) override;
  // Both <name>.qgs and <name><PictureType> are in the folder.
  bool SheetDocumentPresent(const FinishedSheet& sheet) const override;
  // Writes <name>.qgs; the picture it returns writes <name><PictureType> on any thread, one
  // at a time, while this control lays out the next sheet.
  std::unique_ptr<SheetPicture> PrepareSheetDocument(const FinishedSheet& sheet) override;

  PageLayout& layout() { return layout_; }
  const PageLayout& layout() const { return layout_; }
  // The folder of line.qml and poly.qml; beside the program unless set.
  void setStyleFolder(const std::string& folder);
  // The styles, read at first use.
  const LayerStyles& styles();

 private:
  // Lays the sheet out with its classes borrowed in the outer frame and saves its map
  // document; returns the style notices not yet given.
  std::vector<std::string> layOutAndSave(const FinishedSheet& sheet);
  std::string picturePath(const FinishedSheet& sheet) const;

  PageLayout layout_;
  const FrameSettings& settings_;
  std::string outputFolder_;
  std::string styleFolder_;
  std::optional<LayerStyles> styles_;
  bool styleNoticesGiven_ = false;
  std::set<std::string> drawingNoticesGiven_;  // what the map's drawing could not do, told once a run
  OpenedLayerPool::KeepOpen userLayersOpen_;   // from picture to picture
};

void SaveMapDocument(PageLayoutControl& control, const std::string& fileName);
// The picture of the control's page; see ExportActiveView of a page layout.
std::vector<std::string> ExportActiveView(PageLayoutControl& control, const std::string& fileName, int dpi,
                                          const std::function<bool()>& stop = {});

}  // namespace framora
