#pragma once

#include <QString>
#include <QUrl>

#include <optional>
#include <string>

#include "util/user_interface.h"

class QDialog;
class QWidget;

namespace framora {

// Every modal box and chooser of the windows goes through here, so tests drive the windows
// without a modal loop and the helpers below stay plain functions.
class DesktopDialogs {
 public:
  virtual ~DesktopDialogs() = default;

  struct SaveChoice {
    std::string path;
    int filterIndex = 0;  // which entry of the filter the user had chosen, from 0
  };

  // Filters are in Qt's form ("a (*.x);;b (*.y)"). Nothing when the user cancels.
  virtual std::optional<std::string> openFile(QWidget* parent, const QString& filter, const std::string& preset) = 0;
  virtual std::optional<SaveChoice> saveFile(QWidget* parent, const QString& filter, const std::string& preset) = 0;
  virtual std::optional<std::string> folder(QWidget* parent, const QString& title, const std::string& start) = 0;

  // OK and Cancel, question icon, Cancel the default; true only for OK.
  virtual bool askOkCancel(QWidget* parent, const std::string& text, const std::string& caption) = 0;
  // OK, 继续 and Cancel (the default) to an existing output.
  virtual ExistingOutputAnswer askExistingOutput(QWidget* parent, const std::string& text, const std::string& caption) {
    return askOkCancel(parent, text, caption) ? ExistingOutputAnswer::Delete : ExistingOutputAnswer::Keep;
  }
  // A plain message; the operation goes on.
  virtual void message(QWidget* parent, const std::string& text) = 0;
  // An error box with its own caption and the error icon.
  virtual void error(QWidget* parent, const std::string& caption, const std::string& text) = 0;
  // A dialog shown modally; its result.
  virtual int showModal(QDialog& dialog) = 0;
  // The desktop's default handler for a document.
  virtual bool openUrl(const QUrl& url) = 0;
};

// The real boxes and choosers of Qt.
class QtDesktopDialogs : public DesktopDialogs {
 public:
  std::optional<std::string> openFile(QWidget* parent, const QString& filter, const std::string& preset) override;
  std::optional<SaveChoice> saveFile(QWidget* parent, const QString& filter, const std::string& preset) override;
  std::optional<std::string> folder(QWidget* parent, const QString& title, const std::string& start) override;
  bool askOkCancel(QWidget* parent, const std::string& text, const std::string& caption) override;
  ExistingOutputAnswer askExistingOutput(QWidget* parent, const std::string& text, const std::string& caption) override;
  void message(QWidget* parent, const std::string& text) override;
  void error(QWidget* parent, const std::string& caption, const std::string& text) override;
  int showModal(QDialog& dialog) override;
  bool openUrl(const QUrl& url) override;
};

// A filter written the Windows way, "description|pattern|description|pattern", in Qt's form;
// a description that only repeats its pattern is left out.
QString QtFileFilter(const std::string& windowsFilter);

}  // namespace framora
