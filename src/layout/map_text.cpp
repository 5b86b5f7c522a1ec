#include "layout/map_text.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QStringList>

#include <map>

namespace framora {

MapText ReadMapText(const OGRFeature& feature) {
  MapText text;
  const auto stringField = [&](const char* name) {
    const int index = feature.GetFieldIndex(name);
    return index >= 0 && feature.IsFieldSetAndNotNull(index) ? std::string(feature.GetFieldAsString(index))
                                                              : std::string();
  };
  const auto numberField = [&](const char* name, double fallback) {
    const int index = feature.GetFieldIndex(name);
    return index >= 0 && feature.IsFieldSetAndNotNull(index) ? feature.GetFieldAsDouble(index) : fallback;
  };
  text.text = stringField("TextString");
  text.symbol.fontName = stringField("FontName");
  text.symbol.size = numberField("FontSize", 10);
  text.symbol.bold = numberField("Bold", 0) != 0;
  text.symbol.italic = numberField("Italic", 0) != 0;
  text.symbol.underline = numberField("Underline", 0) != 0;
  text.symbol.color = static_cast<int>(numberField("Color", 0));
  text.symbol.horizontalAlignment = static_cast<int>(numberField("HorizontalAlignment", 0));
  text.symbol.verticalAlignment = static_cast<int>(numberField("VerticalAlignment", 0));
  text.symbol.characterSpacing = numberField("CharacterSpacing", 0);
  if (const OGRGeometry* geometry = feature.GetGeometryRef(); geometry && !geometry->IsEmpty()) {
    OGRPoint point;
    if (wkbFlatten(geometry->getGeometryType()) == wkbPoint)
      point = *geometry->toPoint();
    else
      geometry->Centroid(&point);
    text.x = point.getX();
    text.y = point.getY();
  }
  return text;
}

const std::vector<std::pair<std::string, std::string>>& FaceSubstitutions() {
  static const std::vector<std::pair<std::string, std::string>> substitutions = {
      {"宋体", "Noto Serif CJK SC"},    {"SimSun", "Noto Serif CJK SC"},    {"新宋体", "Noto Serif CJK SC"},
      {"NSimSun", "Noto Serif CJK SC"}, {"黑体", "Noto Sans CJK SC"},       {"SimHei", "Noto Sans CJK SC"},
      {"微软雅黑", "Noto Sans CJK SC"}, {"Microsoft YaHei", "Noto Sans CJK SC"},
      // No Kai or FangSong face ships with Noto; the serif face is the nearest.
      {"楷体", "Noto Serif CJK SC"},    {"楷体_GB2312", "Noto Serif CJK SC"}, {"KaiTi", "Noto Serif CJK SC"},
      {"仿宋", "Noto Serif CJK SC"},    {"仿宋_GB2312", "Noto Serif CJK SC"}, {"FangSong", "Noto Serif CJK SC"},
  };
  return substitutions;
}

QString InstalledFace(const std::string& faceName) {
  static std::map<std::string, QString> known;
  const auto cached = known.find(faceName);
  if (cached != known.end()) return cached->second;

  // "@" marks the vertical variant of a Windows face.
  const std::string face = !faceName.empty() && faceName[0] == '@' ? faceName.substr(1) : faceName;
  QString chosen = QString::fromStdString(face);
  if (face.empty() || !QFontDatabase::hasFamily(chosen)) {
    chosen = QStringLiteral("Noto Sans CJK SC");
    for (const auto& [windowsFace, standIn] : FaceSubstitutions())
      if (QString::fromStdString(windowsFace).compare(QString::fromStdString(face), Qt::CaseInsensitive) == 0)
        chosen = QString::fromStdString(standIn);
    if (!QFontDatabase::hasFamily(chosen)) chosen = QString::fromStdString(face);
  }
  known.emplace(faceName, chosen);
  return chosen;
}

QFont TextFont(const TextSymbol& symbol, double pointSize) {
  QFont font(InstalledFace(symbol.fontName));
  font.setPointSizeF(pointSize > 0 ? pointSize : 0.01);
  font.setBold(symbol.bold);
  font.setItalic(symbol.italic);
  font.setUnderline(symbol.underline);
  // The spacing is a percentage of each character's own width, added after it.
  if (symbol.characterSpacing != 0)
    font.setLetterSpacing(QFont::PercentageSpacing, 100 + symbol.characterSpacing);
  font.setKerning(true);
  return font;
}

void DrawMapText(QPainter& painter, const std::string& text, const TextSymbol& symbol, double pointSize,
                 QPointF anchor) {
  if (text.empty() || pointSize <= 0) return;
  const QFont font = TextFont(symbol, pointSize);
  QFont plain = font;
  plain.setLetterSpacing(QFont::PercentageSpacing, 100);
  QPaintDevice* device = painter.device();
  const QFontMetricsF metrics(font, device);
  const QFontMetricsF plainMetrics(plain, device);
  const QStringList lines = QString::fromStdString(text).split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));

  const double blockHeight = metrics.height() + (lines.size() - 1) * metrics.lineSpacing();
  double top = anchor.y();
  if (symbol.verticalAlignment == 1)
    top -= blockHeight / 2;
  else if (symbol.verticalAlignment != 0)
    top -= blockHeight;

  const int rgb = symbol.color < 0 ? 0 : symbol.color;
  painter.setFont(font);
  painter.setPen(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  for (int i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    double width = metrics.horizontalAdvance(line);
    // The spacing after the last character is not part of the text's extent.
    if (!line.isEmpty() && symbol.characterSpacing != 0)
      width -= plainMetrics.horizontalAdvance(line.right(1)) * symbol.characterSpacing / 100;
    double left = anchor.x();
    if (symbol.horizontalAlignment == 1)
      left -= width / 2;
    else if (symbol.horizontalAlignment != 0)
      left -= width;
    painter.drawText(QPointF(left, top + metrics.ascent() + i * metrics.lineSpacing()), line);
  }
}

}  // namespace framora
