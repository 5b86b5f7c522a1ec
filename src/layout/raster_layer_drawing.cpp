#include "layout/raster_layer_drawing.h"

#include <QImage>

#include <gdalwarper.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "util/framora_error.h"

namespace framora {

namespace {

struct XmlDeleter {
  void operator()(CPLXMLNode* node) const { CPLDestroyXMLNode(node); }
};

double Number(const CPLXMLNode* node, const char* path, double fallback) {
  const char* text = CPLGetXMLValue(node, path, nullptr);
  return text != nullptr && *text != '\0' ? CPLAtof(text) : fallback;
}

QColor ColorOf(const CPLXMLNode* node) {
  QColor color(QString::fromUtf8(CPLGetXMLValue(node, "color", "#000000")));
  color.setAlpha(std::atoi(CPLGetXMLValue(node, "alpha", "255")));
  return color;
}

RasterLook::Stretch StretchOf(const CPLXMLNode* enhancement) {
  RasterLook::Stretch stretch;
  if (enhancement == nullptr) return stretch;
  const std::string algorithm = CPLGetXMLValue(enhancement, "algorithm", "");
  stretch.enabled = algorithm != "NoEnhancement";
  stretch.min = Number(enhancement, "minValue", 0);
  stretch.max = Number(enhancement, "maxValue", 255);
  return stretch;
}

int Scaled(double value, const RasterLook::Stretch& stretch) {
  if (!stretch.enabled) return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
  if (stretch.max <= stretch.min) return value >= stretch.max ? 255 : 0;
  return std::clamp(static_cast<int>(std::lround((value - stretch.min) / (stretch.max - stretch.min) * 255)), 0, 255);
}

GDALRIOResampleAlg ResamplingOf(const char* name) {
  const std::string text = name ? name : "";
  if (text == "nearestNeighbour") return GRIORA_NearestNeighbour;
  if (text == "cubic") return GRIORA_Cubic;
  return GRIORA_Bilinear;
}

}  // namespace

RasterLook RasterLook::FromPipe(const std::string& pipeXml, int bandCount, std::string& unknown) {
  RasterLook look;
  if (bandCount < 3) look.kind = Kind::SingleBandGray;
  std::unique_ptr<CPLXMLNode, XmlDeleter> root(pipeXml.empty() ? nullptr : CPLParseXMLString(pipeXml.c_str()));
  const CPLXMLNode* pipe = root ? CPLGetXMLNode(root.get(), "=qgis.pipe") : nullptr;
  const CPLXMLNode* renderer = pipe ? CPLGetXMLNode(pipe, "rasterrenderer") : nullptr;
  if (renderer == nullptr) return look;
  if (const CPLXMLNode* resampler = CPLGetXMLNode(pipe, "rasterresampler")) {
    look.resampling = ResamplingOf(CPLGetXMLValue(resampler, "zoomedOutResampler", nullptr));
    look.enlargingResampling = ResamplingOf(CPLGetXMLValue(resampler, "zoomedInResampler", nullptr));
  }
  look.opacity = Number(renderer, "opacity", 1);
  const std::string type = CPLGetXMLValue(renderer, "type", "");
  if (type == "multibandcolor") {
    look.kind = Kind::MultibandColor;
    const char* bandNames[3] = {"redBand", "greenBand", "blueBand"};
    const char* stretchNames[3] = {"redContrastEnhancement", "greenContrastEnhancement", "blueContrastEnhancement"};
    for (int i = 0; i < 3; ++i) {
      look.bands[i] = static_cast<int>(Number(renderer, bandNames[i], i + 1));
      look.stretches[i] = StretchOf(CPLGetXMLNode(renderer, stretchNames[i]));
    }
  } else if (type == "singlebandgray") {
    look.kind = Kind::SingleBandGray;
    look.bands[0] = static_cast<int>(Number(renderer, "grayBand", 1));
    look.stretches[0] = StretchOf(CPLGetXMLNode(renderer, "contrastEnhancement"));
    look.whiteToBlack = EQUAL(CPLGetXMLValue(renderer, "gradient", ""), "WhiteToBlack");
  } else if (type == "paletted") {
    look.kind = Kind::Paletted;
    look.bands[0] = static_cast<int>(Number(renderer, "band", 1));
    look.ramp = Ramp::Exact;
    if (const CPLXMLNode* palette = CPLGetXMLNode(renderer, "colorPalette"))
      for (const CPLXMLNode* entry = palette->psChild; entry; entry = entry->psNext)
        if (entry->eType == CXT_Element && EQUAL(entry->pszValue, "paletteEntry"))
          look.items.push_back({Number(entry, "value", 0), ColorOf(entry)});
  } else if (type == "singlebandpseudocolor") {
    look.kind = Kind::PseudoColor;
    look.bands[0] = static_cast<int>(Number(renderer, "band", 1));
    if (const CPLXMLNode* shader = CPLGetXMLNode(renderer, "rastershader.colorrampshader")) {
      const std::string rampType = CPLGetXMLValue(shader, "colorRampType", "INTERPOLATED");
      look.ramp = rampType == "DISCRETE" ? Ramp::Discrete : rampType == "EXACT" ? Ramp::Exact : Ramp::Interpolated;
      for (const CPLXMLNode* item = shader->psChild; item; item = item->psNext)
        if (item->eType == CXT_Element && EQUAL(item->pszValue, "item"))
          look.items.push_back({Number(item, "value", 0), ColorOf(item)});
    }
  } else {
    unknown = type;
  }
  std::sort(look.items.begin(), look.items.end(), [](const RampItem& a, const RampItem& b) { return a.value < b.value; });
  return look;
}

QRgb RasterLook::colorOf(const double* values) const {
  switch (kind) {
    case Kind::MultibandColor:
      return qRgb(Scaled(values[0], stretches[0]), Scaled(values[1], stretches[1]), Scaled(values[2], stretches[2]));
    case Kind::SingleBandGray: {
      const int grey = Scaled(values[0], stretches[0]);
      return whiteToBlack ? qRgb(255 - grey, 255 - grey, 255 - grey) : qRgb(grey, grey, grey);
    }
    case Kind::Paletted:
    case Kind::PseudoColor:
      break;
  }
  const double value = values[0];
  if (items.empty()) return 0;
  if (ramp == Ramp::Exact) {
    for (const RampItem& item : items)
      if (std::abs(item.value - value) < 1e-9) return item.color.rgba();
    return 0;
  }
  // The first item whose value is not below the pixel's.
  const auto upper = std::lower_bound(items.begin(), items.end(), value,
                                      [](const RampItem& item, double v) { return item.value < v; });
  if (ramp == Ramp::Discrete) return upper == items.end() ? 0 : upper->color.rgba();
  if (upper == items.begin()) return items.front().color.rgba();
  if (upper == items.end()) return items.back().color.rgba();
  const RampItem& low = *(upper - 1);
  const double t = (value - low.value) / (upper->value - low.value);
  const auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
  return qRgba(mix(low.color.red(), upper->color.red()), mix(low.color.green(), upper->color.green()),
               mix(low.color.blue(), upper->color.blue()), mix(low.color.alpha(), upper->color.alpha()));
}

RasterLayerDrawing::RasterLayerDrawing(const MapLayer& layer, const OGRSpatialReference& mapSrs) {
  source_.reset(GDALDataset::Open(layer.source.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!source_ || source_->GetRasterCount() == 0) throw FramoraError("不能打开影像" + layer.source);
  image_ = source_.get();
  OGRSpatialReference own;
  if (!layer.crsWkt.empty()) own.importFromWkt(layer.crsWkt.c_str());
  else if (const OGRSpatialReference* declared = source_->GetSpatialRef()) own = *declared;
  const char* sameOptions[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
  double transform[6];
  const bool northUp = source_->GetGeoTransform(transform) == CE_None && transform[2] == 0 && transform[4] == 0;
  if (!mapSrs.IsEmpty() && !own.IsEmpty() && (!mapSrs.IsSame(&own, sameOptions) || !northUp)) {
    char* ownWkt = nullptr;
    char* mapWkt = nullptr;
    own.exportToWkt(&ownWkt);
    mapSrs.exportToWkt(&mapWkt);
    warped_.reset(GDALDataset::FromHandle(
        GDALAutoCreateWarpedVRT(GDALDataset::ToHandle(source_.get()), ownWkt, mapWkt, GRA_Bilinear, 0.125, nullptr)));
    CPLFree(ownWkt);
    CPLFree(mapWkt);
    if (!warped_) throw FramoraError("不能把影像" + layer.source + "转换到地图的坐标系");
    image_ = warped_.get();
  }
  look_ = RasterLook::FromPipe(layer.styleXml, image_->GetRasterCount(), unknown_);
  look_.opacity *= layer.opacity;
  for (int& band : look_.bands) band = std::clamp(band, 1, image_->GetRasterCount());
}

void RasterLayerDrawing::draw(QPainter& painter, const QTransform& mapToDevice, const QRectF& area) const {
  double transform[6];
  if (image_->GetGeoTransform(transform) != CE_None || transform[1] == 0 || transform[5] == 0) return;
  const QRect target = area.toAlignedRect();
  if (target.isEmpty()) return;
  const QTransform toMap = mapToDevice.inverted();
  const int width = image_->GetRasterXSize();
  const int height = image_->GetRasterYSize();
  // The image's pixels under each device pixel edge, then cut to the image.
  const QPointF topLeft = toMap.map(QPointF(target.left(), target.top()));
  const QPointF bottomRight = toMap.map(QPointF(target.left() + target.width(), target.top() + target.height()));
  const double col0 = (topLeft.x() - transform[0]) / transform[1];
  const double row0 = (topLeft.y() - transform[3]) / transform[5];
  const double col1 = (bottomRight.x() - transform[0]) / transform[1];
  const double row1 = (bottomRight.y() - transform[3]) / transform[5];
  const double perColumn = (col1 - col0) / target.width();
  const double perRow = (row1 - row0) / target.height();
  if (perColumn <= 0 || perRow <= 0) return;
  const int firstX = std::max(0, static_cast<int>(std::ceil((0 - col0) / perColumn - 1e-9)));
  const int firstY = std::max(0, static_cast<int>(std::ceil((0 - row0) / perRow - 1e-9)));
  const int endX = std::min(target.width(), static_cast<int>(std::floor((width - col0) / perColumn + 1e-9)));
  const int endY = std::min(target.height(), static_cast<int>(std::floor((height - row0) / perRow + 1e-9)));
  if (endX <= firstX || endY <= firstY) return;
  const int outWidth = endX - firstX;
  // A few rows at a time, so that the values read stay small beside the page's band.
  const int used = look_.bandsInUse();
  constexpr size_t kChunkBytes = 8u << 20;
  const int chunkRows = std::max(1, static_cast<int>(kChunkBytes / (static_cast<size_t>(outWidth) * used * sizeof(double))));
  for (int chunkTop = firstY; chunkTop < endY; chunkTop += chunkRows)
    drawRows(painter, QPoint(target.left() + firstX, target.top() + chunkTop), col0 + firstX * perColumn,
             row0 + chunkTop * perRow, perColumn, perRow, outWidth, std::min(chunkRows, endY - chunkTop));
}

void RasterLayerDrawing::drawRows(QPainter& painter, QPoint at, double column, double row, double perColumn,
                                  double perRow, int outWidth, int outHeight) const {
  const int width = image_->GetRasterXSize();
  const int height = image_->GetRasterYSize();
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = perColumn < 1 ? look_.enlargingResampling : look_.resampling;
  extra.bFloatingPointWindowValidity = TRUE;
  extra.dfXOff = column;
  extra.dfYOff = row;
  extra.dfXSize = outWidth * perColumn;
  extra.dfYSize = outHeight * perRow;
  const int xOff = std::clamp(static_cast<int>(std::floor(extra.dfXOff)), 0, width - 1);
  const int yOff = std::clamp(static_cast<int>(std::floor(extra.dfYOff)), 0, height - 1);
  const int xSize = std::clamp(static_cast<int>(std::ceil(extra.dfXOff + extra.dfXSize)) - xOff, 1, width - xOff);
  const int ySize = std::clamp(static_cast<int>(std::ceil(extra.dfYOff + extra.dfYSize)) - yOff, 1, height - yOff);

  // One band of values at a time.
  const int used = look_.bandsInUse();
  std::vector<double> values(static_cast<size_t>(outWidth) * outHeight * used);
  std::vector<unsigned char> empty(static_cast<size_t>(outWidth) * outHeight, 0);
  std::vector<double> read(static_cast<size_t>(outWidth) * outHeight);
  for (int b = 0; b < used; ++b) {
    GDALRasterBand* band = image_->GetRasterBand(look_.bands[b]);
    if (band->RasterIO(GF_Read, xOff, yOff, xSize, ySize, read.data(), outWidth, outHeight, GDT_Float64, 0, 0, &extra) !=
        CE_None)
      return;
    int hasNoData = FALSE;
    const double noData = band->GetNoDataValue(&hasNoData);
    for (size_t i = 0; i < read.size(); ++i) {
      values[i * used + b] = read[i];
      if (hasNoData && read[i] == noData) empty[i] = 1;
    }
    // Pixels outside a warped image's footprint carry no data: its mask says so.
    if (warped_ && b == 0) {
      std::vector<unsigned char> mask(read.size());
      if (band->GetMaskBand()->RasterIO(GF_Read, xOff, yOff, xSize, ySize, mask.data(), outWidth, outHeight, GDT_Byte, 0,
                                        0, &extra) == CE_None)
        for (size_t i = 0; i < mask.size(); ++i)
          if (mask[i] < 128) empty[i] = 1;
    }
  }
  QImage picture(outWidth, outHeight, QImage::Format_ARGB32);
  for (int y = 0; y < outHeight; ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < outWidth; ++x) {
      const size_t i = static_cast<size_t>(y) * outWidth + x;
      line[x] = empty[i] ? 0 : look_.colorOf(&values[i * used]);
    }
  }
  painter.save();
  painter.setOpacity(painter.opacity() * look_.opacity);
  painter.drawImage(at, picture);
  painter.restore();
}

}  // namespace framora
