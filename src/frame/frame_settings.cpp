#include "frame/frame_settings.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "frame/setting_table.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {
namespace {

// ---- value texts -------------------------------------------------------------------

std::string Refusal(std::string_view name, std::string_view text, std::string_view reason) {
  return "参数" + std::string(name) + "的值" + std::string(text) + std::string(reason);
}

std::string DoubleText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Each reader returns the refusal text, empty when the value was read.
std::string ReadValue(std::string_view name, std::string_view text, int& out) {
  const auto value = ParseInteger(text, NumberForm::Forgiving);
  if (!value) return Refusal(name, text, "不是有效的数值");
  out = *value;
  return "";
}

std::string ReadValue(std::string_view name, std::string_view text, double& out) {
  const auto value = ParseDecimal(text, NumberForm::Forgiving);
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

// ---- checks ------------------------------------------------------------------------

std::string CheckRefusal(const SettingCheck& check, double value, std::string_view name, std::string_view text) {
  switch (check.kind) {
    case SettingCheck::Kind::None: return "";
    case SettingCheck::Kind::Positive: return value > 0 ? "" : Refusal(name, text, "必须大于0");
    case SettingCheck::Kind::Range:
      if (value >= check.low && value <= check.high) return "";
      if (check.high == INT_MAX) return Refusal(name, text, "不能小于" + std::to_string(check.low));
      return Refusal(name, text, "超出范围" + std::to_string(check.low) + "到" + std::to_string(check.high));
  }
  return "";
}

std::string CheckRefusal(const SettingCheck& check, int value, std::string_view name, std::string_view text) {
  return CheckRefusal(check, static_cast<double>(value), name, text);
}

template <typename Other>
std::string CheckRefusal(const SettingCheck&, const Other&, std::string_view, std::string_view) {
  return "";
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
  const auto points = ParseDecimal(parts[1], NumberForm::Forgiving);
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
  const double points = font.pointSize();
  // Whole and half points read more naturally, but only where they give the same pixels back.
  const bool halfFits = std::lround(points * kPixelsPerPoint) == pixels;
  std::string text = font.faceName + "," + DoubleText(halfFits ? points : pixels * 0.75);
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
  const auto denominator = ParseDecimal(scaleText, NumberForm::Forgiving);
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

bool SetFrameSetting(FrameSettings& settings, const std::string& name, const std::string& value,
                     std::string* error) {
  const FrameSettingRow* row = FindFrameSetting(name);
  std::string refusal;
  if (row == nullptr) {
    refusal = "没有名为" + name + "的参数";
  } else {
    // Read and checked aside, so that a refused value never touches the settings.
    SettingValue read = row->initial;
    refusal = std::visit(
        [&](auto& typed) {
          std::string reason = ReadValue(row->name, value, typed);
          return reason.empty() ? CheckRefusal(row->check, typed, row->name, value) : reason;
        },
        read);
    if (refusal.empty()) StoreSetting(*row, read, settings);
  }
  if (refusal.empty()) return true;
  if (error != nullptr) *error = std::move(refusal);
  return false;
}

std::optional<std::string> GetFrameSetting(const FrameSettings& settings, const std::string& name) {
  const FrameSettingRow* row = FindFrameSetting(name);
  if (row == nullptr) return std::nullopt;
  return std::visit([](const auto& typed) { return ValueText(typed); }, LoadSetting(*row, settings));
}

std::vector<std::string> FrameSettingNames() {
  std::vector<std::string> names;
  for (const FrameSettingRow& row : FrameSettingTable()) names.push_back(row.name);
  return names;
}

}  // namespace framora
