// framora-cli sheet: what a standard sheet number stands for.
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/command_registry.h"
#include "geodesy/angle_text.h"
#include "geodesy/sheet_number.h"
#include "util/console_user_interface.h"
#include "util/framora_error.h"

namespace framora::cli {
namespace {

const char* const kScales[] = {"1:1,000,000", "1:500,000", "1:250,000", "1:100,000",
                               "1:50,000",    "1:25,000",  "1:10,000",  "1:5,000"};

// Sheet sizes as the tables write them: 1°30′, 7′30″, 1′52.5″.
std::string SizeText(long double degrees) {
  const long long tenths = std::llround(degrees * 36000);
  const long long d = tenths / 36000;
  const long long m = tenths % 36000 / 600;
  const long long s = tenths % 600;
  char buffer[64] = "";
  int used = 0;
  if (d > 0) used += std::snprintf(buffer + used, sizeof buffer - used, "%lld°", d);
  if (m > 0) used += std::snprintf(buffer + used, sizeof buffer - used, "%lld′", m);
  if (s % 10 != 0) {
    std::snprintf(buffer + used, sizeof buffer - used, "%lld.%lld″", s / 10, s % 10);
  } else if (s > 0 || used == 0) {
    std::snprintf(buffer + used, sizeof buffer - used, "%lld″", s / 10);
  }
  return buffer;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "framora-cli sheet: give at least one sheet number; see framora-cli sheet --help\n");
    return 2;
  }
  ConsoleUserInterface ui;
  int status = 0;
  bool first = true;
  for (const std::string& text : args) {
    std::string number;
    std::optional<MapSheetExtent> found;
    try {
      number = NormalizeSheetNumber(text);
      if (!number.empty()) found = ParseNewSheetNumber(number);
    } catch (const FramoraError& wrong) {
      ui.message(wrong.what());
    }
    if (!found) {
      status = 1;
      continue;
    }
    const MapSheetExtent& extent = *found;
    if (!first) std::printf("\n");
    first = false;
    if (number != text) std::printf("%s → ", text.c_str());
    std::printf("%s  %s\n", number.c_str(), kScales[extent.ScaleIndex]);
    std::printf("  west   %s\n", DegreesToDmsLabel(static_cast<double>(extent.WestLongitude)).c_str());
    std::printf("  east   %s\n", DegreesToDmsLabel(static_cast<double>(extent.EastLongitude())).c_str());
    std::printf("  south  %s\n", DegreesToDmsLabel(static_cast<double>(extent.SouthLatitude)).c_str());
    std::printf("  north  %s\n", DegreesToDmsLabel(static_cast<double>(extent.NorthLatitude())).c_str());
    std::printf("  size   %s × %s\n", SizeText(extent.LongitudeSize).c_str(), SizeText(extent.LatitudeSize).c_str());
    std::printf("  3-degree zone central meridian  %.0f\n", ZoneMeridianOfSheet(extent));
  }
  return status;
}

CommandRegistration reg(
    "sheet",
    {"extent and zone meridian of standard map sheet numbers",
     "Usage: framora-cli sheet NUMBER...\n\n"
     "Reads standard topographic sheet numbers, new (E45G095066) or old (J-50-5-(24)-b),\n"
     "and prints for each the new number, its scale, the four edges (west, east, south,\n"
     "north) as degree-minute-second labels, the sheet size in longitude × latitude and\n"
     "the central meridian of the 3-degree Gauss-Krueger zone holding its west edge.\n\n"
     "New numbers have 10 characters: row letter A-V of the 1:1,000,000 sheet, its column\n"
     "01-60, the scale letter A (1:1,000,000) to H (1:5,000), then row and column of the\n"
     "sheet inside the 1:1,000,000 sheet in three digits each. A 1:1,000,000 sheet may be\n"
     "given in the old form only (J-50).\n\n"
     "An invalid number is reported on stderr and the exit status is 1.\n\n"
     "Examples:\n"
     "  framora-cli sheet E45G095066\n"
     "  framora-cli sheet 'J-50-5-(24)-b' J-50-[16] J-50\n",
     Run});

}  // namespace
}  // namespace framora::cli
