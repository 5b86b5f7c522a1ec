// framora-cli crs: what the program makes of a layer's coordinate-system code.
#include <cpl_error.h>
#include <ogr_spatialref.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/command_registry.h"
#include "geodesy/coord_system.h"
#include "util/console_user_interface.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora::cli {
namespace {

const char* DatumText(const CoordSystemGuess& guess) {
  switch (guess.Kind) {
    case CoordSystemGuess::kGeographicWgs84: return "WGS84 (WGS84)";
    case CoordSystemGuess::kGeographicBeijing1954: return "Beijing 1954 (北京54)";
    case CoordSystemGuess::kGeographicXian1980: return "Xian 1980 (西安80)";
    case CoordSystemGuess::kGeographicCgcs2000: return "CGCS2000 (国家2000)";
    default: break;
  }
  switch (guess.Datum) {
    case CoordSystemGuess::kCgcs2000: return "CGCS2000 (国家2000)";
    case CoordSystemGuess::kXian1980: return "Xian 1980 (西安80)";
    case CoordSystemGuess::kBeijing1954: return "Beijing 1954 (北京54)";
    default: return "?";
  }
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "framora-cli crs: give at least one EPSG code; see framora-cli crs --help\n");
    return 2;
  }
  ConsoleUserInterface ui;
  int status = 0;
  bool first = true;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string digits = args[i];
    if (ToUpperAscii(digits.substr(0, 5)) == "EPSG:") digits.erase(0, 5);
    const int code = ParseInteger(digits).value_or(0);
    if (code <= 0) {
      std::fprintf(stderr, "framora-cli crs: \"%s\" is not an EPSG code\n", args[i].c_str());
      status = 1;
      continue;
    }
    OGRSpatialReference srs;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const OGRErr imported = srs.importFromEPSG(code);
    CPLPopErrorHandler();
    if (imported != OGRERR_NONE) {
      std::fprintf(stderr, "framora-cli crs: EPSG:%d is not in the PROJ database\n", code);
      status = 1;
      continue;
    }

    const CoordSystemRecognition recognition = RecognizeCoordSystem(&srs);
    if (!recognition.notice.empty()) ui.message(recognition.notice);
    if (!first) std::printf("\n");
    first = false;
    std::printf("EPSG:%d  %s\n", code, srs.GetName() ? srs.GetName() : "");
    if (!recognition.guess) {
      std::printf("  recognised        no (the projection settings stay as they are)\n");
      continue;
    }
    const CoordSystemGuess& guess = *recognition.guess;
    std::printf("  recognised        yes\n");
    if (guess.Kind != CoordSystemGuess::kProjected) {
      std::printf("  kind              geographic, 大地(经纬度)坐标 (%d)\n", guess.Kind);
      std::printf("  datum             %s\n", DatumText(guess));
      continue;
    }
    std::printf("  kind              projected Gauss-Krueger, 平面(XY)坐标 (%d)\n", guess.Kind);
    std::printf("  datum             %s\n", DatumText(guess));
    std::printf("  zones             %s\n", guess.ThreeDegree ? "3-degree (3度分带法)" : "6-degree (6度分带法)");
    std::printf("  zone in easting   %s\n", guess.ZoneInEasting ? "yes (2、加)" : "no (1、不加)");
    std::printf("  central meridian  %g\n", guess.CentralMeridian);
  }
  return status;
}

CommandRegistration reg(
    "crs",
    {"how coordinate-system codes set the projection settings",
     "Usage: framora-cli crs CODE...\n\n"
     "For each EPSG code (4491 or EPSG:4491) prints whether the program recognises it as a\n"
     "layer's coordinate system and, if so, the settings it takes from it: plane or\n"
     "geographic coordinates, the datum (CGCS2000, Xian 1980, Beijing 1954, WGS84), 3- or\n"
     "6-degree zones, whether eastings carry the zone number, and the central meridian.\n"
     "Only the Chinese Gauss-Krueger systems and the geographic systems of the four datums\n"
     "are recognised; anything else leaves the settings alone.\n\n"
     "A code PROJ does not know is reported on stderr and the exit status is 1.\n\n"
     "Example:\n"
     "  framora-cli crs 4491 2442 32650\n",
     Run});

}  // namespace
}  // namespace framora::cli
