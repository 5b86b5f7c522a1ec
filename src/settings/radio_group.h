#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>

#include <functional>
#include <vector>

namespace framora {

// A captioned box of radio buttons with one item index, -1 when none is chosen.
class RadioGroup : public QGroupBox {
 public:
  RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent = nullptr);

  int itemIndex() const { return itemIndex_; }
  // Below -1 counts as -1 and past the last item as the last, as the original control did.
  void setItemIndex(int index);
  int count() const { return static_cast<int>(buttons_.size()); }
  QStringList items() const;
  QRadioButton* button(int index) const { return buttons_.at(index); }

  // Runs after every change of the item index, by the user or by the program.
  void setOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }

 private:
  void changed(int index);

  QButtonGroup group_;
  std::vector<QRadioButton*> buttons_;
  int itemIndex_ = -1;
  std::function<void()> onClick_;
};

}  // namespace framora
