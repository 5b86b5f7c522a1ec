#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "settings/settings_stream.h"
#include "util/gbk.h"

namespace framora::testing {

// Widgets need an application object; one lives for the whole test program.
inline void EnsureWidgetApplication() {
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "framora_tests_settings";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
}

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Reads a settings file by hand, byte by byte as its layout says, so the tests do not read
// our files only through our own reader.
class RawSettingsReader {
 public:
  explicit RawSettingsReader(std::string bytes) : bytes_(std::move(bytes)) {}

  std::string hexBody() {
    const std::size_t length = byte(at_) | (byte(at_ + 1) << 8);
    std::string body = bytes_.substr(at_ + 2, length);
    at_ += 2 + length;
    return body;
  }
  std::string text() {
    const std::string body = hexBody();
    std::string gbk;
    for (std::size_t i = 0; i + 1 < body.size(); i += 2)
      gbk.push_back(static_cast<char>(std::stoi(body.substr(i, 2), nullptr, 16) ^ kSettingsKey[(i / 2) % 8]));
    return FromGbk(gbk);
  }
  std::uint32_t int32() {
    const std::uint32_t value = byte(at_) | (byte(at_ + 1) << 8) | (byte(at_ + 2) << 16) |
                                (static_cast<std::uint32_t>(byte(at_ + 3)) << 24);
    at_ += 4;
    return value;
  }
  std::string raw(std::size_t count) {
    std::string part = bytes_.substr(at_, count);
    at_ += count;
    return part;
  }
  bool atEnd() const { return at_ >= bytes_.size(); }

 private:
  unsigned byte(std::size_t i) const { return static_cast<unsigned char>(bytes_.at(i)); }
  std::string bytes_;
  std::size_t at_ = 0;
};

}  // namespace framora::testing
