#include "settings/frmset.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <initializer_list>
#include <iterator>

#include "frame/frame_settings.h"
#include "settings/dialog_controls.h"

namespace framora {
namespace {

constexpr const char* kLineTooLong = "十字丝的长度，不能大于间隔";
constexpr const char* kFieldCorrected = "这里是字段名,不支持嵌套,自动更新了";

QString Text(const std::string& text) { return QString::fromStdString(text); }

QWidget* MakeControl(const DialogControl& definition, QWidget* parent) {
  QWidget* control = nullptr;
  switch (definition.kind) {
    case DialogControlKind::Edit: {
      auto* edit = new QLineEdit(Text(definition.texts.front()), parent);
      edit->setMinimumWidth(260);
      control = edit;
      break;
    }
    case DialogControlKind::Memo: {
      auto* memo = new QPlainTextEdit(parent);
      QStringList lines;
      for (const auto& line : definition.texts) lines << Text(line);
      memo->setPlainText(lines.join(QLatin1Char('\n')));
      memo->setMinimumWidth(260);
      memo->setFixedHeight(memo->fontMetrics().lineSpacing() * (static_cast<int>(definition.texts.size()) + 4));
      control = memo;
      break;
    }
    case DialogControlKind::SpinEdit: {
      auto* spin = new QSpinBox(parent);
      spin->setRange(definition.minimum, definition.maximum);
      spin->setValue(definition.value);
      spin->setMinimumWidth(90);
      control = spin;
      break;
    }
    case DialogControlKind::RadioGroup: {
      QStringList items;
      for (const auto& item : definition.texts) items << Text(item);
      auto* group = new RadioGroup(Text(definition.label), items, definition.columns, parent);
      group->setItemIndex(definition.value);
      control = group;
      break;
    }
    case DialogControlKind::CheckBox: {
      auto* check = new QCheckBox(Text(definition.label), parent);
      check->setChecked(definition.value != 0);
      control = check;
      break;
    }
    case DialogControlKind::FontButton:
      control = new FontButton(QStringLiteral("字体"), definition.font, parent);
      break;
  }
  control->setObjectName(Text(definition.name));
  if (definition.tag != 0) control->setProperty("Tag", definition.tag);
  if (!definition.hint.empty()) control->setToolTip(Text(definition.hint));
  return control;
}

// A row of a box: a control of the table by name, or a widget made beforehand.
struct Row {
  Row(const char* controlName) : name(controlName) {}
  Row(QWidget* made) : widget(made) {}
  const char* name = nullptr;
  QWidget* widget = nullptr;
};

// Lays each control out as label, then the control with its unit; radio groups, check boxes
// and boxes made beforehand take the whole row.
void AddRows(QWidget* box, std::initializer_list<Row> rows) {
  auto* grid = new QGridLayout(box);
  grid->setColumnStretch(1, 1);
  int line = 0;
  for (const Row& row : rows) {
    if (row.widget != nullptr) {
      row.widget->setParent(box);
      grid->addWidget(row.widget, line++, 0, 1, 2);
      continue;
    }
    const DialogControl& definition = *FindDialogControl(row.name);
    QWidget* control = MakeControl(definition, box);
    if (definition.kind == DialogControlKind::RadioGroup || definition.kind == DialogControlKind::CheckBox) {
      grid->addWidget(control, line++, 0, 1, 2);
      continue;
    }
    if (!definition.label.empty()) grid->addWidget(new QLabel(Text(definition.label), box), line, 0);
    if (definition.kind == DialogControlKind::Edit || definition.kind == DialogControlKind::Memo) {
      grid->addWidget(control, line++, 1);
      continue;
    }
    auto* field = new QHBoxLayout;
    field->addWidget(control);
    if (!definition.unit.empty()) field->addWidget(new QLabel(Text(definition.unit), box));
    field->addStretch(1);
    grid->addLayout(field, line++, 1);
  }
}

QGroupBox* Group(const QString& caption, std::initializer_list<Row> rows, const char* name = nullptr) {
  auto* group = new QGroupBox(caption);
  if (name != nullptr) group->setObjectName(QString::fromLatin1(name));
  AddRows(group, rows);
  return group;
}

QFrame* Panel(const char* name, std::initializer_list<Row> rows) {
  auto* panel = new QFrame;
  panel->setObjectName(QString::fromLatin1(name));
  AddRows(panel, rows);
  panel->layout()->setContentsMargins(0, 0, 0, 0);
  return panel;
}

// A tab: its outer box (when it has a caption) with the groups in columns, top to bottom.
QWidget* Page(const QString& caption, std::initializer_list<std::initializer_list<QWidget*>> columns) {
  auto* page = new QWidget;
  auto* pageLayout = new QVBoxLayout(page);
  QWidget* holder = page;
  if (!caption.isEmpty()) {
    holder = new QGroupBox(caption, page);
    pageLayout->addWidget(holder);
  }
  auto* grid = new QGridLayout;
  int column = 0;
  for (const auto& groups : columns) {
    auto* stack = new QVBoxLayout;
    for (QWidget* group : groups) stack->addWidget(group);
    stack->addStretch(1);
    grid->addLayout(stack, 0, column++);
  }
  if (holder == page)
    pageLayout->addLayout(grid);
  else
    holder->setLayout(grid);
  pageLayout->addStretch(1);
  return page;
}

}  // namespace

TFrmset::TFrmset(UserInterface& ui, SettingsSession* session, QWidget* parent)
    : QDialog(parent), ui_(ui), session_(session), chooseFont_(ChooseFontInDialog) {
  setObjectName(QStringLiteral("Frmset"));
  setWindowTitle(QStringLiteral("参数设置(距离单位为0.1毫米)"));
  buildPages();
  // The groups start as the default choices show them.
  Rg4JAnnClick();
  rgdmsmodeClick();
  rgGridClick();
  SeintervalChange();
  RGBKZJModeClick();
  pageControl_->setCurrentIndex(kGridTab);
  connectHandlers();
  if (session_ != nullptr) session_->addWindow(this);
}

void TFrmset::buildPages() {
  pageControl_ = new QTabWidget(this);
  pageControl_->setObjectName(QStringLiteral("PageControl1"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pageControl_);

  pageControl_->addTab(
      Page(QStringLiteral("基本信息"),
           {{Group(QStringLiteral("主标题"), {"edtmian", "seMain", "btntlitle1"}),
             Group(QStringLiteral("副标题1"), {"edtmian1", "semian1", "btntlitle2"}),
             Group(QStringLiteral("副标题2"), {"edtmian2", "semian2", "btntlitle3"}),
             Group(QStringLiteral("地图下边中部"), {"edtscale", "sescale", "btntscale"})}}),
      QStringLiteral("基本信息"));

  pageControl_->addTab(
      Page(QStringLiteral("四周标注信息"),
           {{Group(QStringLiteral("右下角"), {"morb", "serb", "btnrightdown", "edtrightbottom"}),
             Group(QStringLiteral("左边单位信息"), {"edtleft", "seleft", "btnleft"})},
            {Group(QStringLiteral("右上角"),
                   {"edtru", "seru", "btnRightUp", "edtmapTitle", "seMapTitleTop", "semapTitler", "btnmapTitle"}),
             Group(QStringLiteral("左下角"), {"molb", "selb", "btnleftdown"})}}),
      QStringLiteral("四周标注"));

  pageControl_->addTab(
      Page(QStringLiteral("图廓信息"),
           {{Group(QStringLiteral("内廓与地图间距"), {"sentod"}),
             Group(QStringLiteral("内外图廓距离"), {"senw", "seoutw"}),
             Group(QStringLiteral("位数设置"), {"seForenum", "seafternum"}, "gbnum")},
            {Group(QStringLiteral("四角标注"), {"Rg4JAnn", "btn4j", "rgdmsmode", "rgwdalignmode"})}}),
      QStringLiteral("图廓信息"));

  QGroupBox* customDistance = Group(QStringLiteral("距离外框的距离（0.1毫米)"), {"edtBKZJDIS"}, "GroupBox22");
  pageControl_->addTab(
      Page(QStringLiteral("网格信息"),
           {{Panel("", {"rgGrid"}), Panel("pnlkm", {"Seinterval"}),
             Group(QStringLiteral("位数设置"), {"seannforenum", "seannafternum"}, "gbmaxscale"),
             Panel("pnlLinelength", {"SeLineLength"}), Panel("", {"rgHor", "rgver", "Chkiskmann", "chkSetDa"})},
            {Group(QStringLiteral("网格标注字体大小设置"), {"btnDFont", "btnXFont", "RGBKZJMode", customDistance},
                   "gbdxfont"),
             Group(QStringLiteral("经纬差"), {"seJd", "sewd", "RGJWWZJ"}, "gbjw"), Panel("pnljwcross", {"sejwcrosslen"}),
             Panel("", {"RGYaSet", "seYaDIS"})}}),
      QStringLiteral("网格信息"));

  pageControl_->addTab(
      Page(QStringLiteral("结合图表"),
           {{Group(QStringLiteral("相对内图廓左上角的位置(单位0.1毫米)"), {"SeX", "SeY"}),
             Group(QStringLiteral("大小尺寸(单位0.1毫米)"), {"SEW", "SeH"})},
            {Group(QStringLiteral("标注字体大小设置"), {"btnjionMap"}),
             Group(QStringLiteral("图名对应字段名"), {"edtField"}, "gbField")}}),
      QStringLiteral("接合图表信息"));

  pageControl_->addTab(
      Page(QString(), {{Group(QStringLiteral("是否标注比例尺条"), {"chkscaleBarShow"}),
                        Group(QStringLiteral("比例尺条参数"), {"seScaleBarlen", "sescalebarkd", "seScaleBarHeight"}),
                        Group(QStringLiteral("标注字体大小设置"), {"btnscalebarFont"})}}),
      QStringLiteral("比例尺条"));

  pageControl_->addTab(
      Page(QString(), {{Panel("", {"SeTopMage", "SeBottomMage", "SeLeftMage", "SeRightMage"})}}),
      QStringLiteral("页边距设置"));
}

void TFrmset::connectHandlers() {
  control<RadioGroup>("Rg4JAnn")->setOnClick([this] { Rg4JAnnClick(); });
  control<RadioGroup>("rgdmsmode")->setOnClick([this] { rgdmsmodeClick(); });
  control<RadioGroup>("rgGrid")->setOnClick([this] { rgGridClick(); });
  control<RadioGroup>("RGBKZJMode")->setOnClick([this] { RGBKZJModeClick(); });
  connect(control<QSpinBox>("Seinterval"), &QSpinBox::valueChanged, this, [this] { SeintervalChange(); });
  for (FontButton* button : findChildren<FontButton*>())
    connect(button, &QPushButton::clicked, this, [this, button] { btnleftdownClick(*button); });
  connect(pageControl_, &QTabWidget::currentChanged, this, [this](int index) { tabChanged(index); });
}

int TFrmset::itemIndexOf(const char* radioGroup) const { return control<RadioGroup>(radioGroup)->itemIndex(); }

void TFrmset::setShown(const char* name, bool visible) {
  findChild<QWidget*>(QString::fromLatin1(name))->setVisible(visible);
}

void TFrmset::FormShow() {
  for (QWidget* widget : findChildren<QWidget*>()) {
    if (widget->property("Tag").toInt() != kRightAlignTag) continue;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
}

void TFrmset::FormClose() {
  if (session_ != nullptr) session_->save(ui_);
}

void TFrmset::btnleftdownClick(FontButton& button) {
  if (const auto chosen = chooseFont_(button.logicalFont(), this)) button.setLogicalFont(*chosen);
}

void TFrmset::Rg4JAnnClick() { setShown("btn4j", itemIndexOf("Rg4JAnn") == 1); }

void TFrmset::rgdmsmodeClick() {
  const int mode = itemIndexOf("rgdmsmode");
  setShown("rgwdalignmode", mode == 0);
  setShown("gbnum", mode == 2);
}

void TFrmset::rgGridClick() {
  struct Shown {
    bool graticuleSteps, gridFonts, lineLength, interval, graticuleCross;
  };
  static constexpr Shown kByGridType[] = {
      {false, false, false, false, false},  // 无网格
      {false, true, false, true, false},    // 公里网
      {false, true, true, true, false},     // 十字丝
      {true, true, false, false, false},    // 经纬网
      {true, true, false, false, true},     // 经纬十字丝
  };
  const int type = itemIndexOf("rgGrid");
  if (type < 0 || type >= static_cast<int>(std::size(kByGridType))) return;
  const Shown& shown = kByGridType[type];
  setShown("gbjw", shown.graticuleSteps);
  setShown("gbdxfont", shown.gridFonts);
  setShown("pnlLinelength", shown.lineLength);
  setShown("pnlkm", shown.interval);
  setShown("pnljwcross", shown.graticuleCross);
}

void TFrmset::SeintervalChange() {
  const bool wholeKilometres = control<QSpinBox>("Seinterval")->value() >= 1000;
  setShown("rgHor", wholeKilometres);
  setShown("rgver", wholeKilometres);
  setShown("gbmaxscale", !wholeKilometres);
}

void TFrmset::RGBKZJModeClick() { setShown("GroupBox22", itemIndexOf("RGBKZJMode") == 2); }

std::optional<std::string> TFrmset::refusalToLeave(int leavingTab) {
  if (leavingTab == kGridTab && !control<QWidget>("pnlLinelength")->isHidden() &&
      control<QSpinBox>("SeLineLength")->value() > control<QSpinBox>("Seinterval")->value())
    return kLineTooLong;
  if (leavingTab == kJoinTableTab) {
    auto* field = control<QLineEdit>("edtField");
    if (field->text().contains(QLatin1Char('['))) {
      field->setText(Text(FieldNameOfText(field->text().toStdString())));
      return kFieldCorrected;
    }
  }
  return std::nullopt;
}

bool TFrmset::PageControl1Changing(int leavingTab) {
  const auto refusal = refusalToLeave(leavingTab);
  if (refusal) ui_.message(*refusal);
  return !refusal;
}

void TFrmset::tabChanged(int index) {
  if (returningToTab_) return;
  const int leaving = currentTab_;
  const auto refusal = leaving != index ? refusalToLeave(leaving) : std::nullopt;
  if (refusal) {
    // The tab bar has already moved; put the user back before saying why.
    returningToTab_ = true;
    pageControl_->setCurrentIndex(leaving);
    returningToTab_ = false;
    ui_.message(*refusal);
    return;
  }
  currentTab_ = index;
}

void TFrmset::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TFrmset::done(int result) {
  QDialog::done(result);
  FormClose();
}

}  // namespace framora
