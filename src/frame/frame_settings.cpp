#include "frame/frame_settings.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <type_traits>

#include "util/text.h"

namespace framora {
namespace {

constexpr const char* kSampleOrganisation = "某某市国土资源局";
constexpr const char* kSampleTitle = "某某市土地利用现状图";
constexpr const char* kSpacedSampleTitle = "某 某 市 土 地 利 用 现 状 图";

// The dialog gives its fonts as a face and a character height in pixels.
LogicalFont PixelFont(const std::string& face, int pixels) {
  LogicalFont font;
  font.faceName = face;
  font.height = -pixels;
  return font;
}

// ---- value texts -------------------------------------------------------------------

std::string Refusal(std::string_view name, std::string_view text, std::string_view reason) {
  return "参数" + std::string(name) + "的值" + std::string(text) + std::string(reason);
}

// Strict decimal reading: the whole text (blanks around it aside) must be the number.
template <typename Number>
std::optional<Number> ReadNumber(std::string_view text) {
  const std::string trimmed = Trim(text);
  std::string_view digits = trimmed;
  // from_chars takes no "+", and "+-1" must stay refused.
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '-' || digits.front() == '+') return std::nullopt;
  }
  Number value{};
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) return std::nullopt;
  if constexpr (std::is_floating_point_v<Number>) {
    if (!std::isfinite(value)) return std::nullopt;
  }
  return value;
}

std::string DoubleText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Each reader returns the refusal text, empty when the value was read.
std::string ReadValue(std::string_view name, std::string_view text, int& out) {
  const auto value = ReadNumber<int>(text);
  if (!value) return Refusal(name, text, "不是有效的数值");
  out = *value;
  return "";
}

std::string ReadValue(std::string_view name, std::string_view text, double& out) {
  const auto value = ReadNumber<double>(text);
  if (!value) return Refusal(name, text, "不是有效的数值");
  out = *value;
  return "";
}

std::string ReadValue(std::string_view name, std::string_view text, bool& out) {
  const std::string word = ToLowerAscii(Trim(text));
  if (word == "1" || word == "true" || word == "是") {
    out = true;
  } else if (word == "0" || word == "false" || word == "否") {
    out = false;
  } else {
    return Refusal(name, text, "不是有效的开关值，可用1/0、true/false、是/否");
  }
  return "";
}

bool StartsWithBreakTag(std::string_view text, size_t position) {
  return position + 4 <= text.size() && EqualsIgnoringCase(text.substr(position, 4), "<br>");
}

std::string ReadValue(std::string_view, std::string_view text, std::string& out) {
  std::string value;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\' || text[i + 1] == '<')) {
      value += text[i + 1] == 'n' ? std::string("\r\n") : std::string(1, text[i + 1]);
      ++i;
    } else if (StartsWithBreakTag(text, i)) {
      value += "\r\n";
      i += 3;
    } else if (c == '\n' && (i == 0 || text[i - 1] != '\r')) {
      value += "\r\n";  // memo lines are joined with "\r\n"; a bare "\n" means the same
    } else {
      value += c;
    }
  }
  out = std::move(value);
  return "";
}

std::string ReadValue(std::string_view name, std::string_view text, LogicalFont& out) {
  const auto font = FontFromText(text);
  if (!font) return Refusal(name, text, "不是有效的字体，格式为：字体名,磅值[,bold][,italic][,#RRGGBB]");
  out = *font;
  return "";
}

std::string ValueText(int value) { return std::to_string(value); }
std::string ValueText(double value) { return DoubleText(value); }
std::string ValueText(bool value) { return value ? "true" : "false"; }
std::string ValueText(const LogicalFont& value) { return FontToText(value); }

std::string ValueText(const std::string& value) {
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\') {
      text += "\\\\";
    } else if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
      text += "\\n";
      ++i;
    } else if (c == '\n') {
      text += "\\n";
    } else if (StartsWithBreakTag(value, i)) {
      text += "\\<";
    } else {
      text += c;
    }
  }
  return text;
}

// ---- the table ---------------------------------------------------------------------

struct SettingEntry {
  std::string name;
  std::function<std::string(const FrameSettings&)> get;
  // Returns the refusal text, empty when the value was taken.
  std::function<std::string(FrameSettings&, std::string_view text)> set;
};

template <typename T>
using Check = std::function<std::string(const T& value, std::string_view name, std::string_view text)>;

Check<int> Between(int low, int high) {
  return [low, high](const int& value, std::string_view name, std::string_view text) -> std::string {
    if (value >= low && value <= high) return "";
    if (high == INT_MAX) return Refusal(name, text, "不能小于" + std::to_string(low));
    return Refusal(name, text, "超出范围" + std::to_string(low) + "到" + std::to_string(high));
  };
}

Check<int> AtLeast(int low) { return Between(low, INT_MAX); }

Check<double> Positive() {
  return [](const double& value, std::string_view name, std::string_view text) -> std::string {
    return value > 0 ? "" : Refusal(name, text, "必须大于0");
  };
}

// One entry over a member: read the text, check it, then store it with store (by default
// a plain assignment), so a refused value never touches the settings.
template <typename T>
SettingEntry Entry(std::string name, T FrameSettings::*member, std::type_identity_t<Check<T>> check = {},
                   std::type_identity_t<std::function<void(FrameSettings&, const T&)>> store = {}) {
  SettingEntry entry;
  entry.name = name;
  entry.get = [member](const FrameSettings& settings) { return ValueText(settings.*member); };
  entry.set = [name, member, check, store](FrameSettings& settings, std::string_view text) -> std::string {
    T value{};
    if (std::string refusal = ReadValue(name, text, value); !refusal.empty()) return refusal;
    if (check) {
      if (std::string refusal = check(value, name, text); !refusal.empty()) return refusal;
    }
    if (store) {
      store(settings, value);
    } else {
      settings.*member = std::move(value);
    }
    return "";
  };
  return entry;
}

#define FRAMORA_SETTING(member, ...) Entry(#member, &FrameSettings::member __VA_OPT__(, ) __VA_ARGS__)

const std::vector<SettingEntry>& SettingTable() {
  static const std::vector<SettingEntry> table = {
      FRAMORA_SETTING(ScaleFactor, Positive()),
      FRAMORA_SETTING(MapToInnerGap),
      FRAMORA_SETTING(InnerToOuterGap),
      FRAMORA_SETTING(OuterLineWidth),
      FRAMORA_SETTING(GridInterval, AtLeast(1)),
      FRAMORA_SETTING(CrossLineLength),
      FRAMORA_SETTING(GridType, Between(0, 4)),
      FRAMORA_SETTING(GridBigFont),
      FRAMORA_SETTING(GridSmallFont),
      FRAMORA_SETTING(HorLabelMode, Between(0, 1)),
      FRAMORA_SETTING(VerLabelMode, Between(0, 1)),
      FRAMORA_SETTING(ShowKmText),
      FRAMORA_SETTING(LatDegreeAlign, Between(0, 1)),
      FRAMORA_SETTING(CornerDigitsBefore, AtLeast(0)),
      FRAMORA_SETTING(CornerDigitsAfter, AtLeast(0)),
      FRAMORA_SETTING(GridDigitsBefore, AtLeast(0)),
      FRAMORA_SETTING(GridDigitsAfter, AtLeast(0)),
      FRAMORA_SETTING(CornerLabelMode, Between(0, 2)),
      FRAMORA_SETTING(CornerLatLonOn),
      FRAMORA_SETTING(CornerFont),
      FRAMORA_SETTING(GraticuleLabelMode, Between(0, 1)),
      FRAMORA_SETTING(LatStep, Positive()),
      FRAMORA_SETTING(LonStep, Positive()),
      FRAMORA_SETTING(GraticuleCrossLen),
      FRAMORA_SETTING(GridLabelPlace, Between(0, 2)),
      // Set like the dialog's box: 0 stands for 5 and the millimetres follow.
      FRAMORA_SETTING(GridLabelOffset, Between(0, 100),
                      [](FrameSettings& settings, const int& value) { SetGridLabelOffset(settings, value); }),
      FRAMORA_SETTING(GridLabelOffsetMm),
      FRAMORA_SETTING(MaskMode, Between(0, 2)),
      FRAMORA_SETTING(MaskDistance),
      FRAMORA_SETTING(MainTitle),
      FRAMORA_SETTING(MainTitleFont),
      FRAMORA_SETTING(MainTitleTop),
      FRAMORA_SETTING(SubTitle1),
      FRAMORA_SETTING(SubTitle1Font),
      FRAMORA_SETTING(SubTitle1Top),
      FRAMORA_SETTING(SubTitle2),
      FRAMORA_SETTING(SubTitle2Font),
      FRAMORA_SETTING(SubTitle2Top),
      FRAMORA_SETTING(ScaleText),
      FRAMORA_SETTING(ScaleTextFont),
      FRAMORA_SETTING(ScaleTextBottom),
      FRAMORA_SETTING(LowerRightText),
      FRAMORA_SETTING(LowerRightFont),
      FRAMORA_SETTING(LowerRightBottom),
      FRAMORA_SETTING(LowerRightCentredTail),
      FRAMORA_SETTING(UpperRightText),
      FRAMORA_SETTING(UpperRightFont),
      FRAMORA_SETTING(UpperRightTop),
      FRAMORA_SETTING(SideTitle),
      FRAMORA_SETTING(SideTitleFont),
      FRAMORA_SETTING(SideTitleTop),
      FRAMORA_SETTING(SideTitleRight),
      FRAMORA_SETTING(LeftText),
      FRAMORA_SETTING(LeftTextFont),
      FRAMORA_SETTING(LeftTextDist),
      FRAMORA_SETTING(LowerLeftText),
      FRAMORA_SETTING(LowerLeftFont),
      FRAMORA_SETTING(LowerLeftBottom),
      FRAMORA_SETTING(TitleField),
      FRAMORA_SETTING(JoinTableX),
      FRAMORA_SETTING(JoinTableY),
      FRAMORA_SETTING(JoinTableWidth),
      FRAMORA_SETTING(JoinTableHeight),
      FRAMORA_SETTING(JoinTableFont),
      FRAMORA_SETTING(ScaleBarOn),
      FRAMORA_SETTING(ScaleBarLength),
      FRAMORA_SETTING(ScaleBarTickLength),
      FRAMORA_SETTING(ScaleBarBottom),
      FRAMORA_SETTING(ScaleBarFont),
      FRAMORA_SETTING(PageMarginLeft),
      FRAMORA_SETTING(PageMarginRight),
      FRAMORA_SETTING(PageMarginTop),
      FRAMORA_SETTING(PageMarginBottom),
      FRAMORA_SETTING(PictureType),
      FRAMORA_SETTING(ExportDpi, AtLeast(1)),
      FRAMORA_SETTING(CentralMeridian),
      FRAMORA_SETTING(UseKrassowsky),
      FRAMORA_SETTING(ThreeDegreeZones),
      FRAMORA_SETTING(CoordsWithZone),
      FRAMORA_SETTING(GeographicInput),
      FRAMORA_SETTING(FrameMode, Between(1, 2)),
      FRAMORA_SETTING(coordinateSystemIndex, Between(0, 3)),
      FRAMORA_SETTING(isStandardSheetMode),
  };
  return table;
}

#undef FRAMORA_SETTING

const SettingEntry* FindSetting(std::string_view name) {
  for (const SettingEntry& entry : SettingTable()) {
    if (EqualsIgnoringCase(entry.name, name)) return &entry;
  }
  return nullptr;
}

// ---- fonts -------------------------------------------------------------------------

constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr double kLargestPointSize = 1000;

std::vector<std::string> SplitFontParts(std::string_view text) {
  const std::string plain = ReplaceAll(std::string(text), "，", ",");
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t comma = plain.find(',', start);
    parts.push_back(Trim(std::string_view(plain).substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

std::optional<int> ReadRgb(std::string_view text) {
  if (text.size() != 7 || text.front() != '#') return std::nullopt;
  int rgb = 0;
  const auto [end, error] = std::from_chars(text.data() + 1, text.data() + text.size(), rgb, 16);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return rgb;
}

int RgbToColor(int rgb) { return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16); }

}  // namespace

std::optional<LogicalFont> FontFromText(std::string_view text) {
  const std::vector<std::string> parts = SplitFontParts(text);
  if (parts.size() < 2 || parts[0].empty()) return std::nullopt;
  const auto points = ReadNumber<double>(parts[1]);
  if (!points || *points <= 0 || *points > kLargestPointSize) return std::nullopt;
  const long pixels = std::lround(*points * kPixelsPerPoint);
  if (pixels < 1) return std::nullopt;

  LogicalFont font;
  font.faceName = parts[0];
  font.height = -static_cast<int>(pixels);
  for (size_t i = 2; i < parts.size(); ++i) {
    const std::string option = ToLowerAscii(parts[i]);
    if (option == "bold") {
      font.weight = 700;
    } else if (option == "italic") {
      font.italic = true;
    } else if (const auto rgb = ReadRgb(option)) {
      font.color = RgbToColor(*rgb);
    } else {
      return std::nullopt;
    }
  }
  return font;
}

std::string FontToText(const LogicalFont& font) {
  const int pixels = std::abs(font.height);
  const int points = font.pointSize();
  // Whole points read more naturally, but only where they give the same pixels back.
  const bool wholeFits = std::lround(points * kPixelsPerPoint) == pixels;
  std::string text = font.faceName + "," + (wholeFits ? std::to_string(points) : DoubleText(pixels * 0.75));
  if (font.bold()) text += ",bold";
  if (font.italic) text += ",italic";
  if (font.color > 0) {
    char rgb[8];
    std::snprintf(rgb, sizeof rgb, "#%06X", ColorToRgb(font.color) & 0xFFFFFF);
    text += ",";
    text += rgb;
  }
  return text;
}

double ScaleFactorOfText(std::string_view scaleText) {
  const auto denominator = ReadNumber<double>(scaleText);
  // A zero scale would divide every later distance by nothing; treat it as unreadable.
  if (!denominator || *denominator <= 0) return 1.0;
  return *denominator / 10000;
}

std::string FieldNameOfText(std::string_view fieldText) {
  return ReplaceFirst(ReplaceFirst(std::string(fieldText), "[", ""), "]", "");
}

void SetGridLabelOffset(FrameSettings& settings, int dialogValue) {
  settings.GridLabelOffset = dialogValue == 0 ? 5 : dialogValue;
  settings.GridLabelOffsetMm = settings.GridLabelOffset / 10;
}

FrameSettings DialogDefaultSettings() {
  FrameSettings s;

  // Settings dialog.
  s.CornerLabelMode = 0;
  s.MapToInnerGap = 160;
  s.InnerToOuterGap = 80;
  s.GridInterval = 1000;
  s.GridBigFont = PixelFont("宋体", 8);
  s.GridSmallFont = PixelFont("宋体", 8);
  s.CrossLineLength = 50;
  s.ScaleTextFont = PixelFont("宋体", 20);
  s.CornerFont = PixelFont("宋体", 8);
  s.CornerLatLonOn = true;
  s.LowerRightText = std::string(kSampleOrganisation) + "\r\nYYYY年MM月DD日    ";
  s.LowerRightFont = PixelFont("宋体", 16);
  s.LowerRightBottom = 30;
  s.SideTitle = kSampleTitle;
  s.SideTitleFont = PixelFont("宋体", 13);
  s.SideTitleTop = 25;
  s.SideTitleRight = 80;
  s.LeftText = kSampleOrganisation;
  s.LeftTextFont = PixelFont("宋体", 15);
  s.LeftTextDist = 30;
  s.LowerLeftText =
      "采用2003年11月SPOT2.5米全色数据及10米多光谱影像融合数据。\r\n"
      "2009年7月制作。\r\n"
      "1954年北京坐标系。\r\n"
      "1956年黄海高程系。\r\n"
      "yyyy年mm月dd日";
  s.LowerLeftBottom = 30;
  s.LowerLeftFont = PixelFont("宋体", 13);
  s.ScaleText = "比例尺1:[scale]";
  s.ScaleTextBottom = 50;
  s.OuterLineWidth = 0;
  s.MainTitle = kSpacedSampleTitle;
  s.MainTitleFont = PixelFont("宋体", 67);
  s.MainTitleTop = 180;
  s.SubTitle1 = "";
  s.SubTitle1Font = PixelFont("宋体", 37);
  s.SubTitle1Top = 80;
  s.SubTitle2 = "";
  s.SubTitle2Font = PixelFont("MS Sans Serif", 11);  // the dialog's own font
  s.SubTitle2Top = 20;
  s.GridType = 1;
  s.GraticuleLabelMode = 1;
  s.UpperRightText = "秘密";
  s.UpperRightFont = PixelFont("宋体", 13);
  s.UpperRightTop = 25;
  s.LatStep = 150 / 3600.0;
  s.LonStep = 225 / 3600.0;
  s.TitleField = FieldNameOfText("");
  s.JoinTableWidth = 130;
  s.JoinTableHeight = 70;
  s.JoinTableFont = PixelFont("宋体", 11);
  s.JoinTableX = 0;
  s.JoinTableY = 20;
  s.HorLabelMode = 0;
  s.VerLabelMode = 0;
  s.ShowKmText = true;
  s.LatDegreeAlign = 1;
  s.CornerDigitsBefore = 2;
  s.CornerDigitsAfter = 2;
  s.GridDigitsBefore = 2;
  s.GridDigitsAfter = 2;
  s.ScaleBarOn = false;
  s.ScaleBarLength = 1000;
  s.ScaleBarTickLength = 20;
  s.ScaleBarBottom = 180;
  s.ScaleBarFont = PixelFont("宋体", 11);
  s.GraticuleCrossLen = 10 / 3600.0;
  s.LowerRightCentredTail = "";
  s.PageMarginLeft = 500 / 10.0;
  s.PageMarginRight = 500 / 10.0;
  s.PageMarginBottom = 400 / 10.0;
  s.PageMarginTop = 400 / 10.0;
  SetGridLabelOffset(s, 5);
  s.MaskDistance = 200;
  s.MaskMode = 0;
  s.GridLabelPlace = 1;

  // Main window: no scale typed, central meridian 87, 3-degree zones, no zone number,
  // plane coordinates, CGCS2000, polygon features, JPEG at 96 DPI.
  s.ScaleFactor = ScaleFactorOfText("");
  s.CentralMeridian = 87;
  s.UseKrassowsky = false;
  s.ThreeDegreeZones = true;
  s.CoordsWithZone = false;
  s.GeographicInput = false;
  s.FrameMode = 2;
  s.PictureType = ".JPG";
  s.coordinateSystemIndex = 0;
  s.isStandardSheetMode = false;
  s.ExportDpi = 96;
  return s;
}

bool SetFrameSetting(FrameSettings& settings, const std::string& name, const std::string& value,
                     std::string* error) {
  const SettingEntry* entry = FindSetting(name);
  std::string refusal = entry == nullptr ? "没有名为" + name + "的参数" : entry->set(settings, value);
  if (refusal.empty()) return true;
  if (error != nullptr) *error = std::move(refusal);
  return false;
}

std::optional<std::string> GetFrameSetting(const FrameSettings& settings, const std::string& name) {
  const SettingEntry* entry = FindSetting(name);
  if (entry == nullptr) return std::nullopt;
  return entry->get(settings);
}

std::vector<std::string> FrameSettingNames() {
  std::vector<std::string> names;
  for (const SettingEntry& entry : SettingTable()) names.push_back(entry.name);
  return names;
}

}  // namespace framora
