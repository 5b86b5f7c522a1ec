#pragma once

#include <ogrsf_frmts.h>

#include <optional>
#include <string>
#include <vector>

#include "gis/feature_dataset.h"

namespace framora {

// The field set every frame class is made with: "OBJECTID", "Shape", "ID", in that order.
struct FieldTemplate {
  OGRwkbGeometryType geometryType = wkbLineString;
  int spatialIndexGridSize = 1000;  // kept for formats that take it; ours index on their own
};

FieldTemplate MakeFieldTemplate(OGRwkbGeometryType geometryType, int spatialIndexGridSize);

// Every "." and then every "-" becomes "_".
std::string CleanClassName(const std::string& name);

// Creates a class of the template in the dataset. Throws FramoraError "不能创立表" + the
// cleaned name and GDAL's message when nothing is created.
OGRLayer* CreateFeatureClass(FeatureDataset& dataset, const std::string& name, const FieldTemplate& fields);
// The class of that name (any letter case), or nullptr.
OGRLayer* OpenFeatureClass(Workspace& workspace, const std::string& name);

// A copy of the geometry in the class's own type (a polygon becomes a one-part multipolygon
// in a multipolygon class), so that every format stores it without complaint.
OGRGeometryUniquePtr ConformToClass(const OGRGeometry& geometry, OGRLayer& featureClass);
// Stores one feature with its "ID" kind; a failure throws FramoraError (SaveFailureText).
void StoreFeature(OGRLayer& featureClass, const OGRGeometry& geometry, int id);
// "保存失败" with the class and GDAL's reason for the last failed store.
std::string SaveFailureText(OGRLayer& featureClass);

// A layer's object identifier, as a field name; a real field of that name comes first.
inline constexpr const char* kObjectIdField = "FID";

// Index of the field, or a negative number.
int FieldIndex(const OGRFeature& feature, const std::string& fieldName);
// The value as text, "" for a null value; nothing when the feature has no such field.
// "FID" without such a field is the feature's object identifier.
std::optional<std::string> FieldValue(const OGRFeature& feature, const std::string& fieldName);
// Whether every feature of the layer has its own value in the field (the field can name
// sheets); always so for the object identifier.
bool FieldTellsFeaturesApart(OGRLayer& layer, const std::string& fieldName);

// Sets the layer's attribute filter; an empty clause clears it. A clause that does not
// parse throws FramoraError naming it.
void ApplyWhereClause(OGRLayer& layer, const std::string& whereClause);
// Number of features matching the where clause.
long long CountFeatures(OGRLayer& layer, const std::string& whereClause);
// Features that intersect geometry and match the where clause.
std::vector<OGRFeatureUniquePtr> SpatialSearch(OGRLayer& layer, const OGRGeometry& geometry,
                                               const std::string& whereClause);
// Features matching the where clause, in the layer's order.
std::vector<OGRFeatureUniquePtr> AttributeQuery(OGRLayer& layer, const std::string& whereClause);

}  // namespace framora
