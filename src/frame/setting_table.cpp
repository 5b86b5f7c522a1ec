#include "frame/setting_table.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "util/text.h"

namespace framora {
namespace {

constexpr const char* kTenthMm = "0.1毫米";
constexpr const char* kMm = "毫米";
constexpr const char* kMetres = "米";
constexpr const char* kDegrees = "度";
constexpr const char* kSampleOrganisation = "某某市国土资源局";
constexpr const char* kSampleTitle = "某某市土地利用现状图";
constexpr const char* kSpacedSampleTitle = "某 某 市 土 地 利 用 现 状 图";

template <class... Visitors>
struct Overloaded : Visitors... {
  using Visitors::operator()...;
};
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;  // clang 14 does not deduce it for aggregates

// The dialog gives its fonts as a face and a character height in pixels.
LogicalFont PixelFont(int pixels, const std::string& face = "宋体") {
  LogicalFont font;
  font.faceName = face;
  font.height = -pixels;
  return font;
}

// One row, written as the field, its default, then what applies of the rest.
class Setting {
 public:
  template <typename T>
  Setting(std::string name, T FrameSettings::*field, std::type_identity_t<T> initial) {
    row_.name = std::move(name);
    row_.field = field;
    row_.initial = std::move(initial);
  }
  Setting& from(std::string control, ControlConversion conversion = ControlConversion::Plain) {
    row_.control = std::move(control);
    row_.conversion = conversion;
    return *this;
  }
  Setting& whenItem(int item) {
    row_.item = item;
    return *this;
  }
  Setting& clampedTo(int low, int high) {
    row_.low = low;
    row_.high = high;
    return *this;
  }
  Setting& between(int low, int high) {
    row_.check = {SettingCheck::Kind::Range, low, high};
    return *this;
  }
  Setting& atLeast(int low) { return between(low, INT_MAX); }
  Setting& positive() {
    row_.check.kind = SettingCheck::Kind::Positive;
    return *this;
  }
  Setting& unit(std::string unit) {
    row_.unit = std::move(unit);
    return *this;
  }
  operator FrameSettingRow() const { return row_; }

 private:
  FrameSettingRow row_;
};

#define FRAMORA_FIELD(member) #member, &FrameSettings::member

std::vector<FrameSettingRow> MakeTable() {
  using C = ControlConversion;
  return {
      Setting(FRAMORA_FIELD(ScaleFactor), 1.0).from("edtMapscale1", C::ScaleDenominator).positive()
          .unit("米/0.1毫米"),
      Setting(FRAMORA_FIELD(MapToInnerGap), 160).from("sentod").unit(kTenthMm),
      Setting(FRAMORA_FIELD(InnerToOuterGap), 80).from("senw").unit(kTenthMm),
      Setting(FRAMORA_FIELD(OuterLineWidth), 0).from("seoutw").unit(kTenthMm),
      Setting(FRAMORA_FIELD(GridInterval), 1000).from("Seinterval").atLeast(1).unit(kMetres),
      Setting(FRAMORA_FIELD(CrossLineLength), 50.0).from("SeLineLength").unit(kMetres),
      Setting(FRAMORA_FIELD(GridType), 1).from("rgGrid").between(0, 4),
      Setting(FRAMORA_FIELD(GridBigFont), PixelFont(8)).from("btnDFont"),
      Setting(FRAMORA_FIELD(GridSmallFont), PixelFont(8)).from("btnXFont"),
      Setting(FRAMORA_FIELD(HorLabelMode), 0).from("rgHor").between(0, 1),
      Setting(FRAMORA_FIELD(VerLabelMode), 0).from("rgver").between(0, 1),
      Setting(FRAMORA_FIELD(ShowKmText), true).from("Chkiskmann"),
      Setting(FRAMORA_FIELD(BigNumberAtHundredKm), true).from("chkSetDa"),
      Setting(FRAMORA_FIELD(LatDegreeAlign), 1).from("rgwdalignmode").between(0, 1),
      Setting(FRAMORA_FIELD(CornerDigitsBefore), 2).from("seForenum").atLeast(0),
      Setting(FRAMORA_FIELD(CornerDigitsAfter), 2).from("seafternum").atLeast(0),
      Setting(FRAMORA_FIELD(GridDigitsBefore), 2).from("seannforenum").atLeast(0),
      Setting(FRAMORA_FIELD(GridDigitsAfter), 2).from("seannafternum").atLeast(0),
      Setting(FRAMORA_FIELD(CornerLabelMode), 0).from("rgdmsmode").between(0, 2),
      Setting(FRAMORA_FIELD(CornerLatLonOn), true).from("Rg4JAnn", C::ItemIs).whenItem(1),
      Setting(FRAMORA_FIELD(CornerFont), PixelFont(8)).from("btn4j"),
      Setting(FRAMORA_FIELD(GraticuleLabelMode), 1).from("RGJWWZJ").between(0, 1),
      Setting(FRAMORA_FIELD(LatStep), 150 / 3600.0).from("sewd", C::ArcSeconds).positive().unit(kDegrees),
      Setting(FRAMORA_FIELD(LonStep), 225 / 3600.0).from("seJd", C::ArcSeconds).positive().unit(kDegrees),
      Setting(FRAMORA_FIELD(GraticuleCrossLen), 10 / 3600.0).from("sejwcrosslen", C::ArcSeconds).unit(kDegrees),
      Setting(FRAMORA_FIELD(GridLabelPlace), 1).from("RGBKZJMode").between(0, 2),
      Setting(FRAMORA_FIELD(GridLabelOffset), 5).from("edtBKZJDIS", C::LabelOffset).between(0, 100)
          .unit(kTenthMm),
      // Follows GridLabelOffset: 5 / 10.
      Setting(FRAMORA_FIELD(GridLabelOffsetMm), 0).unit(kMm),
      Setting(FRAMORA_FIELD(MaskMode), 0).from("RGYaSet").between(0, 2),
      Setting(FRAMORA_FIELD(MaskDistance), 200.0).from("seYaDIS").unit(kTenthMm),
      Setting(FRAMORA_FIELD(MainTitle), std::string(kSpacedSampleTitle)).from("edtmian"),
      Setting(FRAMORA_FIELD(MainTitleFont), PixelFont(67)).from("btntlitle1"),
      Setting(FRAMORA_FIELD(MainTitleTop), 180.0).from("seMain").unit(kTenthMm),
      Setting(FRAMORA_FIELD(SubTitle1), "").from("edtmian1"),
      Setting(FRAMORA_FIELD(SubTitle1Font), PixelFont(37)).from("btntlitle2"),
      Setting(FRAMORA_FIELD(SubTitle1Top), 80.0).from("semian1").unit(kTenthMm),
      Setting(FRAMORA_FIELD(SubTitle2), "").from("edtmian2"),
      // The dialog's own font.
      Setting(FRAMORA_FIELD(SubTitle2Font), PixelFont(11, "MS Sans Serif")).from("btntlitle3"),
      Setting(FRAMORA_FIELD(SubTitle2Top), 20.0).from("semian2").unit(kTenthMm),
      Setting(FRAMORA_FIELD(ScaleText), "比例尺1:[scale]").from("edtscale"),
      Setting(FRAMORA_FIELD(ScaleTextFont), PixelFont(20)).from("btntscale"),
      Setting(FRAMORA_FIELD(ScaleTextBottom), 50.0).from("sescale").unit(kTenthMm),
      Setting(FRAMORA_FIELD(LowerRightText), std::string(kSampleOrganisation) + "\r\nYYYY年MM月DD日    ")
          .from("morb"),
      Setting(FRAMORA_FIELD(LowerRightFont), PixelFont(16)).from("btnrightdown"),
      Setting(FRAMORA_FIELD(LowerRightBottom), 30.0).from("serb").unit(kTenthMm),
      Setting(FRAMORA_FIELD(LowerRightCentredTail), "").from("edtrightbottom", C::Trimmed),
      Setting(FRAMORA_FIELD(UpperRightText), "秘密").from("edtru"),
      Setting(FRAMORA_FIELD(UpperRightFont), PixelFont(13)).from("btnRightUp"),
      Setting(FRAMORA_FIELD(UpperRightTop), 25.0).from("seru").unit(kTenthMm),
      Setting(FRAMORA_FIELD(SideTitle), kSampleTitle).from("edtmapTitle"),
      Setting(FRAMORA_FIELD(SideTitleFont), PixelFont(13)).from("btnmapTitle"),
      Setting(FRAMORA_FIELD(SideTitleTop), 25.0).from("seMapTitleTop").unit(kTenthMm),
      Setting(FRAMORA_FIELD(SideTitleRight), 80.0).from("semapTitler").unit(kTenthMm),
      Setting(FRAMORA_FIELD(LeftText), kSampleOrganisation).from("edtleft"),
      Setting(FRAMORA_FIELD(LeftTextFont), PixelFont(15)).from("btnleft"),
      Setting(FRAMORA_FIELD(LeftTextDist), 30.0).from("seleft").unit(kTenthMm),
      Setting(FRAMORA_FIELD(LowerLeftText),
              "采用2003年11月SPOT2.5米全色数据及10米多光谱影像融合数据。\r\n"
              "2009年7月制作。\r\n"
              "1954年北京坐标系。\r\n"
              "1956年黄海高程系。\r\n"
              "yyyy年mm月dd日")
          .from("molb"),
      Setting(FRAMORA_FIELD(LowerLeftFont), PixelFont(13)).from("btnleftdown"),
      Setting(FRAMORA_FIELD(LowerLeftBottom), 30.0).from("selb").unit(kTenthMm),
      Setting(FRAMORA_FIELD(TitleField), "").from("edtField", C::FieldName),
      Setting(FRAMORA_FIELD(JoinTableX), 0.0).from("SeX").unit(kTenthMm),
      Setting(FRAMORA_FIELD(JoinTableY), 20.0).from("SeY").unit(kTenthMm),
      Setting(FRAMORA_FIELD(JoinTableWidth), 130.0).from("SEW").unit(kTenthMm),
      Setting(FRAMORA_FIELD(JoinTableHeight), 70.0).from("SeH").unit(kTenthMm),
      Setting(FRAMORA_FIELD(JoinTableFont), PixelFont(11)).from("btnjionMap"),
      Setting(FRAMORA_FIELD(ScaleBarOn), false).from("chkscaleBarShow"),
      Setting(FRAMORA_FIELD(ScaleBarLength), 1000).from("seScaleBarlen").unit(kTenthMm),
      Setting(FRAMORA_FIELD(ScaleBarTickLength), 20).from("sescalebarkd").unit(kTenthMm),
      Setting(FRAMORA_FIELD(ScaleBarBottom), 180).from("seScaleBarHeight").unit(kTenthMm),
      Setting(FRAMORA_FIELD(ScaleBarFont), PixelFont(11)).from("btnscalebarFont"),
      Setting(FRAMORA_FIELD(PageMarginLeft), 50.0).from("SeLeftMage", C::Tenths).unit(kMm),
      Setting(FRAMORA_FIELD(PageMarginRight), 50.0).from("SeRightMage", C::Tenths).unit(kMm),
      Setting(FRAMORA_FIELD(PageMarginTop), 40.0).from("SeTopMage", C::Tenths).unit(kMm),
      Setting(FRAMORA_FIELD(PageMarginBottom), 40.0).from("SeBottomMage", C::Tenths).unit(kMm),
      Setting(FRAMORA_FIELD(PictureType), ".JPG").from("CBPICType"),
      // Written by batch print from edtDPI.
      Setting(FRAMORA_FIELD(ExportDpi), 96).atLeast(1).unit("点/英寸"),
      Setting(FRAMORA_FIELD(CentralMeridian), 87.0).from("centerL", C::Clamped).clampedTo(75, 135)
          .unit(kDegrees),
      Setting(FRAMORA_FIELD(UseKrassowsky), false).from("gb8054", C::ItemIs).whenItem(2),
      Setting(FRAMORA_FIELD(ThreeDegreeZones), true).from("cbFdf", C::ItemIs).whenItem(0),
      Setting(FRAMORA_FIELD(CoordsWithZone), false).from("rgisband", C::ItemIs).whenItem(1),
      Setting(FRAMORA_FIELD(GeographicInput), false).from("rgjw", C::ItemIs).whenItem(1),
      Setting(FRAMORA_FIELD(FrameMode), 2).from("rgtype", C::ItemPlusOne).between(1, 2),
      // Written by the commands from gb8054 and rgtype.
      Setting(FRAMORA_FIELD(coordinateSystemIndex), 0).between(0, 3),
      Setting(FRAMORA_FIELD(isStandardSheetMode), false),
  };
}

#undef FRAMORA_FIELD

double NumberOf(const SettingValue& value) {
  if (const int* whole = std::get_if<int>(&value)) return *whole;
  if (const double* real = std::get_if<double>(&value)) return *real;
  return 0;
}

// A number for the row's field, whole or real as the field is.
SettingValue NumberFor(const FrameSettingRow& row, double value) {
  if (std::holds_alternative<int>(row.initial)) return static_cast<int>(value);
  return value;
}

template <typename Part>
std::optional<SettingValue> Given(const std::optional<Part>& part) {
  if (part) return *part;
  return std::nullopt;
}

std::optional<SettingValue> ValueOfReading(const FrameSettingRow& row, const ControlReading& reading) {
  using C = ControlConversion;
  const auto& text = reading.text;
  switch (row.conversion) {
    case C::None: return std::nullopt;
    case C::Plain:
      if (std::holds_alternative<bool>(row.initial)) return Given(reading.checked);
      if (std::holds_alternative<std::string>(row.initial)) return Given(text);
      if (std::holds_alternative<LogicalFont>(row.initial)) return Given(reading.font);
      break;
    case C::ScaleDenominator:
      if (text) return ScaleFactorOfText(*text);
      return std::nullopt;
    case C::FieldName:
      if (text) return FieldNameOfText(*text);
      return std::nullopt;
    case C::Trimmed:
      if (text) return Trim(*text);
      return std::nullopt;
    default: break;
  }
  // The rest read the control's number.
  if (!reading.number) return std::nullopt;
  const int number = *reading.number;
  switch (row.conversion) {
    case C::Plain: return NumberFor(row, number);
    case C::Tenths: return NumberFor(row, number / 10.0);
    case C::ArcSeconds: return NumberFor(row, number / 3600.0);
    case C::ItemIs: return SettingValue(number == row.item);
    case C::ItemPlusOne: return NumberFor(row, number + 1);
    case C::Clamped: return NumberFor(row, std::clamp(number, row.low, row.high));
    case C::LabelOffset: return SettingValue(number);
    default: return std::nullopt;
  }
}

}  // namespace

const std::vector<FrameSettingRow>& FrameSettingTable() {
  static const std::vector<FrameSettingRow> table = MakeTable();
  return table;
}

const FrameSettingRow* FindFrameSetting(std::string_view name) {
  for (const FrameSettingRow& row : FrameSettingTable())
    if (EqualsIgnoringCase(row.name, name)) return &row;
  return nullptr;
}

const FrameSettingRow* FindFrameSettingOfControl(std::string_view control) {
  if (control.empty()) return nullptr;
  for (const FrameSettingRow& row : FrameSettingTable())
    if (EqualsIgnoringCase(row.control, control)) return &row;
  return nullptr;
}

SettingValue LoadSetting(const FrameSettingRow& row, const FrameSettings& settings) {
  return std::visit([&](auto member) -> SettingValue { return settings.*member; }, row.field);
}

void StoreSetting(const FrameSettingRow& row, const SettingValue& value, FrameSettings& settings) {
  if (row.conversion == ControlConversion::LabelOffset) {
    SetGridLabelOffset(settings, std::get<int>(value));
    return;
  }
  std::visit(
      [&](auto member) {
        using Field = std::remove_reference_t<decltype(settings.*member)>;
        settings.*member = std::get<Field>(value);
      },
      row.field);
}

void TakeControlReading(const FrameSettingRow& row, const ControlReading& reading, FrameSettings& settings) {
  if (const auto value = ValueOfReading(row, reading)) StoreSetting(row, *value, settings);
}

ControlReading DefaultControlReading(const FrameSettingRow& row) {
  using C = ControlConversion;
  ControlReading reading;
  const double number = NumberOf(row.initial);
  switch (row.conversion) {
    case C::None: break;
    case C::Plain:
      std::visit(Overloaded{
                     [&](int value) { reading.number = value; },
                     [&](double value) { reading.number = static_cast<int>(std::lround(value)); },
                     [&](bool value) { reading.checked = value; },
                     [&](const std::string& value) { reading.text = value; },
                     [&](const LogicalFont& value) { reading.font = value; },
                 },
                 row.initial);
      break;
    case C::Tenths: reading.number = static_cast<int>(std::lround(number * 10)); break;
    case C::ArcSeconds: reading.number = static_cast<int>(std::lround(number * 3600)); break;
    case C::ItemIs: {
      const bool on = std::get<bool>(row.initial);
      reading.number = on ? row.item : (row.item == 0 ? 1 : 0);
      break;
    }
    case C::ItemPlusOne: reading.number = static_cast<int>(std::lround(number)) - 1; break;
    case C::Clamped:
    case C::LabelOffset: reading.number = static_cast<int>(std::lround(number)); break;
    case C::ScaleDenominator: reading.text = NumberText(number * 10000); break;
    case C::FieldName:
    case C::Trimmed: reading.text = std::get<std::string>(row.initial); break;
  }
  return reading;
}

FrameSettings::FrameSettings() {
  for (const FrameSettingRow& row : FrameSettingTable()) StoreSetting(row, row.initial, *this);
}

}  // namespace framora
