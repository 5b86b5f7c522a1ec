// framora: the windows program.
#include <QApplication>

#include <clocale>

#include "app/gui/desktop_dialogs.h"
#include "app/gui/desktop_helpers.h"
#include "app/gui/frm_tk_tool.h"
#include "app/gui/platform_binding.h"
#include "app/gui/widget_user_interface.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Numbers in files and settings are read and written the C way.
  std::setlocale(LC_NUMERIC, "C");
  framora::InstallChineseQtTranslations();

  framora::QtDesktopDialogs dialogs;
  framora::WidgetUserInterface startUi(dialogs, nullptr);
  framora::BindGisPlatform(startUi);

  QApplication::setApplicationName(QStringLiteral("framora"));
  // No display name: Qt would add it to every window's caption.

  framora::TFrmTkTool window(dialogs);
  window.show();
  return QApplication::exec();
}
