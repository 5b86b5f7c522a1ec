#include "app/driver/frame_job.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sys/wait.h>

#include "gis/gdal_setup.h"
#include "gis/output_path.h"
#include "gis/workspace.h"
#include "driver/cli_runner.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::TempFolder;

// Runs the two commands on a copy of the sample data, as the command line sets them up.
class SampleJob : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(FRAMORA_SAMPLE_DIR, folder.file("sample"));
    inputs.documentPath = folder.file("sample/sample.qgs");
    inputs.outputPath = folder.file("frames.gdb");
    inputs.outputFolder = folder.file("pictures");
    settings = DialogDefaultSettings();
  }
  void useStandardSheets() {
    inputs.creationMode = 0;
    inputs.layerName = "图幅";
    inputs.nameTemplate = "[TFH]";
    inputs.fieldChoices = {"TFH", "TM"};
  }
  void useTownships() {
    inputs.creationMode = 1;
    inputs.layerName = "乡镇";
    inputs.nameTemplate = "[XZQMC]";
    inputs.fieldChoices = {"XZQMC", "XZQDM"};
  }
  FrameJobOutcome run(FrameJobCommand command) {
    settings.GridType = 1;
    settings.ScaleBarOn = true;
    settings.TitleField = "TM";
    settings.ThreeDegreeZones = true;
    settings.CoordsWithZone = true;
    settings.CentralMeridian = 117;
    settings.FrameMode = inputs.creationMode + 1;
    return RunFrameJob(command, inputs, settings, ui);
  }
  std::string failure(FrameJobCommand command) {
    try {
      run(command);
    } catch (const FramoraError& error) {
      return error.what();
    }
    return "";
  }
  TempFolder folder;
  FrameJobInputs inputs;
  FrameSettings settings;
  RecordingUserInterface ui;
};

TEST_F(SampleJob, GenerateDrawsEveryStandardSheetIntoTheGeodatabase) {
  useStandardSheets();
  const FrameJobOutcome outcome = run(FrameJobCommand::Generate);
  EXPECT_TRUE(outcome.ranToEnd);
  EXPECT_EQ(outcome.sheetsMade, 9);
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back().rfind("完成，用时", 0), 0u);
  EXPECT_NE(ui.messages.back().find("毫秒\n生成9幅，已有0幅，跳过0幅，失败0幅"), std::string::npos);
  GDALDatasetUniquePtr output(GDALDataset::Open(inputs.outputPath.c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(output);
  EXPECT_EQ(output->GetLayerCount(), 27);
  OGRLayer* lines = output->GetLayerByName("L_J50G011041");
  ASSERT_NE(lines, nullptr);
  std::set<int> kinds;
  for (auto& line : *lines) kinds.insert(line->GetFieldAsInteger("ID"));
  EXPECT_TRUE(kinds.count(1) && kinds.count(2) && kinds.count(3));
  OGRLayer* texts = output->GetLayerByName("a_J50G011041");
  ASSERT_NE(texts, nullptr);
  std::set<std::string> strings;
  for (auto& text : *texts) strings.insert(text->GetFieldAsString("TextString"));
  for (const char* neighbour : {"北苑", "来广营", "孙河", "望京", "东坝", "三里屯", "朝阳公园", "金盏"})
    EXPECT_TRUE(strings.count(neighbour)) << neighbour;
  EXPECT_TRUE(strings.count("比例尺1:10000"));
  EXPECT_FALSE(std::filesystem::exists(inputs.outputFolder)) << "generate makes no pictures";
}

TEST_F(SampleJob, PrintMakesADocumentAndAPicturePerTownship) {
  useTownships();
  inputs.outputPath = folder.file("towns.gpkg");
  inputs.dpiText = "96";
  settings.PictureType = ".PNG";
  settings.FrameMode = 2;
  settings.ThreeDegreeZones = true;
  settings.CoordsWithZone = true;
  settings.CentralMeridian = 117;
  const FrameJobOutcome outcome = RunFrameJob(FrameJobCommand::BatchPrint, inputs, settings, ui);
  EXPECT_TRUE(outcome.ranToEnd);
  EXPECT_EQ(outcome.sheetsMade, 7);
  EXPECT_EQ(outcome.sheetsFailed, 0);
  for (const char* name : {"来广营乡", "金盏乡", "酒仙桥街道"}) {
    const std::string base = inputs.outputFolder + "/" + name;
    EXPECT_TRUE(std::filesystem::exists(base + ".qgs")) << name;
    GDALDatasetUniquePtr picture(GDALDataset::Open((base + ".PNG").c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(picture) << name;
    EXPECT_GT(picture->GetRasterXSize(), 500);
  }
}

TEST_F(SampleJob, TheResolutionOfTheCommandReachesThePicture) {
  useTownships();
  inputs.dpiText = "48";
  inputs.whereClause = "XZQMC = '金盏乡'";
  settings = DialogDefaultSettings();
  settings.ThreeDegreeZones = true;
  settings.CoordsWithZone = true;
  settings.CentralMeridian = 117;
  settings.FrameMode = 2;
  settings.ExportDpi = 300;  // what a settings record held: the command's own value wins
  const FrameJobOutcome outcome = RunFrameJob(FrameJobCommand::BatchPrint, inputs, settings, ui);
  EXPECT_EQ(outcome.sheetsMade, 1);
  EXPECT_EQ(settings.ExportDpi, 300) << "the caller's settings stay as assembled";
  GDALDatasetUniquePtr small(GDALDataset::Open((inputs.outputFolder + "/金盏乡.JPG").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(small);
  inputs.dpiText = "96";
  ui.answerOk = true;
  RunFrameJob(FrameJobCommand::BatchPrint, inputs, settings, ui);
  GDALDatasetUniquePtr large(GDALDataset::Open((inputs.outputFolder + "/金盏乡.JPG").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(large);
  EXPECT_NEAR(large->GetRasterXSize(), 2 * small->GetRasterXSize(), 2);
}

TEST_F(SampleJob, EveryCheckFailsWithTheSystemsMessage) {
  useStandardSheets();
  inputs.nameTemplate = "";
  EXPECT_EQ(failure(FrameJobCommand::Generate), "字段值没有设置，所以输出图层名为空");
  inputs.nameTemplate = "[TFH";
  EXPECT_EQ(failure(FrameJobCommand::Generate), "文件名格式不正确");
  inputs.nameTemplate = "[XZQMC]";
  EXPECT_EQ(failure(FrameJobCommand::Generate), "文件名中，必须包括字段");
  inputs.nameTemplate = "[TFH]";
  inputs.layerName = "没有这层";
  EXPECT_EQ(failure(FrameJobCommand::Generate), "没有这层文件不在" + inputs.documentPath);
  inputs.layerName = "图幅";
  inputs.documentPath = folder.file("missing.qgs");
  EXPECT_EQ(failure(FrameJobCommand::Generate), "文件" + inputs.documentPath + ",不存在");
}

TEST_F(SampleJob, AResolutionThatIsNoWholeNumberAboveZeroIsRefusedBeforeAnyWork) {
  useStandardSheets();
  for (const std::string dpi : {"7x", "", "0", "-96", "9.5"}) {
    inputs.dpiText = dpi;
    EXPECT_EQ(failure(FrameJobCommand::BatchPrint), "输出分辨率" + dpi + "无效，应大于0");
  }
  EXPECT_FALSE(std::filesystem::exists(inputs.outputPath));
  EXPECT_FALSE(std::filesystem::exists(inputs.outputFolder));
}

TEST_F(SampleJob, PrintWithoutAFolderFailsBeforeTheOutputIsTouched) {
  useStandardSheets();
  CreateWorkspace(OutputPath(inputs.outputPath));
  std::ofstream(inputs.outputPath + "/keep") << "x";
  inputs.outputFolder = "   ";
  ui.answerOk = true;
  EXPECT_EQ(failure(FrameJobCommand::BatchPrint), "输出MXD,JPG目录不能为空");
  EXPECT_TRUE(std::filesystem::exists(inputs.outputPath + "/keep"));
  EXPECT_TRUE(ui.questions.empty());
}

TEST_F(SampleJob, KeepingAnExistingOutputDoesNothing) {
  useStandardSheets();
  CreateWorkspace(OutputPath(inputs.outputPath));
  std::ofstream(inputs.outputPath + "/keep") << "x";
  ui.answerOk = false;
  const FrameJobOutcome outcome = run(FrameJobCommand::Generate);
  EXPECT_TRUE(outcome.declined);
  EXPECT_FALSE(outcome.ranToEnd);
  EXPECT_TRUE(std::filesystem::exists(inputs.outputPath + "/keep"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SampleJob, AStopBetweenSheetsEndsTheJobEarly) {
  useStandardSheets();
  ui.cancelAtStep = 2;
  const FrameJobOutcome outcome = run(FrameJobCommand::Generate);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_FALSE(outcome.ranToEnd);
  EXPECT_EQ(outcome.sheetsMade, 2);
  EXPECT_EQ(ui.progressEnds, 1);
}

TEST_F(SampleJob, EverythingTheUserSetIsCheckedBeforeTheOutputIsTouched) {
  useTownships();
  CreateWorkspace(OutputPath(inputs.outputPath));
  std::ofstream(inputs.outputPath + "/keep") << "x";
  ui.answerOk = true;
  const std::string keep = inputs.outputPath + "/keep";
  const auto refused = [&](FrameJobCommand command, const std::string& expected) {
    EXPECT_EQ(failure(command).substr(0, expected.size()), expected);
    EXPECT_TRUE(std::filesystem::exists(keep)) << expected;
    EXPECT_FALSE(std::filesystem::exists(inputs.outputFolder)) << expected;
    EXPECT_TRUE(ui.questions.empty()) << expected;
  };
  settings.PictureType = ".EMF";
  refused(FrameJobCommand::BatchPrint, ".EMF错误的文件类型");
  settings.PictureType = ".xyz";
  refused(FrameJobCommand::BatchPrint, ".XYZ错误的文件类型");
  settings.PictureType = ".JPG";
  inputs.dpiText = "70000";
  refused(FrameJobCommand::BatchPrint, "输出分辨率70000太大，不能超过65535");
  inputs.dpiText = "96";
  inputs.whereClause = "NO_SUCH_FIELD = 1";
  refused(FrameJobCommand::BatchPrint, "查询条件错误：NO_SUCH_FIELD = 1");
  inputs.whereClause = "";
  // A picture folder that cannot be made (a file is in the way).
  std::ofstream(folder.file("blocked")) << "x";
  inputs.outputFolder = folder.file("blocked/pictures");
  refused(FrameJobCommand::BatchPrint, "不能创立目录" + inputs.outputFolder);
  inputs.outputFolder = folder.file("pictures");
  // The output may be neither the map nor any data it draws.
  inputs.outputPath = folder.file("sample/sample.gpkg");
  refused(FrameJobCommand::Generate, "不能输出到" + inputs.outputPath + "：它是图层");
  EXPECT_TRUE(IsGeoPackageFile(inputs.outputPath));
}

TEST_F(SampleJob, TheOutputsFolderIsMadeWhenMissing) {
  useStandardSheets();
  inputs.outputPath = folder.file("new/deeper/frames.gdb");
  inputs.whereClause = "TFH = 'J50G011041'";
  EXPECT_EQ(run(FrameJobCommand::Generate).sheetsMade, 1);
  EXPECT_TRUE(IsFileGeodatabaseFolder(inputs.outputPath));
}

TEST_F(SampleJob, ContinuingAnExistingOutputMakesOnlyTheSheetsItLacks) {
  useStandardSheets();
  ui.cancelAtStep = 3;
  EXPECT_EQ(run(FrameJobCommand::Generate).sheetsMade, 3);
  RecordingUserInterface again;
  again.answerContinue = true;
  const FrameJobOutcome outcome = RunFrameJob(FrameJobCommand::Generate, inputs, settings, again);
  EXPECT_EQ(again.questions.size(), 1u);
  EXPECT_EQ(outcome.sheetsExisting, 3);
  EXPECT_EQ(outcome.sheetsMade, 6);
  EXPECT_TRUE(JobSucceeded(outcome));
  inputs.resume = true;  // the command line's --resume: no question
  RecordingUserInterface unasked;
  EXPECT_EQ(RunFrameJob(FrameJobCommand::Generate, inputs, settings, unasked).sheetsExisting, 9);
  EXPECT_TRUE(unasked.questions.empty());
}

// The command line: exit status and messages.
using testing::CommandResult;
using testing::RunCli;
using testing::RunCommandStatus;

TEST_F(SampleJob, AGeographicSheetIsPrintedFromItsLayerAloneAndOpensInQgisAtTheMapScale) {
  // No --geographic, no --crs: the chosen layer says EPSG:4490 while the map says 4527.
  const CommandResult printed =
      RunCli("print --mode standard --doc '" + inputs.documentPath + "' --layer 图幅经纬度 --name '[TFH]' --where \"TFH = 'J50G010040'\" --out '" +
             inputs.outputPath + "' --folder '" + inputs.outputFolder + "' --dpi 30 --picture .PNG");
  ASSERT_EQ(printed.status, 0) << printed.output;
  const std::string base = inputs.outputFolder + "/J50G010040";
  EnsureGdalRegistered();
  GDALDatasetUniquePtr picture(GDALDataset::Open((base + ".PNG").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(picture);
  double transform[6];
  ASSERT_EQ(picture->GetGeoTransform(transform), CE_None);
  EXPECT_NEAR(transform[0], 116.43, 0.02) << "the picture stands on the sheet in degrees";
  EXPECT_NEAR(transform[3], 39.63, 0.02);

  const auto python = [](const std::string& arguments) {
    return RunCommandStatus("QT_QPA_PLATFORM=offscreen /usr/bin/python3 " + arguments);
  };
  if (!std::filesystem::exists("/usr/bin/python3") || python("-c 'import qgis.core'").status != 0)
    GTEST_SKIP() << "QGIS's Python bindings are not installed";
  const std::string script = std::string(FRAMORA_SOURCE_DIR) + "/tests/layout/check_map_document.py";
  const CommandResult checked = python("'" + script + "' '" + base + ".qgs' J50G010040 - - 10000");
  EXPECT_EQ(checked.status, 0) << checked.output;
}

TEST_F(SampleJob, PicturesOfEveryFormatStandOnTheirSheetAtTheirResolution) {
  EnsureGdalRegistered();
  OGRSpatialReference degrees;
  degrees.importFromEPSG(4490);
  degrees.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  for (const char* type : {".JPG", ".TIF", ".PNG", ".GIF", ".BMP"}) {
    SCOPED_TRACE(type);
    const std::string pictures = folder.file(std::string("pictures") + (type + 1));
    const CommandResult printed =
        RunCli("print --mode standard --doc '" + inputs.documentPath + "' --layer 图幅 --name '[TFH]' --where \"TFH = 'J50G010040'\" --out '" +
               folder.file(std::string("f") + (type + 1) + ".gpkg") + "' --folder '" + pictures + "' --dpi 40 --picture " + type);
    ASSERT_EQ(printed.status, 0) << printed.output;
    // A fresh open reads the georeference as any GIS would, side file and all.
    GDALDatasetUniquePtr picture(GDALDataset::Open((pictures + "/J50G010040" + type).c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(picture);
    double transform[6];
    ASSERT_EQ(picture->GetGeoTransform(transform), CE_None);
    const OGRSpatialReference* srs = picture->GetSpatialRef();
    ASSERT_NE(srs, nullptr);
    std::unique_ptr<OGRCoordinateTransformation> toDegrees(OGRCreateCoordinateTransformation(srs, &degrees));
    ASSERT_TRUE(toDegrees);
    double x = transform[0] + transform[1] * picture->GetRasterXSize() / 2;
    double y = transform[3] + transform[5] * picture->GetRasterYSize() / 2;
    ASSERT_TRUE(toDegrees->Transform(1, &x, &y));
    // The centre of sheet J50G010040 (116°26′15″–116°30′, 39°35′–39°37′30″).
    EXPECT_NEAR(x, 116.46875, 0.01);
    EXPECT_NEAR(y, 39.604167, 0.01);
    // GDAL tells the TIFF's resolution; the layout test reads the others' from their bytes.
    if (std::string(type) == ".TIF") {
      const char* resolution = picture->GetMetadataItem("TIFFTAG_XRESOLUTION");
      ASSERT_NE(resolution, nullptr);
      EXPECT_NEAR(CPLAtof(resolution), 40, 0.02);
    }
  }
  GDALDatasetUniquePtr tiff(GDALDataset::Open(folder.file("picturesTIF/J50G010040.TIF").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(tiff);
  EXPECT_STREQ(tiff->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
}

TEST_F(SampleJob, TheCommandLineSucceedsOnlyWhenTheJobRanToItsEnd) {
  const std::string common = "--mode polygon --doc '" + inputs.documentPath + "' --layer 乡镇 --name '[XZQMC]' --out '" +
                             inputs.outputPath + "'";
  const CommandResult first = RunCli("generate " + common);
  EXPECT_EQ(first.status, 0) << first.output;
  EXPECT_NE(first.output.find("完成，用时"), std::string::npos);
  const CommandResult kept = RunCli("generate " + common);
  EXPECT_EQ(kept.status, 1) << "without --overwrite the existing output stays";
  EXPECT_NE(kept.output.find("已存在"), std::string::npos);
  const CommandResult again = RunCli("generate " + common + " --overwrite --set GridType=2");
  EXPECT_EQ(again.status, 0) << again.output;
  const CommandResult badSetting = RunCli("generate " + common + " --overwrite --set GridInterval=0");
  EXPECT_EQ(badSetting.status, 1);
  EXPECT_NE(badSetting.output.find("GridInterval"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(inputs.outputPath)) << "a refused setting touches nothing";
  const CommandResult noFolder = RunCli("print " + common + " --overwrite --folder ' '");
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_NE(noFolder.output.find("输出MXD,JPG目录不能为空"), std::string::npos);
  // --overwrite deletes nothing but an earlier output.
  const std::string backup = folder.file("photos.gdb_backup");
  std::filesystem::create_directory(backup);
  std::ofstream(backup + "/holiday.jpg") << "x";
  const std::string bare = folder.file("bare.gdb");
  std::filesystem::create_directory(bare);
  std::ofstream(bare + "/notes.txt") << "x";
  for (const std::string& path : {backup, bare + "/"}) {
    const CommandResult refused = RunCli("generate " + common + " --out '" + path + "' --overwrite");
    EXPECT_EQ(refused.status, 1) << path;
    EXPECT_NE(refused.output.find("不是图廓输出数据库，不能删除"), std::string::npos) << refused.output;
  }
  EXPECT_TRUE(std::filesystem::exists(backup + "/holiday.jpg"));
  EXPECT_TRUE(std::filesystem::exists(bare + "/notes.txt"));
  const CommandResult completed = RunCli("generate " + common + " --out '" + inputs.outputPath + "/' --overwrite");
  EXPECT_EQ(completed.status, 0) << "a trailing separator names the same geodatabase: " << completed.output;
  const CommandResult help = RunCli("print --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--folder"), std::string::npos);
}

TEST_F(SampleJob, TheCommandLineRefusesWhatIsNotAScaleAndCallsNothingMadeAFailure) {
  const std::string common = "generate --mode polygon --doc '" + inputs.documentPath +
                             "' --layer 乡镇 --name '[XZQMC]' --out '" + inputs.outputPath + "'";
  for (const std::string scale : {"abc", "50,000", "1:50000", "0", "-10000", "", "inf"}) {
    const CommandResult result = RunCli(common + " --scale '" + scale + "'");
    EXPECT_EQ(result.status, 1) << scale;
    EXPECT_NE(result.output.find("比例尺" + scale + "无效"), std::string::npos) << result.output;
    EXPECT_FALSE(std::filesystem::exists(inputs.outputPath)) << scale;
  }
  const CommandResult none = RunCli(common + " --where \"XZQMC = 'none'\"");
  EXPECT_EQ(none.status, 1) << none.output;
  EXPECT_NE(none.output.find("图幅：生成0幅，已有0幅，跳过0幅，失败0幅，没有生成任何图幅"), std::string::npos)
      << none.output;
  const CommandResult one = RunCli(common + " --overwrite --scale 50000 --where \"XZQMC = '金盏乡'\"");
  EXPECT_EQ(one.status, 0) << one.output;
  EXPECT_NE(one.output.find("图幅：生成1幅，已有0幅，跳过0幅，失败0幅\n"), std::string::npos) << one.output;
}

}  // namespace
}  // namespace framora
