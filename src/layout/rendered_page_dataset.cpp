#include "layout/rendered_page_dataset.h"

#include <QPainter>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace framora {

namespace {

class RenderedPageBand final : public GDALRasterBand {
 public:
  RenderedPageBand(RenderedPageDataset& dataset, int band) {
    poDS = &dataset;
    nBand = band;
    nRasterXSize = dataset.GetRasterXSize();
    nRasterYSize = dataset.GetRasterYSize();
    eDataType = GDT_Byte;
    nBlockXSize = nRasterXSize;
    nBlockYSize = 1;
  }

  GDALColorInterp GetColorInterpretation() override {
    return nBand == 1 ? GCI_RedBand : nBand == 2 ? GCI_GreenBand : GCI_BlueBand;
  }

 protected:
  CPLErr IReadBlock(int, int blockRow, void* data) override {
    const int bandMap[] = {nBand};
    return page().readWindow(0, blockRow, nRasterXSize, 1, 1, bandMap, data, GDT_Byte, 1, nRasterXSize, 0);
  }

  CPLErr IRasterIO(GDALRWFlag flag, int xOffset, int yOffset, int xSize, int ySize, void* buffer, int bufferXSize,
                   int bufferYSize, GDALDataType bufferType, GSpacing pixelSpace, GSpacing lineSpace,
                   GDALRasterIOExtraArg* extra) override {
    if (flag != GF_Read) return CE_Failure;
    if (bufferXSize != xSize || bufferYSize != ySize)
      return GDALRasterBand::IRasterIO(flag, xOffset, yOffset, xSize, ySize, buffer, bufferXSize, bufferYSize,
                                       bufferType, pixelSpace, lineSpace, extra);
    const int bandMap[] = {nBand};
    return page().readWindow(xOffset, yOffset, xSize, ySize, 1, bandMap, buffer, bufferType, pixelSpace, lineSpace, 0);
  }

 private:
  RenderedPageDataset& page() { return *static_cast<RenderedPageDataset*>(poDS); }
};

}  // namespace

RenderedPageDataset::RenderedPageDataset(PageRenderer& renderer, int width, int height, const Georeference& where,
                                         size_t bandBudgetBytes, bool drawAhead, int rowMultiple)
    : renderer_(renderer), where_(where), drawAhead_(drawAhead) {
  nRasterXSize = width;
  nRasterYSize = height;
  const size_t rowBytes = static_cast<size_t>(std::max(width, 1)) * 4;
  const size_t multiple = static_cast<size_t>(std::max(rowMultiple, 1));
  const size_t rows = std::max(bandBudgetBytes / rowBytes / multiple, size_t{1}) * multiple;
  rowsPerBand_ = static_cast<int>(std::clamp<size_t>(rows, 1, std::max(height, 1)));
  renderers_.push_back(&renderer_);
  if (rowsPerBand_ >= height) drawAhead_ = false;  // one band: nothing to draw ahead
  // Two bands are drawn at once where the page has enough of them to pay for a second
  // renderer (the user's layers lent again, the sheet's classes copied).
  constexpr int kBandsForTwoRenderers = 2;
  if (drawAhead_ && (height + rowsPerBand_ - 1) / rowsPerBand_ >= kBandsForTwoRenderers)
    if (PageRenderer* twin = renderer.twin()) renderers_.push_back(twin);
  if (!where_.srsWkt.empty() && srs_.importFromWkt(where_.srsWkt.c_str()) == OGRERR_NONE)
    srs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const int bands = 3;
  // GDAL owns its bands and frees them with the dataset.
  for (int band = 1; band <= bands; ++band) SetBand(band, std::make_unique<RenderedPageBand>(*this, band).release());
  rowSamples_.resize(static_cast<size_t>(width) * bands);
}

RenderedPageDataset::~RenderedPageDataset() {
  // The renderers and the bands outlive every drawing of theirs.
  for (Ahead& band : ahead_)
    if (band.drawing.valid()) band.drawing.wait();
}

bool RenderedPageDataset::allocate(QImage& image) const {
  if (!image.isNull()) return true;
  image = QImage(nRasterXSize, rowsPerBand_, QImage::Format_RGB32);
  if (image.isNull()) return false;  // no memory for even one band
  const int dotsPerMetre = static_cast<int>(std::lround(renderer_.dpi() / 0.0254));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  return true;
}

PageRenderer& RenderedPageDataset::rendererOf(int top) const {
  return *renderers_[static_cast<size_t>(top / rowsPerBand_) % renderers_.size()];
}

std::vector<GByte> RenderedPageDataset::draw(PageRenderer& renderer, QImage& image, int top) const {
  const int rows = std::min(rowsPerBand_, nRasterYSize - top);
  image.fill(Qt::white);  // the same white without the painter's compositing
  QPainter painter(&image);
  renderer.drawRows(painter, top, rows, nRasterXSize, false);
  painter.end();
  return encoder_ ? encoder_(image, rows) : std::vector<GByte>{};
}

bool RenderedPageDataset::startAhead(int top) {
  QImage image;
  if (!spare_.empty()) {
    image = std::move(spare_.back());
    spare_.pop_back();
  }
  if (!allocate(image)) return false;  // drawn in turn when its rows are asked for
  ahead_.push_back(Ahead{top, std::move(image), {}});
  QImage& target = ahead_.back().image;  // a deque keeps its elements in place
  PageRenderer& renderer = rendererOf(top);
  auto drawing = std::make_shared<std::packaged_task<DrawnBand()>>([this, &renderer, &target, top] {
    CPLErrorReset();
    std::vector<GByte> encoded = draw(renderer, target, top);
    return DrawnBand{CPLGetLastErrorType(), CPLGetLastErrorNo(), CPLGetLastErrorMsg(), std::move(encoded)};
  });
  ahead_.back().drawing = drawing->get_future();
  // Qt's threads live on from page to page, and with them the fonts they have loaded.
  QThreadPool::globalInstance()->start([drawing] { (*drawing)(); });
  return true;
}

void RenderedPageDataset::takeAhead() {
  DrawnBand drawn;
  try {
    drawn = ahead_.front().drawing.get();
  } catch (...) {
    ahead_.pop_front();
    throw;  // what drawing threw
  }
  if (drawn.errorType != CE_None)
    CPLErrorSetState(drawn.errorType, drawn.errorNumber, drawn.errorMessage.c_str());
  if (!band_.isNull()) spare_.push_back(std::move(band_));
  band_ = std::move(ahead_.front().image);
  bandEncoded_ = std::move(drawn.encoded);
  ahead_.pop_front();
}

void RenderedPageDataset::dropAhead() {
  for (Ahead& band : ahead_) band.drawing.wait();
  std::deque<Ahead> dropped;
  dropped.swap(ahead_);
  for (Ahead& band : dropped) {
    spare_.push_back(std::move(band.image));
    band.drawing.get();  // what drawing threw is thrown here
  }
}

CPLErr RenderedPageDataset::GetGeoTransform(double* transform) {
  std::copy(std::begin(where_.transform), std::end(where_.transform), transform);
  return where_.valid ? CE_None : CE_Failure;
}

const OGRSpatialReference* RenderedPageDataset::GetSpatialRef() const { return srs_.IsEmpty() ? nullptr : &srs_; }

bool RenderedPageDataset::bring(int row) {
  if (stopped_) return false;
  if (bandTop_ < 0 || row < bandTop_ || row >= bandTop_ + rowsPerBand_) {
    if (stopCheck_ && stopCheck_()) {
      stopped_ = true;
      return false;
    }
    const int top = row / rowsPerBand_ * rowsPerBand_;
    bandTop_ = -1;
    // Rows out of turn: what is drawn ahead is finished before the renderers draw again.
    if (!ahead_.empty() && ahead_.front().top != top) dropAhead();
    // This band too is drawn on a thread of the pool, beside the ones below it.
    drawAheadFrom(top);
    if (!ahead_.empty()) {
      takeAhead();
    } else {
      if (!allocate(band_)) return false;
      bandEncoded_ = draw(rendererOf(top), band_, top);
    }
    bandTop_ = top;
    ++bandsDrawn_;
    convertedRow_ = -1;
    drawAheadFrom(top + rowsPerBand_);
  }
  return true;
}

void RenderedPageDataset::drawAheadFrom(int top) {
  if (!drawAhead_) return;
  int next = ahead_.empty() ? top : ahead_.back().top + rowsPerBand_;
  for (; ahead_.size() < renderers_.size() && next < nRasterYSize; next += rowsPerBand_)
    if (!startAhead(next)) break;
}

const QRgb* RenderedPageDataset::drawnRow(int row) {
  if (!bring(row)) return nullptr;
  return reinterpret_cast<const QRgb*>(band_.constScanLine(row - bandTop_));
}

const std::vector<GByte>* RenderedPageDataset::encodedBand(int top) {
  if (!bring(top)) return nullptr;
  return &bandEncoded_;
}

const GByte* RenderedPageDataset::pixelRow(int row) {
  const QRgb* pixels = drawnRow(row);
  if (pixels == nullptr) return nullptr;
  if (row != convertedRow_) {
    GByte* out = rowSamples_.data();
    for (int x = 0; x < nRasterXSize; ++x) {
      const QRgb pixel = pixels[x];
      *out++ = static_cast<GByte>(qRed(pixel));
      *out++ = static_cast<GByte>(qGreen(pixel));
      *out++ = static_cast<GByte>(qBlue(pixel));
    }
    convertedRow_ = row;
  }
  return rowSamples_.data();
}

CPLErr RenderedPageDataset::readWindow(int xOffset, int yOffset, int xSize, int ySize, int bandCount,
                                       const int* bandMap, void* buffer, GDALDataType bufferType, GSpacing pixelSpace,
                                       GSpacing lineSpace, GSpacing bandSpace) {
  constexpr int samples = 3;
  bool inOrder = bandCount == samples && bufferType == GDT_Byte && pixelSpace == samples && bandSpace == 1;
  for (int i = 0; inOrder && bandMap != nullptr && i < bandCount; ++i) inOrder = bandMap[i] == i + 1;
  for (int y = 0; y < ySize; ++y) {
    const GByte* row = pixelRow(yOffset + y);
    if (row == nullptr) return CE_Failure;
    if (inOrder) {  // the buffer wants the row as it is
      std::memcpy(static_cast<GByte*>(buffer) + y * lineSpace, row + static_cast<size_t>(xOffset) * samples,
                  static_cast<size_t>(xSize) * samples);
      continue;
    }
    for (int i = 0; i < bandCount; ++i) {
      const int band = bandMap != nullptr ? bandMap[i] : i + 1;
      if (band < 1 || band > samples) return CE_Failure;
      GByte* target = static_cast<GByte*>(buffer) + y * lineSpace + i * bandSpace;
      GDALCopyWords64(row + static_cast<size_t>(xOffset) * samples + (band - 1), GDT_Byte, samples, target, bufferType,
                      static_cast<int>(pixelSpace), xSize);
    }
  }
  return CE_None;
}

CPLErr RenderedPageDataset::IRasterIO(GDALRWFlag flag, int xOffset, int yOffset, int xSize, int ySize, void* buffer,
                                      int bufferXSize, int bufferYSize, GDALDataType bufferType, int bandCount,
                                      int* bandMap, GSpacing pixelSpace, GSpacing lineSpace, GSpacing bandSpace,
                                      GDALRasterIOExtraArg* extra) {
  if (flag != GF_Read) return CE_Failure;
  if (bufferXSize != xSize || bufferYSize != ySize)
    return GDALDataset::IRasterIO(flag, xOffset, yOffset, xSize, ySize, buffer, bufferXSize, bufferYSize, bufferType,
                                  bandCount, bandMap, pixelSpace, lineSpace, bandSpace, extra);
  return readWindow(xOffset, yOffset, xSize, ySize, bandCount, bandMap, buffer, bufferType, pixelSpace, lineSpace,
                    bandSpace);
}

}  // namespace framora
