#pragma once

#include <ogrsf_frmts.h>

#include <string>

#include "gis/workspace.h"

namespace framora {

// A class seen through a layer: its name on the map and its definition query.
struct FeatureLayer {
  OGRLayer* featureClass = nullptr;
  std::string name;
  std::string definitionExpression;
  bool isTextLayer = false;  // a text class standing in for an annotation class

  explicit operator bool() const { return featureClass != nullptr; }
};

// A layer over the class, named after it; text classes give a text layer.
FeatureLayer MakeLayer(OGRLayer& featureClass);
// Sets the definition query (a clause that does not parse throws FramoraError).
FeatureLayer& SetLayerFilter(FeatureLayer& layer, const std::string& expression);
// The class of that name as a layer, with the definition query when it is not empty;
// an empty layer when the class is missing.
FeatureLayer OpenFeatureLayer(Workspace& workspace, const std::string& name, const std::string& definitionExpression);

}  // namespace framora
