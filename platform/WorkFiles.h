// Work files: the files the library writes before they take their final
// place (a pending file beside its target, a work file in the temporary
// folder).  Their names start with a recognisable prefix that carries the id
// of the process that made them:
//
//     .ZRL~<pid>~<target name>.XXXXXX     beside a target (hidden)
//     ZRL~<pid>~XXXXXX                    in the temporary folder
//
// so that an interrupted run can remove its own and a later run can tell a
// work file whose owner is gone from one still being written.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// The name prefix of a new work file of this process, to which
// CreateUniqueFile adds six random characters.  A non-empty `stem` (the
// target's name, cut to 100 bytes) is followed by a dot; `hidden` puts a dot
// in front.
std::string WorkFilePrefix(std::string_view stem, bool hidden);
// The same prefix for the work files of process `pid`.
std::string WorkFilePrefixOf(long pid, std::string_view stem, bool hidden);

// The process id in a work file's name, or -1 for any other name.
long WorkFileOwner(std::string_view name);

// Remembers a work file for RemoveWorkFilesOnInterrupt; forgets it once it is
// removed or has taken its final place.  CreateUniqueFile, DeleteFileNative
// and the renames of the platform layer do this for every work file name.
void WatchWorkFile(const std::filesystem::path& path);
void ForgetWorkFile(const std::filesystem::path& path);

// From now on SIGINT, SIGTERM and SIGHUP remove every watched work file and
// end the process with status 128 + the signal's number.  For programs, not
// for the library: it changes the process's signal handling.
void RemoveWorkFilesOnInterrupt();

// Removes the work files in `folder` that are provably dead: named as
// WorkFilePrefix names them, owned by this user, made by a process that no
// longer runs, and unchanged for at least `min_age`.  Any other file stays.
// Returns the number removed.
int ReclaimStaleWorkFiles(const std::filesystem::path& folder,
                          std::chrono::seconds min_age = std::chrono::minutes(10));

}  // namespace zorellz
ZORELLZ_API_END
