#include "app/gui/platform_binding.h"

#include <gdal_priv.h>

#include <exception>

#include "gis/gdal_setup.h"

namespace framora {

const std::vector<std::string>& RequiredGisDrivers() {
  static const std::vector<std::string> drivers = {"OpenFileGDB", "GPKG"};
  return drivers;
}

bool BindGisPlatform(UserInterface& ui, const std::vector<std::string>& drivers) {
  bool bound = false;
  try {
    EnsureGdalRegistered();
    bound = true;
    for (const auto& name : drivers) {
      GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(name.c_str());
      if (driver == nullptr || !CPLFetchBool(driver->GetMetadata(), GDAL_DCAP_CREATE, false)) bound = false;
    }
    if (!bound) ui.message("没有安装arcgis10 Desktop");
  } catch (const std::exception&) {
    // As at the original start: whatever goes wrong here, the program still starts.
    bound = false;
  }
  return bound;
}

}  // namespace framora
