// framora-cli sample: writes the sample data the demo and the tests run on.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/command_registry.h"
#include "app/driver/sample_data.h"

namespace framora::cli {
namespace {

const char* const kUsage = R"(Usage: framora-cli sample FOLDER

Writes the sample data into FOLDER: sample.gpkg with a block of 3 x 3 standard sheets of
1:10000 (J50G010040 to J50G012042) in CGCS2000 3-degree Gauss-Krueger zone 39 with the zone
number (layer 图幅, fields TFH and TM), the same sheets in longitude and latitude (图幅经纬度),
township polygons (乡镇, field XZQMC) and roads (道路, fields MC and DJ); imagery.tif, a synthetic
true-colour image of the block (5 m pixels, with overviews); and sample.qgs, a QGIS project of
them: the imagery under the townships (tinted, labelled) and the roads (by grade, labelled).
)";

CommandRegistration sample("sample", {"write the sample data (sheet index, townships, imagery, QGIS project)", kUsage,
                                      [](const std::vector<std::string>& args) {
                                        if (args.size() != 1) {
                                          std::fprintf(stderr, "%s", kUsage);
                                          return 2;
                                        }
                                        MakeSampleData(args[0]);
                                        std::printf("示例数据已写入%s\n", args[0].c_str());
                                        return 0;
                                      }});

}  // namespace
}  // namespace framora::cli
