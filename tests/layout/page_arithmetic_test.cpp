#include <gtest/gtest.h>

#include "layout/page_layout_control.h"
#include "layout/picture_export.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

FrameSettings WorkedExampleSettings() {
  FrameSettings settings;
  settings.ScaleFactor = 1;
  settings.PageMarginLeft = 50;
  settings.PageMarginRight = 50;
  settings.PageMarginBottom = 40;
  settings.PageMarginTop = 40;
  return settings;
}

void ExpectEnvelope(const Envelope& actual, double xmin, double ymin, double xmax, double ymax) {
  EXPECT_DOUBLE_EQ(actual.xmin, xmin);
  EXPECT_DOUBLE_EQ(actual.ymin, ymin);
  EXPECT_DOUBLE_EQ(actual.xmax, xmax);
  EXPECT_DOUBLE_EQ(actual.ymax, ymax);
}

TEST(SheetPage, TheWorkedExampleGivesPageAndExtentAtTheMapScale) {
  const SheetPage page = ComputeSheetPage(4000, 2000, 5000, 3000, 80, WorkedExampleSettings());
  ExpectEnvelope(page.outerFrame, 2920, 1920, 5080, 4080);
  EXPECT_DOUBLE_EQ(page.width, 316);
  EXPECT_DOUBLE_EQ(page.height, 296);
  ExpectEnvelope(page.mapExtent, 2420, 1520, 5580, 4480);
}

TEST(SheetPage, TheOuterFrameIsCutToWholeMetresTowardZero) {
  const SheetPage page = ComputeSheetPage(4000.9, -0.4, 5000.6, -200.3, 80.5, WorkedExampleSettings());
  ExpectEnvelope(page.outerFrame, -280, -80, 5081, 4081);
  FrameSettings fiftyThousand = WorkedExampleSettings();
  fiftyThousand.ScaleFactor = 5;  // 50 m a millimetre
  const SheetPage wide = ComputeSheetPage(10000, 0, 10000, 0, 400, fiftyThousand);
  EXPECT_DOUBLE_EQ(wide.width, 10800.0 / 50 + 100);
  EXPECT_DOUBLE_EQ(wide.mapExtent.xmin, -400 - 50 * 50);
}

TEST(SheetPage, GeographicSheetsKeepTheirDegreesAndGetTheirPaperSize) {
  // 1 km of gap, 100 km in a degree east and 111 km north.
  const SheetPage page = ComputeSheetPage(40.05, 40, 116.1, 116, 1000, WorkedExampleSettings(), 100000, 111000);
  EXPECT_DOUBLE_EQ(page.outerFrame.xmin, 116 - 0.01);
  EXPECT_NEAR(page.width, (0.1 + 0.02) * 100000 / 10 + 100, 1e-6);
  EXPECT_NEAR(page.mapExtent.ymax, 40.05 + 1000 / 111000.0 + 40 * 10 / 111000.0, 1e-12);
}

TEST(SheetPage, AScaleOrPageThatIsNotPositiveIsRefused) {
  FrameSettings settings = WorkedExampleSettings();
  settings.ScaleFactor = 0;
  EXPECT_THROW(ComputeSheetPage(4000, 2000, 5000, 3000, 80, settings), FramoraError);
  settings = WorkedExampleSettings();
  settings.PageMarginLeft = settings.PageMarginRight = -200;
  EXPECT_THROW(ComputeSheetPage(4000, 2000, 5000, 3000, 80, settings), FramoraError);
}

TEST(UserDataFrame, LayersThenTheChineseNameThenTheFocusButNeverTheOuterMap) {
  PageLayout layout;
  layout.frames.resize(3);
  layout.frames[0].name = "其他";
  layout.frames[1].name = "图层";
  layout.frames[2].name = "Layers";
  EXPECT_EQ(FindUserDataFrame(layout)->name, "Layers");
  layout.frames.pop_back();
  EXPECT_EQ(FindUserDataFrame(layout)->name, "图层");
  layout.frames[1].name = "地图";
  layout.focusFrame = 1;
  EXPECT_EQ(FindUserDataFrame(layout)->name, "地图");
  // After a first sheet the outer map has the focus; the user's data stay where they were.
  AddOuterMapFrame(layout, Envelope{0, 0, 10, 10});
  EXPECT_EQ(layout.frames[layout.focusFrame].name, "outer Map");
  EXPECT_EQ(FindUserDataFrame(layout)->name, "其他");
  layout.frames.erase(layout.frames.begin(), layout.frames.begin() + 2);
  layout.focusFrame = 0;
  EXPECT_EQ(FindUserDataFrame(layout), nullptr);
}

TEST(PictureSize, A4At300DpiInMillimetresAndInCentimetres) {
  const PixelSize millimetres = ExportPixelSize(Page{210, 297, kUnitMillimetres}, 300);
  EXPECT_EQ(millimetres.width, 2480);
  EXPECT_EQ(millimetres.height, 3507);
  const PixelSize centimetres = ExportPixelSize(Page{21, 29.7, kUnitCentimetres}, 300);
  EXPECT_EQ(centimetres.width, 2480);
  EXPECT_EQ(centimetres.height, 3507);
  // Other unit codes are taken as millimetres.
  EXPECT_EQ(ExportPixelSize(Page{210, 297, 4}, 300).width, 2480);
  // A whole number of pixels is not lost to rounding.
  EXPECT_EQ(ExportPixelSize(Page{25.4, 254, kUnitMillimetres}, 100).width, 100);
  EXPECT_EQ(ExportPixelSize(Page{316, 296, kUnitMillimetres}, 96).width, 1194);
}

TEST(Exporters, ChosenByExtensionInAnyLetterCase) {
  const std::pair<const char*, const char*> cases[] = {
      {".jpg", "JPEG"}, {".Jpg", "JPEG"}, {".JPG", "JPEG"}, {".tif", "GTiff"}, {".TIF", "GTiff"},
      {".bmp", "BMP"},  {".png", "PNG"},  {".pdf", "PDF"},  {".GiF", "GIF"},
  };
  for (const auto& [extension, format] : cases) EXPECT_EQ(ExporterForExtension(extension)->formatName(), format);
}

TEST(Exporters, UnknownEmptyAndMetafileExtensionsAreWrongTypes) {
  const auto messageOf = [](const std::string& extension) {
    try {
      ExporterForExtension(extension);
    } catch (const FramoraError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(messageOf(".emf"), ".EMF错误的文件类型");
  EXPECT_EQ(messageOf(".jpeg"), ".JPEG错误的文件类型");
  EXPECT_EQ(messageOf(""), "错误的文件类型");
  EXPECT_EQ(FileExtension("/out/E45G095066"), "");
  EXPECT_EQ(FileExtension("/out.d/E45G095066"), "");
  EXPECT_EQ(FileExtension("/out/H_50_12.jpg"), ".JPG");
  EXPECT_EQ(FileExtension("/out/.hidden"), "");
}

TEST(Exporters, FormatLimitsAreKnownBeforeDrawing) {
  EXPECT_TRUE(ExporterForExtension(".JPG")->canHold({65500, 65500}));
  EXPECT_FALSE(ExporterForExtension(".JPG")->canHold({65501, 100}));
  EXPECT_TRUE(ExporterForExtension(".TIF")->canHold({70000, 70000}));
  EXPECT_FALSE(ExporterForExtension(".GIF")->canHold({100, 65536}));
  EXPECT_FALSE(ExporterForExtension(".BMP")->canHold({40000, 40000}));  // past 4 GB
  EXPECT_FALSE(ExporterForExtension(".PNG")->canHold({0, 10}));
}

TEST(Exporters, AFolderThatCannotBeWrittenIsNamedAndAZeroResolutionRefused) {
  const PageLayout layout;
  const LayerStyles styles{BuiltInStyle(StyleKind::Lines), BuiltInStyle(StyleKind::Polygons), "", "", {}};
  try {
    ExportActiveView(layout, styles, "/proc/no-such-folder/S.PNG", 96);
    ADD_FAILURE() << "no error";
  } catch (const FramoraError& error) {
    EXPECT_EQ(std::string(error.what()), "不能创建文件/proc/no-such-folder/S.PNG");
  }
  EXPECT_THROW(ExportActiveView(layout, styles, "/tmp/S.PNG", 0), FramoraError);
}

}  // namespace
}  // namespace framora
