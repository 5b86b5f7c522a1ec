#pragma once

#include <optional>
#include <string>

namespace framora {

// Deletes a folder with everything in it. Returns 0 when the folder is gone (a folder that
// does not exist counts as deleted, and so does a path that is not a folder, which is left
// alone), -1 when something could not be deleted; whatever could not be deleted stays.
// Never raises. Symbolic links are never followed: a link inside the tree is removed as a
// link, its target untouched, and a path that is itself a link to a folder loses only the link.
// Folders without write or search permission are opened up first, as the read-only
// attribute is cleared on Windows. The root folder is refused.
int DeleteFolderTree(const std::string& folder);

// Where a file is written before it replaces path: beside it in the same folder, so that
// the rename stays on one file system. The extension stays last for the writers that look
// at it: "a/b.JPG" is written as "a/b.framora-tmp.JPG".
std::string TemporarySibling(const std::string& path);
// Puts a finished file in place of another in one step: its data reach the disk first, then
// the rename, then the folder's entry. A reader finds the old file or the new one, whole,
// even after a crash. False (the temporary file left as it is) when any step fails.
bool ReplaceFileDurably(const std::string& temporaryPath, const std::string& finalPath);
// Pushes a file's or a folder's data to the disk; false when the system reports a failure.
bool SyncToDisk(const std::string& path);

// An exclusive lock on a file, held while the object lives. The system lets go of it when
// the process ends in any way, so a lock left by a killed process is simply taken.
class FileLock {
 public:
  // Empty when another holds the lock (errno EWOULDBLOCK) or the file cannot be made.
  static std::optional<FileLock> TryLock(const std::string& path);
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&&) = delete;
  FileLock(const FileLock&) = delete;
  ~FileLock();

 private:
  FileLock(std::string path, int descriptor) : path_(std::move(path)), descriptor_(descriptor) {}
  std::string path_;
  int descriptor_ = -1;
};

// The folder of the running executable, with a trailing "/"; empty if it cannot be told.
std::string ProgramFolder();

}  // namespace framora
