#include "layout/gui_application.h"

#include <QGuiApplication>

#include <memory>

#include "util/framora_error.h"

namespace framora {

void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
      throw FramoraError("没有图形环境，不能绘制页面");
    return;
  }
  // A batch run prints without a screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "framora";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; Qt objects made from it must not outlive it.
  static std::unique_ptr<QGuiApplication> application = std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace framora
