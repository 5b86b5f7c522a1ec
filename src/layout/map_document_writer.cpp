#include "layout/map_document_writer.h"

#include <cpl_vsi.h>
#include <ogr_spatialref.h>

#include <QUuid>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "layout/gui_application.h"
#include "layout/map_text.h"
#include "gis/xml_text.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

namespace {


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

std::string SpatialRefSysXml(const std::string& wkt) {
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
  std::ostringstream out;
  out << "<spatialrefsys><wkt>" << XmlEscaped(wkt2) << "</wkt>";
  if (!authority.empty()) out << "<authid>" << XmlEscaped(authority) << "</authid>";
  out << "<description>" << XmlEscaped(srs.GetName() ? srs.GetName() : "") << "</description></spatialrefsys>";
  return out.str();
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

// The look the renderer gives the user's layers, for QGIS.
std::string UserDataRendererXml(OGRwkbGeometryType type) {
  const std::string geometry = GeometryName(type);
  std::ostringstream out;
  out << "<renderer-v2 type=\"singleSymbol\" symbollevels=\"0\" forceraster=\"0\" enableorderby=\"0\"><symbols>";
  if (geometry == "Point") {
    out << "<symbol name=\"0\" type=\"marker\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">"
           "<layer class=\"SimpleMarker\" enabled=\"1\" locked=\"0\" pass=\"0\"><Option type=\"Map\">"
           "<Option name=\"name\" value=\"circle\" type=\"QString\"/><Option name=\"color\" value=\"60,60,60,255\" type=\"QString\"/>"
           "<Option name=\"outline_style\" value=\"no\" type=\"QString\"/><Option name=\"size\" value=\"1.5\" type=\"QString\"/>"
           "<Option name=\"size_unit\" value=\"MM\" type=\"QString\"/></Option></layer></symbol>";
  } else if (geometry == "Line") {
    out << "<symbol name=\"0\" type=\"line\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">"
           "<layer class=\"SimpleLine\" enabled=\"1\" locked=\"0\" pass=\"0\"><Option type=\"Map\">"
           "<Option name=\"line_color\" value=\"60,60,60,255\" type=\"QString\"/><Option name=\"line_width\" value=\"0.2\" type=\"QString\"/>"
           "<Option name=\"line_width_unit\" value=\"MM\" type=\"QString\"/></Option></layer></symbol>";
  } else {
    out << "<symbol name=\"0\" type=\"fill\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">"
           "<layer class=\"SimpleFill\" enabled=\"1\" locked=\"0\" pass=\"0\"><Option type=\"Map\">"
           "<Option name=\"style\" value=\"no\" type=\"QString\"/><Option name=\"outline_color\" value=\"90,90,90,255\" type=\"QString\"/>"
           "<Option name=\"outline_width\" value=\"0.15\" type=\"QString\"/><Option name=\"outline_width_unit\" value=\"MM\" type=\"QString\"/>"
           "</Option></layer></symbol>";
  }
  out << "</symbols></renderer-v2>";
  return out.str();
}

std::string Property(const char* name, const std::string& expression) {
  return std::string("<Option name=\"") + name + "\" type=\"Map\"><Option name=\"active\" value=\"true\" type=\"bool\"/>" +
         "<Option name=\"expression\" value=\"" + XmlEscaped(expression) + "\" type=\"QString\"/>" +
         "<Option name=\"type\" value=\"3\" type=\"int\"/></Option>";
}

// The face the label takes: Windows faces that are not installed become their stand-ins,
// as in the pictures.
std::string FamilyExpression() {
  std::string expression = "CASE";
  bool any = false;
  for (const auto& [windowsFace, standIn] : FaceSubstitutions()) {
    const QString installed = InstalledFace(windowsFace);
    if (installed.toStdString() == windowsFace) continue;
    expression += " WHEN \"FontName\" = '" + windowsFace + "' THEN '" + installed.toStdString() + "'";
    any = true;
  }
  return any ? expression + " ELSE \"FontName\" END" : "\"FontName\"";
}

// Every text with its own point, alignment, font, size and colour, as data-defined labels.
std::string TextLabelingXml(double referenceScale, double metresPerMapUnit) {
  // Points on paper at the reference scale to map units on the ground.
  const double mapUnitsPerPoint = 25.4 / 72 / 1000 * referenceScale / metresPerMapUnit;
  const std::string size = "\"FontSize\" * " + NumberText(mapUnitsPerPoint, 15);
  const std::string horizontal =
      "CASE WHEN \"HorizontalAlignment\" = 0 THEN 'Left' WHEN \"HorizontalAlignment\" = 1 THEN 'Center' ELSE 'Right' END";
  std::ostringstream out;
  out << "<labeling type=\"simple\"><settings calloutType=\"simple\">"
      << "<text-style fieldName=\"" << XmlEscaped("replace(\"TextString\", char(13), '')")
      << "\" isExpression=\"1\" fontFamily=\"Noto Sans CJK SC\" fontSize=\"10\" fontSizeUnit=\"MapUnit\" "
         "textColor=\"0,0,0,255\" textOpacity=\"1\" multilineHeight=\"1\" fontLetterSpacing=\"0\" fontWordSpacing=\"0\" "
         "fontKerning=\"1\" allowHtml=\"0\" capitalization=\"0\" blendMode=\"0\" textOrientation=\"horizontal\">"
      << "<text-buffer bufferDraw=\"0\"/><background shapeDraw=\"0\"/><shadow shadowDraw=\"0\"/></text-style>"
      << "<text-format multilineAlign=\"3\" wrapChar=\"\" autoWrapLength=\"0\"/>"
      << "<placement placement=\"1\" quadOffset=\"4\" dist=\"0\" xOffset=\"0\" yOffset=\"0\" rotationAngle=\"0\" "
         "priority=\"5\" offsetType=\"0\"/>"
      << "<rendering drawLabels=\"1\" displayAll=\"1\" obstacle=\"0\" upsidedownLabels=\"2\" labelPerPart=\"0\" "
         "mergeLines=\"0\" scaleVisibility=\"0\" fontLimitPixelSize=\"0\" limitNumLabels=\"0\" zIndex=\"0\"/>"
      << "<dd_properties><Option type=\"Map\"><Option name=\"name\" value=\"\" type=\"QString\"/>"
         "<Option name=\"properties\" type=\"Map\">"
      << Property("Bold", "\"Bold\" <> 0")
      << Property("Color", "color_rgb((\"Color\" // 65536) % 256, (\"Color\" // 256) % 256, \"Color\" % 256)")
      << Property("Family", FamilyExpression())
      << Property("FontLetterSpacing", "\"CharacterSpacing\" / 100 * " + size)
      << Property("Hali", horizontal)
      << Property("Italic", "\"Italic\" <> 0")
      << Property("MultiLineAlignment", horizontal)
      << Property("PositionX", "$x")
      << Property("PositionY", "$y")
      << Property("Size", size)
      << Property("Underline", "\"Underline\" <> 0")
      << Property("Vali",
                  "CASE WHEN \"VerticalAlignment\" = 0 THEN 'Top' WHEN \"VerticalAlignment\" = 1 THEN 'Half' ELSE 'Bottom' END")
      << "</Option><Option name=\"type\" value=\"collection\" type=\"QString\"/></Option></dd_properties>"
      << "</settings></labeling>";
  return out.str();
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

// The largest outer ring of the clip shape, in layout millimetres (y down from the top).
std::vector<QPointF> ClipRing(const MapFrame& frame, double pageHeight) {
  std::vector<QPointF> ring;
  if (!frame.clipShape || frame.clipShape->IsEmpty() || !frame.hasExtent()) return ring;
  const OGRPolygon* largest = nullptr;
  double largestArea = -1;
  const auto consider = [&](const OGRGeometry* part) {
    if (wkbFlatten(part->getGeometryType()) != wkbPolygon) return;
    const double area = part->toPolygon()->get_Area();
    if (area > largestArea) largestArea = area, largest = part->toPolygon();
  };
  const OGRwkbGeometryType type = wkbFlatten(frame.clipShape->getGeometryType());
  if (type == wkbPolygon) consider(frame.clipShape.get());
  if (type == wkbMultiPolygon)
    for (const OGRPolygon* part : *frame.clipShape->toMultiPolygon()) consider(part);
  if (largest == nullptr || largest->getExteriorRing() == nullptr) return ring;
  const Envelope& page = frame.pageEnvelope;
  const Envelope& extent = frame.extent;
  for (const OGRPoint& point : *largest->getExteriorRing())
    ring.emplace_back(page.xmin + (point.getX() - extent.xmin) * page.width() / extent.width(),
                      pageHeight - (page.ymin + (point.getY() - extent.ymin) * page.height() / extent.height()));
  if (ring.size() > 1 && ring.front() == ring.back()) ring.pop_back();
  return ring;
}

std::string ClipItemXml(const std::vector<QPointF>& ring, const std::string& uuid, const std::string& units, int z) {
  double xmin = ring.front().x(), xmax = xmin, ymin = ring.front().y(), ymax = ymin;
  for (const QPointF& point : ring) {
    xmin = std::min(xmin, point.x()), xmax = std::max(xmax, point.x());
    ymin = std::min(ymin, point.y()), ymax = std::max(ymax, point.y());
  }
  std::ostringstream out;
  out << "<LayoutItem type=\"65644\" id=\"sheet shape\" uuid=\"" << uuid << "\" templateUuid=\"" << uuid
      << "\" position=\"" << PageSize(xmin, ymin, units) << "\" positionOnPage=\"" << PageSize(xmin, ymin, units)
      << "\" size=\"" << PageSize(xmax - xmin, ymax - ymin, units) << "\" zValue=\"" << z
      << "\" frame=\"false\" background=\"false\" visibility=\"1\" positionLock=\"true\" referencePoint=\"0\" "
         "itemRotation=\"0\" opacity=\"1\" excludeFromExports=\"0\">"
      << "<symbol name=\"\" type=\"fill\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">"
         "<layer class=\"SimpleFill\" enabled=\"1\" locked=\"0\" pass=\"0\"><Option type=\"Map\">"
         "<Option name=\"style\" value=\"no\" type=\"QString\"/><Option name=\"outline_style\" value=\"no\" type=\"QString\"/>"
         "</Option></layer></symbol><nodes>";
  for (const QPointF& point : ring)
    out << "<node x=\"" << NumberText(point.x() - xmin, 15) << "\" y=\"" << NumberText(point.y() - ymin, 15) << "\"/>";
  out << "</nodes></LayoutItem>";
  return out.str();
}

}  // namespace

void SaveMapDocument(const PageLayout& layout, const LayerStyles& styles, const std::string& fileName) {
  RequireGuiApplication();  // the font stand-ins are looked up in the font database
  const fs::path file = fs::absolute(fileName);
  const fs::path folder = file.parent_path();
  const std::string name = file.stem().string();
  const std::string srs = SpatialRefSysXml(layout.spatialReferenceWkt);
  const std::string units = layout.page.units == kUnitCentimetres ? "cm" : "mm";

  std::vector<ProjectLayer> layers;
  // The frames drawn last lie on top of the map.
  for (auto frame = layout.frames.rbegin(); frame != layout.frames.rend(); ++frame)
    for (const auto& layer : frame->layers)
      layers.push_back(ProjectLayer{LayerId(layer.data.name, layers.size() + 1), &layer, &*frame});

  std::ostringstream out;
  out << "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
      << "<qgis projectname=\"" << XmlEscaped(name) << "\" version=\"3.22.16-Białowieża\">\n"
      << "  <homePath path=\"\"/>\n  <title>" << XmlEscaped(name) << "</title>\n"
      << "  <projectCrs>" << srs << "</projectCrs>\n  <layer-tree-group>\n";
  for (const auto& entry : layers) {
    const MapLayer& data = entry.layer->data;
    out << "    <layer-tree-layer id=\"" << entry.id << "\" name=\"" << XmlEscaped(data.name)
        << "\" source=\"" << XmlEscaped(DataSource(data, folder))
        << "\" providerKey=\"ogr\" checked=\"Qt::Checked\" expanded=\"1\"/>\n";
  }
  out << "  </layer-tree-group>\n  <projectlayers>\n";
  for (const auto& entry : layers) {
    const LayoutLayer& layer = *entry.layer;
    const bool texts = layer.role == LayerRole::SheetTexts;
    out << "    <maplayer type=\"vector\" geometry=\"" << GeometryName(layer.data.geometryType)
        << "\" labelsEnabled=\"" << (texts ? 1 : 0) << "\" hasScaleBasedVisibilityFlag=\"0\">\n"
        << "      <id>" << entry.id << "</id>\n"
        << "      <datasource>" << XmlEscaped(DataSource(layer.data, folder)) << "</datasource>\n"
        << "      <layername>" << XmlEscaped(layer.data.name) << "</layername>\n"
        << "      <srs>" << SpatialRefSysXml(layer.data.crsWkt.empty() ? layout.spatialReferenceWkt : layer.data.crsWkt)
        << "</srs>\n      <provider encoding=\"UTF-8\">ogr</provider>\n      ";
    switch (layer.role) {
      case LayerRole::SheetLines:
        out << styles.lines.rendererXml;
        break;
      case LayerRole::SheetPolygons:
        out << styles.polygons.rendererXml;
        break;
      case LayerRole::SheetTexts: {
        const double referenceScale = layer.referenceScale > 0 ? layer.referenceScale : entry.frame->scale(layout.page);
        out << "<renderer-v2 type=\"nullSymbol\"/>\n      "
            << TextLabelingXml(referenceScale, entry.frame->metresPerMapUnit);
        break;
      }
      case LayerRole::UserData: {
        // The project's own renderer goes along unchanged, whatever QGIS can draw with it.
        const std::string& style = layer.data.styleXml;
        const auto begin = style.find("<renderer-v2");
        const auto end = style.rfind("</qgis>");
        if (begin != std::string::npos && end != std::string::npos && end > begin)
          out << style.substr(begin, end - begin);
        else
          out << UserDataRendererXml(layer.data.geometryType);
        break;
      }
    }
    out << "\n      <blendMode>0</blendMode>\n      <featureBlendMode>0</featureBlendMode>\n"
           "      <layerOpacity>1</layerOpacity>\n    </maplayer>\n";
  }
  out << "  </projectlayers>\n"
      << "  <properties><Paths><Absolute type=\"bool\">false</Absolute></Paths></properties>\n"
      << "  <Layouts>\n    <Layout name=\"" << XmlEscaped(name) << "\" units=\"" << units
      << "\" printResolution=\"300\">\n      <PageCollection>\n"
      << "        <LayoutItem type=\"65638\" uuid=\"" << Uuid(name + "/page") << "\" position=\"0,0," << units
      << "\" positionOnPage=\"0,0," << units << "\" size=\"" << PageSize(layout.page.width, layout.page.height, units)
      << "\" zValue=\"0\" frame=\"false\" background=\"true\" visibility=\"1\" referencePoint=\"0\" itemRotation=\"0\" "
         "opacity=\"1\"/>\n      </PageCollection>\n";
  int z = 1;
  for (const MapFrame& frame : layout.frames) {
    const Envelope& page = frame.pageEnvelope;
    const std::string position = PageSize(page.xmin, layout.page.height - page.ymax, units);
    const std::vector<QPointF> ring = ClipRing(frame, layout.page.height);
    const std::string clipUuid = Uuid(name + "/" + frame.name + "/clip");
    if (ring.size() >= 3) out << "      " << ClipItemXml(ring, clipUuid, units, z++) << "\n";
    out << "      <LayoutItem type=\"65639\" id=\"" << XmlEscaped(frame.name) << "\" uuid=\"" << Uuid(name + "/" + frame.name)
        << "\" position=\"" << position << "\" positionOnPage=\"" << position << "\" size=\""
        << PageSize(page.width(), page.height(), units) << "\" zValue=\"" << z++ << "\" frame=\""
        << (frame.border ? "true" : "false") << "\" background=\"" << (&frame == &layout.frames.front() ? "true" : "false")
        << "\" visibility=\"1\" keepLayerSet=\"true\" followPreset=\"false\" drawCanvasItems=\"true\" mapRotation=\"0\" "
           // Titles reach the page's edge; QGIS would otherwise move them off their points.
           "mapFlags=\"1\" "
           "referencePoint=\"0\" itemRotation=\"0\" opacity=\"1\" labelMargin=\"0,mm\">\n"
        << "        <Extent xmin=\"" << NumberText(frame.extent.xmin, 15) << "\" ymin=\"" << NumberText(frame.extent.ymin, 15)
        << "\" xmax=\"" << NumberText(frame.extent.xmax, 15) << "\" ymax=\"" << NumberText(frame.extent.ymax, 15) << "\"/>\n"
        << "        <crs>" << srs << "</crs>\n        <LayerSet>\n";
    for (const auto& entry : layers)
      if (entry.frame == &frame)
        out << "          <Layer source=\"" << XmlEscaped(DataSource(entry.layer->data, folder)) << "\" provider=\"ogr\" name=\""
            << XmlEscaped(entry.layer->data.name) << "\">" << entry.id << "</Layer>\n";
    out << "        </LayerSet>\n";
    if (ring.size() >= 3)
      out << "        <itemClippingSettings enabled=\"1\" clipSource=\"" << clipUuid
          << "\" clippingType=\"1\" forceLabelsInside=\"0\"/>\n";
    out << "      </LayoutItem>\n";
  }
  out << "    </Layout>\n  </Layouts>\n</qgis>\n";

  const std::string text = out.str();
  VSILFILE* output = VSIFOpenL(file.string().c_str(), "wb");
  if (output == nullptr) throw FramoraError("不能保存地图文档" + fileName);
  const bool written = VSIFWriteL(text.data(), 1, text.size(), output) == text.size();
  if (VSIFCloseL(output) != 0 || !written) {
    VSIUnlink(file.string().c_str());
    throw FramoraError("不能保存地图文档" + fileName);
  }
}

}  // namespace framora
