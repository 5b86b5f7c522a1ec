#include "settings/settings_stream.h"

#include <cstdlib>

#include "util/framora_error.h"
#include "util/gbk.h"

namespace framora {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

// A body cut at 65535 digits can end in the first byte of a two-byte character; that byte
// alone would read back as a stray replacement character.
void DropCutCharacter(std::string& gbk) {
  std::size_t i = 0;
  while (i < gbk.size()) {
    const auto byte = static_cast<unsigned char>(gbk[i]);
    i += byte >= 0x81 && byte <= 0xFE ? 2 : 1;
  }
  if (i > gbk.size()) gbk.pop_back();
}

void PutInt32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::int32_t Int32At(const unsigned char* bytes) {
  const std::uint32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return static_cast<std::int32_t>(value);
}

// Beyond these no font dialog gives a font; such values come from a damaged file and would
// overflow the size arithmetic of the texts.
constexpr int kLargestFontPixels = 10000;

bool PlausibleFont(const LogicalFont& font) {
  return font.height >= -kLargestFontPixels && font.height <= kLargestFontPixels &&
         font.width >= -kLargestFontPixels && font.width <= kLargestFontPixels && font.weight >= 0 &&
         font.weight <= 1000;
}

}  // namespace

std::string ScrambleText(std::string_view bytes) {
  std::string digits;
  digits.reserve(bytes.size() * 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto value = static_cast<unsigned char>(bytes[i]) ^ kSettingsKey[i % kSettingsKey.size()];
    digits.push_back(kHexDigits[value >> 4]);
    digits.push_back(kHexDigits[value & 0x0F]);
  }
  return digits;
}

std::string UnscrambleText(std::string_view digits) {
  std::string bytes;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    const int high = HexValue(digits[i]);
    const int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0) break;
    const std::size_t position = i / 2;
    bytes.push_back(static_cast<char>(((high << 4) | low) ^ kSettingsKey[position % kSettingsKey.size()]));
  }
  return bytes;
}

void TVeskWriteStream::writeString(std::string_view utf8) {
  const std::string gbk = ToGbk(utf8);
  // Only the bytes that fit into the longest body are scrambled.
  std::string digits = ScrambleText(std::string_view(gbk).substr(0, (kMaxRecordBody + 1) / 2));
  if (digits.size() > kMaxRecordBody) digits.resize(kMaxRecordBody);
  std::string record;
  record.push_back(static_cast<char>(digits.size() & 0xFF));
  record.push_back(static_cast<char>(digits.size() >> 8));
  record += digits;
  out_.write(record.data(), static_cast<std::streamsize>(record.size()));
}

void TVeskWriteStream::writeFont(const LogicalFont* font) {
  std::string record;
  if (font == nullptr) {
    PutInt32(record, 0);
    out_.write(record.data(), static_cast<std::streamsize>(record.size()));
    return;
  }
  PutInt32(record, kFontRecordSize);
  PutInt32(record, static_cast<std::uint32_t>(font->color));
  for (const int field : {font->height, font->width, font->escapement, font->orientation, font->weight})
    PutInt32(record, static_cast<std::uint32_t>(field));
  for (const int field : {int(font->italic), int(font->underline), int(font->strikeOut), font->charSet,
                          font->outPrecision, font->clipPrecision, font->quality, font->pitchAndFamily})
    record.push_back(static_cast<char>(field & 0xFF));
  // The face keeps its terminating zero; the rest of the field is zero so that saves of
  // the same fonts are the same bytes.
  std::string face = ToGbk(GbkLeft(font->faceName, kFaceNameBytes - 1));
  face.resize(kFaceNameBytes, '\0');
  record += face;
  out_.write(record.data(), static_cast<std::streamsize>(record.size()));
}

void TVeskReadStream::readBytes(void* data, std::size_t count) {
  in_.read(static_cast<char*>(data), static_cast<std::streamsize>(count));
  if (static_cast<std::size_t>(in_.gcount()) != count) throw FramoraError(kStreamReadError);
}

std::string TVeskReadStream::readString() {
  unsigned char length[2];
  readBytes(length, sizeof length);
  std::string digits(length[0] | (length[1] << 8), '\0');
  readBytes(digits.data(), digits.size());
  std::string gbk = UnscrambleText(digits);
  DropCutCharacter(gbk);
  return FromGbk(gbk);
}

std::optional<LogicalFont> TVeskReadStream::readFont() {
  unsigned char tag[4];
  readBytes(tag, sizeof tag);
  if (static_cast<std::uint32_t>(Int32At(tag)) != kFontRecordSize) return std::nullopt;

  unsigned char bytes[4 + kFontRecordSize];
  readBytes(bytes, sizeof bytes);
  LogicalFont font;
  font.color = Int32At(bytes);
  const unsigned char* description = bytes + 4;
  font.height = Int32At(description);
  font.width = Int32At(description + 4);
  font.escapement = Int32At(description + 8);
  font.orientation = Int32At(description + 12);
  font.weight = Int32At(description + 16);
  font.italic = description[20] != 0;
  font.underline = description[21] != 0;
  font.strikeOut = description[22] != 0;
  font.charSet = description[23];
  font.outPrecision = description[24];
  font.clipPrecision = description[25];
  font.quality = description[26];
  font.pitchAndFamily = description[27];
  const char* face = reinterpret_cast<const char*>(description + 28);
  std::size_t faceLength = 0;
  while (faceLength < kFaceNameBytes && face[faceLength] != '\0') ++faceLength;
  std::string faceBytes(face, faceLength);
  DropCutCharacter(faceBytes);
  font.faceName = FromGbk(faceBytes);
  if (!PlausibleFont(font)) throw FramoraError(kDamagedFontError);
  return font;
}

}  // namespace framora
