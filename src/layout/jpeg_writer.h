#pragma once

#include <string>

#include "layout/rendered_page_dataset.h"

namespace framora {

// Writes the page as a baseline JPEG, row after row as the page draws them, recording its
// resolution. False when the file cannot be written; a partial file is removed.
bool WriteJpegPage(RenderedPageDataset& page, const std::string& fileName, int quality, int dpi);

}  // namespace framora
