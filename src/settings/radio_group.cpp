#include "settings/radio_group.h"

#include <QGridLayout>

#include <algorithm>

namespace framora {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(caption, parent) {
  auto* layout = new QGridLayout(this);
  columns = std::max(columns, 1);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    group_.addButton(button, i);
    buttons_.push_back(button);
    layout->addWidget(button, i / columns, i % columns);
  }
  connect(&group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) changed(id);
  });
}

void RadioGroup::setItemIndex(int index) {
  index = std::clamp(index, -1, count() - 1);
  if (index == itemIndex_) return;
  if (index >= 0) {
    buttons_[index]->setChecked(true);  // reports through idToggled
    return;
  }
  // An exclusive group never lets its last checked button go.
  group_.setExclusive(false);
  buttons_[itemIndex_]->setChecked(false);
  group_.setExclusive(true);
  changed(-1);
}

QStringList RadioGroup::items() const {
  QStringList texts;
  for (const auto* button : buttons_) texts << button->text();
  return texts;
}

void RadioGroup::changed(int index) {
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (onClick_) onClick_();
}

}  // namespace framora
