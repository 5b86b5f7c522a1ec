#include "layout/layer_style.h"

#include <cpl_minixml.h>
#include <cpl_string.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "gis/xml_text.h"
#include "util/framora_error.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {

const SymbolLook* CategorizedStyle::lookFor(const std::string& value) const {
  for (const auto& [categoryValue, look] : categories)
    if (categoryValue == value) return &look;
  return otherValues ? &*otherValues : nullptr;
}

namespace {

// ---- the built-in style --------------------------------------------------------------

struct CategorySpec {
  const char* value;  // "" for all other values
  const char* label;
  SymbolLayerLook look;
};

SymbolLayerLook Stroke(double widthMm) {
  SymbolLayerLook look;
  look.strokeWidth = widthMm;
  return look;
}

SymbolLayerLook Fill(QColor color, bool outline = false) {
  SymbolLayerLook look;
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
  SymbolLayerLook other;
  other.strokeWidth = 0.1;
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
    OptionLine(out, "line_width", NumberText(look.strokeWidth, 6));
    OptionLine(out, "line_width_unit", "MM");
  } else {
    OptionLine(out, "color", ColorText(look.fillColor));
    OptionLine(out, "joinstyle", "miter");
    OptionLine(out, "outline_color", ColorText(look.strokeColor));
    OptionLine(out, "outline_style", look.stroke ? "solid" : "no");
    OptionLine(out, "outline_width", NumberText(look.strokeWidth, 6));
    OptionLine(out, "outline_width_unit", "MM");
    OptionLine(out, "style", look.fill ? "solid" : "no");
  }
  out << "          </Option>\n        </layer>\n      </symbol>\n";
}

// ---- reading ---------------------------------------------------------------------------

struct XmlTreeHolder {
  CPLXMLNode* root;
  ~XmlTreeHolder() {
    if (root) CPLDestroyXMLNode(root);
  }
};

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
double RealOr(const char* text, double fallback) { return ParseDecimal(text, NumberForm::Forgiving).value_or(fallback); }

QColor ColorOf(const std::string& text, double symbolAlpha) {
  const CPLStringList parts(CSLTokenizeString2(text.c_str(), ",", 0));
  if (parts.size() < 3) return Qt::black;
  QColor color(WholeOr(parts[0], 0), WholeOr(parts[1], 0), WholeOr(parts[2], 0),
               parts.size() > 3 ? WholeOr(parts[3], 255) : 255);
  color.setAlphaF(color.alphaF() * symbolAlpha);
  return color;
}

// Paper millimetres, or pixels when the unit says so.
double WidthOf(const std::string& value, const std::string& unit, bool& inPixels) {
  const double width = RealOr(value.c_str(), 0);
  inPixels = unit == "Pixel";
  if (unit == "Point") return width * 25.4 / 72;
  if (unit == "Inch") return width * 25.4;
  return width;
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

std::string Get(const std::map<std::string, std::string>& properties, const char* key, const char* fallback) {
  const auto found = properties.find(key);
  return found == properties.end() ? fallback : found->second;
}

SymbolLook ReadSymbol(const CPLXMLNode* symbol, std::set<std::string>& undrawn) {
  SymbolLook look;
  const double alpha = RealOr(CPLGetXMLValue(symbol, "alpha", "1"), 1);
  bool firstLayer = true;
  for (const CPLXMLNode* layer = symbol->psChild; layer; layer = layer->psNext) {
    if (layer->eType != CXT_Element || !EQUAL(layer->pszValue, "layer")) continue;
    if (EQUAL(CPLGetXMLValue(layer, "enabled", "1"), "0")) continue;
    if (firstLayer) look.level = WholeOr(CPLGetXMLValue(layer, "pass", "0"), 0);
    firstLayer = false;
    const std::string kind = CPLGetXMLValue(layer, "class", "");
    const auto properties = LayerProperties(layer);
    SymbolLayerLook part;
    if (kind == "SimpleLine") {
      part.stroke = Get(properties, "line_style", "solid") != "no";
      part.strokeColor = ColorOf(Get(properties, "line_color", "0,0,0,255"), alpha);
      part.strokeWidth = WidthOf(Get(properties, "line_width", "0.26"), Get(properties, "line_width_unit", "MM"),
                                 part.strokeInPixels);
      part.cap = CapOf(Get(properties, "capstyle", "square"));
      part.join = JoinOf(Get(properties, "joinstyle", "bevel"));
    } else if (kind == "SimpleFill") {
      part.fill = Get(properties, "style", "solid") != "no";
      part.fillColor = ColorOf(Get(properties, "color", "255,255,255,255"), alpha);
      part.stroke = Get(properties, "outline_style", "solid") != "no";
      part.strokeColor = ColorOf(Get(properties, "outline_color", "35,35,35,255"), alpha);
      part.strokeWidth = WidthOf(Get(properties, "outline_width", "0.26"),
                                 Get(properties, "outline_width_unit", "MM"), part.strokeInPixels);
      part.join = JoinOf(Get(properties, "joinstyle", "bevel"));
    } else {
      undrawn.insert(kind);  // marker lines, gradients and the like stay QGIS's own
      continue;
    }
    look.layers.push_back(part);
  }
  return look;
}

// Nothing when the text holds no renderer we can read.
std::optional<CategorizedStyle> ParseStyle(const std::string& xml, StyleKind kind) {
  XmlTreeHolder tree{CPLParseXMLString(xml.c_str())};
  CPLXMLNode* qgis = tree.root ? CPLGetXMLNode(tree.root, "=qgis") : nullptr;
  CPLXMLNode* renderer = qgis ? CPLGetXMLNode(qgis, "renderer-v2") : nullptr;
  if (renderer == nullptr) return std::nullopt;
  CategorizedStyle style;
  style.kind = kind;
  const std::string type = CPLGetXMLValue(renderer, "type", "");
  style.symbolLevels = EQUAL(CPLGetXMLValue(renderer, "symbollevels", "0"), "1");
  std::map<std::string, SymbolLook> symbols;
  for (const CPLXMLNode* symbol = CPLGetXMLNode(renderer, "symbols") ? CPLGetXMLNode(renderer, "symbols")->psChild
                                                                      : nullptr;
       symbol; symbol = symbol->psNext)
    if (symbol->eType == CXT_Element && EQUAL(symbol->pszValue, "symbol"))
      symbols[CPLGetXMLValue(symbol, "name", "")] = ReadSymbol(symbol, style.undrawnSymbolLayers);

  if (type == "singleSymbol") {
    if (symbols.empty()) return std::nullopt;
    style.otherValues = symbols.begin()->second;
  } else if (type == "categorizedSymbol") {
    style.attribute = CPLGetXMLValue(renderer, "attr", "ID");
    const CPLXMLNode* categories = CPLGetXMLNode(renderer, "categories");
    for (const CPLXMLNode* category = categories ? categories->psChild : nullptr; category;
         category = category->psNext) {
      if (category->eType != CXT_Element || !EQUAL(category->pszValue, "category")) continue;
      const auto symbol = symbols.find(CPLGetXMLValue(category, "symbol", ""));
      const bool rendered = !EQUAL(CPLGetXMLValue(category, "render", "true"), "false");
      SymbolLook look = symbol != symbols.end() && rendered ? symbol->second : SymbolLook{};
      const std::string value = CPLGetXMLValue(category, "value", "");
      if (value.empty())
        style.otherValues = look;
      else
        style.categories.emplace_back(value, look);
    }
  } else {
    return std::nullopt;
  }
  style.rendererXml = SerializedElement(renderer);
  return style;
}

}  // namespace

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

std::optional<CategorizedStyle> StyleFromText(const std::string& qmlText, StyleKind kind) {
  if (qmlText.empty()) return std::nullopt;
  return ParseStyle(qmlText, kind);
}

CategorizedStyle BuiltInStyle(StyleKind kind) { return *ParseStyle(BuiltInStyleFileText(kind), kind); }

CategorizedStyle ReadStyleFile(const std::string& path, StyleKind kind) {
  const std::string xml = ReadTextFile(path);
  if (xml.empty()) throw FramoraError("样式文件" + path + "不存在");
  std::optional<CategorizedStyle> style = ParseStyle(xml, kind);
  if (!style) throw FramoraError("样式文件" + path + "无法读取");
  return *style;
}

LayerStyles LoadLayerStyles(const std::string& folder) {
  LayerStyles styles;
  const auto load = [&](const char* fileName, StyleKind kind, std::string& usedPath) {
    const std::string path = (std::filesystem::path(folder) / fileName).string();
    try {
      CategorizedStyle style = ReadStyleFile(path, kind);
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
