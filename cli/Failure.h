// How every command of the zorellz tool ends.  A failure is one line on
// stderr, "zorellz: <file>: <cause>", and status 1; the cause is the
// system's reason (strerror) where the system gave one, or the words for a
// result of the library.  Only this file writes that line.
#pragma once

#include <cstdint>
#include <string>

namespace zorellz::cli {

// The exit statuses, as `zorellz --help` and the README list them.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // a line on stderr names the file and the cause
inline constexpr int kExitUsage = 2;    // the command line was wrong; nothing was done
// Done, but with inputs left out of an archive or existing files kept:
// each is named on stderr.
inline constexpr int kExitPartial = 2;

// Thrown to end a command with a non-zero status; main returns `Code`.
struct TExitStatus {
  int Code;
};

// One line on stderr: "zorellz: <subject>: <cause>".  The progress bar is
// taken down first.
void ReportError(const std::string& subject, const std::string& cause);

// Reports the line and ends the command with status 1.
[[noreturn]] void FailCommand(const std::string& subject, const std::string& cause);

// The system's words for an error number ("No such file or directory").
std::string SystemCause(int error);

// Why `name` cannot be created as a file, in the system's words: its folder
// is missing or not writable, or it is a folder, a device or a pipe.
std::string CannotCreateCause(const std::string& name);
// Whether `name` (not followed when a link) is a device, a pipe or a
// socket: the engine never replaces one.
bool IsSpecialFile(const std::string& name);
// Why an extracted file `name` could not be written, as far as can be told
// afterwards: what is in its way, or a full disk.
std::string EntryWriteCause(const std::string& name);

// Why folders cannot be made in the existing folder `folder`, in the
// system's words when it refuses to write there.
std::string FolderWriteCause(const std::string& folder);

// Why `name` is not an existing file to read: "No such file or directory",
// "Is a directory" or the system's reason.
std::string MissingFileCause(const std::string& name);

// The words for a negative result of the library, from the engine's own
// table (ResultText); a few codes mean something else when an archive or a
// compressed file is being created (`creating`).
std::string ResultCause(std::int64_t result, bool creating = false);

}  // namespace zorellz::cli
