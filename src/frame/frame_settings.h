#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/logical_font.h"

namespace framora {

// The run settings: every value of the main window and the settings dialog that a frame
// job reads. Each field's default, unit, name and control are in one table
// (frame/setting_table.cpp); a plain FrameSettings{} holds the defaults, which are what the
// untouched windows give. The braces only keep a field the table missed from holding garbage.
struct FrameSettings {
  FrameSettings();

  double ScaleFactor{};           // scale denominator / 10000
  int MapToInnerGap{};
  int InnerToOuterGap{};
  int OuterLineWidth{};
  int GridInterval{};
  double CrossLineLength{};
  int GridType{};                 // 0 none, 1 km grid, 2 crosses, 3 graticule, 4 graticule crosses
  LogicalFont GridBigFont;
  LogicalFont GridSmallFont;
  int HorLabelMode{};             // 0 "00 10 20", 1 "05 15 25"
  int VerLabelMode{};
  bool ShowKmText{};
  bool BigNumberAtHundredKm{};    // "00" lines carry the hundreds of kilometres too
  int LatDegreeAlign{};           // 0 close to the inner frame, 1 centred
  int CornerDigitsBefore{};
  int CornerDigitsAfter{};
  int GridDigitsBefore{};
  int GridDigitsAfter{};
  int CornerLabelMode{};          // 0 d-m-s, 1 d-m, 2 XY
  bool CornerLatLonOn{};
  LogicalFont CornerFont;
  int GraticuleLabelMode{};       // 0 d-m-s, 1 d-m
  double LatStep{};
  double LonStep{};
  double GraticuleCrossLen{};
  int GridLabelPlace{};           // 0 by the outer frame, 1 by the inner frame, 2 custom
  int GridLabelOffset{};
  int GridLabelOffsetMm{};
  int MaskMode{};                 // 0 from the inner frame, 1 from the shape, 2 none
  double MaskDistance{};
  std::string MainTitle;
  LogicalFont MainTitleFont;
  double MainTitleTop{};
  std::string SubTitle1;
  LogicalFont SubTitle1Font;
  double SubTitle1Top{};
  std::string SubTitle2;
  LogicalFont SubTitle2Font;
  double SubTitle2Top{};
  std::string ScaleText;
  LogicalFont ScaleTextFont;
  double ScaleTextBottom{};
  std::string LowerRightText;     // lines joined with "\r\n"
  LogicalFont LowerRightFont;
  double LowerRightBottom{};
  std::string LowerRightCentredTail;
  std::string UpperRightText;
  LogicalFont UpperRightFont;
  double UpperRightTop{};
  std::string SideTitle;
  LogicalFont SideTitleFont;
  double SideTitleTop{};
  double SideTitleRight{};
  std::string LeftText;
  LogicalFont LeftTextFont;
  double LeftTextDist{};
  std::string LowerLeftText;      // lines joined with "\r\n"
  LogicalFont LowerLeftFont;
  double LowerLeftBottom{};
  std::string TitleField;
  double JoinTableX{};
  double JoinTableY{};
  double JoinTableWidth{};
  double JoinTableHeight{};
  LogicalFont JoinTableFont;
  bool ScaleBarOn{};
  int ScaleBarLength{};
  int ScaleBarTickLength{};
  int ScaleBarBottom{};
  LogicalFont ScaleBarFont;
  double PageMarginLeft{};
  double PageMarginRight{};
  double PageMarginTop{};
  double PageMarginBottom{};
  std::string PictureType;        // ".JPG" or ".TIF"
  int ExportDpi{};
  double CentralMeridian{};
  bool UseKrassowsky{};           // Beijing 1954; otherwise coordinateSystemIndex's ellipsoid
  bool ThreeDegreeZones{};
  bool CoordsWithZone{};
  bool GeographicInput{};
  int FrameMode{};                // 1 standard sheets, 2 polygon features

  // Written by the commands themselves rather than copied from a control.
  int coordinateSystemIndex = 0;    // 0 CGCS2000, 1 Xian 1980, 2 Beijing 1954, 3 WGS84
  bool isStandardSheetMode = false;
};

// The settings a new user runs with: the same as FrameSettings{}, named for the callers
// that start from the untouched windows.
inline FrameSettings DialogDefaultSettings() { return FrameSettings{}; }

// The assembly's conversions of control texts and values.
// Scale denominator text to ScaleFactor; text that is no positive number counts as 10000.
double ScaleFactorOfText(std::string_view scaleText);
// The first "[" and then the first "]" removed, once each.
std::string FieldNameOfText(std::string_view fieldText);
// Sets GridLabelOffset and GridLabelOffsetMm from the dialog value, 0 standing for 5.
void SetGridLabelOffset(FrameSettings& settings, int dialogValue);

// Settings by name, for the command line and settings files. Names are the member names
// above (the setting table's names), letter case ignored; the two command values
// coordinateSystemIndex and isStandardSheetMode are reachable too. Value texts:
//   numbers  decimal, surrounding blanks ignored; item indexes, steps and the scale are
//            checked against their range so a run never divides by zero or loops forever
//   flags    1/0, true/false, 是/否
//   texts    as given; "\n" or "<Br>" starts a new line (stored as "\r\n"), "\\" is one "\"
//   fonts    face,size[,bold][,italic][,#RRGGBB], for example "宋体,10" or "黑体,12.5,bold,#FF0000":
//            size in points (decimals allowed), colour as red-green-blue, "，" accepted for ",".
//            Other font fields take their defaults. Printed back in the same form: a whole
//            size when that gives the same pixel height, else the exact decimal (22 px is
//            16.5); black and system colours print no colour.
// A refused value leaves the settings unchanged and, when error is given, puts the
// reason there.
bool SetFrameSetting(FrameSettings& settings, const std::string& name, const std::string& value,
                     std::string* error);
std::optional<std::string> GetFrameSetting(const FrameSettings& settings, const std::string& name);
std::vector<std::string> FrameSettingNames();

// The font texts of the table, also for other readers of settings.
std::string FontToText(const LogicalFont& font);
std::optional<LogicalFont> FontFromText(std::string_view text);

}  // namespace framora
