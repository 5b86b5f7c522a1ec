#include "util/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace framora {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

constexpr int kNoFollowDirectory = O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Opens a subfolder for listing without ever passing through a link. A folder we may not
// read or search is first given owner rwx; the chmod goes through /proc on an O_PATH handle
// so it lands on the folder itself even if the entry is swapped for a link meanwhile.
int OpenFolderForDeletion(int parent, const char* name) {
  int fd = openat(parent, name, O_RDONLY | kNoFollowDirectory);
  if (fd >= 0 || errno != EACCES) return fd;
  FileDescriptor handle(openat(parent, name, O_PATH | kNoFollowDirectory));
  if (handle.get() < 0) return -1;
  struct stat status {};
  if (fstat(handle.get(), &status) != 0) return -1;
  const std::string procPath = "/proc/self/fd/" + std::to_string(handle.get());
  if (chmod(procPath.c_str(), (status.st_mode & 07777) | S_IRWXU) != 0) return -1;
  return openat(parent, name, O_RDONLY | kNoFollowDirectory);
}

// Deletes the subfolder name of the folder parent, depth first.
int DeleteFolderAt(int parent, const char* name) {
  FileDescriptor folder(OpenFolderForDeletion(parent, name));
  if (folder.get() < 0) return -1;

  // Entries can only be unlinked from a folder we may write to.
  struct stat status {};
  if (fstat(folder.get(), &status) != 0) return -1;
  if ((status.st_mode & S_IRWXU) != S_IRWXU && fchmod(folder.get(), (status.st_mode & 07777) | S_IRWXU) != 0) {
    return -1;
  }

  // Names first, deletion after: readdir may skip or repeat entries removed under it.
  std::vector<std::string> names;
  {
    const int listing = dup(folder.get());
    if (listing < 0) return -1;
    DIR* dir = fdopendir(listing);
    if (dir == nullptr) {
      close(listing);
      return -1;
    }
    while (const dirent* entry = readdir(dir)) {
      const std::string entryName = entry->d_name;
      if (entryName != "." && entryName != "..") names.push_back(entryName);
    }
    closedir(dir);
  }

  for (const std::string& entryName : names) {
    struct stat entryStatus {};
    if (fstatat(folder.get(), entryName.c_str(), &entryStatus, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;
      return -1;
    }
    const int result = S_ISDIR(entryStatus.st_mode) ? DeleteFolderAt(folder.get(), entryName.c_str())
                                                     : unlinkat(folder.get(), entryName.c_str(), 0);
    if (result != 0) return -1;
  }
  return unlinkat(parent, name, AT_REMOVEDIR) == 0 ? 0 : -1;
}

int DeleteFolderTreeOrFail(const std::string& folder) {
  if (folder.empty()) return 0;
  // A trailing "/" would make the system resolve a final link, so the name is judged
  // without it. No lexical clean-up either: "a/link/.." is not "a".
  std::string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  if (trimmed == "/") return -1;
  const std::filesystem::path path(trimmed);

  struct stat status {};
  if (lstat(path.c_str(), &status) != 0) return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
  if (S_ISLNK(status.st_mode)) {
    struct stat target {};
    if (stat(path.c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return 0;
    return unlink(path.c_str()) == 0 ? 0 : -1;
  }
  if (!S_ISDIR(status.st_mode)) return 0;

  const std::string name = path.filename().string();
  if (name == "." || name == "..") return -1;
  const std::filesystem::path parentPath = path.has_parent_path() ? path.parent_path() : ".";
  FileDescriptor parent(open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parent.get() < 0) return -1;
  return DeleteFolderAt(parent.get(), name.c_str());
}

}  // namespace

int DeleteFolderTree(const std::string& folder) {
  try {
    return DeleteFolderTreeOrFail(folder);
  } catch (...) {
    return -1;
  }
}

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !executable.has_parent_path()) return "";
  std::string folder = executable.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace framora
