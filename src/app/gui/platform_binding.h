#pragma once

#include <string>
#include <vector>

#include "util/user_interface.h"

namespace framora {

// The GIS drivers the program cannot work without: file geodatabases written through
// OpenFileGDB and GeoPackages.
const std::vector<std::string>& RequiredGisDrivers();

// Registers GDAL and checks that every required driver is there and can create data.
// A missing one is reported with "没有安装arcgis10 Desktop"; the program goes on either way.
bool BindGisPlatform(UserInterface& ui, const std::vector<std::string>& drivers = RequiredGisDrivers());

}  // namespace framora
