#include "gis/feature_class.h"

#include <algorithm>
#include <set>

#include <cpl_error.h>

#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

FieldTemplate MakeFieldTemplate(OGRwkbGeometryType geometryType, int spatialIndexGridSize) {
  return FieldTemplate{geometryType, spatialIndexGridSize};
}

std::string CleanClassName(const std::string& name) { return ReplaceAll(ReplaceAll(name, ".", "_"), "-", "_"); }

OGRLayer* CreateFeatureClass(FeatureDataset& dataset, const std::string& name, const FieldTemplate& fields) {
  const std::string cleaned = CleanClassName(name);
  Workspace& workspace = *dataset.workspace;
  OGRLayer* layer = nullptr;
  CPLErrorReset();
  if (!cleaned.empty() && OpenFeatureClass(workspace, cleaned) == nullptr) {
    OGRSpatialReference srs;
    const bool hasSrs = !dataset.srsWkt.empty() && srs.importFromWkt(dataset.srsWkt.c_str()) == OGRERR_NONE;
    if (hasSrs) srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    CPLStringList options;
    options.SetNameValue("FID", "OBJECTID");
    options.SetNameValue("GEOMETRY_NAME", "Shape");
    if (workspace.kind() == WorkspaceKind::FileGeodatabase) {
      options.SetNameValue("FEATURE_DATASET", dataset.name.c_str());
      if (dataset.domain) {
        options.SetNameValue("XORIGIN", NumberText(dataset.domain->xmin).c_str());
        options.SetNameValue("YORIGIN", NumberText(dataset.domain->ymin).c_str());
        // A tenth of a millimetre in metres, a billionth of a degree in degrees.
        const bool geographic = hasSrs && srs.IsGeographic();
        options.SetNameValue("XYSCALE", geographic ? "1000000000" : "10000");
        options.SetNameValue("XYTOLERANCE", geographic ? "0.000000008983153" : "0.001");
      }
    } else {
      options.SetNameValue("SPATIAL_INDEX", "YES");
    }
    const bool ownSrs = hasSrs && !TakesDatasetSpatialReference(dataset);
    layer = workspace.dataset().CreateLayer(cleaned.c_str(), ownSrs ? &srs : nullptr, fields.geometryType,
                                            options.List());
    if (layer != nullptr) {
      OGRFieldDefn id("ID", OFTInteger);
      if (layer->CreateField(&id) != OGRERR_NONE) layer = nullptr;
    }
    if (layer != nullptr) {
      if (workspace.kind() == WorkspaceKind::FileGeodatabase) {
        layer->SetMetadataItem("FRAMORA_DATASET", dataset.name.c_str());
        NoteClassCreated(dataset);
      }
      else
        RegisterDatasetMember(workspace, dataset.name, cleaned);
    }
  }
  if (layer == nullptr) {
    // GDAL's own words say what the geodatabase objected to.
    const std::string reason = CPLGetLastErrorType() >= CE_Failure ? CPLGetLastErrorMsg() : "";
    throw FramoraError("不能创立表" + cleaned + (reason.empty() ? "" : "：" + reason));
  }
  return layer;
}

OGRLayer* OpenFeatureClass(Workspace& workspace, const std::string& name) {
  if (name.empty()) return nullptr;
  GDALDataset& dataset = workspace.dataset();
  if (OGRLayer* layer = dataset.GetLayerByName(name.c_str())) return layer;
  for (int i = 0; i < dataset.GetLayerCount(); ++i)
    if (EqualsIgnoringCase(dataset.GetLayer(i)->GetName(), name)) return dataset.GetLayer(i);
  return nullptr;
}

OGRGeometryUniquePtr ConformToClass(const OGRGeometry& geometry, OGRLayer& featureClass) {
  OGRGeometryUniquePtr copy(geometry.clone());
  switch (wkbFlatten(featureClass.GetGeomType())) {
    case wkbMultiPolygon:
      return OGRGeometryUniquePtr(OGRGeometryFactory::forceToMultiPolygon(copy.release()));
    case wkbMultiLineString:
      return OGRGeometryUniquePtr(OGRGeometryFactory::forceToMultiLineString(copy.release()));
    default:
      return copy;
  }
}

std::string SaveFailureText(OGRLayer& featureClass) {
  const std::string reason = CPLGetLastErrorMsg();
  return std::string("保存失败：") + featureClass.GetName() + (reason.empty() ? "" : "，" + reason);
}

void StoreFeature(OGRLayer& featureClass, const OGRGeometry& geometry, int id) {
  OGRFeature feature(featureClass.GetLayerDefn());
  feature.SetGeometryDirectly(ConformToClass(geometry, featureClass).release());
  feature.SetField(feature.GetFieldIndex("ID"), id);
  CPLErrorReset();
  if (featureClass.CreateFeature(&feature) != OGRERR_NONE) throw FramoraError(SaveFailureText(featureClass));
}

int FieldIndex(const OGRFeature& feature, const std::string& fieldName) {
  return feature.GetDefnRef()->GetFieldIndex(fieldName.c_str());
}

std::optional<std::string> FieldValue(const OGRFeature& feature, const std::string& fieldName) {
  const int index = FieldIndex(feature, fieldName);
  if (index < 0 && EqualsIgnoringCase(fieldName, kObjectIdField))
    return feature.GetFID() == OGRNullFID ? std::string() : std::to_string(feature.GetFID());
  if (index < 0) return std::nullopt;
  if (!feature.IsFieldSetAndNotNull(index)) return "";
  return feature.GetFieldAsString(index);
}

bool FieldTellsFeaturesApart(OGRLayer& layer, const std::string& fieldName) {
  const int index = layer.GetLayerDefn()->GetFieldIndex(fieldName.c_str());
  if (index < 0) return EqualsIgnoringCase(fieldName, kObjectIdField);
  std::set<std::string> seen;
  layer.ResetReading();
  bool apart = true;
  for (auto& feature : layer) {
    if (!feature->IsFieldSetAndNotNull(index) || !seen.insert(feature->GetFieldAsString(index)).second) {
      apart = false;
      break;
    }
  }
  layer.ResetReading();
  return apart;
}

void ApplyWhereClause(OGRLayer& layer, const std::string& whereClause) {
  const std::string clause = Trim(whereClause);
  CPLErrorReset();
  bool failed = layer.SetAttributeFilter(clause.empty() ? nullptr : clause.c_str()) != OGRERR_NONE;
  if (!failed && !clause.empty()) {
    // Some drivers only find out when they read: try one feature.
    layer.ResetReading();
    OGRFeatureUniquePtr probe(layer.GetNextFeature());
    failed = CPLGetLastErrorType() >= CE_Failure;
    layer.ResetReading();
  }
  if (failed) {
    layer.SetAttributeFilter(nullptr);
    throw FramoraError("查询条件错误：" + clause);
  }
}

long long CountFeatures(OGRLayer& layer, const std::string& whereClause) {
  ApplyWhereClause(layer, whereClause);
  return layer.GetFeatureCount(TRUE);
}

std::vector<OGRFeatureUniquePtr> SpatialSearch(OGRLayer& layer, const OGRGeometry& geometry,
                                               const std::string& whereClause) {
  ApplyWhereClause(layer, whereClause);
  layer.SetSpatialFilter(const_cast<OGRGeometry*>(&geometry));
  std::vector<OGRFeatureUniquePtr> found;
  layer.ResetReading();
  // The layer's filter only compares envelopes; the shapes decide.
  while (OGRFeatureUniquePtr feature{layer.GetNextFeature()}) {
    const OGRGeometry* shape = feature->GetGeometryRef();
    if (shape != nullptr && shape->Intersects(&geometry)) found.push_back(std::move(feature));
  }
  layer.SetSpatialFilter(nullptr);
  layer.SetAttributeFilter(nullptr);
  layer.ResetReading();
  return found;
}

std::vector<OGRFeatureUniquePtr> AttributeQuery(OGRLayer& layer, const std::string& whereClause) {
  ApplyWhereClause(layer, whereClause);
  std::vector<OGRFeatureUniquePtr> found;
  layer.ResetReading();
  while (OGRFeatureUniquePtr feature{layer.GetNextFeature()}) found.push_back(std::move(feature));
  layer.ResetReading();
  return found;
}

}  // namespace framora
