#include "platform/FileInUse.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace zorellz {

namespace {

std::atomic<bool> lease_probe_enabled{true};

class TProbe {
 public:
  TProbe() = default;
  ~TProbe() { Close(); }
  TProbe(const TProbe&) = delete;
  TProbe& operator=(const TProbe&) = delete;

  // Opens `path` for reading; the system's error number on failure.
  int Open(const std::filesystem::path& path);
  void Close() {
    if (fd_ >= 0) close(std::exchange(fd_, -1));
  }
  int Fd() const { return fd_; }
  dev_t Device() const { return device_; }
  ino_t Inode() const { return inode_; }

 private:
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// O_NONBLOCK keeps the open from waiting on a FIFO's writer or on the break
// of another process's lease; the type is checked on the opened file, so
// that nothing can be swapped in between.
int TProbe::Open(const std::filesystem::path& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) return errno;
  struct stat st;
  if (fstat(fd_, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  return 0;
}

enum class TLeaseAnswer { kGranted, kRefused, kUnavailable };

// A write lease is granted only when the probe is the file's one open file
// description.  Another process that opens the file while the lease is held
// breaks it, and the kernel tells the holder with SIGIO, whose default
// action ends the process; SIGURG is ignored unless handled, so the instant
// the lease is held cannot cost the caller its life.
// With `hold` a granted lease is kept.
TLeaseAnswer TryWriteLease(int fd, bool hold) {
  if (fcntl(fd, F_SETSIG, SIGURG) != 0) return TLeaseAnswer::kUnavailable;
  if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
    if (!hold) fcntl(fd, F_SETLEASE, F_UNLCK);
    return TLeaseAnswer::kGranted;
  }
  // EACCES and EPERM: another owner's file, without CAP_LEASE; EINVAL: no
  // leases on this file system, or leases switched off.
  return errno == EAGAIN || errno == EBUSY ? TLeaseAnswer::kRefused : TLeaseAnswer::kUnavailable;
}

bool IsProcessId(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (*name < '0' || *name > '9') return false;
  }
  return true;
}

struct TDirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

// Calls found(device, inode) for each regular file a process has open, until
// it returns true.  Entries of /proc/<pid>/fd follow to the open file itself,
// whatever name it had or has now.
template <typename Found>
bool AnyOpenDescriptor(const std::string& process, Found found) {
  TDirHandle fds(opendir((process + "/fd").c_str()));
  if (!fds) return false;
  while (const dirent* entry = readdir(fds.get())) {
    struct stat st;
    if (fstatat(dirfd(fds.get()), entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    if (found(st.st_dev, st.st_ino)) return true;
  }
  return false;
}

// The same for each file a process maps: a file stays open through a
// mapping after its descriptor is closed.  Each line of /proc/<pid>/maps
// reads "start-end perms offset major:minor inode path", the device in
// hexadecimal.
template <typename Found>
bool AnyMapping(const std::string& process, Found found) {
  std::ifstream maps(process + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned major_number = 0;
    unsigned minor_number = 0;
    unsigned long long inode = 0;
    if (std::sscanf(line.c_str(), "%*s %*s %*s %x:%x %llu", &major_number, &minor_number, &inode) !=
            3 ||
        inode == 0) {
      continue;
    }
    if (found(makedev(major_number, minor_number), static_cast<ino_t>(inode))) return true;
  }
  return false;
}

// Calls found(device, inode) for every regular file that a visible process
// has open or mapped, in one pass over /proc, until it returns true.  This
// process is included: its own descriptors count as they do for the lease.
// Processes that end meanwhile, or whose entries cannot be read, are passed
// over.
template <typename Found>
bool AnyProcessFile(Found found) {
  TDirHandle proc(opendir("/proc"));
  if (!proc) return false;
  while (const dirent* entry = readdir(proc.get())) {
    if (!IsProcessId(entry->d_name)) continue;
    const std::string process = std::string("/proc/") + entry->d_name;
    if (AnyOpenDescriptor(process, found) || AnyMapping(process, found)) return true;
  }
  return false;
}

bool AnyProcessHasOpen(const TProbe& file) {
  return AnyProcessFile([&file](dev_t device, ino_t inode) {
    return device == file.Device() && inode == file.Inode();
  });
}

using TIdentitySet = std::set<std::pair<dev_t, ino_t>>;

TIdentitySet OpenFilesOfAllProcesses() {
  TIdentitySet open_files;
  AnyProcessFile([&open_files](dev_t device, ino_t inode) {
    open_files.emplace(device, inode);
    return false;
  });
  return open_files;
}

// The lease test, and else the answer of `scan` about the closed probe.
// With `hold`, a granted lease stays on the probe for the caller.
template <typename TScan>
TFileUse CheckWith(TProbe& probe, const std::filesystem::path& path, int* error, bool hold,
                   TScan&& scan) {
  if (error != nullptr) *error = 0;
  const int cause = probe.Open(path);
  // Only a process that has the file open can hold a lease that refuses us.
  if (cause == EWOULDBLOCK) return TFileUse::kInUse;
  if (cause != 0) {
    if (error != nullptr) *error = cause;
    return TFileUse::kUnreadable;
  }
  if (lease_probe_enabled.load()) {
    switch (TryWriteLease(probe.Fd(), hold)) {
      case TLeaseAnswer::kGranted:
        return TFileUse::kNotInUse;
      case TLeaseAnswer::kRefused:
        return TFileUse::kInUse;
      case TLeaseAnswer::kUnavailable:
        break;
    }
  }
  // The probe itself must not be found by the scan.
  probe.Close();
  return scan(probe) ? TFileUse::kInUse : TFileUse::kNotInUse;
}

}  // namespace

TFileUse CheckFileInUse(const std::filesystem::path& path, int* error) {
  TProbe probe;
  return CheckWith(probe, path, error, false, AnyProcessHasOpen);
}

struct TFileUseChecker::TState {
  // Whether a process has `file` open, from the one scan of this checker.
  bool OpenElsewhere(const TProbe& file);

  bool Scanned = false;
  TIdentitySet OpenFiles;
  TProbe Held;
};

TFileUseChecker::TFileUseChecker() : state_(std::make_unique<TState>()) {}

TFileUseChecker::~TFileUseChecker() {
  Release();
}

bool TFileUseChecker::TState::OpenElsewhere(const TProbe& file) {
  if (!Scanned) OpenFiles = OpenFilesOfAllProcesses();
  Scanned = true;
  return OpenFiles.count({file.Device(), file.Inode()}) != 0;
}

TFileUse TFileUseChecker::Check(const std::filesystem::path& path, int* error) {
  TProbe probe;
  return CheckWith(probe, path, error, false,
                   [this](const TProbe& file) { return state_->OpenElsewhere(file); });
}

TFileUse TFileUseChecker::CheckAndHold(const std::filesystem::path& path, int* error) {
  Release();
  const TFileUse use = CheckWith(state_->Held, path, error, true, [this](const TProbe& file) {
    return state_->OpenElsewhere(file);
  });
  if (use != TFileUse::kNotInUse) Release();
  return use;
}

// While a lease is being broken the kernel reports the type it is being
// broken to, no longer a write lease.
bool TFileUseChecker::HeldFileOpened() const {
  if (state_->Held.Fd() < 0) return false;
  return fcntl(state_->Held.Fd(), F_GETLEASE) != F_WRLCK;
}

void TFileUseChecker::Release() {
  if (state_->Held.Fd() >= 0) fcntl(state_->Held.Fd(), F_SETLEASE, F_UNLCK);
  state_->Held.Close();
}

bool SetFileLeaseProbeForTesting(bool enabled) {
  return lease_probe_enabled.exchange(enabled);
}

}  // namespace zorellz
