#include "layout/jpeg_writer.h"

#include <cpl_vsi.h>

#include <QtGlobal>

#include <csetjmp>
#include <cstdio>
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
bool Compress(jpeg_compress_struct& compressor, JpegErrors& errors, RenderedPageDataset& page, FILE* file, int quality,
              int dpi) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_create_compress(&compressor);
  jpeg_stdio_dest(&compressor, file);
  compressor.image_width = static_cast<JDIMENSION>(page.GetRasterXSize());
  compressor.image_height = static_cast<JDIMENSION>(page.GetRasterYSize());
  // The drawn rows go in as they are: 0xffRRGGBB words, in memory order.
  compressor.input_components = 4;
  compressor.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
  jpeg_set_defaults(&compressor);
  jpeg_set_quality(&compressor, quality, TRUE);
  compressor.density_unit = 1;  // dots per inch
  compressor.X_density = compressor.Y_density = static_cast<UINT16>(dpi > 65535 ? 65535 : dpi);
  jpeg_start_compress(&compressor, TRUE);
  for (int row = 0; row < page.GetRasterYSize(); ++row) {
    const QRgb* drawn = page.drawnRow(row);
    if (drawn == nullptr) return false;  // libjpeg's state goes with jpeg_destroy_compress
    JSAMPROW samples = reinterpret_cast<JSAMPROW>(const_cast<QRgb*>(drawn));
    jpeg_write_scanlines(&compressor, &samples, 1);
  }
  jpeg_finish_compress(&compressor);
  return true;
}

}  // namespace

bool WriteJpegPage(RenderedPageDataset& page, const std::string& fileName, int quality, int dpi) {
  FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct compressor{};
  JpegErrors errors{};
  compressor.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JumpOut;
  errors.manager.emit_message = Silent;
  bool written = false;
  try {
    written = Compress(compressor, errors, page, file, quality, dpi);
  } catch (const std::exception&) {
    written = false;  // drawing a band ran out of memory
  }
  jpeg_destroy_compress(&compressor);
  written = std::fclose(file) == 0 && written;
  if (!written) VSIUnlink(fileName.c_str());
  return written;
}

}  // namespace framora
