#pragma once

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/frame_builder.h"
#include "support/sheet_writer.h"
#include "support/temp_folder.h"
#include "util/recording_user_interface.h"

namespace framora::testing {

struct StoredText {
  std::string text;
  double x = 0, y = 0;
  int hAlign = 0, vAlign = 0;
  double size = 0, spacing = 0;
  std::string font;
};

struct StoredLine {
  int id = 0;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// What a user's GIS sees: the classes read through a fresh open of the output.
inline std::vector<StoredText> ReadTexts(const std::string& path, const std::string& className) {
  std::vector<StoredText> texts;
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  OGRLayer* layer = dataset ? dataset->GetLayerByName(className.c_str()) : nullptr;
  if (layer == nullptr) return texts;
  for (auto& feature : *layer) {
    const OGRPoint* point = feature->GetGeometryRef()->toPoint();
    texts.push_back(StoredText{feature->GetFieldAsString("TextString"), point->getX(), point->getY(),
                               feature->GetFieldAsInteger("HorizontalAlignment"),
                               feature->GetFieldAsInteger("VerticalAlignment"), feature->GetFieldAsDouble("FontSize"),
                               feature->GetFieldAsDouble("CharacterSpacing"), feature->GetFieldAsString("FontName")});
  }
  return texts;
}

inline std::vector<StoredLine> ReadLines(const std::string& path, const std::string& className) {
  std::vector<StoredLine> lines;
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  OGRLayer* layer = dataset ? dataset->GetLayerByName(className.c_str()) : nullptr;
  if (layer == nullptr) return lines;
  for (auto& feature : *layer) {
    const OGRGeometry* geometry = feature->GetGeometryRef();
    const OGRLineString* line = wkbFlatten(geometry->getGeometryType()) == wkbMultiLineString
                                    ? geometry->toMultiLineString()->getGeometryRef(0)
                                    : geometry->toLineString();
    lines.push_back(StoredLine{feature->GetFieldAsInteger("ID"), line->getX(0), line->getY(0), line->getX(1),
                               line->getY(1)});
  }
  return lines;
}

inline const StoredText* FindText(const std::vector<StoredText>& texts, const std::string& text) {
  for (const auto& stored : texts)
    if (stored.text == text) return &stored;
  return nullptr;
}

// A builder with one sheet "S" open for drawing in a fresh GeoPackage.
class SheetWritingTest : public ::testing::Test {
 protected:
  void start() {
    builder = std::make_unique<SheetWriter>(settings, path, ui);
    builder->StartSheetDataset("S", nullptr);
    builder->BeginDrawing();
  }
  void finish() {
    builder->EndDrawing(true);
    builder.reset();
  }
  TempFolder folder;
  std::string path = folder.file("out.gpkg");
  FrameSettings settings;
  RecordingUserInterface ui;
  std::unique_ptr<SheetWriter> builder;
};

}  // namespace framora::testing
