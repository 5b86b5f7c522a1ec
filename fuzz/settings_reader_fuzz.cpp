// Feeds arbitrary bytes to the window-free settings reader and carries what it read into
// the run settings, as the command line does with a settings file.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "frame/frame_settings.h"
#include "settings/control_values.h"
#include "util/framora_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  framora::ControlValues values;
  try {
    framora::ReadControlValues(in, values);
  } catch (const framora::FramoraError&) {
    // A damaged file: what was read before stays.
  }
  framora::FrameSettings settings = framora::DialogDefaultSettings();
  framora::ApplyControlValues(values, settings);
  for (const auto& name : framora::FrameSettingNames()) framora::GetFrameSetting(settings, name);
  for (const auto& [button, font] : values.fonts()) {
    font.pointSize();
    framora::FontToText(font);
  }
  return 0;
}
