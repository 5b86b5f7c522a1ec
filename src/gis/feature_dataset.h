#pragma once

#include <ogr_spatialref.h>

#include <optional>
#include <string>
#include <vector>

#include "gis/workspace.h"

namespace framora {

// A feature dataset: a named group of classes sharing one spatial reference.
struct FeatureDataset {
  Workspace* workspace = nullptr;
  std::string name;
  std::string srsWkt;  // empty: no spatial reference
  std::optional<SpatialDomain> domain;
};

// A file geodatabase compares a new class's coordinate system with the dataset's as it
// stored it, and one without an authority code never compares equal. So a dataset's
// classes after its first are made without one, and the geodatabase gives them its own.
bool TakesDatasetSpatialReference(const FeatureDataset& dataset);
void NoteClassCreated(FeatureDataset& dataset);

// True when the workspace holds a feature dataset, or a class inside one, whose name
// equals name without regard to letter case.
bool FeatureDatasetExists(Workspace& workspace, const std::string& name);
// The names of the workspace's feature datasets and of their member classes.
std::vector<std::string> FeatureDatasetNames(Workspace& workspace);
std::vector<std::string> FeatureDatasetMembers(Workspace& workspace, const std::string& datasetName);

// Creates a feature dataset; nothing when the name is empty or already taken.
std::optional<FeatureDataset> CreateFeatureDataset(Workspace& workspace, const std::string& name,
                                                   const OGRSpatialReference* spatialReference,
                                                   const std::optional<SpatialDomain>& domain = std::nullopt);
// Removes a feature dataset and every class in it, so that nothing of a sheet that
// failed half-way is taken for finished later. True when nothing of it is left.
bool DeleteFeatureDataset(Workspace& workspace, const std::string& name);

// Records that a class was created inside a dataset (single-file kind only).
void RegisterDatasetMember(Workspace& workspace, const std::string& datasetName, const std::string& className,
                           double referenceScale = 0);
// The reference scale stored with a text class, 0 when none was stored.
double StoredReferenceScale(Workspace& workspace, const std::string& className);

// The spatial domain a dataset was made with, as far as the format keeps it: the whole domain
// in the single-file kind, the origin (xmin, ymin) in a file geodatabase; nothing when none
// was given.
std::optional<SpatialDomain> StoredSpatialDomain(Workspace& workspace, const std::string& datasetName);

// Makes the dataset table of a single-file workspace (a GeoPackage without any table
// cannot be opened again).
void EnsureDatasetTable(Workspace& workspace);

// The dataset table of the single-file kind.
inline constexpr const char* kDatasetTableName = "framora_feature_datasets";

}  // namespace framora
