#pragma once

#include <QFont>
#include <QPushButton>

#include <optional>

#include "util/logical_font.h"

namespace framora {

// A "字体" button: it holds a font setting and shows its caption in that font.
class FontButton : public QPushButton {
 public:
  FontButton(const QString& caption, const LogicalFont& font, QWidget* parent = nullptr);

  const LogicalFont& logicalFont() const { return font_; }
  void setLogicalFont(const LogicalFont& font);

 private:
  LogicalFont font_;
};

// The font as a caption shows it: Windows faces by their installed stand-ins, the height
// kept between a readable size and largestPixels so that a title font does not blow up
// the dialog.
QFont DisplayFont(const LogicalFont& font, int largestPixels = 32);

// The setting after a font dialog returned chosen for current: size in points as the
// dialog gives it, the stand-in face keeps the Windows face name it stood for, and the
// colour, character set and other fields the dialog does not show stay.
LogicalFont ChosenFont(const QFont& chosen, const LogicalFont& current);

// Qt's font dialog, preset with the font; nothing when the user cancels.
std::optional<LogicalFont> ChooseFontInDialog(const LogicalFont& font, QWidget* parent);

}  // namespace framora
