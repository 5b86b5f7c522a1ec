#include "layout/gui_application.h"

#include <QGuiApplication>

#include "util/framora_error.h"

namespace framora {

void RequireGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    throw FramoraError("没有图形环境，不能绘制页面");
}

void DrawOffscreenUnlessAsked() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace framora
