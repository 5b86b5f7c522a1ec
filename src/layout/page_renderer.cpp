#include "layout/page_renderer.h"

#include <QImage>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <optional>
#include <map>
#include <mutex>
#include <set>

#include "gis/gdal_setup.h"
#include "layout/band_cut.h"
#include "layout/map_text.h"
#include "layout/opened_layer_pool.h"
#include "layout/symbol_painter.h"
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
    look.kind = SymbolLayerLook::Kind::Fill;
    look.strokeColor = QColor(90, 90, 90);
    look.strokeWidth.value = 0.15;
  } else if (flat == wkbPoint || flat == wkbMultiPoint) {
    look.kind = SymbolLayerLook::Kind::Marker;
    look.stroke = false;
    look.fill = true;
    look.fillColor = QColor(60, 60, 60);
    look.size.value = 1.5;
  } else {
    look.strokeColor = QColor(60, 60, 60);
    look.strokeWidth.value = 0.2;
  }
  return SymbolLook{{look}};
}

// Sizes in map units count in the units of the map the project shows: a geographic sheet's
// map is shown in its zone's metres.
SymbolScale StyleScale(const MapFrame& frame, const QTransform& toDevice, double pixelsPerMm, double mapScale) {
  const bool inZoneMetres = !frame.documentCrsWkt.empty() && mapScale > 0;
  return SymbolScale{pixelsPerMm, inZoneMetres ? pixelsPerMm * 1000 / mapScale : std::fabs(toDevice.m11())};
}

// The type a kept renderer names, for telling the user which one is not drawn.
std::string RendererType(const std::string& styleXml) {
  const auto element = styleXml.find("<renderer-v2");
  const auto type = element == std::string::npos ? element : styleXml.find("type=\"", element);
  if (type == std::string::npos) return {};
  const auto end = styleXml.find('"', type + 6);
  return end == std::string::npos ? std::string() : styleXml.substr(type + 6, end - type - 6);
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

}  // namespace

OpenedLayer CopyLayerInMemory(OGRLayer& lent) {
  OpenedLayer copy;
  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
  if (memory == nullptr) return copy;
  copy.dataset.reset(memory->Create("", 0, 0, 0, GDT_Unknown, nullptr));
  if (copy.dataset) copy.layer = copy.dataset->CopyLayer(&lent, lent.GetName());
  lent.ResetReading();
  return copy;
}

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
      entry.frame = &frame;
      entry.data = layer->openClass;
      if (entry.data != nullptr && data == Data::OwnCopies) {
        entry.owned = CopyLayerInMemory(*entry.data);
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
          entry.lent = OpenedLayerPool::Borrow(layer->data);
          entry.data = entry.lent.layer();
        } catch (const FramoraError&) {
          missingLayers_.push_back(layer->data.name);
        }
      }
      if (entry.data == nullptr) continue;
      if (layer->role == LayerRole::UserData && !layer->data.styleXml.empty()) {
        entry.style = StyleFromText(layer->data.styleXml,
                                    IsAreaType(entry.data->GetGeomType()) ? StyleKind::Polygons : StyleKind::Lines);
        if (!entry.style) {
          notices_.push_back("图层" + layer->data.name + "的渲染方式" + RendererType(layer->data.styleXml) +
                             "不能绘制，按默认样式绘制");
        } else {
          entry.style->resolveAttribute(*entry.data->GetLayerDefn());
          for (const std::string& kind : entry.style->undrawnSymbolLayers)
            notices_.push_back("图层" + layer->data.name + "的符号层" + kind + "不能绘制，图片中没有它");
          for (const std::string& property : entry.style->fixedProperties)
            notices_.push_back("图层" + layer->data.name + "的符号层设置" + property + "由表达式决定，图片中按固定值绘制");
          for (const std::string& filter : entry.style->unreadableFilters)
            notices_.push_back("图层" + layer->data.name + "的规则条件“" + filter + "”不能读取，该规则没有绘制");
        }
      }
      if (layer->role == LayerRole::UserData && layer->data.labelsEnabled) {
        std::string problem;
        entry.labels = ReadLabelStyle(layer->data.labelingXml, problem);
        if (!problem.empty())
          notices_.push_back("图层" + layer->data.name + "的" + problem + "不能绘制，图片中没有它的标注");
        for (const std::string& property : entry.labels ? entry.labels->fixedProperties : std::set<std::string>{})
          notices_.push_back("图层" + layer->data.name + "的标注设置" + property + "由表达式决定，图片中按固定值绘制");
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
    placeLabels(drawn);
    frames_.push_back(std::move(drawn));
  }
}

void PageRenderer::placeLabels(DrawnFrame& drawn) {
  const MapFrame& frame = *drawn.frame;
  if (!frame.hasExtent()) return;
  const double mapScale = frame.scale(layout_.page);
  std::vector<LabelSource> sources;
  for (auto layer = drawn.layers.rbegin(); layer != drawn.layers.rend(); ++layer)
    if (layer->labels && layer->layer->data.shownAtScale(mapScale))
      sources.push_back({layer->data, layer->toMap.get(), layer->toLayer.get(), &*layer->labels,
                         layer->style ? &*layer->style : nullptr});
  if (sources.empty()) return;
  const QTransform toDevice = mapToDevice(frame, 0);
  const Envelope& extent = frame.extent;
  const OGRGeometryUniquePtr shown = ShownArea(extent.xmin, extent.ymin, extent.xmax, extent.ymax, frame.clipShape.get());
  drawn.labels.place(sources, *shown, toDevice, StyleScale(frame, toDevice, dpi_ / 25.4, mapScale), mapScale);
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
  if (!drawn.sheet) {
    QPainterPath sheet;
    sheet.addRect(pageToDevice(frame.pageEnvelope, 0));
    if (frame.clipShape && !frame.clipShape->IsEmpty()) {
      QPainterPath clip;
      std::vector<QPointF> ignored;
      CollectShape(*frame.clipShape, mapToDevice(frame, 0), clip, ignored);
      clip.setFillRule(Qt::OddEvenFill);
      sheet = sheet.intersected(clip);
    }
    drawn.sheet = std::make_unique<SheetClips>(std::move(sheet));
  }
  // Cut to the band: a clip is rasterised over every row it spans.
  const QPainterPath sheet = CutAreasToRect(drawn.sheet->sheet().translated(0, -firstRow), band.adjusted(-4, -4, 4, 4));
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
        drawFeatures(layerPainter, layer, toDevice, &area, mapScale, *drawn.sheet, firstRow, band);
      }
      painter.save();
      painter.setOpacity(painter.opacity() * layer.layer->data.opacity);
      painter.drawImage(QPoint(0, 0), layerImage);
      painter.restore();
    } else {
      drawFeatures(painter, layer, toDevice, &area, mapScale, *drawn.sheet, firstRow, band);
    }
  }
  drawn.labels.draw(painter, firstRow, rowCount);
  painter.restore();
}

void PageRenderer::drawFeatures(QPainter& painter, const DrawnLayer& drawn, const QTransform& toDevice,
                                const OGREnvelope* area, double mapScale, SheetClips& sheet, int firstRow,
                                const QRectF& band) {
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
  const LayerStyle* style = layer.role == LayerRole::SheetLines      ? &styles_.lines
                            : layer.role == LayerRole::SheetPolygons ? &styles_.polygons
                            : drawn.style                            ? &*drawn.style
                                                                     : nullptr;
  const SymbolLook userLook = UserDataLook(data.GetGeomType());
  // The sheet's own lines keep the sheet's clip; the user's outlines are drawn whole.
  BandClips clips(layer.role == LayerRole::UserData ? &sheet : nullptr, firstRow, band);
  const SymbolScale symbolScale = StyleScale(*drawn.frame, toDevice, pixelsPerMm, mapScale);
  painter.save();
  // By symbol levels every level is one pass over the features, the lowest first.
  const bool byLevels = style != nullptr && style->symbolLevels;
  const std::set<int> passes = byLevels ? style->passes() : std::set<int>{-1};
  std::vector<const SymbolLook*> looks;
  for (const int pass : passes) {
    data.ResetReading();
    for (auto& feature : data) {
      const OGRGeometry* geometry = feature->GetGeometryRef();
      if (geometry == nullptr || geometry->IsEmpty()) continue;
      if (style != nullptr)
        style->looksFor(FeatureFields(*feature), mapScale, looks);
      else
        looks.assign(1, &userLook);
      if (looks.empty()) continue;
      OGRGeometryUniquePtr transformed;
      if (drawn.toMap) {
        transformed.reset(geometry->clone());
        if (transformed->transform(drawn.toMap.get()) != OGRERR_NONE) continue;
        geometry = transformed.get();
      }
      DeviceShape shape;
      shape.path.setFillRule(Qt::OddEvenFill);
      CollectShape(*geometry, toDevice, shape.path, shape.points);
      const OGRwkbGeometryType flat = wkbFlatten(geometry->getGeometryType());
      shape.areas = flat == wkbPolygon || flat == wkbMultiPolygon || flat == wkbCurvePolygon ||
                    flat == wkbMultiSurface || flat == wkbGeometryCollection;
      for (const SymbolLook* look : looks) PaintSymbol(painter, shape, *look, symbolScale, clips, pass);
    }
  }
  painter.restore();
  data.SetSpatialFilter(nullptr);
}

}  // namespace framora
