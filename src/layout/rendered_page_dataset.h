#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QImage>

#include <deque>
#include <functional>
#include <future>
#include <vector>

#include "layout/page_renderer.h"

namespace framora {

// Where the picture stands on the map: GDAL's six geotransform numbers and the
// coordinate system.
struct Georeference {
  bool valid = false;
  double transform[6] = {0, 1, 0, 0, 0, -1};
  std::string srsWkt;
};

// Asked between the bands of a picture, on the thread that reads its rows; true stops it.
using StopCheck = std::function<bool()>;

// Codes a band of drawn rows (the first rows of band) on the thread that drew it, so that coding
// runs beside drawing; empty when it fails.
using BandEncoder = std::function<std::vector<GByte>(const QImage& band, int rows)>;

// A read-only raster whose rows are drawn when they are asked for, one band of rows at a
// time, so that a GDAL driver can copy a page of any size from it while only one band is
// held in memory. Rows are best read from the top down: then, drawing ahead, the band below
// is drawn on another thread while the rows of this one are encoded (two bands in memory),
// and on pages of many bands the two bands below at once by the renderer and its twin (four).
class RenderedPageDataset final : public GDALDataset {
 public:
  // RGB in three bands. The renderer is only used by one thread at a time. Bands hold a
  // multiple of rowMultiple rows (but the last).
  RenderedPageDataset(PageRenderer& renderer, int width, int height, const Georeference& where,
                      size_t bandBudgetBytes, bool drawAhead = false, int rowMultiple = 1);
  ~RenderedPageDataset() override;

  CPLErr GetGeoTransform(double* transform) override;
  const OGRSpatialReference* GetSpatialRef() const override;

  int rowsPerBand() const { return rowsPerBand_; }
  int bandsDrawn() const { return bandsDrawn_; }
  // Asked before each band is drawn; once it answers yes no row is given any more.
  void setStopCheck(StopCheck check) { stopCheck_ = std::move(check); }
  // Set before any row is read: every band is coded as soon as it is drawn.
  void setBandEncoder(BandEncoder encoder) { encoder_ = std::move(encoder); }
  bool stopped() const { return stopped_; }

  // The samples of one picture row, interleaved RGB.
  // nullptr when there is no memory to draw it.
  const GByte* pixelRow(int row);
  // One picture row as drawn, 0xffRRGGBB a pixel; valid until another band is drawn.
  const QRgb* drawnRow(int row);
  // The band beginning at row top as the band encoder coded it; nullptr when the page is
  // stopped or there is no memory to draw it.
  const std::vector<GByte>* encodedBand(int top);
  // Copies a window at full resolution into a caller's buffer.
  CPLErr readWindow(int xOffset, int yOffset, int xSize, int ySize, int bandCount, const int* bandMap, void* buffer,
                    GDALDataType bufferType, GSpacing pixelSpace, GSpacing lineSpace, GSpacing bandSpace);

 protected:
  CPLErr IRasterIO(GDALRWFlag flag, int xOffset, int yOffset, int xSize, int ySize, void* buffer, int bufferXSize,
                   int bufferYSize, GDALDataType bufferType, int bandCount, int* bandMap, GSpacing pixelSpace,
                   GSpacing lineSpace, GSpacing bandSpace, GDALRasterIOExtraArg* extra) override;

 private:
  // A band drawn, or being drawn, away from the reading thread; GDAL's error state is per
  // thread, so a failure while drawing travels back with it.
  struct DrawnBand {
    CPLErr errorType = CE_None;
    int errorNumber = 0;
    std::string errorMessage;
    std::vector<GByte> encoded;
  };
  struct Ahead {
    int top = 0;
    QImage image;
    std::future<DrawnBand> drawing;
  };
  bool allocate(QImage& image) const;
  // Makes the band holding row the current one; false when stopped or out of memory.
  bool bring(int row);
  // Bands are dealt out to the renderers in turn, so that no renderer draws two at once.
  PageRenderer& rendererOf(int top) const;
  // Draws the band at top, and codes it when there is an encoder.
  std::vector<GByte> draw(PageRenderer& renderer, QImage& image, int top) const;
  bool startAhead(int top);
  // Keeps every renderer drawing, the band at top first when none is drawn ahead.
  void drawAheadFrom(int top);
  void takeAhead();
  void dropAhead();

  PageRenderer& renderer_;
  Georeference where_;
  OGRSpatialReference srs_;
  int rowsPerBand_;
  QImage band_;
  std::vector<GByte> bandEncoded_;
  BandEncoder encoder_;
  int bandTop_ = -1;
  int bandsDrawn_ = 0;
  bool drawAhead_ = false;
  std::vector<PageRenderer*> renderers_;
  std::deque<Ahead> ahead_;  // top down, consecutive bands
  std::vector<QImage> spare_;
  StopCheck stopCheck_;
  bool stopped_ = false;
  int convertedRow_ = -1;
  std::vector<GByte> rowSamples_;
};

}  // namespace framora
