#include "app/gui/frm_tk_tool.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <set>

#include "app/gui/desktop_helpers.h"
#include "app/job/job_controls.h"
#include "geodesy/coord_system.h"
#include "geodesy/sheet_number.h"
#include "layout/map_text.h"
#include "util/framora_error.h"
#include "util/text.h"
#include "util/version.h"

namespace framora {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }
std::string StdText(const QString& text) { return text.toStdString(); }

// In place of the .mxd of the original: QGIS projects and the vector sources GDAL opens.
constexpr const char* kDocumentFilter =
    "地图文档|*.qgs;*.qgz|矢量数据|*.gpkg;*.shp;*.geojson;*.json;*.sqlite;*.gdbtable|所有文件|*";
// A file geodatabase or a GeoPackage, which stands in for the personal geodatabase.
constexpr const char* kOutputFilter = "*.gdb|*.gdb|*.gpkg|*.gpkg";

struct ScaleItem {
  const char* caption;
  int tag;
};
// 0 stands for the separator.
constexpr ScaleItem kScaleItems[] = {{"1:500", 500},       {"1:2000", 2000},     {"1:5000", 5000},
                                     {nullptr, 0},         {"1:1万", 10000},     {"1:2.5万", 25000},
                                     {"1:5万", 50000},     {"1:10万", 100000},   {"1:25万", 250000},
                                     {"1:50万", 500000}};

// Fields of the platform's own bookkeeping never name a sheet.
bool BookkeepingField(const std::string& upperName, bool annotation) {
  static const std::set<std::string> kShapeFields = {"SHAPE_LENGTH", "SHAPE_LENG", "SHAPE_AREA", "SHAPE"};
  static const std::set<std::string> kAnnotationFields = {"FEATUREID", "ELEMENT", "ANNOTATIONCLASSID", "ZORDER"};
  return kShapeFields.count(upperName) > 0 || (annotation && kAnnotationFields.count(upperName) > 0);
}

// A file picked inside a file geodatabase stands for the geodatabase.
std::string DataSourceOfChoice(const std::string& chosen) {
  const std::filesystem::path folder = std::filesystem::path(chosen).parent_path();
  return EndsWithText(folder.string(), ".gdb") ? folder.string() : chosen;
}

// The dialog opens a geodatabase folder like any other: whatever is named inside one (or
// inside a folder within it) stands for the outermost geodatabase, never a new one nested.
std::string GeodatabaseOfChoice(const std::string& chosen) {
  std::filesystem::path outermost;
  for (std::filesystem::path folder = std::filesystem::path(chosen).parent_path();
       !folder.empty() && folder != folder.parent_path(); folder = folder.parent_path())
    if (EndsWithText(folder.filename().string(), ".gdb")) outermost = folder;
  return outermost.empty() ? chosen : outermost.string();
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* Label(const char* caption, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setBuddy(buddy);
  return label;
}

// Re-enables the command's button on every way out.
class ButtonDisabled {
 public:
  ButtonDisabled(QPushButton& button, bool& running) : button_(button), running_(running) {
    button_.setEnabled(false);
    running_ = true;
  }
  ~ButtonDisabled() {
    button_.setEnabled(true);
    running_ = false;
  }
  ButtonDisabled(const ButtonDisabled&) = delete;
  ButtonDisabled& operator=(const ButtonDisabled&) = delete;

 private:
  QPushButton& button_;
  bool& running_;
};

}  // namespace

bool ScaleKeyAccepted(const QString& currentText, QChar key) {
  if (key.isDigit() && key.unicode() < 128) return true;
  if (key == QLatin1Char('\b')) return true;
  if (key == QLatin1Char('.')) return !currentText.contains(QLatin1Char('.'));
  return false;
}

TFrmTkTool::TFrmTkTool(DesktopDialogs& dialogs, const std::string& settingsPath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      ui_(dialogs, this),
      session_(settingsPath),
      settings_(DialogDefaultSettings()) {
  setObjectName(QStringLiteral("FrmTkTool"));
  QFont font(InstalledFace("宋体"));
  font.setPixelSize(12);
  setFont(font);
  buildControls();
  FormCreate();
  connectHandlers();
  // The file keeps the windows in the order they were made: this one, then the dialog.
  session_.addWindow(this);
  frmset_ = new TFrmset(ui_, &session_, this);
}

TFrmTkTool::~TFrmTkTool() = default;

void TFrmTkTool::buildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  rgtype = Named(new RadioGroup(QStringLiteral("选择创立图廓方式"), {QStringLiteral("标准图幅文件"), QStringLiteral("行政区划文件")},
                                2, this),
                 "rgtype");
  rgtype->setItemIndex(1);
  layout->addWidget(rgtype);

  gbFile = Named(new QGroupBox(QStringLiteral("选择MXD文件名"), this), "gbFile");
  {
    auto* grid = new QGridLayout(gbFile);
    edtmxd = Named(new QLineEdit(gbFile), "edtmxd");
    edtmxd->setMinimumWidth(340);
    btnfile = Named(new QPushButton(QStringLiteral("浏览"), gbFile), "btnfile");
    CBLayer = Named(new QComboBox(gbFile), "CBLayer");
    CBLayer->setEditable(true);
    CBLayer->setInsertPolicy(QComboBox::NoInsert);
    CbField = Named(new QComboBox(gbFile), "CbField");
    CbField->setEditable(true);
    CbField->setInsertPolicy(QComboBox::NoInsert);
    edtFileName = Named(new QLineEdit(gbFile), "edtFileName");
    reditwhere = Named(new QTextEdit(gbFile), "reditwhere");
    reditwhere->setAcceptRichText(false);
    reditwhere->setTabChangesFocus(true);
    reditwhere->setLineWrapMode(QTextEdit::NoWrap);
    reditwhere->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    reditwhere->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    reditwhere->document()->setDocumentMargin(2);
    reditwhere->setFixedHeight(edtFileName->sizeHint().height());

    grid->addWidget(edtmxd, 0, 0, 1, 4);
    grid->addWidget(btnfile, 0, 4);
    grid->addWidget(Label("图层:", CBLayer, gbFile), 1, 0);
    grid->addWidget(CBLayer, 1, 1);
    grid->addWidget(Label("字段:", CbField, gbFile), 1, 2);
    grid->addWidget(CbField, 1, 3, 1, 2);
    grid->addWidget(Label("数据目录名:", edtFileName, gbFile), 2, 0);
    grid->addWidget(edtFileName, 2, 1, 1, 4);
    grid->addWidget(Label("条件:", reditwhere, gbFile), 3, 0);
    grid->addWidget(reditwhere, 3, 1, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
  }
  gbFile->setVisible(false);
  layout->addWidget(gbFile);

  gbMapno = Named(new QGroupBox(QStringLiteral("图幅号"), this), "gbMapno");
  {
    auto* row = new QHBoxLayout(gbMapno);
    edtMapNO = Named(new QLineEdit(QStringLiteral("E45G095066"), gbMapno), "edtMapNO");
    row->addWidget(edtMapNO);
  }
  layout->addWidget(gbMapno);

  gb8054 = Named(new RadioGroup(QStringLiteral("坐标系統"),
                                {QStringLiteral("国家2000"), QStringLiteral("西安80"), QStringLiteral("北京54"),
                                 QStringLiteral("WGS84")},
                                4, this),
                 "gb8054");
  gb8054->setItemIndex(0);
  layout->addWidget(gb8054);

  {
    auto* row = new QHBoxLayout;
    rgisband = Named(new RadioGroup(QStringLiteral("坐标是否加带号"), {QStringLiteral("1、不加"), QStringLiteral("2、加")}, 2,
                                    this),
                     "rgisband");
    rgisband->setItemIndex(0);
    row->addWidget(rgisband);
    auto* zones = new QGroupBox(QStringLiteral("分度方法及中央经线"), this);
    auto* grid = new QGridLayout(zones);
    cbFdf = Named(new QComboBox(zones), "cbFdf");
    cbFdf->addItems({QStringLiteral("3度分带法"), QStringLiteral("6度分带法")});
    cbFdf->setCurrentIndex(0);
    centerL = Named(new QSpinBox(zones), "centerL");
    centerL->setRange(75, 135);
    centerL->setSingleStep(3);
    centerL->setValue(87);
    centerL->setProperty("Tag", 1);
    grid->addWidget(Label("分度方法:", cbFdf, zones), 0, 0);
    grid->addWidget(cbFdf, 0, 1, 1, 2);
    grid->addWidget(Label("中央经线:", centerL, zones), 1, 0);
    grid->addWidget(centerL, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("度"), zones), 1, 2);
    row->addWidget(zones, 1);
    layout->addLayout(row);
  }

  {
    auto* row = new QHBoxLayout;
    auto* scale = new QGroupBox(QStringLiteral("地图比例尺"), this);
    auto* scaleRow = new QHBoxLayout(scale);
    edtMapscale1 = Named(new QLineEdit(scale), "edtMapscale1");
    edtMapscale1->setToolTip(QStringLiteral("比例尺分母；右击可选常用比例尺"));
    // Digits come from the keys; an input method could slip anything else in.
    edtMapscale1->setAttribute(Qt::WA_InputMethodEnabled, false);
    // However text arrives (a middle-click paste, a drop), digits and one point only.
    edtMapscale1->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*\\.?[0-9]*")), edtMapscale1));
    edtMapscale1->setContextMenuPolicy(Qt::CustomContextMenu);
    scaleRow->addWidget(Label("1:", edtMapscale1, scale));
    scaleRow->addWidget(edtMapscale1, 1);
    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    for (const ScaleItem& item : kScaleItems) {
      if (item.caption == nullptr) {
        PopupMenu1->addSeparator();
        continue;
      }
      QAction* action = PopupMenu1->addAction(QString::fromUtf8(item.caption));
      action->setObjectName(QStringLiteral("N1%1").arg(item.tag));
      action->setProperty("Tag", item.tag);
    }
    row->addWidget(scale);
    rgjw = Named(new RadioGroup(QStringLiteral("坐标系统"),
                                {QStringLiteral("平面(XY)坐标"), QStringLiteral("大地(经纬度)坐标")}, 2, this),
                 "rgjw");
    rgjw->setItemIndex(0);
    row->addWidget(rgjw, 1);
    layout->addLayout(row);
  }

  {
    auto* box = new QGroupBox(QStringLiteral("输出图框文件(可以是GPKG,也可以是GDB)"), this);
    auto* row = new QHBoxLayout(box);
    edtoutFile = Named(new QLineEdit(box), "edtoutFile");
    edtoutFile->setToolTip(QStringLiteral("可以是gdb，也可以是gpkg"));
    btnout = Named(new QPushButton(QStringLiteral("浏览"), box), "btnout");
    row->addWidget(edtoutFile, 1);
    row->addWidget(btnout);
    layout->addWidget(box);
  }
  {
    auto* box = new QGroupBox(QStringLiteral("输出MXD和JPG路径"), this);
    auto* row = new QHBoxLayout(box);
    edtmxdPath = Named(new QLineEdit(box), "edtmxdPath");
    edtmxdPath->setToolTip(QStringLiteral("是个文件夹"));
    btnmxdjpg = Named(new QPushButton(QStringLiteral("浏览"), box), "btnmxdjpg");
    row->addWidget(edtmxdPath, 1);
    row->addWidget(btnmxdjpg);
    layout->addWidget(box);
  }
  {
    auto* box = new QGroupBox(QStringLiteral("导出图片格式和分辨率DPI"), this);
    auto* row = new QHBoxLayout(box);
    CBPICType = Named(new QComboBox(box), "CBPICType");
    CBPICType->setEditable(true);
    CBPICType->setInsertPolicy(QComboBox::NoInsert);
    CBPICType->addItems({QStringLiteral(".JPG"), QStringLiteral(".TIF")});
    CBPICType->setCurrentIndex(0);
    edtDPI = Named(new QLineEdit(QStringLiteral("96"), box), "edtDPI");
    edtDPI->setToolTip(QStringLiteral("一般为96，打印为300"));
    row->addWidget(Label("格式:", CBPICType, box));
    row->addWidget(CBPICType, 1);
    row->addSpacing(12);
    row->addWidget(Label("分辨率:", edtDPI, box));
    row->addWidget(edtDPI, 1);
    layout->addWidget(box);
  }
  {
    auto* row = new QHBoxLayout;
    Button1 = Named(new QPushButton(QStringLiteral("生成图廓"), this), "Button1");
    btnPrint = Named(new QPushButton(QStringLiteral("批量打印"), this), "btnPrint");
    btndown = Named(new QPushButton(QStringLiteral("设置"), this), "btndown");
    Button9 = Named(new QPushButton(QStringLiteral("帮助"), this), "Button9");
    Button10 = Named(new QPushButton(QStringLiteral("退出"), this), "Button10");
    for (QPushButton* button : {Button1, btnPrint, btndown, Button9, Button10}) {
      button->setAutoDefault(false);
      row->addWidget(button);
    }
    layout->addLayout(row);
  }
}

void TFrmTkTool::connectHandlers() {
  rgtype->setOnClick([this] { rgtypeClick(); });
  connect(btnfile, &QPushButton::clicked, this, [this] { btnfileClick(); });
  // A layer picked from the list, or a name typed and left.
  connect(CBLayer, &QComboBox::textActivated, this, [this] { CBLayerChange(); });
  connect(CBLayer->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    if (StdText(CBLayer->currentText()) != fieldsLayer_) CBLayerChange();
  });
  connect(CbField, &QComboBox::textActivated, this, [this] { CbFieldChange(); });
  // A name typed in full picks its item, so the settings file keeps what the box shows.
  for (QComboBox* combo : {CBLayer, CbField, CBPICType})
    connect(combo, &QComboBox::editTextChanged, this, [combo](const QString& text) {
      const int item = combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
      if (item >= 0 && item != combo->currentIndex()) combo->setCurrentIndex(item);
    });
  connect(btnout, &QPushButton::clicked, this, [this] { btnoutClick(); });
  connect(btnmxdjpg, &QPushButton::clicked, this, [this] { btnmxdjpgClick(); });
  edtMapNO->installEventFilter(this);
  edtMapscale1->installEventFilter(this);
  connect(edtMapscale1, &QLineEdit::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(edtMapscale1->mapToGlobal(at)); });
  connect(PopupMenu1, &QMenu::triggered, this, [this](QAction* item) { N15001Click(*item); });
  connect(btndown, &QPushButton::clicked, this, [this] { btndownClick(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
}

template <typename Handler>
void TFrmTkTool::guarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& failure) {
    ui_.showError(failure.what());
  }
}

void TFrmTkTool::FormCreate() {
  setWindowTitle(QStringLiteral("%1 V%2").arg(QString::fromUtf8(kApplicationTitle),
                                              Text(ProgramVersionText(dialogs_, this, kVersionText))));
  RightAlignTagged(this);
}

void TFrmTkTool::FormShow() {
  session_.load(ui_);
  rgtypeClick();
}

void TFrmTkTool::FormClose() { session_.save(ui_); }

void TFrmTkTool::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
  adjustSize();
  if (const QScreen* desktop = screen()) move(desktop->availableGeometry().center() - rect().center());
}

void TFrmTkTool::closeEvent(QCloseEvent* event) {
  // A run in progress finishes or is stopped first.
  if (running_) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TFrmTkTool::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edtMapNO && event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // A box or menu taking the focus for a moment is no leaving of the box.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) guarded([this] { edtMapNOExit(); });
  }
  if (watched == edtMapscale1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Like the original box, no pasting of anything but what the keys let through.
    if (key->matches(QKeySequence::Paste)) return true;
    const QString typed = key->text();
    if (typed.isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
        key->key() == Qt::Key_Delete)
      return false;
    const QChar character = typed.front();
    if (!character.isPrint() && character != QLatin1Char('\b')) return false;
    return !ScaleKeyAccepted(edtMapscale1->text(), character);
  }
  return QWidget::eventFilter(watched, event);
}

void TFrmTkTool::rgtypeClick() {
  const int mode = rgtype->itemIndex();
  gbFile->setVisible(mode >= 0);
  gbMapno->setVisible(mode == -1);
}

void TFrmTkTool::btnfileClick() {
  if (!ChooseFileToOpen(dialogs_, *edtmxd, kDocumentFilter)) return;
  edtmxd->setText(Text(DataSourceOfChoice(StdText(edtmxd->text()))));
  guarded([this] { loadDocument(StdText(edtmxd->text())); });
}

void TFrmTkTool::loadDocument(const std::string& path) {
  document_ = MapDocument::Open(path);
  if (document_->spatialReference().IsEmpty()) throw FramoraError("没有定义坐标系统");
  setCoordinateControls(document_->spatialReference());
  fillLayerList(*document_);
  // The fields of the layer now showing, not of whatever showed before.
  CBLayerChange();
}

const MapDocument& TFrmTkTool::documentOfEdit() {
  const std::string path = StdText(edtmxd->text());
  if (!document_ || document_->path() != path) document_ = MapDocument::Open(path);
  return *document_;
}

CoordinateChoices TFrmTkTool::coordinateChoices() const {
  CoordinateChoices choices;
  choices.geographic = rgjw->itemIndex() == 1;
  choices.coordinateSystemIndex = gb8054->itemIndex();
  choices.zoneInEasting = rgisband->itemIndex() == 1;
  choices.threeDegree = cbFdf->currentIndex() == 0;
  choices.centralMeridian = centerL->value();
  return choices;
}

void TFrmTkTool::showCoordinateChoices(const CoordinateChoices& choices) {
  rgjw->setItemIndex(choices.geographic ? 1 : 0);
  gb8054->setItemIndex(choices.coordinateSystemIndex);
  rgisband->setItemIndex(choices.zoneInEasting ? 1 : 0);
  cbFdf->setCurrentIndex(choices.threeDegree ? 0 : 1);
  centerL->setValue(static_cast<int>(choices.centralMeridian));
}

void TFrmTkTool::setCoordinateControls(const OGRSpatialReference& spatialReference) {
  const CoordSystemRecognition recognition = RecognizeCoordSystem(&spatialReference);
  if (!recognition.notice.empty()) ui_.message(recognition.notice);
  if (!recognition.guess) return;
  const CoordSystemGuess& guess = *recognition.guess;
  CoordinateChoices choices = coordinateChoices();
  try {
    ApplyCoordSystemGuess(guess, choices);
  } catch (const FramoraError&) {
    if (guess.Kind >= CoordSystemGuess::kGeographicWgs84) rgjw->setItemIndex(1);
    throw;
  }
  showCoordinateChoices(choices);
}

void TFrmTkTool::fillLayerList(const MapDocument& document) {
  CBLayer->clear();
  for (const MapLayer& layer : document.featureLayers()) CBLayer->addItem(Text(layer.name));
  if (CBLayer->count() > 0) CBLayer->setCurrentIndex(0);
}

void TFrmTkTool::CBLayerChange() {
  const std::string wanted = StdText(CBLayer->currentText());
  fieldsLayer_ = wanted;
  if (edtmxd->text().isEmpty() && !document_) return;
  guarded([&] {
    const MapLayer* layer = FindLayerByName(documentOfEdit(), wanted);
    if (layer == nullptr || !layer->isVector || layer->geometryType == wkbNone) return;
    OpenedLayer opened = MapDocument::OpenLayer(*layer);
    // The chosen layer's own coordinate system decides, whatever the rest of the map is in.
    if (const OGRSpatialReference* own = opened.layer->GetSpatialRef()) setCoordinateControls(*own);
    const bool annotation = opened.layer->GetLayerDefn()->GetFieldIndex("ANNOTATIONCLASSID") >= 0;
    QStringList fields;
    for (const std::string& name : FieldsNamingEveryFeature(*opened.layer)) {
      const std::string upper = ToUpperAscii(name);
      if (!BookkeepingField(upper, annotation)) fields << Text(upper);
    }
    CbField->clear();
    CbField->addItems(fields);
  });
}

void TFrmTkTool::CbFieldChange() {
  edtFileName->setText(
      Text(EditNameTemplate(StdText(edtFileName->text()), StdText(CbField->currentText()))));
}

void TFrmTkTool::btnoutClick() {
  if (!ChooseFileToSave(dialogs_, *edtoutFile, kOutputFilter, {"*.gdb", "*.gpkg"}, ".gdb")) return;
  edtoutFile->setText(QString::fromStdString(GeodatabaseOfChoice(edtoutFile->text().toStdString())));
}

void TFrmTkTool::btnmxdjpgClick() { ChooseFolder(dialogs_, *edtmxdPath); }

void TFrmTkTool::edtMapNOExit() {
  const std::string number = StdText(edtMapNO->text());
  if (number.empty()) throw FramoraError("图幅号不能空");
  double meridian = -1;
  try {
    meridian = SheetZoneMeridian(number);
  } catch (const FramoraError& wrong) {
    // A wrong number is told in a plain box; the box keeps the meridian it had.
    ui_.message(wrong.what());
  }
  if (meridian >= 0) centerL->setValue(static_cast<int>(meridian));
}

void TFrmTkTool::N15001Click(QAction& item) {
  edtMapscale1->setText(QString::number(item.property("Tag").toInt()));
}

void TFrmTkTool::btndownClick() { dialogs_.showModal(*frmset_); }

void TFrmTkTool::Button9Click() { ShellOpen(dialogs_, this, HelpFilePath(), "open"); }

void TFrmTkTool::Button10Click() { close(); }

void TFrmTkTool::Button1Click() { runCommand(FrameJobCommand::Generate, *Button1); }

void TFrmTkTool::btnPrintClick() { runCommand(FrameJobCommand::BatchPrint, *btnPrint); }

void TFrmTkTool::runCommand(FrameJobCommand command, QPushButton& sender) {
  if (running_) return;
  const FrameJobInputs inputs = FrameJobInputsFromControls(CaptureControlValues({this}));
  // A document loaded from another path than edtmxd now names is not the one to run on.
  const MapDocument* document =
      document_ && document_->path() == inputs.documentPath ? document_.get() : nullptr;
  const ButtonDisabled disabled(sender, running_);
  guarded([&] {
    AssembleFrameSettings(CaptureControlValues(session_.windows()), settings_);
    RunFrameJob(command, inputs, settings_, ui_, document);
  });
}

}  // namespace framora
