#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/desktop_dialogs.h"

namespace framora::testing {

// Ends the application object when the tests end, while Qt's plugins are still loaded:
// icons a file chooser cached would otherwise be freed after their engine is gone.
class WidgetApplicationEnvironment : public ::testing::Environment {
 public:
  explicit WidgetApplicationEnvironment(QApplication* application) : application_(application) {}
  void TearDown() override { delete application_; }

 private:
  QApplication* application_;
};

// Widgets need an application object; one lives for the whole test program.
inline void EnsureWidgetApplication() {
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "framora_tests_app";
  static char* argv[] = {name, nullptr};
  ::testing::AddGlobalTestEnvironment(new WidgetApplicationEnvironment(new QApplication(argc, argv)));
}

// Answers every box and chooser as told and keeps what it was asked, so no modal loop runs.
class RecordingDialogs : public DesktopDialogs {
 public:
  std::optional<std::string> openAnswer;
  QString openFilter;
  std::string openPreset;
  std::optional<SaveChoice> saveAnswer;
  QString saveFilter;
  std::string savePreset;
  std::optional<std::string> folderAnswer;
  QString folderTitle;
  std::string folderStart;
  bool answerOk = false;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::vector<std::string> errors;
  std::vector<std::string> errorCaptions;
  std::vector<QUrl> opened;
  bool openSucceeds = true;
  int modalShown = 0;
  // Runs inside a modal dialog, as the user would act there.
  std::function<void(QDialog&)> insideModal;

  std::optional<std::string> openFile(QWidget*, const QString& filter, const std::string& preset) override {
    openFilter = filter;
    openPreset = preset;
    return openAnswer;
  }
  std::optional<SaveChoice> saveFile(QWidget*, const QString& filter, const std::string& preset) override {
    saveFilter = filter;
    savePreset = preset;
    return saveAnswer;
  }
  std::optional<std::string> folder(QWidget*, const QString& title, const std::string& start) override {
    folderTitle = title;
    folderStart = start;
    return folderAnswer;
  }
  bool askOkCancel(QWidget*, const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answerOk;
  }
  void message(QWidget*, const std::string& text) override { messages.push_back(text); }
  void error(QWidget*, const std::string& caption, const std::string& text) override {
    errorCaptions.push_back(caption);
    errors.push_back(text);
  }
  int showModal(QDialog& dialog) override {
    ++modalShown;
    dialog.show();
    if (insideModal) insideModal(dialog);
    dialog.accept();
    return QDialog::Accepted;
  }
  bool openUrl(const QUrl& url) override {
    opened.push_back(url);
    return openSucceeds;
  }
};

}  // namespace framora::testing
