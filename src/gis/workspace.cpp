#include "gis/workspace.h"

#include <filesystem>

#include "gis/feature_dataset.h"
#include "gis/gdal_setup.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

Workspace::Workspace(GDALDatasetUniquePtr dataset, WorkspaceKind kind, std::string path)
    : dataset_(std::move(dataset)), kind_(kind), path_(std::move(path)) {}

Workspace::~Workspace() {
  if (inTransaction_) dataset_->CommitTransaction();
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
  return std::make_unique<Workspace>(std::move(dataset), output.kind(), path);
}

std::unique_ptr<Workspace> OpenOrCreateWorkspace(const OutputPath& output) {
  return output.occupied() ? OpenWorkspace(output) : CreateWorkspace(output);
}

}  // namespace framora
