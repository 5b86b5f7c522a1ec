#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "frame/frame_settings.h"
#include "frame/setting_table.h"
#include "settings/dialog_controls.h"
#include "settings/control_values.h"
#include "settings/settings_file.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"

namespace framora {
namespace {

ControlValues ValuesOf(const std::vector<ComponentRecord>& records, const std::vector<FontRecord>& fonts = {}) {
  std::ostringstream out;
  WriteSettings(out, {WindowBlock{"Frmset", records, fonts}});
  std::istringstream in(out.str());
  ControlValues values;
  ReadControlValues(in, values);
  return values;
}

TEST(ControlValuesReading, TakesEachKindOfRecordWithoutAnyWindow) {
  const ControlValues values = ValuesOf({
      {"morb", "lines", "P<Br>Q<br>R<Br>"},
      {"edtmian", "Text", "a,b,c"},
      {"rgGrid", "itemindex", "3"},
      {"Seinterval", "Value", "-40"},
      {"Chkiskmann", "checked", "false"},
      {"CBPICType", "items", "1^.JPG<Br>.TIF<Br>"},
      {"CBLayer", "items", "-1^a<Br>b<Br>"},
      {"CbField", "items", "7^a<Br>"},
      {"rgver", "itemindex", "x"},
  });
  EXPECT_EQ(values.find("morb")->text, "P\r\nQ\r\nR");
  EXPECT_EQ(values.find("EDTMIAN")->text, "a,b,c");
  EXPECT_EQ(values.find("rgGrid")->number, 3);
  EXPECT_EQ(values.find("Seinterval")->number, -40);
  EXPECT_EQ(values.find("Chkiskmann")->checked, false);
  EXPECT_EQ(values.find("CBPICType")->text, ".TIF");
  EXPECT_EQ(values.find("CBLayer")->number, -1);
  EXPECT_EQ(values.find("CBLayer")->text, "");
  EXPECT_EQ(values.find("CBLayer")->items, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(values.find("CbField")->number, -1);
  EXPECT_EQ(values.find("rgver"), nullptr);
}

TEST(ControlValuesReading, AMissingFileIsNothingAndADamagedOneKeepsWhatWasRead) {
  testing::TempFolder folder;
  ControlValues values;
  ReadControlValues(folder.file("none.set"), values);
  EXPECT_TRUE(values.controls().empty());

  std::ostringstream out;
  WriteSettings(out, {WindowBlock{"Frmset", {{"edtmian", "Text", "kept"}, {"edtmian1", "Text", "lost"}}, {}}});
  const std::string bytes = out.str();
  const std::string path = folder.file("cut.set");
  std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() - 60);
  try {
    ReadControlValues(path, values);
    ADD_FAILURE() << "a cut file reads without error";
  } catch (const FramoraError& error) {
    EXPECT_EQ(std::string(error.what()), std::string(kStreamReadError) + "：" + path);
  }
  EXPECT_EQ(values.find("edtmian")->text, "kept");
}

TEST(ControlValuesToRunSettings, FollowTheAssemblyConversions) {
  LogicalFont hei;
  hei.faceName = "黑体";
  hei.height = -20;
  FrameSettings settings;
  ApplyControlValues(ValuesOf({{"edtBKZJDIS", "Value", "0"},
                               {"edtField", "Text", "[[NAME]]"},
                               {"sewd", "Value", "150"},
                               {"edtMapscale1", "Text", "2.5"},
                               {"SeTopMage", "Value", "300"},
                               {"rgtype", "itemindex", "0"},
                               {"Rg4JAnn", "itemindex", "0"},
                               {"edtrightbottom", "Text", "  尾部 "},
                               {"molb", "lines", "一<Br>二<Br>"},
                               {"CBPICType", "items", "1^.JPG<Br>.TIF<Br>"}},
                              {{"btnDFont", hei}}),
                     settings);
  EXPECT_EQ(settings.GridLabelOffset, 5);
  EXPECT_EQ(settings.GridLabelOffsetMm, 0);
  EXPECT_EQ(settings.TitleField, "[NAME]");
  EXPECT_DOUBLE_EQ(settings.LatStep, 150 / 3600.0);
  EXPECT_DOUBLE_EQ(settings.ScaleFactor, 0.00025);
  EXPECT_DOUBLE_EQ(settings.PageMarginTop, 30);
  EXPECT_DOUBLE_EQ(settings.PageMarginBottom, 40);
  EXPECT_EQ(settings.FrameMode, 1);
  EXPECT_FALSE(settings.CornerLatLonOn);
  EXPECT_EQ(settings.LowerRightCentredTail, "尾部");
  EXPECT_EQ(settings.LowerLeftText, "一\r\n二");
  EXPECT_EQ(settings.PictureType, ".TIF");
  EXPECT_EQ(settings.GridBigFont, hei);
  EXPECT_EQ(settings.GridSmallFont, FrameSettings{}.GridSmallFont);

  ApplyControlValues(ValuesOf({{"edtBKZJDIS", "Value", "25"}, {"edtMapscale1", "Text", "abc"}}), settings);
  EXPECT_EQ(settings.GridLabelOffset, 25);
  EXPECT_EQ(settings.GridLabelOffsetMm, 2);
  EXPECT_DOUBLE_EQ(settings.ScaleFactor, 1);
}

TEST(ControlValuesToRunSettings, ValuesBeyondTheDialogsLimitsAreTakenAsTheDialogShowsThem) {
  FrameSettings settings;
  ApplyControlValues(ValuesOf({{"SeX", "Value", "500"},
                               {"edtBKZJDIS", "Value", "-3"},
                               {"rgGrid", "itemindex", "9"},
                               {"rgdmsmode", "itemindex", "-7"},
                               {"centerL", "Value", "200"},
                               {"Seinterval", "Value", "0"}}),
                     settings);
  EXPECT_DOUBLE_EQ(settings.JoinTableX, 200);
  EXPECT_EQ(settings.GridLabelOffset, 5);  // 0 stands for 5
  EXPECT_EQ(settings.GridType, 4);
  EXPECT_EQ(settings.CornerLabelMode, -1);
  EXPECT_DOUBLE_EQ(settings.CentralMeridian, 135);
  // No limit in the dialog; the builders refuse a zero step themselves.
  EXPECT_EQ(settings.GridInterval, 0);
}

TEST(ControlValuesToRunSettings, TheMainWindowsChoicesKeepWithinTheirItems) {
  // A damaged file's index at the limit of an int once overflowed on its way to FrameMode.
  FrameSettings settings;
  ApplyControlValues(ValuesOf({{"rgtype", "itemindex", "2147483647"},
                               {"rgisband", "itemindex", "-2147483648"},
                               {"gb8054", "itemindex", "77"}}),
                     settings);
  EXPECT_EQ(settings.FrameMode, 2);
  EXPECT_FALSE(settings.CoordsWithZone);
  EXPECT_EQ(KeepWithinControl("rgtype", -5), -1);
  EXPECT_EQ(KeepWithinControl("GB8054", 77), 3);
  EXPECT_EQ(KeepWithinControl("centerL", 10), 75);
  EXPECT_EQ(KeepWithinControl("edtDPI", 123456), 123456);
}

TEST(ControlValuesToRunSettings, TheDialogShowsEachSettingsDefault) {
  ControlValues shown;
  for (const DialogControl& control : DialogControls()) {
    ControlValue value;
    switch (control.kind) {
      case DialogControlKind::Edit: value.text = control.texts.at(0); break;
      case DialogControlKind::Memo:
        for (const std::string& line : control.texts) value.text += (value.text.empty() ? "" : "\r\n") + line;
        break;
      case DialogControlKind::SpinEdit:
      case DialogControlKind::RadioGroup: value.number = control.value; break;
      case DialogControlKind::CheckBox: value.checked = control.value == 1; break;
      case DialogControlKind::FontButton: shown.setFont(control.name, control.font); continue;
    }
    shown.set(control.name, value);
  }
  FrameSettings settings;
  settings.MapToInnerGap = 7;
  settings.LatStep = 1;
  settings.CornerLatLonOn = false;
  settings.LowerLeftText.clear();
  settings.SubTitle2Font = FontOfPointSize("黑体", 30);
  ApplyControlValues(shown, settings);
  int fed = 0;
  for (const FrameSettingRow& row : FrameSettingTable()) {
    if (FindDialogControl(row.control) == nullptr) continue;
    ++fed;
    EXPECT_EQ(GetFrameSetting(settings, row.name), GetFrameSetting(FrameSettings{}, row.name)) << row.name;
  }
  // All but the main window's eight and the four without a control.
  EXPECT_EQ(fed, static_cast<int>(FrameSettingTable().size()) - 8 - 4);
}

}  // namespace
}  // namespace framora
