#include "platform/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zorellz {

namespace {

// The lock file the descriptor holds is still the one under the name: a
// holder that released the lock meanwhile has removed it.
bool StillNamed(int fd, const std::filesystem::path& path) {
  struct stat held;
  struct stat named;
  return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

TFolderLock::~TFolderLock() {
  Release();
}

TFolderLock::TResult TFolderLock::Acquire(const std::filesystem::path& folder,
                                          const std::string& name, int* error) {
  Release();
  const std::filesystem::path path = folder / name;
  // A holder that removes the file between our open and our lock leaves us
  // a lock on a file nobody else can find: try again on the new one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
      if (error != nullptr) *error = errno;
      return TResult::kFailed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int cause = errno;
      close(fd);
      if (cause == EWOULDBLOCK) return TResult::kHeldElsewhere;
      if (error != nullptr) *error = cause;
      return TResult::kFailed;
    }
    if (StillNamed(fd, path)) {
      handle_ = fd;
      path_ = path;
      return TResult::kLocked;
    }
    close(fd);
  }
  if (error != nullptr) *error = EAGAIN;
  return TResult::kFailed;
}

bool TFolderLock::HeldElsewhere(const std::filesystem::path& folder, const std::string& name) {
  const int fd = open((folder / name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
  if (fd < 0) return false;
  const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

void TFolderLock::Release() {
  if (handle_ < 0) return;
  unlink(path_.c_str());
  close(std::exchange(handle_, -1));
  path_.clear();
}

}  // namespace zorellz
