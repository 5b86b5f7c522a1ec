#include "util/changed_file_sync.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/inotify.h>
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

ChangedFileSync::ChangedFileSync(std::string folder, SyncFunction sync, Watch watch)
    : folder_(std::move(folder)), sync_(std::move(sync)) {
#ifdef __linux__
  if (watch == Watch::Never) return;
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ < 0) return;  // out of instances: compared instead
  constexpr uint32_t kEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                               IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
  if (::inotify_add_watch(watch_, folder_.c_str(), kEvents) < 0) {
    ::close(watch_);
    watch_ = -1;
  }
#else
  (void)watch;
#endif
}

ChangedFileSync::~ChangedFileSync() {
#ifndef _WIN32
  if (watch_ >= 0) ::close(watch_);
#endif
}

#ifdef _WIN32

// Files reach the disk on their own schedule there; SyncToDisk does nothing either.
bool ChangedFileSync::syncChanged() { return true; }
void ChangedFileSync::settle(const std::string&) {}
bool ChangedFileSync::syncByComparing() { return true; }
void ChangedFileSync::readChanges() {}

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

void ChangedFileSync::readChanges() {
#ifdef __linux__
  alignas(inotify_event) char buffer[16384];
  while (watch_ >= 0) {
    const ssize_t length = ::read(watch_, buffer, sizeof buffer);
    if (length <= 0) break;  // nothing more told
    for (const char* at = buffer; at < buffer + length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      at += sizeof(inotify_event) + event->len;
      if (event->mask & IN_Q_OVERFLOW) compareAll_ = true;
      if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        // The folder itself went: nothing more will be told of it.
        ::close(watch_);
        watch_ = -1;
        compareAll_ = true;
        return;
      }
      if (event->len == 0) continue;
      const std::string name = event->name;
      if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) folderChanged_ = true;
      if (event->mask & (IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO)) told_.insert(name);
    }
  }
#endif
}

bool ChangedFileSync::syncChanged() {
  readChanges();
  if (watch_ < 0) return syncByComparing();
  if (compareAll_) {
    // Everything once: what was written before the watch, or while events were lost.
    files_.clear();
    told_.clear();
    compareAll_ = !syncByComparing();
    return !compareAll_;
  }
  const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return false;
  std::set<std::string> toSync;
  toSync.swap(told_);
  bool synced = true;
  for (const std::string& name : toSync) {
    FileState state;
    // Gone since, or not a file: nothing to keep.
    if (!StateOf(folder, name.c_str(), state.device, state.inode, state.size, state.modified, state.changed)) continue;
    if (!sync_(folder_ + "/" + name)) {
      compareAll_ = true;  // it and whatever was not reached, next time
      synced = false;
      break;
    }
  }
  const int cause = errno;
  ::close(folder);
  if (!synced) {
    errno = cause;
    return false;
  }
  if (folderChanged_) {
    sync_(folder_);  // some file systems cannot sync a folder
    folderChanged_ = false;
  }
  return true;
}

bool ChangedFileSync::syncByComparing() {
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
  if (watch_ >= 0) {
    // Its writes are told like any other; they are synced already.
    readChanges();
    told_.erase(fileName);
    if (watch_ >= 0) return;
  }
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
