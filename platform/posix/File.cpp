#include "zorellz/platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <utility>

#include "platform/Folder.h"
#include "platform/WorkFiles.h"
#include "platform/posix/Descriptor.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {

namespace {

// Larger requests are split so that one call never exceeds what read() and
// write() accept.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;
constexpr std::size_t kCopyBlockSize = 128000;

[[noreturn]] void RaiseInOut(const std::string& what, const std::filesystem::path& path,
                             const std::string& cause, int code) {
  throw EInOutError(what + " \"" + path.string() + "\": " + cause, code);
}

std::string ErrnoText(int error) {
  return std::generic_category().message(error);
}

bool IsAnonymous(int flags) {
#ifdef O_TMPFILE
  return (flags & O_TMPFILE) == O_TMPFILE;
#else
  static_cast<void>(flags);
  return false;
#endif
}

int OpenFlags(TFile::TMode mode) {
  switch (mode) {
    case TFile::TMode::kReadDenyWrite:
    case TFile::TMode::kReadDenyNone:
      return O_RDONLY;
    case TFile::TMode::kCreateTruncate:
      return O_RDWR | O_CREAT | O_TRUNC;
    case TFile::TMode::kReadWrite:
      return O_RDWR;
    case TFile::TMode::kCreateNew:
    case TFile::TMode::kCreateNewOrdinary:
      return O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
    case TFile::TMode::kCreateAnonymous:
#ifdef O_TMPFILE
      return O_RDWR | O_TMPFILE;
#else
      return -1;
#endif
  }
  return O_RDONLY;
}

// Opens a regular file only.  O_NONBLOCK keeps the open of a FIFO from
// waiting for a writer; on a regular file it changes nothing, so it stays.
// A file that O_EXCL or O_TMPFILE has just made can only be a new regular
// file.
int OpenRegularIn(int folder, const char* path, int flags, mode_t mode,
                  struct stat* status = nullptr) {
  if (flags == -1) {
    errno = EOPNOTSUPP;
    return -1;
  }
  if ((flags & O_EXCL) != 0 || IsAnonymous(flags)) {
    return openat(folder, path, flags | O_CLOEXEC, mode);
  }
  const int fd = openat(folder, path, flags | O_CLOEXEC | O_NONBLOCK, mode);
  if (fd < 0) return -1;
  struct stat own;
  struct stat& st = status != nullptr ? *status : own;
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  }
  if (error == 0) return fd;
  close(fd);
  errno = error;
  return -1;
}

int OpenRegular(const char* path, int flags, mode_t mode) {
  return OpenRegularIn(AT_FDCWD, path, flags, mode);
}

// New files are private until they are put in place, unless they are to
// have the permissions of an ordinary new file there.
mode_t CreationMode(TFile::TMode mode) {
  return mode == TFile::TMode::kCreateNew ? 0600 : 0666;
}

// Reads until `count` bytes, end of file or an error (-1).
ssize_t ReadFully(int fd, void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = read(fd, out + done, std::min(count - done, kMaxTransfer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Writes all `count` bytes; false with errno set otherwise.
bool WriteFully(int fd, const void* buffer, std::size_t count) {
  const auto* in = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t n = write(fd, in, std::min(count, kMaxTransfer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    in += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

TFileStatus StatusOf(const struct stat& st) {
  TFileStatus status;
  status.IsRegular = S_ISREG(st.st_mode);
  status.IsDirectory = S_ISDIR(st.st_mode);
  status.Size = st.st_size;
  status.Identity.Device = static_cast<std::uint64_t>(st.st_dev);
  status.Identity.Inode = static_cast<std::uint64_t>(st.st_ino);
  status.ModifiedTime = st.st_mtime;
  status.Mode = st.st_mode;
  return status;
}

class TUniqueFd {
 public:
  explicit TUniqueFd(int fd) : fd_(fd) {}
  ~TUniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;
  int Get() const { return fd_; }
  // Closes now, reporting the error that a late write may surface here.
  bool Close() { return close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

}  // namespace

TFile::~TFile() {
  Close();
}

TFile::TFile(TFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      position_(std::exchange(other.position_, -1)),
      path_(std::move(other.path_)),
      shown_(std::move(other.shown_)),
      gather_(std::move(other.gather_)),
      gather_capacity_(std::exchange(other.gather_capacity_, 0)),
      gathered_(std::exchange(other.gathered_, 0)) {}

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    position_ = std::exchange(other.position_, -1);
    path_ = std::move(other.path_);
    shown_ = std::move(other.shown_);
    gather_ = std::move(other.gather_);
    gather_capacity_ = std::exchange(other.gather_capacity_, 0);
    gathered_ = std::exchange(other.gathered_, 0);
  }
  return *this;
}

bool TFile::Open(const std::filesystem::path& path, TMode mode, int* error) {
  Close();
  const int fd = OpenRegular(path.c_str(), OpenFlags(mode), CreationMode(mode));
  if (fd < 0) {
    if (error != nullptr) *error = errno;
    return false;
  }
  handle_ = fd;
  position_ = 0;
  path_ = path;
  shown_.clear();
  return true;
}

bool TFile::Open(const std::filesystem::path& path, TMode mode, TFileStatus& status) {
  Close();
  struct stat st;
  const int fd = OpenRegularIn(AT_FDCWD, path.c_str(), OpenFlags(mode), CreationMode(mode), &st);
  if (fd < 0) return false;
  handle_ = fd;
  position_ = 0;
  path_ = path;
  shown_.clear();
  status = StatusOf(st);
  return true;
}

bool TFile::OpenIn(const TFolderHandle& folder, const std::string& name, TMode mode, int* error) {
  Close();
  const int fd = OpenRegularIn(folder.Native(), name.c_str(), OpenFlags(mode), CreationMode(mode));
  if (fd < 0) {
    if (error != nullptr) *error = errno;
    return false;
  }
  handle_ = fd;
  position_ = 0;
  path_ = folder.Path() / name;
  return true;
}

void TFile::Close() {
  HandOverGatheredQuietly();
  position_ = -1;
  if (handle_ >= 0) close(std::exchange(handle_, -1));
}

std::size_t TFile::Read(void* buffer, std::size_t count) {
  HandOverGathered();
  const ssize_t n = ReadFully(handle_, buffer, count);
  if (n < 0) {
    position_ = -1;
    Fail("cannot read", kInOutReadPastEnd);
  }
  if (position_ >= 0) position_ += n;
  return static_cast<std::size_t>(n);
}

void TFile::ReadExact(void* buffer, std::size_t count) {
  if (Read(buffer, count) != count) {
    RaiseInOut("cannot read", shown_.empty() ? path_ : shown_, "fewer bytes than required",
               kInOutReadPastEnd);
  }
}

void TFile::WriteThrough(const void* buffer, std::size_t count) {
  if (!WriteFully(handle_, buffer, count)) {
    position_ = -1;  // part may have been written
    Fail("cannot write", kInOutWriteFailed);
  }
  if (position_ >= 0) position_ += static_cast<std::int64_t>(count);
}

bool TFile::Seek(std::int64_t position) {
  if (position < 0) return false;
  HandOverGathered();
  if (position == position_) return true;
  const bool moved = lseek(handle_, static_cast<off_t>(position), SEEK_SET) == position;
  position_ = moved ? position : -1;
  return moved;
}

std::int64_t TFile::Position() const {
  const auto gathered = static_cast<std::int64_t>(gathered_);
  if (position_ >= 0) return position_ + gathered;
  const off_t position = lseek(handle_, 0, SEEK_CUR);
  if (position < 0) Fail("cannot get the position in", kInOutReadPastEnd);
  return position + gathered;
}

std::int64_t TFile::Size() const {
  struct stat st;
  if (fstat(handle_, &st) != 0) Fail("cannot get the size of", kInOutReadPastEnd);
  return gathered_ == 0 ? st.st_size : std::max<std::int64_t>(st.st_size, Position());
}

void TFile::Truncate() {
  HandOverGathered();
  if (ftruncate(handle_, static_cast<off_t>(Position())) != 0) {
    Fail("cannot truncate", kInOutWriteFailed);
  }
}

void TFile::AdviseSequential() {
#ifdef POSIX_FADV_SEQUENTIAL
  posix_fadvise(handle_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

void TFile::Sync() {
  HandOverGathered();
  CountSyncCall();
  if (fsync(handle_) != 0) Fail("cannot flush", kInOutWriteFailed);
}

void TFile::Fail(const char* what, int code) const {
  RaiseInOut(what, shown_.empty() ? path_ : shown_, ErrnoText(errno), code);
}

bool GetFileIdentity(const std::filesystem::path& path, TFileIdentity& identity) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  identity.Device = static_cast<std::uint64_t>(st.st_dev);
  identity.Inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool GetFileIdentity(const TFile& file, TFileIdentity& identity) {
  struct stat st;
  if (fstat(file.Native(), &st) != 0) return false;
  identity.Device = static_cast<std::uint64_t>(st.st_dev);
  identity.Inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool GetFileStatus(const std::filesystem::path& path, TFileStatus& status) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  status = StatusOf(st);
  return true;
}

namespace {

bool LinkStatusAt(int folder, const char* path, TFileStatus& status) {
  struct stat st;
  if (fstatat(folder, path, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    status = TFileStatus{};
    status.IsLink = true;
  } else {
    status = StatusOf(st);
  }
  return true;
}

}  // namespace

bool GetLinkStatus(const std::filesystem::path& path, TFileStatus& status) {
  return LinkStatusAt(AT_FDCWD, path.c_str(), status);
}

bool GetLinkStatusIn(const TFolderHandle& folder, const std::string& name, TFileStatus& status) {
  return LinkStatusAt(folder.Native(), name.c_str(), status);
}

bool GetFileStatus(const TFile& file, TFileStatus& status) {
  struct stat st;
  if (fstat(file.Native(), &st) != 0) return false;
  status = StatusOf(st);
  return true;
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  TFileIdentity ia, ib;
  return GetFileIdentity(a, ia) && GetFileIdentity(b, ib) && ia == ib;
}

bool FileExists(const std::filesystem::path& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExistsNative(const std::filesystem::path& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFileNative(const std::filesystem::path& path) {
  ForgetWorkFile(path);
  return unlink(path.c_str()) == 0;
}

namespace {

// For file systems without RENAME_NOREPLACE: a hard link fails atomically
// when the target exists.  Folders cannot be linked; for them the check and
// the rename are two steps.
bool RenameWithoutReplacing(const char* from, const char* to) {
  if (link(from, to) == 0) {
    if (unlink(from) == 0) return true;
    unlink(to);
    return false;
  }
  if (errno != EPERM) return false;
  struct stat st;
  if (lstat(to, &st) == 0 || errno != ENOENT) return false;
  return rename(from, to) == 0;
}

}  // namespace

bool RenameFileNative(const std::filesystem::path& from, const std::filesystem::path& to) {
  ForgetWorkFile(from);
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
  return RenameWithoutReplacing(from.c_str(), to.c_str());
}

bool ReplaceFileNative(const std::filesystem::path& from, const std::filesystem::path& to) {
  ForgetWorkFile(from);
  return rename(from.c_str(), to.c_str()) == 0;
}

namespace {

// Unique files are created private to their owner; a file put in place is
// an ordinary file again.
mode_t PermissionsFor(const std::filesystem::path& target) {
  struct stat status;
  if (stat(target.c_str(), &status) == 0) return status.st_mode & 07777;
  return posix::NewFilePermissions();
}

// Gives `from` the permissions `mode` and renames it over `to`.  A device,
// pipe or socket under the target's name is written into by the programs
// that name it, never replaced: replacing /dev/null with a file would break
// the whole system.
bool MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                   mode_t mode) {
  struct stat status;
  if (lstat(to.c_str(), &status) == 0 && posix::NameKindOf(status.st_mode) == TNameKind::kSpecial) {
    errno = EEXIST;
    return false;
  }
  chmod(from.c_str(), mode);
  return ReplaceFileNative(from, to);
}

}  // namespace

bool MoveFileIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveIntoPlace(from, to, PermissionsFor(to));
}

bool MoveProgramIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                          const std::filesystem::path& program) {
  mode_t mode = PermissionsFor(to);
  struct stat status;
  if (stat(program.c_str(), &status) == 0 && (status.st_mode & 0111) != 0) {
    mode |= (mode & 0444) >> 2;
  }
  return MoveIntoPlace(from, to, mode);
}

namespace {

bool CopyContents(int in, int out) {
  std::unique_ptr<char[]> block(new char[kCopyBlockSize]);
  for (;;) {
    const ssize_t n = ReadFully(in, block.get(), kCopyBlockSize);
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteFully(out, block.get(), static_cast<std::size_t>(n))) return false;
  }
}

// Date and permission bits of the copy; set last, so that the copy of a
// read-only file can still be written.
bool CopyMetadata(int out, const struct stat& source) {
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  return futimens(out, times) == 0 && fchmod(out, source.st_mode & 0777) == 0;
}

}  // namespace

bool CopyFileNative(const std::filesystem::path& from, const std::filesystem::path& to,
                    bool fail_if_exists) {
  // Copying a file onto itself would truncate it before reading a byte.
  if (IsSameFile(from, to)) return false;
  TUniqueFd in(OpenRegular(from.c_str(), O_RDONLY, 0));
  struct stat source;
  if (in.Get() < 0 || fstat(in.Get(), &source) != 0) return false;
  const int create = O_WRONLY | O_CREAT | (fail_if_exists ? O_EXCL : O_TRUNC);
  TUniqueFd out(OpenRegular(to.c_str(), create, 0600));
  if (out.Get() < 0) return false;
  if (CopyContents(in.Get(), out.Get()) && CopyMetadata(out.Get(), source) && out.Close()) {
    return true;
  }
  unlink(to.c_str());
  return false;
}

bool MakeDirectory(const std::filesystem::path& path) {
  return mkdir(path.c_str(), 0777) == 0;
}

std::filesystem::path CurrentDirectory() {
  std::error_code error;
  std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::filesystem::path() : current;
}

namespace {

struct TDirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// Fills in the kind of an entry; false when it vanished meanwhile.
bool ClassifyEntry(int dir_fd, TDirEntry& entry) {
  struct stat st;
  if (fstatat(dir_fd, entry.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno != ENOENT;
  if (S_ISLNK(st.st_mode)) {
    entry.IsSymlink = true;
    // A dangling link is neither folder nor file.
    if (fstatat(dir_fd, entry.Name.c_str(), &st, 0) != 0) return true;
  }
  entry.IsDirectory = S_ISDIR(st.st_mode);
  entry.IsRegular = S_ISREG(st.st_mode);
  entry.StatusKnown = true;
  entry.Status = StatusOf(st);
  return true;
}

}  // namespace

bool ListDirectory(const std::filesystem::path& path, std::vector<TDirEntry>& entries) {
  entries.clear();
  std::unique_ptr<DIR, TDirCloser> dir(opendir(path.c_str()));
  if (!dir) return false;
  for (;;) {
    errno = 0;
    const dirent* item = readdir(dir.get());
    if (item == nullptr) break;
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    TDirEntry entry;
    entry.Name = name;
    if (ClassifyEntry(dirfd(dir.get()), entry)) entries.push_back(std::move(entry));
  }
  if (errno != 0) {
    entries.clear();
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const TDirEntry& a, const TDirEntry& b) { return a.Name < b.Name; });
  return true;
}

}  // namespace zorellz
