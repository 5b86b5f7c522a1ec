#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/logical_font.h"

namespace framora {

// The run settings: every value of the main window and the settings dialog that a frame
// job reads. Distances from the dialog are in 0.1 mm of paper unless noted; member
// initialisers are the values held before the first run.
struct FrameSettings {
  double ScaleFactor = 1.0;         // ground metres per 0.1 mm; scale denominator / 10000
  int MapToInnerGap = 160;
  int InnerToOuterGap = 80;
  int OuterLineWidth = 0;
  int GridInterval = 1000;          // metres
  double CrossLineLength = 50;      // metres
  int GridType = 0;                 // 0 none, 1 km grid, 2 crosses, 3 graticule, 4 graticule crosses
  LogicalFont GridBigFont;
  LogicalFont GridSmallFont;
  int HorLabelMode = 0;             // 0 "00 10 20", 1 "05 15 25"
  int VerLabelMode = 0;
  bool ShowKmText = false;
  int LatDegreeAlign = 0;           // 0 close to the inner frame, 1 centred
  int CornerDigitsBefore = 0;
  int CornerDigitsAfter = 0;
  int GridDigitsBefore = 0;
  int GridDigitsAfter = 0;
  int CornerLabelMode = 0;          // 0 d-m-s, 1 d-m, 2 XY
  bool CornerLatLonOn = false;
  LogicalFont CornerFont;
  int GraticuleLabelMode = 0;       // 0 d-m-s, 1 d-m
  double LatStep = 0;               // degrees
  double LonStep = 0;               // degrees
  double GraticuleCrossLen = 0;     // degrees
  int GridLabelPlace = 0;           // 0 by the outer frame, 1 by the inner frame, 2 custom
  int GridLabelOffset = 1;
  int GridLabelOffsetMm = 1;        // millimetres
  int MaskMode = 0;                 // 0 from the inner frame, 1 from the shape, 2 none
  double MaskDistance = 0;
  std::string MainTitle;
  LogicalFont MainTitleFont;
  double MainTitleTop = 0;
  std::string SubTitle1;
  LogicalFont SubTitle1Font;
  double SubTitle1Top = 0;
  std::string SubTitle2;
  LogicalFont SubTitle2Font;
  double SubTitle2Top = 0;
  std::string ScaleText;
  LogicalFont ScaleTextFont;
  double ScaleTextBottom = 0;
  std::string LowerRightText;       // lines joined with "\r\n"
  LogicalFont LowerRightFont;
  double LowerRightBottom = 0;
  std::string LowerRightCentredTail;
  std::string UpperRightText;
  LogicalFont UpperRightFont;
  double UpperRightTop = 0;
  std::string SideTitle;
  LogicalFont SideTitleFont;
  double SideTitleTop = 0;
  double SideTitleRight = 0;
  std::string LeftText;
  LogicalFont LeftTextFont;
  double LeftTextDist = 0;
  std::string LowerLeftText;        // lines joined with "\r\n"
  LogicalFont LowerLeftFont;
  double LowerLeftBottom = 0;
  std::string TitleField;
  double JoinTableX = 0;
  double JoinTableY = 0;
  double JoinTableWidth = 0;
  double JoinTableHeight = 0;
  LogicalFont JoinTableFont;
  bool ScaleBarOn = false;
  int ScaleBarLength = 1000;
  int ScaleBarTickLength = 20;
  int ScaleBarBottom = 100;
  LogicalFont ScaleBarFont;
  double PageMarginLeft = 50;       // millimetres
  double PageMarginRight = 50;
  double PageMarginTop = 40;
  double PageMarginBottom = 40;
  std::string PictureType;          // ".JPG" or ".TIF"
  int ExportDpi = 0;
  double CentralMeridian = 102;     // degrees
  bool UseKrassowsky = false;       // Beijing 1954; otherwise the IAG 1975 constants
  bool ThreeDegreeZones = false;
  bool CoordsWithZone = false;
  bool GeographicInput = false;
  int FrameMode = 0;                // 1 standard sheets, 2 polygon features

  // Written by the commands themselves rather than copied from a control.
  int coordinateSystemIndex = 0;    // 0 CGCS2000, 1 Xian 1980, 2 Beijing 1954, 3 WGS84
  bool isStandardSheetMode = false;
};

// The settings a new user runs with: what the assembly makes of the untouched controls of
// the main window and the settings dialog (the driver's ExportDpi from edtDPI's "96" included).
FrameSettings DialogDefaultSettings();

// The assembly's conversions, shared with the defaults above.
// Scale denominator text to ScaleFactor; text that is no positive number counts as 10000.
double ScaleFactorOfText(std::string_view scaleText);
// The first "[" and then the first "]" removed, once each.
std::string FieldNameOfText(std::string_view fieldText);
// Sets GridLabelOffset and GridLabelOffsetMm from the dialog value, 0 standing for 5.
void SetGridLabelOffset(FrameSettings& settings, int dialogValue);

// Settings by name, for the command line and settings files. Names are the member names
// above, letter case ignored; the two command values coordinateSystemIndex and
// isStandardSheetMode are reachable too. Value texts:
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
