#include "frame/frame_settings.h"

#include <set>

#include <gtest/gtest.h>

#include "util/text.h"

namespace framora {
namespace {

std::string Get(const FrameSettings& settings, const std::string& name) {
  return GetFrameSetting(settings, name).value_or("<unknown>");
}

// A plain record holds what the untouched windows give, where its own initial values once
// parted from them (central meridian 102, grid type 0, DPI 0).
TEST(FrameSettings, APlainRecordHoldsTheDialogDefaults) {
  const FrameSettings s;
  EXPECT_EQ(s.MapToInnerGap, 160);
  EXPECT_EQ(s.InnerToOuterGap, 80);
  EXPECT_EQ(s.GridInterval, 1000);
  EXPECT_EQ(s.GridType, 1);
  EXPECT_TRUE(s.CornerLatLonOn);
  EXPECT_TRUE(s.ShowKmText);
  EXPECT_EQ(s.LatDegreeAlign, 1);
  EXPECT_EQ(s.GraticuleLabelMode, 1);
  EXPECT_EQ(s.GridLabelPlace, 1);
  EXPECT_EQ(s.GridDigitsBefore, 2);
  EXPECT_EQ(s.CornerDigitsAfter, 2);
  EXPECT_EQ(s.ScaleText, "比例尺1:[scale]");
  EXPECT_EQ(s.UpperRightText, "秘密");
  EXPECT_EQ(s.ScaleBarBottom, 180);
  EXPECT_EQ(s.ScaleBarLength, 1000);
  EXPECT_FALSE(s.ScaleBarOn);
  EXPECT_EQ(s.MaskDistance, 200);
  EXPECT_EQ(s.JoinTableY, 20);
  EXPECT_EQ(s.SubTitle1Top, 80);
  EXPECT_EQ(s.MainTitleFont, FontFromText("宋体,50.25"));
  EXPECT_EQ(s.MainTitleFont.height, -67);
  EXPECT_EQ(s.SubTitle2Font.faceName, "MS Sans Serif");
  EXPECT_EQ(s.LowerLeftText.substr(s.LowerLeftText.rfind("\r\n") + 2), "yyyy年mm月dd日");
  EXPECT_EQ(Trim(s.MainTitle), s.MainTitle);
  EXPECT_EQ(ReplaceAll(s.MainTitle, " ", ""), s.SideTitle);
}

TEST(FrameSettings, APlainRecordHoldsTheDefaultsAfterTheAssemblysConversions) {
  const FrameSettings s;
  EXPECT_DOUBLE_EQ(s.LatStep, 150 / 3600.0);
  EXPECT_DOUBLE_EQ(s.LonStep, 225 / 3600.0);
  EXPECT_DOUBLE_EQ(s.GraticuleCrossLen, 10 / 3600.0);
  EXPECT_EQ(s.PageMarginLeft, 50);
  EXPECT_EQ(s.PageMarginRight, 50);
  EXPECT_EQ(s.PageMarginTop, 40);
  EXPECT_EQ(s.PageMarginBottom, 40);
  EXPECT_EQ(s.GridLabelOffset, 5);
  EXPECT_EQ(s.GridLabelOffsetMm, 0);
  // Main window: empty scale box, meridian 87, 3-degree zones, CGCS2000, polygon mode.
  EXPECT_EQ(s.ScaleFactor, 1.0);
  EXPECT_EQ(s.CentralMeridian, 87);
  EXPECT_TRUE(s.ThreeDegreeZones);
  EXPECT_FALSE(s.CoordsWithZone);
  EXPECT_FALSE(s.UseKrassowsky);
  EXPECT_FALSE(s.GeographicInput);
  EXPECT_EQ(s.FrameMode, 2);
  EXPECT_FALSE(s.isStandardSheetMode);
  EXPECT_EQ(s.PictureType, ".JPG");
  EXPECT_EQ(s.ExportDpi, 96);
  EXPECT_EQ(s.TitleField, "");
}

TEST(FrameSettings, AssemblyConversions) {
  EXPECT_EQ(ScaleFactorOfText("50000"), 5.0);
  EXPECT_DOUBLE_EQ(ScaleFactorOfText("2.5"), 0.00025);
  EXPECT_EQ(ScaleFactorOfText(""), 1.0);
  EXPECT_EQ(ScaleFactorOfText("1:5万"), 1.0);
  // A zero scale would divide by nothing later on.
  EXPECT_EQ(ScaleFactorOfText("0"), 1.0);

  EXPECT_EQ(FieldNameOfText("[[NAME]]"), "[NAME]");
  EXPECT_EQ(FieldNameOfText("[NAME]"), "NAME");
  EXPECT_EQ(FieldNameOfText("NAME"), "NAME");

  FrameSettings s;
  SetGridLabelOffset(s, 0);
  EXPECT_EQ(s.GridLabelOffset, 5);
  EXPECT_EQ(s.GridLabelOffsetMm, 0);
  SetGridLabelOffset(s, 27);
  EXPECT_EQ(s.GridLabelOffset, 27);
  EXPECT_EQ(s.GridLabelOffsetMm, 2);
}

TEST(FrameSettings, EveryNameIsReachableAndUnique) {
  const std::vector<std::string> names = FrameSettingNames();
  // 81 copied by the assembly, ExportDpi, coordinateSystemIndex, isStandardSheetMode.
  EXPECT_EQ(names.size(), 84u);
  std::set<std::string> lowered;
  const FrameSettings defaults = DialogDefaultSettings();
  for (const std::string& name : names) {
    EXPECT_TRUE(lowered.insert(ToLowerAscii(name)).second) << name;
    // What a setting prints, it takes back unchanged.
    FrameSettings copy = defaults;
    const std::string text = Get(defaults, name);
    std::string error;
    EXPECT_TRUE(SetFrameSetting(copy, name, text, &error)) << name << ": " << error;
    EXPECT_EQ(Get(copy, name), text) << name;
  }
  EXPECT_TRUE(GetFrameSetting(defaults, "coordinateSystemIndex"));
  EXPECT_FALSE(GetFrameSetting(defaults, "zonePrefixText"));
}

TEST(FrameSettings, SetAndGetEachKind) {
  FrameSettings s;
  std::string error;
  ASSERT_TRUE(SetFrameSetting(s, "gridtype", " 3 ", &error)) << error;
  EXPECT_EQ(s.GridType, 3);
  ASSERT_TRUE(SetFrameSetting(s, "ScaleFactor", "+2.5", &error)) << error;
  EXPECT_EQ(s.ScaleFactor, 2.5);
  EXPECT_EQ(Get(s, "SCALEFACTOR"), "2.5");
  ASSERT_TRUE(SetFrameSetting(s, "LatStep", "0.041666666666666664", &error)) << error;
  EXPECT_DOUBLE_EQ(s.LatStep, 150 / 3600.0);

  for (const auto& [text, value] : std::vector<std::pair<std::string, bool>>{
           {"1", true}, {"0", false}, {"TRUE", true}, {"false", false}, {"是", true}, {"否", false}}) {
    ASSERT_TRUE(SetFrameSetting(s, "ShowKmText", text, &error)) << text;
    EXPECT_EQ(s.ShowKmText, value) << text;
  }
  EXPECT_EQ(Get(s, "ShowKmText"), "false");

  ASSERT_TRUE(SetFrameSetting(s, "GridLabelOffset", "0", &error)) << error;
  EXPECT_EQ(s.GridLabelOffset, 5);
  EXPECT_EQ(s.GridLabelOffsetMm, 0);
}

TEST(FrameSettings, MultiLineTexts) {
  FrameSettings s;
  std::string error;
  ASSERT_TRUE(SetFrameSetting(s, "LowerLeftText", "第一行\\n第二行<Br>第三行<br>四", &error));
  EXPECT_EQ(s.LowerLeftText, "第一行\r\n第二行\r\n第三行\r\n四");
  EXPECT_EQ(Get(s, "LowerLeftText"), "第一行\\n第二行\\n第三行\\n四");

  ASSERT_TRUE(SetFrameSetting(s, "LowerRightText", "a\nb\r\nc", &error));
  EXPECT_EQ(s.LowerRightText, "a\r\nb\r\nc");

  // Backslashes and a literal tag survive a print and a read.
  s.LeftText = "C:\\new <Br> \\x";
  const std::string printed = Get(s, "LeftText");
  FrameSettings copy;
  ASSERT_TRUE(SetFrameSetting(copy, "LeftText", printed, &error));
  EXPECT_EQ(copy.LeftText, s.LeftText);

  ASSERT_TRUE(SetFrameSetting(s, "PictureType", ".TIF", &error));
  EXPECT_EQ(s.PictureType, ".TIF");
}

TEST(FrameSettings, FontTexts) {
  FrameSettings s;
  std::string error;
  ASSERT_TRUE(SetFrameSetting(s, "CornerFont", "宋体,13", &error)) << error;
  EXPECT_EQ(s.CornerFont, FontOfPointSize("宋体", 13));
  EXPECT_EQ(Get(s, "CornerFont"), "宋体,13");

  ASSERT_TRUE(SetFrameSetting(s, "MainTitleFont", " 黑体 ， 12.5 , Bold,italic,#FF8000", &error)) << error;
  EXPECT_EQ(s.MainTitleFont.faceName, "黑体");
  EXPECT_TRUE(s.MainTitleFont.bold());
  EXPECT_TRUE(s.MainTitleFont.italic);
  EXPECT_EQ(s.MainTitleFont.color, 0x0080FF);  // red in the lowest byte
  EXPECT_EQ(ColorToRgb(s.MainTitleFont.color), 0xFF8000);
  const std::string printed = Get(s, "MainTitleFont");
  EXPECT_EQ(printed.substr(printed.find(",bold")), ",bold,italic,#FF8000");

  // Pixel heights that whole points cannot reach print exactly and come back the same.
  for (int pixels = 1; pixels <= 100; ++pixels) {
    LogicalFont font;
    font.height = -pixels;
    const auto back = FontFromText(FontToText(font));
    ASSERT_TRUE(back) << FontToText(font);
    EXPECT_EQ(back->height, -pixels) << FontToText(font);
  }
  LogicalFont twentyTwo;
  twentyTwo.height = -22;
  EXPECT_EQ(FontToText(twentyTwo), "宋体,16.5");
}

TEST(FrameSettings, BadValuesAreRefusedAndLeaveTheFieldAlone) {
  FrameSettings s = DialogDefaultSettings();
  const FrameSettings before = s;
  struct Case {
    std::string name, value, message;
  };
  const std::vector<Case> cases = {
      {"GridType", "abc", "参数GridType的值abc不是有效的数值"},
      {"GridType", "1.5", "参数GridType的值1.5不是有效的数值"},
      {"GridType", "7", "参数GridType的值7超出范围0到4"},
      {"GridInterval", "0", "参数GridInterval的值0不能小于1"},
      {"GridInterval", "99999999999", "参数GridInterval的值99999999999不是有效的数值"},
      {"ScaleFactor", "0", "参数ScaleFactor的值0必须大于0"},
      {"LatStep", "-1", "参数LatStep的值-1必须大于0"},
      {"LonStep", "inf", "参数LonStep的值inf不是有效的数值"},
      {"CentralMeridian", "nan", "参数CentralMeridian的值nan不是有效的数值"},
      {"CentralMeridian", "", "参数CentralMeridian的值不是有效的数值"},
      {"CentralMeridian", "+-3", "参数CentralMeridian的值+-3不是有效的数值"},
      {"CentralMeridian", "87度", "参数CentralMeridian的值87度不是有效的数值"},
      {"ShowKmText", "yes", ""},
      {"GridLabelOffset", "101", "参数GridLabelOffset的值101超出范围0到100"},
      {"FrameMode", "0", ""},
      {"ExportDpi", "0", ""},
      {"CornerFont", "宋体", ""},
      {"CornerFont", ",10", ""},
      {"CornerFont", "宋体,0", ""},
      {"CornerFont", "宋体,abc", ""},
      {"CornerFont", "宋体,10,heavy", ""},
      {"CornerFont", "宋体,10,#12345", ""},
      {"CornerFont", "宋体,10,", ""},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(SetFrameSetting(s, c.name, c.value, &error)) << c.name << "=" << c.value;
    EXPECT_FALSE(error.empty()) << c.name << "=" << c.value;
    if (!c.message.empty()) {
      EXPECT_EQ(error, c.message);
    }
    EXPECT_EQ(Get(s, c.name), Get(before, c.name)) << c.name << "=" << c.value;
  }
  EXPECT_EQ(s.GridLabelOffsetMm, before.GridLabelOffsetMm);
  EXPECT_FALSE(SetFrameSetting(s, "GridType", "x", nullptr));
}

TEST(FrameSettings, UnknownNamesAreRefused) {
  FrameSettings s;
  std::string error;
  EXPECT_FALSE(SetFrameSetting(s, "GridTyp", "1", &error));
  EXPECT_EQ(error, "没有名为GridTyp的参数");
  EXPECT_FALSE(SetFrameSetting(s, "SheetCounter", "3", &error));
  EXPECT_FALSE(GetFrameSetting(s, "GridTyp"));
  EXPECT_FALSE(GetFrameSetting(s, ""));
}

}  // namespace
}  // namespace framora
