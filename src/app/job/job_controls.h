#pragma once

#include "app/driver/frame_job.h"
#include "frame/frame_settings.h"
#include "settings/control_values.h"

namespace framora {

// The run assembly: copies every control of the main window
// and the settings dialog into the run settings, in the assembly's order. The values come
// from the live windows (CaptureControlValues) or from a settings file (ReadControlValues).
void AssembleFrameSettings(const ControlValues& values, FrameSettings& settings);

// What the two commands read from the main window, by control name: rgtype, edtmxd,
// CBLayer, reditwhere, edtFileName, CbField's items, edtoutFile, edtmxdPath, edtDPI, gb8054.
// A control that is not there keeps the default of FrameJobInputs.
FrameJobInputs FrameJobInputsFromControls(const ControlValues& values);

}  // namespace framora
