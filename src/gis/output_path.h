#pragma once

#include <filesystem>
#include <string>

namespace framora {

enum class WorkspaceKind {
  FileGeodatabase,  // a ".gdb" folder
  GeoPackage,       // the single-file kind
};

// Where a run writes its frames, classified once. The text is kept as typed except for
// trailing separators (shell completion leaves "x.gdb/"). The kind follows the extension
// without regard to letter case: ".gdb" is a file geodatabase, ".mdb" is refused, any other
// name a GeoPackage.
class OutputPath {
 public:
  // Throws FramoraError for a personal geodatabase (.mdb), which cannot be written.
  explicit OutputPath(const std::string& path);

  const std::string& text() const { return text_; }
  WorkspaceKind kind() const { return kind_; }

  // Anything at all is at the path: a folder, a file or a link.
  bool occupied() const;
  // What is at the path is an output of this kind, the only thing a new run may delete.
  bool holdsOutput() const;
  // Throws FramoraError naming the path when something other than such an output is there.
  void refuseForeign() const;
  // Deletes the output at the path; nothing there is fine. Throws FramoraError, deleting
  // nothing, for something that is not an output, and when the deletion fails.
  void deleteOutput() const;

 private:
  std::string text_;
  WorkspaceKind kind_;
};

// A folder holding a file geodatabase's system catalog, as OpenFileGDB and ArcGIS write it.
bool IsFileGeodatabaseFolder(const std::filesystem::path& folder);
// An SQLite file marked with the GeoPackage application id.
bool IsGeoPackageFile(const std::filesystem::path& file);

}  // namespace framora
