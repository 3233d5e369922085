#include "cli/Failure.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/Progress.h"
#include "platform/System.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

void ReportError(const std::string& subject, const std::string& cause) {
  ProgressStop();
  std::fflush(stdout);
  std::fprintf(stderr, "zorellz: %s: %s\n", subject.c_str(), cause.c_str());
  std::fflush(stderr);
}

void FailCommand(const std::string& subject, const std::string& cause) {
  ReportError(subject, cause);
  throw TExitStatus{kExitFailure};
}

std::string SystemCause(int error) {
  return std::strerror(error);
}

namespace {

constexpr const char* kNotReplaced = "is a device, a pipe or a socket, which is not replaced";

// The folder a file named `name` is made in.
std::filesystem::path FolderOf(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(name).parent_path();
  return folder.empty() ? "." : folder;
}

}  // namespace

bool IsSpecialFile(const std::string& name) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(name, error);
  return std::filesystem::is_character_file(status) || std::filesystem::is_block_file(status) ||
         std::filesystem::is_fifo(status) || std::filesystem::is_socket(status);
}

std::string CannotCreateCause(const std::string& name) {
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) return SystemCause(EISDIR);
  if (IsSpecialFile(name)) return kNotReplaced;
  const std::filesystem::path folder = FolderOf(name);
  if (!std::filesystem::exists(folder, error)) return SystemCause(ENOENT);
  if (!std::filesystem::is_directory(folder, error)) return SystemCause(ENOTDIR);
  if (access(folder.string().c_str(), W_OK) != 0) return SystemCause(errno);
  if (access(name.c_str(), F_OK) == 0 && access(name.c_str(), W_OK) != 0) {
    return SystemCause(errno);
  }
  if (DiskIsFull(folder)) return SystemCause(ENOSPC);
  return "cannot be written";
}

std::string EntryWriteCause(const std::string& name) {
  if (IsSpecialFile(name)) return kNotReplaced;
  if (DiskIsFull(FolderOf(name))) return "cannot be written: " + SystemCause(ENOSPC);
  return "cannot be written (not writable, or outside the target folder)";
}

std::string FolderWriteCause(const std::string& folder) {
  if (access(folder.c_str(), W_OK) != 0) return SystemCause(errno);
  return "a folder in it is not writable, or a file has a folder's name";
}

std::string MissingFileCause(const std::string& name) {
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) return SystemCause(EISDIR);
  if (access(name.c_str(), R_OK) != 0) return SystemCause(errno);
  return SystemCause(ENOENT);
}

namespace {

std::string CreationCause(std::int64_t result) {
  switch (result) {
    case kLZNoFile:
      return "the codec is not ready, or the output cannot be positioned";
    case kLZWriteDirectoryFailed:
      return "cannot write the archive's directory";
    case kLZInputEndedEarly:
      return "an input ended before its expected size";
    default:
      return {};
  }
}

}  // namespace

std::string ResultCause(std::int64_t result, bool creating) {
  if (creating) {
    std::string cause = CreationCause(result);
    if (!cause.empty()) return cause;
  }
  if (result == kLZArchiveMissing) return SystemCause(ENOENT);
  return LZReadResultCause(result);
}

}  // namespace zorellz::cli
