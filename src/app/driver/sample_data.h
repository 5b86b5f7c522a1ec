#pragma once

#include <string>

namespace framora {

// Writes the sample data into folder: "sample.gpkg" with a block of 3 x 3 standard sheets of
// 1:10000 in CGCS2000 3-degree Gauss–Krüger with zone number ("图幅"), the same sheets in
// longitude and latitude ("图幅经纬度"), township-like polygons ("乡镇") and a few roads
// ("道路"); "imagery.tif", synthetic imagery of the block; and "sample.qgs", a QGIS project
// holding them (the imagery under tinted, labelled townships and roads by grade). Made from
// the program's own sheet numbers and projection, so it can always be made again.
void MakeSampleData(const std::string& folder);

}  // namespace framora
