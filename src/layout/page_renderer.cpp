#include "layout/page_renderer.h"

#include <QImage>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <optional>
#include <map>
#include <mutex>
#include <set>

#include "gis/gdal_setup.h"
#include "layout/map_text.h"
#include "util/framora_error.h"

namespace framora {

namespace {

// Paper margin around a band within which features are still read: wide lines and
// markers reach into the band from outside it.
constexpr double kReadMarginMm = 5;

void AddRing(const OGRSimpleCurve& ring, const QTransform& toDevice, QPainterPath& path, bool close) {
  const int count = ring.getNumPoints();
  if (count == 0) return;
  QPolygonF points;
  points.reserve(count);
  for (int i = 0; i < count; ++i) points.append(toDevice.map(QPointF(ring.getX(i), ring.getY(i))));
  if (close) {
    path.addPolygon(points);
    path.closeSubpath();
  } else {
    path.moveTo(points.front());
    for (int i = 1; i < points.size(); ++i) path.lineTo(points[i]);
  }
}

// Lines and rings of a geometry as one path in device coordinates; points apart.
void CollectShape(const OGRGeometry& geometry, const QTransform& toDevice, QPainterPath& path,
                  std::vector<QPointF>& points) {
  if (geometry.hasCurveGeometry()) {
    OGRGeometryUniquePtr linear(geometry.getLinearGeometry());
    if (linear) CollectShape(*linear, toDevice, path, points);
    return;
  }
  switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbPoint:
      if (!geometry.IsEmpty()) points.push_back(toDevice.map(QPointF(geometry.toPoint()->getX(), geometry.toPoint()->getY())));
      break;
    case wkbLineString:
    case wkbLinearRing:
      AddRing(*geometry.toSimpleCurve(), toDevice, path, false);
      break;
    case wkbPolygon:
      for (const OGRLinearRing* ring : *geometry.toPolygon()) AddRing(*ring, toDevice, path, true);
      break;
    case wkbMultiPoint:
    case wkbMultiLineString:
    case wkbMultiPolygon:
    case wkbGeometryCollection:
      for (const OGRGeometry* part : *geometry.toGeometryCollection()) CollectShape(*part, toDevice, path, points);
      break;
    default:
      break;
  }
}

bool IsAreaType(OGRwkbGeometryType type) {
  const OGRwkbGeometryType flat = wkbFlatten(type);
  return flat == wkbPolygon || flat == wkbMultiPolygon || flat == wkbCurvePolygon || flat == wkbMultiSurface;
}

SymbolLook UserDataLook(OGRwkbGeometryType type) {
  SymbolLayerLook look;
  const OGRwkbGeometryType flat = wkbFlatten(type);
  if (flat == wkbPolygon || flat == wkbMultiPolygon || flat == wkbCurvePolygon || flat == wkbMultiSurface) {
    look.strokeColor = QColor(90, 90, 90);
    look.strokeWidth = 0.15;
  } else if (flat == wkbPoint || flat == wkbMultiPoint) {
    look.strokeColor = QColor(60, 60, 60);
    look.strokeWidth = 0.1;
    look.fill = true;
    look.fillColor = QColor(60, 60, 60);
  } else {
    look.strokeColor = QColor(60, 60, 60);
    look.strokeWidth = 0.2;
  }
  return SymbolLook{{look}};
}

// The type a kept renderer names, for telling the user which one is not drawn.
std::string RendererType(const std::string& styleXml) {
  const auto element = styleXml.find("<renderer-v2");
  const auto type = element == std::string::npos ? element : styleXml.find("type=\"", element);
  if (type == std::string::npos) return {};
  const auto end = styleXml.find('"', type + 6);
  return end == std::string::npos ? std::string() : styleXml.substr(type + 6, end - type - 6);
}

// The sheet grown by half of a stroke's width, so that an outline along the sheet's edge
// is drawn whole; computed once per width. Setting a clip path rasterises it over the whole
// band, so a clip is only set for a shape near the sheet's edge, and only when it changes:
// deep inside the sheet every clip in play lets every pixel through whole.
class GrownSheets {
 public:
  explicit GrownSheets(const QPainterPath* sheet) : sheet_(sheet) {}
  const QPainterPath* forStroke(double width) {
    if (sheet_ == nullptr) return nullptr;
    auto found = grown_.find(width);
    if (found == grown_.end()) {
      QPainterPathStroker stroker;
      stroker.setWidth(width);
      stroker.setJoinStyle(Qt::MiterJoin);
      stroker.setMiterLimit(2);
      found = grown_.emplace(width, sheet_->united(stroker.createStroke(*sheet_)).simplified()).first;
    }
    return &found->second;
  }
  const QPainterPath* sheet() const { return sheet_; }

  // Clips what is drawn within reach (device pixels) to the sheet.
  void clipToSheet(QPainter& painter, const QRectF& reach) {
    if (sheet_ != nullptr && !deepInside(reach)) clipTo(painter, sheet_);
  }
  // Clips a stroke of that width drawn within reach to the sheet grown by half of it.
  void clipForStroke(QPainter& painter, double width, const QRectF& reach) {
    if (sheet_ != nullptr && !deepInside(reach)) clipTo(painter, forStroke(width));
  }

 private:
  // A pixel of smoothed clip edge on either side.
  bool deepInside(const QRectF& reach) const { return sheet_->contains(reach.adjusted(-2, -2, 2, 2)); }
  void clipTo(QPainter& painter, const QPainterPath* clip) {
    if (clip == current_) return;
    painter.setClipPath(*clip);
    current_ = clip;
  }

  const QPainterPath* sheet_;
  std::map<double, QPainterPath> grown_;
  const QPainterPath* current_ = nullptr;  // the clip set last
};

// The device pixels a shape's strokes of that width, or its points, may touch.
QRectF ShapeReach(const QPainterPath& path, const std::vector<QPointF>& points, double strokeWidth,
                  double pointRadius) {
  QRectF reach = path.isEmpty() ? QRectF() : path.boundingRect().adjusted(-strokeWidth, -strokeWidth, strokeWidth, strokeWidth);
  const double pointReach = pointRadius + strokeWidth;
  for (const QPointF& point : points)
    reach |= QRectF(point.x() - pointReach, point.y() - pointReach, 2 * pointReach, 2 * pointReach);
  return reach;
}

// A lent class copied into memory, for a twin renderer that must not share the lender's
// reading; a sheet's classes are small. Empty when it cannot be copied.
OpenedLayer CopyInMemory(OGRLayer& lent) {
  OpenedLayer copy;
  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
  if (memory == nullptr) return copy;
  copy.dataset.reset(memory->Create("", 0, 0, 0, GDT_Unknown, nullptr));
  if (copy.dataset) copy.layer = copy.dataset->CopyLayer(&lent, lent.GetName());
  lent.ResetReading();
  return copy;
}

// A transformation from source to target. Making one looks its operations up in PROJ's
// database, and every page asks for the same few again, so each is made once a run and every
// renderer gets a copy of its own (a transformation is not to be used by two threads at once).
OGRCoordinateTransformation* CopyOfTransformation(const OGRSpatialReference& source,
                                                  const OGRSpatialReference& target) {
  static std::mutex guard;
  static std::map<std::pair<std::string, std::string>, std::unique_ptr<OGRCoordinateTransformation>> made;
  const std::lock_guard<std::mutex> lock(guard);
  auto& transformation = made[{WktOf(&source), WktOf(&target)}];
  if (!transformation) transformation.reset(OGRCreateCoordinateTransformation(&source, &target));
  return transformation ? transformation->Clone() : nullptr;
}

// Every line at its exact width and smoothed: a floor of one pixel would double thin lines
// at some resolutions and make vector output depend on the resolution.
void DrawShape(QPainter& painter, const QPainterPath& path, const std::vector<QPointF>& points,
               const SymbolLook& look, double pixelsPerMm, bool areas, GrownSheets& clips) {
  // Turning smoothing on rasterises the clip again, so only when it is off.
  if (!painter.testRenderHint(QPainter::Antialiasing)) painter.setRenderHint(QPainter::Antialiasing, true);
  const double radius = 0.75 * pixelsPerMm;
  for (const auto& part : look.layers) {
    const double width = part.strokeInPixels ? part.strokeWidth : part.strokeWidth * pixelsPerMm;
    const bool fill = areas && part.fill;
    const QRectF reach = clips.sheet() ? ShapeReach(path, points, width, radius) : QRectF();
    if (fill && !path.isEmpty()) {
      clips.clipToSheet(painter, reach);
      painter.fillPath(path, part.fillColor);
    }
    if (part.stroke && !path.isEmpty()) {
      clips.clipForStroke(painter, width, reach);
      painter.strokePath(path, QPen(part.strokeColor, width, Qt::SolidLine, part.cap, part.join));
    }
    if (!points.empty()) {
      clips.clipToSheet(painter, reach);
      painter.setPen(part.stroke ? QPen(part.strokeColor, width, Qt::SolidLine, part.cap, part.join) : QPen(Qt::NoPen));
      painter.setBrush(part.fill ? QBrush(part.fillColor) : QBrush(part.strokeColor));
      for (const QPointF& point : points) painter.drawEllipse(point, radius, radius);
    }
  }
}

}  // namespace

PageRenderer::PageRenderer(const PageLayout& layout, const LayerStyles& styles, double dpi)
    : PageRenderer(layout, styles, dpi, Data::AsLent) {}

PageRenderer* PageRenderer::twin() {
  if (twinTried_) return twin_.get();
  twinTried_ = true;
  try {
    auto made = std::unique_ptr<PageRenderer>(new PageRenderer(layout_, styles_, dpi_, Data::OwnCopies));
    if (made->missingLayers_ == missingLayers_) twin_ = std::move(made);
  } catch (const std::exception&) {
    // Drawn by this renderer alone.
  }
  return twin_.get();
}

PageRenderer::PageRenderer(const PageLayout& layout, const LayerStyles& styles, double dpi, Data data)
    : layout_(layout), styles_(styles), dpi_(dpi) {
  EnsureGdalRegistered();
  const double pageUnitMm = layout.page.units == kUnitCentimetres ? 10 : 1;
  pixelsPerPageUnit_ = dpi / 25.4 * pageUnitMm;
  pageHeight_ = layout.page.height;
  OGRSpatialReference mapSrs;
  if (!layout.spatialReferenceWkt.empty()) mapSrs.importFromWkt(layout.spatialReferenceWkt.c_str());
  mapSrs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const char* sameOptions[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
  for (const MapFrame& frame : layout.frames) {
    DrawnFrame drawn;
    drawn.frame = &frame;
    for (auto layer = frame.layers.rbegin(); layer != frame.layers.rend(); ++layer) {
      if (!layer->data.visible) continue;  // switched off in the user's map
      DrawnLayer entry;
      entry.layer = &*layer;
      entry.data = layer->openClass;
      if (entry.data != nullptr && data == Data::OwnCopies) {
        entry.owned = CopyInMemory(*entry.data);
        entry.data = entry.owned.layer;
        if (entry.data == nullptr) throw FramoraError("不能复制图层" + layer->data.name);
      }
      if (layer->data.isRaster) {
        try {
          entry.raster = std::make_unique<RasterLayerDrawing>(layer->data, mapSrs);
          if (!entry.raster->unknownRenderer().empty())
            notices_.push_back("图层" + layer->data.name + "的栅格渲染方式" + entry.raster->unknownRenderer() +
                               "不能绘制，按默认样式绘制");
          drawn.layers.push_back(std::move(entry));
        } catch (const FramoraError&) {
          missingLayers_.push_back(layer->data.name);
        }
        continue;
      }
      if (entry.data == nullptr && layer->data.isVector && !layer->data.source.empty()) {
        try {
          entry.owned = MapDocument::OpenLayer(layer->data);
          entry.data = entry.owned.layer;
        } catch (const FramoraError&) {
          missingLayers_.push_back(layer->data.name);
        }
      }
      if (entry.data == nullptr) continue;
      if (layer->role == LayerRole::UserData && !layer->data.styleXml.empty()) {
        const auto style = StyleFromText(layer->data.styleXml,
                                         IsAreaType(entry.data->GetGeomType()) ? StyleKind::Polygons : StyleKind::Lines);
        if (!style)
          notices_.push_back("图层" + layer->data.name + "的渲染方式" + RendererType(layer->data.styleXml) +
                             "不能绘制，按默认样式绘制");
        else
          for (const std::string& kind : style->undrawnSymbolLayers)
            notices_.push_back("图层" + layer->data.name + "的符号层" + kind + "不能绘制，图片中没有它");
      }
      // The coordinate system the map document declares for the layer comes first.
      const OGRSpatialReference* layerSrs = entry.data->GetSpatialRef();
      OGRSpatialReference declared;
      if (!layer->data.crsWkt.empty() && declared.importFromWkt(layer->data.crsWkt.c_str()) == OGRERR_NONE)
        layerSrs = &declared;
      if (!mapSrs.IsEmpty() && layerSrs != nullptr && !layerSrs->IsEmpty() &&
          !mapSrs.IsSame(layerSrs, sameOptions)) {
        OGRSpatialReference source(*layerSrs);
        source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        entry.toMap.reset(CopyOfTransformation(source, mapSrs));
        entry.toLayer.reset(CopyOfTransformation(mapSrs, source));
      }
      drawn.layers.push_back(std::move(entry));
    }
    frames_.push_back(std::move(drawn));
  }
}

PageRenderer::~PageRenderer() {
  // Borrowed classes go back to their owner as they came.
  for (auto& frame : frames_)
    for (auto& layer : frame.layers)
      if (layer.layer->openClass != nullptr && layer.data == layer.layer->openClass) {
        layer.data->SetSpatialFilter(nullptr);
        layer.data->ResetReading();
      }
}

QRectF PageRenderer::pageToDevice(const Envelope& pageEnvelope, int firstRow) const {
  return QRectF(QPointF(pageEnvelope.xmin * pixelsPerPageUnit_, (pageHeight_ - pageEnvelope.ymax) * pixelsPerPageUnit_ - firstRow),
                QPointF(pageEnvelope.xmax * pixelsPerPageUnit_, (pageHeight_ - pageEnvelope.ymin) * pixelsPerPageUnit_ - firstRow));
}

QTransform PageRenderer::mapToDevice(const MapFrame& frame, int firstRow) const {
  const QRectF target = pageToDevice(frame.pageEnvelope, firstRow);
  const Envelope& extent = frame.extent;
  const double sx = target.width() / extent.width();
  const double sy = target.height() / extent.height();
  // x' = sx (x - xmin) + left; y' = bottom - sy (y - ymin)
  return QTransform(sx, 0, 0, -sy, target.left() - sx * extent.xmin, target.bottom() + sy * extent.ymin);
}

void PageRenderer::drawRows(QPainter& painter, int firstRow, int rowCount, int width, bool fillWhite) {
  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  if (fillWhite) painter.fillRect(QRect(0, 0, width, rowCount), Qt::white);
  for (const DrawnFrame& frame : frames_) drawFrame(painter, frame, firstRow, rowCount, width);
  painter.restore();
}

void PageRenderer::drawFrame(QPainter& painter, const DrawnFrame& drawn, int firstRow, int rowCount, int width) {
  const MapFrame& frame = *drawn.frame;
  if (!frame.hasExtent()) return;
  const QRectF frameArea = pageToDevice(frame.pageEnvelope, firstRow);
  const QRectF band(0, 0, width, rowCount);
  if (!frameArea.intersects(band)) return;

  const QTransform toDevice = mapToDevice(frame, firstRow);
  QPainterPath sheet;
  sheet.addRect(frameArea);
  if (frame.clipShape && !frame.clipShape->IsEmpty()) {
    QPainterPath clip;
    std::vector<QPointF> ignored;
    CollectShape(*frame.clipShape, toDevice, clip, ignored);
    clip.setFillRule(Qt::OddEvenFill);
    sheet = sheet.intersected(clip);
  }
  painter.save();
  if (frame.clipShape && !frame.clipShape->IsEmpty())
    painter.setClipPath(sheet);
  else
    painter.setClipRect(frameArea);

  // The part of the map this band shows, with a margin, for reading features.
  const double margin = kReadMarginMm * dpi_ / 25.4;
  const QRectF visible = toDevice.inverted().mapRect(band.adjusted(-margin, -margin, margin, margin));
  OGREnvelope area;
  area.MinX = visible.left();
  area.MaxX = visible.right();
  area.MinY = visible.top();
  area.MaxY = visible.bottom();
  const double mapScale = frame.scale(layout_.page);
  const QRectF imageArea = frameArea.intersected(band);
  // Shapes are drawn smoothed, everything else not. Switching rasterises the clip again, so
  // a run of shape layers switches once rather than each layer on its own.
  const auto smooth = [&painter](bool on) {
    if (painter.testRenderHint(QPainter::Antialiasing) != on) painter.setRenderHint(QPainter::Antialiasing, on);
  };
  for (const DrawnLayer& layer : drawn.layers) {
    if (!layer.layer->data.shownAtScale(mapScale)) continue;  // the project shows it at other scales only
    smooth(!layer.raster && layer.layer->data.opacity >= 1 && layer.layer->role != LayerRole::SheetTexts);
    if (layer.raster) {
      layer.raster->draw(painter, toDevice, imageArea);
    } else if (layer.layer->data.opacity < 1) {
      // The layer is made whole first and then laid on at its opacity, so that its own
      // overlaps (an outline over its fill) do not show through each other.
      QImage layerImage(width, rowCount, QImage::Format_ARGB32_Premultiplied);
      layerImage.fill(Qt::transparent);
      {
        QPainter layerPainter(&layerImage);
        layerPainter.setClipPath(sheet);
        drawFeatures(layerPainter, layer, toDevice, &area, mapScale, sheet);
      }
      painter.save();
      painter.setOpacity(painter.opacity() * layer.layer->data.opacity);
      painter.drawImage(QPoint(0, 0), layerImage);
      painter.restore();
    } else {
      drawFeatures(painter, layer, toDevice, &area, mapScale, sheet);
    }
  }
  painter.restore();
}

void PageRenderer::drawFeatures(QPainter& painter, const DrawnLayer& drawn, const QTransform& toDevice,
                                const OGREnvelope* area, double mapScale, const QPainterPath& sheet) {
  OGRLayer& data = *drawn.data;
  const LayoutLayer& layer = *drawn.layer;
  const double pixelsPerMm = dpi_ / 25.4;

  if (layer.role == LayerRole::SheetTexts) {
    // Texts reach far from their points (tall vertical texts), and a sheet has few of them.
    data.SetSpatialFilter(nullptr);
    // Every text in every band, even one wholly off it: Qt's glyph cache draws a glyph a
    // shade differently by what it has drawn before, and pictures stay as they were.
    const double sizeFactor = layer.referenceScale > 0 && mapScale > 0 ? layer.referenceScale / mapScale : 1;
    for (auto& feature : data) {
      MapText text = ReadMapText(*feature);
      if (drawn.toMap && !drawn.toMap->Transform(1, &text.x, &text.y)) continue;
      DrawMapText(painter, text.text, text.symbol, text.symbol.size * sizeFactor, toDevice.map(QPointF(text.x, text.y)));
    }
    return;
  }

  OGREnvelope filter = *area;
  if (drawn.toLayer && !drawn.toLayer->TransformBounds(area->MinX, area->MinY, area->MaxX, area->MaxY, &filter.MinX,
                                                      &filter.MinY, &filter.MaxX, &filter.MaxY, 21))
    filter = OGREnvelope();  // no filter where the bounds do not carry over
  if (filter.IsInit())
    data.SetSpatialFilterRect(filter.MinX, filter.MinY, filter.MaxX, filter.MaxY);
  else
    data.SetSpatialFilter(nullptr);
  const bool areaLayer = IsAreaType(data.GetGeomType());
  // The user's layers keep the look their project gives them where we can draw it.
  const std::optional<CategorizedStyle> userStyle =
      layer.role == LayerRole::UserData
          ? StyleFromText(layer.data.styleXml, areaLayer ? StyleKind::Polygons : StyleKind::Lines)
          : std::nullopt;
  const CategorizedStyle* style = layer.role == LayerRole::SheetLines      ? &styles_.lines
                                  : layer.role == LayerRole::SheetPolygons ? &styles_.polygons
                                  : userStyle                              ? &*userStyle
                                                                           : nullptr;
  const SymbolLook userLook = UserDataLook(data.GetGeomType());
  // The sheet's own lines keep the sheet's clip; the user's outlines are drawn whole.
  GrownSheets clips(layer.role == LayerRole::UserData ? &sheet : nullptr);
  painter.save();
  const int styleField = style ? data.GetLayerDefn()->GetFieldIndex(style->attribute.c_str()) : -1;
  // By symbol levels every level is one pass over the features, the lowest first.
  std::set<int> levels{0};
  if (style != nullptr && style->symbolLevels) {
    for (const auto& category : style->categories) levels.insert(category.second.level);
    if (style->otherValues) levels.insert(style->otherValues->level);
  }
  for (const int level : levels) {
    data.ResetReading();
    for (auto& feature : data) {
      const OGRGeometry* geometry = feature->GetGeometryRef();
      if (geometry == nullptr || geometry->IsEmpty()) continue;
      OGRGeometryUniquePtr transformed;
      if (drawn.toMap) {
        transformed.reset(geometry->clone());
        if (transformed->transform(drawn.toMap.get()) != OGRERR_NONE) continue;
        geometry = transformed.get();
      }
      const SymbolLook* look = &userLook;
      if (style != nullptr) {
        const std::string value =
            styleField >= 0 && feature->IsFieldSetAndNotNull(styleField) ? feature->GetFieldAsString(styleField) : "";
        look = style->lookFor(value);
        if (look == nullptr) continue;
        if (style->symbolLevels && look->level != level) continue;
      }
      QPainterPath path;
      path.setFillRule(Qt::OddEvenFill);
      std::vector<QPointF> points;
      CollectShape(*geometry, toDevice, path, points);
      const OGRwkbGeometryType flat = wkbFlatten(geometry->getGeometryType());
      const bool areas = flat == wkbPolygon || flat == wkbMultiPolygon || flat == wkbCurvePolygon ||
                         flat == wkbMultiSurface || flat == wkbGeometryCollection;
      DrawShape(painter, path, points, *look, pixelsPerMm, areas, clips);
    }
    if (style == nullptr || !style->symbolLevels) break;
  }
  painter.restore();
  data.SetSpatialFilter(nullptr);
}

}  // namespace framora
