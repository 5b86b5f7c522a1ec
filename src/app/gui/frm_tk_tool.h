#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QWidget>

#include <memory>
#include <string>

#include "app/driver/frame_job.h"
#include "app/gui/desktop_dialogs.h"
#include "app/gui/widget_user_interface.h"
#include "frame/frame_settings.h"
#include "gis/map_document.h"
#include "settings/frmset.h"
#include "settings/radio_group.h"
#include "settings/settings_file.h"
#include "settings/window_settings.h"

namespace framora {

// The application's title; the main window's caption adds " V" and the short version.
inline constexpr const char* kApplicationTitle = "Framora For ArcGIS10";

// Whether a character typed into the scale box goes in: digits, backspace, and one ".".
bool ScaleKeyAccepted(const QString& currentText, QChar key);

// The main window: the inputs of a run, its two commands "生成图廓" and "批量打印", and the
// settings dialog, created once. Controls carry their names as object names; the state of
// both windows persists in the settings file (loaded when first shown, saved on closing).
class TFrmTkTool : public QWidget {
 public:
  // Boxes and choosers go through dialogs.
  explicit TFrmTkTool(DesktopDialogs& dialogs, const std::string& settingsPath = SettingsFilePath(),
                      QWidget* parent = nullptr);
  ~TFrmTkTool() override;

  template <typename Control>
  Control* control(const char* name) const {
    return findChild<Control*>(QString::fromLatin1(name));
  }
  TFrmset& settingsDialog() { return *frmset_; }
  SettingsSession& session() { return session_; }
  WidgetUserInterface& ui() { return ui_; }
  // The run settings the commands fill and the builders read; they outlive every run.
  const FrameSettings& frameSettings() const { return settings_; }
  // The document last loaded, if any.
  const MapDocument* document() const { return document_.get(); }
  QMenu* scaleMenu() const { return PopupMenu1; }

  // The handlers of the window.
  void FormCreate();
  void FormShow();
  void FormClose();
  void rgtypeClick();
  void btnfileClick();
  void CBLayerChange();
  void CbFieldChange();
  void btnoutClick();
  void btnmxdjpgClick();
  void edtMapNOExit();
  void N15001Click(QAction& item);
  void btndownClick();
  void Button9Click();
  void Button10Click();
  void Button1Click();
  void btnPrintClick();

  // What the document chooser does after OK: loads the document, sets the coordinate
  // controls from its coordinate system and lists its feature layers. Throws FramoraError.
  void loadDocument(const std::string& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void connectHandlers();
  void runCommand(FrameJobCommand command, QPushButton& sender);
  // Runs a handler; a failure goes to the application's error box.
  template <typename Handler>
  void guarded(Handler&& handler);
  // The loaded document when it is the one edtmxd names; otherwise edtmxd's is loaded.
  const MapDocument& documentOfEdit();
  CoordinateChoices coordinateChoices() const;
  void showCoordinateChoices(const CoordinateChoices& choices);
  void setCoordinateControls(const OGRSpatialReference& spatialReference);
  void fillLayerList(const MapDocument& document);

  DesktopDialogs& dialogs_;
  WidgetUserInterface ui_;
  SettingsSession session_;
  FrameSettings settings_;
  std::unique_ptr<MapDocument> document_;
  std::string fieldsLayer_;  // the layer CbField was last filled from
  bool shown_ = false;
  bool running_ = false;

  RadioGroup* rgtype = nullptr;
  QGroupBox* gbFile = nullptr;
  QLineEdit* edtmxd = nullptr;
  QPushButton* btnfile = nullptr;
  QComboBox* CBLayer = nullptr;
  QComboBox* CbField = nullptr;
  QLineEdit* edtFileName = nullptr;
  QTextEdit* reditwhere = nullptr;
  QGroupBox* gbMapno = nullptr;
  QLineEdit* edtMapNO = nullptr;
  RadioGroup* gb8054 = nullptr;
  RadioGroup* rgisband = nullptr;
  QComboBox* cbFdf = nullptr;
  QSpinBox* centerL = nullptr;
  QLineEdit* edtMapscale1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  RadioGroup* rgjw = nullptr;
  QLineEdit* edtoutFile = nullptr;
  QPushButton* btnout = nullptr;
  QLineEdit* edtmxdPath = nullptr;
  QPushButton* btnmxdjpg = nullptr;
  QComboBox* CBPICType = nullptr;
  QLineEdit* edtDPI = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* btnPrint = nullptr;
  QPushButton* btndown = nullptr;
  QPushButton* Button9 = nullptr;
  QPushButton* Button10 = nullptr;
  TFrmset* frmset_ = nullptr;
};

}  // namespace framora
