#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "app/gui/desktop_helpers.h"
#include "app/gui/frm_tk_tool.h"
#include "app/job/job_controls.h"
#include "frame/setting_table.h"
#include "app_test_support.h"
#include "gis/gdal_setup.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {
namespace {

using testing::RecordingDialogs;
using testing::TempFolder;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureWidgetApplication();
    window = std::make_unique<TFrmTkTool>(dialogs, folder.file("framora.set"));
    window->show();
  }

  template <typename Control>
  Control* get(const char* name) const {
    Control* control = window->control<Control>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QStringList items(const char* combo) const {
    QStringList texts;
    for (int i = 0; i < get<QComboBox>(combo)->count(); ++i) texts << get<QComboBox>(combo)->itemText(i);
    return texts;
  }
  bool shown(const char* name) const { return !get<QWidget>(name)->isHidden(); }

  // A GeoPackage with one polygon layer in the given coordinate system; without either, a
  // shapefile without any.
  std::string dataWithCoordinateSystem(const std::string& name, int epsg, const char* wkt = nullptr) {
    EnsureGdalRegistered();
    const bool bare = epsg == 0 && wkt == nullptr;
    const std::string path = folder.file(name + (bare ? ".shp" : ".gpkg"));
    GDALDatasetUniquePtr data(GetGDALDriverManager()
                                  ->GetDriverByName(bare ? "ESRI Shapefile" : "GPKG")
                                  ->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference srs;
    if (epsg != 0) srs.importFromEPSG(epsg);
    if (wkt != nullptr) srs.importFromWkt(wkt);
    OGRLayer* layer = data->CreateLayer(name.c_str(), epsg != 0 || wkt ? &srs : nullptr, wkbPolygon, nullptr);
    OGRFieldDefn code("CODE", OFTString);
    OGRFieldDefn kind("KIND", OFTString);
    layer->CreateField(&code);
    layer->CreateField(&kind);
    for (const char* value : {"A1", "A2", "A3"}) {
      OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
      feature->SetField("CODE", value);
      feature->SetField("KIND", "same");
      OGRGeometry* polygon = nullptr;
      OGRGeometryFactory::createFromWkt("POLYGON ((0 0,1 0,1 1,0 1,0 0))", nullptr, &polygon);
      feature->SetGeometryDirectly(polygon);
      EXPECT_EQ(layer->CreateFeature(feature.get()), OGRERR_NONE);
    }
    return path;
  }
  void choose(const std::string& document) {
    dialogs.openAnswer = document;
    window->btnfileClick();
  }
  std::string lastError() const { return dialogs.errors.empty() ? "" : dialogs.errors.back(); }

  TempFolder folder;
  RecordingDialogs dialogs;
  std::unique_ptr<TFrmTkTool> window;
};

TEST_F(MainWindowTest, CaptionVersionAndAWindowWithoutMinimiseOrMaximise) {
  EXPECT_EQ(window->objectName(), "FrmTkTool");
  EXPECT_EQ(window->windowTitle(), "Framora For ArcGIS10 V0.1");
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window->font().pixelSize(), 12);
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MainWindowTest, EveryControlStartsWithItsCaptionItemsAndDefault) {
  const auto group = [&](const char* name) { return get<RadioGroup>(name); };
  EXPECT_EQ(group("rgtype")->title(), "选择创立图廓方式");
  EXPECT_EQ(group("rgtype")->items(), QStringList({"标准图幅文件", "行政区划文件"}));
  EXPECT_EQ(group("rgtype")->itemIndex(), 1);
  EXPECT_EQ(get<QGroupBox>("gbFile")->title(), "选择MXD文件名");
  EXPECT_EQ(get<QPushButton>("btnfile")->text(), "浏览");
  EXPECT_TRUE(get<QComboBox>("CBLayer")->isEditable());
  EXPECT_TRUE(get<QComboBox>("CbField")->isEditable());
  EXPECT_EQ(get<QGroupBox>("gbMapno")->title(), "图幅号");
  EXPECT_EQ(get<QLineEdit>("edtMapNO")->text(), "E45G095066");
  EXPECT_EQ(group("gb8054")->title(), "坐标系統");
  EXPECT_EQ(group("gb8054")->items(), QStringList({"国家2000", "西安80", "北京54", "WGS84"}));
  EXPECT_EQ(group("gb8054")->itemIndex(), 0);
  EXPECT_EQ(group("rgisband")->items(), QStringList({"1、不加", "2、加"}));
  EXPECT_EQ(group("rgisband")->itemIndex(), 0);
  EXPECT_EQ(items("cbFdf"), QStringList({"3度分带法", "6度分带法"}));
  EXPECT_FALSE(get<QComboBox>("cbFdf")->isEditable());
  EXPECT_EQ(get<QComboBox>("cbFdf")->currentIndex(), 0);
  auto* meridian = get<QSpinBox>("centerL");
  EXPECT_EQ(meridian->minimum(), 75);
  EXPECT_EQ(meridian->maximum(), 135);
  EXPECT_EQ(meridian->singleStep(), 3);
  EXPECT_EQ(meridian->value(), 87);
  EXPECT_EQ(meridian->property("Tag").toInt(), 1);
  EXPECT_TRUE(meridian->alignment() & Qt::AlignRight);
  EXPECT_EQ(get<QLineEdit>("edtMapscale1")->text(), "");
  EXPECT_EQ(group("rgjw")->title(), "坐标系统");
  EXPECT_EQ(group("rgjw")->items(), QStringList({"平面(XY)坐标", "大地(经纬度)坐标"}));
  EXPECT_EQ(group("rgjw")->itemIndex(), 0);
  EXPECT_EQ(get<QLineEdit>("edtoutFile")->toolTip(), "可以是gdb，也可以是gpkg");
  EXPECT_EQ(get<QLineEdit>("edtmxdPath")->toolTip(), "是个文件夹");
  EXPECT_EQ(items("CBPICType"), QStringList({".JPG", ".TIF"}));
  EXPECT_TRUE(get<QComboBox>("CBPICType")->isEditable());
  EXPECT_EQ(get<QComboBox>("CBPICType")->currentText(), ".JPG");
  EXPECT_EQ(get<QLineEdit>("edtDPI")->text(), "96");
  EXPECT_EQ(get<QLineEdit>("edtDPI")->toolTip(), "一般为96，打印为300");
  const std::vector<std::pair<const char*, const char*>> buttons = {
      {"Button1", "生成图廓"}, {"btnPrint", "批量打印"}, {"btndown", "设置"}, {"Button9", "帮助"}, {"Button10", "退出"}};
  for (const auto& [name, caption] : buttons) EXPECT_EQ(get<QPushButton>(name)->text(), caption) << name;
  // Shown, the window lets the creation mode pick its group.
  EXPECT_TRUE(shown("gbFile"));
  EXPECT_FALSE(shown("gbMapno"));
}

TEST_F(MainWindowTest, UntouchedWindowsAssembleToTheDefaultRunSettings) {
  // Start from other values everywhere, so that a control that fails to reach its field shows.
  FrameSettings assembled;
  for (const FrameSettingRow& row : FrameSettingTable()) {
    const auto other = [](const auto& initial) -> SettingValue {
      using T = std::decay_t<decltype(initial)>;
      if constexpr (std::is_same_v<T, LogicalFont>) return FontOfPointSize("黑体", 30);
      else if constexpr (std::is_same_v<T, std::string>) return initial + "x";
      else if constexpr (std::is_same_v<T, bool>) return !initial;
      else return initial + 1;
    };
    StoreSetting(row, std::visit(other, row.initial), assembled);
  }
  AssembleFrameSettings(CaptureControlValues(window->session().windows()), assembled);
  const FrameSettings defaults;
  for (const FrameSettingRow& row : FrameSettingTable()) {
    // The commands write those without a control themselves.
    if (row.control.empty()) continue;
    EXPECT_EQ(GetFrameSetting(assembled, row.name), GetFrameSetting(defaults, row.name)) << row.name;
  }
  const FrameJobInputs inputs = FrameJobInputsFromControls(CaptureControlValues({window.get()}));
  EXPECT_EQ(inputs.creationMode, 1);
  EXPECT_EQ(inputs.dpiText, "96");
  EXPECT_EQ(std::to_string(defaults.ExportDpi), inputs.dpiText);
  EXPECT_EQ(inputs.coordinateSystemIndex, defaults.coordinateSystemIndex);
}

TEST_F(MainWindowTest, EveryControlOfTheSettingTableIsAControlOfTheWindows) {
  for (const FrameSettingRow& row : FrameSettingTable()) {
    if (row.control.empty()) continue;
    // The dialog belongs to the main window: the same control may be found through both.
    QSet<QWidget*> found;
    for (QWidget* shown : window->session().windows())
      for (QWidget* control : shown->findChildren<QWidget*>(QString::fromStdString(row.control))) found.insert(control);
    EXPECT_EQ(found.size(), 1) << row.name << " from " << row.control;
  }
}

TEST_F(MainWindowTest, MainWindowRowsOfTheAssemblyFollowItsControls) {
  get<RadioGroup>("gb8054")->setItemIndex(2);
  get<RadioGroup>("rgisband")->setItemIndex(1);
  get<QComboBox>("cbFdf")->setCurrentIndex(1);
  get<QSpinBox>("centerL")->setValue(123);
  get<RadioGroup>("rgjw")->setItemIndex(1);
  get<QLineEdit>("edtMapscale1")->setText("2.5");
  get<RadioGroup>("rgtype")->setItemIndex(0);
  get<QComboBox>("CBPICType")->setEditText(".PNG");
  FrameSettings settings;
  AssembleFrameSettings(CaptureControlValues(window->session().windows()), settings);
  EXPECT_TRUE(settings.UseKrassowsky);
  EXPECT_TRUE(settings.CoordsWithZone);
  EXPECT_FALSE(settings.ThreeDegreeZones);
  EXPECT_EQ(settings.CentralMeridian, 123);
  EXPECT_TRUE(settings.GeographicInput);
  EXPECT_DOUBLE_EQ(settings.ScaleFactor, 0.00025);
  EXPECT_EQ(settings.FrameMode, 1);
  EXPECT_EQ(settings.PictureType, ".PNG");  // typed, not picked
  get<QLineEdit>("edtMapscale1")->setText("");
  AssembleFrameSettings(CaptureControlValues(window->session().windows()), settings);
  EXPECT_DOUBLE_EQ(settings.ScaleFactor, 1);
}

TEST_F(MainWindowTest, TabGoesThroughTheControlsTopToBottom) {
  const QStringList expected = {"edtmxd",     "btnfile",  "CBLayer", "CbField",   "edtFileName", "reditwhere",
                                "edtMapNO",   "cbFdf",    "centerL", "edtMapscale1", "edtoutFile", "btnout",
                                "edtmxdPath", "btnmxdjpg", "CBPICType", "edtDPI",  "Button1",     "btnPrint",
                                "btndown",    "Button9",  "Button10"};
  QStringList order;
  QWidget* widget = get<QWidget>("edtmxd");
  for (int guard = 0; guard < 200 && order.size() < expected.size(); ++guard, widget = widget->nextInFocusChain()) {
    const QString name = widget->objectName();
    if (expected.contains(name) && !order.contains(name)) order << name;
  }
  EXPECT_EQ(order, expected);
}

TEST_F(MainWindowTest, ScaleMenuWritesTheDenominatorOfEachItem) {
  QStringList captions;
  for (QAction* item : window->scaleMenu()->actions()) captions << (item->isSeparator() ? "-" : item->text());
  EXPECT_EQ(captions, QStringList({"1:500", "1:2000", "1:5000", "-", "1:1万", "1:2.5万", "1:5万", "1:10万", "1:25万",
                                   "1:50万"}));
  const std::map<QString, QString> written = {{"1:500", "500"},       {"1:2.5万", "25000"},
                                              {"1:10万", "100000"},   {"1:50万", "500000"}};
  for (QAction* item : window->scaleMenu()->actions()) {
    if (item->isSeparator()) continue;
    item->trigger();  // as a click on the item does
    if (written.count(item->text())) {
      EXPECT_EQ(get<QLineEdit>("edtMapscale1")->text(), written.at(item->text()));
    }
  }
  EXPECT_EQ(get<QLineEdit>("edtMapscale1")->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(MainWindowTest, ScaleBoxTakesNoLettersHoweverTheyArrive) {
  auto* scale = get<QLineEdit>("edtMapscale1");
  scale->insert(QStringLiteral("50000x"));  // as a middle-click paste or a drop inserts
  EXPECT_EQ(scale->text(), "");
  scale->insert(QStringLiteral("50000"));
  scale->insert(QStringLiteral("1:2"));
  EXPECT_EQ(scale->text(), "50000");
  scale->insert(QStringLiteral(".5"));
  scale->insert(QStringLiteral("."));
  EXPECT_EQ(scale->text(), "50000.5");
}

TEST_F(MainWindowTest, ScaleBoxTakesDigitsBackspaceAndOneDotOnly) {
  auto* scale = get<QLineEdit>("edtMapscale1");
  QTest::keyClicks(scale, "1.5.2");
  EXPECT_EQ(scale->text(), "1.52");
  QTest::keyClicks(scale, "ab, -e");
  EXPECT_EQ(scale->text(), "1.52");
  QTest::keyClick(scale, Qt::Key_Backspace);
  QTest::keyClick(scale, Qt::Key_Backspace);
  EXPECT_EQ(scale->text(), "1.");
  QTest::keyClicks(scale, "5");
  EXPECT_EQ(scale->text(), "1.5");
  // Left and Delete keep their meaning; a dot typed once the text holds one is still swallowed.
  QTest::keyClick(scale, Qt::Key_Home);
  QTest::keyClick(scale, Qt::Key_Delete);
  EXPECT_EQ(scale->text(), ".5");
  QTest::keyClicks(scale, ".");
  EXPECT_EQ(scale->text(), ".5");
  EXPECT_TRUE(ScaleKeyAccepted("", QChar(u'7')));
  EXPECT_FALSE(ScaleKeyAccepted("", QChar(u'７')));  // a full-width digit is no digit here
}

TEST_F(MainWindowTest, OutputChooserGivesTheNameTheExtensionOfTheChosenFilter) {
  auto* output = get<QLineEdit>("edtoutFile");
  output->setText("/data/old.gdb");
  const auto chooseAs = [&](const std::string& name, int filter) {
    dialogs.saveAnswer = DesktopDialogs::SaveChoice{name, filter};
    window->btnoutClick();
    return output->text().toStdString();
  };
  EXPECT_EQ(chooseAs("/data/out", 1), "/data/out.gpkg");
  EXPECT_EQ(dialogs.savePreset, "/data/old.gdb");
  EXPECT_EQ(dialogs.saveFilter, "*.gdb;;*.gpkg");
  EXPECT_EQ(chooseAs("/data/out.gdb", 1), "/data/out.gpkg");
  EXPECT_EQ(chooseAs("/data/out.gpkg", 0), "/data/out.gdb");
  EXPECT_EQ(chooseAs("/data/out", 0), "/data/out.gdb");
  EXPECT_EQ(chooseAs("/data/v1.2/out", 0), "/data/v1.2/out.gdb");
  // Opened in the dialog, an existing geodatabase is the choice itself.
  EXPECT_EQ(chooseAs("/data/old.gdb/new", 0), "/data/old.gdb");
  EXPECT_EQ(chooseAs("/data/Old.GDB/a00000001.gdbtable", 0), "/data/Old.GDB");
  EXPECT_EQ(chooseAs("/data/a.gdb/b.gdb/c", 0), "/data/a.gdb");
  EXPECT_EQ(chooseAs("/data/old.gdb/new", 1), "/data/old.gdb");
  EXPECT_EQ(chooseAs("/data/v1.2/out", 0), "/data/v1.2/out.gdb");
  dialogs.saveAnswer.reset();
  window->btnoutClick();
  EXPECT_EQ(output->text(), "/data/v1.2/out.gdb");
}

TEST_F(MainWindowTest, FolderChooserStartsAtTheFolderPartAndEndsWithASeparator) {
  auto* folderEdit = get<QLineEdit>("edtmxdPath");
  folderEdit->setText("/data/maps/old");
  dialogs.folderAnswer = "/tmp/pictures";
  window->btnmxdjpgClick();
  EXPECT_EQ(dialogs.folderTitle, "选择文件路径");
  EXPECT_EQ(dialogs.folderStart, "/data/maps/");
  EXPECT_EQ(folderEdit->text(), "/tmp/pictures/");
  dialogs.folderAnswer.reset();
  window->btnmxdjpgClick();
  EXPECT_EQ(folderEdit->text(), "/tmp/pictures/");
}

TEST_F(MainWindowTest, CreationModeShowsTheFileGroupOrElseTheSheetNumber) {
  auto* mode = get<RadioGroup>("rgtype");
  mode->setItemIndex(0);
  EXPECT_TRUE(shown("gbFile"));
  EXPECT_FALSE(shown("gbMapno"));
  mode->setItemIndex(-1);
  EXPECT_FALSE(shown("gbFile"));
  EXPECT_TRUE(shown("gbMapno"));
  mode->button(1)->click();
  EXPECT_TRUE(shown("gbFile"));
  EXPECT_FALSE(shown("gbMapno"));
}

TEST_F(MainWindowTest, SheetNumberSetsTheZoneMeridianOnLeavingTheBox) {
  auto* number = get<QLineEdit>("edtMapNO");
  auto* meridian = get<QSpinBox>("centerL");
  meridian->setValue(120);
  window->edtMapNOExit();
  EXPECT_EQ(meridian->value(), 87);  // E45G095066: west edge 88°03'45"
  number->setText("J50G011041");
  window->edtMapNOExit();
  EXPECT_EQ(meridian->value(), 117);
  number->setText("J-50-1-(1)");  // the old notation
  window->edtMapNOExit();
  EXPECT_EQ(meridian->value(), 114);
  number->setText("XYZ");
  window->edtMapNOExit();
  EXPECT_EQ(meridian->value(), 114);
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back(), "图幅号输入错误");  // a plain box, not the error box
  EXPECT_TRUE(dialogs.errors.empty());
  number->setText("");
  EXPECT_THROW(window->edtMapNOExit(), FramoraError);
  // Leaving the box for another control reports it in the error box.
  number->setFocus();
  QFocusEvent leaving(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(number, &leaving);
  EXPECT_EQ(lastError(), "图幅号不能空");
}

TEST_F(MainWindowTest, ChoosingADocumentSetsTheCoordinatesAndListsItsFeatureLayers) {
  get<QComboBox>("CbField")->addItem("OLD");
  choose(std::string(FRAMORA_SAMPLE_DIR) + "/sample.qgs");
  EXPECT_TRUE(dialogs.errors.empty()) << lastError();
  EXPECT_EQ(get<QLineEdit>("edtmxd")->text().toStdString(), std::string(FRAMORA_SAMPLE_DIR) + "/sample.qgs");
  EXPECT_TRUE(dialogs.openFilter.contains("*.qgs"));
  EXPECT_EQ(items("CBLayer"), QStringList({"道路", "乡镇", "图幅", "图幅经纬度"}));
  EXPECT_EQ(get<QComboBox>("CBLayer")->currentText(), "道路");
  // EPSG:4527: CGCS2000, 3-degree zone 39 with the zone in the eastings, 117°.
  EXPECT_EQ(get<RadioGroup>("rgjw")->itemIndex(), 0);
  EXPECT_EQ(get<RadioGroup>("gb8054")->itemIndex(), 0);
  EXPECT_EQ(get<RadioGroup>("rgisband")->itemIndex(), 1);
  EXPECT_EQ(get<QComboBox>("cbFdf")->currentIndex(), 0);
  EXPECT_EQ(get<QSpinBox>("centerL")->value(), 117);
  // The fields of the layer now showing.
  EXPECT_EQ(items("CbField"), QStringList({"MC", "DJ"}));
  get<QComboBox>("CBLayer")->setCurrentText("图幅");
  window->CBLayerChange();
  EXPECT_EQ(items("CbField"), QStringList({"TFH", "TM"}));

  // The chosen layer's own coordinate system decides: 图幅经纬度 is in EPSG:4490.
  get<QComboBox>("CBLayer")->setCurrentText("图幅经纬度");
  window->CBLayerChange();
  EXPECT_EQ(get<RadioGroup>("rgjw")->itemIndex(), 1);
  EXPECT_EQ(get<RadioGroup>("gb8054")->itemIndex(), 0);
  get<QComboBox>("CBLayer")->setCurrentText("图幅");
  window->CBLayerChange();
  EXPECT_EQ(get<RadioGroup>("rgjw")->itemIndex(), 0);
  EXPECT_TRUE(dialogs.errors.empty()) << lastError();
}

TEST_F(MainWindowTest, GeographicAndUnknownCoordinateSystems) {
  get<QSpinBox>("centerL")->setValue(99);
  choose(dataWithCoordinateSystem("geo2000", 4490));
  EXPECT_EQ(get<RadioGroup>("rgjw")->itemIndex(), 1);
  EXPECT_EQ(get<RadioGroup>("gb8054")->itemIndex(), 0);
  EXPECT_EQ(get<QSpinBox>("centerL")->value(), 99);  // a geographic system says nothing of zones
  choose(dataWithCoordinateSystem("wgs84", 4326));
  EXPECT_EQ(get<RadioGroup>("gb8054")->itemIndex(), 3);
  choose(dataWithCoordinateSystem("beijing", 2401));  // Beijing 1954, 3-degree zone 25, 75°
  EXPECT_EQ(get<RadioGroup>("rgjw")->itemIndex(), 0);
  EXPECT_EQ(get<RadioGroup>("gb8054")->itemIndex(), 2);
  EXPECT_EQ(get<QSpinBox>("centerL")->value(), 75);
  // A UTM zone is not recognised and changes nothing, quietly.
  choose(dataWithCoordinateSystem("utm", 32650));
  EXPECT_EQ(get<RadioGroup>("gb8054")->itemIndex(), 2);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(dialogs.errors.empty()) << lastError();
  // A layer whose every value repeats in one field offers only the field that tells them apart.
  EXPECT_EQ(items("CbField"), QStringList({"CODE"}));
}

TEST_F(MainWindowTest, DocumentWithoutCoordinateSystemIsReportedAndTheLayerListKept) {
  choose(std::string(FRAMORA_SAMPLE_DIR) + "/sample.qgs");
  const std::string bare = dataWithCoordinateSystem("bare", 0);
  choose(bare);
  EXPECT_EQ(lastError(), "没有定义坐标系统");
  EXPECT_EQ(get<QLineEdit>("edtmxd")->text().toStdString(), bare);
  EXPECT_EQ(get<QComboBox>("CBLayer")->count(), 4);
  ASSERT_NE(window->document(), nullptr);
  EXPECT_EQ(window->document()->path(), bare);

  // A system without a registry code is left for the user to set.
  choose(dataWithCoordinateSystem("custom", 0,
                                  "PROJCS[\"local\",GEOGCS[\"g\",DATUM[\"d\",SPHEROID[\"s\",6378140,298.257]],"
                                  "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],"
                                  "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"central_meridian\",111],"
                                  "UNIT[\"metre\",1]]"));
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back(), "无法自动识别坐标系统，自己设置有关参数");
  EXPECT_EQ(items("CBLayer"), QStringList({"custom"}));

  // Cancelling the chooser changes nothing.
  dialogs.openAnswer.reset();
  window->btnfileClick();
  EXPECT_EQ(items("CBLayer"), QStringList({"custom"}));
}

TEST_F(MainWindowTest, PickingAFieldRebuildsTheTemplateAroundIt) {
  auto* fields = get<QComboBox>("CbField");
  auto* name = get<QLineEdit>("edtFileName");
  fields->addItems({"A", "B"});
  fields->setCurrentIndex(0);
  window->CbFieldChange();
  EXPECT_EQ(name->text(), "[A]");
  name->setText("图[A]幅");
  fields->setCurrentIndex(1);
  window->CbFieldChange();
  EXPECT_EQ(name->text(), "图[B]幅");
  name->setText("no brackets");
  window->CbFieldChange();
  EXPECT_EQ(name->text(), "[B]");
}

TEST_F(MainWindowTest, SettingsDialogIsMadeOnceAndShownModally) {
  EXPECT_EQ(window->findChildren<TFrmset*>().size(), 1);
  EXPECT_EQ(window->settingsDialog().objectName(), "Frmset");
  ASSERT_EQ(window->session().windows().size(), 2u);
  EXPECT_EQ(window->session().windows()[0], window.get());
  window->btndownClick();
  window->btndownClick();
  EXPECT_EQ(dialogs.modalShown, 2);
  EXPECT_EQ(window->findChildren<TFrmset*>().size(), 1);
}

TEST_F(MainWindowTest, HelpOpensTheHtmlBesideTheProgram) {
  window->Button9Click();
  const std::string help = HelpFilePath();
  EXPECT_TRUE(EndsWithText(help, "framora_tests_app.html"));
  if (std::filesystem::exists(help)) {
    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(dialogs.opened[0].toLocalFile().toStdString(), help);
  } else {
    EXPECT_EQ(lastError(), "文件找不到！");
    EXPECT_EQ(dialogs.errorCaptions.back(), "打开文件" + help);
  }
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndSavesTheSettingsFile) {
  EXPECT_FALSE(std::filesystem::exists(folder.file("framora.set")));
  window->Button10Click();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(std::filesystem::exists(folder.file("framora.set")));
}

}  // namespace
}  // namespace framora
