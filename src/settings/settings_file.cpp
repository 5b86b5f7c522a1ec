#include "settings/settings_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "util/files.h"
#include "util/framora_error.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Every "<Br>", whatever its letter case, as "\r\n".
std::string BreakTagsToLineEnds(std::string_view value) {
  std::string text;
  text.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '<' && EqualsIgnoringCase(value.substr(i, kBreakTag.size()), kBreakTag)) {
      text += "\r\n";
      i += kBreakTag.size() - 1;
    } else {
      text += value[i];
    }
  }
  return text;
}

std::string CreateFailureReason(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return "没有写入权限";
    case ENOENT:
    case ENOTDIR:
      return "文件夹不存在";
    case ENOSPC:
      return "磁盘已满";
    case EISDIR:
      return "同名的文件夹已存在";
    default:
      return std::strerror(error);
  }
}

}  // namespace

std::string FormatComponentRecord(const ComponentRecord& record) {
  return record.component + "," + record.property + "," + record.value;
}

std::optional<ComponentRecord> ParseComponentRecord(std::string_view text) {
  const std::size_t first = text.find(',');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = text.find(',', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  return ComponentRecord{std::string(text.substr(0, first)), std::string(text.substr(first + 1, second - first - 1)),
                         std::string(text.substr(second + 1))};
}

std::string LinesToValue(const std::vector<std::string>& lines) {
  std::string value;
  for (const auto& line : lines) {
    value += line;
    value += kBreakTag;
  }
  return value;
}

std::vector<std::string> ValueToLines(std::string_view value) {
  const std::string text = BreakTagsToLineEnds(value);
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    lines.emplace_back(text, start, i - start);
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
  }
  return lines;
}

std::string ComboToValue(const ComboState& combo) {
  return std::to_string(combo.itemIndex) + "^" + LinesToValue(combo.items);
}

ComboState ValueToCombo(std::string_view value) {
  ComboState combo;
  const std::size_t caret = value.find('^');
  if (caret == std::string_view::npos) {
    combo.items = ValueToLines(value);
    return combo;
  }
  const std::string_view index = value.substr(0, caret);
  if (const auto number = ParseInteger(index)) combo.itemIndex = *number;
  combo.items = ValueToLines(value.substr(caret + 1));
  return combo;
}

void TVeskSaveSet::writeWindow(const WindowBlock& block) {
  for (const auto& record : block.records) writeString(FormatComponentRecord(record));
  writeString(kBlockSeparator);
  for (const auto& font : block.fonts) {
    writeString(font.button);
    writeFont(font.font ? &*font.font : nullptr);
  }
  writeString(kBlockSeparator);
}

void WriteSettings(std::ostream& out, const std::vector<WindowBlock>& windows) {
  TVeskSaveSet stream(out);
  for (const auto& block : windows) {
    if (block.window.empty()) continue;
    stream.writeString(kWindowMarker);
    stream.writeString(block.window);
    stream.writeWindow(block);
  }
  stream.writeString(kFileEnd);
}

void WriteSettingsFile(const std::string& path, const std::vector<WindowBlock>& windows) {
  // Made whole first, so that a failure while capturing never leaves half a file.
  std::ostringstream content;
  WriteSettings(content, windows);
  const std::string bytes = content.str();

  // Written aside and renamed into place: a save that fails half-way (a full disk) keeps
  // the previous good file.
  const std::string temporary = TemporarySibling(path);
  std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
  if (!file) throw FramoraError(std::string(kCannotCreateFile) + " " + path + "：" + CreateFailureReason(errno));
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file || !ReplaceFileDurably(temporary, path)) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw FramoraError(std::string(kStreamWriteError) + "：" + path);
  }
}

void ReadSettings(std::istream& in, SettingsRecordSink& sink) {
  TVeskReadStream stream(in);
  std::string text = stream.readString();
  for (bool first = true;; first = false) {
    if (StartsWith(text, "|||")) return;
    if (StartsWith(text, "***")) text = stream.readString();
    if (!sink.beginWindow(text)) {
      // A later unknown window ends the loading quietly; nothing known at all means the
      // file is not ours to overwrite without a word.
      if (first) throw FramoraError(kUnrecognisedSettings);
      return;
    }

    for (text = stream.readString(); !StartsWith(text, "---"); text = stream.readString()) {
      if (auto record = ParseComponentRecord(text)) sink.componentRecord(*record);
    }
    for (text = stream.readString(); !StartsWith(text, "---"); text = stream.readString()) {
      if (!sink.fontButton(text)) return;
      if (auto font = stream.readFont()) sink.buttonFont(text, *font);
    }
    text = stream.readString();
  }
}

void ReadSettingsFile(const std::string& path, SettingsRecordSink& sink) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FramoraError("无法打开文件 " + path);
  try {
    ReadSettings(in, sink);
  } catch (const FramoraError& failure) {
    throw FramoraError(std::string(failure.what()) + "：" + path);
  }
}

std::string SettingsFilePath() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string name = error || executable.stem().empty() ? std::string("framora") : executable.stem().string();
  return ProgramFolder() + name + ".set";
}

}  // namespace framora
