#include "gis/feature_layer.h"

#include "gis/feature_class.h"
#include "gis/text_class.h"

namespace framora {

FeatureLayer MakeLayer(OGRLayer& featureClass) {
  FeatureLayer layer;
  layer.featureClass = &featureClass;
  layer.name = featureClass.GetName();
  layer.isTextLayer = IsTextClass(featureClass);
  return layer;
}

FeatureLayer& SetLayerFilter(FeatureLayer& layer, const std::string& expression) {
  if (layer.featureClass != nullptr) ApplyWhereClause(*layer.featureClass, expression);
  layer.definitionExpression = expression;
  return layer;
}

FeatureLayer OpenFeatureLayer(Workspace& workspace, const std::string& name, const std::string& definitionExpression) {
  OGRLayer* featureClass = OpenFeatureClass(workspace, name);
  if (featureClass == nullptr) return {};
  FeatureLayer layer = MakeLayer(*featureClass);
  if (!definitionExpression.empty()) SetLayerFilter(layer, definitionExpression);
  return layer;
}

}  // namespace framora
