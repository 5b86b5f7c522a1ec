#pragma once

#include <QImage>

#include <cstdio>
#include <string>
#include <vector>

#include "layout/rendered_page_dataset.h"

namespace framora {

// Rows in one row of a page JPEG's blocks (colour at half resolution both ways). Bands that
// are coded apart hold a multiple of it.
inline constexpr int kJpegBlockRowHeight = 16;

// The first rows of a drawn band as a JPEG of its own, a restart after every row of blocks, so
// that bands coded on different threads join into one picture; empty when it cannot be coded.
std::vector<GByte> EncodeJpegBand(const QImage& band, int rows, int quality, int dpi);

// Joins bands coded apart into one baseline JPEG: the first band's headers with the page's
// height, then each band's coded rows, with the restart markers numbered on across the page.
class JpegBandJoiner {
 public:
  JpegBandJoiner(std::FILE* file, int pageHeight) : file_(file), pageHeight_(pageHeight) {}
  // The next band down, of that many rows; false when it is not a band as EncodeJpegBand
  // codes them or cannot be written.
  bool add(const std::vector<GByte>& coded, int rows);
  bool finish();

 private:
  bool write(const GByte* bytes, size_t count);

  std::FILE* file_;
  int pageHeight_;
  int blockRows_ = 0;  // rows of blocks written so far
  bool endedInsideBlocks_ = false;
};

// Writes the page as a baseline JPEG, each band coded on the thread that draws it, recording
// its resolution. The page's bands must hold a multiple of kJpegBlockRowHeight rows. False when
// the file cannot be written; a partial file is removed.
bool WriteJpegPage(RenderedPageDataset& page, const std::string& fileName, int quality, int dpi);

}  // namespace framora
