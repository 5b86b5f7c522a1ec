#include "app/job/job_controls.h"

#include "settings/dialog_controls.h"

namespace framora {

void AssembleFrameSettings(const ControlValues& values, FrameSettings& settings) {
  ApplyControlValues(values, settings);
}

FrameJobInputs FrameJobInputsFromControls(const ControlValues& values) {
  FrameJobInputs inputs;
  const auto text = [&](const char* name, std::string& target) {
    if (const ControlValue* value = values.find(name)) target = value->text;
  };
  const auto number = [&](const char* name, int& target) {
    if (const ControlValue* value = values.find(name); value != nullptr && value->number)
      target = KeepWithinControl(name, *value->number);
  };
  number("rgtype", inputs.creationMode);
  text("edtmxd", inputs.documentPath);
  text("CBLayer", inputs.layerName);
  text("reditwhere", inputs.whereClause);
  text("edtFileName", inputs.nameTemplate);
  if (const ControlValue* fields = values.find("CbField")) inputs.fieldChoices = fields->items;
  text("edtoutFile", inputs.outputPath);
  text("edtmxdPath", inputs.outputFolder);
  text("edtDPI", inputs.dpiText);
  number("gb8054", inputs.coordinateSystemIndex);
  return inputs;
}

}  // namespace framora
