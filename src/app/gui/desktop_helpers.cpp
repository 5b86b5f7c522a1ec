#include "app/gui/desktop_helpers.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QTranslator>
#include <QWidget>

#include <filesystem>

#include "util/text.h"

namespace framora {
namespace {

namespace fs = std::filesystem;

constexpr int kRightAlignTag = 1;

// The shell's result codes that have a text of their own.
constexpr int kShellOpened = 42;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kNoAssociation = 31;

std::string::size_type NameStart(std::string_view path) {
  const auto separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

std::string::size_type ExtensionStart(std::string_view path) {
  const auto dot = path.rfind('.');
  return dot == std::string_view::npos || dot < NameStart(path) ? path.size() : dot;
}

std::string ShellErrorText(int result) {
  switch (result) {
    case 0: return "操作系统内存资源不足！";
    case kFileNotFound: return "文件找不到！";
    case kPathNotFound: return "路径找不到！";
    case 11: return "文件执行格式错误，不能打开！";
    case 27: return "文件名错误！";
    default: return "文件运行错误！";
  }
}

}  // namespace

std::string ChangeFileExtension(std::string_view path, std::string_view extension) {
  return std::string(path.substr(0, ExtensionStart(path))) + std::string(extension);
}

std::string FileExtension(std::string_view path) { return std::string(path.substr(ExtensionStart(path))); }

std::string FolderPart(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

bool ChooseFileToOpen(DesktopDialogs& dialogs, QLineEdit& edit, const std::string& filter) {
  const auto chosen = dialogs.openFile(edit.window(), QtFileFilter(filter), edit.text().toStdString());
  if (!chosen) return false;
  edit.setText(QString::fromStdString(*chosen));
  return true;
}

bool ChooseFileToSave(DesktopDialogs& dialogs, QLineEdit& edit, const std::string& filter,
                      const std::vector<std::string>& extensions, const std::string& defaultExtension) {
  const auto chosen = dialogs.saveFile(edit.window(), QtFileFilter(filter), edit.text().toStdString());
  if (!chosen) return false;
  std::string path = chosen->path;
  if (chosen->filterIndex >= 0 && chosen->filterIndex < static_cast<int>(extensions.size()))
    path = ChangeFileExtension(path, ReplaceAll(extensions[chosen->filterIndex], "*", ""));
  if (!defaultExtension.empty() && FileExtension(path).empty()) path = ChangeFileExtension(path, defaultExtension);
  edit.setText(QString::fromStdString(path));
  return true;
}

bool ChooseFolder(DesktopDialogs& dialogs, QLineEdit& edit) {
  const auto chosen =
      dialogs.folder(edit.window(), QStringLiteral("选择文件路径"), FolderPart(edit.text().toStdString()));
  if (!chosen) return false;
  std::string folder = *chosen;
  if (folder.empty() || folder.back() != '/') folder += '/';
  edit.setText(QString::fromStdString(folder));
  return true;
}

int ShellOpen(DesktopDialogs& dialogs, QWidget* parent, const std::string& file, const std::string& verb) {
  (void)verb;  // the desktop knows only "open"
  std::error_code error;
  int result = kShellOpened;
  if (!fs::is_directory(fs::path(file).parent_path(), error) && fs::path(file).has_parent_path())
    result = kPathNotFound;
  else if (!fs::exists(file, error))
    result = kFileNotFound;
  else if (!dialogs.openUrl(QUrl::fromLocalFile(QString::fromStdString(file))))
    result = kNoAssociation;
  if (result <= 32) dialogs.error(parent, "打开文件" + file, ShellErrorText(result));
  return result;
}

std::string ShortVersionText(std::string_view fileVersion) {
  const auto dot = fileVersion.find('.');
  const std::size_t length = dot == std::string_view::npos ? 1 : dot + 2;
  return std::string(fileVersion.substr(0, length));
}

std::string ProgramVersionText(DesktopDialogs& dialogs, QWidget* parent, std::string_view fileVersion) {
  if (fileVersion.empty()) {
    dialogs.error(parent, "错误", "获取产品信息时遇到致命错误，请尝试重新启动软件。\n若仍未能解决问题，请联系产品服务人员。");
    return "";
  }
  return ShortVersionText(fileVersion);
}

void RightAlignTagged(QWidget* window) {
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (widget->property("Tag").toInt() != kRightAlignTag) continue;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
}

std::string HelpFilePath() {
  return ChangeFileExtension(QCoreApplication::applicationFilePath().toStdString(), ".html");
}

bool InstallChineseQtTranslations() {
  static QTranslator translator;
  if (!translator.isEmpty()) return true;
  if (!translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  return QCoreApplication::installTranslator(&translator);
}

}  // namespace framora
