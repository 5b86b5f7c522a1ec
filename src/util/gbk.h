#pragma once

#include <string>
#include <string_view>

namespace framora {

// The program keeps text in UTF-8; the stored files and every rule that counts bytes
// use the Chinese code page (GBK), in which a Chinese character takes two bytes.

// UTF-8 to GBK bytes. Characters GBK cannot hold become '?'.
std::string ToGbk(std::string_view utf8);
// GBK bytes to UTF-8. Invalid bytes become U+FFFD.
std::string FromGbk(std::string_view gbk);
// Byte length of the text in GBK.
int GbkLength(std::string_view utf8);
// The first byteCount GBK bytes of the text, never cutting a character in two
// (a character that would be cut is left out).
std::string GbkLeft(std::string_view utf8, int byteCount);
// The text from GBK byte offset on (0-based); an offset inside a character starts after it.
std::string GbkMid(std::string_view utf8, int byteOffset, int byteCount = -1);

// Characters (code points) of a UTF-8 text, each as its own UTF-8 string.
std::u32string ToUtf32(std::string_view utf8);
std::string FromUtf32(std::u32string_view text);

}  // namespace framora
