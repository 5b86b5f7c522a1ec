#include "layout/picture_resolution.h"

#include <cpl_vsi.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace framora {

namespace {

struct VsiFileCloser {
  void operator()(VSILFILE* file) const {
    if (file != nullptr) VSIFCloseL(file);
  }
};
using VsiFile = std::unique_ptr<VSILFILE, VsiFileCloser>;

std::uint32_t Crc32(const unsigned char* data, size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBigEndian(unsigned char* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

void PutLittleEndian(unsigned char* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t DotsPerMetre(int dpi) { return static_cast<std::uint32_t>(std::lround(dpi / 0.0254)); }

// Signature and the image header chunk, after which pHYs may stand.
constexpr size_t kPngHeadBytes = 8 + 4 + 4 + 13 + 4;

// A chunk cannot be inserted in place: the file is copied with it to a side name and
// takes the picture's name afterwards.
bool StampPng(const std::string& fileName, std::uint32_t dotsPerMetre) {
  const std::string stamped = fileName + ".phys";
  bool copied = false;
  {
    VsiFile in(VSIFOpenL(fileName.c_str(), "rb"));
    if (!in) return false;
    std::vector<unsigned char> buffer(1 << 20);
    if (VSIFReadL(buffer.data(), 1, kPngHeadBytes, in.get()) != kPngHeadBytes ||
        std::memcmp(buffer.data() + 12, "IHDR", 4) != 0)
      return false;
    VsiFile out(VSIFOpenL(stamped.c_str(), "wb"));
    if (!out) return false;
    unsigned char chunk[4 + 4 + 9 + 4];
    PutBigEndian(chunk, 9);
    std::memcpy(chunk + 4, "pHYs", 4);
    PutBigEndian(chunk + 8, dotsPerMetre);
    PutBigEndian(chunk + 12, dotsPerMetre);
    chunk[16] = 1;  // the unit is the metre
    PutBigEndian(chunk + 17, Crc32(chunk + 4, 4 + 9));
    copied = VSIFWriteL(buffer.data(), 1, kPngHeadBytes, out.get()) == kPngHeadBytes &&
             VSIFWriteL(chunk, 1, sizeof chunk, out.get()) == sizeof chunk;
    while (copied) {
      const size_t read = VSIFReadL(buffer.data(), 1, buffer.size(), in.get());
      if (read == 0) break;
      copied = VSIFWriteL(buffer.data(), 1, read, out.get()) == read;
    }
    copied = VSIFCloseL(out.release()) == 0 && copied;
  }
  if (!copied || VSIRename(stamped.c_str(), fileName.c_str()) != 0) {
    VSIUnlink(stamped.c_str());
    return false;
  }
  return true;
}

// The bitmap's info header holds both figures at a fixed place.
bool StampBmp(const std::string& fileName, std::uint32_t dotsPerMetre) {
  constexpr int kPixelsPerMetreOffset = 14 + 24;
  VsiFile file(VSIFOpenL(fileName.c_str(), "r+b"));
  if (!file) return false;
  unsigned char figures[8];
  PutLittleEndian(figures, dotsPerMetre);
  PutLittleEndian(figures + 4, dotsPerMetre);
  const bool written = VSIFSeekL(file.get(), kPixelsPerMetreOffset, SEEK_SET) == 0 &&
                       VSIFWriteL(figures, 1, sizeof figures, file.get()) == sizeof figures;
  return VSIFCloseL(file.release()) == 0 && written;
}

}  // namespace

bool StampPictureResolution(const std::string& fileName, const std::string& driver, int dpi) {
  if (driver == "PNG") return StampPng(fileName, DotsPerMetre(dpi));
  if (driver == "BMP") return StampBmp(fileName, DotsPerMetre(dpi));
  return true;
}

}  // namespace framora
