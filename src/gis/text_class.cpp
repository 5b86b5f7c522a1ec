#include "gis/text_class.h"

#include <sstream>

#include "gis/feature_class.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

int HorizontalAnchorOf(int hAlign) { return hAlign == 1 ? 0 : hAlign == 2 ? 1 : 2; }
int VerticalAnchorOf(int vAlign) { return vAlign == 1 ? 0 : vAlign == 2 ? 1 : 3; }

TextSymbol MakeTextSymbol(const LogicalFont& font, double spacing, double size, int anchorH, int anchorV) {
  TextSymbol symbol;
  symbol.fontName = font.faceName;
  symbol.size = size > 0 ? size : font.pointSize();
  symbol.bold = font.bold();
  symbol.italic = font.italic;
  symbol.underline = font.underline;
  symbol.color = ColorToRgb(font.color);
  symbol.horizontalAlignment = anchorH;
  symbol.verticalAlignment = anchorV;
  symbol.characterSpacing = spacing;
  return symbol;
}

namespace {

struct TextField {
  const char* name;
  OGRFieldType type;
};
constexpr TextField kTextFields[] = {
    {"TextString", OFTString}, {"FontName", OFTString},           {"FontSize", OFTReal},
    {"Bold", OFTInteger},      {"Italic", OFTInteger},            {"Underline", OFTInteger},
    {"Color", OFTInteger},     {"HorizontalAlignment", OFTInteger}, {"VerticalAlignment", OFTInteger},
    {"CharacterSpacing", OFTReal},
};

}  // namespace

OGRLayer* CreateAnnotationClass(Workspace& workspace, const std::string& name, FeatureDataset* dataset,
                                const OGRSpatialReference* spatialReference, double referenceScale) {
  OGRLayer* layer = nullptr;
  if (!name.empty()) {
    OGRSpatialReference srs;
    bool hasSrs = false;
    // Inside a dataset the class takes the dataset's spatial reference.
    if (dataset != nullptr && !dataset->srsWkt.empty())
      hasSrs = srs.importFromWkt(dataset->srsWkt.c_str()) == OGRERR_NONE;
    else if (dataset == nullptr && spatialReference != nullptr)
      srs = *spatialReference, hasSrs = !srs.IsEmpty();
    if (hasSrs) srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);

    std::ostringstream scale;
    scale.precision(17);
    scale << referenceScale;
    CPLStringList options;
    options.SetNameValue("FID", "OBJECTID");
    options.SetNameValue("GEOMETRY_NAME", "Shape");
    if (workspace.kind() == WorkspaceKind::FileGeodatabase) {
      if (dataset != nullptr) options.SetNameValue("FEATURE_DATASET", dataset->name.c_str());
      const std::string documentation =
          "<metadata><referenceScale>" + scale.str() + "</referenceScale><referenceScaleUnits>9</referenceScaleUnits></metadata>";
      options.SetNameValue("DOCUMENTATION", documentation.c_str());
    } else {
      options.SetNameValue("SPATIAL_INDEX", "YES");
    }
    if (OpenFeatureClass(workspace, name) == nullptr)
      layer = workspace.dataset().CreateLayer(
          name.c_str(), hasSrs && !(dataset != nullptr && TakesDatasetSpatialReference(*dataset)) ? &srs : nullptr,
          wkbPoint, options.List());
    for (const auto& field : kTextFields) {
      if (layer == nullptr) break;
      OGRFieldDefn definition(field.name, field.type);
      if (layer->CreateField(&definition) != OGRERR_NONE) layer = nullptr;
    }
    if (layer != nullptr) {
      layer->SetMetadataItem("FRAMORA_REFERENCE_SCALE", scale.str().c_str());
      if (workspace.kind() == WorkspaceKind::FileGeodatabase) {
        if (dataset != nullptr) {
          layer->SetMetadataItem("FRAMORA_DATASET", dataset->name.c_str());
          NoteClassCreated(*dataset);
        }
      } else {
        RegisterDatasetMember(workspace, dataset != nullptr ? dataset->name : "", name, referenceScale);
      }
    }
  }
  if (layer == nullptr) throw FramoraError("不能创立注记层:" + name);
  return layer;
}

bool IsTextClass(OGRLayer& layer) { return layer.GetLayerDefn()->GetFieldIndex("TextString") >= 0; }

bool AddTextElement(OGRLayer& textClass, const std::string& text, double x, double y, const TextSymbol& symbol) {
  if (Trim(text).empty()) return false;
  OGRFeature feature(textClass.GetLayerDefn());
  OGRPoint point(x, y);
  feature.SetGeometry(&point);
  feature.SetField("TextString", text.c_str());
  feature.SetField("FontName", symbol.fontName.c_str());
  feature.SetField("FontSize", symbol.size);
  feature.SetField("Bold", symbol.bold ? 1 : 0);
  feature.SetField("Italic", symbol.italic ? 1 : 0);
  feature.SetField("Underline", symbol.underline ? 1 : 0);
  feature.SetField("Color", symbol.color < 0 ? 0 : symbol.color);
  feature.SetField("HorizontalAlignment", symbol.horizontalAlignment);
  feature.SetField("VerticalAlignment", symbol.verticalAlignment);
  feature.SetField("CharacterSpacing", symbol.characterSpacing);
  if (textClass.CreateFeature(&feature) != OGRERR_NONE) throw FramoraError("保存失败");
  return true;
}

}  // namespace framora
