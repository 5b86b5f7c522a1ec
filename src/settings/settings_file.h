#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_stream.h"
#include "util/logical_font.h"

namespace framora {

// The settings file is a snapshot of the windows' controls: per window its name, one record
// per control ("name,property,value"), then the fonts of its font buttons. Nothing here
// knows about windows; the widget side captures and applies the records.

inline constexpr std::string_view kWindowMarker = "****************************";
inline constexpr std::string_view kBlockSeparator = "------------------";
inline constexpr std::string_view kFileEnd = "|||||||||||||||||||||";
// Line breaks inside a record value.
inline constexpr std::string_view kBreakTag = "<Br>";

// What a save that fails reports.
inline constexpr const char* kCannotCreateFile = "无法创建文件";
inline constexpr const char* kStreamWriteError = "流写入错误";
// What loading reports for a file whose first window is none of ours: written with another
// key, zeroed, or not a settings file at all.
inline constexpr const char* kUnrecognisedSettings = "设置文件无法识别";

// One control's state: the property names are "Text", "Lines" (rich edit), "lines" (memo),
// "items" (combo box), "itemindex", "checked" and "Value".
struct ComponentRecord {
  std::string component;
  std::string property;
  std::string value;
  bool operator==(const ComponentRecord&) const = default;
};

std::string FormatComponentRecord(const ComponentRecord& record);
// Split at the first two commas; the value keeps any further commas. Nothing for a text
// with fewer than two commas.
std::optional<ComponentRecord> ParseComponentRecord(std::string_view text);

// Each line followed by "<Br>".
std::string LinesToValue(const std::vector<std::string>& lines);
// "<Br>" in any letter case, and CR, LF or CR LF, end a line; a break at the very end ends
// the last line rather than starting an empty one.
std::vector<std::string> ValueToLines(std::string_view value);

// A combo box: "%d^" with the item index, then its items as lines.
struct ComboState {
  int itemIndex = 0;
  std::vector<std::string> items;
  bool operator==(const ComboState&) const = default;
};
std::string ComboToValue(const ComboState& combo);
// Without "^" the index is 0 and the whole value is the list; an index that is no number is 0.
ComboState ValueToCombo(std::string_view value);

struct FontRecord {
  std::string button;
  std::optional<LogicalFont> font;  // none: the button's font could not be taken
};

struct WindowBlock {
  std::string window;
  std::vector<ComponentRecord> records;
  std::vector<FontRecord> fonts;
};

// Writes the block of one window: its records, a separator, its fonts, a separator.
class TVeskSaveSet : public TVeskWriteStream {
 public:
  using TVeskWriteStream::TVeskWriteStream;
  void writeWindow(const WindowBlock& block);
};

// The whole file: each window behind a marker and its name, then the end marker.
void WriteSettings(std::ostream& out, const std::vector<WindowBlock>& windows);
// Writes the file in one piece. FramoraError with kCannotCreateFile when it cannot be
// created (nothing is written then) or kStreamWriteError when writing fails.
void WriteSettingsFile(const std::string& path, const std::vector<WindowBlock>& windows);

// What the loading loop hands on, in file order. Whoever applies the records decides which
// windows and buttons exist; an unknown one ends the loading there.
class SettingsRecordSink {
 public:
  virtual ~SettingsRecordSink() = default;
  // A window block begins; false when there is no window of that name.
  virtual bool beginWindow(const std::string& window) = 0;
  // Records with fewer than two commas never arrive.
  virtual void componentRecord(const ComponentRecord& record) = 0;
  // A font button of the current window is named; false when there is none of that name.
  virtual bool fontButton(const std::string& button) = 0;
  // The font stored for it; not called when the file holds none for it.
  virtual void buttonFont(const std::string& button, const LogicalFont& font) = 0;
};

// The loading loop over an open file. Throws FramoraError(kStreamReadError) when the file
// ends early, kDamagedFontError for an impossible font and kUnrecognisedSettings when the
// very first window is unknown; everything handed on before stays handed on.
void ReadSettings(std::istream& in, SettingsRecordSink& sink);
// The same over a file; a missing file reads as nothing. Errors name the file.
void ReadSettingsFile(const std::string& path, SettingsRecordSink& sink);

// The executable's name with ".set", in the executable's folder.
std::string SettingsFilePath();

}  // namespace framora
