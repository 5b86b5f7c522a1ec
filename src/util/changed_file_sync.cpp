#include "util/changed_file_sync.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <set>
#include <utility>

namespace framora {
namespace {

bool Before(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec < b.tv_sec : a.tv_nsec < b.tv_nsec;
}

bool Same(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

ChangedFileSync::ChangedFileSync(std::string folder, SyncFunction sync)
    : folder_(std::move(folder)), sync_(std::move(sync)) {}

#ifdef _WIN32

// Files reach the disk on their own schedule there; SyncToDisk does nothing either.
bool ChangedFileSync::syncChanged() { return true; }
void ChangedFileSync::settle(const std::string&) {}

#else

namespace {

bool StateOf(int folder, const char* name, unsigned long long& device, unsigned long long& inode, long long& size,
             timespec& modified, timespec& changed) {
  struct stat status {};
  if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)) return false;
  device = status.st_dev;
  inode = status.st_ino;
  size = status.st_size;
  modified = status.st_mtim;
  changed = status.st_ctim;
  return true;
}

}  // namespace

bool ChangedFileSync::syncChanged() {
  // Without a later write to tell the file system's clock, a change older than this margin
  // is taken as long past.
  timespec longPast{};
  ::clock_gettime(CLOCK_REALTIME, &longPast);
  longPast.tv_sec -= 2;

  DIR* listing = ::opendir(folder_.c_str());
  if (listing == nullptr) return false;
  const int folder = ::dirfd(listing);
  std::set<std::string> present;
  std::map<std::string, FileState> changed;
  errno = 0;
  while (const dirent* entry = ::readdir(listing)) {
    FileState now;
    if (!StateOf(folder, entry->d_name, now.device, now.inode, now.size, now.modified, now.changed)) continue;
    const std::string name = entry->d_name;
    present.insert(name);
    const auto known = files_.find(name);
    if (known == files_.end() || known->second.state.inode != now.inode ||
        known->second.state.device != now.device)
      folderChanged_ = true;
    else if (known->second.trusted && known->second.state.size == now.size &&
             Same(known->second.state.modified, now.modified) && Same(known->second.state.changed, now.changed))
      continue;
    changed.emplace(name, now);
  }
  const int listingError = errno;
  ::closedir(listing);
  if (listingError != 0) {
    errno = listingError;
    return false;
  }
  for (auto it = files_.begin(); it != files_.end();) {
    if (present.count(it->first) > 0) {
      ++it;
      continue;
    }
    it = files_.erase(it);
    folderChanged_ = true;
  }

  for (const auto& [name, state] : changed) {
    // A failed one is forgotten, so that the next call takes it as new.
    files_.erase(name);
    if (!sync_(folder_ + "/" + name)) return false;
    files_[name] = Entry{state, Before(state.changed, longPast)};
  }
  if (folderChanged_) {
    sync_(folder_);  // some file systems cannot sync a folder
    folderChanged_ = false;
  }
  return true;
}

void ChangedFileSync::settle(const std::string& fileName) {
  Entry written;
  const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  const bool known = StateOf(folder, fileName.c_str(), written.state.device, written.state.inode,
                             written.state.size, written.state.modified, written.state.changed);
  ::close(folder);
  if (!known) return;
  for (auto& [name, entry] : files_)
    if (!entry.trusted && Before(entry.state.changed, written.state.changed)) entry.trusted = true;
  const auto previous = files_.find(fileName);
  if (previous == files_.end() || previous->second.state.inode != written.state.inode) folderChanged_ = true;
  written.trusted = true;
  files_[fileName] = written;
}

#endif

}  // namespace framora
