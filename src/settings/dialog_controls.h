#pragma once

#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "util/logical_font.h"

namespace framora {

// The controls of the settings dialog that hold a value, with their designed captions,
// limits and the value shown at first (the default of the frame setting each feeds, from
// frame/setting_table.h). The dialog builds its controls from this table, and the settings
// file is read without windows against the same limits.

enum class DialogControlKind { Edit, Memo, SpinEdit, RadioGroup, CheckBox, FontButton };

inline constexpr int kRightAlignTag = 1;
inline constexpr int kFontButtonTag = 89;

struct DialogControl {
  DialogControlKind kind = DialogControlKind::Edit;
  std::string name;
  std::string label;               // beside the control; the caption of a radio group or check box
  std::vector<std::string> texts;  // an edit's text, a memo's lines, a radio group's items
  int value = 0;                   // a spin edit's value, a radio group's item, 1 for a checked box
  int minimum = INT_MIN;           // a spin edit's limits; the full range means no limit
  int maximum = INT_MAX;
  std::string unit;                // after a spin edit
  std::string hint;
  int tag = 0;
  LogicalFont font;                // a font button's font
  int columns = 1;                 // a radio group's columns
};

// In the dialog's tab order.
const std::vector<DialogControl>& DialogControls();
const DialogControl* FindDialogControl(std::string_view name);

// The value a control of the dialog or of the main window would show: a spin edit keeps
// within its limits and a radio group's item within its items (-1 for none). Other names
// keep the value.
int KeepWithinControl(std::string_view name, int value);

}  // namespace framora
