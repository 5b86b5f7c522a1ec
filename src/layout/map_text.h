#pragma once

#include <ogrsf_frmts.h>

#include <QFont>
#include <QPaintDevice>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

#include "gis/text_class.h"

namespace framora {

// One stored text of a text class: what it says, where and how it looks.
struct MapText {
  std::string text;
  double x = 0, y = 0;
  TextSymbol symbol;
};

// Reads the text fields of a feature of a text class.
MapText ReadMapText(const OGRFeature& feature);

// A Windows face the settings name and the installed faces that stand in for it, best
// first: faces with the Windows metric model (single-byte characters 0.5 em, GBK double-byte
// characters 1 em) for GB2312, then faces for the characters beyond it, Noto CJK last.
struct FaceSubstitution {
  std::string windowsFace;
  std::vector<std::string> standIns;
};
const std::vector<FaceSubstitution>& FaceSubstitutions();
// The installed faces to draw a font name with, best first: the face itself when it is
// installed, else its installed stand-ins.
QStringList InstalledFaces(const std::string& faceName);
// The first of InstalledFaces.
QString InstalledFace(const std::string& faceName);

// Where the baseline lies in the model's em box, from its top, in em.
inline constexpr double kEmBaseline = 0.88;

// The model's advance of one character in em: 0.5 for a single-byte character of the Chinese
// code page, 1 for a double-byte one.
double ModelAdvance(char32_t character);

// One line of a text laid out on the model: each character's cell and the line's baseline,
// in device units.
struct LaidOutLine {
  std::u32string characters;
  std::vector<double> cellLefts;
  std::vector<double> cellWidths;  // model advance without the spacing
  double baseline = 0;
  double left = 0, width = 0;
};

// Lays a text out on the model's em box: em = pointSize * dpi / 72 device units, lines one em
// apart, the spacing a percentage of each character's own width (none after the last).
std::vector<LaidOutLine> LayOutMapText(const std::string& text, const TextSymbol& symbol, double pointSize,
                                       QPointF anchor, double dpi);
// The em boxes of a text's lines together (device units, y down).
QRectF MapTextBox(const std::string& text, const TextSymbol& symbol, double pointSize, QPointF anchor, double dpi);

// The font of a text at a size on paper, in points.
QFont TextFont(const TextSymbol& symbol, double pointSize);

// Draws text with its alignment point at anchor (device coordinates, y down) as
// LayOutMapText lays it out. A glyph wider than its cell is narrowed to it.
void DrawMapText(QPainter& painter, const std::string& text, const TextSymbol& symbol, double pointSize,
                 QPointF anchor);

}  // namespace framora
