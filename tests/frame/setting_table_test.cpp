#include "frame/setting_table.h"

#include <set>

#include <gtest/gtest.h>

#include "util/text.h"

// Readings name only the parts a control gives; the others stay empty.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace framora {
namespace {

std::string Get(const FrameSettings& settings, const std::string& name) {
  return GetFrameSetting(settings, name).value_or("<unknown>");
}

// A value of the row's type other than its default that its check lets through.
SettingValue OtherValue(const FrameSettingRow& row) {
  return std::visit(
      [&](const auto& initial) -> SettingValue {
        using T = std::decay_t<decltype(initial)>;
        if constexpr (std::is_same_v<T, int>) {
          const int other = initial + 1;
          return other <= row.check.high ? other : initial - 1;
        } else if constexpr (std::is_same_v<T, double>) {
          return initial * 2 + 0.1;
        } else if constexpr (std::is_same_v<T, bool>) {
          return !initial;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return initial + "其它\r\n第二行 \\ <Br>";
        } else {
          LogicalFont font = FontOfPointSize("黑体", 13, 0x0000FF);
          font.italic = !initial.italic;
          return font;
        }
      },
      row.initial);
}

TEST(SettingTable, EachFieldAndEachControlIsDescribedOnce) {
  const auto& table = FrameSettingTable();
  std::set<std::string> names, controls;
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_TRUE(names.insert(ToLowerAscii(table[i].name)).second) << table[i].name;
    if (!table[i].control.empty()) {
      EXPECT_TRUE(controls.insert(ToLowerAscii(table[i].control)).second) << table[i].control;
    }
    for (size_t j = 0; j < i; ++j) EXPECT_NE(table[i].field, table[j].field) << table[i].name << " " << table[j].name;
    EXPECT_EQ(table[i].field.index(), table[i].initial.index()) << table[i].name;
    EXPECT_EQ(table[i].conversion == ControlConversion::None, table[i].control.empty()) << table[i].name;
  }
  EXPECT_EQ(FindFrameSettingOfControl("SENTOD"), FindFrameSetting("maptoinnergap"));
  EXPECT_EQ(FindFrameSettingOfControl(""), nullptr);
}

TEST(SettingTable, DefaultsSatisfyTheirOwnChecksAndTheLabelOffsetRule) {
  const FrameSettings defaults;
  for (const FrameSettingRow& row : FrameSettingTable()) {
    FrameSettings copy = defaults;
    std::string error;
    EXPECT_TRUE(SetFrameSetting(copy, row.name, Get(defaults, row.name), &error)) << row.name << ": " << error;
  }
  FrameSettings again = defaults;
  SetGridLabelOffset(again, defaults.GridLabelOffset);
  EXPECT_EQ(again.GridLabelOffsetMm, defaults.GridLabelOffsetMm);
}

TEST(SettingTable, OtherValuesComeBackThroughTheirSetText) {
  for (const FrameSettingRow& row : FrameSettingTable()) {
    FrameSettings changed;
    StoreSetting(row, OtherValue(row), changed);
    const std::string text = Get(changed, row.name);
    ASSERT_NE(text, Get(FrameSettings{}, row.name)) << row.name;
    FrameSettings read;
    std::string error;
    ASSERT_TRUE(SetFrameSetting(read, row.name, text, &error)) << row.name << "=" << text << ": " << error;
    EXPECT_EQ(Get(read, row.name), text) << row.name;
    EXPECT_TRUE(LoadSetting(row, read) == LoadSetting(row, changed)) << row.name << "=" << text;
  }
}

TEST(SettingTable, WhatAControlShowsAtFirstAssemblesBackToTheDefault) {
  const FrameSettings defaults;
  for (const FrameSettingRow& row : FrameSettingTable()) {
    if (row.control.empty()) continue;
    FrameSettings settings;
    StoreSetting(row, OtherValue(row), settings);
    TakeControlReading(row, DefaultControlReading(row), settings);
    EXPECT_EQ(Get(settings, row.name), Get(defaults, row.name)) << row.name << " from " << row.control;
  }
}

TEST(SettingTable, ControlReadingsConvertAsTheAssemblyDoes) {
  FrameSettings s;
  const auto take = [&](const char* control, ControlReading reading) {
    TakeControlReading(*FindFrameSettingOfControl(control), reading, s);
  };
  take("sewd", ControlReading{300, {}, {}, {}});
  EXPECT_DOUBLE_EQ(s.LatStep, 300 / 3600.0);
  take("SeTopMage", ControlReading{255, {}, {}, {}});
  EXPECT_DOUBLE_EQ(s.PageMarginTop, 25.5);
  take("gb8054", ControlReading{2, {}, {}, {}});
  EXPECT_TRUE(s.UseKrassowsky);
  take("gb8054", ControlReading{3, {}, {}, {}});
  EXPECT_FALSE(s.UseKrassowsky);
  take("rgtype", ControlReading{0, {}, {}, {}});
  EXPECT_EQ(s.FrameMode, 1);
  take("centerL", ControlReading{30, {}, {}, {}});
  EXPECT_EQ(s.CentralMeridian, 75);
  take("edtMapscale1", ControlReading{{}, " 50000 ", {}, {}});
  EXPECT_EQ(s.ScaleFactor, 5);
  take("edtField", ControlReading{{}, "[[NAME]]", {}, {}});
  EXPECT_EQ(s.TitleField, "[NAME]");
  take("edtrightbottom", ControlReading{{}, "  尾部 ", {}, {}});
  EXPECT_EQ(s.LowerRightCentredTail, "尾部");
  take("edtBKZJDIS", ControlReading{0, {}, {}, {}});
  EXPECT_EQ(s.GridLabelOffset, 5);
  take("edtBKZJDIS", ControlReading{27, {}, {}, {}});
  EXPECT_EQ(s.GridLabelOffsetMm, 2);
  take("Chkiskmann", ControlReading{{}, {}, false, {}});
  EXPECT_FALSE(s.ShowKmText);
  // A reading without the part the conversion needs leaves the field alone.
  take("sewd", ControlReading{{}, "600", {}, {}});
  EXPECT_DOUBLE_EQ(s.LatStep, 300 / 3600.0);
  take("edtmian", ControlReading{3, {}, {}, {}});
  EXPECT_EQ(s.MainTitle, FrameSettings{}.MainTitle);
  take("btnDFont", ControlReading{{}, "黑体", {}, {}});
  EXPECT_EQ(s.GridBigFont, FrameSettings{}.GridBigFont);
}

}  // namespace
}  // namespace framora
