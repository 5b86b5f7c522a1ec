#include "gis/gdal_setup.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_api.h>

#include <mutex>

namespace framora {

void EnsureGdalRegistered() {
  static std::once_flag once;
  std::call_once(once, [] {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
  });
}

}  // namespace framora
