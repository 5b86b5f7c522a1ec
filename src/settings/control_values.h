#pragma once

#include <istream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/frame_settings.h"
#include "settings/settings_file.h"
#include "util/logical_font.h"

namespace framora {

// The state of the windows' controls by name, without any window: read from a settings
// file for the command line, or captured from the live windows before a run.
struct ControlValue {
  // An edit's text, a memo's lines joined with "\r\n", a combo box's text, or the number or
  // flag of the record as written.
  std::string text;
  std::optional<int> number;   // a spin edit's value, a radio group's or combo box's item index
  std::optional<bool> checked; // a check box or menu item
  std::vector<std::string> items;  // a combo box's list
};

struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;  // letter case ignored
};

class ControlValues {
 public:
  void set(const std::string& name, ControlValue value) { controls_[name] = std::move(value); }
  void setFont(const std::string& button, const LogicalFont& font) { fonts_[button] = font; }
  // Takes a record as the settings file holds it; an unreadable number or flag leaves the
  // control as it was.
  void addRecord(const ComponentRecord& record);

  const ControlValue* find(std::string_view name) const;
  const LogicalFont* font(std::string_view button) const;
  const std::map<std::string, ControlValue, NameLess>& controls() const { return controls_; }
  const std::map<std::string, LogicalFont, NameLess>& fonts() const { return fonts_; }

 private:
  std::map<std::string, ControlValue, NameLess> controls_;
  std::map<std::string, LogicalFont, NameLess> fonts_;
};

// Reads every window's records and fonts of a settings file; a later window's control of
// the same name wins. A missing file reads as nothing. A damaged or cut-off file throws
// FramoraError (the stream's read error) with what was read before already in values.
void ReadControlValues(std::istream& in, ControlValues& values);
void ReadControlValues(const std::string& path, ControlValues& values);

// Copies the controls into the run settings the way the run assembly does, by the rows of
// the setting table (frame/setting_table.h); a control that is not there leaves its field
// alone. Values the dialog would not show
// (a spin edit beyond its limits, an item past the last) are taken as the dialog would
// show them. The assembly's clearing of the zone prefix is not part of this.
void ApplyControlValues(const ControlValues& values, FrameSettings& settings);

}  // namespace framora
