#include "app/gui/widget_user_interface.h"

#include <QApplication>

#include "app/gui/progress_window.h"

namespace framora {

void WidgetUserInterface::startProgress(int total, const std::string& caption, bool withCancel) {
  StartProgress(total, caption, withCancel, dialogs_, owner_);
}

bool WidgetUserInterface::stepProgress(int count) { return StepProgress(count); }

void WidgetUserInterface::endProgress(bool force) { EndProgress(force); }

bool WidgetUserInterface::stopRequested() {
  // Between the bands of a long picture the window keeps answering, and "取消" is heard.
  if (CurrentProgressWindow() != nullptr) QApplication::processEvents();
  return ProgressCancelled();
}

}  // namespace framora
