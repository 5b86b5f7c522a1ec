#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QImage>

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

// A read-only raster whose rows are drawn when they are asked for, one band of rows at a
// time, so that a GDAL driver can copy a page of any size from it while only one band is
// held in memory. Rows are best read from the top down.
class RenderedPageDataset final : public GDALDataset {
 public:
  // RGB in three bands.
  RenderedPageDataset(PageRenderer& renderer, int width, int height, const Georeference& where,
                      size_t bandBudgetBytes);

  CPLErr GetGeoTransform(double* transform) override;
  const OGRSpatialReference* GetSpatialRef() const override;

  int rowsPerBand() const { return rowsPerBand_; }
  int bandsDrawn() const { return bandsDrawn_; }

  // The samples of one picture row, interleaved RGB.
  // nullptr when there is no memory to draw it.
  const GByte* pixelRow(int row);
  // One picture row as drawn, 0xffRRGGBB a pixel; valid until another band is drawn.
  const QRgb* drawnRow(int row);
  // Copies a window at full resolution into a caller's buffer.
  CPLErr readWindow(int xOffset, int yOffset, int xSize, int ySize, int bandCount, const int* bandMap, void* buffer,
                    GDALDataType bufferType, GSpacing pixelSpace, GSpacing lineSpace, GSpacing bandSpace);

 protected:
  CPLErr IRasterIO(GDALRWFlag flag, int xOffset, int yOffset, int xSize, int ySize, void* buffer, int bufferXSize,
                   int bufferYSize, GDALDataType bufferType, int bandCount, int* bandMap, GSpacing pixelSpace,
                   GSpacing lineSpace, GSpacing bandSpace, GDALRasterIOExtraArg* extra) override;

 private:
  PageRenderer& renderer_;
  Georeference where_;
  OGRSpatialReference srs_;
  int rowsPerBand_;
  QImage band_;
  int bandTop_ = -1;
  int bandsDrawn_ = 0;
  int convertedRow_ = -1;
  std::vector<GByte> rowSamples_;
};

}  // namespace framora
