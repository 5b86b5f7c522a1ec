#include "layout/map_document_writer.h"

#include <cpl_vsi.h>
#include <ogr_spatialref.h>

#include <QByteArray>
#include <QFont>
#include <QFontMetricsF>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <set>
#include <utility>

#include "layout/gui_application.h"
#include "layout/map_text.h"
#include "util/files.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

namespace {

// Layout item types as QGIS stores them (QgsLayoutItemRegistry: QGraphicsItem::UserType + n).
constexpr int kLayoutPageItem = 65638;
constexpr int kLayoutMapItem = 65639;
constexpr int kLayoutPolygonItem = 65644;

// QGIS's kind of data-defined property given by an expression.
constexpr int kExpressionProperty = 3;

QString Q(const std::string& text) { return QString::fromStdString(text); }

using Attribute = std::pair<const char*, std::string>;

void StartElement(QXmlStreamWriter& xml, const char* name, std::initializer_list<Attribute> attributes = {}) {
  xml.writeStartElement(QLatin1String(name));
  for (const auto& [attribute, value] : attributes) xml.writeAttribute(QLatin1String(attribute), Q(value));
}

void EmptyElement(QXmlStreamWriter& xml, const char* name, std::initializer_list<Attribute> attributes) {
  xml.writeEmptyElement(QLatin1String(name));
  for (const auto& [attribute, value] : attributes) xml.writeAttribute(QLatin1String(attribute), Q(value));
}

void TextElement(QXmlStreamWriter& xml, const char* name, const std::string& text) {
  xml.writeTextElement(QLatin1String(name), Q(text));
}

// An <Option> of QGIS's settings maps.
void Option(QXmlStreamWriter& xml, const char* name, const std::string& value, const char* type) {
  EmptyElement(xml, "Option", {{"name", name}, {"value", value}, {"type", type}});
}

// Walks a piece of XML (one or more sibling elements), handing each token to write; false
// when it is not well formed.
template <typename Write>
bool ReadFragment(const std::string& fragment, Write&& write) {
  QXmlStreamReader reader(Q("<fragment>" + fragment + "</fragment>"));
  int depth = 0;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement() && depth++ == 0) continue;
    if (reader.isEndElement() && --depth == 0) continue;
    if (depth > 0) write(reader);
  }
  return !reader.hasError();
}

// Copies ready-made XML (a style's renderer) into the project.
void WriteFragment(QXmlStreamWriter& xml, const std::string& fragment) {
  ReadFragment(fragment, [&](const QXmlStreamReader& reader) { xml.writeCurrentToken(reader); });
}

// Copies ready-made XML, letting adjust change the attributes of the elements named element.
template <typename Adjust>
void WriteAdjustedFragment(QXmlStreamWriter& xml, const std::string& fragment, const char* element, Adjust&& adjust) {
  ReadFragment(fragment, [&](const QXmlStreamReader& reader) {
    if (!reader.isStartElement() || reader.name() != QLatin1String(element)) {
      xml.writeCurrentToken(reader);
      return;
    }
    QXmlStreamAttributes attributes = reader.attributes();
    adjust(attributes);
    xml.writeStartElement(reader.name().toString());
    xml.writeAttributes(attributes);
  });
}

// A path as the project reads it: "./" or "../" before a path relative to its folder.
std::string ProjectPath(const std::string& path, const fs::path& projectFolder) {
  if (path.empty() || path.rfind("/vsi", 0) == 0) return path;
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error).lexically_normal();
  const fs::path relative = absolute.lexically_relative(projectFolder);
  if (error || relative.empty()) return path;
  const std::string text = relative.generic_string();
  return text.rfind("../", 0) == 0 ? text : "./" + text;
}

std::string DataSource(const MapLayer& layer, const fs::path& projectFolder) {
  std::string source = ProjectPath(layer.source, projectFolder);
  if (!layer.sourceLayer.empty()) source += "|layername=" + layer.sourceLayer;
  if (!layer.subset.empty()) source += "|subset=" + layer.subset;
  return source;
}

const char* ProviderKey(const MapLayer& layer) { return layer.isRaster ? "gdal" : "ogr"; }

// One element of a kept style (a child of its wrapper), as XML; empty when it is missing or
// not well formed.
std::string KeptElement(const std::string& style, const char* element) {
  QXmlStreamReader reader(Q(style));
  QString kept;
  QXmlStreamWriter writer(&kept);
  int depth = 0, keptDepth = 0;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement() && ++depth == 2 && keptDepth == 0 && reader.name() == QLatin1String(element))
      keptDepth = depth;
    if (keptDepth > 0) writer.writeCurrentToken(reader);
    if (reader.isEndElement() && depth-- == keptDepth && keptDepth > 0) return kept.toStdString();
  }
  return {};
}

void WriteSpatialRefSys(QXmlStreamWriter& xml, const std::string& wkt) {
  OGRSpatialReference srs;
  std::string wkt2, authority;
  if (!wkt.empty() && srs.importFromWkt(wkt.c_str()) == OGRERR_NONE) {
    const char* options[] = {"FORMAT=WKT2_2018", nullptr};
    char* text = nullptr;
    if (srs.exportToWkt(&text, options) == OGRERR_NONE && text) wkt2 = text;
    CPLFree(text);
    if (srs.GetAuthorityName(nullptr) == nullptr) srs.AutoIdentifyEPSG();
    if (const char* name = srs.GetAuthorityName(nullptr))
      if (const char* code = srs.GetAuthorityCode(nullptr)) authority = std::string(name) + ":" + code;
  }
  StartElement(xml, "spatialrefsys");
  TextElement(xml, "wkt", wkt2);
  if (!authority.empty()) TextElement(xml, "authid", authority);
  TextElement(xml, "description", srs.GetName() ? srs.GetName() : "");
  xml.writeEndElement();
}

const char* GeometryName(OGRwkbGeometryType type) {
  switch (wkbFlatten(type)) {
    case wkbPoint:
    case wkbMultiPoint:
      return "Point";
    case wkbLineString:
    case wkbMultiLineString:
    case wkbCircularString:
    case wkbCompoundCurve:
    case wkbMultiCurve:
      return "Line";
    case wkbPolygon:
    case wkbMultiPolygon:
    case wkbCurvePolygon:
    case wkbMultiSurface:
      return "Polygon";
    default:
      return "Unknown";
  }
}

// A symbol of one simple layer: the layer's class and its settings.
void WriteSymbol(QXmlStreamWriter& xml, const char* name, const char* type, const char* layerClass,
                 std::initializer_list<std::pair<const char*, const char*>> options) {
  StartElement(xml, "symbol", {{"name", name}, {"type", type}, {"alpha", "1"}, {"clip_to_extent", "1"}, {"force_rhr", "0"}});
  StartElement(xml, "layer", {{"class", layerClass}, {"enabled", "1"}, {"locked", "0"}, {"pass", "0"}});
  StartElement(xml, "Option", {{"type", "Map"}});
  for (const auto& [option, value] : options) Option(xml, option, value, "QString");
  xml.writeEndElement();
  xml.writeEndElement();
  xml.writeEndElement();
}

// The look the renderer gives the user's layers, for QGIS.
void WriteUserDataRenderer(QXmlStreamWriter& xml, OGRwkbGeometryType type) {
  const std::string geometry = GeometryName(type);
  StartElement(xml, "renderer-v2",
               {{"type", "singleSymbol"}, {"symbollevels", "0"}, {"forceraster", "0"}, {"enableorderby", "0"}});
  StartElement(xml, "symbols");
  if (geometry == "Point") {
    WriteSymbol(xml, "0", "marker", "SimpleMarker",
                {{"name", "circle"}, {"color", "60,60,60,255"}, {"outline_style", "no"}, {"size", "1.5"}, {"size_unit", "MM"}});
  } else if (geometry == "Line") {
    WriteSymbol(xml, "0", "line", "SimpleLine",
                {{"line_color", "60,60,60,255"}, {"line_width", "0.2"}, {"line_width_unit", "MM"}});
  } else {
    WriteSymbol(xml, "0", "fill", "SimpleFill",
                {{"style", "no"}, {"outline_color", "90,90,90,255"}, {"outline_width", "0.15"}, {"outline_width_unit", "MM"}});
  }
  xml.writeEndElement();
  xml.writeEndElement();
}

void WriteProperty(QXmlStreamWriter& xml, const char* name, const std::string& expression) {
  StartElement(xml, "Option", {{"name", name}, {"type", "Map"}});
  Option(xml, "active", "true", "bool");
  Option(xml, "expression", expression, "QString");
  Option(xml, "type", std::to_string(kExpressionProperty), "int");
  xml.writeEndElement();
}

// A string in a QGIS expression.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// The font names of the texts: the Windows faces of the substitution table and whatever the
// text class names besides, so each can be given the face the pictures draw it with.
std::set<std::string> TextFaceNames(const LayoutLayer& texts) {
  std::set<std::string> names{""};
  for (const FaceSubstitution& substitution : FaceSubstitutions()) names.insert(substitution.windowsFace);
  if (OGRLayer* layer = texts.openClass) {
    const int field = layer->GetLayerDefn()->GetFieldIndex("FontName");
    layer->ResetReading();
    if (field >= 0)
      for (const auto& feature : *layer)
        if (feature->IsFieldSetAndNotNull(field)) names.insert(feature->GetFieldAsString(field));
    layer->ResetReading();
  }
  return names;
}

const char* const kFontNameField = "coalesce(\"FontName\", '')";

// The face the label takes is the one the pictures draw with: a face that is not installed
// becomes its first installed stand-in (an unknown one 宋体's, as in the pictures).
std::string FamilyExpression(const std::set<std::string>& faceNames) {
  std::string expression = "CASE";
  for (const std::string& name : faceNames) {
    const std::string drawn = InstalledFace(name).toStdString();
    if (drawn == name) continue;
    expression += std::string(" WHEN ") + kFontNameField + " = " + Quoted(name) + " THEN " + Quoted(drawn);
  }
  return expression == "CASE" ? "\"FontName\"" : expression + " ELSE \"FontName\" END";
}

// A number per face the texts are drawn with, from its metrics at 1000 pixels to the em.
template <typename Measure>
std::string FaceMetricExpression(const std::set<std::string>& faceNames, Measure&& measure, const char* otherwise) {
  std::string expression = "CASE";
  for (const std::string& name : faceNames) {
    QFont font(InstalledFace(name));
    font.setPixelSize(1000);
    const double value = measure(QFontMetricsF(font));
    if (!(value > 0)) continue;
    expression += std::string(" WHEN ") + kFontNameField + " = " + Quoted(name) + " THEN " + NumberText(value, 6);
  }
  return expression + " ELSE " + otherwise + " END";
}

// Lines one em apart as in the pictures: QGIS 3.22 spaces a label's lines by a factor of the
// face's ascent (measured: with the line spacing instead, eight lines of 宋体 drift 3 mm).
std::string LineHeightExpression(const std::set<std::string>& faceNames) {
  return FaceMetricExpression(faceNames, [](const QFontMetricsF& metrics) { return 1000 / metrics.ascent(); }, "1");
}

// How far above the point QGIS 3.22 draws a label aligned on its base, in em, for the
// stand-in faces: measured against the pictures at 300 dpi (the rendering comparison test
// checks them); the shift is the face's own, none for faces not listed.
std::string BaselineShiftExpression(const std::set<std::string>& faceNames) {
  static const std::map<std::string, double> shifts = {
      {"AR PL SungtiL GB", 0.121}, {"AR PL KaitiM GB", 0.121}, {"WenQuanYi Zen Hei Mono", -0.083}};
  std::string expression = "CASE";
  for (const std::string& name : faceNames) {
    const auto shift = shifts.find(InstalledFace(name).toStdString());
    if (shift == shifts.end()) continue;
    expression += std::string(" WHEN ") + kFontNameField + " = " + Quoted(name) + " THEN " + NumberText(shift->second, 6);
  }
  return expression == "CASE" ? "0" : expression + " ELSE 0 END";
}

// Ground metres in a unit of the map QGIS draws (sizes are counted in it) and in a unit of
// the text class along x and y (positions are): they differ where a geographic sheet is shown
// in its zone's metres.
struct TextUnits {
  double map = 1;
  double classX = 1, classY = 1;
};

// Every text with its own point, alignment, font, size and colour, as data-defined labels.
void WriteTextLabeling(QXmlStreamWriter& xml, const std::set<std::string>& faceNames, double referenceScale,
                       const TextUnits& units) {
  // The text's size on the ground at the reference scale, in units of that many metres.
  const auto sizeIn = [&](double metresPerUnit) {
    return "(\"FontSize\" * " + NumberText(25.4 / 72 / 1000 * referenceScale / metresPerUnit, 15) + ")";
  };
  const std::string size = sizeIn(units.map);
  const std::string horizontal =
      "CASE WHEN \"HorizontalAlignment\" = 0 THEN 'Left' WHEN \"HorizontalAlignment\" = 1 THEN 'Center' ELSE 'Right' END";
  StartElement(xml, "labeling", {{"type", "simple"}});
  StartElement(xml, "settings", {{"calloutType", "simple"}});
  StartElement(xml, "text-style",
               {{"fieldName", "replace(\"TextString\", char(13), '')"}, {"isExpression", "1"},
                {"fontFamily", InstalledFace("宋体").toStdString()}, {"fontSize", "10"}, {"fontSizeUnit", "MapUnit"},
                {"textColor", "0,0,0,255"}, {"textOpacity", "1"}, {"multilineHeight", "1"}, {"fontLetterSpacing", "0"},
                {"fontWordSpacing", "0"}, {"fontKerning", "1"}, {"allowHtml", "0"}, {"capitalization", "0"},
                {"blendMode", "0"}, {"textOrientation", "horizontal"}});
  EmptyElement(xml, "text-buffer", {{"bufferDraw", "0"}});
  EmptyElement(xml, "background", {{"shapeDraw", "0"}});
  EmptyElement(xml, "shadow", {{"shadowDraw", "0"}});
  xml.writeEndElement();
  EmptyElement(xml, "text-format", {{"multilineAlign", "3"}, {"wrapChar", ""}, {"autoWrapLength", "0"}});
  EmptyElement(xml, "placement",
               {{"placement", "1"}, {"quadOffset", "4"}, {"dist", "0"}, {"xOffset", "0"}, {"yOffset", "0"},
                {"rotationAngle", "0"}, {"priority", "5"}, {"offsetType", "0"}});
  EmptyElement(xml, "rendering",
               {{"drawLabels", "1"}, {"displayAll", "1"}, {"obstacle", "0"}, {"upsidedownLabels", "2"},
                {"labelPerPart", "0"}, {"mergeLines", "0"}, {"scaleVisibility", "0"}, {"fontLimitPixelSize", "0"},
                {"limitNumLabels", "0"}, {"zIndex", "0"}});
  StartElement(xml, "dd_properties");
  StartElement(xml, "Option", {{"type", "Map"}});
  Option(xml, "name", "", "QString");
  StartElement(xml, "Option", {{"name", "properties"}, {"type", "Map"}});
  WriteProperty(xml, "Bold", "\"Bold\" <> 0");
  WriteProperty(xml, "Color", "color_rgb((\"Color\" // 65536) % 256, (\"Color\" // 256) % 256, \"Color\" % 256)");
  WriteProperty(xml, "Family", FamilyExpression(faceNames));
  // A percentage of each character's width after it, the last one's excepted. QGIS adds one
  // spacing after every character, the last one's included, and aligns on that: the spacing
  // that gives the text the pictures' width is shared among the gaps, and the point moves by
  // the last one's share of the alignment (exact for texts of one kind of character; for
  // mixed ones the ends agree and the characters between move a little).
  const std::string flat = "replace(replace(\"TextString\", char(13), ''), char(10), '')";
  const std::string characters = "max(length(" + flat + "), 1)";
  const std::string bytes = "(2 * " + characters + " - length(regexp_replace(" + flat + ", '[^ -~]', '')))";
  const std::string lastCell = "CASE WHEN regexp_match(right(" + flat + ", 1), '[^ -~]') > 0 THEN 1 ELSE 0.5 END";
  const auto spacingIn = [&](const std::string& textSize) {
    return "(\"CharacterSpacing\" / 100 * " + textSize + " * (" + bytes + " / 2 - " + lastCell + ") / max(" +
           characters + " - 1, 1))";
  };
  WriteProperty(xml, "FontLetterSpacing", spacingIn(size));
  const std::string alignmentShare =
      "CASE WHEN \"HorizontalAlignment\" = 0 THEN 0 WHEN \"HorizontalAlignment\" = 1 THEN 0.5 ELSE 1 END";
  WriteProperty(xml, "PositionX", "$x + " + spacingIn(sizeIn(units.classX)) + " * " + alignmentShare);
  WriteProperty(xml, "Hali", horizontal);
  WriteProperty(xml, "Italic", "\"Italic\" <> 0");
  WriteProperty(xml, "MultiLineAlignment", horizontal);
  // Texts sit on the model's em box: the last line's baseline is placed, its distance from
  // the anchor counted in em as the pictures count it.
  const std::string lineCount =
      "(length(replace(\"TextString\", char(13), '')) - length(replace(replace(\"TextString\", char(13), ''), "
      "char(10), '')) + 1)";
  const std::string blockShare =
      "CASE WHEN \"VerticalAlignment\" = 0 THEN 0 WHEN \"VerticalAlignment\" = 1 THEN 0.5 ELSE 1 END";
  WriteProperty(xml, "MultiLineHeight", LineHeightExpression(faceNames));
  WriteProperty(xml, "PositionY", "$y + " + sizeIn(units.classY) + " * (" + blockShare + " * " + lineCount + " - (" + lineCount +
                                      " - 1) - " + NumberText(kEmBaseline, 6) + " - " +
                                      BaselineShiftExpression(faceNames) + ")");
  WriteProperty(xml, "Size", size);
  WriteProperty(xml, "Underline", "\"Underline\" <> 0");
  WriteProperty(xml, "Vali", "'Base'");
  xml.writeEndElement();
  Option(xml, "type", "collection", "QString");
  xml.writeEndElement();
  xml.writeEndElement();
  xml.writeEndElement();
  xml.writeEndElement();
}

struct ProjectLayer {
  std::string id;
  const LayoutLayer* layer;
  const MapFrame* frame;
};

std::string Uuid(const std::string& seed) {
  return QUuid::createUuidV5(QUuid("{6d1c7f32-8f4e-4f57-9a0c-1f0e2a3b4c5d}"), QString::fromStdString(seed))
      .toString()
      .toStdString();
}

// QGIS keeps a layer's id only when it is longer than ten characters.
std::string LayerId(const std::string& layerName, size_t index) {
  std::string id = "layer_" + std::to_string(index) + "_" + Uuid(layerName + "#" + std::to_string(index)).substr(1, 36);
  for (char& c : id)
    if (c == '-') c = '_';
  return id;
}

std::string PageSize(double width, double height, const std::string& units) {
  return NumberText(width, 15) + "," + NumberText(height, 15) + "," + units;
}

// The clip shape as one ring in layout millimetres (y down from the top): a polygon item holds
// a single ring, so every outer ring and hole is traced in turn from the first point and back
// to it. The seams run there and back along the same segment and enclose nothing; holes turn
// against their outer ring, so the ring covers the shape under either fill rule.
std::vector<QPointF> ClipOutline(const MapFrame& frame, double pageHeight) {
  std::vector<QPointF> outline;
  if (!frame.clipShape || frame.clipShape->IsEmpty() || !frame.hasExtent()) return outline;
  OGRGeometryUniquePtr polygons(OGRGeometryFactory::forceToMultiPolygon(frame.clipShape->getLinearGeometry()));
  if (!polygons || wkbFlatten(polygons->getGeometryType()) != wkbMultiPolygon) return outline;
  const Envelope& page = frame.pageEnvelope;
  const Envelope& extent = frame.extent;
  const auto onPage = [&](const OGRPoint& point) {
    return QPointF(page.xmin + (point.getX() - extent.xmin) * page.width() / extent.width(),
                   pageHeight - (page.ymin + (point.getY() - extent.ymin) * page.height() / extent.height()));
  };
  const auto trace = [&](const OGRLinearRing& ring, bool clockwise) {
    if (ring.getNumPoints() < 4) return;
    std::vector<QPointF> points;
    for (const OGRPoint& point : ring) points.push_back(onPage(point));
    if (points.front() != points.back()) points.push_back(points.front());
    if (ring.isClockwise() != clockwise) std::reverse(points.begin(), points.end());
    const bool first = outline.empty();
    outline.insert(outline.end(), points.begin(), points.end());
    if (!first) outline.push_back(outline.front());
  };
  for (const OGRPolygon* part : *polygons->toMultiPolygon()) {
    if (part->getExteriorRing() == nullptr) continue;
    trace(*part->getExteriorRing(), true);
    for (int i = 0; i < part->getNumInteriorRings(); ++i) trace(*part->getInteriorRing(i), false);
  }
  if (outline.size() > 1 && outline.front() == outline.back()) outline.pop_back();
  return outline;
}

// The sheet's outline as a polygon item, which the map item is clipped to.
void WriteClipItem(QXmlStreamWriter& xml, const std::vector<QPointF>& ring, const std::string& uuid,
                   const std::string& units, int z) {
  double xmin = ring.front().x(), xmax = xmin, ymin = ring.front().y(), ymax = ymin;
  for (const QPointF& point : ring) {
    xmin = std::min(xmin, point.x()), xmax = std::max(xmax, point.x());
    ymin = std::min(ymin, point.y()), ymax = std::max(ymax, point.y());
  }
  StartElement(xml, "LayoutItem",
               {{"type", std::to_string(kLayoutPolygonItem)}, {"id", "sheet shape"}, {"uuid", uuid},
                {"templateUuid", uuid}, {"position", PageSize(xmin, ymin, units)},
                {"positionOnPage", PageSize(xmin, ymin, units)}, {"size", PageSize(xmax - xmin, ymax - ymin, units)},
                {"zValue", std::to_string(z)}, {"frame", "false"}, {"background", "false"}, {"visibility", "1"},
                {"positionLock", "true"}, {"referencePoint", "0"}, {"itemRotation", "0"}, {"opacity", "1"},
                {"excludeFromExports", "0"}});
  WriteSymbol(xml, "", "fill", "SimpleFill", {{"style", "no"}, {"outline_style", "no"}});
  StartElement(xml, "nodes");
  for (const QPointF& point : ring)
    EmptyElement(xml, "node", {{"x", NumberText(point.x() - xmin, 15)}, {"y", NumberText(point.y() - ymin, 15)}});
  xml.writeEndElement();
  xml.writeEndElement();
}

// An image layer of the user's map with the project's own pipe; QGIS's default look without one.
void WriteRasterLayer(QXmlStreamWriter& xml, const ProjectLayer& entry, const PageLayout& layout, const fs::path& folder) {
  const MapLayer& data = entry.layer->data;
  StartElement(xml, "maplayer", {{"type", "raster"}, {"hasScaleBasedVisibilityFlag", data.scaleLimited ? "1" : "0"},
                                 {"minScale", NumberText(data.minScale, 15)}, {"maxScale", NumberText(data.maxScale, 15)}});
  TextElement(xml, "id", entry.id);
  TextElement(xml, "datasource", ProjectPath(data.source, folder));
  TextElement(xml, "layername", data.name);
  StartElement(xml, "srs");
  WriteSpatialRefSys(xml, data.crsWkt.empty() ? layout.spatialReferenceWkt : data.crsWkt);
  xml.writeEndElement();
  TextElement(xml, "provider", "gdal");
  TextElement(xml, "layerOpacity", NumberText(data.opacity, 6));
  // The pictures smooth the image where the project leaves it open; QGIS would take nearest
  // neighbour there.
  const std::string pipe = KeptElement(data.styleXml, "pipe");
  if (!pipe.empty())
    WriteAdjustedFragment(xml, pipe, "rasterresampler", [](QXmlStreamAttributes& attributes) {
      for (const char* name : {"zoomedInResampler", "zoomedOutResampler"})
        if (!attributes.hasAttribute(QLatin1String(name))) attributes.append(QLatin1String(name), QStringLiteral("bilinear"));
    });
  TextElement(xml, "blendMode", "0");
  xml.writeEndElement();
}

bool KeepsLabels(const LayoutLayer& layer) {
  return layer.role == LayerRole::UserData && layer.data.labelsEnabled && !layer.data.labelingXml.empty();
}

// A user layer's own labels as its project sets them, in the face the pictures draw them with.
void WriteUserLabeling(QXmlStreamWriter& xml, const std::string& labeling) {
  WriteAdjustedFragment(xml, labeling, "text-style", [](QXmlStreamAttributes& attributes) {
    for (QXmlStreamAttribute& attribute : attributes)
      if (attribute.name() == QLatin1String("fontFamily"))
        attribute = QXmlStreamAttribute(attribute.name().toString(),
                                        InstalledFace(attribute.value().toString().toStdString()));
  });
}

// A layer of the project: its data and its look.
void WriteMapLayer(QXmlStreamWriter& xml, const ProjectLayer& entry, const PageLayout& layout,
                   const LayerStyles& styles, const fs::path& folder) {
  const LayoutLayer& layer = *entry.layer;
  const bool texts = layer.role == LayerRole::SheetTexts;
  if (layer.data.isRaster) {
    WriteRasterLayer(xml, entry, layout, folder);
    return;
  }
  StartElement(xml, "maplayer",
               {{"type", "vector"}, {"geometry", GeometryName(layer.data.geometryType)},
                {"labelsEnabled", texts || KeepsLabels(layer) ? "1" : "0"}, {"hasScaleBasedVisibilityFlag", layer.data.scaleLimited ? "1" : "0"},
                {"minScale", NumberText(layer.data.minScale, 15)}, {"maxScale", NumberText(layer.data.maxScale, 15)}});
  TextElement(xml, "id", entry.id);
  TextElement(xml, "datasource", DataSource(layer.data, folder));
  TextElement(xml, "layername", layer.data.name);
  StartElement(xml, "srs");
  WriteSpatialRefSys(xml, layer.data.crsWkt.empty() ? layout.spatialReferenceWkt : layer.data.crsWkt);
  xml.writeEndElement();
  StartElement(xml, "provider", {{"encoding", "UTF-8"}});
  xml.writeCharacters(QStringLiteral("ogr"));
  xml.writeEndElement();
  switch (layer.role) {
    case LayerRole::SheetLines:
      WriteFragment(xml, styles.lines.rendererXml);
      break;
    case LayerRole::SheetPolygons:
      WriteFragment(xml, styles.polygons.rendererXml);
      break;
    case LayerRole::SheetTexts: {
      const double referenceScale = layer.referenceScale > 0 ? layer.referenceScale : entry.frame->scale(layout.page);
      EmptyElement(xml, "renderer-v2", {{"type", "nullSymbol"}});
      const MapFrame& frame = *entry.frame;
      TextUnits units;
      units.classY = frame.metresPerMapUnit;
      const bool inZone = !frame.documentCrsWkt.empty() && frame.hasExtent();
      units.map = inZone ? 1 : frame.metresPerMapUnit;
      units.classX = inZone ? frame.documentExtent.width() / frame.extent.width() : frame.metresPerMapUnit;
      WriteTextLabeling(xml, TextFaceNames(layer), referenceScale, units);
      break;
    }
    case LayerRole::UserData: {
      // The project's own renderer goes along unchanged, whatever QGIS can draw with it.
      const std::string renderer = KeptElement(layer.data.styleXml, "renderer-v2");
      if (!renderer.empty())
        WriteFragment(xml, renderer);
      else
        WriteUserDataRenderer(xml, layer.data.geometryType);
      // Kept only when well formed: a broken element would spoil the whole project.
      if (const std::string labeling = KeptElement("<qgis>" + layer.data.labelingXml + "</qgis>", "labeling");
          !labeling.empty())
        WriteUserLabeling(xml, labeling);
      break;
    }
  }
  TextElement(xml, "blendMode", "0");
  TextElement(xml, "featureBlendMode", "0");
  TextElement(xml, "layerOpacity", NumberText(layer.data.opacity, 6));
  xml.writeEndElement();
}

// The map item of a frame at the frame's extent with the frame's layers, clipped to the
// sheet's shape when it has one.
void WriteMapItem(QXmlStreamWriter& xml, const MapFrame& frame, const std::vector<ProjectLayer>& layers,
                  const PageLayout& layout, const std::string& name, const std::string& units,
                  const fs::path& folder, int& z) {
  const Envelope& page = frame.pageEnvelope;
  const std::string position = PageSize(page.xmin, layout.page.height - page.ymax, units);
  const std::vector<QPointF> ring = ClipOutline(frame, layout.page.height);
  const std::string clipUuid = Uuid(name + "/" + frame.name + "/clip");
  if (ring.size() >= 3) WriteClipItem(xml, ring, clipUuid, units, z++);
  StartElement(xml, "LayoutItem",
               {{"type", std::to_string(kLayoutMapItem)}, {"id", frame.name}, {"uuid", Uuid(name + "/" + frame.name)},
                {"position", position}, {"positionOnPage", position},
                {"size", PageSize(page.width(), page.height(), units)}, {"zValue", std::to_string(z++)},
                {"frame", frame.border ? "true" : "false"},
                {"background", &frame == &layout.frames.front() ? "true" : "false"}, {"visibility", "1"},
                {"keepLayerSet", "true"}, {"followPreset", "false"}, {"drawCanvasItems", "true"},
                {"mapRotation", "0"},
                // Titles reach the page's edge; QGIS would otherwise move them off their points.
                {"mapFlags", "1"}, {"referencePoint", "0"}, {"itemRotation", "0"}, {"opacity", "1"},
                {"labelMargin", "0,mm"}});
  // QGIS takes degrees as square: a geographic sheet is shown in a plane drawn as its picture is.
  const bool inZone = !frame.documentCrsWkt.empty();
  const Envelope& extent = inZone ? frame.documentExtent : frame.extent;
  EmptyElement(xml, "Extent",
               {{"xmin", NumberText(extent.xmin, 15)}, {"ymin", NumberText(extent.ymin, 15)},
                {"xmax", NumberText(extent.xmax, 15)}, {"ymax", NumberText(extent.ymax, 15)}});
  StartElement(xml, "crs");
  WriteSpatialRefSys(xml, inZone ? frame.documentCrsWkt : layout.spatialReferenceWkt);
  xml.writeEndElement();
  // The map item draws what it lists whatever the layer list shows: layers switched off stay out.
  StartElement(xml, "LayerSet");
  for (const auto& entry : layers) {
    if (entry.frame != &frame || !entry.layer->data.visible) continue;
    StartElement(xml, "Layer",
                 {{"source", DataSource(entry.layer->data, folder)}, {"provider", ProviderKey(entry.layer->data)}, {"name", entry.layer->data.name}});
    xml.writeCharacters(Q(entry.id));
    xml.writeEndElement();
  }
  xml.writeEndElement();
  if (ring.size() >= 3)
    EmptyElement(xml, "itemClippingSettings",
                 {{"enabled", "1"}, {"clipSource", clipUuid}, {"clippingType", "1"}, {"forceLabelsInside", "0"}});
  xml.writeEndElement();
}

}  // namespace

void SaveMapDocument(const PageLayout& layout, const LayerStyles& styles, const std::string& fileName) {
  RequireGuiApplication();  // the font stand-ins are looked up in the font database
  const fs::path file = fs::absolute(fileName);
  const fs::path folder = file.parent_path();
  const std::string name = file.stem().string();
  const std::string units = layout.page.units == kUnitCentimetres ? "cm" : "mm";

  std::vector<ProjectLayer> layers;
  // The frames drawn last lie on top of the map.
  for (auto frame = layout.frames.rbegin(); frame != layout.frames.rend(); ++frame)
    for (const auto& layer : frame->layers)
      layers.push_back(ProjectLayer{LayerId(layer.data.name, layers.size() + 1), &layer, &*frame});

  QByteArray body;
  QXmlStreamWriter xml(&body);
  xml.setAutoFormatting(true);
  xml.setAutoFormattingIndent(2);
  StartElement(xml, "qgis", {{"projectname", name}, {"version", "3.22.16-Białowieża"}});
  EmptyElement(xml, "homePath", {{"path", ""}});
  TextElement(xml, "title", name);
  StartElement(xml, "projectCrs");
  WriteSpatialRefSys(xml, layout.spatialReferenceWkt);
  xml.writeEndElement();
  StartElement(xml, "layer-tree-group");
  for (const auto& entry : layers)
    EmptyElement(xml, "layer-tree-layer",
                 {{"id", entry.id}, {"name", entry.layer->data.name}, {"source", DataSource(entry.layer->data, folder)},
                  {"providerKey", ProviderKey(entry.layer->data)},
                  {"checked", entry.layer->data.visible ? "Qt::Checked" : "Qt::Unchecked"},
                  {"expanded", "1"}});
  xml.writeEndElement();
  StartElement(xml, "projectlayers");
  for (const auto& entry : layers) WriteMapLayer(xml, entry, layout, styles, folder);
  xml.writeEndElement();
  StartElement(xml, "properties");
  StartElement(xml, "Paths");
  StartElement(xml, "Absolute", {{"type", "bool"}});
  xml.writeCharacters(QStringLiteral("false"));
  xml.writeEndElement();
  xml.writeEndElement();
  // QGIS 3.22 takes the project's coordinate system only with this switch on; without it the
  // canvas, measuring and newly added layers have none.
  StartElement(xml, "SpatialRefSys");
  StartElement(xml, "ProjectionsEnabled", {{"type", "int"}});
  xml.writeCharacters(QStringLiteral("1"));
  xml.writeEndElement();
  xml.writeEndElement();
  xml.writeEndElement();
  StartElement(xml, "Layouts");
  StartElement(xml, "Layout", {{"name", name}, {"units", units}, {"printResolution", "300"}});
  StartElement(xml, "PageCollection");
  EmptyElement(xml, "LayoutItem",
               {{"type", std::to_string(kLayoutPageItem)}, {"uuid", Uuid(name + "/page")}, {"position", "0,0," + units},
                {"positionOnPage", "0,0," + units}, {"size", PageSize(layout.page.width, layout.page.height, units)},
                {"zValue", "0"}, {"frame", "false"}, {"background", "true"}, {"visibility", "1"},
                {"referencePoint", "0"}, {"itemRotation", "0"}, {"opacity", "1"}});
  xml.writeEndElement();
  int z = 1;
  for (const MapFrame& frame : layout.frames) WriteMapItem(xml, frame, layers, layout, name, units, folder, z);
  xml.writeEndDocument();  // closes every element still open
  const QByteArray text = "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n" + body.trimmed() + "\n";

  // Written aside and renamed into place: a document present is always whole.
  const std::string temporary = TemporarySibling(file.string());
  VSILFILE* output = VSIFOpenL(temporary.c_str(), "wb");
  if (output == nullptr) throw FramoraError("不能保存地图文档" + fileName + "：" + std::strerror(errno));
  const size_t size = static_cast<size_t>(text.size());
  const bool written = VSIFWriteL(text.constData(), 1, size, output) == size;
  const int writeError = errno;
  if (VSIFCloseL(output) != 0 || !written || !ReplaceFileDurably(temporary, file.string())) {
    const int cause = written ? errno : writeError;
    VSIUnlink(temporary.c_str());
    throw FramoraError("不能保存地图文档" + fileName + "：" + std::strerror(cause));
  }
}

}  // namespace framora
