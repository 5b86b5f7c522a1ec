#pragma once

#include <QPointer>
#include <QWidget>

#include "app/gui/desktop_dialogs.h"
#include "util/user_interface.h"

namespace framora {

// The windows' side of the seam: messages and questions in boxes over the owner, progress
// in the progress window.
class WidgetUserInterface : public UserInterface {
 public:
  WidgetUserInterface(DesktopDialogs& dialogs, QWidget* owner) : dialogs_(dialogs), owner_(owner) {}

  void message(const std::string& text) override { dialogs_.message(owner_, text); }
  bool askOkCancel(const std::string& text, const std::string& caption) override {
    return dialogs_.askOkCancel(owner_, text, caption);
  }
  ExistingOutputAnswer askExistingOutput(const std::string& text, const std::string& caption) override {
    return dialogs_.askExistingOutput(owner_, text, caption);
  }
  void startProgress(int total, const std::string& caption, bool withCancel) override;
  bool stepProgress(int count) override;
  bool stopRequested() override;
  void endProgress(bool force) override;

  // The application's error box for a failure that ended an operation.
  void showError(const std::string& text) { dialogs_.error(owner_, "", text); }
  DesktopDialogs& dialogs() { return dialogs_; }

 private:
  DesktopDialogs& dialogs_;
  QPointer<QWidget> owner_;
};

}  // namespace framora
