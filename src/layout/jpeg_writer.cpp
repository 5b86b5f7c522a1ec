#include "layout/jpeg_writer.h"

#include <cpl_vsi.h>

#include <QtGlobal>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <exception>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace framora {

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

// libjpeg's own reaction to an error is to end the process.
[[noreturn]] void JumpOut(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

void Silent(j_common_ptr, int) {}

// Everything libjpeg may jump out of lives in this frame, with no destructors to skip.
bool Compress(jpeg_compress_struct& compressor, JpegErrors& errors, const QImage& band, int rows, int quality,
              int dpi, unsigned char** coded, unsigned long* codedSize) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_create_compress(&compressor);
  jpeg_mem_dest(&compressor, coded, codedSize);
  compressor.image_width = static_cast<JDIMENSION>(band.width());
  compressor.image_height = static_cast<JDIMENSION>(rows);
  // The drawn rows go in as they are: 0xffRRGGBB words, in memory order.
  compressor.input_components = 4;
  compressor.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
  jpeg_set_defaults(&compressor);
  jpeg_set_quality(&compressor, quality, TRUE);
  // Colour at half resolution both ways: a row of blocks is kJpegBlockRowHeight rows.
  compressor.comp_info[0].h_samp_factor = compressor.comp_info[0].v_samp_factor = 2;
  for (int component = 1; component < compressor.num_components; ++component)
    compressor.comp_info[component].h_samp_factor = compressor.comp_info[component].v_samp_factor = 1;
  // Every row of blocks is coded apart from the one above it, so bands join without recoding.
  compressor.restart_in_rows = 1;
  compressor.density_unit = 1;  // dots per inch
  compressor.X_density = compressor.Y_density = static_cast<UINT16>(dpi > 65535 ? 65535 : dpi);
  jpeg_start_compress(&compressor, TRUE);
  for (int row = 0; row < rows; ++row) {
    JSAMPROW samples = const_cast<JSAMPROW>(band.constScanLine(row));
    jpeg_write_scanlines(&compressor, &samples, 1);
  }
  jpeg_finish_compress(&compressor);
  return true;
}

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfFrame = 0xC0, kStartOfScan = 0xDA, kEndOfImage = 0xD9;
constexpr unsigned char kFirstRestart = 0xD0;

// Where the scan's coded data begins in a band's JPEG, and where its frame header keeps the
// height; false when the band is not a JPEG as Compress writes them.
bool FindScan(const std::vector<GByte>& coded, size_t& heightAt, size_t& dataAt) {
  heightAt = 0;
  size_t at = 2;  // after the start of image
  while (at + 4 <= coded.size() && coded[at] == kMarker) {
    const unsigned char type = coded[at + 1];
    const size_t length = static_cast<size_t>(coded[at + 2]) << 8 | coded[at + 3];
    if (type == kStartOfFrame) heightAt = at + 5;
    if (type == kStartOfScan) {
      dataAt = at + 2 + length;
      return heightAt != 0 && dataAt + 2 <= coded.size() && coded[coded.size() - 2] == kMarker &&
             coded[coded.size() - 1] == kEndOfImage;
    }
    at += 2 + length;
  }
  return false;
}

}  // namespace

bool JpegBandJoiner::add(const std::vector<GByte>& coded, int rows) {
  size_t heightAt = 0, dataAt = 0;
  // Only the last band may end inside a row of blocks.
  if (endedInsideBlocks_ || rows < 1 || !FindScan(coded, heightAt, dataAt)) return false;
  endedInsideBlocks_ = rows % kJpegBlockRowHeight != 0;
  if (blockRows_ == 0) {
    std::vector<GByte> header(coded.begin(), coded.begin() + static_cast<std::ptrdiff_t>(dataAt));
    header[heightAt] = static_cast<GByte>(pageHeight_ >> 8);
    header[heightAt + 1] = static_cast<GByte>(pageHeight_ & 0xFF);
    if (!write(header.data(), header.size())) return false;
  } else {
    const GByte restart[] = {kMarker, static_cast<GByte>(kFirstRestart + (blockRows_ - 1) % 8)};
    if (!write(restart, sizeof restart)) return false;
  }
  // A marker byte in coded data is followed by a zero; only restarts are followed by D0-D7.
  std::vector<GByte> data(coded.begin() + static_cast<std::ptrdiff_t>(dataAt), coded.end() - 2);
  int restart = blockRows_;
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] == kMarker && data[i + 1] >= kFirstRestart && data[i + 1] < kFirstRestart + 8) {
      data[i + 1] = static_cast<GByte>(kFirstRestart + restart++ % 8);
      ++i;
    }
  blockRows_ += (rows + kJpegBlockRowHeight - 1) / kJpegBlockRowHeight;
  return write(data.data(), data.size());
}

bool JpegBandJoiner::finish() {
  const GByte end[] = {kMarker, kEndOfImage};
  return blockRows_ > 0 && write(end, sizeof end);
}

bool JpegBandJoiner::write(const GByte* bytes, size_t count) { return std::fwrite(bytes, 1, count, file_) == count; }

std::vector<GByte> EncodeJpegBand(const QImage& band, int rows, int quality, int dpi) {
  if (band.format() != QImage::Format_RGB32 || rows < 1 || rows > band.height()) return {};
  jpeg_compress_struct compressor{};
  JpegErrors errors{};
  compressor.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JumpOut;
  errors.manager.emit_message = Silent;
  unsigned char* coded = nullptr;
  unsigned long codedSize = 0;
  const bool compressed = Compress(compressor, errors, band, rows, quality, dpi, &coded, &codedSize);
  jpeg_destroy_compress(&compressor);
  std::vector<GByte> result;
  if (compressed && coded != nullptr) result.assign(coded, coded + codedSize);
  std::free(coded);  // libjpeg's memory destination allocates with malloc
  return result;
}

bool WriteJpegPage(RenderedPageDataset& page, const std::string& fileName, int quality, int dpi) {
  page.setBandEncoder([quality, dpi](const QImage& band, int rows) { return EncodeJpegBand(band, rows, quality, dpi); });
  FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = true;
  try {
    JpegBandJoiner joiner(file, page.GetRasterYSize());
    for (int top = 0; written && top < page.GetRasterYSize(); top += page.rowsPerBand()) {
      const std::vector<GByte>* coded = page.encodedBand(top);
      written = coded != nullptr && joiner.add(*coded, std::min(page.rowsPerBand(), page.GetRasterYSize() - top));
    }
    written = written && joiner.finish();
  } catch (const std::exception&) {
    written = false;  // drawing a band ran out of memory
  }
  written = std::fclose(file) == 0 && written;
  if (!written) VSIUnlink(fileName.c_str());
  return written;
}

}  // namespace framora
