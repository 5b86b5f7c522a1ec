#include "settings/font_button.h"

#include <QDoubleValidator>
#include <QFontDialog>
#include <QIntValidator>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "layout/map_text.h"

namespace framora {
namespace {

// Smaller captions cannot be read; the tooltip tells the real size.
constexpr int kSmallestPixels = 12;

// The character height without its sign; wide enough for any stored height.
long long PixelHeight(const LogicalFont& font) { return std::llabs(static_cast<long long>(font.height)); }

}  // namespace

FontButton::FontButton(const QString& caption, const LogicalFont& font, QWidget* parent)
    : QPushButton(caption, parent) {
  setLogicalFont(font);
}

void FontButton::setLogicalFont(const LogicalFont& font) {
  font_ = font;
  setFont(DisplayFont(font));
  QPalette colours = palette();
  const int rgb = ColorToRgb(font.color);
  colours.setColor(QPalette::ButtonText, rgb < 0 ? QColor(Qt::black) : QColor::fromRgb(static_cast<QRgb>(rgb)));
  setPalette(colours);
  setToolTip(QString::fromStdString(font.faceName) + QStringLiteral("，%1 像素").arg(PixelHeight(font)));
}

QFont DisplayFont(const LogicalFont& font, int largestPixels) {
  QFont shown(InstalledFace(font.faceName));
  // Positive heights are cell heights, a little more than the characters; the difference
  // does not matter for a caption.
  shown.setPixelSize(static_cast<int>(std::clamp<long long>(PixelHeight(font), kSmallestPixels, largestPixels)));
  // Weight 0 means the face's normal weight; Qt and Windows share the 100 to 900 scale.
  shown.setWeight(static_cast<QFont::Weight>(font.weight == 0 ? 400 : std::clamp(font.weight, 100, 900)));
  shown.setItalic(font.italic);
  shown.setUnderline(font.underline);
  shown.setStrikeOut(font.strikeOut);
  return shown;
}

LogicalFont ChosenFont(const QFont& chosen, const LogicalFont& current) {
  const std::string family = chosen.family().toStdString();
  const bool sameFace = chosen.family() == InstalledFace(current.faceName);
  // A font sized in pixels has no point size.
  const double points = chosen.pointSizeF() > 0 ? chosen.pointSizeF() : chosen.pixelSize() * 72.0 / 96.0;
  LogicalFont font = FontOfPointSize(sameFace ? current.faceName : family, std::lround(points * 2) / 2.0,
                                     current.color);
  font.charSet = current.charSet;
  font.pitchAndFamily = current.pitchAndFamily;
  font.weight = chosen.weight();
  font.italic = chosen.italic();
  font.underline = chosen.underline();
  font.strikeOut = chosen.strikeOut();
  return font;
}

namespace {

// Qt's size box takes whole points; the Chinese sizes 五号, 六号 and 小六 are half points
// (10.5, 7.5, 6.5). The box is the dialog's one line edit that checks for whole numbers.
QLineEdit* AllowHalfPoints(QFontDialog& dialog, double points) {
  for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
    if (qobject_cast<const QIntValidator*>(edit->validator()) == nullptr) continue;
    auto* validator = new QDoubleValidator(1, 512, 1, edit);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    edit->setValidator(validator);
    edit->setText(QLocale::c().toString(points, 'g', 4));
    return edit;
  }
  return nullptr;
}

}  // namespace

std::optional<LogicalFont> ChooseFontInDialog(const LogicalFont& font, QWidget* parent) {
  const double points = std::max(1.0, font.pointSize());
  QFont preset = DisplayFont(font, 1000);
  preset.setPointSizeF(points);
  QFontDialog dialog(preset, parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  dialog.setWindowTitle(QStringLiteral("字体"));
  QLineEdit* sizeBox = AllowHalfPoints(dialog, points);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  QFont chosen = dialog.selectedFont();
  bool typed = false;
  const double size = sizeBox != nullptr ? QLocale::c().toDouble(sizeBox->text(), &typed) : 0;
  if (typed && size > 0) chosen.setPointSizeF(size);
  return ChosenFont(chosen, font);
}

}  // namespace framora
