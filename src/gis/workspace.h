#pragma once

#include <gdal_priv.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "gis/output_path.h"
#include "util/changed_file_sync.h"

namespace framora {

// Spatial domain of a feature dataset, in the units of its spatial reference.
struct SpatialDomain {
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};

// An output geodatabase. Owns the GDAL dataset; everything created in it borrows it.
class Workspace {
 public:
  Workspace(GDALDatasetUniquePtr dataset, WorkspaceKind kind, std::string path);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  GDALDataset& dataset();
  WorkspaceKind kind() const { return kind_; }
  const std::string& path() const { return path_; }

  // Batches of writes go into one transaction where the driver gains from it.
  // Nested calls join the outer batch; the outermost end commits.
  void beginBatch();
  void endBatch();

  // Feature datasets this session created in a file geodatabase, with the settings the
  // classes inside them take (the format makes a dataset only with its first class).
  struct PendingDataset {
    std::string srsWkt;
    std::optional<SpatialDomain> domain;
    bool hasClass = false;  // the dataset itself is on disk once its first class is
  };
  std::map<std::string, PendingDataset>& createdDatasets() { return createdDatasets_; }

  // Which sheets' data are whole on disk. A file geodatabase writes its tables' headers only
  // when told, so a run killed half-way leaves datasets that look made; the sheets it
  // finished are recorded in a journal inside the folder, each line written after its data
  // reached the disk. A GeoPackage commits each sheet's features in one transaction.
  // A geodatabase made before journals were kept has its datasets taken as complete.
  bool datasetComplete(const std::string& datasetName) const;
  // Pushes the classes and the geodatabase to the disk, then records the dataset as complete.
  // Throws FramoraError "保存失败" naming the path when the disk refuses.
  void recordDatasetComplete(const std::string& datasetName, const std::vector<OGRLayer*>& classes);
  // Starts the journal of a new file geodatabase; reads that of an existing one.
  void openJournal(bool created);
  // Deletes the sheet classes ("L_", "p_", "a_") of every sheet the journal does not hold:
  // what a killed run was making. True when any went; GDAL's view of the datasets is stale
  // then, and the workspace must be opened afresh before it is used again.
  bool removeUnfinishedClasses();

  // GDAL keeps every class of a file geodatabase it made or opened, with its files and their
  // buffers, until the geodatabase closes. After kSheetsPerOpening finished sheets this closes
  // and opens it afresh, between sheets, so that a long run's memory stays flat. Every class
  // taken from the workspace before is gone then: call only where none is held.
  void reopenWhenDue();
  static constexpr int kSheetsPerOpening = 32;

  // A file geodatabase keeps a dataset's entry when its last class is deleted, and GDAL
  // cannot drop it while the geodatabase is open: such datasets are noted, and their
  // entries removed when the workspace closes unless a class went into them again.
  void noteDatasetEmptied(const std::string& datasetName);

 private:
  GDALDatasetUniquePtr dataset_;
  WorkspaceKind kind_;
  std::string path_;
  int batchDepth_ = 0;
  bool inTransaction_ = false;
  std::map<std::string, PendingDataset> createdDatasets_;
  bool journalKept_ = false;
  std::set<std::string> completeDatasets_;  // upper-cased
  ChangedFileSync changedFiles_;
  int sheetsSinceOpening_ = 0;
  std::set<std::string> emptiedDatasets_;
};

// The journal of finished sheets inside a file geodatabase's folder.
inline constexpr const char* kSheetJournalName = "framora_sheets.txt";

// Creates a new, empty geodatabase at path. Errors (unwritable folder, a plain file in
// the way) throw FramoraError with a clear message.
std::unique_ptr<Workspace> CreateWorkspace(const OutputPath& path);
// Opens an existing geodatabase for update. Throws FramoraError naming the path when it is
// missing, is not such an output, or cannot be opened.
std::unique_ptr<Workspace> OpenWorkspace(const OutputPath& path);
// The output of a run: opened when it is there, created when nothing is.
std::unique_ptr<Workspace> OpenOrCreateWorkspace(const OutputPath& path);

}  // namespace framora
