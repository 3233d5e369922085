// Who owns a file and who may use it, for a file that takes the place of
// another.  A program run by an administrator must not hand a user's files
// to the administrator or open them to everybody: the new file takes over
// what the old one had.
#pragma once

#include <filesystem>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// Gives `file` what the file at `target` has: owner, group, permission bits,
// access control list and extended attributes.  Where nothing (or something
// other than a regular file, such as a link) is at `target`, `file` gets
// what a new file in target's folder gets: that folder's group when the
// folder passes its group on to new files, and permissions read and write
// for everyone less the process's file-creation mask.  An owner or group
// that this process may not give away stays as it is, as do attributes the
// file system cannot hold.  Returns "" on success, else the cause.
std::string TakeOwnershipFrom(const std::filesystem::path& target,
                              const std::filesystem::path& file);

}  // namespace zorellz
ZORELLZ_API_END
