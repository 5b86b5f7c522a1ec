#pragma once

namespace framora {

// Registers GDAL's drivers once and keeps GDAL's own error printing quiet: the
// system reports failures in its own words.
void EnsureGdalRegistered();

}  // namespace framora
