#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include "settings/control_values.h"
#include "settings/settings_file.h"
#include "util/user_interface.h"

namespace framora {

// The windows' side of the settings file: controls are found by object name and kept by
// their kind (edit "Text", memo "lines", rich edit "Lines", combo box "items", radio group
// "itemindex", check box and menu item "checked", spin edit "Value"); font buttons are the
// buttons whose dynamic property "Tag" is 89.

// The objects a window's block covers, in creation order: everything a top-level window
// holds (Qt's own inner parts aside), or the direct child widgets of any other widget.
std::vector<QObject*> BlockComponents(QWidget* window);

// The block of one window as the file keeps it.
WindowBlock CaptureWindowBlock(QWidget* window);

// The live state of the windows by control name, for the run assembly: like a saved and
// read file, except that a combo box keeps text typed into it.
ControlValues CaptureControlValues(const std::vector<QWidget*>& windows);

// Applies the records of a file to the windows of the same names, as it reads them.
class TVeskGetSet : public SettingsRecordSink {
 public:
  explicit TVeskGetSet(std::vector<QWidget*> windows) : windows_(std::move(windows)) {}

  bool beginWindow(const std::string& window) override;
  void componentRecord(const ComponentRecord& record) override;
  bool fontButton(const std::string& button) override;
  void buttonFont(const std::string& button, const LogicalFont& font) override;

 private:
  QObject* component(const std::string& name) const;

  std::vector<QWidget*> windows_;
  std::map<std::string, QObject*, NameLess> components_;  // of the window being read
};

// Creates the file and writes the blocks of the windows; throws FramoraError when the file
// cannot be created or written.
class TVeskAppSaveSet {
 public:
  TVeskAppSaveSet(const std::string& path, const std::vector<QWidget*>& windows);
};

// Applies the file, if there is one, to the windows; throws FramoraError for a damaged
// file, keeping what was applied before.
class TVeskAppGetSet {
 public:
  TVeskAppGetSet(const std::string& path, const std::vector<QWidget*>& windows);
};

// The windows whose state the settings file keeps, in the order they were created, and the
// file they are kept in.
class SettingsSession {
 public:
  explicit SettingsSession(std::string path = SettingsFilePath()) : path_(std::move(path)) {}

  void addWindow(QWidget* window) { windows_.emplace_back(window); }
  std::vector<QWidget*> windows() const;
  const std::string& path() const { return path_; }

  // Both show a failure through ui and return false.
  bool save(UserInterface& ui) const;
  bool load(UserInterface& ui) const;

 private:
  std::string path_;
  std::vector<QPointer<QWidget>> windows_;
};

}  // namespace framora
