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

}  // namespace zorellz
