#pragma once

#include <QDialog>
#include <QTabWidget>

#include <functional>
#include <optional>
#include <string>

#include "settings/font_button.h"
#include "settings/radio_group.h"
#include "settings/window_settings.h"
#include "util/logical_font.h"
#include "util/user_interface.h"

namespace framora {

// The settings dialog "参数设置(距离单位为0.1毫米)": texts, fonts, frame distances, grid,
// labels, mask, adjoining-sheet table, scale bar and page margins. Every control carries
// its name as object name; font buttons carry the dynamic property "Tag" 89, spin edits
// whose text is right-aligned "Tag" 1.
class TFrmset : public QDialog {
 public:
  // Tabs of PageControl1.
  static constexpr int kBasicTab = 0;
  static constexpr int kSideNotesTab = 1;
  static constexpr int kFrameTab = 2;
  static constexpr int kGridTab = 3;
  static constexpr int kJoinTableTab = 4;
  static constexpr int kScaleBarTab = 5;
  static constexpr int kPageMarginTab = 6;

  // Asks for a font, preset with the current one; nothing when the user cancels.
  using FontChooser = std::function<std::optional<LogicalFont>(const LogicalFont& current, QWidget* parent)>;

  // Messages go to ui. With a session the dialog joins its windows, and closing the dialog
  // saves the session's settings file.
  explicit TFrmset(UserInterface& ui, SettingsSession* session = nullptr, QWidget* parent = nullptr);

  void setFontChooser(FontChooser chooser) { chooseFont_ = std::move(chooser); }

  QTabWidget* pageControl() const { return pageControl_; }
  template <typename Control>
  Control* control(const char* name) const {
    return findChild<Control*>(QString::fromLatin1(name));
  }

  // The handlers of the dialog.
  void FormShow();
  void FormClose();
  void btnleftdownClick(FontButton& button);
  void Rg4JAnnClick();
  void rgdmsmodeClick();
  void rgGridClick();
  void SeintervalChange();
  void RGBKZJModeClick();
  // The checks on leaving a tab; false, after a message, when the user has to stay.
  bool PageControl1Changing(int leavingTab);

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void buildPages();
  void connectHandlers();
  // The message that keeps the user on the tab, if any; may correct edtField.
  std::optional<std::string> refusalToLeave(int leavingTab);
  void tabChanged(int index);
  int itemIndexOf(const char* radioGroup) const;
  void setShown(const char* name, bool visible);

  UserInterface& ui_;
  SettingsSession* session_;
  FontChooser chooseFont_;
  QTabWidget* pageControl_ = nullptr;
  int currentTab_ = kGridTab;
  bool returningToTab_ = false;
};

}  // namespace framora
