#pragma once

#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/frame_builder.h"
#include "gis/gdal_setup.h"
#include "gis/map_document.h"
#include "layout/page_layout_control.h"
#include "layout/sample_sheet.h"
#include "support/sheet_writer.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora::testing {

// A 100 mm square page in the sample's coordinate system, its one map "Layers" filling it and
// showing extent.
inline PageLayout SquareMapPage(const Envelope& extent) {
  PageLayout layout;
  layout.page = Page{100, 100, kUnitMillimetres};
  char* wkt = nullptr;
  SampleReference().exportToWkt(&wkt);
  layout.spatialReferenceWkt = wkt;
  CPLFree(wkt);
  MapFrame frame;
  frame.name = "Layers";
  frame.pageEnvelope = Envelope{0, 0, 100, 100};
  frame.extent = extent;
  layout.frames.push_back(std::move(frame));
  return layout;
}

// The worked example's sheet: inner frame 3000 to 5000 by 2000 to 4000 at 1:10000, an 8 mm
// gap, margins 50/50/40/40 mm; the page is 316 x 296 mm showing 2420 to 5580 by 1520 to 4480.
class SheetLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdalRegistered();
    settings.ScaleFactor = 1;
    settings.InnerToOuterGap = 80;
    settings.PictureType = ".PNG";
    settings.ExportDpi = 50;
    WriteUserMap(folder.file("user.gpkg"), Envelope{2420, 1520, 5580, 4480});
    document = MapDocument::Open(folder.file("user.gpkg"));
    control = std::make_unique<PageLayoutControl>(*document, settings, outputFolder());
  }

  std::unique_ptr<SheetWriter> makeBuilder(const std::string& output = "frames.gpkg") {
    return std::make_unique<SheetWriter>(settings, folder.file(output), ui);
  }

  // Writes the sheet and runs its map-document step, telling the user what a run would.
  void buildSheet(TtkBaseClass& builder, const std::string& name = "S", const SampleSheetParts& parts = {}) {
    WriteSampleSheet(builder, name, inner, parts);
    try {
      for (const std::string& notice : control->BuildSheetDocument(builder.Finished(inner))) ui.message(notice);
    } catch (const FramoraError& error) {
      ui.message(error.what());
    }
  }

  std::string outputFolder() const { return folder.file("out"); }
  std::string output(const std::string& name) const { return folder.file("out/" + name); }

  const Envelope inner{3000, 2000, 5000, 4000};
  TempFolder folder;
  FrameSettings settings;
  RecordingUserInterface ui;
  std::unique_ptr<MapDocument> document;
  std::unique_ptr<PageLayoutControl> control;
};

// A picture read back through a fresh GDAL open, addressed in map coordinates.
class Picture {
 public:
  explicit Picture(const std::string& path) : dataset_(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER)) {
    if (!dataset_) return;
    dataset_->GetGeoTransform(transform_);
    width_ = dataset_->GetRasterXSize();
    height_ = dataset_->GetRasterYSize();
    const int bands = std::min(dataset_->GetRasterCount(), 3);
    samples_.assign(static_cast<size_t>(width_) * height_ * 3, 0);
    for (int band = 0; band < 3; ++band)
      if (dataset_->GetRasterBand(std::min(band, bands - 1) + 1)
              ->RasterIO(GF_Read, 0, 0, width_, height_, samples_.data() + band, width_, height_, GDT_Byte, 3,
                         static_cast<GSpacing>(width_) * 3) != CE_None) {
        dataset_.reset();
        return;
      }
    // A paletted picture: turn indices into grey levels by the colour table.
    if (GDALColorTable* table = dataset_->GetRasterBand(1)->GetColorTable())
      for (size_t i = 0; i < samples_.size(); i += 3) {
        const GDALColorEntry* entry = table->GetColorEntry(samples_[i]);
        samples_[i] = static_cast<GByte>(entry->c1);
        samples_[i + 1] = static_cast<GByte>(entry->c2);
        samples_[i + 2] = static_cast<GByte>(entry->c3);
      }
  }

  bool valid() const { return dataset_ != nullptr; }
  GDALDataset& dataset() { return *dataset_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const double* transform() const { return transform_; }

  // The darkest channel value within a pixel of the map point (0 black, 255 white).
  int darkness(double x, double y) const {
    const int column = static_cast<int>((x - transform_[0]) / transform_[1]);
    const int row = static_cast<int>((y - transform_[3]) / transform_[5]);
    int darkest = 255;
    for (int r = row - 1; r <= row + 1; ++r)
      for (int c = column - 1; c <= column + 1; ++c)
        if (r >= 0 && r < height_ && c >= 0 && c < width_)
          for (int k = 0; k < 3; ++k) darkest = std::min<int>(darkest, samples_[(static_cast<size_t>(r) * width_ + c) * 3 + k]);
    return darkest;
  }

  // Pixels darker than mid-grey within a box of map coordinates.
  int darkPixels(const Envelope& box) const {
    return countPixels(box, [](const GByte* rgb) { return rgb[0] < 128 && rgb[1] < 128 && rgb[2] < 128; });
  }
  // Plainly red pixels within a box of map coordinates.
  int redPixels(const Envelope& box) const {
    return countPixels(box, [](const GByte* rgb) { return rgb[0] > 160 && rgb[1] < 90 && rgb[2] < 90; });
  }

 private:
  template <typename Test>
  int countPixels(const Envelope& box, Test test) const {
    int count = 0;
    for (int r = 0; r < height_; ++r)
      for (int c = 0; c < width_; ++c) {
        const double x = transform_[0] + (c + 0.5) * transform_[1];
        const double y = transform_[3] + (r + 0.5) * transform_[5];
        if (x < box.xmin || x > box.xmax || y < box.ymin || y > box.ymax) continue;
        if (test(&samples_[(static_cast<size_t>(r) * width_ + c) * 3])) ++count;
      }
    return count;
  }

  GDALDatasetUniquePtr dataset_;
  double transform_[6] = {0, 1, 0, 0, 0, -1};
  int width_ = 0, height_ = 0;
  std::vector<GByte> samples_;
};

}  // namespace framora::testing
