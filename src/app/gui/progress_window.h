#pragma once

#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <string>
#include <vector>

#include "app/gui/desktop_dialogs.h"

namespace framora {

// The progress window "进度" of long runs: one bar per level and, when asked for, "取消".
// There is at most one; StartProgress, StepProgress and EndProgress below create, drive and
// free it. The window keeps the run responsive: every step processes the pending events,
// which is where a click on "取消" is handled.
class TMyProgress : public QWidget {
 public:
  static constexpr int kClientWidth = 326;
  static constexpr int kTop = 200;

  TMyProgress(int bars, bool withCancel, DesktopDialogs& dialogs, QWidget* owner);

  QProgressBar* bar(int index) const { return bars_.at(index); }
  int barCount() const { return static_cast<int>(bars_.size()); }
  // Nothing when the run was started without it.
  QPushButton* cancelButton() const { return cancelButton_; }

  // "取消": asks "你确定终止吗"; OK stops the run at its next step.
  void btnCancelClick();

 protected:
  // No close box: only "取消" or the end of the run closes it.
  void closeEvent(QCloseEvent* event) override;

 private:
  DesktopDialogs& dialogs_;
  std::vector<QProgressBar*> bars_;
  QPushButton* cancelButton_ = nullptr;
};

// Opens the window (replacing one left open) with caption as its title, total steps and the
// position at 0. Questions go through dialogs; owner keeps the window above the main window.
void StartProgress(int total, const std::string& caption, bool withCancel, DesktopDialogs& dialogs,
                   QWidget* owner = nullptr);
// Advances by count and processes pending events; true once the user has confirmed a stop
// (the window closes then). The window closes by itself when the position reaches the
// total exactly.
bool StepProgress(int count);
// Closes the window.
void EndProgress(bool force);

// For whoever watches a run: the window while there is one, and the stop flag.
TMyProgress* CurrentProgressWindow();
bool ProgressCancelled();

}  // namespace framora
