#include "platform/Ownership.h"

#include "platform/posix/Descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

namespace zorellz {

namespace {

std::string Cause(int error) {
  return std::generic_category().message(error != 0 ? error : EIO);
}

// The process's file-creation mask; reading it means setting it, so it is
// put back at once (the updater does this on its one thread).
mode_t CreationMask() {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

// The names of the extended attributes: a list of NUL-terminated names.
std::vector<std::string> AttributeNames(ssize_t size, const std::vector<char>& list) {
  std::vector<std::string> names;
  for (ssize_t at = 0; at < size;) {
    const std::string name(&list[static_cast<std::size_t>(at)]);
    at += static_cast<ssize_t>(name.size()) + 1;
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

std::vector<std::string> ListAttributes(int fd) {
  const ssize_t size = flistxattr(fd, nullptr, 0);
  if (size <= 0) return {};
  std::vector<char> list(static_cast<std::size_t>(size));
  const ssize_t read = flistxattr(fd, list.data(), list.size());
  return read > 0 ? AttributeNames(read, list) : std::vector<std::string>{};
}

std::vector<std::string> ListAttributes(const std::filesystem::path& path) {
  const ssize_t size = llistxattr(path.c_str(), nullptr, 0);
  if (size <= 0) return {};
  std::vector<char> list(static_cast<std::size_t>(size));
  const ssize_t read = llistxattr(path.c_str(), list.data(), list.size());
  return read > 0 ? AttributeNames(read, list) : std::vector<std::string>{};
}

// Access control lists live among the extended attributes on Linux, so one
// copy carries both.  Attributes the file system or our privileges do not
// allow are passed over: the file is still usable.
void CopyAttributes(const std::filesystem::path& model, int file) {
  const std::vector<std::string> wanted = ListAttributes(model);
  for (const std::string& name : ListAttributes(file)) {
    if (std::find(wanted.begin(), wanted.end(), name) == wanted.end()) {
      fremovexattr(file, name.c_str());
    }
  }
  for (const std::string& name : wanted) {
    const ssize_t size = lgetxattr(model.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) continue;
    std::vector<char> value(static_cast<std::size_t>(size) + 1);
    const ssize_t read = lgetxattr(model.c_str(), name.c_str(), value.data(), value.size());
    if (read < 0) continue;
    fsetxattr(file, name.c_str(), value.data(), static_cast<std::size_t>(read), 0);
  }
}

// Owner first: a change of owner clears the set-user and set-group bits
// that the mode then sets again.  Giving a file away needs privileges; the
// group alone can still go to a group the user belongs to.
void ChangeOwner(int fd, const struct stat& current, uid_t owner, gid_t group) {
  if (current.st_uid == owner && current.st_gid == group) return;
  if (fchown(fd, owner, group) == 0) return;
  if (current.st_gid != group) fchown(fd, static_cast<uid_t>(-1), group);
}

}  // namespace

std::string TakeOwnershipFrom(const std::filesystem::path& target,
                              const std::filesystem::path& file) {
  const posix::TDescriptor staged(file, O_RDONLY | O_NOFOLLOW);
  struct stat current;
  if (staged.Fd() < 0 || fstat(staged.Fd(), &current) != 0) return Cause(errno);

  struct stat old;
  if (lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ChangeOwner(staged.Fd(), current, old.st_uid, old.st_gid);
    if (fchmod(staged.Fd(), old.st_mode & 07777) != 0) return Cause(errno);
    CopyAttributes(target, staged.Fd());
    return "";
  }
  struct stat folder;
  gid_t group = current.st_gid;
  if (stat(target.parent_path().c_str(), &folder) == 0 && (folder.st_mode & S_ISGID) != 0) {
    group = folder.st_gid;
  }
  ChangeOwner(staged.Fd(), current, current.st_uid, group);
  if (fchmod(staged.Fd(), 0666 & ~CreationMask()) != 0) return Cause(errno);
  return "";
}

}  // namespace zorellz
