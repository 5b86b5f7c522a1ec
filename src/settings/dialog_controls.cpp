#include "settings/dialog_controls.h"

#include <algorithm>
#include <stdexcept>

#include "frame/setting_table.h"
#include "util/text.h"

namespace framora {
namespace {

constexpr const char* kTopMargin = "边距(距离外廓上边,单位0.1毫米):";
constexpr const char* kBottomMargin = "边距(距离外廓下边,单位0.1毫米):";
constexpr const char* kTenthMm = "0.1毫米";

// What the control shows at first: its setting's default.
ControlReading Shown(const std::string& name) {
  const FrameSettingRow* row = FindFrameSettingOfControl(name);
  if (row == nullptr) throw std::logic_error("no frame setting is fed by the dialog's control " + name);
  return DefaultControlReading(*row);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

DialogControl Base(DialogControlKind kind, std::string name, std::string label,
                   std::vector<std::string> texts = {}) {
  DialogControl control;
  control.kind = kind;
  control.name = std::move(name);
  control.label = std::move(label);
  control.texts = std::move(texts);
  return control;
}

DialogControl Spin(std::string name, std::string label, std::string unit = "", int minimum = INT_MIN,
                   int maximum = INT_MAX, int tag = kRightAlignTag) {
  DialogControl control = Base(DialogControlKind::SpinEdit, name, std::move(label));
  control.value = Shown(name).number.value();
  control.minimum = minimum;
  control.maximum = maximum;
  control.unit = std::move(unit);
  control.tag = tag;
  return control;
}

// The digit counts and the ranged boxes below keep their text on the left.
DialogControl LeftSpin(std::string name, std::string label, std::string unit = "", int minimum = INT_MIN,
                       int maximum = INT_MAX) {
  return Spin(std::move(name), std::move(label), std::move(unit), minimum, maximum, 0);
}

DialogControl Edit(std::string name, std::string label, std::string hint = "") {
  DialogControl control = Base(DialogControlKind::Edit, name, std::move(label), {Shown(name).text.value()});
  control.hint = std::move(hint);
  return control;
}

DialogControl Memo(std::string name, std::string label) {
  return Base(DialogControlKind::Memo, name, std::move(label), SplitLines(Shown(name).text.value()));
}

DialogControl Radio(std::string name, std::string caption, std::vector<std::string> items, int columns) {
  DialogControl control = Base(DialogControlKind::RadioGroup, name, std::move(caption), std::move(items));
  control.value = Shown(name).number.value();
  control.columns = columns;
  return control;
}

// A check box that feeds no setting: its default is its own.
DialogControl UnlistedCheck(std::string name, std::string caption, bool checked) {
  DialogControl control = Base(DialogControlKind::CheckBox, std::move(name), std::move(caption));
  control.value = checked ? 1 : 0;
  return control;
}

DialogControl Check(std::string name, std::string caption) {
  const bool checked = Shown(name).checked.value();
  return UnlistedCheck(std::move(name), std::move(caption), checked);
}

DialogControl Font(std::string name, std::string label = "") {
  DialogControl control = Base(DialogControlKind::FontButton, name, std::move(label));
  control.tag = kFontButtonTag;
  control.font = Shown(name).font.value();
  return control;
}

// Captions, limits and layout; the values shown at first are the settings' defaults.
std::vector<DialogControl> MakeDialogControls() {
  const std::vector<std::string> labelSteps = {"00  10  20", "05  15  25"};
  return {
      // 基本信息
      Edit("edtmian", "内容:"),
      Spin("seMain", kTopMargin),
      Font("btntlitle1"),
      Edit("edtmian1", "内容:"),
      Spin("semian1", kTopMargin),
      Font("btntlitle2"),
      Edit("edtmian2", "内容:"),
      Spin("semian2", kTopMargin),
      Font("btntlitle3"),
      Edit("edtscale", "内容:"),
      Spin("sescale", "边距((距离外廓下边,单位0.1毫米):"),
      Font("btntscale"),
      // 四周标注
      Memo("morb", "内容:"),
      Spin("serb", kBottomMargin),
      Font("btnrightdown"),
      Edit("edtrightbottom", "居中内容", "主要用于多行文字最后的部分居中处理"),
      Edit("edtru", "内容:"),
      Spin("seru", kTopMargin),
      Font("btnRightUp"),
      Edit("edtmapTitle", "标题内容："),
      Spin("seMapTitleTop", kTopMargin),
      Spin("semapTitler", "边距(距离外廓右边,单位0.1毫米):"),
      Font("btnmapTitle"),
      Edit("edtleft", "内容:"),
      Spin("seleft", "边距(距离外廓左边,单位0.1毫米):"),
      Font("btnleft"),
      Memo("molb", "内容:"),
      Spin("selb", kBottomMargin),
      Font("btnleftdown"),
      // 图廓信息
      Spin("sentod", "", kTenthMm),
      Spin("senw", "", kTenthMm),
      Spin("seoutw", "外框宽度:", kTenthMm),
      Radio("Rg4JAnn", "", {"不标注", "标注经纬度"}, 2),
      Font("btn4j"),
      Radio("rgdmsmode", "标注方式", {"度分秒", "度分", "XY"}, 3),
      Radio("rgwdalignmode", "纬度的度,表示方式", {"紧靠内廓", "居中"}, 2),
      LeftSpin("seForenum", "千分前位数:"),
      LeftSpin("seafternum", "千分后位数:"),
      // 网格信息
      Radio("rgGrid", "网格类型", {"无网格", "公里网", "十字丝", "经纬网", "经纬十字丝"}, 3),
      Spin("Seinterval", "间隔:", "米"),
      LeftSpin("seannforenum", "千分前位数:"),
      LeftSpin("seannafternum", "千分后位数:"),
      Spin("SeLineLength", "线的长度:", "米"),
      Radio("rgHor", "水平标注方式", labelSteps, 2),
      Radio("rgver", "垂直标注方式", labelSteps, 2),
      Check("Chkiskmann", "标注公里数文字"),
      Check("chkSetDa", "为00重新设置大数"),
      Font("btnDFont", "大数字体:"),
      Font("btnXFont", "小数字体:"),
      Radio("RGBKZJMode", "位置", {"靠外框", "靠内框", "自定义"}, 3),
      LeftSpin("edtBKZJDIS", "", "", 0, 100),
      Spin("seJd", "经度差:", "秒"),
      Spin("sewd", "纬度差:", "秒"),
      Radio("RGJWWZJ", "标注方式", {"度分秒", "度分"}, 2),
      Spin("sejwcrosslen", "经纬十字丝长度", "秒"),
      Radio("RGYaSet", "压白设置", {"从内图廓", "从图形本身", "不设置"}, 3),
      LeftSpin("seYaDIS", "延伸距离(0.1毫米):", "", 0, 1000000),
      // 接合图表信息
      Spin("SeX", "X:", "", -200, 200),
      Spin("SeY", "Y:", "", 0, 300),
      Spin("SEW", "宽度:", "", 0, 1000),
      Spin("SeH", "高度:", "", -100, 1000),
      Font("btnjionMap"),
      Edit("edtField", ""),
      // 比例尺条
      Check("chkscaleBarShow", "标注比例尺条"),
      Spin("seScaleBarlen", "长度:", kTenthMm, 0, 10000),
      Spin("sescalebarkd", "刻度最大长度：", kTenthMm, 0, 100),
      Spin("seScaleBarHeight", "距离外廓下边", kTenthMm, 0, 1000),
      Font("btnscalebarFont"),
      // 页边距设置
      LeftSpin("SeTopMage", "上边距:", kTenthMm, 0, 3000),
      LeftSpin("SeBottomMage", "下边距:", kTenthMm, 0, 3000),
      LeftSpin("SeLeftMage", "左边距:", kTenthMm, 0, 3000),
      LeftSpin("SeRightMage", "右边距:", kTenthMm, 0, 3000),
  };
}

}  // namespace

const std::vector<DialogControl>& DialogControls() {
  static const std::vector<DialogControl> controls = MakeDialogControls();
  return controls;
}

const DialogControl* FindDialogControl(std::string_view name) {
  for (const auto& control : DialogControls())
    if (EqualsIgnoringCase(control.name, name)) return &control;
  return nullptr;
}

int KeepWithinControl(std::string_view name, int value) {
  // The main window's controls that hold an index or a bounded number, as it builds them.
  static const std::vector<DialogControl> mainWindow = {
      Radio("rgtype", "", {"标准图幅文件", "行政区划文件"}, 2),
      Radio("gb8054", "", {"国家2000", "西安80", "北京54", "WGS84"}, 4),
      Radio("rgisband", "", {"1、不加", "2、加"}, 2),
      Radio("rgjw", "", {"平面(XY)坐标", "大地(经纬度)坐标"}, 2),
      Spin("centerL", "", "", 75, 135),
  };
  const DialogControl* control = FindDialogControl(name);
  if (control == nullptr) {
    const auto found = std::find_if(mainWindow.begin(), mainWindow.end(),
                                    [&](const DialogControl& candidate) { return EqualsIgnoringCase(candidate.name, name); });
    if (found == mainWindow.end()) return value;
    control = &*found;
  }
  if (control->kind == DialogControlKind::SpinEdit) return std::clamp(value, control->minimum, control->maximum);
  if (control->kind == DialogControlKind::RadioGroup)
    return std::clamp(value, -1, static_cast<int>(control->texts.size()) - 1);
  return value;
}

}  // namespace framora
