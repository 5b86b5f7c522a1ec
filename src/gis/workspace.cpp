#include "gis/workspace.h"

#include <ogrsf_frmts.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "gis/feature_dataset.h"
#include "gis/gdal_setup.h"
#include "util/files.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

namespace {

// Drops the catalog entries of the named feature datasets that hold no class any more: the
// dataset's item, the items of its deleted classes (GDAL 3.6 keeps those of classes made and
// deleted in one session) and their relationships. Runs on a closed geodatabase; what cannot
// be removed stays an empty dataset.
void RemoveEmptyDatasetEntries(const std::string& path, const std::set<std::string>& names) {
  const char* drivers[] = {"OpenFileGDB", nullptr};
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers));
  OGRLayer* items = dataset ? dataset->GetLayerByName("GDB_Items") : nullptr;
  OGRLayer* relationships = dataset ? dataset->GetLayerByName("GDB_ItemRelationships") : nullptr;
  if (items == nullptr || relationships == nullptr) return;
  struct Entries {
    bool occupied = false;  // a class of it is still there
    std::map<std::string, GIntBig> items;  // UUID: fid
  };
  std::map<std::string, Entries> datasets;  // upper-cased name
  for (const auto& name : names) datasets[ToUpperAscii(name)];
  for (auto& item : *items) {
    const std::string itemPath = item->GetFieldAsString("Path");
    if (itemPath.size() < 2 || itemPath[0] != '\\') continue;
    const auto separator = itemPath.find('\\', 1);
    const std::string datasetName = itemPath.substr(1, separator == std::string::npos ? separator : separator - 1);
    const auto found = datasets.find(ToUpperAscii(datasetName));
    if (found == datasets.end()) continue;
    if (separator != std::string::npos &&
        dataset->GetLayerByName(itemPath.substr(separator + 1).c_str()) != nullptr)
      found->second.occupied = true;
    found->second.items[item->GetFieldAsString("UUID")] = item->GetFID();
  }
  for (const auto& [name, entries] : datasets) {
    if (entries.occupied || entries.items.empty()) continue;
    std::vector<GIntBig> links;
    relationships->ResetReading();
    for (auto& link : *relationships)
      if (entries.items.count(link->GetFieldAsString("DestID")) > 0 ||
          entries.items.count(link->GetFieldAsString("OriginID")) > 0)
        links.push_back(link->GetFID());
    bool unlinked = true;
    for (GIntBig fid : links) unlinked = relationships->DeleteFeature(fid) == OGRERR_NONE && unlinked;
    // An item whose links stayed would be an orphan: better an empty dataset.
    if (!unlinked) continue;
    for (const auto& [uuid, fid] : entries.items)
      if (items->DeleteFeature(fid) != OGRERR_NONE) break;
  }
}

}  // namespace

Workspace::Workspace(GDALDatasetUniquePtr dataset, WorkspaceKind kind, std::string path)
    : dataset_(std::move(dataset)), kind_(kind), path_(std::move(path)), changedFiles_(path_) {}

Workspace::~Workspace() {
  if (!dataset_) return;
  if (inTransaction_) dataset_->CommitTransaction();
  if (emptiedDatasets_.empty()) return;
  dataset_.reset();
  RemoveEmptyDatasetEntries(path_, emptiedDatasets_);
}

GDALDataset& Workspace::dataset() {
  if (!dataset_) throw FramoraError("打开" + path_ + "失败");
  return *dataset_;
}

void Workspace::reopenWhenDue() {
  if (kind_ != WorkspaceKind::FileGeodatabase || sheetsSinceOpening_ < kSheetsPerOpening || batchDepth_ > 0) return;
  sheetsSinceOpening_ = 0;
  dataset_.reset();
#ifdef __GLIBC__
  malloc_trim(0);  // what GDAL let go of, back to the system rather than kept for later
#endif
  const char* drivers[] = {"OpenFileGDB", nullptr};
  CPLErrorReset();
  dataset_.reset(GDALDataset::Open(path_.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers));
  if (!dataset_) {
    const std::string reason = CPLGetLastErrorMsg();
    throw FramoraError("打开" + path_ + "失败" + (reason.empty() ? "" : "：" + reason));
  }
  // Datasets with a class are in the catalog now, where GDAL finds them.
  for (auto it = createdDatasets_.begin(); it != createdDatasets_.end();)
    it = it->second.hasClass ? createdDatasets_.erase(it) : std::next(it);
}

void Workspace::noteDatasetEmptied(const std::string& datasetName) {
  if (kind_ == WorkspaceKind::FileGeodatabase) emptiedDatasets_.insert(datasetName);
}

void Workspace::beginBatch() {
  if (batchDepth_++ > 0) return;
  // GeoPackage commits every insert on its own otherwise; file geodatabases write
  // directly and would only emulate a transaction by copying the folder.
  if (kind_ == WorkspaceKind::GeoPackage) inTransaction_ = dataset_->StartTransaction() == OGRERR_NONE;
}

void Workspace::endBatch() {
  if (batchDepth_ == 0 || --batchDepth_ > 0) return;
  if (inTransaction_) {
    inTransaction_ = false;
    if (dataset_->CommitTransaction() != OGRERR_NONE) throw FramoraError("保存失败：" + path_);
  }
}

bool Workspace::datasetComplete(const std::string& datasetName) const {
  if (kind_ != WorkspaceKind::FileGeodatabase || !journalKept_) return true;
  return completeDatasets_.count(ToUpperAscii(datasetName)) > 0;
}

void Workspace::recordDatasetComplete(const std::string& datasetName, const std::vector<OGRLayer*>& classes) {
  if (kind_ != WorkspaceKind::FileGeodatabase) return;
  CPLErrorReset();
  bool synced = true;
  for (OGRLayer* layer : classes)
    if (layer != nullptr && layer->SyncToDisk() != OGRERR_NONE) synced = false;
  dataset_->FlushCache(false);
  synced = synced && CPLGetLastErrorType() < CE_Failure;
  const std::string reason = CPLGetLastErrorMsg();
  if (!synced) throw FramoraError("保存失败：" + path_ + (reason.empty() ? "" : "：" + reason));
  // The files written since the last sheet reach the disk before the line that vouches for them.
  if (!changedFiles_.syncChanged()) throw FramoraError("保存失败：" + path_ + "：" + std::strerror(errno));
  ++sheetsSinceOpening_;
  if (!journalKept_) return;
  const std::string journal = (fs::path(path_) / kSheetJournalName).string();
  std::FILE* file = std::fopen(journal.c_str(), "ab");
  bool written = file != nullptr && std::fprintf(file, "%s\n", datasetName.c_str()) > 0 && std::fflush(file) == 0 &&
                 ::fsync(::fileno(file)) == 0;
  const int cause = errno;
  if (file != nullptr && std::fclose(file) != 0) written = false;
  if (!written) throw FramoraError("保存失败：" + journal + "：" + std::strerror(cause));
  changedFiles_.settle(kSheetJournalName);
  completeDatasets_.insert(ToUpperAscii(datasetName));
}

bool Workspace::removeUnfinishedClasses() {
  if (kind_ != WorkspaceKind::FileGeodatabase || !journalKept_) return false;
  bool removed = false;
  for (int i = dataset_->GetLayerCount() - 1; i >= 0; --i) {
    const std::string name = dataset_->GetLayer(i)->GetName();
    if (name.size() <= 2) continue;
    const std::string prefix = ToUpperAscii(std::string_view(name).substr(0, 2));
    if (prefix != "L_" && prefix != "P_" && prefix != "A_") continue;
    const std::string sheet(std::string_view(name).substr(2));
    if (datasetComplete(std::string("y").append(sheet))) continue;
    if (dataset_->DeleteLayer(i) != OGRERR_NONE) throw FramoraError("不能删除未完成的图幅" + sheet + "：" + path_);
    noteDatasetEmptied("y" + sheet);
    removed = true;
  }
  return removed;
}

void Workspace::openJournal(bool created) {
  if (kind_ != WorkspaceKind::FileGeodatabase) return;
  const fs::path journal = fs::path(path_) / kSheetJournalName;
  if (created) {
    std::FILE* file = std::fopen(journal.string().c_str(), "wb");
    if (file == nullptr) throw FramoraError("不能创立" + journal.string() + "：" + std::strerror(errno));
    std::fclose(file);
    journalKept_ = true;
    return;
  }
  std::FILE* file = std::fopen(journal.string().c_str(), "rb");
  journalKept_ = file != nullptr;
  if (file == nullptr) return;
  std::string line;
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    // Only lines with their end count: a cut last line is a sheet that did not finish.
    if (!line.empty()) completeDatasets_.insert(ToUpperAscii(line));
    line.clear();
  }
  std::fclose(file);
}

namespace {

const char* DriverName(WorkspaceKind kind) {
  return kind == WorkspaceKind::FileGeodatabase ? "OpenFileGDB" : "GPKG";
}

std::string LastGdalReason() {
  const std::string reason = CPLGetLastErrorMsg();
  return reason.empty() ? "" : "：" + reason;
}

}  // namespace

std::unique_ptr<Workspace> CreateWorkspace(const OutputPath& output) {
  EnsureGdalRegistered();
  const std::string& path = output.text();
  const WorkspaceKind kind = output.kind();
  if (output.occupied()) throw FramoraError("不能创立" + path + "：已有同名文件或目录");
  std::error_code error;
  const fs::path target(path);
  const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(parent, error)) throw FramoraError("不能创立" + path + "：目录" + parent.string() + "不存在");

  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(kind));
  if (driver == nullptr) throw FramoraError(std::string("缺少GDAL驱动") + DriverName(kind));
  CPLErrorReset();
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!dataset) throw FramoraError("不能创立" + path + LastGdalReason());
  auto workspace = std::make_unique<Workspace>(std::move(dataset), kind, path);
  EnsureDatasetTable(*workspace);
  workspace->openJournal(true);
  return workspace;
}

std::unique_ptr<Workspace> OpenWorkspace(const OutputPath& output) {
  EnsureGdalRegistered();
  const std::string& path = output.text();
  if (!output.occupied()) throw FramoraError(path + "文件不存在");
  if (!output.holdsOutput()) throw FramoraError("打开" + path + "失败：不是图廓输出数据库");
  const char* drivers[] = {DriverName(output.kind()), nullptr};
  CPLErrorReset();
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers));
  if (!dataset) throw FramoraError("打开" + path + "失败" + LastGdalReason());
  auto workspace = std::make_unique<Workspace>(std::move(dataset), output.kind(), path);
  workspace->openJournal(false);
  return workspace;
}

std::unique_ptr<Workspace> OpenOrCreateWorkspace(const OutputPath& output) {
  return output.occupied() ? OpenWorkspace(output) : CreateWorkspace(output);
}

}  // namespace framora
