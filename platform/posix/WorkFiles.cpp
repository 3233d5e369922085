#include "platform/WorkFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <ctime>

namespace zorellz {
namespace {


// The watched paths live in a fixed table that a signal handler can walk
// without locks or allocation.  A slot is free, being filled or emptied, or
// holds a path.  Threads that fill and empty slots take turns, so that none
// reads a path while another writes it.
enum : int { kFree, kBusy, kHeld };
std::mutex slot_writers;
constexpr std::size_t kSlots = 256;
struct TSlot {
  std::atomic<int> State{kFree};
  char Path[PATH_MAX];
};
std::array<TSlot, kSlots> watched;

bool IsWorkFileName(const std::filesystem::path& path) {
  return WorkFileOwner(path.filename().native()) > 0;
}

void RemoveWatched(int signal_number) {
  for (TSlot& slot : watched) {
    if (slot.State.load() == kHeld) unlink(slot.Path);
  }
  _exit(128 + signal_number);
}

bool OwnerIsGone(long pid) {
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::string WorkFilePrefix(std::string_view stem, bool hidden) {
  return WorkFilePrefixOf(getpid(), stem, hidden);
}

void WatchWorkFile(const std::filesystem::path& path) {
  const std::lock_guard<std::mutex> lock(slot_writers);
  const std::string& text = path.native();
  if (text.size() >= PATH_MAX) return;
  for (TSlot& slot : watched) {
    int expected = kFree;
    if (!slot.State.compare_exchange_strong(expected, kBusy)) continue;
    std::memcpy(slot.Path, text.c_str(), text.size() + 1);
    slot.State.store(kHeld);
    return;
  }
  // A full table: this file is left to ReclaimStaleWorkFiles.
}

void ForgetWorkFile(const std::filesystem::path& path) {
  if (!IsWorkFileName(path)) return;
  const std::lock_guard<std::mutex> lock(slot_writers);
  const std::string& text = path.native();
  for (TSlot& slot : watched) {
    if (slot.State.load() != kHeld || std::strcmp(slot.Path, text.c_str()) != 0) continue;
    int expected = kHeld;
    if (slot.State.compare_exchange_strong(expected, kBusy)) {
      slot.Path[0] = '\0';
      slot.State.store(kFree);
      return;
    }
  }
}

void RemoveWorkFilesOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = RemoveWatched;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal_number);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

int ReclaimStaleWorkFiles(const std::filesystem::path& folder, std::chrono::seconds min_age) {
  const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return 0;
  DIR* listing = fdopendir(dir);
  if (listing == nullptr) {
    close(dir);
    return 0;
  }
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  while (const dirent* entry = readdir(listing)) {
    const long owner = WorkFileOwner(entry->d_name);
    if (owner <= 0 || owner == getpid()) continue;
    struct stat status;
    // The file itself, never what a link of that name points to.
    if (fstatat(dir, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(status.st_mode) || status.st_uid != geteuid()) continue;
    if (now - status.st_mtime < min_age.count() || !OwnerIsGone(owner)) continue;
    if (unlinkat(dir, entry->d_name, 0) == 0) ++removed;
  }
  closedir(listing);
  return removed;
}

}  // namespace zorellz
