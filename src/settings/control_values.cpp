#include "settings/control_values.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "settings/dialog_controls.h"
#include "util/text.h"

namespace framora {
namespace {

std::optional<int> ReadInteger(std::string_view text) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

// Takes every window and every button: without windows nothing is unknown.
class ControlValuesCollector : public SettingsRecordSink {
 public:
  explicit ControlValuesCollector(ControlValues& values) : values_(values) {}
  bool beginWindow(const std::string&) override { return true; }
  void componentRecord(const ComponentRecord& record) override { values_.addRecord(record); }
  bool fontButton(const std::string&) override { return true; }
  void buttonFont(const std::string& button, const LogicalFont& font) override { values_.setFont(button, font); }

 private:
  ControlValues& values_;
};

// The run assembly's kinds of copy, each skipping a control that is not there.
class AssemblyCopy {
 public:
  AssemblyCopy(const ControlValues& values, FrameSettings& settings) : values_(values), settings_(settings) {}

  std::optional<int> number(std::string_view name) const {
    const ControlValue* value = values_.find(name);
    if (value == nullptr || !value->number) return std::nullopt;
    return KeepWithinControl(name, *value->number);
  }
  const std::string* text(std::string_view name) const {
    const ControlValue* value = values_.find(name);
    return value == nullptr ? nullptr : &value->text;
  }

  void integer(std::string_view name, int FrameSettings::*field) const {
    if (const auto value = number(name)) settings_.*field = *value;
  }
  void real(std::string_view name, double FrameSettings::*field, double divisor = 1) const {
    if (const auto value = number(name)) settings_.*field = *value / divisor;
  }
  void itemFlag(std::string_view name, bool FrameSettings::*field, int item) const {
    if (const auto value = number(name)) settings_.*field = *value == item;
  }
  void checked(std::string_view name, bool FrameSettings::*field) const {
    const ControlValue* value = values_.find(name);
    if (value != nullptr && value->checked) settings_.*field = *value->checked;
  }
  void copyText(std::string_view name, std::string FrameSettings::*field) const {
    if (const std::string* value = text(name)) settings_.*field = *value;
  }
  void font(std::string_view button, LogicalFont FrameSettings::*field) const {
    if (const LogicalFont* value = values_.font(button)) settings_.*field = *value;
  }

 private:
  const ControlValues& values_;
  FrameSettings& settings_;
};

}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

void ControlValues::addRecord(const ComponentRecord& record) {
  const std::string property = ToLowerAscii(record.property);
  ControlValue value;
  value.text = record.value;
  if (property == "lines") {
    value.text = JoinLines(ValueToLines(record.value));
  } else if (property == "items") {
    ComboState combo = ValueToCombo(record.value);
    const bool picked = combo.itemIndex >= 0 && combo.itemIndex < static_cast<int>(combo.items.size());
    value.number = picked ? combo.itemIndex : -1;
    value.text = picked ? combo.items[combo.itemIndex] : std::string();
    value.items = std::move(combo.items);
  } else if (property == "itemindex" || property == "value") {
    value.number = ReadInteger(record.value);
    if (!value.number) return;
  } else if (property == "checked") {
    if (EqualsIgnoringCase(record.value, "True")) {
      value.checked = true;
    } else if (EqualsIgnoringCase(record.value, "False")) {
      value.checked = false;
    } else {
      return;
    }
  }
  set(record.component, std::move(value));
}

const ControlValue* ControlValues::find(std::string_view name) const {
  const auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : &found->second;
}

const LogicalFont* ControlValues::font(std::string_view button) const {
  const auto found = fonts_.find(button);
  return found == fonts_.end() ? nullptr : &found->second;
}

void ReadControlValues(std::istream& in, ControlValues& values) {
  ControlValuesCollector collector(values);
  ReadSettings(in, collector);
}

void ReadControlValues(const std::string& path, ControlValues& values) {
  ControlValuesCollector collector(values);
  ReadSettingsFile(path, collector);
}

void ApplyControlValues(const ControlValues& values, FrameSettings& s) {
  using F = FrameSettings;
  const AssemblyCopy copy(values, s);
  copy.integer("rgdmsmode", &F::CornerLabelMode);
  copy.integer("sentod", &F::MapToInnerGap);
  copy.integer("senw", &F::InnerToOuterGap);
  copy.integer("Seinterval", &F::GridInterval);
  copy.font("btnDFont", &F::GridBigFont);
  copy.font("btnXFont", &F::GridSmallFont);
  copy.real("SeLineLength", &F::CrossLineLength);
  copy.font("btntscale", &F::ScaleTextFont);
  copy.font("btn4j", &F::CornerFont);
  copy.itemFlag("Rg4JAnn", &F::CornerLatLonOn, 1);
  copy.copyText("morb", &F::LowerRightText);
  copy.font("btnrightdown", &F::LowerRightFont);
  copy.real("serb", &F::LowerRightBottom);
  copy.copyText("edtmapTitle", &F::SideTitle);
  copy.font("btnmapTitle", &F::SideTitleFont);
  copy.real("seMapTitleTop", &F::SideTitleTop);
  copy.real("semapTitler", &F::SideTitleRight);
  copy.copyText("edtleft", &F::LeftText);
  copy.font("btnleft", &F::LeftTextFont);
  copy.real("seleft", &F::LeftTextDist);
  copy.copyText("molb", &F::LowerLeftText);
  copy.real("selb", &F::LowerLeftBottom);
  copy.font("btnleftdown", &F::LowerLeftFont);
  copy.copyText("edtscale", &F::ScaleText);
  copy.real("sescale", &F::ScaleTextBottom);
  copy.integer("seoutw", &F::OuterLineWidth);
  copy.copyText("edtmian", &F::MainTitle);
  copy.font("btntlitle1", &F::MainTitleFont);
  copy.real("seMain", &F::MainTitleTop);
  copy.copyText("edtmian1", &F::SubTitle1);
  copy.font("btntlitle2", &F::SubTitle1Font);
  copy.real("semian1", &F::SubTitle1Top);
  copy.copyText("edtmian2", &F::SubTitle2);
  copy.font("btntlitle3", &F::SubTitle2Font);
  copy.real("semian2", &F::SubTitle2Top);
  // The main window's spin edit keeps the meridian within 75 to 135.
  if (const auto meridian = copy.number("centerL")) s.CentralMeridian = std::clamp(*meridian, 75, 135);
  copy.itemFlag("gb8054", &F::UseKrassowsky, 2);
  copy.itemFlag("cbFdf", &F::ThreeDegreeZones, 0);
  copy.itemFlag("rgisband", &F::CoordsWithZone, 1);
  copy.integer("rgGrid", &F::GridType);
  copy.itemFlag("rgjw", &F::GeographicInput, 1);
  copy.integer("RGJWWZJ", &F::GraticuleLabelMode);
  if (const std::string* scale = copy.text("edtMapscale1")) s.ScaleFactor = ScaleFactorOfText(*scale);
  copy.copyText("edtru", &F::UpperRightText);
  copy.font("btnRightUp", &F::UpperRightFont);
  copy.real("seru", &F::UpperRightTop);
  copy.real("sewd", &F::LatStep, 3600);
  copy.real("seJd", &F::LonStep, 3600);
  if (const std::string* field = copy.text("edtField")) s.TitleField = FieldNameOfText(*field);
  copy.real("SEW", &F::JoinTableWidth);
  copy.real("SeH", &F::JoinTableHeight);
  copy.font("btnjionMap", &F::JoinTableFont);
  copy.real("SeX", &F::JoinTableX);
  copy.real("SeY", &F::JoinTableY);
  if (const auto mode = copy.number("rgtype")) s.FrameMode = *mode + 1;
  copy.integer("rgHor", &F::HorLabelMode);
  copy.integer("rgver", &F::VerLabelMode);
  copy.checked("Chkiskmann", &F::ShowKmText);
  copy.integer("rgwdalignmode", &F::LatDegreeAlign);
  copy.integer("seForenum", &F::CornerDigitsBefore);
  copy.integer("seafternum", &F::CornerDigitsAfter);
  copy.integer("seannforenum", &F::GridDigitsBefore);
  copy.integer("seannafternum", &F::GridDigitsAfter);
  copy.checked("chkscaleBarShow", &F::ScaleBarOn);
  copy.integer("seScaleBarlen", &F::ScaleBarLength);
  copy.integer("sescalebarkd", &F::ScaleBarTickLength);
  copy.integer("seScaleBarHeight", &F::ScaleBarBottom);
  copy.font("btnscalebarFont", &F::ScaleBarFont);
  copy.real("sejwcrosslen", &F::GraticuleCrossLen, 3600);
  if (const std::string* tail = copy.text("edtrightbottom")) s.LowerRightCentredTail = Trim(*tail);
  copy.real("SeLeftMage", &F::PageMarginLeft, 10);
  copy.real("SeRightMage", &F::PageMarginRight, 10);
  copy.real("SeBottomMage", &F::PageMarginBottom, 10);
  copy.real("SeTopMage", &F::PageMarginTop, 10);
  if (const auto offset = copy.number("edtBKZJDIS")) SetGridLabelOffset(s, *offset);
  copy.real("seYaDIS", &F::MaskDistance);
  copy.integer("RGYaSet", &F::MaskMode);
  copy.integer("RGBKZJMode", &F::GridLabelPlace);
  copy.copyText("CBPICType", &F::PictureType);
}

}  // namespace framora
