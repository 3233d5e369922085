#include "app/HelpPages.h"

#include <cerrno>
#include <system_error>

#include "platform/Names.h"
#include "platform/Ownership.h"
#include "platform/System.h"
#include "zorellz/platform/File.h"

namespace tessaline {

namespace fs = std::filesystem;

namespace {

std::string CauseOfErrno(int error) {
  if (error == 0) error = EIO;
  return std::generic_category().message(error);
}

// Copies `source` to a new hidden file beside `destination`; its path, or
// empty with `cause` set.
fs::path CopyBeside(const fs::path& destination, const fs::path& source, std::string& cause) {
  errno = 0;
  const fs::path temporary = zorellz::CreateUniqueFile(destination.parent_path(),
                                                       "." + destination.filename().string() + ".");
  if (temporary.empty()) {
    cause = CauseOfErrno(errno);
    return {};
  }
  errno = 0;
  if (!zorellz::CopyFileNative(source, temporary, /*fail_if_exists=*/false)) {
    cause = CauseOfErrno(errno);
    zorellz::DeleteFileNative(temporary);
    return {};
  }
  return temporary;
}

}  // namespace

bool IsHelpPageName(const std::string& name) {
  return zorellz::UpperCaseAscii(zorellz::ExtractFileExt(name)) == ".HTML";
}

std::string MoveHelpPage(const fs::path& destination, const fs::path& source) {
  if (zorellz::IsSameFile(destination, source)) return "";
  std::string cause;
  const fs::path temporary = CopyBeside(destination, source, cause);
  if (temporary.empty()) return cause;
  // The page takes the owner and permissions of the page it replaces.
  cause = zorellz::TakeOwnershipFrom(destination, temporary);
  if (!cause.empty()) {
    zorellz::DeleteFileNative(temporary);
    return cause;
  }
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
