#include <gtest/gtest.h>

#include <QTimer>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/gui/frm_tk_tool.h"
#include "app/gui/progress_window.h"
#include "app/job/job_controls.h"
#include "gis/workspace.h"
#include "app_test_support.h"
#include "support/temp_folder.h"

namespace framora {
namespace {

namespace fs = std::filesystem;
using testing::RecordingDialogs;
using testing::TempFolder;

// The texts of a sheet's text class, read back as a user's GIS reads them.
std::set<std::string> StoredTexts(const std::string& geodatabase, const std::string& sheet) {
  std::set<std::string> texts;
  GDALDatasetUniquePtr data(GDALDataset::Open(geodatabase.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!data) return texts;
  OGRLayer* layer = data->GetLayerByName(("a_" + sheet).c_str());
  if (layer == nullptr) return texts;
  for (auto& feature : layer) texts.insert(feature->GetFieldAsString("TextString"));
  return texts;
}

std::set<std::string> LayerNames(const std::string& geodatabase) {
  std::set<std::string> names;
  GDALDatasetUniquePtr data(GDALDataset::Open(geodatabase.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!data) return names;
  for (int i = 0; i < data->GetLayerCount(); ++i) names.insert(data->GetLayer(i)->GetName());
  return names;
}

std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& ending) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.path().string().size() >= ending.size() &&
        entry.path().string().compare(entry.path().string().size() - ending.size(), ending.size(), ending) == 0)
      files.push_back(entry.path().string());
  return files;
}

// A new user's session on a copy of the sample: the document chosen, the sheet layer
// picked, the template made from the field list, the output named.
class MainWindowJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureWidgetApplication();
    fs::copy(FRAMORA_SAMPLE_DIR, folder.file("sample"));
    document = folder.file("sample/sample.qgs");
    output = folder.file("frames.gdb");
    window = std::make_unique<TFrmTkTool>(dialogs, settingsPath());
    window->show();
    dialogs.openAnswer = document;
    window->btnfileClick();
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();
    get<RadioGroup>("rgtype")->setItemIndex(0);
    get<QComboBox>("CBLayer")->setCurrentText("图幅");
    window->CBLayerChange();
    get<QComboBox>("CbField")->setCurrentText("TFH");
    window->CbFieldChange();
    get<QLineEdit>("edtoutFile")->setText(QString::fromStdString(output));
    get<QLineEdit>("edtmxdPath")->setText(QString::fromStdString(folder.file("pictures")));
  }
  void TearDown() override { EndProgress(true); }

  std::string settingsPath() const { return folder.file("framora.set"); }
  template <typename Control>
  Control* get(const char* name) const {
    Control* control = window->control<Control>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  template <typename Control>
  Control* dialogControl(const char* name) const {
    return window->settingsDialog().control<Control>(name);
  }
  std::string lastError() const { return dialogs.errors.empty() ? "" : dialogs.errors.back(); }
  std::string generateFailure() {
    dialogs.errors.clear();
    window->Button1Click();
    return lastError();
  }

  TempFolder folder;
  RecordingDialogs dialogs;
  std::string document;
  std::string output;
  std::unique_ptr<TFrmTkTool> window;
};

TEST_F(MainWindowJobTest, GenerateWritesEverySheetWithTheSettingsOfBothWindows) {
  EXPECT_EQ(get<QLineEdit>("edtFileName")->text(), "[TFH]");
  dialogControl<QLineEdit>("edtru")->setText("内部用图");
  window->Button1Click();
  EXPECT_TRUE(dialogs.errors.empty()) << lastError();
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back().rfind("完成，用时", 0), 0u);
  // The time, then on a second line the counts.
  const std::string& done = dialogs.messages.back();
  EXPECT_NE(done.find("毫秒\n生成"), std::string::npos) << done;
  EXPECT_NE(done.find("幅，已有0幅，跳过0幅，失败0幅"), std::string::npos) << done;
  EXPECT_TRUE(get<QPushButton>("Button1")->isEnabled());
  EXPECT_EQ(CurrentProgressWindow(), nullptr);

  const std::set<std::string> layers = LayerNames(output);
  EXPECT_EQ(layers.size(), 27u);
  EXPECT_TRUE(layers.count("L_J50G011041") && layers.count("p_J50G011041") && layers.count("a_J50G011041"));
  EXPECT_TRUE(StoredTexts(output, "J50G011041").count("内部用图"));
  // The coordinate controls the document set reached the run.
  EXPECT_EQ(window->frameSettings().CentralMeridian, 117);
  EXPECT_TRUE(window->frameSettings().CoordsWithZone);
  EXPECT_EQ(window->frameSettings().FrameMode, 1);
}

TEST_F(MainWindowJobTest, BatchPrintWritesADocumentAndAPicturePerSelectedSheet) {
  get<QTextEdit>("reditwhere")->setPlainText("TFH IN ('J50G010040',\n'J50G010041')  ");
  get<QComboBox>("CBPICType")->setCurrentIndex(1);
  get<QLineEdit>("edtDPI")->setText("3OO");  // letters: refused before any work
  window->btnPrintClick();
  EXPECT_EQ(lastError(), "输出分辨率3OO无效，应大于0");
  EXPECT_FALSE(fs::exists(output));
  dialogs.errors.clear();
  get<QLineEdit>("edtDPI")->setText(" 96 ");
  window->btnPrintClick();
  EXPECT_TRUE(dialogs.errors.empty()) << lastError();
  const std::string pictures = folder.file("pictures");
  const auto tifs = FilesEndingIn(pictures, ".TIF");
  EXPECT_EQ(tifs.size(), 2u);
  EXPECT_EQ(FilesEndingIn(pictures, ".qgs").size(), 2u);
  for (const auto& tif : tifs) {
    GDALDatasetUniquePtr picture(GDALDataset::Open(tif.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    ASSERT_TRUE(picture) << tif;
    EXPECT_STREQ(picture->GetDriver()->GetDescription(), "GTiff");
    EXPECT_GT(picture->GetRasterXSize(), 500);
  }
  EXPECT_TRUE(get<QPushButton>("btnPrint")->isEnabled());
  EXPECT_EQ(LayerNames(output).size(), 6u);
}

TEST_F(MainWindowJobTest, CancelInTheProgressWindowStopsBetweenSheets) {
  dialogs.answerOk = true;
  bool clicked = false;
  bool shownBeforeClick = false;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    TMyProgress* progress = CurrentProgressWindow();
    if (clicked || progress == nullptr || progress->cancelButton() == nullptr) return;
    clicked = true;
    shownBeforeClick = progress->isVisible();
    EXPECT_FALSE(get<QPushButton>("Button1")->isEnabled());
    EXPECT_EQ(progress->windowTitle(), "正在生成图廓");
    progress->cancelButton()->click();
  });
  watcher.start();
  window->Button1Click();
  watcher.stop();
  ASSERT_TRUE(clicked);
  EXPECT_TRUE(shownBeforeClick);
  EXPECT_EQ(dialogs.questions, std::vector<std::string>({"你确定终止吗"}));
  EXPECT_EQ(CurrentProgressWindow(), nullptr);
  EXPECT_TRUE(get<QPushButton>("Button1")->isEnabled());
  const std::size_t layers = LayerNames(output).size();
  EXPECT_GT(layers, 0u);
  EXPECT_LT(layers, 27u);
  EXPECT_EQ(layers % 3, 0u) << "a sheet left half written";
}

TEST_F(MainWindowJobTest, TemplateChecksComeBeforeAnythingIsTouched) {
  CreateWorkspace(OutputPath(output));
  auto* name = get<QLineEdit>("edtFileName");
  name->setText("   ");
  EXPECT_EQ(generateFailure(), "字段值没有设置，所以输出图层名为空");
  name->setText("[TFH");
  EXPECT_EQ(generateFailure(), "文件名格式不正确");
  name->setText("]TFH[");
  EXPECT_EQ(generateFailure(), "文件名中，必须包括字段");
  name->setText("[XZQMC]");
  EXPECT_EQ(generateFailure(), "文件名中，必须包括字段");
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_TRUE(fs::exists(output));
  EXPECT_TRUE(get<QPushButton>("Button1")->isEnabled());
  // Blanks around the bracketed field pass; the sheets are still named by the field alone.
  name->setText(" [tfh] ");
  dialogs.answerOk = true;
  EXPECT_EQ(generateFailure(), "");
  EXPECT_TRUE(LayerNames(output).count("a_J50G012042"));
}

TEST_F(MainWindowJobTest, OutputAndInputChecksSayWhatIsWrong) {
  // Only an earlier output is offered for deletion: a backup folder or a ".gdb" folder
  // without the geodatabase's tables is refused unasked, with its contents.
  const std::string backup = folder.file("photos.gdb_backup");
  const std::string bare = folder.file("bare.gdb");
  for (const std::string& path : {backup, bare}) {
    fs::create_directories(path);
    std::ofstream(path + "/keep.jpg") << "x";
    get<QLineEdit>("edtoutFile")->setText(QString::fromStdString(path));
    dialogs.answerOk = true;
    EXPECT_EQ(generateFailure(), path + "不是图廓输出数据库，不能删除");
    EXPECT_TRUE(fs::exists(path + "/keep.jpg")) << path;
  }
  EXPECT_TRUE(dialogs.questions.empty());
  dialogs.answerOk = false;

  // An existing file geodatabase, named in capitals, is a folder to ask about; Cancel ends
  // the command with nothing said and nothing deleted.
  const std::string upper = folder.file("OLD.GDB");
  CreateWorkspace(OutputPath(upper));
  get<QLineEdit>("edtoutFile")->setText(QString::fromStdString(upper));
  EXPECT_EQ(generateFailure(), "");
  EXPECT_EQ(dialogs.questions, std::vector<std::string>({"目录" + upper + "已存在，是否删除"}));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(fs::exists(upper));
  EXPECT_TRUE(get<QPushButton>("Button1")->isEnabled());

  // Batch print without a folder: said before the output is touched.
  dialogs.answerOk = true;
  dialogs.questions.clear();
  get<QLineEdit>("edtmxdPath")->setText("  ");
  dialogs.errors.clear();
  window->btnPrintClick();
  EXPECT_EQ(lastError(), "输出MXD,JPG目录不能为空");
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_TRUE(fs::exists(upper));
  EXPECT_TRUE(get<QPushButton>("btnPrint")->isEnabled());

  get<QLineEdit>("edtoutFile")->setText(QString::fromStdString(output));
  get<QComboBox>("CBLayer")->setCurrentText("无此图层");
  EXPECT_EQ(generateFailure(), "无此图层文件不在" + document);
  get<QComboBox>("CBLayer")->setCurrentText("图幅");
  const std::string missing = folder.file("gone.qgs");
  get<QLineEdit>("edtmxd")->setText(QString::fromStdString(missing));
  EXPECT_EQ(generateFailure(), "文件" + missing + ",不存在");
  get<QLineEdit>("edtmxd")->setText(QString::fromStdString(document));
  get<QLineEdit>("edtoutFile")->setText(QString::fromStdString(folder.file("frames.mdb")));
  EXPECT_NE(generateFailure().find(".mdb"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.file("frames.mdb")));
}

TEST_F(MainWindowJobTest, SettingsFileCarriesBothWindowsToTheNextStart) {
  get<QTextEdit>("reditwhere")->setPlainText("TFH <> ''\nAND TM <> ''");
  get<RadioGroup>("gb8054")->setItemIndex(1);
  get<QSpinBox>("centerL")->setValue(120);
  get<QLineEdit>("edtMapscale1")->setText("50000");
  get<QComboBox>("CBPICType")->setCurrentIndex(1);
  get<QLineEdit>("edtDPI")->setText("300");
  get<QLineEdit>("edtMapNO")->setText("J50G011041");
  dialogControl<QLineEdit>("edtmian")->setText("[TM]");
  dialogControl<QSpinBox>("seMain")->setValue(200);
  dialogControl<RadioGroup>("rgGrid")->setItemIndex(3);
  dialogControl<FontButton>("btntlitle1")->setLogicalFont(FontOfPointSize("黑体", 20, 0xFF));
  FrameSettings before = DialogDefaultSettings();
  AssembleFrameSettings(CaptureControlValues(window->session().windows()), before);
  const FrameJobInputs inputsBefore = FrameJobInputsFromControls(CaptureControlValues({window.get()}));
  window->close();
  window.reset();

  window = std::make_unique<TFrmTkTool>(dialogs, settingsPath());
  window->show();
  EXPECT_TRUE(dialogs.errors.empty()) << lastError();
  EXPECT_EQ(get<QTextEdit>("reditwhere")->toPlainText(), "TFH <> ''\nAND TM <> ''");
  EXPECT_EQ(get<QComboBox>("CBLayer")->currentText(), "图幅");
  EXPECT_EQ(get<QComboBox>("CbField")->count(), 2);
  EXPECT_EQ(get<QLineEdit>("edtMapNO")->text(), "J50G011041");
  EXPECT_EQ(get<RadioGroup>("rgtype")->itemIndex(), 0);
  EXPECT_FALSE(get<QWidget>("gbFile")->isHidden());
  EXPECT_EQ(dialogControl<QLineEdit>("edtmian")->text(), "[TM]");
  EXPECT_EQ(dialogControl<FontButton>("btntlitle1")->logicalFont().faceName, "黑体");

  FrameSettings after = DialogDefaultSettings();
  AssembleFrameSettings(CaptureControlValues(window->session().windows()), after);
  for (const std::string& field : FrameSettingNames())
    EXPECT_EQ(GetFrameSetting(after, field), GetFrameSetting(before, field)) << field;
  const FrameJobInputs inputsAfter = FrameJobInputsFromControls(CaptureControlValues({window.get()}));
  EXPECT_EQ(inputsAfter.whereClause, inputsBefore.whereClause);
  EXPECT_EQ(inputsAfter.fieldChoices, inputsBefore.fieldChoices);
  EXPECT_EQ(inputsAfter.outputPath, output);
  EXPECT_EQ(inputsAfter.dpiText, "300");
  EXPECT_EQ(inputsAfter.coordinateSystemIndex, 1);
}

// Runs the command line; its exit status, with what it wrote to stderr in errors.
int RunCli(const std::string& arguments, const std::string& errorFile, std::string& errors) {
  const std::string command = std::string("\"") + FRAMORA_CLI + "\" " + arguments + " 2>\"" + errorFile + "\"";
  const int status = std::system(command.c_str());
  std::ifstream in(errorFile);
  std::stringstream text;
  text << in.rdbuf();
  errors = text.str();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(MainWindowJobTest, CommandLineRunsAJobFromTheSettingsTheWindowsSaved) {
  dialogControl<QLineEdit>("edtru")->setText("内部用图");
  window->close();  // saves the settings file
  std::string errors;
  const std::string other = folder.file("other.gdb");
  ASSERT_EQ(RunCli("generate --settings \"" + settingsPath() + "\" --out \"" + other + "\"", folder.file("err"), errors),
            0)
      << errors;
  EXPECT_EQ(LayerNames(other).size(), 27u);
  EXPECT_TRUE(StoredTexts(other, "J50G010040").count("内部用图"));
  EXPECT_FALSE(fs::exists(output)) << "the file's output was overridden";

  // The other options override the file: another mode, layer, template and folder.
  const std::string towns = folder.file("towns.gdb");
  const std::string pictures = folder.file("towns");
  ASSERT_EQ(RunCli("print --settings \"" + settingsPath() + "\" --mode polygon --layer 乡镇 --name \"[XZQMC]\" --out \"" +
                       towns + "\" --folder \"" + pictures + "\" --dpi 20",
                   folder.file("err"), errors),
            0)
      << errors;
  EXPECT_EQ(LayerNames(towns).size(), 21u);
  EXPECT_EQ(FilesEndingIn(pictures, ".JPG").size(), 7u);

  EXPECT_EQ(RunCli("generate --settings \"" + folder.file("none.set") + "\"", folder.file("err"), errors), 1);
  EXPECT_NE(errors.find("设置文件" + folder.file("none.set") + "不存在"), std::string::npos) << errors;
}

}  // namespace
}  // namespace framora
