#pragma once

#include <ogrsf_frmts.h>

#include <QFont>
#include <QPaintDevice>
#include <QPainter>
#include <QPointF>
#include <QString>

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

// The Windows faces the settings name and the installed faces that stand in for them.
const std::vector<std::pair<std::string, std::string>>& FaceSubstitutions();
// The face to draw a font name with: the face itself when it is installed, else its
// stand-in (Chinese Windows faces become Noto CJK faces).
QString InstalledFace(const std::string& faceName);

// The font of a text at a size on paper, in points.
QFont TextFont(const TextSymbol& symbol, double pointSize);

// Draws text with its alignment point at anchor (device coordinates, y down). Lines break
// at "\r\n", "\n" and "\r"; each line takes the horizontal alignment.
void DrawMapText(QPainter& painter, const std::string& text, const TextSymbol& symbol, double pointSize,
                 QPointF anchor);

}  // namespace framora
