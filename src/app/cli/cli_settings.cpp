// framora-cli settings: every frame setting by name, with the value a new user starts from.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/command_registry.h"
#include "frame/frame_settings.h"
#include "util/framora_error.h"

namespace framora::cli {
namespace {

const char* const kUsage = R"(Usage: framora-cli settings [NAME=VALUE...]

Lists every frame setting that "--set NAME=VALUE" of generate and print accepts, with the
value it has before any is set (the settings dialog's defaults). Given assignments, checks
them and shows the result. Distances are in 0.1 mm of paper unless the name says otherwise;
fonts are written "face,points[,bold][,italic][,#RRGGBB]", such as "黑体,24,bold".
)";

int Run(const std::vector<std::string>& args) {
  FrameSettings settings = DialogDefaultSettings();
  for (const auto& assignment : args) {
    const auto equals = assignment.find('=');
    std::string error;
    if (equals == std::string::npos ||
        !SetFrameSetting(settings, assignment.substr(0, equals), assignment.substr(equals + 1), &error)) {
      std::fprintf(stderr, "%s\n", equals == std::string::npos ? ("需要 名称=值：" + assignment).c_str() : error.c_str());
      return 1;
    }
  }
  for (const auto& name : FrameSettingNames())
    std::printf("%s=%s\n", name.c_str(), GetFrameSetting(settings, name).value_or("").c_str());
  return 0;
}

CommandRegistration settings("settings", {"list the frame settings and their defaults", kUsage, Run});

}  // namespace
}  // namespace framora::cli
