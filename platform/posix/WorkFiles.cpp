#include "platform/WorkFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>

#include "platform/WatchedPaths.h"

namespace zorellz {
namespace {

constinit TWatchedPaths<char, PATH_MAX> watched;

bool IsWorkFileName(const std::filesystem::path& path) {
  return WorkFileOwner(path.filename().native()) > 0;
}

void RemoveWatched(int signal_number) {
  watched.ForEachHeld([](const char* path) { unlink(path); });
  _exit(128 + signal_number);
}

bool OwnerIsGone(long pid) {
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// The process's number, asked once rather than for every work file; a
// child made by fork asks again.
std::atomic<pid_t> own_pid{0};

pid_t OwnPid() {
  pid_t pid = own_pid.load(std::memory_order_relaxed);
  if (pid != 0) return pid;
  static const int forgets_on_fork =
      pthread_atfork(nullptr, nullptr, [] { own_pid.store(0, std::memory_order_relaxed); });
  (void)forgets_on_fork;
  pid = getpid();
  own_pid.store(pid, std::memory_order_relaxed);
  return pid;
}

}  // namespace

std::string WorkFilePrefix(std::string_view stem, bool hidden) {
  return WorkFilePrefixOf(OwnPid(), stem, hidden);
}

void WatchWorkFile(const std::filesystem::path& path) {
  watched.Add(path.native());
}

void ForgetWorkFile(const std::filesystem::path& path) {
  if (IsWorkFileName(path)) watched.Remove(path.native());
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
