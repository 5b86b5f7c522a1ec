#include "settings/window_settings.h"

#include <filesystem>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextEdit>


#include "settings/dialog_controls.h"
#include "settings/font_button.h"
#include "settings/radio_group.h"
#include "util/framora_error.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {
namespace {

enum class Kept { Nothing, RichLines, ComboItems, MemoLines, Text, ItemIndex, Checked, Value };

Kept KeptAs(const QObject* object) {
  if (qobject_cast<const QTextEdit*>(object)) return Kept::RichLines;
  if (qobject_cast<const QComboBox*>(object)) return Kept::ComboItems;
  if (qobject_cast<const QPlainTextEdit*>(object)) return Kept::MemoLines;
  if (qobject_cast<const QLineEdit*>(object)) return Kept::Text;
  if (dynamic_cast<const RadioGroup*>(object)) return Kept::ItemIndex;
  if (qobject_cast<const QCheckBox*>(object) || qobject_cast<const QRadioButton*>(object) ||
      qobject_cast<const QAction*>(object))
    return Kept::Checked;
  if (qobject_cast<const QSpinBox*>(object)) return Kept::Value;
  return Kept::Nothing;
}

// Qt names the parts it makes inside its widgets; they are no controls of ours.
bool QtInnerPart(const QString& name) {
  return name.startsWith(QStringLiteral("qt_")) || name.startsWith(QStringLiteral("_q_"));
}

// Children in creation order; a stacked widget raises its current page to the end of its
// children, so its pages go by their index instead, whichever page is showing.
QObjectList ChildrenInOrder(const QObject* parent) {
  const auto* stack = qobject_cast<const QStackedWidget*>(parent);
  if (stack == nullptr) return parent->children();
  QObjectList children;
  for (int i = 0; i < stack->count(); ++i) children.append(stack->widget(i));
  for (QObject* child : parent->children())
    if (!children.contains(child)) children.append(child);
  return children;
}

// A dialog made with a window as its parent is a window of its own with its own block; a
// pop-up menu belongs to the window that owns it.
bool OtherWindow(const QObject* object) {
  const auto* widget = qobject_cast<const QWidget*>(object);
  return widget != nullptr && widget->isWindow() && qobject_cast<const QMenu*>(widget) == nullptr;
}

void CollectDescendants(const QObject* parent, std::vector<QObject*>& out) {
  for (QObject* child : ChildrenInOrder(parent)) {
    if (OtherWindow(child)) continue;
    const QString name = child->objectName();
    if (!name.isEmpty() && !QtInnerPart(name)) out.push_back(child);
    if (KeptAs(child) == Kept::Nothing) CollectDescendants(child, out);
  }
}

std::vector<std::string> LinesOf(const QString& text) {
  std::vector<std::string> lines;
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
  return lines;
}

QString JoinedLines(const std::vector<std::string>& lines) {
  QStringList texts;
  for (const auto& line : lines) texts << QString::fromStdString(line);
  return texts.join(QLatin1Char('\n'));
}

QString LinesText(const QObject* object) {
  if (const auto* rich = qobject_cast<const QTextEdit*>(object)) return rich->toPlainText();
  return qobject_cast<const QPlainTextEdit*>(object)->toPlainText();
}

std::optional<ComponentRecord> RecordOf(const QObject* object) {
  const std::string name = object->objectName().toStdString();
  switch (KeptAs(object)) {
    case Kept::RichLines:
      return ComponentRecord{name, "Lines", LinesToValue(LinesOf(LinesText(object)))};
    case Kept::MemoLines:
      return ComponentRecord{name, "lines", LinesToValue(LinesOf(LinesText(object)))};
    case Kept::ComboItems: {
      const auto* combo = qobject_cast<const QComboBox*>(object);
      ComboState state{combo->currentIndex(), {}};
      for (int i = 0; i < combo->count(); ++i) state.items.push_back(combo->itemText(i).toStdString());
      return ComponentRecord{name, "items", ComboToValue(state)};
    }
    case Kept::Text:
      return ComponentRecord{name, "Text", qobject_cast<const QLineEdit*>(object)->text().toStdString()};
    case Kept::ItemIndex:
      return ComponentRecord{name, "itemindex", std::to_string(dynamic_cast<const RadioGroup*>(object)->itemIndex())};
    case Kept::Checked: {
      const auto* action = qobject_cast<const QAction*>(object);
      const bool checked = action ? action->isChecked() : qobject_cast<const QAbstractButton*>(object)->isChecked();
      return ComponentRecord{name, "checked", checked ? "True" : "False"};
    }
    case Kept::Value:
      return ComponentRecord{name, "Value", std::to_string(qobject_cast<const QSpinBox*>(object)->value())};
    case Kept::Nothing:
      break;
  }
  return std::nullopt;
}

bool IsFontButton(const QObject* object) {
  return qobject_cast<const QAbstractButton*>(object) && object->property("Tag").toInt() == kFontButtonTag;
}

void SetComboIndex(QComboBox& combo, int index) {
  combo.setCurrentIndex(index >= 0 && index < combo.count() ? index : -1);
  if (combo.currentIndex() < 0 && combo.isEditable()) combo.clearEditText();
}

// A property given by name and text, for the kinds of control this program has; anything
// else, or a value of the wrong form, is passed over.
void SetPropertyFromText(QObject* target, const std::string& property, const std::string& value) {
  if (property == "text") {
    if (auto* edit = qobject_cast<QLineEdit*>(target)) {
      edit->setText(QString::fromStdString(value));
    } else if (auto* combo = qobject_cast<QComboBox*>(target)) {
      if (combo->isEditable())
        combo->setEditText(QString::fromStdString(value));
      else
        SetComboIndex(*combo, combo->findText(QString::fromStdString(value)));
    }
  } else if (property == "itemindex") {
    const auto index = ParseInteger(value);
    if (!index) return;
    if (auto* group = dynamic_cast<RadioGroup*>(target)) group->setItemIndex(*index);
    if (auto* combo = qobject_cast<QComboBox*>(target)) SetComboIndex(*combo, *index);
  } else if (property == "checked") {
    const bool isTrue = EqualsIgnoringCase(value, "True");
    if (!isTrue && !EqualsIgnoringCase(value, "False")) return;
    if (auto* action = qobject_cast<QAction*>(target)) action->setChecked(isTrue);
    if (auto* button = qobject_cast<QAbstractButton*>(target)) button->setChecked(isTrue);
  } else if (property == "value") {
    const auto number = ParseInteger(value);
    if (auto* spin = qobject_cast<QSpinBox*>(target); spin && number) spin->setValue(*number);
  }
}

void ApplyRecord(QObject* target, const ComponentRecord& record) {
  const std::string property = ToLowerAscii(record.property);
  const Kept kept = KeptAs(target);
  if (kept == Kept::RichLines && property == "lines") {
    qobject_cast<QTextEdit*>(target)->setPlainText(JoinedLines(ValueToLines(record.value)));
  } else if (kept == Kept::MemoLines && property == "lines") {
    qobject_cast<QPlainTextEdit*>(target)->setPlainText(JoinedLines(ValueToLines(record.value)));
  } else if (kept == Kept::ComboItems && property == "items") {
    auto* combo = qobject_cast<QComboBox*>(target);
    const ComboState state = ValueToCombo(record.value);
    combo->clear();
    for (const auto& item : state.items) combo->addItem(QString::fromStdString(item));
    SetComboIndex(*combo, state.itemIndex);
  } else {
    SetPropertyFromText(target, property, record.value);
  }
}

}  // namespace

std::vector<QObject*> BlockComponents(QWidget* window) {
  std::vector<QObject*> components;
  if (window->isWindow()) {
    CollectDescendants(window, components);
    return components;
  }
  for (QObject* child : window->children())
    if (child->isWidgetType() && !child->objectName().isEmpty() && !QtInnerPart(child->objectName()))
      components.push_back(child);
  return components;
}

WindowBlock CaptureWindowBlock(QWidget* window) {
  WindowBlock block;
  block.window = window->objectName().toStdString();
  const std::vector<QObject*> components = BlockComponents(window);
  for (const QObject* component : components)
    if (auto record = RecordOf(component)) block.records.push_back(std::move(*record));
  for (const QObject* component : components) {
    if (!IsFontButton(component)) continue;
    FontRecord font{component->objectName().toStdString(), std::nullopt};
    if (const auto* button = dynamic_cast<const FontButton*>(component)) font.font = button->logicalFont();
    block.fonts.push_back(std::move(font));
  }
  return block;
}

ControlValues CaptureControlValues(const std::vector<QWidget*>& windows) {
  ControlValues values;
  for (QWidget* window : windows) {
    const WindowBlock block = CaptureWindowBlock(window);
    for (const auto& record : block.records) values.addRecord(record);
    for (const auto& font : block.fonts)
      if (font.font) values.setFont(font.button, *font.font);
    // The file keeps no typed text; a run takes what the box shows.
    for (const QObject* component : BlockComponents(window)) {
      if (const auto* combo = qobject_cast<const QComboBox*>(component)) {
        ControlValue value = *values.find(combo->objectName().toStdString());
        value.text = combo->currentText().toStdString();
        values.set(combo->objectName().toStdString(), std::move(value));
      }
    }
  }
  return values;
}

bool TVeskGetSet::beginWindow(const std::string& window) {
  components_.clear();
  for (QWidget* candidate : windows_) {
    if (!EqualsIgnoringCase(candidate->objectName().toStdString(), window)) continue;
    // The first of a name is the one found, as a search by name finds it.
    for (QObject* component : BlockComponents(candidate))
      components_.emplace(component->objectName().toStdString(), component);
    return true;
  }
  return false;
}

QObject* TVeskGetSet::component(const std::string& name) const {
  const auto found = components_.find(name);
  return found == components_.end() ? nullptr : found->second;
}

void TVeskGetSet::componentRecord(const ComponentRecord& record) {
  if (QObject* target = component(record.component)) ApplyRecord(target, record);
}

bool TVeskGetSet::fontButton(const std::string& button) { return component(button) != nullptr; }

void TVeskGetSet::buttonFont(const std::string& button, const LogicalFont& font) {
  if (auto* target = dynamic_cast<FontButton*>(component(button))) target->setLogicalFont(font);
}

TVeskAppSaveSet::TVeskAppSaveSet(const std::string& path, const std::vector<QWidget*>& windows) {
  std::vector<WindowBlock> blocks;
  for (QWidget* window : windows) blocks.push_back(CaptureWindowBlock(window));
  WriteSettingsFile(path, blocks);
}

TVeskAppGetSet::TVeskAppGetSet(const std::string& path, const std::vector<QWidget*>& windows) {
  TVeskGetSet reader(windows);
  ReadSettingsFile(path, reader);
}

std::vector<QWidget*> SettingsSession::windows() const {
  std::vector<QWidget*> live;
  for (const auto& window : windows_)
    if (window) live.push_back(window);
  return live;
}

bool SettingsSession::save(UserInterface& ui) const {
  try {
    TVeskAppSaveSet{path_, windows()};
    return true;
  } catch (const FramoraError& failure) {
    ui.message(failure.what());
    return false;
  }
}

bool SettingsSession::load(UserInterface& ui) const {
  try {
    TVeskAppGetSet{path_, windows()};
    return true;
  } catch (const FramoraError& failure) {
    // The values up to the damage stay applied; the file itself is kept aside before the
    // next save replaces it.
    const std::string backup = std::filesystem::path(path_).replace_extension(".bak").string();
    std::error_code error;
    const bool kept =
        std::filesystem::copy_file(path_, backup, std::filesystem::copy_options::overwrite_existing, error);
    ui.message(std::string(failure.what()) + (kept ? "\n原设置文件已另存为" + backup : ""));
    return false;
  }
}

}  // namespace framora
