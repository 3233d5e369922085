// A file descriptor closed on every way out, for the POSIX implementations.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "platform/Folder.h"

namespace zorellz::posix {

class TDescriptor {
 public:
  // Opens `path` with `flags` (and `mode` for a file it creates); never a
  // controlling terminal, never inherited by programs started later, never
  // waiting on a FIFO.
  TDescriptor(const std::filesystem::path& path, int flags, mode_t mode = 0600)
      : fd_(open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode)) {}
  ~TDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// The permissions a new file gets: read and write for all, less the
// process's umask, which is read once per process.
mode_t NewFilePermissions();

// What a file of type and permissions `mode` (as lstat gives them) is.
TNameKind NameKindOf(mode_t mode);

}  // namespace zorellz::posix
