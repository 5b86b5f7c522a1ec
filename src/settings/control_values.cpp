#include "settings/control_values.h"

#include <algorithm>
#include <cctype>

#include "frame/setting_table.h"
#include "settings/dialog_controls.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {
namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

// Takes every window and every button: without windows nothing is unknown.
class ControlValuesCollector : public SettingsRecordSink {
 public:
  explicit ControlValuesCollector(ControlValues& values) : values_(values) {}
  bool beginWindow(const std::string&) override { return true; }
  void componentRecord(const ComponentRecord& record) override { values_.addRecord(record); }
  bool fontButton(const std::string&) override { return true; }
  void buttonFont(const std::string& button, const LogicalFont& font) override { values_.setFont(button, font); }

 private:
  ControlValues& values_;
};

// The control as the assembly reads it, with a number kept to what the dialog would show.
ControlReading ReadingOf(const ControlValues& values, std::string_view name) {
  ControlReading reading;
  if (const ControlValue* value = values.find(name)) {
    reading.text = value->text;
    if (value->number) reading.number = KeepWithinControl(name, *value->number);
    reading.checked = value->checked;
  }
  if (const LogicalFont* font = values.font(name)) reading.font = *font;
  return reading;
}

}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

void ControlValues::addRecord(const ComponentRecord& record) {
  const std::string property = ToLowerAscii(record.property);
  ControlValue value;
  value.text = record.value;
  if (property == "lines") {
    value.text = JoinLines(ValueToLines(record.value));
  } else if (property == "items") {
    ComboState combo = ValueToCombo(record.value);
    const bool picked = combo.itemIndex >= 0 && combo.itemIndex < static_cast<int>(combo.items.size());
    value.number = picked ? combo.itemIndex : -1;
    value.text = picked ? combo.items[combo.itemIndex] : std::string();
    value.items = std::move(combo.items);
  } else if (property == "itemindex" || property == "value") {
    value.number = ParseInteger(record.value);
    if (!value.number) return;
  } else if (property == "checked") {
    if (EqualsIgnoringCase(record.value, "True")) {
      value.checked = true;
    } else if (EqualsIgnoringCase(record.value, "False")) {
      value.checked = false;
    } else {
      return;
    }
  }
  set(record.component, std::move(value));
}

const ControlValue* ControlValues::find(std::string_view name) const {
  const auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : &found->second;
}

const LogicalFont* ControlValues::font(std::string_view button) const {
  const auto found = fonts_.find(button);
  return found == fonts_.end() ? nullptr : &found->second;
}

void ReadControlValues(std::istream& in, ControlValues& values) {
  ControlValuesCollector collector(values);
  ReadSettings(in, collector);
}

void ReadControlValues(const std::string& path, ControlValues& values) {
  ControlValuesCollector collector(values);
  ReadSettingsFile(path, collector);
}

void ApplyControlValues(const ControlValues& values, FrameSettings& settings) {
  for (const FrameSettingRow& row : FrameSettingTable()) {
    if (!row.control.empty()) TakeControlReading(row, ReadingOf(values, row.control), settings);
  }
}

}  // namespace framora
