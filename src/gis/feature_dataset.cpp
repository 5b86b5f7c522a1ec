#include "gis/feature_dataset.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>

#include "util/number_parse.h"
#include "util/text.h"

namespace framora {

namespace {

// The single-file kind keeps its datasets in one table of rows (name, parent, ...):
// a row with an empty parent is a dataset, any other row a class inside that parent.
OGRLayer* DatasetTable(Workspace& workspace, bool create) {
  GDALDataset& dataset = workspace.dataset();
  if (OGRLayer* table = dataset.GetLayerByName(kDatasetTableName)) return table;
  if (!create) return nullptr;
  OGRLayer* table = dataset.CreateLayer(kDatasetTableName, nullptr, wkbNone, nullptr);
  if (table == nullptr) return nullptr;
  for (const char* name : {"name", "parent", "srs_wkt"}) {
    OGRFieldDefn field(name, OFTString);
    table->CreateField(&field);
  }
  for (const char* name : {"xmin", "ymin", "xmax", "ymax", "reference_scale"}) {
    OGRFieldDefn field(name, OFTReal);
    table->CreateField(&field);
  }
  return table;
}

struct DatasetRow {
  std::string name, parent, srsWkt;
  std::optional<SpatialDomain> domain;
  double referenceScale = 0;
};

std::vector<DatasetRow> ReadDatasetTable(Workspace& workspace) {
  std::vector<DatasetRow> rows;
  OGRLayer* table = DatasetTable(workspace, false);
  if (table == nullptr) return rows;
  table->SetAttributeFilter(nullptr);
  table->ResetReading();
  for (auto& feature : *table) {
    DatasetRow row;
    row.name = feature->GetFieldAsString("name");
    row.parent = feature->GetFieldAsString("parent");
    row.srsWkt = feature->GetFieldAsString("srs_wkt");
    if (feature->IsFieldSetAndNotNull(feature->GetFieldIndex("xmin"))) {
      row.domain = SpatialDomain{feature->GetFieldAsDouble("xmin"), feature->GetFieldAsDouble("ymin"),
                                 feature->GetFieldAsDouble("xmax"), feature->GetFieldAsDouble("ymax")};
    }
    row.referenceScale = feature->GetFieldAsDouble("reference_scale");
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::string> GroupNames(Workspace& workspace) {
  std::vector<std::string> names;
  if (auto root = workspace.dataset().GetRootGroup()) names = root->GetGroupNames();
  for (const auto& entry : workspace.createdDatasets()) {
    const std::string& name = entry.first;
    if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return EqualsIgnoringCase(n, name); }))
      names.push_back(name);
  }
  return names;
}

std::vector<std::string> GroupMembers(Workspace& workspace, const std::string& datasetName) {
  std::vector<std::string> members;
  if (auto root = workspace.dataset().GetRootGroup()) {
    for (const auto& name : root->GetGroupNames()) {
      if (!EqualsIgnoringCase(name, datasetName)) continue;
      if (auto group = root->OpenGroup(name)) members = group->GetVectorLayerNames();
    }
  }
  // Layers created in this session may not be listed by the group yet.
  for (int i = 0; i < workspace.dataset().GetLayerCount(); ++i) {
    OGRLayer* layer = workspace.dataset().GetLayer(i);
    const char* parent = layer->GetMetadataItem("FRAMORA_DATASET");
    if (parent != nullptr && EqualsIgnoringCase(parent, datasetName) &&
        std::find(members.begin(), members.end(), layer->GetName()) == members.end())
      members.push_back(layer->GetName());
  }
  return members;
}

}  // namespace

void EnsureDatasetTable(Workspace& workspace) {
  if (workspace.kind() == WorkspaceKind::GeoPackage) DatasetTable(workspace, true);
}

std::vector<std::string> FeatureDatasetNames(Workspace& workspace) {
  if (workspace.kind() == WorkspaceKind::FileGeodatabase) return GroupNames(workspace);
  std::vector<std::string> names;
  for (const auto& row : ReadDatasetTable(workspace))
    if (row.parent.empty()) names.push_back(row.name);
  return names;
}

std::vector<std::string> FeatureDatasetMembers(Workspace& workspace, const std::string& datasetName) {
  if (workspace.kind() == WorkspaceKind::FileGeodatabase) return GroupMembers(workspace, datasetName);
  std::vector<std::string> members;
  for (const auto& row : ReadDatasetTable(workspace))
    if (!row.parent.empty() && EqualsIgnoringCase(row.parent, datasetName)) members.push_back(row.name);
  return members;
}

bool FeatureDatasetExists(Workspace& workspace, const std::string& name) {
  // Every sheet start asks this of a growing geodatabase. When no class bears the name,
  // only the datasets' own names can match; listing every dataset's members (each listing
  // walks every layer) would make each question cost as much as all sheets before it.
  if (workspace.kind() == WorkspaceKind::FileGeodatabase &&
      workspace.dataset().GetLayerByName(name.c_str()) == nullptr) {
    for (const auto& [created, pending] : workspace.createdDatasets())
      if (EqualsIgnoringCase(created, name)) return true;
    if (auto root = workspace.dataset().GetRootGroup()) {
      for (const auto& dataset : root->GetGroupNames())
        if (EqualsIgnoringCase(dataset, name) && !GroupMembers(workspace, dataset).empty()) return true;
    }
    return false;
  }
  const std::string wanted = ToUpperAscii(name);
  for (const auto& dataset : FeatureDatasetNames(workspace)) {
    const auto members = FeatureDatasetMembers(workspace, dataset);
    // A file geodatabase cannot hold an empty dataset of ours except one whose classes
    // were removed after a failed sheet: that one does not count as made.
    if (workspace.kind() == WorkspaceKind::FileGeodatabase && members.empty() &&
        workspace.createdDatasets().count(dataset) == 0)
      continue;
    if (ToUpperAscii(dataset) == wanted) return true;
    for (const auto& member : members)
      if (ToUpperAscii(member) == wanted) return true;
  }
  return false;
}

std::optional<SpatialDomain> StoredSpatialDomain(Workspace& workspace, const std::string& datasetName) {
  if (workspace.kind() == WorkspaceKind::GeoPackage) {
    for (const auto& row : ReadDatasetTable(workspace))
      if (row.parent.empty() && EqualsIgnoringCase(row.name, datasetName)) return row.domain;
    return std::nullopt;
  }
  // The geodatabase keeps a dataset's grid origin in its item definition only.
  const char* options[] = {"LIST_ALL_TABLES=YES", nullptr};
  const char* drivers[] = {"OpenFileGDB", nullptr};
  GDALDatasetUniquePtr catalog(
      GDALDataset::Open(workspace.path().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, options));
  OGRLayer* items = catalog ? catalog->GetLayerByName("GDB_Items") : nullptr;
  if (items == nullptr) return std::nullopt;
  for (auto& item : *items) {
    if (!EqualsIgnoringCase(item->GetFieldAsString("Name"), datasetName)) continue;
    const std::string definition = item->GetFieldAsString("Definition");
    const auto element = [&](const std::string& tag) -> std::optional<double> {
      const auto open = definition.find("<" + tag + ">");
      if (open == std::string::npos) return std::nullopt;
      const auto start = open + tag.size() + 2;
      return ParseDecimal(std::string_view(definition).substr(start, definition.find('<', start) - start));
    };
    const auto x = element("XOrigin"), y = element("YOrigin");
    if (!x || !y) return std::nullopt;
    return SpatialDomain{*x, *y, *x, *y};
  }
  return std::nullopt;
}

std::optional<FeatureDataset> CreateFeatureDataset(Workspace& workspace, const std::string& name,
                                                   const OGRSpatialReference* spatialReference,
                                                   const std::optional<SpatialDomain>& domain) {
  // A new sheet holds no class of the workspace yet.
  workspace.reopenWhenDue();
  if (Trim(name).empty() || FeatureDatasetExists(workspace, name)) return std::nullopt;
  FeatureDataset result{&workspace, name, {}, domain};
  if (spatialReference != nullptr && !spatialReference->IsEmpty()) {
    char* wkt = nullptr;
    const char* options[] = {"FORMAT=WKT2_2019", nullptr};
    if (spatialReference->exportToWkt(&wkt, options) == OGRERR_NONE && wkt != nullptr) result.srsWkt = wkt;
    CPLFree(wkt);
  }
  if (workspace.kind() == WorkspaceKind::FileGeodatabase) {
    // A dataset whose classes were removed to be made again is still in the geodatabase with
    // the coordinate system it stored; one without an authority code never compares equal to
    // ours, so its classes take the stored one.
    bool storedAlready = false;
    if (auto root = workspace.dataset().GetRootGroup()) {
      for (const auto& existing : root->GetGroupNames())
        if (EqualsIgnoringCase(existing, name)) storedAlready = true;
    }
    const bool withoutCode = spatialReference != nullptr && spatialReference->GetAuthorityCode(nullptr) == nullptr;
    workspace.createdDatasets()[name] = Workspace::PendingDataset{result.srsWkt, domain, storedAlready && withoutCode};
    return result;
  }
  OGRLayer* table = DatasetTable(workspace, true);
  if (table == nullptr) return std::nullopt;
  OGRFeature row(table->GetLayerDefn());
  row.SetField("name", name.c_str());
  row.SetField("parent", "");
  row.SetField("srs_wkt", result.srsWkt.c_str());
  if (domain) {
    row.SetField("xmin", domain->xmin);
    row.SetField("ymin", domain->ymin);
    row.SetField("xmax", domain->xmax);
    row.SetField("ymax", domain->ymax);
  }
  if (table->CreateFeature(&row) != OGRERR_NONE) return std::nullopt;
  return result;
}

bool TakesDatasetSpatialReference(const FeatureDataset& dataset) {
  if (dataset.workspace->kind() != WorkspaceKind::FileGeodatabase) return false;
  const auto& created = dataset.workspace->createdDatasets();
  const auto pending = created.find(dataset.name);
  return pending != created.end() && pending->second.hasClass;
}

void NoteClassCreated(FeatureDataset& dataset) {
  auto& created = dataset.workspace->createdDatasets();
  if (const auto pending = created.find(dataset.name); pending != created.end()) pending->second.hasClass = true;
}

bool DeleteFeatureDataset(Workspace& workspace, const std::string& name) {
  GDALDataset& dataset = workspace.dataset();
  bool complete = true;
  for (const auto& member : FeatureDatasetMembers(workspace, name)) {
    for (int i = 0; i < dataset.GetLayerCount(); ++i) {
      if (EqualsIgnoringCase(dataset.GetLayer(i)->GetName(), member)) {
        if (dataset.DeleteLayer(i) != OGRERR_NONE) complete = false;
        break;
      }
    }
  }
  workspace.noteDatasetEmptied(name);
  for (auto it = workspace.createdDatasets().begin(); it != workspace.createdDatasets().end();) {
    it = EqualsIgnoringCase(it->first, name) ? workspace.createdDatasets().erase(it) : std::next(it);
  }
  if (workspace.kind() == WorkspaceKind::GeoPackage) {
    if (OGRLayer* table = DatasetTable(workspace, false)) {
      std::vector<GIntBig> doomed;
      table->SetAttributeFilter(nullptr);
      table->ResetReading();
      for (auto& row : *table) {
        if (EqualsIgnoringCase(row->GetFieldAsString("name"), name) ||
            EqualsIgnoringCase(row->GetFieldAsString("parent"), name))
          doomed.push_back(row->GetFID());
      }
      for (GIntBig fid : doomed)
        if (table->DeleteFeature(fid) != OGRERR_NONE) complete = false;
    }
  }
  return complete;
}

void RegisterDatasetMember(Workspace& workspace, const std::string& datasetName, const std::string& className,
                           double referenceScale) {
  if (workspace.kind() != WorkspaceKind::GeoPackage) return;
  OGRLayer* table = DatasetTable(workspace, true);
  if (table == nullptr) return;
  OGRFeature row(table->GetLayerDefn());
  row.SetField("name", className.c_str());
  row.SetField("parent", datasetName.c_str());
  if (referenceScale > 0) row.SetField("reference_scale", referenceScale);
  // A lost membership row only hides the class from the dataset listing.
  if (table->CreateFeature(&row) != OGRERR_NONE) return;
}

double StoredReferenceScale(Workspace& workspace, const std::string& className) {
  if (workspace.kind() == WorkspaceKind::GeoPackage) {
    for (const auto& row : ReadDatasetTable(workspace))
      if (!row.parent.empty() && EqualsIgnoringCase(row.name, className)) return row.referenceScale;
    return 0;
  }
  OGRLayer* layer = workspace.dataset().GetLayerByName(className.c_str());
  if (layer == nullptr) return 0;
  if (const char* value = layer->GetMetadataItem("FRAMORA_REFERENCE_SCALE"))
    return ParseDecimal(value, NumberForm::Forgiving).value_or(0);
  // A reopened file geodatabase keeps it in the class's documentation, in GDB_Items.
  {
    OGRLayer* found = workspace.dataset().ExecuteSQL("SELECT Name, Documentation FROM GDB_Items", nullptr, nullptr);
    if (found == nullptr) return 0;
    double scale = 0;
    for (auto& row : *found) {
      if (!EqualsIgnoringCase(row->GetFieldAsString("Name"), className)) continue;
      const std::string xml = row->GetFieldAsString("Documentation");
      constexpr std::string_view kTag = "<referenceScale>";
      const auto start = xml.find(kTag);
      if (start == std::string::npos) continue;
      const auto end = xml.find('<', start + kTag.size());
      scale = ParseDecimal(std::string_view(xml).substr(start + kTag.size(), end - start - kTag.size()),
                           NumberForm::Forgiving)
                  .value_or(0);
    }
    workspace.dataset().ReleaseResultSet(found);
    return scale;
  }
}

}  // namespace framora
