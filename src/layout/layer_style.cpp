#include "layout/layer_style.h"

#include <cpl_minixml.h>
#include <cpl_string.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>

#include "gis/xml_text.h"
#include "util/framora_error.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {

namespace {

// ---- the built-in style --------------------------------------------------------------

struct CategorySpec {
  const char* value;  // "" for all other values
  const char* label;
  SymbolLayerLook look;
};

SymbolLayerLook Stroke(double widthMm) {
  SymbolLayerLook look;
  look.strokeWidth.value = widthMm;
  return look;
}

SymbolLayerLook Fill(QColor color, bool outline = false) {
  SymbolLayerLook look;
  look.kind = SymbolLayerLook::Kind::Fill;
  look.fill = true;
  look.fillColor = color;
  look.stroke = outline;
  return look;
}

std::vector<CategorySpec> BuiltInCategories(StyleKind kind) {
  if (kind == StyleKind::Lines)
    return {{"1", "内图廓和格网", Stroke(0.1)},
            {"2", "外图廓", Stroke(1.0)},
            {"3", "比例尺", Stroke(0.15)},
            {"0", "格网十字", Stroke(0.1)},
            {"", "其他", Stroke(0.1)}};
  SymbolLayerLook other = Stroke(0.1);
  other.kind = SymbolLayerLook::Kind::Fill;
  return {{"10", "外图廓带", Fill(Qt::black)},
          {"1", "接图表中格", Fill(QColor(210, 210, 210))},
          {"100", "压白", Fill(Qt::white)},
          {"", "其他", other}};
}

std::string ColorText(const QColor& color) {
  std::ostringstream text;
  text << color.red() << ',' << color.green() << ',' << color.blue() << ',' << color.alpha();
  return text.str();
}


void OptionLine(std::ostringstream& out, const char* name, const std::string& value) {
  out << "            <Option name=\"" << name << "\" value=\"" << XmlEscaped(value) << "\" type=\"QString\"/>\n";
}

// The mask whitens what lies around the sheet before anything of the frame is drawn.
int BuiltInLevel(const std::string& value) { return value == "100" ? 0 : 1; }

void SymbolXml(std::ostringstream& out, int index, StyleKind kind, const SymbolLayerLook& look, int level) {
  out << "      <symbol name=\"" << index << "\" type=\"" << (kind == StyleKind::Lines ? "line" : "fill")
      << "\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">\n";
  out << "        <layer class=\"" << (kind == StyleKind::Lines ? "SimpleLine" : "SimpleFill")
      << "\" enabled=\"1\" locked=\"0\" pass=\"" << level << "\">\n          <Option type=\"Map\">\n";
  if (kind == StyleKind::Lines) {
    OptionLine(out, "capstyle", "square");
    OptionLine(out, "joinstyle", "miter");
    OptionLine(out, "line_color", ColorText(look.strokeColor));
    OptionLine(out, "line_style", look.stroke ? "solid" : "no");
    OptionLine(out, "line_width", NumberText(look.strokeWidth.value, 6));
    OptionLine(out, "line_width_unit", "MM");
  } else {
    OptionLine(out, "color", ColorText(look.fillColor));
    OptionLine(out, "joinstyle", "miter");
    OptionLine(out, "outline_color", ColorText(look.strokeColor));
    OptionLine(out, "outline_style", look.stroke ? "solid" : "no");
    OptionLine(out, "outline_width", NumberText(look.strokeWidth.value, 6));
    OptionLine(out, "outline_width_unit", "MM");
    OptionLine(out, "style", look.fill ? "solid" : "no");
  }
  out << "          </Option>\n        </layer>\n      </symbol>\n";
}

// ---- reading ---------------------------------------------------------------------------

// The symbol layer's properties: <Option type="Map"> in current files, <prop k v> in older ones.
std::map<std::string, std::string> LayerProperties(const CPLXMLNode* layer) {
  std::map<std::string, std::string> properties;
  for (const CPLXMLNode* child = layer->psChild; child; child = child->psNext) {
    if (child->eType != CXT_Element) continue;
    if (EQUAL(child->pszValue, "prop")) {
      properties.emplace(CPLGetXMLValue(child, "k", ""), CPLGetXMLValue(child, "v", ""));
    } else if (EQUAL(child->pszValue, "Option")) {
      for (const CPLXMLNode* option = child->psChild; option; option = option->psNext)
        if (option->eType == CXT_Element && EQUAL(option->pszValue, "Option"))
          properties[CPLGetXMLValue(option, "name", "")] = CPLGetXMLValue(option, "value", "");
    }
  }
  return properties;
}

int WholeOr(const char* text, int fallback) { return ParseInteger(text, NumberForm::Forgiving).value_or(fallback); }
double RealOr(const std::string& text, double fallback) {
  return ParseDecimal(text.c_str(), NumberForm::Forgiving).value_or(fallback);
}

using Properties = std::map<std::string, std::string>;

// The first of keys the properties hold (current names first, older ones after), else fallback.
std::string Get(const Properties& properties, std::initializer_list<const char*> keys, const char* fallback) {
  for (const char* key : keys)
    if (const auto found = properties.find(key); found != properties.end()) return found->second;
  return fallback;
}

QColor ColorOf(const std::string& text, double symbolAlpha) {
  QColor color;
  if (!text.empty() && text[0] == '#') {
    color = QColor(QString::fromStdString(text));
    if (!color.isValid()) color = Qt::black;
  } else {
    const CPLStringList parts(CSLTokenizeString2(text.c_str(), ",", 0));
    if (parts.size() < 3) {
      color = QColor(QString::fromStdString(Trim(text)));  // a colour's name, as QGIS reads it then
      if (!color.isValid()) return Qt::black;
      color.setAlphaF(color.alphaF() * symbolAlpha);
      return color;
    }
    color = QColor(std::clamp(WholeOr(parts[0], 0), 0, 255), std::clamp(WholeOr(parts[1], 0), 0, 255),
                   std::clamp(WholeOr(parts[2], 0), 0, 255),
                   parts.size() > 3 ? std::clamp(WholeOr(parts[3], 255), 0, 255) : 255);
  }
  color.setAlphaF(color.alphaF() * symbolAlpha);
  return color;
}

SizeUnit UnitOf(const std::string& text) {
  const std::string unit = ToLowerAscii(text);
  if (unit == "point" || unit == "points" || unit == "pt") return SizeUnit::Points;
  if (unit == "pixel" || unit == "pixels" || unit == "px") return SizeUnit::Pixels;
  if (unit == "mapunit" || unit == "mapunits" || unit == "map units" || unit == "rendermetersinmapunits")
    return SizeUnit::MapUnits;
  if (unit == "inch" || unit == "inches" || unit == "in") return SizeUnit::Inches;
  return SizeUnit::Millimetres;
}

StyleSize SizeOf(const std::string& value, const std::string& unit, double fallback) {
  return StyleSize{RealOr(value, fallback), UnitOf(unit)};
}

Qt::PenCapStyle CapOf(const std::string& text) {
  if (text == "flat") return Qt::FlatCap;
  if (text == "round") return Qt::RoundCap;
  return Qt::SquareCap;
}

Qt::PenJoinStyle JoinOf(const std::string& text) {
  if (text == "bevel") return Qt::BevelJoin;
  if (text == "round") return Qt::RoundJoin;
  return Qt::MiterJoin;
}

Qt::PenStyle PenStyleOf(const std::string& text) {
  if (text == "no") return Qt::NoPen;
  if (text == "dash") return Qt::DashLine;
  if (text == "dot") return Qt::DotLine;
  if (text == "dash dot") return Qt::DashDotLine;
  if (text == "dash dot dot") return Qt::DashDotDotLine;
  return Qt::SolidLine;
}

Qt::BrushStyle BrushStyleOf(const std::string& text) {
  static const std::pair<const char*, Qt::BrushStyle> styles[] = {
      {"no", Qt::NoBrush},           {"horizontal", Qt::HorPattern}, {"vertical", Qt::VerPattern},
      {"cross", Qt::CrossPattern},   {"b_diagonal", Qt::BDiagPattern}, {"f_diagonal", Qt::FDiagPattern},
      {"diagonal_x", Qt::DiagCrossPattern}, {"dense1", Qt::Dense1Pattern}, {"dense2", Qt::Dense2Pattern},
      {"dense3", Qt::Dense3Pattern}, {"dense4", Qt::Dense4Pattern}, {"dense5", Qt::Dense5Pattern},
      {"dense6", Qt::Dense6Pattern}, {"dense7", Qt::Dense7Pattern}};
  for (const auto& [name, style] : styles)
    if (text == name) return style;
  return Qt::SolidPattern;
}

std::optional<MarkerShape> ShapeOf(const std::string& text) {
  static const std::pair<const char*, MarkerShape> shapes[] = {
      {"circle", MarkerShape::Circle},
      {"square", MarkerShape::Square},
      {"rectangle", MarkerShape::Square},
      {"diamond", MarkerShape::Diamond},
      {"pentagon", MarkerShape::Pentagon},
      {"hexagon", MarkerShape::Hexagon},
      {"octagon", MarkerShape::Octagon},
      {"triangle", MarkerShape::Triangle},
      {"equilateral_triangle", MarkerShape::EquilateralTriangle},
      {"star", MarkerShape::Star},
      {"regular_star", MarkerShape::Star},
      {"arrow", MarkerShape::Arrow},
      {"filled_arrowhead", MarkerShape::FilledArrowHead},
      {"cross_fill", MarkerShape::CrossFill},
      {"cross", MarkerShape::Cross},
      {"cross2", MarkerShape::Cross2},
      {"x", MarkerShape::Cross2},
      {"line", MarkerShape::Line},
      {"arrowhead", MarkerShape::ArrowHead},
      {"semi_circle", MarkerShape::SemiCircle},
      {"third_circle", MarkerShape::ThirdCircle},
      {"quarter_circle", MarkerShape::QuarterCircle},
      {"quarter_square", MarkerShape::QuarterSquare},
      {"half_square", MarkerShape::HalfSquare},
      {"diagonal_half_square", MarkerShape::DiagonalHalfSquare},
      {"left_half_triangle", MarkerShape::LeftHalfTriangle},
      {"right_half_triangle", MarkerShape::RightHalfTriangle},
      {"square_with_corners", MarkerShape::SquareWithCorners},
      {"trapezoid", MarkerShape::Trapezoid},
      {"asterisk", MarkerShape::Asterisk},
  };
  const std::string name = ToLowerAscii(Trim(text));
  for (const auto& [shapeName, shape] : shapes)
    if (name == shapeName) return shape;
  return std::nullopt;
}

// "x,y" as QGIS writes offsets.
std::pair<double, double> PairOf(const std::string& text) {
  const CPLStringList parts(CSLTokenizeString2(text.c_str(), ",", 0));
  if (parts.size() < 2) return {0, 0};
  return {RealOr(parts[0], 0), RealOr(parts[1], 0)};
}

void ReadStroke(const Properties& properties, SymbolLayerLook& part, const char* prefix) {
  const std::string p = prefix;  // "line" for lines, "outline" for fills and markers
  const auto key = [&](const char* suffix) { return p + suffix; };
  const std::string style = Get(properties, {key("_style").c_str(), "penstyle", "line_style"}, "solid");
  part.penStyle = PenStyleOf(style);
  part.stroke = part.penStyle != Qt::NoPen;
  if (part.penStyle == Qt::NoPen) part.penStyle = Qt::SolidLine;
  part.strokeWidth = SizeOf(Get(properties, {key("_width").c_str(), "line_width", "width"}, "0.26"),
                            Get(properties, {key("_width_unit").c_str(), "line_width_unit", "width_unit",
                                             "border_width_unit"}, "MM"),
                            0.26);
  part.join = JoinOf(Get(properties, {"joinstyle"}, "bevel"));
  if (Get(properties, {"use_custom_dash"}, "0") == "1") {
    const SizeUnit unit = UnitOf(Get(properties, {"customdash_unit"}, "MM"));
    const CPLStringList dashes(CSLTokenizeString2(Get(properties, {"customdash"}, "5;2").c_str(), ";", 0));
    for (int i = 0; i < dashes.size(); ++i) part.dashes.push_back(StyleSize{RealOr(dashes[i], 0), unit});
    if (part.dashes.size() % 2 != 0) part.dashes.push_back(part.dashes.back());
  }
}

// The settings of a symbol layer that an expression sets per feature, which the picture
// draws with their fixed values.
void CollectDataDefined(const CPLXMLNode* layer, const std::string& kind, std::set<std::string>& fixed) {
  const CPLXMLNode* defined = CPLGetXMLNode(layer, "data_defined_properties.Option");
  for (const CPLXMLNode* group = defined ? defined->psChild : nullptr; group; group = group->psNext) {
    if (group->eType != CXT_Element || !EQUAL(CPLGetXMLValue(group, "name", ""), "properties")) continue;
    for (const CPLXMLNode* property = group->psChild; property; property = property->psNext) {
      if (property->eType != CXT_Element) continue;
      for (const CPLXMLNode* setting = property->psChild; setting; setting = setting->psNext)
        if (setting->eType == CXT_Element && EQUAL(CPLGetXMLValue(setting, "name", ""), "active") &&
            EQUAL(CPLGetXMLValue(setting, "value", ""), "true"))
          fixed.insert(kind + " " + CPLGetXMLValue(property, "name", ""));
    }
  }
}

// Deeper than these, symbols within symbols and rules within rules are left out and named:
// reading, drawing and freeing them recurse once a level.
constexpr int kDeepestSymbol = 8;
constexpr int kDeepestRule = 64;

// outerAlpha: the opacity of the symbol holding this one, which its markers share.
SymbolLook ReadSymbol(const CPLXMLNode* symbol, std::set<std::string>& undrawn, std::set<std::string>& fixed,
                      int depth = 0, double outerAlpha = 1) {
  SymbolLook look;
  const double alpha = outerAlpha * std::clamp(RealOr(CPLGetXMLValue(symbol, "alpha", "1"), 1), 0.0, 1.0);
  for (const CPLXMLNode* layer = symbol->psChild; layer; layer = layer->psNext) {
    if (layer->eType != CXT_Element || !EQUAL(layer->pszValue, "layer")) continue;
    if (EQUAL(CPLGetXMLValue(layer, "enabled", "1"), "0")) continue;
    const std::string kind = CPLGetXMLValue(layer, "class", "");
    const auto properties = LayerProperties(layer);
    const CPLXMLNode* subSymbol = CPLGetXMLNode(layer, "symbol");
    if (subSymbol != nullptr && depth >= kDeepestSymbol) {
      undrawn.insert(kind);
      continue;
    }
    SymbolLayerLook part;
    part.pass = WholeOr(CPLGetXMLValue(layer, "pass", "0"), 0);
    if (kind == "SimpleLine") {
      part.kind = SymbolLayerLook::Kind::Line;
      part.strokeColor = ColorOf(Get(properties, {"line_color", "color"}, "0,0,0,255"), alpha);
      ReadStroke(properties, part, "line");
      part.cap = CapOf(Get(properties, {"capstyle"}, "square"));
    } else if (kind == "SimpleFill") {
      part.kind = SymbolLayerLook::Kind::Fill;
      part.brush = BrushStyleOf(Get(properties, {"style"}, "solid"));
      part.fill = part.brush != Qt::NoBrush;
      part.fillColor = ColorOf(Get(properties, {"color"}, "255,255,255,255"), alpha);
      part.strokeColor = ColorOf(Get(properties, {"outline_color", "line_color", "border_color"}, "35,35,35,255"), alpha);
      ReadStroke(properties, part, "outline");
    } else if (kind == "SimpleMarker") {
      part.kind = SymbolLayerLook::Kind::Marker;
      const std::string name = Get(properties, {"name"}, "circle");
      const auto shape = ShapeOf(name);
      if (!shape) {
        undrawn.insert(kind + " " + name);
        continue;
      }
      part.shape = *shape;
      part.fill = true;
      part.fillColor = ColorOf(Get(properties, {"color"}, "255,0,0,255"), alpha);
      part.strokeColor = ColorOf(Get(properties, {"outline_color", "line_color"}, "35,35,35,255"), alpha);
      ReadStroke(properties, part, "outline");
      part.strokeWidth = SizeOf(Get(properties, {"outline_width", "line_width"}, "0"),
                                Get(properties, {"outline_width_unit", "line_width_unit"}, "MM"), 0);
      part.cap = CapOf(Get(properties, {"cap_style"}, "square"));
      part.join = JoinOf(Get(properties, {"joinstyle"}, "bevel"));
      part.size = SizeOf(Get(properties, {"size"}, "2"), Get(properties, {"size_unit"}, "MM"), 2);
      part.angle = RealOr(Get(properties, {"angle"}, "0"), 0);
      const auto [x, y] = PairOf(Get(properties, {"offset"}, "0,0"));
      const SizeUnit offsetUnit = UnitOf(Get(properties, {"offset_unit"}, "MM"));
      part.offsetX = StyleSize{x, offsetUnit};
      part.offsetY = StyleSize{y, offsetUnit};
    } else if (kind == "MarkerLine" && subSymbol != nullptr) {
      part.kind = SymbolLayerLook::Kind::MarkerLine;
      part.markers = std::make_shared<const SymbolLook>(ReadSymbol(subSymbol, undrawn, fixed, depth + 1, alpha));
      const std::string placement = ToLowerAscii(Get(properties, {"placement", "placements"}, "interval"));
      part.placement = placement.find("lastvertex") != std::string::npos    ? MarkerPlacement::LastVertex
                       : placement.find("firstvertex") != std::string::npos ? MarkerPlacement::FirstVertex
                       : placement.find("vertex") != std::string::npos      ? MarkerPlacement::Vertex
                       : placement.find("central") != std::string::npos     ? MarkerPlacement::CentralPoint
                                                                            : MarkerPlacement::Interval;
      part.interval = SizeOf(Get(properties, {"interval"}, "3"), Get(properties, {"interval_unit"}, "MM"), 3);
      part.offsetAlongLine = SizeOf(Get(properties, {"offset_along_line"}, "0"),
                                    Get(properties, {"offset_along_line_unit"}, "MM"), 0);
      part.rotateMarkers = Get(properties, {"rotate"}, "1") != "0";
    } else if (kind == "CentroidFill" && subSymbol != nullptr) {
      part.kind = SymbolLayerLook::Kind::CentroidFill;
      part.markers = std::make_shared<const SymbolLook>(ReadSymbol(subSymbol, undrawn, fixed, depth + 1, alpha));
      part.onEveryPart = Get(properties, {"point_on_all_parts"}, "1") != "0";
    } else {
      undrawn.insert(kind);  // gradients, pictures and the like stay QGIS's own
      continue;
    }
    CollectDataDefined(layer, kind, fixed);
    look.layers.push_back(part);
  }
  return look;
}

std::shared_ptr<const FilterExpression> ExpressionOf(const std::string& text) {
  return std::shared_ptr<const FilterExpression>(FilterExpression::Parse(text).release());
}

StyleRule ReadRule(const CPLXMLNode* element, const std::map<std::string, SymbolLook>& symbols,
                   std::vector<std::string>& unreadable, int depth = 0) {
  StyleRule rule;
  const std::string filter = Trim(CPLGetXMLValue(element, "filter", ""));
  if (EqualsIgnoringCase(filter, "ELSE")) {
    rule.isElse = true;
  } else if (!filter.empty()) {
    rule.filter = ExpressionOf(filter);
    if (!rule.filter) {
      rule.unreadable = true;
      unreadable.push_back(filter);
    }
  }
  rule.active = !EQUAL(CPLGetXMLValue(element, "checkstate", "1"), "0");
  rule.minimumScaleDenominator = RealOr(CPLGetXMLValue(element, "scalemindenom", "0"), 0);
  rule.maximumScaleDenominator = RealOr(CPLGetXMLValue(element, "scalemaxdenom", "0"), 0);
  const char* symbol = CPLGetXMLValue(element, "symbol", nullptr);
  if (symbol != nullptr)
    if (const auto found = symbols.find(symbol); found != symbols.end()) rule.symbol = found->second;
  for (const CPLXMLNode* child = element->psChild; child; child = child->psNext) {
    if (child->eType != CXT_Element || !EQUAL(child->pszValue, "rule")) continue;
    if (depth < kDeepestRule) {
      rule.children.push_back(ReadRule(child, symbols, unreadable, depth + 1));
    } else {
      rule.children.emplace_back().unreadable = true;
      unreadable.push_back(Trim(CPLGetXMLValue(child, "filter", "")));
    }
  }
  return rule;
}

// Nothing when the text holds no renderer we can read.
std::optional<LayerStyle> ParseStyle(const std::string& xml, StyleKind kind) {
  const CPLXMLTreeCloser tree(CPLParseXMLString(xml.c_str()));
  CPLXMLNode* qgis = tree ? CPLGetXMLNode(tree.get(), "=qgis") : nullptr;
  CPLXMLNode* renderer = qgis ? CPLGetXMLNode(qgis, "renderer-v2") : nullptr;
  if (renderer == nullptr) return std::nullopt;
  LayerStyle style;
  style.kind = kind;
  const std::string type = CPLGetXMLValue(renderer, "type", "");
  style.symbolLevels = EQUAL(CPLGetXMLValue(renderer, "symbollevels", "0"), "1");
  std::map<std::string, SymbolLook> symbols;
  const CPLXMLNode* symbolList = CPLGetXMLNode(renderer, "symbols");
  for (const CPLXMLNode* symbol = symbolList ? symbolList->psChild : nullptr; symbol; symbol = symbol->psNext)
    if (symbol->eType == CXT_Element && EQUAL(symbol->pszValue, "symbol"))
      symbols[CPLGetXMLValue(symbol, "name", "")] = ReadSymbol(symbol, style.undrawnSymbolLayers, style.fixedProperties);
  const auto childrenOf = [&](const char* list, const char* item) {
    std::vector<const CPLXMLNode*> children;
    const CPLXMLNode* parent = CPLGetXMLNode(renderer, list);
    for (const CPLXMLNode* child = parent ? parent->psChild : nullptr; child; child = child->psNext)
      if (child->eType == CXT_Element && EQUAL(child->pszValue, item)) children.push_back(child);
    return children;
  };
  const auto symbolOf = [&](const CPLXMLNode* item) -> std::optional<SymbolLook> {
    if (EQUAL(CPLGetXMLValue(item, "render", "true"), "false")) return std::nullopt;
    const auto symbol = symbols.find(CPLGetXMLValue(item, "symbol", ""));
    return symbol == symbols.end() ? std::nullopt : std::optional<SymbolLook>(symbol->second);
  };
  const auto readAttribute = [&] {
    style.attribute = CPLGetXMLValue(renderer, "attr", "ID");
    style.attributeExpression = ExpressionOf(style.attribute);
  };

  if (type == "nullSymbol") {
    style.renderer = LayerStyle::Renderer::SingleSymbol;  // no symbol: only the labels show
  } else if (type == "singleSymbol") {
    if (symbols.empty()) return std::nullopt;
    style.renderer = LayerStyle::Renderer::SingleSymbol;
    style.otherValues = symbols.count("0") ? symbols["0"] : symbols.begin()->second;
  } else if (type == "categorizedSymbol") {
    style.renderer = LayerStyle::Renderer::Categorized;
    readAttribute();
    for (const CPLXMLNode* category : childrenOf("categories", "category")) {
      SymbolLook look = symbolOf(category).value_or(SymbolLook{});
      // A category of several values lists them apart.
      std::vector<std::string> values;
      for (const CPLXMLNode* value = category->psChild; value; value = value->psNext)
        if (value->eType == CXT_Element && EQUAL(value->pszValue, "val")) values.push_back(CPLGetXMLValue(value, "value", ""));
      if (values.empty()) values.push_back(CPLGetXMLValue(category, "value", ""));
      for (const std::string& value : values) {
        if (value.empty())
          style.otherValues = look;
        else
          style.categories.emplace_back(value, look);
      }
    }
    for (size_t i = 0; i < style.categories.size(); ++i) {
      const std::string& value = style.categories[i].first;
      style.categoryByText[value] = i;
      const auto number = ExpressionValue::Of(value).asNumber();
      if (number && !std::isnan(*number)) style.categoryByNumber[*number] = i;
    }
  } else if (type == "graduatedSymbol") {
    style.renderer = LayerStyle::Renderer::Graduated;
    readAttribute();
    for (const CPLXMLNode* range : childrenOf("ranges", "range"))
      style.ranges.push_back(LayerStyle::Range{RealOr(CPLGetXMLValue(range, "lower", "0"), 0),
                                               RealOr(CPLGetXMLValue(range, "upper", "0"), 0), symbolOf(range)});
  } else if (type == "RuleRenderer") {
    style.renderer = LayerStyle::Renderer::RuleBased;
    if (const CPLXMLNode* rules = CPLGetXMLNode(renderer, "rules"))
      style.rootRule = ReadRule(rules, symbols, style.unreadableFilters);
  } else {
    return std::nullopt;
  }
  style.rendererXml = SerializedElement(renderer);
  return style;
}
}  // namespace

QColor StyleColor(const std::string& text, double opacity) { return ColorOf(text, opacity); }
SizeUnit StyleUnit(const std::string& text) { return UnitOf(text); }

double SymbolScale::pixels(const StyleSize& size) const {
  switch (size.unit) {
    case SizeUnit::Points:
      return size.value * 25.4 / 72 * pixelsPerMm;
    case SizeUnit::Pixels:
      return size.value;
    case SizeUnit::MapUnits:
      return size.value * pixelsPerMapUnit;
    case SizeUnit::Inches:
      return size.value * 25.4 * pixelsPerMm;
    case SizeUnit::Millimetres:
      break;
  }
  return size.value * pixelsPerMm;
}

namespace {

// The category of a value as QGIS finds it: by the value's text, the last of equal ones
// winning; a number also by its value, since data sources write numbers their own way.
const SymbolLook* CategoryOf(const LayerStyle& style, const ExpressionValue& value) {
  if (const auto found = style.categoryByText.find(value.asText()); found != style.categoryByText.end())
    return &style.categories[found->second].second;
  if (value.kind != ExpressionValue::Kind::Number || std::isnan(value.number)) return nullptr;
  const auto found = style.categoryByNumber.find(value.number);
  return found == style.categoryByNumber.end() ? nullptr : &style.categories[found->second].second;
}

bool ScaleShows(const StyleRule& rule, double scale) {
  if (scale <= 0) return true;
  if (rule.minimumScaleDenominator > 0 && rule.minimumScaleDenominator > scale) return false;
  if (rule.maximumScaleDenominator > 0 && rule.maximumScaleDenominator < scale) return false;
  return true;
}

enum class RuleResult { Filtered, Inactive, Rendered };

// As QGIS goes through rules: a rule's symbol, then its rules in order, then its else rules
// when none of the others took the feature. A rule switched off or out of its scales draws
// nothing, yet takes the features its filter matches from the else rules beside it.
RuleResult ApplyRule(const StyleRule& rule, const FieldValues& fields, double scale,
                     std::vector<const SymbolLook*>& looks) {
  if (rule.unreadable) return RuleResult::Filtered;
  if (rule.filter && !rule.filter->matches(fields)) return RuleResult::Filtered;
  if (!rule.active || !ScaleShows(rule, scale)) return RuleResult::Inactive;
  bool rendered = false;
  if (rule.symbol) {
    looks.push_back(&*rule.symbol);
    rendered = true;
  }
  bool matchedAChild = false;
  const auto apply = [&](const StyleRule& child) {
    const RuleResult result = ApplyRule(child, fields, scale, looks);
    matchedAChild = matchedAChild || result != RuleResult::Filtered;
    rendered = rendered || result == RuleResult::Rendered;
  };
  for (const StyleRule& child : rule.children)
    if (!child.isElse) apply(child);
  if (!matchedAChild)
    for (const StyleRule& child : rule.children)
      if (child.isElse) apply(child);
  return rendered ? RuleResult::Rendered : RuleResult::Filtered;
}

void CollectPasses(const SymbolLook& look, std::set<int>& passes) {
  for (const auto& layer : look.layers) passes.insert(layer.pass);
}

void CollectRulePasses(const StyleRule& rule, std::set<int>& passes) {
  if (rule.symbol) CollectPasses(*rule.symbol, passes);
  for (const auto& child : rule.children) CollectRulePasses(child, passes);
}

}  // namespace

void LayerStyle::resolveAttribute(const OGRFeatureDefn& fields) {
  if (attributeExpression && fields.GetFieldIndex(attribute.c_str()) >= 0) attributeExpression.reset();
}

const SymbolLook* LayerStyle::lookFor(const std::string& value) const {
  if (const SymbolLook* look = CategoryOf(*this, ExpressionValue::Of(value))) return look;
  return otherValues ? &*otherValues : nullptr;
}

void LayerStyle::looksFor(const FieldValues& fields, double scale, std::vector<const SymbolLook*>& looks) const {
  looks.clear();
  if (renderer == Renderer::SingleSymbol) {
    if (otherValues) looks.push_back(&*otherValues);
    return;
  }
  if (renderer == Renderer::RuleBased) {
    ApplyRule(rootRule, fields, scale, looks);
    return;
  }
  const ExpressionValue value = attributeExpression ? attributeExpression->evaluate(fields) : fields(attribute);
  if (renderer == Renderer::Categorized) {
    if (const SymbolLook* look = value.isNull() ? nullptr : CategoryOf(*this, value))
      looks.push_back(look);
    else if (otherValues)
      looks.push_back(&*otherValues);
    return;
  }
  // NULL is not drawn; a text that is no number counts as 0, as QGIS reads it.
  if (value.isNull()) return;
  const double number = value.asNumber().value_or(0);
  // Bounds are inclusive and the first range holding the value takes it; a value just
  // outside every range by rounding still finds its range.
  for (int pass = 0; pass < 2; ++pass)
    for (const Range& range : ranges) {
      const double tolerance = pass == 0 ? 0 : 1e-8 * std::max({1.0, std::fabs(range.lower), std::fabs(range.upper)});
      if (range.lower - tolerance <= number && number <= range.upper + tolerance) {
        if (range.look) looks.push_back(&*range.look);
        return;
      }
    }
}

std::set<int> LayerStyle::passes() const {
  std::set<int> result;
  for (const auto& category : categories) CollectPasses(category.second, result);
  if (otherValues) CollectPasses(*otherValues, result);
  for (const auto& range : ranges)
    if (range.look) CollectPasses(*range.look, result);
  CollectRulePasses(rootRule, result);
  if (result.empty()) result.insert(0);
  return result;
}

std::string BuiltInStyleFileText(StyleKind kind) {
  std::ostringstream out;
  out << "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
      << "<qgis version=\"3.22.16-Białowieża\" styleCategories=\"Symbology\">\n"
      << "  <renderer-v2 type=\"categorizedSymbol\" attr=\"ID\" symbollevels=\""
      << (kind == StyleKind::Polygons ? 1 : 0) << "\" enableorderby=\"0\" "
         "forceraster=\"0\" referencescale=\"-1\">\n    <categories>\n";
  const auto categories = BuiltInCategories(kind);
  for (size_t i = 0; i < categories.size(); ++i)
    out << "      <category value=\"" << categories[i].value << "\" label=\"" << XmlEscaped(categories[i].label)
        << "\" symbol=\"" << i << "\" render=\"true\"/>\n";
  out << "    </categories>\n    <symbols>\n";
  for (size_t i = 0; i < categories.size(); ++i)
    SymbolXml(out, static_cast<int>(i), kind, categories[i].look,
              kind == StyleKind::Polygons ? BuiltInLevel(categories[i].value) : 0);
  out << "    </symbols>\n  </renderer-v2>\n  <blendMode>0</blendMode>\n  <featureBlendMode>0</featureBlendMode>\n"
      << "  <layerGeometryType>" << (kind == StyleKind::Lines ? 1 : 2) << "</layerGeometryType>\n</qgis>\n";
  return out.str();
}

std::optional<LayerStyle> StyleFromText(const std::string& qmlText, StyleKind kind) {
  if (qmlText.empty()) return std::nullopt;
  return ParseStyle(qmlText, kind);
}

LayerStyle BuiltInStyle(StyleKind kind) { return *ParseStyle(BuiltInStyleFileText(kind), kind); }

LayerStyle ReadStyleFile(const std::string& path, StyleKind kind) {
  const std::string xml = ReadTextFile(path);
  if (xml.empty()) throw FramoraError("样式文件" + path + "不存在");
  std::optional<LayerStyle> style = ParseStyle(xml, kind);
  if (!style) throw FramoraError("样式文件" + path + "无法读取");
  return *style;
}

LayerStyles LoadLayerStyles(const std::string& folder) {
  LayerStyles styles;
  const auto load = [&](const char* fileName, StyleKind kind, std::string& usedPath) {
    const std::string path = (std::filesystem::path(folder) / fileName).string();
    try {
      LayerStyle style = ReadStyleFile(path, kind);
      usedPath = path;
      return style;
    } catch (const FramoraError& error) {
      styles.notices.push_back(std::string(error.what()) + "，使用内置样式");
      return BuiltInStyle(kind);
    }
  };
  styles.lines = load(kLineStyleFile, StyleKind::Lines, styles.lineStylePath);
  styles.polygons = load(kPolygonStyleFile, StyleKind::Polygons, styles.polygonStylePath);
  return styles;
}

}  // namespace framora
