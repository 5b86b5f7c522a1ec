#include "gis/output_path.h"

#include <array>
#include <cstring>
#include <fstream>

#include "util/files.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace fs = std::filesystem;

namespace {

bool IsSeparator(char c) { return c == '/' || c == static_cast<char>(fs::path::preferred_separator); }

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
  return path;
}

}  // namespace

OutputPath::OutputPath(const std::string& path) : text_(WithoutTrailingSeparators(path)) {
  if (EndsWithText(text_, ".mdb"))
    throw FramoraError("不支持个人地理数据库(.mdb)：" + text_ + "，请改用文件地理数据库(.gdb)或单文件地理数据库(.gpkg)");
  kind_ = EndsWithText(text_, ".gdb") ? WorkspaceKind::FileGeodatabase : WorkspaceKind::GeoPackage;
}

bool OutputPath::occupied() const {
  std::error_code error;
  return !text_.empty() && fs::exists(fs::symlink_status(text_, error));
}

bool OutputPath::holdsOutput() const {
  return kind_ == WorkspaceKind::FileGeodatabase ? IsFileGeodatabaseFolder(text_) : IsGeoPackageFile(text_);
}

void OutputPath::refuseForeign() const {
  if (occupied() && !holdsOutput()) throw FramoraError(text_ + "不是图廓输出数据库，不能删除");
}

void OutputPath::deleteOutput() const {
  refuseForeign();
  if (!occupied()) return;
  std::error_code error;
  const bool deleted = kind_ == WorkspaceKind::FileGeodatabase ? DeleteFolderTree(text_) == 0 && !occupied()
                                                               : fs::remove(text_, error);
  if (!deleted) throw FramoraError(text_ + "文件已存在，且无法删除");
}

bool IsFileGeodatabaseFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return false;
  // The system catalog (GDB_SystemCatalog), its table and its index.
  return fs::is_regular_file(folder / "a00000001.gdbtable", error) &&
         fs::is_regular_file(folder / "a00000001.gdbtablx", error);
}

bool IsGeoPackageFile(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return false;
  std::ifstream stream(file, std::ios::binary);
  std::array<char, 72> header{};
  if (!stream.read(header.data(), header.size())) return false;
  static constexpr char kSqlite[] = "SQLite format 3";  // with its terminating zero: 16 bytes
  if (std::memcmp(header.data(), kSqlite, sizeof kSqlite) != 0) return false;
  // The application id, big-endian at offset 68: "GPKG", or "GP10"/"GP11" of the first versions.
  const std::string id(header.data() + 68, 4);
  return id == "GPKG" || id == "GP10" || id == "GP11";
}

}  // namespace framora
