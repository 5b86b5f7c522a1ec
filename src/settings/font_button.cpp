#include "settings/font_button.h"

#include <QFontDialog>
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

std::optional<LogicalFont> ChooseFontInDialog(const LogicalFont& font, QWidget* parent) {
  QFont preset = DisplayFont(font, 1000);
  preset.setPointSizeF(std::max(1.0, PixelHeight(font) * 72.0 / 96.0));
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, preset, parent, QStringLiteral("字体"));
  if (!ok) return std::nullopt;
  return ChosenFont(chosen, font);
}

}  // namespace framora
