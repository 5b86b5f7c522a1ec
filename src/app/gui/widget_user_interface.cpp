#include "app/gui/widget_user_interface.h"

#include "app/gui/progress_window.h"

namespace framora {

void WidgetUserInterface::startProgress(int total, const std::string& caption, bool withCancel) {
  StartProgress(total, caption, withCancel, dialogs_, owner_);
}

bool WidgetUserInterface::stepProgress(int count) { return StepProgress(count); }

void WidgetUserInterface::endProgress(bool force) { EndProgress(force); }

}  // namespace framora
