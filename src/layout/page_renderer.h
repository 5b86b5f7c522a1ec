#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <ogr_spatialref.h>

#include <memory>
#include <optional>

#include <string>
#include <vector>

#include "gis/map_document.h"
#include "layout/label_drawing.h"
#include "layout/layer_style.h"
#include "layout/opened_layer_pool.h"
#include "layout/page_layout.h"
#include "layout/raster_layer_drawing.h"
#include "layout/symbol_painter.h"

namespace framora {

// A class copied into memory, for drawing beside its owner, which goes on reading or writing
// it on another thread; a sheet's classes are small. Empty when it cannot be copied.
OpenedLayer CopyLayerInMemory(OGRLayer& lent);

// Draws a page at a resolution, the whole of it or a band of rows at a time, bottom to top:
// each map frame in page order, its layers from the bottom of the map up, clipped to the
// frame and to the frame's clip shape.
class PageRenderer {
 public:
  // Opens the data of every layer on the page; the layout and the styles must outlive the
  // renderer. Layers whose data cannot be opened are left out.
  PageRenderer(const PageLayout& layout, const LayerStyles& styles, double dpi);
  PageRenderer(const PageRenderer&) = delete;
  PageRenderer& operator=(const PageRenderer&) = delete;
  ~PageRenderer();

  double dpi() const { return dpi_; }
  // The names of the layers whose data could not be opened.
  const std::vector<std::string>& missingLayers() const { return missingLayers_; }
  // What the user's map uses that is drawn otherwise than the map shows it, one line each.
  const std::vector<std::string>& notices() const { return notices_; }
  // Draws the picture rows [firstRow, firstRow + rowCount) onto painter, whose row 0 is
  // firstRow; the rows are painted white first when fillWhite is set.
  void drawRows(QPainter& painter, int firstRow, int rowCount, int width, bool fillWhite = true);
  // A renderer of the same page over data of its own (the classes the layout lends copied into
  // memory), so that it draws one band while this one draws another; made at the first call
  // (on the thread that uses this one), null when it would not draw what this one draws.
  PageRenderer* twin();

 private:
  struct TransformDeleter {
    void operator()(OGRCoordinateTransformation* transform) const { OGRCoordinateTransformation::DestroyCT(transform); }
  };
  using Transform = std::unique_ptr<OGRCoordinateTransformation, TransformDeleter>;
  struct DrawnLayer {
    const LayoutLayer* layer = nullptr;
    const MapFrame* frame = nullptr;  // the map it is drawn in
    OGRLayer* data = nullptr;
    OpenedLayer owned;             // a class the layout lends, copied here
    OpenedLayerPool::Lent lent;    // the user's data, opened for the renderer
    Transform toMap;    // when the layer's coordinate system is not the map's
    Transform toLayer;
    std::unique_ptr<RasterLayerDrawing> raster;  // an image layer instead of features
    std::optional<LayerStyle> style;             // a user layer's own renderer
    std::optional<LabelStyle> labels;            // a user layer's own labels
  };
  struct DrawnFrame {
    const MapFrame* frame = nullptr;
    std::vector<DrawnLayer> layers;  // bottom first
    MapLabels labels;                // over all its layers
    // Its sheet on the page, made when a band first shows it; a renderer draws one band at a time.
    mutable std::unique_ptr<SheetClips> sheet;
  };

  enum class Data { AsLent, OwnCopies };
  PageRenderer(const PageLayout& layout, const LayerStyles& styles, double dpi, Data data);

  QTransform mapToDevice(const MapFrame& frame, int firstRow) const;
  QRectF pageToDevice(const Envelope& pageEnvelope, int firstRow) const;
  // Places the labels of the frame's layers once for the whole page.
  void placeLabels(DrawnFrame& drawn);
  void drawFrame(QPainter& painter, const DrawnFrame& frame, int firstRow, int rowCount, int width);
  // sheet: the frame's area on the page, and firstRow the page's row at the band's row 0; the
  // user's strokes may reach out of it by half their width. band: the band's pixels.
  void drawFeatures(QPainter& painter, const DrawnLayer& layer, const QTransform& toDevice,
                    const OGREnvelope* area, double mapScale, SheetClips& sheet, int firstRow, const QRectF& band);

  const PageLayout& layout_;
  const LayerStyles& styles_;
  double dpi_;
  double pixelsPerPageUnit_;
  double pageHeight_;
  std::vector<DrawnFrame> frames_;
  std::vector<std::string> missingLayers_;
  std::vector<std::string> notices_;
  std::unique_ptr<PageRenderer> twin_;
  bool twinTried_ = false;
};

}  // namespace framora
