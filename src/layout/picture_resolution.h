#pragma once

#include <string>

namespace framora {

// Writes the resolution into a finished picture where GDAL leaves it out: the pHYs chunk
// of a PNG file, the pixels per metre of a Windows bitmap. Other files are left as they
// are. False when the file cannot be read or rewritten.
bool StampPictureResolution(const std::string& fileName, const std::string& driver, int dpi);

}  // namespace framora
