#include "platform/Folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "platform/WorkFiles.h"
#include "platform/posix/Descriptor.h"

namespace zorellz {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

constexpr int kUniqueNameAttempts = 100;

std::atomic<std::uint64_t> sync_calls{0};

// Six letters or digits, as mkstemp would choose them.
std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::minstd_rand generator(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
  std::string suffix(6, 'X');
  for (char& c : suffix) c = kLetters[pick(generator)];
  return suffix;
}

// One step down: the sub-folder `name` of `parent`, made when missing and
// `create`.  O_NOFOLLOW makes a link fail the open (ELOOP), and a component
// that is something else than a folder fails with ENOTDIR.
TFolderHandle::TStep OpenChild(int parent, const std::string& name, bool create, int& child) {
  child = openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
  if (child < 0 && errno == ENOENT && create) {
    if (mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
      return TFolderHandle::TStep::kFailed;
    }
    child = openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
  }
  if (child >= 0) return TFolderHandle::TStep::kOpened;
  const int error = errno;
  struct stat st;
  const bool link = (error == ELOOP || error == ENOTDIR) &&
                    fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(st.st_mode);
  errno = error;
  return link ? TFolderHandle::TStep::kLink : TFolderHandle::TStep::kFailed;
}

}  // namespace

bool TFolderHandle::Open(const std::filesystem::path& folder, int* error) {
  Close();
  handle_ = open(folder.c_str(), kFolderFlags);
  if (handle_ < 0) {
    if (error != nullptr) *error = errno;
    return false;
  }
  path_ = folder;
  return true;
}

TFolderHandle::TStep TFolderHandle::OpenBelow(const std::vector<std::string>& parts, bool create,
                                              TFolderHandle& folder) const {
  if (parts.empty()) return Duplicate(folder) ? TStep::kOpened : TStep::kFailed;
  int current = handle_;
  std::filesystem::path path = path_;
  for (const std::string& part : parts) {
    int child = -1;
    const TStep step = OpenChild(current, part, create, child);
    if (current != handle_) close(current);
    if (step != TStep::kOpened) return step;
    current = child;
    path /= part;
  }
  folder.Close();
  folder.handle_ = current;
  folder.path_ = std::move(path);
  return TStep::kOpened;
}

bool TFolderHandle::Duplicate(TFolderHandle& copy) const {
  const int handle = fcntl(handle_, F_DUPFD_CLOEXEC, 0);
  if (handle < 0) return false;
  copy.Close();
  copy.handle_ = handle;
  copy.path_ = path_;
  return true;
}

void TFolderHandle::Close() {
  if (handle_ >= 0) close(std::exchange(handle_, -1));
  path_.clear();
}

bool TFolderHandle::Sync() const {
  CountSyncCall();
  return fsync(handle_) == 0;
}

namespace {

// Tries names made of `prefix` and random characters until `attempt` (the
// name, the error number's place) takes one that was free; the name chosen
// is watched for removal on an interrupt before it exists, since an
// interrupt between the two would leave it behind.
template <typename TAttempt>
bool TakeWorkName(const TFolderHandle& folder, const std::string& prefix, std::string& name,
                  int* error, TAttempt attempt) {
  int failure = EINVAL;
  if (prefix.find('/') == std::string::npos) {
    failure = EEXIST;
    for (int tries = 0; tries < kUniqueNameAttempts && failure == EEXIST; ++tries) {
      name = prefix + RandomSuffix();
      const std::filesystem::path watched = folder.Path() / name;
      WatchWorkFile(watched);
      if (attempt(name, &failure)) return true;
      ForgetWorkFile(watched);
    }
  }
  name.clear();
  if (error != nullptr) *error = failure;
  errno = failure;
  return false;
}

// Systems since Linux 6.10 name a file by its descriptor for the process
// that made it; older ones only for privileged processes, and refuse others
// with ENOENT.  Those follow the link under which /proc shows the
// descriptor instead, which costs a path walk.
std::atomic<bool> names_by_descriptor{true};

std::atomic<bool> anonymous_allowed{true};  // AllowAnonymousFiles's switch

}  // namespace

bool NameAnonymousFileIn(const TFolderHandle& folder, const TFile& file, const std::string& name) {
#ifdef AT_EMPTY_PATH
  if (names_by_descriptor.load(std::memory_order_relaxed)) {
    if (linkat(file.Native(), "", folder.Native(), name.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != ENOENT && errno != EPERM) return false;
    names_by_descriptor.store(false, std::memory_order_relaxed);
  }
#endif
  const std::string shown = "/proc/self/fd/" + std::to_string(file.Native());
  return linkat(AT_FDCWD, shown.c_str(), folder.Native(), name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool CreateWorkFileIn(const TFolderHandle& folder, const std::string& prefix, TFile& file,
                      std::string& name, int* error, TWorkFileAccess access) {
  const TFile::TMode mode = access == TWorkFileAccess::kOrdinary ? TFile::TMode::kCreateNewOrdinary
                                                                 : TFile::TMode::kCreateNew;
  return TakeWorkName(folder, prefix, name, error, [&](const std::string& candidate, int* failure) {
    return file.OpenIn(folder, candidate, mode, failure);
  });
}

bool CreateAnonymousFileIn(const TFolderHandle& folder, TFile& file) {
  // Without the descriptor links such a file could not be named.
  static const bool can_name = access("/proc/self/fd", X_OK) == 0;
  return can_name && anonymous_allowed.load(std::memory_order_relaxed) &&
         file.OpenIn(folder, ".", TFile::TMode::kCreateAnonymous);
}

void AllowAnonymousFiles(bool allow) {
  anonymous_allowed.store(allow);
}

bool NameAnonymousWorkFileIn(const TFolderHandle& folder, const TFile& file,
                             const std::string& prefix, std::string& name) {
  return TakeWorkName(folder, prefix, name, nullptr,
                      [&](const std::string& candidate, int* failure) {
                        if (NameAnonymousFileIn(folder, file, candidate)) return true;
                        *failure = errno;
                        return false;
                      });
}

namespace {

TNameKind KindIn(const TFolderHandle& folder, const std::string& name, struct stat& st) {
  if (fstatat(folder.Native(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return TNameKind::kNothing;
  }
  return posix::NameKindOf(st.st_mode);
}

}  // namespace

TNameKind NameKindIn(const TFolderHandle& folder, const std::string& name) {
  struct stat st;
  return KindIn(folder, name, st);
}

TNameKind TakePermissionsIn(const TFolderHandle& folder, const std::string& name, TFile& file) {
  struct stat st;
  const TNameKind kind = KindIn(folder, name, st);
  fchmod(file.Native(),
         kind == TNameKind::kFile ? st.st_mode & 07777 : posix::NewFilePermissions());
  return kind;
}

bool PlaceNewFileIn(const TFolderHandle& folder, const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(folder.Native(), from.c_str(), folder.Native(), to.c_str(), RENAME_NOREPLACE) ==
      0) {
    ForgetWorkFile(folder.Path() / from);
    return true;
  }
#endif
  return false;
}

bool ReplaceFileIn(const TFolderHandle& folder, const std::string& from, const std::string& to) {
  ForgetWorkFile(folder.Path() / from);
  return renameat(folder.Native(), from.c_str(), folder.Native(), to.c_str()) == 0;
}

bool DeleteFileIn(const TFolderHandle& folder, const std::string& name) {
  ForgetWorkFile(folder.Path() / name);
  return unlinkat(folder.Native(), name.c_str(), 0) == 0;
}

namespace posix {

mode_t NewFilePermissions() {
  // umask can only be read by setting it; this happens once, before any
  // worker thread could make files with the interim value.
  static const mode_t permissions = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
  }();
  return permissions;
}

TNameKind NameKindOf(mode_t mode) {
  if (S_ISREG(mode)) return TNameKind::kFile;
  if (S_ISLNK(mode)) return TNameKind::kLink;
  return S_ISDIR(mode) ? TNameKind::kOther : TNameKind::kSpecial;
}

}  // namespace posix

std::uint64_t SyncCallCount() {
  return sync_calls.load();
}

void CountSyncCall() {
  ++sync_calls;
}

}  // namespace zorellz
