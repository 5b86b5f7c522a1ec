#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontDialog>
#include <QTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabBar>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "frame/frame_settings.h"
#include "settings/control_values.h"
#include "settings/font_button.h"
#include "settings/frmset.h"
#include "settings_test_support.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureWidgetApplication();
    dialog = std::make_unique<TFrmset>(ui);
  }

  bool shown(const char* name) const { return !dialog->findChild<QWidget*>(name)->isHidden(); }
  void setGrid(int type) { dialog->control<RadioGroup>("rgGrid")->setItemIndex(type); }
  void setSpin(const char* name, int value) { dialog->control<QSpinBox>(name)->setValue(value); }
  // Leaves the current tab the way a click on another tab does.
  void clickTab(int index) { dialog->pageControl()->tabBar()->setCurrentIndex(index); }

  RecordingUserInterface ui;
  std::unique_ptr<TFrmset> dialog;
};

TEST_F(SettingsDialogTest, HasItsCaptionSevenTabsAndOpensOnTheGridTab) {
  EXPECT_EQ(dialog->windowTitle(), "参数设置(距离单位为0.1毫米)");
  EXPECT_EQ(dialog->pageControl()->objectName(), "PageControl1");
  const QStringList expected = {"基本信息", "四周标注", "图廓信息", "网格信息", "接合图表信息", "比例尺条", "页边距设置"};
  QStringList tabs;
  for (int i = 0; i < dialog->pageControl()->count(); ++i) tabs << dialog->pageControl()->tabText(i);
  EXPECT_EQ(tabs, expected);
  EXPECT_EQ(dialog->pageControl()->currentIndex(), TFrmset::kGridTab);
}

TEST_F(SettingsDialogTest, FourteenFontButtonsCarryTag89AndSpinEditsTag1ButTheListedOnes) {
  QStringList fontButtons;
  QStringList leftAligned;
  for (QWidget* widget : dialog->findChildren<QWidget*>()) {
    const int tag = widget->property("Tag").toInt();
    if (tag == 89 && dynamic_cast<FontButton*>(widget)) fontButtons << widget->objectName();
    if (qobject_cast<QSpinBox*>(widget) && tag != 1) leftAligned << widget->objectName();
  }
  EXPECT_EQ(fontButtons.size(), 14);
  leftAligned.sort();
  EXPECT_EQ(leftAligned, QStringList({"SeBottomMage", "SeLeftMage", "SeRightMage", "SeTopMage", "edtBKZJDIS",
                                      "seForenum", "seYaDIS", "seafternum", "seannafternum", "seannforenum"}));
  auto* mask = dialog->control<QSpinBox>("seYaDIS");
  EXPECT_EQ(mask->minimum(), 0);
  EXPECT_EQ(mask->maximum(), 1000000);
  EXPECT_EQ(dialog->control<QSpinBox>("seMain")->minimum(), INT_MIN);  // no limit
}

TEST_F(SettingsDialogTest, UntouchedControlsGiveTheDialogDefaultRunSettings) {
  FrameSettings settings = DialogDefaultSettings();
  const FrameSettings defaults = settings;
  settings.MainTitle = settings.SideTitle = "";
  settings.GridType = 0;
  settings.LowerLeftFont = settings.SubTitle2Font = LogicalFont{};
  ApplyControlValues(CaptureControlValues({dialog.get()}), settings);
  for (const auto& name : FrameSettingNames())
    EXPECT_EQ(GetFrameSetting(settings, name), GetFrameSetting(defaults, name)) << name;
}

TEST_F(SettingsDialogTest, ShowingRightAlignsTheSpinEditsTaggedOne) {
  dialog->show();
  EXPECT_EQ(dialog->control<QSpinBox>("Seinterval")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(dialog->control<QSpinBox>("seYaDIS")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  dialog->hide();
}

TEST_F(SettingsDialogTest, GridTypeShowsItsGroups) {
  struct Expected {
    int type;
    bool gbjw, gbdxfont, pnlLinelength, pnlkm, pnljwcross;
  };
  for (const Expected& e : {Expected{0, false, false, false, false, false}, Expected{1, false, true, false, true, false},
                            Expected{2, false, true, true, true, false}, Expected{3, true, true, false, false, false},
                            Expected{4, true, true, false, false, true}, Expected{1, false, true, false, true, false}}) {
    SCOPED_TRACE(e.type);
    setGrid(e.type);
    EXPECT_EQ(shown("gbjw"), e.gbjw);
    EXPECT_EQ(shown("gbdxfont"), e.gbdxfont);
    EXPECT_EQ(shown("pnlLinelength"), e.pnlLinelength);
    EXPECT_EQ(shown("pnlkm"), e.pnlkm);
    EXPECT_EQ(shown("pnljwcross"), e.pnljwcross);
  }
}

TEST_F(SettingsDialogTest, IntervalBelowAKilometreSwapsLabelModesForDigitCounts) {
  EXPECT_TRUE(shown("rgHor"));
  EXPECT_FALSE(shown("gbmaxscale"));
  setSpin("Seinterval", 999);
  EXPECT_FALSE(shown("rgHor"));
  EXPECT_FALSE(shown("rgver"));
  EXPECT_TRUE(shown("gbmaxscale"));
  setSpin("Seinterval", 1000);
  EXPECT_TRUE(shown("rgHor"));
  EXPECT_TRUE(shown("rgver"));
  EXPECT_FALSE(shown("gbmaxscale"));
}

TEST_F(SettingsDialogTest, CornerAndLabelPlaceChoicesShowTheirControls) {
  EXPECT_TRUE(shown("btn4j"));
  dialog->control<RadioGroup>("Rg4JAnn")->setItemIndex(0);
  EXPECT_FALSE(shown("btn4j"));

  EXPECT_TRUE(shown("rgwdalignmode"));
  EXPECT_FALSE(shown("gbnum"));
  dialog->control<RadioGroup>("rgdmsmode")->setItemIndex(2);
  EXPECT_FALSE(shown("rgwdalignmode"));
  EXPECT_TRUE(shown("gbnum"));
  dialog->control<RadioGroup>("rgdmsmode")->setItemIndex(1);
  EXPECT_FALSE(shown("rgwdalignmode"));
  EXPECT_FALSE(shown("gbnum"));

  EXPECT_FALSE(shown("GroupBox22"));
  dialog->control<RadioGroup>("RGBKZJMode")->button(2)->click();
  EXPECT_TRUE(shown("GroupBox22"));
  dialog->control<RadioGroup>("RGBKZJMode")->button(0)->click();
  EXPECT_FALSE(shown("GroupBox22"));
}

TEST_F(SettingsDialogTest, CrossesLongerThanTheIntervalKeepTheUserOnTheGridTab) {
  setGrid(2);
  setSpin("Seinterval", 40);
  setSpin("SeLineLength", 50);
  clickTab(TFrmset::kJoinTableTab);
  EXPECT_EQ(dialog->pageControl()->currentIndex(), TFrmset::kGridTab);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"十字丝的长度，不能大于间隔"});

  setSpin("SeLineLength", 40);
  clickTab(TFrmset::kJoinTableTab);
  EXPECT_EQ(dialog->pageControl()->currentIndex(), TFrmset::kJoinTableTab);
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(SettingsDialogTest, ALineLengthDoesNotMatterForAKilometreGrid) {
  setGrid(1);
  setSpin("Seinterval", 40);
  setSpin("SeLineLength", 50);
  EXPECT_TRUE(dialog->PageControl1Changing(TFrmset::kGridTab));
  clickTab(0);
  EXPECT_EQ(dialog->pageControl()->currentIndex(), 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SettingsDialogTest, AFieldInBracketsIsCorrectedOnceOnLeavingTheTableTab) {
  clickTab(TFrmset::kJoinTableTab);
  auto* field = dialog->control<QLineEdit>("edtField");
  field->setText("[NAME]");
  clickTab(TFrmset::kScaleBarTab);
  EXPECT_EQ(field->text(), "NAME");
  EXPECT_EQ(dialog->pageControl()->currentIndex(), TFrmset::kJoinTableTab);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"这里是字段名,不支持嵌套,自动更新了"});
  clickTab(TFrmset::kScaleBarTab);
  EXPECT_EQ(dialog->pageControl()->currentIndex(), TFrmset::kScaleBarTab);

  // Only the first pair goes: [[A]] becomes [A] and still holds a bracket.
  clickTab(TFrmset::kJoinTableTab);
  field->setText("[[A]]");
  EXPECT_FALSE(dialog->PageControl1Changing(TFrmset::kJoinTableTab));
  EXPECT_EQ(field->text(), "[A]");
}

TEST_F(SettingsDialogTest, AFontButtonTakesTheChosenFontAndShowsItsCaptionInIt) {
  LogicalFont kai = FontOfPointSize("楷体", 12, 0x0000FF);
  LogicalFont offered;
  dialog->setFontChooser([&](const LogicalFont& current, QWidget*) {
    offered = current;
    return std::optional<LogicalFont>(kai);
  });
  auto* button = dialog->control<FontButton>("btnleftdown");
  button->click();
  EXPECT_EQ(offered.height, -13);
  EXPECT_EQ(button->logicalFont(), kai);
  EXPECT_EQ(button->font().family(), "AR PL KaitiM GB");
  EXPECT_EQ(button->font().pixelSize(), 16);
  EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(255, 0, 0));

  dialog->setFontChooser([](const LogicalFont&, QWidget*) { return std::optional<LogicalFont>(); });
  button->click();
  EXPECT_EQ(button->logicalFont(), kai);
}

TEST(FontChoice, KeepsTheWindowsFaceWhenItsStandInComesBack) {
  testing::EnsureWidgetApplication();
  LogicalFont song;
  song.height = -16;
  song.color = 0x00FF00;
  QFont chosen(DisplayFont(song));
  chosen.setPointSize(15);
  chosen.setBold(true);
  const LogicalFont font = ChosenFont(chosen, song);
  EXPECT_EQ(font.faceName, "宋体");
  EXPECT_EQ(font.height, -20);
  EXPECT_EQ(font.weight, 700);
  EXPECT_EQ(font.color, 0x00FF00);
  chosen.setFamily("Noto Sans CJK SC");
  EXPECT_EQ(ChosenFont(chosen, song).faceName, "Noto Sans CJK SC");
}

// Types a size into the open font dialog's size box and accepts; shown gets what the box
// held first.
void TypeSizeInFontDialog(const QString& typed, QString* shown) {
  auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
  if (dialog == nullptr) return;
  for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
    if (edit->validator() == nullptr) continue;
    if (shown != nullptr) *shown = edit->text();
    edit->selectAll();
    edit->del();
    for (const QChar character : typed) edit->insert(character);
  }
  dialog->accept();
}

TEST(FontChoice, HalfPointSizesTypedInTheDialogStay) {
  testing::EnsureWidgetApplication();
  const LogicalFont song = FontOfPointSize("宋体", 12);
  // 五号 and 六号: 14 and 10 pixels at 96 dpi, exactly.
  for (const auto& [typed, pixels] : {std::pair{"10.5", -14}, std::pair{"7.5", -10}, std::pair{"9", -12}}) {
    QTimer::singleShot(0, [typed = QString(typed)] { TypeSizeInFontDialog(typed, nullptr); });
    const std::optional<LogicalFont> chosen = ChooseFontInDialog(song, nullptr);
    ASSERT_TRUE(chosen.has_value()) << typed;
    EXPECT_EQ(chosen->height, pixels) << typed;
    EXPECT_EQ(chosen->faceName, "宋体");
  }
}

TEST(FontChoice, TheDialogOpensOnAHalfPointSize) {
  testing::EnsureWidgetApplication();
  QString shown;
  QTimer::singleShot(0, [&] { TypeSizeInFontDialog("7.5", &shown); });
  const std::optional<LogicalFont> chosen = ChooseFontInDialog(FontOfPointSize("黑体", 10.5), nullptr);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(shown, "10.5");
  EXPECT_DOUBLE_EQ(chosen->pointSize(), 7.5);
}

// Run with FRAMORA_SCREENSHOT_DIR set (under xvfb-run) to look at every tab.
TEST_F(SettingsDialogTest, ScreenshotsOfEachTab) {
  const char* folder = std::getenv("FRAMORA_SCREENSHOT_DIR");
  if (folder == nullptr) GTEST_SKIP() << "FRAMORA_SCREENSHOT_DIR not set";
  std::filesystem::create_directories(folder);
  dialog->show();
  const auto grab = [&](int tab, const std::string& name) {
    dialog->pageControl()->setCurrentIndex(tab);
    dialog->adjustSize();
    QApplication::processEvents();
    EXPECT_TRUE(dialog->grab().save(QString::fromStdString(std::string(folder) + "/frmset_" + name + ".png")));
  };
  for (int tab = 0; tab < dialog->pageControl()->count(); ++tab) grab(tab, "tab" + std::to_string(tab));
  // The groups that the default choices hide.
  dialog->control<RadioGroup>("rgdmsmode")->setItemIndex(2);
  grab(TFrmset::kFrameTab, "tab2_xy");
  setGrid(2);
  setSpin("Seinterval", 500);
  dialog->control<RadioGroup>("RGBKZJMode")->setItemIndex(2);
  grab(TFrmset::kGridTab, "tab3_crosses");
  setGrid(4);
  grab(TFrmset::kGridTab, "tab3_graticule_crosses");
  dialog->hide();
}

}  // namespace
}  // namespace framora
