#include "layout/label_drawing.h"

#include <cpl_minixml.h>

#include <QFont>
#include <QFontMetricsF>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <functional>

#include "layout/map_text.h"
#include "util/number_parse.h"
#include "util/text.h"

namespace framora {

bool LabelStyle::shownAtScale(double scale) const {
  if (!scaleLimited || scale <= 0) return true;
  if (closestScale > 0 && scale < closestScale) return false;
  if (farthestScale > 0 && scale > farthestScale) return false;
  return true;
}

namespace {

double RealOr(const char* text, double fallback) {
  return ParseDecimal(text, NumberForm::Forgiving).value_or(fallback);
}

std::string Attribute(const CPLXMLNode* element, const char* name, const char* fallback) {
  const char* value = element ? CPLGetXMLValue(element, name, fallback) : fallback;
  return value ? value : fallback;
}

StyleSize SizeAttribute(const CPLXMLNode* element, const char* value, const char* unit, double fallback,
                        const char* fallbackUnit) {
  return StyleSize{RealOr(Attribute(element, value, "").c_str(), fallback),
                   StyleUnit(Attribute(element, unit, fallbackUnit))};
}

bool Flag(const CPLXMLNode* element, const char* name, bool fallback) {
  const std::string value = Attribute(element, name, fallback ? "1" : "0");
  return value == "1" || EqualsIgnoringCase(value, "true");
}

}  // namespace

std::optional<LabelStyle> ReadLabelStyle(const std::string& labelingXml, std::string& problem) {
  problem.clear();
  if (labelingXml.empty()) return std::nullopt;
  const CPLXMLTreeCloser tree(CPLParseXMLString(labelingXml.c_str()));
  const CPLXMLNode* labeling = tree ? CPLGetXMLNode(tree.get(), "=labeling") : nullptr;
  if (labeling == nullptr) return std::nullopt;
  const std::string type = Attribute(labeling, "type", "");
  if (type != "simple") {
    problem = "标注方式" + type;
    return std::nullopt;
  }
  const CPLXMLNode* settings = CPLGetXMLNode(labeling, "settings");
  const CPLXMLNode* text = settings ? CPLGetXMLNode(settings, "text-style") : nullptr;
  if (text == nullptr) return std::nullopt;
  const CPLXMLNode* rendering = CPLGetXMLNode(settings, "rendering");
  if (!Flag(rendering, "drawLabels", true)) return std::nullopt;

  LabelStyle style;
  style.fieldName = Attribute(text, "fieldName", "");
  if (Flag(text, "isExpression", false)) {
    style.expression = std::shared_ptr<const FilterExpression>(FilterExpression::Parse(style.fieldName).release());
    if (!style.expression) {
      problem = "标注表达式“" + style.fieldName + "”";
      return std::nullopt;
    }
  }
  if (style.fieldName.empty()) return std::nullopt;
  style.fontFamily = Attribute(text, "fontFamily", "");
  style.fontSize = SizeAttribute(text, "fontSize", "fontSizeUnit", 10, "Point");
  style.bold = RealOr(Attribute(text, "fontWeight", "50").c_str(), 50) > 50 ||
               ToLowerAscii(Attribute(text, "namedStyle", "")).find("bold") != std::string::npos;
  style.italic = Flag(text, "fontItalic", false);
  style.underline = Flag(text, "fontUnderline", false);
  style.capitalization = static_cast<int>(RealOr(Attribute(text, "capitalization", "0").c_str(), 0));
  style.color = StyleColor(Attribute(text, "textColor", "0,0,0,255"),
                           std::clamp(RealOr(Attribute(text, "textOpacity", "1").c_str(), 1), 0.0, 1.0));
  style.lineHeight = RealOr(Attribute(text, "multilineHeight", "1").c_str(), 1);
  if (const CPLXMLNode* buffer = CPLGetXMLNode(text, "text-buffer")) {
    style.buffer = Flag(buffer, "bufferDraw", false);
    style.bufferSize = SizeAttribute(buffer, "bufferSize", "bufferSizeUnits", 1, "MM");
    // QGIS 3.22 draws a buffer sized in percent as that many pixels.
    if (EqualsIgnoringCase(Attribute(buffer, "bufferSizeUnits", ""), "Percentage"))
      style.bufferSize.unit = SizeUnit::Pixels;
    style.bufferColor = StyleColor(Attribute(buffer, "bufferColor", "255,255,255,255"),
                                   std::clamp(RealOr(Attribute(buffer, "bufferOpacity", "1").c_str(), 1), 0.0, 1.0));
    const int join = static_cast<int>(RealOr(Attribute(buffer, "bufferJoinStyle", "128").c_str(), 128));
    style.bufferJoin = join == Qt::MiterJoin ? Qt::MiterJoin : join == Qt::BevelJoin ? Qt::BevelJoin : Qt::RoundJoin;
    style.bufferFill = !Flag(buffer, "bufferNoFill", false);
  }
  // QGIS's 0 left, 1 centre, 2 right; 3 follows the placement.
  const CPLXMLNode* format = CPLGetXMLNode(settings, "text-format");
  const int multilineAlign = static_cast<int>(RealOr(Attribute(format, "multilineAlign", "3").c_str(), 3));
  style.lineAlign = multilineAlign >= 0 && multilineAlign <= 2 ? multilineAlign - 1 : 2;
  if (const CPLXMLNode* placement = CPLGetXMLNode(settings, "placement")) {
    style.placement = static_cast<int>(RealOr(Attribute(placement, "placement", "0").c_str(), 0));
    style.lineFlags = static_cast<int>(RealOr(Attribute(placement, "placementFlags", "10").c_str(), 10));
    style.quadrant = std::clamp(static_cast<int>(RealOr(Attribute(placement, "quadOffset", "4").c_str(), 4)), 0, 8);
    style.distance = SizeAttribute(placement, "dist", "distUnits", 0, "MM");
    style.offsetX = SizeAttribute(placement, "xOffset", "offsetUnits", 0, "MM");
    style.offsetY = SizeAttribute(placement, "yOffset", "offsetUnits", 0, "MM");
    style.rotation = RealOr(Attribute(placement, "rotationAngle", "0").c_str(), 0);
  }
  if (rendering != nullptr) {
    style.displayAll = Flag(rendering, "displayAll", false);
    style.scaleLimited = Flag(rendering, "scaleVisibility", false);
    // QGIS writes the closest scale as scaleMin and the farthest as scaleMax.
    style.closestScale = RealOr(Attribute(rendering, "scaleMin", "0").c_str(), 0);
    style.farthestScale = RealOr(Attribute(rendering, "scaleMax", "0").c_str(), 0);
  }
  const CPLXMLNode* defined = CPLGetXMLNode(settings, "dd_properties.Option");
  for (const CPLXMLNode* group = defined ? defined->psChild : nullptr; group; group = group->psNext) {
    if (group->eType != CXT_Element || !EQUAL(CPLGetXMLValue(group, "name", ""), "properties")) continue;
    for (const CPLXMLNode* property = group->psChild; property; property = property->psNext)
      for (const CPLXMLNode* setting = property->eType == CXT_Element ? property->psChild : nullptr; setting;
           setting = setting->psNext)
        if (setting->eType == CXT_Element && EQUAL(CPLGetXMLValue(setting, "name", ""), "active") &&
            EQUAL(CPLGetXMLValue(setting, "value", ""), "true"))
          style.fixedProperties.insert(CPLGetXMLValue(property, "name", ""));
  }
  return style;
}

namespace {

constexpr double kReferencePixels = 100;  // glyphs are laid out at this size and scaled

// A label's text laid out with its box's top left corner at the origin, y down.
struct TextBlock {
  QPainterPath path;
  double width = 0, height = 0;
};

// align: -1 lines to the left, 0 centred, 1 to the right.
TextBlock LayOutText(const QString& text, const LabelStyle& style, double pixelSize, int align) {
  QFont font;
  font.setFamilies(InstalledFaces(style.fontFamily));
  font.setPixelSize(static_cast<int>(kReferencePixels));
  font.setBold(style.bold);
  font.setItalic(style.italic);
  font.setUnderline(style.underline);
  if (style.capitalization == 1) font.setCapitalization(QFont::AllUppercase);
  if (style.capitalization == 2) font.setCapitalization(QFont::AllLowercase);
  const QFontMetricsF metrics(font);
  const QStringList lines = text.split(QLatin1Char('\n'));
  const double step = metrics.lineSpacing() * style.lineHeight;
  double width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  QPainterPath path;
  for (int i = 0; i < lines.size(); ++i) {
    const double lineWidth = metrics.horizontalAdvance(lines[i]);
    const double left = align < 0 ? 0 : align == 0 ? (width - lineWidth) / 2 : width - lineWidth;
    path.addText(QPointF(left, i * step + metrics.ascent()), font, lines[i]);
  }
  const double k = pixelSize / kReferencePixels;
  TextBlock block;
  block.path = QTransform::fromScale(k, k).map(path);
  block.width = width * k;
  block.height = ((lines.size() - 1) * step + metrics.ascent() + metrics.descent()) * k;
  return block;
}

// Where a block goes: its top left corner at anchor + offset in the label's own frame,
// turned clockwise by angle about the anchor.
struct Candidate {
  QPointF anchor;
  double angle = 0;
  QPointF offset;
  int align = 0;
};

QTransform PlacementTransform(const Candidate& candidate) {
  QTransform transform;
  transform.translate(candidate.anchor.x(), candidate.anchor.y());
  transform.rotate(candidate.angle);
  transform.translate(candidate.offset.x(), candidate.offset.y());
  return transform;
}

// Around a point, as QGIS tries the places: upper right first, then the other corners and sides.
std::vector<Candidate> AroundPoint(QPointF point, double distance, double width, double height) {
  const double d = distance * std::sqrt(0.5);
  return {{point, 0, QPointF(d, -d - height), -1},
          {point, 0, QPointF(-d - width, -d - height), 1},
          {point, 0, QPointF(d, d), -1},
          {point, 0, QPointF(-d - width, d), 1},
          {point, 0, QPointF(-width / 2, -distance - height), 0},
          {point, 0, QPointF(distance, -height / 2), -1},
          {point, 0, QPointF(-width / 2, distance), 0},
          {point, 0, QPointF(-distance - width, -height / 2), 1}};
}

// Beside a point in one of the nine places QGIS names by quadrant, touching it: QGIS moves
// such a label by its offset only, never by the label distance.
Candidate OverPoint(QPointF point, const LabelStyle& style, QPointF shift, double width, double height) {
  const int column = style.quadrant % 3, row = style.quadrant / 3;
  const double x = column == 0 ? -width : column == 1 ? -width / 2 : 0;
  const double y = row == 0 ? -height : row == 1 ? -height / 2 : 0;
  return {point + shift, style.rotation, QPointF(x, y), column == 0 ? 1 : column == 1 ? 0 : -1};
}

// The longest part of a line in device pixels.
QPolygonF LongestLine(const OGRGeometry& geometry, const QTransform& toDevice) {
  QPolygonF best;
  double bestLength = -1;
  const auto consider = [&](const OGRLineString& line) {
    QPolygonF points;
    double length = 0;
    for (int i = 0; i < line.getNumPoints(); ++i) {
      points << toDevice.map(QPointF(line.getX(i), line.getY(i)));
      if (i > 0) length += std::hypot(points[i].x() - points[i - 1].x(), points[i].y() - points[i - 1].y());
    }
    if (length > bestLength) bestLength = length, best = points;
  };
  std::function<void(const OGRGeometry&)> walk = [&](const OGRGeometry& part) {
    switch (wkbFlatten(part.getGeometryType())) {
      case wkbLineString:
      case wkbLinearRing:
        consider(*part.toLineString());
        break;
      case wkbPolygon:
        if (part.toPolygon()->getExteriorRing()) consider(*part.toPolygon()->getExteriorRing());
        break;
      case wkbMultiLineString:
      case wkbMultiPolygon:
      case wkbGeometryCollection:
        for (const OGRGeometry* child : *part.toGeometryCollection()) walk(*child);
        break;
      default:
        break;
    }
  };
  walk(geometry);
  return best;
}

// The middle of a line and its direction there, turned so that text on it reads upright.
struct LinePlace {
  QPointF middle;
  double angle = 0;       // clockwise degrees
  bool turned = false;    // the text runs against the line
};

std::optional<LinePlace> LineMiddle(const QPolygonF& line) {
  double total = 0;
  for (int i = 1; i < line.size(); ++i) total += QLineF(line[i - 1], line[i]).length();
  if (total <= 0) return std::nullopt;
  double walked = 0;
  for (int i = 1; i < line.size(); ++i) {
    const QLineF segment(line[i - 1], line[i]);
    if (walked + segment.length() >= total / 2 && segment.length() > 0) {
      const QPointF middle = segment.pointAt((total / 2 - walked) / segment.length());
      // Upright as QGIS turns it: along an upright line the text reads upwards.
      const double direction = std::atan2(segment.dy(), segment.dx()) * 180 / M_PI;
      const bool turned = direction >= 90 || direction < -90;
      return LinePlace{middle, turned ? (direction >= 90 ? direction - 180 : direction + 180) : direction, turned};
    }
    walked += segment.length();
  }
  return std::nullopt;
}

// The largest surface of a geometry.
const OGRPolygon* LargestSurface(const OGRGeometry& geometry) {
  const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
  if (type == wkbPolygon) return geometry.toPolygon();
  if (type != wkbMultiPolygon && type != wkbGeometryCollection) return nullptr;
  const OGRPolygon* largest = nullptr;
  double largestArea = -1;
  for (const OGRGeometry* part : *geometry.toGeometryCollection())
    if (const OGRPolygon* polygon = LargestSurface(*part))
      if (polygon->get_Area() > largestArea) largestArea = polygon->get_Area(), largest = polygon;
  return largest;
}

// A point inside a surface: its centroid when that lies inside, else a point on it.
std::optional<QPointF> InsidePoint(const OGRPolygon& surface) {
  OGRPoint centroid;
  if (surface.Centroid(&centroid) == OGRERR_NONE && !centroid.IsEmpty() && surface.Contains(&centroid))
    return QPointF(centroid.getX(), centroid.getY());
  OGRPoint onSurface;
  if (surface.PointOnSurface(&onSurface) == OGRERR_NONE && !onSurface.IsEmpty())
    return QPointF(onSurface.getX(), onSurface.getY());
  return std::nullopt;
}

double MarkerRadius(const LabelSource& source, const OGRFeature& feature, const SymbolScale& scale, double mapScale) {
  if (source.style == nullptr) return 0.75 * scale.pixelsPerMm;  // the default marker
  std::vector<const SymbolLook*> looks;
  source.style->looksFor(FeatureFields(feature), mapScale, looks);
  double radius = 0;
  for (const SymbolLook* look : looks)
    for (const SymbolLayerLook& layer : look->layers)
      if (layer.kind == SymbolLayerLook::Kind::Marker) radius = std::max(radius, scale.pixels(layer.size) / 2);
  return radius;
}

}  // namespace

OGRGeometryUniquePtr ShownArea(double xmin, double ymin, double xmax, double ymax, const OGRGeometry* clipShape) {
  auto ring = std::make_unique<OGRLinearRing>();
  ring->addPoint(xmin, ymin);
  ring->addPoint(xmax, ymin);
  ring->addPoint(xmax, ymax);
  ring->addPoint(xmin, ymax);
  ring->addPoint(xmin, ymin);
  auto extent = std::make_unique<OGRPolygon>();
  extent->addRingDirectly(ring.release());
  if (clipShape == nullptr || clipShape->IsEmpty()) return OGRGeometryUniquePtr(extent.release());
  OGRGeometryUniquePtr shown(extent->Intersection(clipShape));
  return shown ? std::move(shown) : OGRGeometryUniquePtr(extent.release());
}

std::vector<std::int64_t> MapLabels::Cells(const QRectF& bounds) {
  constexpr double kCell = 256;     // device pixels
  constexpr double kMostCells = 64;
  const double left = std::floor(bounds.left() / kCell), right = std::floor(bounds.right() / kCell);
  const double top = std::floor(bounds.top() / kCell), bottom = std::floor(bounds.bottom() / kCell);
  std::vector<std::int64_t> cells;
  const bool onPage = std::fabs(left) < 1e9 && std::fabs(right) < 1e9 && std::fabs(top) < 1e9 && std::fabs(bottom) < 1e9;
  if (!onPage || !((right - left + 1) * (bottom - top + 1) <= kMostCells)) return cells;  // NaN bounds too
  for (double y = top; y <= bottom; ++y)
    for (double x = left; x <= right; ++x)
      cells.push_back(static_cast<std::int64_t>(y) * (std::int64_t{1} << 32) + static_cast<std::int64_t>(x));
  return cells;
}

bool MapLabels::fits(const QPolygonF& box) const {
  const QRectF bounds = box.boundingRect();
  const auto meets = [&](size_t index) {
    const Placed& placed = labels_[index];
    return placed.bounds.intersects(bounds) && placed.box.intersects(box);
  };
  const std::vector<std::int64_t> cells = Cells(bounds);
  if (cells.empty()) {
    for (size_t index = 0; index < labels_.size(); ++index)
      if (meets(index)) return false;
    return true;
  }
  for (const size_t index : large_)
    if (meets(index)) return false;
  for (const std::int64_t cell : cells)
    if (const auto found = cells_.find(cell); found != cells_.end())
      for (const size_t index : found->second)
        if (meets(index)) return false;
  return true;
}

void MapLabels::add(Placed placed) {
  placed.bounds = placed.box.boundingRect();
  const size_t index = labels_.size();
  const std::vector<std::int64_t> cells = Cells(placed.bounds);
  if (cells.empty()) large_.push_back(index);
  for (const std::int64_t cell : cells) cells_[cell].push_back(index);
  labels_.push_back(std::move(placed));
}

void MapLabels::place(const std::vector<LabelSource>& layers, const OGRGeometry& visibleArea,
                      const QTransform& toDevice, const SymbolScale& scale, double mapScale) {
  OGREnvelope area;
  visibleArea.getEnvelope(&area);
  for (const LabelSource& source : layers) {
    const LabelStyle& style = *source.labels;
    if (!style.shownAtScale(mapScale)) continue;
    OGRLayer& data = *source.data;
    OGREnvelope filter = area;
    if (source.toLayer && !source.toLayer->TransformBounds(area.MinX, area.MinY, area.MaxX, area.MaxY, &filter.MinX,
                                                          &filter.MinY, &filter.MaxX, &filter.MaxY, 21))
      filter = OGREnvelope();
    if (filter.IsInit())
      data.SetSpatialFilterRect(filter.MinX, filter.MinY, filter.MaxX, filter.MaxY);
    else
      data.SetSpatialFilter(nullptr);
    const double pixelSize = scale.pixels(style.fontSize);
    if (pixelSize <= 0) continue;
    const double distance = scale.pixels(style.distance);
    const QPointF shift(scale.pixels(style.offsetX), scale.pixels(style.offsetY));
    data.ResetReading();
    for (auto& feature : data) {
      const OGRGeometry* geometry = feature->GetGeometryRef();
      if (geometry == nullptr || geometry->IsEmpty()) continue;
      const FieldValues fields = FeatureFields(*feature);
      const ExpressionValue value = style.expression ? style.expression->evaluate(fields) : fields(style.fieldName);
      const QString text = QString::fromStdString(value.asText()).replace(QLatin1String("\r\n"), QLatin1String("\n"));
      if (value.isNull() || text.trimmed().isEmpty()) continue;
      OGRGeometryUniquePtr transformed;
      if (source.toMap) {
        transformed.reset(geometry->clone());
        if (transformed->transform(source.toMap) != OGRERR_NONE) continue;
        geometry = transformed.get();
      }
      const OGRwkbGeometryType type = wkbFlatten(geometry->getGeometryType());
      // The places each label may take; points of a multipoint are labelled each, as QGIS does.
      std::vector<std::vector<Candidate>> labelsCandidates;
      const TextBlock block = LayOutText(text, style, pixelSize, 0);
      if (type == wkbPoint || type == wkbMultiPoint) {
        std::vector<const OGRPoint*> points;
        if (type == wkbPoint)
          points.push_back(geometry->toPoint());
        else
          for (const OGRPoint* point : *geometry->toMultiPoint()) points.push_back(point);
        // Only the cartographic placement keeps clear of the point's marker.
        const double clearance = style.placement == 6 ? MarkerRadius(source, *feature, scale, mapScale) : 0;
        for (const OGRPoint* point : points) {
          if (point == nullptr || point->IsEmpty() || !visibleArea.Intersects(point)) continue;
          const QPointF at = toDevice.map(QPointF(point->getX(), point->getY()));
          if (style.placement == 0 || style.placement == 6)
            labelsCandidates.push_back(AroundPoint(at, distance + clearance, block.width, block.height));
          else
            labelsCandidates.push_back({OverPoint(at, style, shift, block.width, block.height)});
        }
      } else {
        std::vector<Candidate>& candidates = labelsCandidates.emplace_back();
        // Only the part the map shows is labelled.
        OGRGeometryUniquePtr visible(visibleArea.Intersection(geometry));
        if (!visible) visible.reset(geometry->clone());  // not valid enough to cut: the whole of it
        if (visible->IsEmpty()) continue;
        const bool surface = type == wkbPolygon || type == wkbMultiPolygon || type == wkbCurvePolygon ||
                             type == wkbMultiSurface;
        const bool alongLine = !surface || style.placement == 2 || style.placement == 3 || style.placement == 7;
        if (alongLine) {
          const auto middle = LineMiddle(LongestLine(*visible, toDevice));
          if (!middle) continue;
          const bool horizontal = !surface && style.placement == 4;
          const double angle = horizontal ? 0 : middle->angle;
          const double onLine = -block.height / 2, aboveLine = -distance - block.height, belowLine = distance;
          if (horizontal) {
            candidates.push_back({middle->middle, angle, QPointF(-block.width / 2, onLine), 0});
          } else {
            // Above and below go by the map, or by the line's direction (left of it above)
            // when the line orientation flag is off.
            const bool swap = !(style.lineFlags & 8) && middle->turned;
            const bool above = style.lineFlags & (swap ? 4 : 2), below = style.lineFlags & (swap ? 2 : 4);
            const bool on = (style.lineFlags & 1) || (!above && !below);
            for (const auto& [wanted, y] : {std::pair{on, onLine}, {above, aboveLine}, {below, belowLine}})
              if (wanted) candidates.push_back({middle->middle, angle, QPointF(-block.width / 2, y), 0});
          }
        } else {
          const OGRPolygon* largest = LargestSurface(*visible);
          const auto inside = largest ? InsidePoint(*largest) : std::nullopt;
          if (!inside) continue;
          const QPointF at = toDevice.map(*inside);
          if (style.placement == 0)
            candidates = AroundPoint(at, distance, block.width, block.height);
          else if (style.placement == 1)
            candidates.push_back(OverPoint(at, style, shift, block.width, block.height));
          else
            candidates.push_back({at, 0, QPointF(-block.width / 2, -block.height / 2), 0});
        }
      }
      for (std::vector<Candidate>& candidates : labelsCandidates) {
        for (Candidate& candidate : candidates) {
          if (style.lineAlign >= -1 && style.lineAlign <= 1) candidate.align = style.lineAlign;
          const QTransform transform = PlacementTransform(candidate);
          const QPolygonF box = transform.map(QPolygonF(QRectF(0, 0, block.width, block.height)));
          if (!style.displayAll && !fits(box)) continue;
          // The lines aligned as the place taken asks, laid out once it is taken; one line lies
          // the same either way.
          const bool realign = candidate.align != 0 && text.contains(QLatin1Char('\n'));
          Placed placed;
          placed.text = transform.map(realign ? LayOutText(text, style, pixelSize, candidate.align).path : block.path);
          placed.box = box;
          placed.style = &style;
          // QGIS strokes the glyphs with a pen as wide as the buffer's size.
          placed.bufferWidth = style.buffer ? scale.pixels(style.bufferSize) : 0;
          const double reach = placed.bufferWidth / 2 + 1;
          placed.reach = placed.text.boundingRect().united(box.boundingRect()).adjusted(-reach, -reach, reach, reach);
          add(std::move(placed));
          break;
        }
      }
    }
    data.SetSpatialFilter(nullptr);
  }
}

void MapLabels::draw(QPainter& painter, int firstRow, int rowCount) const {
  if (labels_.empty()) return;
  const QRectF band(-1e9, firstRow, 2e9, rowCount);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.translate(0, -firstRow);
  for (const Placed& label : labels_) {
    if (!label.reach.intersects(band)) continue;
    const LabelStyle& style = *label.style;
    if (label.bufferWidth > 0) {
      painter.strokePath(label.text, QPen(style.bufferColor, label.bufferWidth, Qt::SolidLine, Qt::RoundCap,
                                          style.bufferJoin));
      if (style.bufferFill) painter.fillPath(label.text, style.bufferColor);
    }
    painter.fillPath(label.text, style.color);
  }
  painter.restore();
}

std::vector<QRectF> MapLabels::boxes() const {
  std::vector<QRectF> result;
  for (const Placed& label : labels_) result.push_back(label.box.boundingRect());
  return result;
}

}  // namespace framora
