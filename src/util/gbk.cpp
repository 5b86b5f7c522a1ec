#include "util/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace framora {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert text");
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts one character sequence; on an unconvertible or invalid sequence writes
  // `replacement` and skips `skipOnError` input bytes (0: one UTF-8 character).
  std::string convert(std::string_view input, std::string_view replacement, bool inputIsUtf8) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(input.size() * 2);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      const size_t rc = iconv(handle_, &in, &inLeft, &dst, &dstLeft);
      out.append(buffer, dst - buffer);
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: replace one character and go on.
      out.append(replacement);
      size_t skip = 1;
      if (inputIsUtf8) {
        const auto lead = static_cast<unsigned char>(*in);
        skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      } else if (static_cast<unsigned char>(*in) >= 0x81 && inLeft >= 2) {
        skip = 2;
      }
      if (skip > inLeft) skip = inLeft;
      in += skip;
      inLeft -= skip;
    }
    return out;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::string ToGbk(std::string_view utf8) {
  thread_local Converter converter("GBK", "UTF-8");
  return converter.convert(utf8, "?", true);
}

std::string FromGbk(std::string_view gbk) {
  thread_local Converter converter("UTF-8", "GBK");
  return converter.convert(gbk, "\xEF\xBF\xBD", false);
}

int GbkLength(std::string_view utf8) { return static_cast<int>(ToGbk(utf8).size()); }

std::string GbkLeft(std::string_view utf8, int byteCount) {
  std::string out;
  int used = 0;
  for (char32_t c : ToUtf32(utf8)) {
    const std::u32string one(1, c);
    const std::string piece = FromUtf32(one);
    const int width = GbkLength(piece);
    if (used + width > byteCount) break;
    used += width;
    out += piece;
  }
  return out;
}

std::string GbkMid(std::string_view utf8, int byteOffset, int byteCount) {
  std::string out;
  int position = 0;
  int taken = 0;
  for (char32_t c : ToUtf32(utf8)) {
    const std::string piece = FromUtf32(std::u32string(1, c));
    const int width = GbkLength(piece);
    if (position >= byteOffset) {
      if (byteCount >= 0 && taken + width > byteCount) break;
      out += piece;
      taken += width;
    }
    position += width;
  }
  return out;
}

std::u32string ToUtf32(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t code = lead;
    size_t length = 1;
    if (lead >= 0xF0) {
      code = lead & 0x07;
      length = 4;
    } else if (lead >= 0xE0) {
      code = lead & 0x0F;
      length = 3;
    } else if (lead >= 0xC0) {
      code = lead & 0x1F;
      length = 2;
    }
    if (i + length > utf8.size()) length = 1, code = 0xFFFD;
    for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out.push_back(code);
    i += length;
  }
  return out;
}

std::string FromUtf32(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}


}  // namespace framora
