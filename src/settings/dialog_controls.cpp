#include "settings/dialog_controls.h"

#include <algorithm>

#include "util/text.h"

namespace framora {
namespace {

constexpr const char* kTopMargin = "边距(距离外廓上边,单位0.1毫米):";
constexpr const char* kBottomMargin = "边距(距离外廓下边,单位0.1毫米):";
constexpr const char* kTenthMm = "0.1毫米";
constexpr const char* kSampleTitle = "某某市土地利用现状图";
constexpr const char* kSpacedSampleTitle = "某 某 市 土 地 利 用 现 状 图";
constexpr const char* kSampleOrganisation = "某某市国土资源局";

DialogControl Base(DialogControlKind kind, std::string name, std::string label,
                   std::vector<std::string> texts = {}) {
  DialogControl control;
  control.kind = kind;
  control.name = std::move(name);
  control.label = std::move(label);
  control.texts = std::move(texts);
  return control;
}

DialogControl Spin(std::string name, std::string label, int value, std::string unit = "", int minimum = INT_MIN,
                   int maximum = INT_MAX, int tag = kRightAlignTag) {
  DialogControl control = Base(DialogControlKind::SpinEdit, std::move(name), std::move(label));
  control.value = value;
  control.minimum = minimum;
  control.maximum = maximum;
  control.unit = std::move(unit);
  control.tag = tag;
  return control;
}

// The digit counts and the ranged boxes below keep their text on the left.
DialogControl LeftSpin(std::string name, std::string label, int value, std::string unit = "", int minimum = INT_MIN,
                       int maximum = INT_MAX) {
  return Spin(std::move(name), std::move(label), value, std::move(unit), minimum, maximum, 0);
}

DialogControl Edit(std::string name, std::string label, std::string text, std::string hint = "") {
  DialogControl control = Base(DialogControlKind::Edit, std::move(name), std::move(label), {std::move(text)});
  control.hint = std::move(hint);
  return control;
}

DialogControl Memo(std::string name, std::string label, std::vector<std::string> lines) {
  return Base(DialogControlKind::Memo, std::move(name), std::move(label), std::move(lines));
}

DialogControl Radio(std::string name, std::string caption, std::vector<std::string> items, int item,
                    int columns) {
  DialogControl control = Base(DialogControlKind::RadioGroup, std::move(name), std::move(caption), std::move(items));
  control.value = item;
  control.columns = columns;
  return control;
}

DialogControl Check(std::string name, std::string caption, bool checked) {
  DialogControl control = Base(DialogControlKind::CheckBox, std::move(name), std::move(caption));
  control.value = checked ? 1 : 0;
  return control;
}

DialogControl Font(std::string name, int pixels, std::string label = "", std::string face = "宋体") {
  DialogControl control = Base(DialogControlKind::FontButton, std::move(name), std::move(label));
  control.tag = kFontButtonTag;
  control.font.faceName = std::move(face);
  control.font.height = -pixels;
  return control;
}

std::vector<DialogControl> MakeDialogControls() {
  const std::vector<std::string> labelSteps = {"00  10  20", "05  15  25"};
  return {
      // 基本信息
      Edit("edtmian", "内容:", kSpacedSampleTitle),
      Spin("seMain", kTopMargin, 180),
      Font("btntlitle1", 67),
      Edit("edtmian1", "内容:", ""),
      Spin("semian1", kTopMargin, 80),
      Font("btntlitle2", 37),
      Edit("edtmian2", "内容:", ""),
      Spin("semian2", kTopMargin, 20),
      Font("btntlitle3", 11, "", "MS Sans Serif"),
      Edit("edtscale", "内容:", "比例尺1:[scale]"),
      Spin("sescale", "边距((距离外廓下边,单位0.1毫米):", 50),
      Font("btntscale", 20),
      // 四周标注
      Memo("morb", "内容:", {kSampleOrganisation, "YYYY年MM月DD日    "}),
      Spin("serb", kBottomMargin, 30),
      Font("btnrightdown", 16),
      Edit("edtrightbottom", "居中内容", "", "主要用于多行文字最后的部分居中处理"),
      Edit("edtru", "内容:", "秘密"),
      Spin("seru", kTopMargin, 25),
      Font("btnRightUp", 13),
      Edit("edtmapTitle", "标题内容：", kSampleTitle),
      Spin("seMapTitleTop", kTopMargin, 25),
      Spin("semapTitler", "边距(距离外廓右边,单位0.1毫米):", 80),
      Font("btnmapTitle", 13),
      Edit("edtleft", "内容:", kSampleOrganisation),
      Spin("seleft", "边距(距离外廓左边,单位0.1毫米):", 30),
      Font("btnleft", 15),
      Memo("molb", "内容:",
           {"采用2003年11月SPOT2.5米全色数据及10米多光谱影像融合数据。", "2009年7月制作。", "1954年北京坐标系。",
            "1956年黄海高程系。", "yyyy年mm月dd日"}),
      Spin("selb", kBottomMargin, 30),
      Font("btnleftdown", 13),
      // 图廓信息
      Spin("sentod", "", 160, kTenthMm),
      Spin("senw", "", 80, kTenthMm),
      Spin("seoutw", "外框宽度:", 0, kTenthMm),
      Radio("Rg4JAnn", "", {"不标注", "标注经纬度"}, 1, 2),
      Font("btn4j", 8),
      Radio("rgdmsmode", "标注方式", {"度分秒", "度分", "XY"}, 0, 3),
      Radio("rgwdalignmode", "纬度的度,表示方式", {"紧靠内廓", "居中"}, 1, 2),
      LeftSpin("seForenum", "千分前位数:", 2),
      LeftSpin("seafternum", "千分后位数:", 2),
      // 网格信息
      Radio("rgGrid", "网格类型", {"无网格", "公里网", "十字丝", "经纬网", "经纬十字丝"}, 1, 3),
      Spin("Seinterval", "间隔:", 1000, "米"),
      LeftSpin("seannforenum", "千分前位数:", 2),
      LeftSpin("seannafternum", "千分后位数:", 2),
      Spin("SeLineLength", "线的长度:", 50, "米"),
      Radio("rgHor", "水平标注方式", labelSteps, 0, 2),
      Radio("rgver", "垂直标注方式", labelSteps, 0, 2),
      Check("Chkiskmann", "标注公里数文字", true),
      Check("chkSetDa", "为00重新设置大数", true),
      Font("btnDFont", 8, "大数字体:"),
      Font("btnXFont", 8, "小数字体:"),
      Radio("RGBKZJMode", "位置", {"靠外框", "靠内框", "自定义"}, 1, 3),
      LeftSpin("edtBKZJDIS", "", 5, "", 0, 100),
      Spin("seJd", "经度差:", 225, "秒"),
      Spin("sewd", "纬度差:", 150, "秒"),
      Radio("RGJWWZJ", "标注方式", {"度分秒", "度分"}, 1, 2),
      Spin("sejwcrosslen", "经纬十字丝长度", 10, "秒"),
      Radio("RGYaSet", "压白设置", {"从内图廓", "从图形本身", "不设置"}, 0, 3),
      LeftSpin("seYaDIS", "延伸距离(0.1毫米):", 200, "", 0, 1000000),
      // 接合图表信息
      Spin("SeX", "X:", 0, "", -200, 200),
      Spin("SeY", "Y:", 20, "", 0, 300),
      Spin("SEW", "宽度:", 130, "", 0, 1000),
      Spin("SeH", "高度:", 70, "", -100, 1000),
      Font("btnjionMap", 11),
      Edit("edtField", "", ""),
      // 比例尺条
      Check("chkscaleBarShow", "标注比例尺条", false),
      Spin("seScaleBarlen", "长度:", 1000, kTenthMm, 0, 10000),
      Spin("sescalebarkd", "刻度最大长度：", 20, kTenthMm, 0, 100),
      Spin("seScaleBarHeight", "距离外廓下边", 180, kTenthMm, 0, 1000),
      Font("btnscalebarFont", 11),
      // 页边距设置
      LeftSpin("SeTopMage", "上边距:", 400, kTenthMm, 0, 3000),
      LeftSpin("SeBottomMage", "下边距:", 400, kTenthMm, 0, 3000),
      LeftSpin("SeLeftMage", "左边距:", 500, kTenthMm, 0, 3000),
      LeftSpin("SeRightMage", "右边距:", 500, kTenthMm, 0, 3000),
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
  const DialogControl* control = FindDialogControl(name);
  if (control == nullptr) return value;
  if (control->kind == DialogControlKind::SpinEdit) return std::clamp(value, control->minimum, control->maximum);
  if (control->kind == DialogControlKind::RadioGroup)
    return std::clamp(value, -1, static_cast<int>(control->texts.size()) - 1);
  return value;
}

}  // namespace framora
