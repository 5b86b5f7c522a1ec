#pragma once

#include <QPainter>
#include <QRectF>
#include <QTransform>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <string>
#include <vector>

#include "gis/map_document.h"

namespace framora {

// How the project's raster renderer turns pixel values into colours.
struct RasterLook {
  enum class Kind { MultibandColor, SingleBandGray, Paletted, PseudoColor };
  struct Stretch {
    double min = 0;
    double max = 255;
    bool enabled = false;
  };
  struct RampItem {
    double value = 0;
    QColor color;
  };
  Kind kind = Kind::MultibandColor;
  int bands[3] = {1, 2, 3};  // red, green, blue; the first alone for single-band kinds
  Stretch stretches[3];
  bool whiteToBlack = false;
  std::vector<RampItem> items;  // palette entries or ramp items, by value
  enum class Ramp { Interpolated, Discrete, Exact } ramp = Ramp::Interpolated;
  double opacity = 1;
  // As QGIS chooses: one when the image is drawn smaller than it is stored, one when larger;
  // bilinear where the project leaves it open.
  GDALRIOResampleAlg resampling = GRIORA_Bilinear;
  GDALRIOResampleAlg enlargingResampling = GRIORA_Bilinear;

  // From the layer's pipe as the map document keeps it; empty: QGIS's default for the
  // image (colour from the first three bands, grey from a single one). Sets unknown to the
  // renderer's type when it is not one of these.
  static RasterLook FromPipe(const std::string& pipeXml, int bandCount, std::string& unknown);
  QRgb colorOf(const double* values) const;  // values: one per band in use
  int bandsInUse() const { return kind == Kind::MultibandColor ? 3 : 1; }
};

// A raster layer of the user's map, read at the resolution of what is drawn, a band of
// rows at a time, warped into the map's coordinate system when its own differs.
class RasterLayerDrawing {
 public:
  // Throws FramoraError when the image cannot be opened.
  RasterLayerDrawing(const MapLayer& layer, const OGRSpatialReference& mapSrs);
  // The renderer type that is drawn as the default look instead; empty when understood.
  const std::string& unknownRenderer() const { return unknown_; }
  // Draws the image where it falls inside area (device pixels) under the painter's clip.
  void draw(QPainter& painter, const QTransform& mapToDevice, const QRectF& area) const;

 private:
  // Rows of the image from (column, row), so many image pixels to a device pixel, drawn at at.
  void drawRows(QPainter& painter, QPoint at, double column, double row, double perColumn, double perRow, int outWidth,
                int outHeight) const;
  GDALDatasetUniquePtr source_;
  GDALDatasetUniquePtr warped_;  // the source in the map's coordinate system, when needed
  GDALDataset* image_ = nullptr;
  RasterLook look_;
  std::string unknown_;
};

}  // namespace framora
