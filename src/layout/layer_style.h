#pragma once

#include <QColor>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>


namespace framora {

// One symbol layer: a stroke and/or a fill, sizes on paper.
struct SymbolLayerLook {
  bool stroke = true;
  QColor strokeColor = Qt::black;
  double strokeWidth = 0.1;           // in strokeUnit
  bool strokeInPixels = false;        // QGIS "Pixel": device pixels, not paper
  Qt::PenCapStyle cap = Qt::SquareCap;
  Qt::PenJoinStyle join = Qt::MiterJoin;
  bool fill = false;
  QColor fillColor = Qt::white;
};

struct SymbolLook {
  std::vector<SymbolLayerLook> layers;  // drawn first to last
  int level = 0;  // rendering pass when the style draws by symbol levels (lower first)
};

enum class StyleKind { Lines, Polygons };

// A categorised style over one attribute, as a QGIS style file holds it.
struct CategorizedStyle {
  StyleKind kind = StyleKind::Lines;
  std::string attribute = "ID";
  std::vector<std::pair<std::string, SymbolLook>> categories;
  std::optional<SymbolLook> otherValues;  // the category for all other values
  bool symbolLevels = false;              // features drawn level by level, not as stored
  std::string rendererXml;                // the renderer element, for the map document
  std::set<std::string> undrawnSymbolLayers;  // classes of symbol layers left to QGIS

  // nullptr: features of that value are not drawn.
  const SymbolLook* lookFor(const std::string& value) const;
};

// The default style of the frame layers when their style file is missing.
CategorizedStyle BuiltInStyle(StyleKind kind);
// The text of a QGIS style file for the built-in style.
std::string BuiltInStyleFileText(StyleKind kind);
// Reads a QGIS style file (.qml) with a categorised or single-symbol renderer. Throws
// FramoraError when the file cannot be read or holds no such renderer.
CategorizedStyle ReadStyleFile(const std::string& path, StyleKind kind);

// The same from the text of a style (a user layer's renderer taken from a project);
// nothing when it holds no renderer of simple lines and fills.
std::optional<CategorizedStyle> StyleFromText(const std::string& qmlText, StyleKind kind);

inline constexpr const char* kLineStyleFile = "line.qml";
inline constexpr const char* kPolygonStyleFile = "poly.qml";

struct LayerStyles {
  CategorizedStyle lines;
  CategorizedStyle polygons;
  std::string lineStylePath;    // the file each came from; empty for the built-in
  std::string polygonStylePath;
  std::vector<std::string> notices;  // what the user should hear: a file replaced by the built-in
};

// line.qml and poly.qml from folder. A missing or unreadable file is replaced by the
// built-in style, with a notice saying so.
LayerStyles LoadLayerStyles(const std::string& folder);

}  // namespace framora
