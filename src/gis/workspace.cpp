#include "gis/workspace.h"

#include <filesystem>

#include "gis/feature_dataset.h"
#include "gis/gdal_setup.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

WorkspaceKind WorkspaceKindOfPath(const std::string& path) {
  RefuseUnsupportedWorkspacePath(path);
  return EndsWithText(path, ".gdb") ? WorkspaceKind::FileGeodatabase : WorkspaceKind::GeoPackage;
}

void RefuseUnsupportedWorkspacePath(const std::string& path) {
  if (EndsWithText(path, ".mdb")) {
    throw FramoraError("不支持个人地理数据库(.mdb)：" + path + "，请改用文件地理数据库(.gdb)或单文件地理数据库(.gpkg)");
  }
}

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

bool WorkspaceExists(const std::string& path) {
  std::error_code error;
  if (ToLowerAscii(path).find(".gdb") != std::string::npos) return fs::is_directory(path, error);
  return fs::exists(path, error);
}

namespace {

const char* DriverName(WorkspaceKind kind) {
  return kind == WorkspaceKind::FileGeodatabase ? "OpenFileGDB" : "GPKG";
}

}  // namespace

std::unique_ptr<Workspace> CreateWorkspace(const std::string& path) {
  EnsureGdalRegistered();
  const WorkspaceKind kind = WorkspaceKindOfPath(path);
  std::error_code error;
  const fs::path target(path);
  if (fs::exists(target, error)) throw FramoraError("不能创立" + path + "：已有同名文件或目录");
  const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(parent, error)) throw FramoraError("不能创立" + path + "：目录" + parent.string() + "不存在");

  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(kind));
  if (driver == nullptr) throw FramoraError(std::string("缺少GDAL驱动") + DriverName(kind));
  CPLErrorReset();
  GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!dataset) {
    const std::string reason = CPLGetLastErrorMsg();
    throw FramoraError("不能创立" + path + (reason.empty() ? "" : "：" + reason));
  }
  auto workspace = std::make_unique<Workspace>(std::move(dataset), kind, path);
  EnsureDatasetTable(*workspace);
  return workspace;
}

std::unique_ptr<Workspace> OpenWorkspace(const std::string& path) {
  EnsureGdalRegistered();
  const WorkspaceKind kind = WorkspaceKindOfPath(path);
  std::error_code error;
  if (kind == WorkspaceKind::GeoPackage && !fs::exists(path, error)) throw FramoraError(path + "文件不存在");
  const char* drivers[] = {DriverName(kind), nullptr};
  CPLErrorReset();
  GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers));
  if (!dataset) {
    const std::string reason = CPLGetLastErrorMsg();
    throw FramoraError("打开" + path + "失败" + (reason.empty() ? "" : "：" + reason));
  }
  return std::make_unique<Workspace>(std::move(dataset), kind, path);
}

}  // namespace framora
