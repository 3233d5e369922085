#include "platform/Durability.h"

#include "platform/posix/Descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zorellz {

bool SyncPath(const std::filesystem::path& path) {
  const posix::TDescriptor file(path, O_RDONLY);
  return file.Fd() >= 0 && fsync(file.Fd()) == 0;
}

bool SyncFileSystemOf(const std::filesystem::path& path) {
  const posix::TDescriptor file(path, O_RDONLY);
  if (file.Fd() < 0) return false;
#ifdef __linux__
  return syncfs(file.Fd()) == 0;
#else
  sync();
  return true;
#endif
}

bool WriteNewFileDurably(const std::filesystem::path& path, const std::string& contents,
                         int* error) {
  const posix::TDescriptor file(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
  bool written = file.Fd() >= 0;
  for (std::size_t done = 0; written && done < contents.size();) {
    const ssize_t n = write(file.Fd(), contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<std::size_t>(n);
  }
  written = written && fsync(file.Fd()) == 0;
  if (!written) {
    if (error != nullptr) *error = errno != 0 ? errno : EIO;
    if (file.Fd() >= 0) unlink(path.c_str());
  }
  return written;
}

}  // namespace zorellz
