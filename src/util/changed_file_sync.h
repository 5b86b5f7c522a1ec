#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "util/files.h"

namespace framora {

// Keeps the files of one folder on the disk at the least cost: each call syncs only the files
// that came or changed since the call before, and the folder itself only when names came or
// went. Nothing else may write in the folder while a call runs.
//
// Where the system tells of every change in the folder (Linux's inotify), the files named are
// all that is looked at: a folder of thousands of files costs no more than one of ten.
// Elsewhere, or when the system's queue overflows, every file's size, times and inode are
// compared with those at the last sync.
class ChangedFileSync {
 public:
  using SyncFunction = std::function<bool(const std::string& path)>;
  enum class Watch { IfPossible, Never };
  explicit ChangedFileSync(std::string folder, SyncFunction sync = SyncToDisk, Watch watch = Watch::IfPossible);
  ChangedFileSync(const ChangedFileSync&) = delete;
  ChangedFileSync& operator=(const ChangedFileSync&) = delete;
  ~ChangedFileSync();

  // True while changes are told rather than looked for.
  bool watching() const { return watch_ >= 0; }

  // Syncs every regular file that is new, replaced, or whose size or change times differ from
  // when it was last synced, then the folder when a name came or went. False at the first
  // file that fails (errno says why); it and whatever was not reached are synced next time.
  bool syncChanged();
  // Takes a file in the folder that the caller has just written and synced as synced. Its
  // change time is the file system's clock now: a file last changed within that same tick
  // could change again without its times showing it, so only those are synced again.
  void settle(const std::string& fileName);

 private:
  struct FileState {
    unsigned long long device = 0, inode = 0;
    long long size = 0;
    timespec modified{}, changed{};
  };
  struct Entry {
    FileState state;
    bool trusted = false;  // its times would show any later change
  };
  // Every file compared with its state at the last sync.
  bool syncByComparing();
  // Reads what the system told since the last reading into told_.
  void readChanges();

  std::string folder_;
  SyncFunction sync_;
  std::map<std::string, Entry> files_;
  bool folderChanged_ = true;
  int watch_ = -1;               // the inotify descriptor
  bool compareAll_ = true;       // what was told cannot be relied on: the first call, a lost event
  std::set<std::string> told_;   // names written since their last sync
};

}  // namespace framora
