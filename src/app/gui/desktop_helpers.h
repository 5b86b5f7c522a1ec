#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/gui/desktop_dialogs.h"

class QLineEdit;
class QWidget;

namespace framora {

// Open chooser preset with the edit's text; on OK the chosen path goes into the edit.
// filter is written the Windows way ("description|pattern|...").
bool ChooseFileToOpen(DesktopDialogs& dialogs, QLineEdit& edit, const std::string& filter);

// Save chooser preset with the edit's text. On OK the chosen name takes the extension that
// belongs to the chosen filter (extensions[filter index], "*" removed) in place of its own,
// and, should it then have none, defaultExtension; the result goes into the edit.
bool ChooseFileToSave(DesktopDialogs& dialogs, QLineEdit& edit, const std::string& filter,
                      const std::vector<std::string>& extensions, const std::string& defaultExtension);

// Folder chooser "选择文件路径", starting at the folder part of the edit's text; on OK the
// chosen folder with a trailing separator goes into the edit.
bool ChooseFolder(DesktopDialogs& dialogs, QLineEdit& edit);

// The name with its extension (from the last "." of the name, not of the folders) replaced.
std::string ChangeFileExtension(std::string_view path, std::string_view extension);
// The extension of the name, with its ".", or empty.
std::string FileExtension(std::string_view path);
// Everything up to and including the last separator.
std::string FolderPart(std::string_view path);

// Opens the file with the desktop's handler. Returns above 32 on success; otherwise an
// error box "打开文件<file>" says why (2 no such file, 3 no such folder, 31 nothing opens it).
int ShellOpen(DesktopDialogs& dialogs, QWidget* parent, const std::string& file, const std::string& verb = "open");

// The version up to and including the first character after its first ".": 2.1.0.0 gives
// 2.1, 10.2.1 gives 10.2, a version without "." its first character.
std::string ShortVersionText(std::string_view fileVersion);
// The program's short version; an empty version is reported in an error box and gives "".
std::string ProgramVersionText(DesktopDialogs& dialogs, QWidget* parent, std::string_view fileVersion);

// Every edit and spin box of the window with the property "Tag" 1 shows its text at the
// right edge.
void RightAlignTagged(QWidget* window);

// The help beside the program: the executable's path with ".html".
std::string HelpFilePath();

// Qt's own boxes and choosers in Chinese, when the translations are installed.
bool InstallChineseQtTranslations();

}  // namespace framora
