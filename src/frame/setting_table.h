#pragma once

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "frame/frame_settings.h"
#include "util/logical_font.h"

namespace framora {

// Every frame setting, described once: the field, its name for --set and `framora-cli
// settings`, the windows' control that feeds it and how, its default, the check of a value
// given by name, and its unit. A plain FrameSettings{} holds the defaults; the settings
// dialog shows them; the run assembly and --set go by the same rows.

using SettingField = std::variant<int FrameSettings::*, double FrameSettings::*, bool FrameSettings::*,
                                  std::string FrameSettings::*, LogicalFont FrameSettings::*>;
using SettingValue = std::variant<int, double, bool, std::string, LogicalFont>;

// How the control's value becomes the field's value.
enum class ControlConversion {
  None,              // no control: the commands write the field, or it follows another
  Plain,             // the number, text, check or font as the control holds it
  Tenths,            // a spin edit's value / 10 (0.1 mm to mm)
  ArcSeconds,        // a spin edit's value / 3600 (seconds to degrees)
  ItemIs,            // true when the item index is `item`
  ItemPlusOne,       // the item index + 1
  Clamped,           // a spin edit's value kept within low..high, as that box keeps it
  ScaleDenominator,  // ScaleFactorOfText of the text
  FieldName,         // FieldNameOfText of the text
  Trimmed,           // the text without blanks around it
  LabelOffset,       // SetGridLabelOffset: 0 stands for 5 and the millimetres follow (--set too)
};

// What a value given by name must satisfy, so that a run never divides by zero or loops
// forever on it.
struct SettingCheck {
  enum class Kind { None, Range, Positive };
  Kind kind = Kind::None;
  int low = INT_MIN;  // Range, inclusive; INT_MAX as high means "at least low"
  int high = INT_MAX;
};

struct FrameSettingRow {
  std::string name;          // for --set and `framora-cli settings`: the field's name
  SettingField field;
  SettingValue initial;      // the default: what the untouched windows give
  std::string control;       // empty without a control
  ControlConversion conversion = ControlConversion::None;
  int item = 0;              // ItemIs
  int low = 0, high = 0;     // Clamped
  SettingCheck check;
  std::string unit;          // of the field, empty for items, flags, texts and fonts
};

// In the order `framora-cli settings` lists them.
const std::vector<FrameSettingRow>& FrameSettingTable();
// Letter case ignored; null when there is no such row.
const FrameSettingRow* FindFrameSetting(std::string_view name);
const FrameSettingRow* FindFrameSettingOfControl(std::string_view control);

// The row's field as a value, and back; storing a LabelOffset row sets the millimetres too.
SettingValue LoadSetting(const FrameSettingRow& row, const FrameSettings& settings);
void StoreSetting(const FrameSettingRow& row, const SettingValue& value, FrameSettings& settings);

// A control's state as the assembly reads it; what the kind of control has no part of
// stays empty.
struct ControlReading {
  std::optional<int> number{};        // a spin edit's value, an item index
  std::optional<std::string> text{};  // an edit's or combo box's text, a memo's lines joined by "\r\n"
  std::optional<bool> checked{};
  std::optional<LogicalFont> font{};  // a font button's font
};

// Sets the row's field from the control by its conversion; a reading without the part the
// conversion needs leaves the field alone.
void TakeControlReading(const FrameSettingRow& row, const ControlReading& reading, FrameSettings& settings);
// What the row's control shows while the field holds its default.
ControlReading DefaultControlReading(const FrameSettingRow& row);

}  // namespace framora
