#include "layout/map_text.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringList>

#include <map>
#include <mutex>

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

const std::vector<FaceSubstitution>& FaceSubstitutions() {
  // Song and FangSong: SungtiL GB; Kai: KaitiM GB; both have exactly the Windows model for
  // GB2312. UMing and UKai carry what lies beyond GB2312. Hei: a face with 0.5-em digits.
  const std::vector<std::string> song = {"AR PL SungtiL GB", "AR PL UMing CN", "Noto Serif CJK SC"};
  const std::vector<std::string> kai = {"AR PL KaitiM GB", "AR PL UKai CN", "Noto Serif CJK SC"};
  const std::vector<std::string> hei = {"WenQuanYi Zen Hei Mono", "Noto Sans Mono CJK SC", "Noto Sans CJK SC"};
  static const std::vector<FaceSubstitution> substitutions = {
      {"宋体", song},     {"SimSun", song},       {"新宋体", song},   {"NSimSun", song},
      {"仿宋", song},     {"仿宋_GB2312", song},  {"FangSong", song}, {"楷体", kai},
      {"楷体_GB2312", kai}, {"KaiTi", kai},       {"黑体", hei},      {"SimHei", hei},
      {"微软雅黑", hei},  {"Microsoft YaHei", hei},
  };
  return substitutions;
}

QStringList InstalledFaces(const std::string& faceName) {
  // Pictures are drawn on other threads than the one that saves map documents.
  static std::mutex guard;
  const std::lock_guard<std::mutex> lock(guard);
  static std::map<std::string, QStringList> known;
  const auto cached = known.find(faceName);
  if (cached != known.end()) return cached->second;

  // "@" marks the vertical variant of a Windows face.
  const std::string face = !faceName.empty() && faceName[0] == '@' ? faceName.substr(1) : faceName;
  const QString asked = QString::fromStdString(face);
  QStringList chosen;
  if (!face.empty() && QFontDatabase::hasFamily(asked)) chosen.append(asked);
  const FaceSubstitution* substitution = &FaceSubstitutions().front();  // unknown faces draw as 宋体
  for (const FaceSubstitution& entry : FaceSubstitutions())
    if (QString::fromStdString(entry.windowsFace).compare(asked, Qt::CaseInsensitive) == 0) substitution = &entry;
  for (const std::string& standIn : substitution->standIns)
    if (QFontDatabase::hasFamily(QString::fromStdString(standIn))) chosen.append(QString::fromStdString(standIn));
  if (chosen.isEmpty()) chosen.append(asked);
  known.emplace(faceName, chosen);
  return chosen;
}

QString InstalledFace(const std::string& faceName) { return InstalledFaces(faceName).front(); }

double ModelAdvance(char32_t character) { return character < 0x80 ? 0.5 : 1.0; }

QFont TextFont(const TextSymbol& symbol, double pointSize) {
  QFont font;
  font.setFamilies(InstalledFaces(symbol.fontName));
  font.setPointSizeF(pointSize > 0 ? pointSize : 0.01);
  font.setBold(symbol.bold);
  font.setItalic(symbol.italic);
  font.setUnderline(symbol.underline);
  font.setKerning(false);  // every character keeps its cell
  return font;
}

std::vector<LaidOutLine> LayOutMapText(const std::string& text, const TextSymbol& symbol, double pointSize,
                                       QPointF anchor, double dpi) {
  std::vector<LaidOutLine> lines;
  if (text.empty() || pointSize <= 0) return lines;
  const double em = pointSize * dpi / 72;
  const double stretch = 1 + symbol.characterSpacing / 100;
  // Any of "\r\n", "\n" and "\r" ends a line; a pattern would be compiled again every text.
  QString whole = QString::fromStdString(text);
  whole.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  for (const QString& line : whole.split(QLatin1Char('\n'))) {
    LaidOutLine laid;
    laid.characters = line.toStdU32String();
    double x = 0;
    for (const char32_t character : laid.characters) {
      const double cell = ModelAdvance(character) * em;
      laid.cellLefts.push_back(x);
      laid.cellWidths.push_back(cell);
      x += cell * stretch;
    }
    // The spacing after the last character is not part of the text's extent.
    laid.width = laid.characters.empty() ? 0 : x - laid.cellWidths.back() * (stretch - 1);
    lines.push_back(std::move(laid));
  }
  const double blockHeight = em * lines.size();
  double top = anchor.y();
  if (symbol.verticalAlignment == 1)
    top -= blockHeight / 2;
  else if (symbol.verticalAlignment != 0)
    top -= blockHeight;
  for (size_t i = 0; i < lines.size(); ++i) {
    LaidOutLine& line = lines[i];
    line.left = anchor.x();
    if (symbol.horizontalAlignment == 1)
      line.left -= line.width / 2;
    else if (symbol.horizontalAlignment != 0)
      line.left -= line.width;
    for (double& cellLeft : line.cellLefts) cellLeft += line.left;
    line.baseline = top + (i + kEmBaseline) * em;
  }
  return lines;
}

QRectF MapTextBox(const std::string& text, const TextSymbol& symbol, double pointSize, QPointF anchor, double dpi) {
  const double em = pointSize * dpi / 72;
  QRectF box;
  for (const LaidOutLine& line : LayOutMapText(text, symbol, pointSize, anchor, dpi)) {
    if (line.characters.empty()) continue;
    box |= QRectF(line.left, line.baseline - kEmBaseline * em, line.width, em);
  }
  return box;
}

namespace {

struct CharacterMetrics {
  double advance = 0;
  double inkRight = 0;  // the right of its ink from its origin
};

// Asked for every character of every text in every band, and each asking lays the character
// out anew; the answers are kept per thread, as the fonts behind them are.
const CharacterMetrics& MetricsOf(const QString& fontKey, const QFontMetricsF& metrics, char32_t character) {
  thread_local std::map<std::pair<QString, char32_t>, CharacterMetrics> known;
  constexpr size_t kMostKept = 20000;
  auto found = known.find({fontKey, character});
  if (found != known.end()) return found->second;
  if (known.size() >= kMostKept) known.clear();
  const QString glyph = QString::fromUcs4(&character, 1);
  return known.emplace(std::pair{fontKey, character},
                       CharacterMetrics{metrics.horizontalAdvance(glyph), metrics.tightBoundingRect(glyph).right()})
      .first->second;
}

}  // namespace

void DrawMapText(QPainter& painter, const std::string& text, const TextSymbol& symbol, double pointSize,
                 QPointF anchor) {
  QPaintDevice* device = painter.device();
  const double dpi = device ? device->logicalDpiY() : 96;
  const std::vector<LaidOutLine> lines = LayOutMapText(text, symbol, pointSize, anchor, dpi);
  if (lines.empty()) return;
  const QFont font = TextFont(symbol, pointSize);
  const QFontMetricsF metrics(font, device);
  // The fallback faces decide a missing character's metrics: they are part of the key.
  const QString fontKey =
      font.families().join(QLatin1Char(',')) + QLatin1Char('|') + font.key() + QLatin1Char('@') + QString::number(dpi);
  const int rgb = symbol.color < 0 ? 0 : symbol.color;
  painter.save();
  painter.setFont(font);
  painter.setPen(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  for (const LaidOutLine& line : lines)
    for (size_t i = 0; i < line.characters.size(); ++i) {
      const QString glyph = QString::fromUcs4(&line.characters[i], 1);
      const CharacterMetrics& measured = MetricsOf(fontKey, metrics, line.characters[i]);
      const double advance = measured.advance;
      const QPointF origin(line.cellLefts[i], line.baseline);
      double scale = 1;
      if (advance > line.cellWidths[i] * 1.001) scale = line.cellWidths[i] / advance;  // wider than the model
      // Tight spacing leaves less room than the cell before the next character: its ink is
      // fitted into that room rather than run into the neighbour.
      if (i + 1 < line.characters.size()) {
        const double room = line.cellLefts[i + 1] - line.cellLefts[i];
        const double inkRight = measured.inkRight * scale;
        if (inkRight > room && inkRight > 0) scale *= room / inkRight;
      }
      if (scale >= 0.999) {
        painter.drawText(origin, glyph);
        continue;
      }
      painter.save();
      painter.translate(origin);
      painter.scale(scale, 1);
      painter.drawText(QPointF(0, 0), glyph);
      painter.restore();
    }
  painter.restore();
}

}  // namespace framora
