#include "app/HelpPages.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <system_error>

#include "platform/File.h"

namespace tessaline {

namespace fs = std::filesystem;

namespace {

constexpr int kNameAttempts = 16;

char UpCase(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string RandomSuffix() {
  thread_local std::mt19937_64 generator(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
  return text;
}

std::string CauseOfErrno(int error) {
  if (error == 0) error = EIO;
  return std::generic_category().message(error);
}

// Copies `source` to a new hidden file beside `destination`; its path, or
// empty with `cause` set.
fs::path CopyBeside(const fs::path& destination, const fs::path& source, std::string& cause) {
  const std::string prefix = "." + destination.filename().string() + ".";
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    fs::path temporary = destination.parent_path() / (prefix + RandomSuffix() + ".tmp");
    errno = 0;
    if (zorellz::CopyFileNative(source, temporary, /*fail_if_exists=*/true)) return temporary;
    const int error = errno;
    // A name already taken is tried again; any other failure is final.
    if (error != EEXIST) {
      cause = CauseOfErrno(error);
      return {};
    }
  }
  cause = CauseOfErrno(EEXIST);
  return {};
}

}  // namespace

bool IsHelpPageName(const std::string& name) {
  static constexpr char kExtension[] = ".HTML";
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot != sizeof kExtension - 1) return false;
  for (std::size_t i = 0; i < sizeof kExtension - 1; ++i) {
    if (UpCase(name[dot + i]) != kExtension[i]) return false;
  }
  return true;
}

std::string MoveHelpPage(const fs::path& destination, const fs::path& source) {
  if (zorellz::IsSameFile(destination, source)) return "";
  std::string cause;
  const fs::path temporary = CopyBeside(destination, source, cause);
  if (temporary.empty()) return cause;
  errno = 0;
  if (!zorellz::ReplaceFileNative(temporary, destination)) {
    cause = CauseOfErrno(errno);
    zorellz::DeleteFileNative(temporary);
    return cause;
  }
  // The page is where it belongs now; a copy the data folder keeps is
  // harmless, so a failure to delete it is not reported.
  zorellz::DeleteFileNative(source);
  return "";
}

}  // namespace tessaline
