#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "settings/frmset.h"
#include "settings/window_settings.h"
#include "settings_test_support.h"
#include "support/temp_folder.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

// Stands in for the main window: one control of each kind it has.
class ToolWindow : public QWidget {
 public:
  ToolWindow() {
    setObjectName("FrmTkTool");
    auto* layout = new QVBoxLayout(this);
    edtFileName = add(new QLineEdit, "edtFileName");
    reditwhere = add(new QTextEdit, "reditwhere");
    CBPICType = add(new QComboBox, "CBPICType");
    CBPICType->setEditable(true);
    CBPICType->addItems({".JPG", ".TIF"});
    cbFdf = add(new QComboBox, "cbFdf");
    cbFdf->addItems({"3度分带法", "6度分带法"});
    centerL = add(new QSpinBox, "centerL");
    centerL->setRange(75, 135);
    centerL->setValue(87);
    rgtype = add(new RadioGroup("选择创立图廓方式", {"标准图幅文件", "行政区划文件"}, 2), "rgtype");
    rgtype->setItemIndex(1);
    auto* menu = add(new QMenu, "PopupMenu1");
    scaleItem = menu->addAction("1:500");
    scaleItem->setObjectName("N15001");
    for (QWidget* widget : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (widget != menu) layout->addWidget(widget);
  }

  template <typename Control>
  Control* add(Control* control, const char* name) {
    control->setObjectName(name);
    control->setParent(this);
    return control;
  }

  QLineEdit* edtFileName;
  QTextEdit* reditwhere;
  QComboBox* CBPICType;
  QComboBox* cbFdf;
  QSpinBox* centerL;
  RadioGroup* rgtype;
  QAction* scaleItem;
};

class SettingsRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureWidgetApplication(); }

  // A fresh start of the program: new windows that load the file.
  struct Program {
    explicit Program(const std::string& path, RecordingUserInterface& ui) : session(path) {
      session.addWindow(&tool);
      dialog = std::make_unique<TFrmset>(ui, &session);
    }
    SettingsSession session;
    ToolWindow tool;
    std::unique_ptr<TFrmset> dialog;
  };

  std::unique_ptr<Program> start() { return std::make_unique<Program>(path, ui); }
  std::unique_ptr<Program> restart() {
    auto program = start();
    program->session.load(ui);
    return program;
  }

  testing::TempFolder folder;
  std::string path = folder.file("framora.set");
  RecordingUserInterface ui;
};

TEST_F(SettingsRoundTripTest, BlocksCoverNamedControlsInCreationOrderWithoutQtsInnerParts) {
  auto program = start();
  QStringList names;
  for (QObject* component : BlockComponents(&program->tool)) names << component->objectName();
  EXPECT_EQ(names, QStringList({"edtFileName", "reditwhere", "CBPICType", "cbFdf", "centerL", "rgtype", "PopupMenu1",
                                "N15001"}));
  const WindowBlock block = CaptureWindowBlock(&program->tool);
  EXPECT_EQ(block.records.front(), (ComponentRecord{"edtFileName", "Text", ""}));
  EXPECT_EQ(block.records.back(), (ComponentRecord{"N15001", "checked", "False"}));
  EXPECT_EQ(CaptureWindowBlock(program->dialog.get()).fonts.size(), 14u);

  // A dialog parented to the window keeps its own block.
  TFrmset child(ui, nullptr, &program->tool);
  EXPECT_EQ(BlockComponents(&program->tool).size(), static_cast<size_t>(names.size()));
}

TEST_F(SettingsRoundTripTest, EveryKindOfControlComesBack) {
  {
    auto program = start();
    program->tool.edtFileName->setText("[TFH],图,幅");
    program->tool.reditwhere->setPlainText("NAME = 'a'\nOR NAME = 'b'");
    program->tool.CBPICType->setCurrentIndex(1);
    program->tool.cbFdf->setCurrentIndex(1);
    program->tool.centerL->setValue(117);
    program->tool.rgtype->setItemIndex(0);
    auto& d = *program->dialog;
    d.control<QPlainTextEdit>("morb")->setPlainText("P\nQ\nR");
    d.control<QLineEdit>("edtmian")->setText("某,某 市,");
    d.control<QCheckBox>("chkSetDa")->setChecked(false);
    d.control<QSpinBox>("SeX")->setValue(-150);
    d.control<RadioGroup>("RGYaSet")->setItemIndex(2);
    ASSERT_TRUE(program->session.save(ui));
  }
  auto program = restart();
  EXPECT_EQ(program->tool.edtFileName->text(), "[TFH],图,幅");
  EXPECT_EQ(program->tool.reditwhere->toPlainText(), "NAME = 'a'\nOR NAME = 'b'");
  EXPECT_EQ(program->tool.CBPICType->currentText(), ".TIF");
  EXPECT_EQ(program->tool.CBPICType->count(), 2);
  EXPECT_EQ(program->tool.cbFdf->currentIndex(), 1);
  EXPECT_EQ(program->tool.centerL->value(), 117);
  EXPECT_EQ(program->tool.rgtype->itemIndex(), 0);
  auto& d = *program->dialog;
  EXPECT_EQ(d.control<QPlainTextEdit>("morb")->toPlainText(), "P\nQ\nR");
  EXPECT_EQ(d.control<QLineEdit>("edtmian")->text(), "某,某 市,");
  EXPECT_FALSE(d.control<QCheckBox>("chkSetDa")->isChecked());
  EXPECT_EQ(d.control<QSpinBox>("SeX")->value(), -150);
  EXPECT_EQ(d.control<RadioGroup>("RGYaSet")->itemIndex(), 2);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SettingsRoundTripTest, AMemoIsWrittenLineByLineAndReadInAnyLetterCase) {
  auto program = start();
  program->dialog->control<QPlainTextEdit>("morb")->setPlainText("P\nQ\nR");
  const WindowBlock block = CaptureWindowBlock(program->dialog.get());
  EXPECT_NE(std::find(block.records.begin(), block.records.end(), ComponentRecord{"morb", "lines", "P<Br>Q<Br>R<Br>"}),
            block.records.end());

  WriteSettingsFile(path, {WindowBlock{"Frmset", {{"morb", "LINES", "a<br>b<BR>"}, {"MOLB", "lines", "c<Br>"}}, {}}});
  program->session.load(ui);
  EXPECT_EQ(program->dialog->control<QPlainTextEdit>("morb")->toPlainText(), "a\nb");
  EXPECT_EQ(program->dialog->control<QPlainTextEdit>("molb")->toPlainText(), "c");
}

TEST_F(SettingsRoundTripTest, ComboBoxesTakeTheirItemsAndIndex) {
  auto program = start();
  QComboBox& combo = *program->tool.CBPICType;
  WriteSettingsFile(path, {WindowBlock{"FrmTkTool", {{"CBPICType", "items", "2^X<Br>Y<Br>Z<Br>"}}, {}}});
  program->session.load(ui);
  EXPECT_EQ(combo.count(), 3);
  EXPECT_EQ(combo.currentText(), "Z");

  WriteSettingsFile(path, {WindowBlock{"FrmTkTool", {{"CBPICType", "items", "X<Br>Y<Br>"}}, {}}});
  program->session.load(ui);
  EXPECT_EQ(combo.count(), 2);
  EXPECT_EQ(combo.currentIndex(), 0);
}

TEST_F(SettingsRoundTripTest, TypedComboTextIsNotKeptButTheItemsAre) {
  {
    auto program = start();
    program->tool.CBPICType->setEditText(".PNG");
    program->tool.CBPICType->setCurrentIndex(-1);
    program->tool.CBPICType->setEditText(".PNG");
    // A run still takes what the box shows.
    EXPECT_EQ(CaptureControlValues({&program->tool}).find("CBPICType")->text, ".PNG");
    ASSERT_TRUE(program->session.save(ui));
  }
  auto program = restart();
  EXPECT_EQ(program->tool.CBPICType->count(), 2);
  EXPECT_EQ(program->tool.CBPICType->currentIndex(), -1);
  EXPECT_EQ(program->tool.CBPICType->currentText(), "");
}

TEST_F(SettingsRoundTripTest, TwoSavesOfTheSameStateAreTheSameBytes) {
  auto program = start();
  program->dialog->control<FontButton>("btnDFont")->setLogicalFont(FontOfPointSize("黑体", 9));
  ASSERT_TRUE(program->session.save(ui));
  const std::string first = testing::FileBytes(path);
  // The tab showing is no part of the state.
  program->dialog->pageControl()->setCurrentIndex(TFrmset::kBasicTab);
  ASSERT_TRUE(program->session.save(ui));
  EXPECT_EQ(testing::FileBytes(path), first);
  auto again = restart();
  ASSERT_TRUE(again->session.save(ui));
  EXPECT_EQ(testing::FileBytes(path), first);
}

TEST_F(SettingsRoundTripTest, AChosenFontSurvivesClosingTheDialogAndARestart) {
  const LogicalFont chosen = FontOfPointSize("仿宋", 14, 0x00AA00);
  {
    auto program = start();
    program->dialog->setFontChooser([&](const LogicalFont&, QWidget*) { return std::optional<LogicalFont>(chosen); });
    program->dialog->control<FontButton>("btnscalebarFont")->click();
    program->dialog->show();
    program->dialog->close();  // closing the dialog saves
  }
  auto program = restart();
  auto* button = program->dialog->control<FontButton>("btnscalebarFont");
  EXPECT_EQ(button->logicalFont(), chosen);
  EXPECT_EQ(button->font().family(), "AR PL SungtiL GB");
}

TEST_F(SettingsRoundTripTest, RestoredChoicesApplyTheirVisibilityRules) {
  {
    auto program = start();
    program->dialog->control<RadioGroup>("rgGrid")->setItemIndex(4);
    program->dialog->control<QSpinBox>("Seinterval")->setValue(500);
    program->dialog->control<RadioGroup>("RGBKZJMode")->setItemIndex(2);
    program->dialog->control<RadioGroup>("rgdmsmode")->setItemIndex(2);
    ASSERT_TRUE(program->session.save(ui));
  }
  auto program = restart();
  const auto shown = [&](const char* name) { return !program->dialog->findChild<QWidget*>(name)->isHidden(); };
  EXPECT_TRUE(shown("gbjw"));
  EXPECT_TRUE(shown("pnljwcross"));
  EXPECT_FALSE(shown("pnlkm"));
  EXPECT_TRUE(shown("gbmaxscale"));
  EXPECT_FALSE(shown("rgHor"));
  EXPECT_TRUE(shown("GroupBox22"));
  EXPECT_TRUE(shown("gbnum"));
  EXPECT_FALSE(shown("rgwdalignmode"));
}

TEST_F(SettingsRoundTripTest, ADamagedFileShowsTheReadErrorAndKeepsWhatWasApplied) {
  {
    auto program = start();
    program->tool.edtFileName->setText("kept");
    program->dialog->control<QSpinBox>("SeRightMage")->setValue(1234);
    ASSERT_TRUE(program->session.save(ui));
  }
  const std::string bytes = testing::FileBytes(path);
  testing::WriteBytes(path, bytes.substr(0, bytes.size() / 2));
  auto program = restart();
  // Told, and the damaged file kept aside before a save could replace it.
  const std::string backup = std::filesystem::path(path).replace_extension(".bak").string();
  EXPECT_EQ(ui.messages, std::vector<std::string>{"流读取错误：" + path + "\n原设置文件已另存为" + backup});
  EXPECT_EQ(testing::FileBytes(backup), bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(program->tool.edtFileName->text(), "kept");
  EXPECT_EQ(program->dialog->control<QSpinBox>("SeRightMage")->value(), 500);

  // Noise and a record claiming more than the file holds end the same way.
  ui.messages.clear();
  testing::WriteBytes(path, std::string("\xFF\xFF" "0123", 6));
  program->session.load(ui);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"流读取错误：" + path + "\n原设置文件已另存为" + backup});
}

TEST_F(SettingsRoundTripTest, AnUnrecognisedFileIsReportedAndKeptAsideBeforeASave) {
  std::string stranger;
  {
    auto program = start();
    program->tool.edtFileName->setText("theirs");
    ASSERT_TRUE(program->session.save(ui));
    // Another key: every byte of the names changes, the record lengths stay.
    stranger = testing::FileBytes(path);
    for (char& byte : stranger)
      if (byte >= 'A' && byte <= 'F') byte = static_cast<char>(byte == 'A' ? 'F' : byte - 1);
  }
  for (const std::string& bytes : {stranger, std::string(512, '\0')}) {
    ui.messages.clear();
    testing::WriteBytes(path, bytes);
    auto program = restart();
    const std::string backup = std::filesystem::path(path).replace_extension(".bak").string();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"设置文件无法识别：" + path + "\n原设置文件已另存为" + backup});
    EXPECT_EQ(testing::FileBytes(backup), bytes);
    EXPECT_EQ(program->tool.edtFileName->text(), "");
    ASSERT_TRUE(program->session.save(ui));
    EXPECT_EQ(testing::FileBytes(backup), bytes);
  }
}

TEST_F(SettingsRoundTripTest, AnIndexBeyondItsControlIsKeptWithinIt) {
  auto program = start();
  WriteSettingsFile(path, {WindowBlock{"FrmTkTool",
                                       {{"rgtype", "itemindex", "2147483647"},
                                        {"cbFdf", "items", "2147483647^a<Br>b<Br>"},
                                        {"centerL", "Value", "-2147483648"}},
                                       {}}});
  ASSERT_TRUE(program->session.load(ui));
  EXPECT_EQ(program->tool.rgtype->itemIndex(), 1);
  EXPECT_EQ(program->tool.cbFdf->currentIndex(), -1);
  EXPECT_EQ(program->tool.centerL->value(), 75);
}

TEST_F(SettingsRoundTripTest, UnknownNamesAndPropertiesArePassedOver) {
  auto program = start();
  WriteSettingsFile(path, {WindowBlock{"Frmset",
                                       {{"nosuch", "Text", "x"},
                                        {"seMain", "Visible", "False"},
                                        {"seMain", "Value", "abc"},
                                        {"SEMAIN", "value", "300"},
                                        {"edtmian", "Text", "a<Br>b"}},
                                       {}}});
  ASSERT_TRUE(program->session.load(ui));
  EXPECT_EQ(program->dialog->control<QSpinBox>("seMain")->value(), 300);
  EXPECT_FALSE(program->dialog->control<QSpinBox>("seMain")->isHidden());
  EXPECT_EQ(program->dialog->control<QLineEdit>("edtmian")->text(), "a<Br>b");
}

TEST_F(SettingsRoundTripTest, AFileThatCannotBeCreatedIsReportedAndNothingIsSaved) {
  RecordingUserInterface failures;
  SettingsSession session(folder.file("missing/framora.set"));
  ToolWindow tool;
  session.addWindow(&tool);
  EXPECT_FALSE(session.save(failures));
  ASSERT_EQ(failures.messages.size(), 1u);
  EXPECT_EQ(failures.messages[0].rfind("无法创建文件", 0), 0u);
}

TEST_F(SettingsRoundTripTest, NoFileLeavesTheDesignedDefaults) {
  auto program = restart();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(program->dialog->control<QSpinBox>("Seinterval")->value(), 1000);
}

}  // namespace
}  // namespace framora
