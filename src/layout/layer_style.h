#pragma once

#include <QColor>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "layout/filter_expression.h"


namespace framora {

// A size on paper as a style gives it.
enum class SizeUnit { Millimetres, Points, Pixels, MapUnits, Inches };
struct StyleSize {
  double value = 0;
  SizeUnit unit = SizeUnit::Millimetres;
};

// How many device pixels one unit of each kind is where a symbol is drawn.
struct SymbolScale {
  double pixelsPerMm = 1;
  double pixelsPerMapUnit = 1;
  double pixels(const StyleSize& size) const;
};

// Simple marker shapes, by QGIS's names.
enum class MarkerShape {
  Circle, Square, Diamond, Pentagon, Hexagon, Octagon, Triangle, EquilateralTriangle, Star, Arrow,
  FilledArrowHead, CrossFill, Cross, Cross2, Line, ArrowHead, SemiCircle, ThirdCircle, QuarterCircle,
  QuarterSquare, HalfSquare, DiagonalHalfSquare, LeftHalfTriangle, RightHalfTriangle, SquareWithCorners,
  Trapezoid, Asterisk,
};

struct SymbolLook;

// Where a marker line puts its markers.
enum class MarkerPlacement { Interval, Vertex, FirstVertex, LastVertex, CentralPoint };

// One symbol layer: a fill with its outline, a line, a marker, or markers along a line.
struct SymbolLayerLook {
  enum class Kind { Fill, Line, Marker, MarkerLine, CentroidFill };
  Kind kind = Kind::Line;
  int pass = 0;  // rendering pass when the style draws by symbol levels (lower first)
  bool stroke = true;
  QColor strokeColor = Qt::black;
  StyleSize strokeWidth{0.1};
  Qt::PenStyle penStyle = Qt::SolidLine;
  std::vector<StyleSize> dashes;  // a custom dash pattern, dash and gap lengths
  Qt::PenCapStyle cap = Qt::SquareCap;
  Qt::PenJoinStyle join = Qt::MiterJoin;
  bool fill = false;
  QColor fillColor = Qt::white;
  Qt::BrushStyle brush = Qt::SolidPattern;
  MarkerShape shape = MarkerShape::Circle;
  StyleSize size{2};  // a marker's width
  double angle = 0;   // clockwise degrees
  StyleSize offsetX, offsetY;  // a marker's, y down
  std::shared_ptr<const SymbolLook> markers;  // the marker symbol of a marker line or a centroid fill
  bool onEveryPart = true;     // a centroid fill's marker on each part, else on the largest
  MarkerPlacement placement = MarkerPlacement::Interval;
  StyleSize interval{3};
  StyleSize offsetAlongLine{0};
  bool rotateMarkers = true;   // turned with the line
};

struct SymbolLook {
  std::vector<SymbolLayerLook> layers;  // drawn first to last
};

enum class StyleKind { Lines, Polygons };

// A rule of a rule-based style: its filter, scales and symbol, and rules within it.
struct StyleRule {
  std::shared_ptr<const FilterExpression> filter;  // none: every feature
  bool isElse = false;        // for features no sibling rule took
  bool active = true;
  bool unreadable = false;    // its filter could not be read: it draws nothing
  double minimumScaleDenominator = 0;  // shown from this scale (closest) out; 0 open
  double maximumScaleDenominator = 0;  // shown out to this scale; 0 open
  std::optional<SymbolLook> symbol;
  std::vector<StyleRule> children;
};

// A QGIS renderer of features: single symbol, categorized, graduated or rule-based.
struct LayerStyle {
  enum class Renderer { SingleSymbol, Categorized, Graduated, RuleBased };
  StyleKind kind = StyleKind::Lines;
  Renderer renderer = Renderer::Categorized;
  std::string attribute = "ID";  // a field, or an expression over fields
  std::shared_ptr<const FilterExpression> attributeExpression;  // when the attribute is not a plain field
  std::vector<std::pair<std::string, SymbolLook>> categories;
  // Where a value finds its category, by text and by number, the last of equal ones winning;
  // made once with the categories so that features do not read every category's value again.
  std::unordered_map<std::string, size_t> categoryByText;
  std::map<double, size_t> categoryByNumber;
  std::optional<SymbolLook> otherValues;  // the single symbol, or the category for all other values
  struct Range {
    double lower = 0, upper = 0;
    std::optional<SymbolLook> look;  // none when the range is switched off
  };
  std::vector<Range> ranges;
  StyleRule rootRule;
  bool symbolLevels = false;              // features drawn level by level, not as stored
  std::string rendererXml;                // the renderer element, for the map document
  std::set<std::string> undrawnSymbolLayers;  // classes of symbol layers left to QGIS
  std::set<std::string> fixedProperties;      // settings set by expressions, drawn with their fixed values
  std::vector<std::string> unreadableFilters;  // rule filters that could not be read

  // As QGIS takes the attribute: a field of the layer when it has one by that name ("1990",
  // "a-b"), else an expression over its fields.
  void resolveAttribute(const OGRFeatureDefn& fields);
  // Categorized: nullptr when features of that value are not drawn.
  const SymbolLook* lookFor(const std::string& value) const;
  // The symbols a feature is drawn with at a map scale, in drawing order; none: not drawn.
  void looksFor(const FieldValues& fields, double scale, std::vector<const SymbolLook*>& looks) const;
  // The passes the symbols use, lowest first.
  std::set<int> passes() const;
};

// A colour as QGIS styles write it ("r,g,b,a" or "#rrggbb"), its alpha times opacity.
QColor StyleColor(const std::string& text, double opacity = 1);
// A unit of size as QGIS styles name it ("MM", "Point", "Pixel", "MapUnit", "Inch").
SizeUnit StyleUnit(const std::string& text);

// The default style of the frame layers when their style file is missing.
LayerStyle BuiltInStyle(StyleKind kind);
// The text of a QGIS style file for the built-in style.
std::string BuiltInStyleFileText(StyleKind kind);
// Reads a QGIS style file (.qml) with a renderer LayerStyle holds. Throws FramoraError when
// the file cannot be read or holds no such renderer.
LayerStyle ReadStyleFile(const std::string& path, StyleKind kind);

// The same from the text of a style (a user layer's renderer taken from a project);
// nothing when it holds no renderer LayerStyle holds.
std::optional<LayerStyle> StyleFromText(const std::string& qmlText, StyleKind kind);

inline constexpr const char* kLineStyleFile = "line.qml";
inline constexpr const char* kPolygonStyleFile = "poly.qml";

struct LayerStyles {
  LayerStyle lines;
  LayerStyle polygons;
  std::string lineStylePath;    // the file each came from; empty for the built-in
  std::string polygonStylePath;
  std::vector<std::string> notices;  // what the user should hear: a file replaced by the built-in
};

// line.qml and poly.qml from folder. A missing or unreadable file is replaced by the
// built-in style, with a notice saying so.
LayerStyles LoadLayerStyles(const std::string& folder);

}  // namespace framora
