// Pictures drawn beside the next sheet's frame give what pictures drawn in turn give.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "gis/workspace.h"
#include "layout/layout_test_support.h"

namespace framora {
namespace {

namespace fs = std::filesystem;
using testing::SheetLayoutTest;

// The worked example's sheet for every feature, each one further east; "skip" makes none.
class ExampleSheets : public TtkBaseClass {
 public:
  using TtkBaseClass::TtkBaseClass;

 protected:
  DrawnSheet DrawSheet(const OGRFeature& feature) override {
    const std::string name = feature.GetFieldAsString("NAME");
    if (name == "skip") throw SheetSkipped("不能成图：" + name);
    const double east = 700.0 * feature.GetFieldAsInteger("K");
    const Envelope inner{3000 + east, 2000, 5000 + east, 4000};
    testing::SampleSheetParts parts;
    parts.title = "图" + name;
    parts.kmLabels = true;
    testing::WriteSampleSheet(*this, name, inner, parts);
    return DrawnSheet{isNewDataset(), inner};
  }
};

// Forwards only the step that makes document and picture together, as a builder that cannot
// hand pictures over does.
struct InTurn : SheetDocumentBuilder {
  SheetDocumentBuilder& inner;
  explicit InTurn(SheetDocumentBuilder& documents) : inner(documents) {}
  std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) override {
    return inner.BuildSheetDocument(sheet);
  }
  bool SheetDocumentPresent(const FinishedSheet& sheet) const override { return inner.SheetDocumentPresent(sheet); }
};

std::string FileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

class OverlappedPictures : public SheetLayoutTest {
 protected:
  void SetUp() override {
    SheetLayoutTest::SetUp();
    settings.PictureType = ".JPG";
    settings.ExportDpi = 60;
    auto source = CreateWorkspace(OutputPath(sourcePath));
    OGRLayer* layer = source->dataset().CreateLayer("sheets", nullptr, wkbPolygon, nullptr);
    OGRFieldDefn name("NAME", OFTString), east("K", OFTInteger);
    ASSERT_EQ(layer->CreateField(&name), OGRERR_NONE);
    ASSERT_EQ(layer->CreateField(&east), OGRERR_NONE);
    const char* names[] = {"S1", "S2", "S3", "skip", "S4"};
    for (int k = 0; k < 5; ++k) {
      OGRFeature feature(layer->GetLayerDefn());
      feature.SetField("NAME", names[k]);
      feature.SetField("K", k);
      feature.SetGeometry(EnvelopePolygon({0, 0, 1, 1}).get());
      ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
  }

  SheetRunSummary run(SheetDocumentBuilder& documents, RecordingUserInterface& user) {
    GDALDatasetUniquePtr source(GDALDataset::Open(sourcePath.c_str(), GDAL_OF_VECTOR));
    ExampleSheets builder(settings, folder.file("frames.gpkg"), user,
                          SheetSource{source->GetLayerByName("sheets"), "", "NAME", "[NAME]"}, &documents);
    builder.setTextDate(CalendarDate{2024, 6, 1});
    return builder.Run();
  }

  std::string sourcePath = folder.file("sheets.gpkg");
};

TEST_F(OverlappedPictures, GiveThePicturesDocumentsCountsAndMessagesOfPicturesDrawnInTurn) {
  InTurn inTurn(*control);
  RecordingUserInterface first;
  const SheetRunSummary expected = run(inTurn, first);
  ASSERT_EQ(expected.made, 4);
  ASSERT_EQ(first.messages, std::vector<std::string>{"不能成图：skip"});
  fs::rename(outputFolder(), folder.file("in-turn"));
  fs::remove(folder.file("frames.gpkg"));

  control = std::make_unique<PageLayoutControl>(*document, settings, outputFolder());
  RecordingUserInterface second;
  const SheetRunSummary summary = run(*control, second);
  EXPECT_EQ(summary.made, expected.made);
  EXPECT_EQ(summary.skipped, expected.skipped);
  EXPECT_EQ(summary.failed, expected.failed);
  EXPECT_EQ(second.messages, first.messages);
  EXPECT_EQ(second.stepsTaken, first.stepsTaken);

  int compared = 0;
  for (const auto& entry : fs::directory_iterator(folder.file("in-turn"))) {
    const fs::path overlapped = fs::path(outputFolder()) / entry.path().filename();
    ASSERT_TRUE(fs::exists(overlapped)) << overlapped;
    EXPECT_EQ(FileBytes(overlapped), FileBytes(entry.path())) << entry.path().filename();
    ++compared;
  }
  EXPECT_EQ(compared, static_cast<int>(std::distance(fs::directory_iterator(outputFolder()), fs::directory_iterator())));
  EXPECT_GE(compared, 8) << "a document and a picture a sheet";
}

TEST_F(OverlappedPictures, APictureThatCannotBeWrittenFailsOnlyItsSheetAndIsToldBeforeTheNextSheet) {
  // The third picture's name is taken by a folder, so its rename into place fails.
  fs::create_directories(fs::path(outputFolder()) / "S3.JPG");
  RecordingUserInterface user;
  const SheetRunSummary summary = run(*control, user);
  EXPECT_EQ(summary.made, 3);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(summary.skipped, 1);
  ASSERT_EQ(user.messages.size(), 2u);
  EXPECT_EQ(user.messages[0].rfind("不能写入图片", 0), 0u) << user.messages[0];
  EXPECT_NE(user.messages[0].find("S3.JPG"), std::string::npos) << user.messages[0];
  EXPECT_EQ(user.messages[1], "不能成图：skip");
  EXPECT_TRUE(fs::exists(output("S4.JPG")));
}

}  // namespace
}  // namespace framora
