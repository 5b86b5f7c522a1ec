#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "util/logical_font.h"

namespace framora {

// Strings in the settings file are their GBK bytes, each combined by exclusive-or with this
// key and written as upper-case hexadecimal, so the file does not invite editing by hand.
inline constexpr std::array<std::uint8_t, 8> kSettingsKey = {0x5A, 0x3C, 0x91, 0x6E, 0xC7, 0x28, 0xB4, 0x0F};

// A string record's length is 16 bits.
inline constexpr std::size_t kMaxRecordBody = 65535;
// Size tag of a stored font: the LOGFONTA layout.
inline constexpr std::uint32_t kFontRecordSize = 60;
inline constexpr std::size_t kFaceNameBytes = 32;

// What a cut-off or damaged settings file reports.
inline constexpr const char* kStreamReadError = "流读取错误";
inline constexpr const char* kDamagedFontError = "设置文件中的字体无效";

// Two upper-case hexadecimal digits per byte.
std::string ScrambleText(std::string_view bytes);
// Pairs of digits back to bytes; a trailing single digit is ignored and the first pair that
// is not hexadecimal ends the text.
std::string UnscrambleText(std::string_view digits);

// Writes string and font records.
class TVeskWriteStream {
 public:
  explicit TVeskWriteStream(std::ostream& out) : out_(out) {}

  // The text in GBK, scrambled; a body over 65535 digits is cut there.
  void writeString(std::string_view utf8);
  // The font with its colour; null stands for a font that could not be read (size tag 0).
  void writeFont(const LogicalFont* font);

 private:
  std::ostream& out_;
};

// Reads them back. Reading past the end throws FramoraError(kStreamReadError).
class TVeskReadStream {
 public:
  explicit TVeskReadStream(std::istream& in) : in_(in) {}

  std::string readString();
  // The stored font, or nothing when the size tag says none follows. A description no
  // font could have throws FramoraError(kDamagedFontError).
  std::optional<LogicalFont> readFont();

 private:
  void readBytes(void* data, std::size_t count);

  std::istream& in_;
};

}  // namespace framora
