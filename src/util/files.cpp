#include "util/files.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace framora {
namespace {

namespace fs = std::filesystem;

// Owner rwx on a folder we may not list or empty, as the read-only attribute is cleared on
// Windows. Only ever called on a real folder, never on a link.
bool OpenUp(const fs::path& folder, const fs::file_status& status) {
  if ((status.permissions() & fs::perms::owner_all) == fs::perms::owner_all) return true;
  std::error_code error;
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
  return !error;
}

bool RemoveEntry(const fs::path& path) {
  std::error_code error;
  if (fs::remove(path, error) || !error) return true;
  // A read-only file resists deletion on Windows.
  if (fs::is_symlink(fs::symlink_status(path, error))) return false;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
  return !error && fs::remove(path, error);
}

// Deletes path, depth first. Entries are judged by themselves, never through a link: a link
// is removed as a link, so nothing outside the tree is ever reached.
bool DeleteTree(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found) return true;
  if (error) return false;
  if (status.type() != fs::file_type::directory) return RemoveEntry(path);
  if (!OpenUp(path, status)) return false;

  // Names first, deletion after: a listing may skip or repeat entries removed under it.
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
    entries.push_back(it->path());
  if (error) return false;
  for (const fs::path& entry : entries)
    if (!DeleteTree(entry)) return false;
  return RemoveEntry(path);
}

int DeleteFolderTreeOrFail(const std::string& folder) {
  if (folder.empty()) return 0;
  // A trailing separator would make the system resolve a final link, so the name is judged
  // without it. No lexical clean-up either: "a/link/.." is not "a".
  std::string trimmed = folder;
  const auto separator = [](char c) { return c == '/' || c == static_cast<char>(fs::path::preferred_separator); };
  while (trimmed.size() > 1 && separator(trimmed.back())) trimmed.pop_back();
  const fs::path path(trimmed);
  if (!path.has_relative_path()) return -1;  // a root

  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found) return 0;
  if (error) return -1;
  if (status.type() == fs::file_type::symlink) {
    if (!fs::is_directory(path, error)) return 0;
    return fs::remove(path, error) ? 0 : -1;
  }
  if (status.type() != fs::file_type::directory) return 0;
  const std::string name = path.filename().string();
  if (name == "." || name == "..") return -1;
  return DeleteTree(path) ? 0 : -1;
}

}  // namespace

int DeleteFolderTree(const std::string& folder) {
  try {
    return DeleteFolderTreeOrFail(folder);
  } catch (...) {
    return -1;
  }
}

std::string TemporarySibling(const std::string& path) {
  const fs::path file(path);
  return (file.parent_path() / (file.stem().string() + ".framora-tmp" + file.extension().string())).string();
}

bool SyncToDisk(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return true;
#else
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool synced = ::fsync(descriptor) == 0;
  return ::close(descriptor) == 0 && synced;
#endif
}

bool ReplaceFileDurably(const std::string& temporaryPath, const std::string& finalPath) {
  if (!SyncToDisk(temporaryPath)) return false;
  std::error_code error;
  fs::rename(temporaryPath, finalPath, error);
  if (error) return false;
  const fs::path folder = fs::path(finalPath).parent_path();
  SyncToDisk(folder.empty() ? std::string(".") : folder.string());  // some file systems cannot sync a folder
  return true;
}

std::optional<FileLock> FileLock::TryLock(const std::string& path) {
#ifdef _WIN32
  return FileLock(path, -1);
#else
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) return std::nullopt;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
      ::close(descriptor);
      return std::nullopt;
    }
    // The holder before us may have removed the file between our open and our lock: the
    // lock counts only on the file that is at the path now.
    struct stat held {}, named {};
    if (::fstat(descriptor, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev)
      return FileLock(path, descriptor);
    ::close(descriptor);
  }
  return std::nullopt;
#endif
}

FileLock::FileLock(FileLock&& other) noexcept : path_(std::move(other.path_)), descriptor_(other.descriptor_) {
  other.descriptor_ = -1;
}

FileLock::~FileLock() {
#ifndef _WIN32
  if (descriptor_ < 0) return;
  ::unlink(path_.c_str());
  ::close(descriptor_);
#endif
}

std::string ProgramFolder() {
  std::error_code error;
  // Linux names the running executable here; elsewhere the folder cannot be told this way.
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (error || !executable.has_parent_path()) return "";
  std::string folder = executable.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace framora
