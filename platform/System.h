// Process-level services: environment, temporary files, free space, starting
// a program, the running executable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// The process environment as "NAME=value" entries, in order.
std::vector<std::string> EnvironmentEntries();

// The folder for temporary files: TEMP, else TMP, else TMPDIR, else /tmp
// (on Windows, else the system's temporary folder).
std::filesystem::path TempDirectory();

// Creates a new empty file with a unique name in `folder` (exclusively: an
// existing file is never reused) and returns its path; empty on failure.
std::filesystem::path CreateUniqueFile(const std::filesystem::path& folder,
                                       const std::string& prefix);

// Creates a new empty folder with a unique name in `folder`, open to its
// owner only (on Windows, with the access rules of `folder`), and returns
// its path; empty on failure (errno tells why).
std::filesystem::path CreateUniqueDirectory(const std::filesystem::path& folder,
                                            const std::string& prefix);
// Free bytes of the file system that holds `path` (or its nearest existing
// parent folder); -1 when there is none.
std::int64_t DiskFreeBytes(const std::filesystem::path& path);
// Whether that file system has no room left for a new file of an ordinary
// user: no free byte, or (where files are counted) no free file.
bool DiskIsFull(const std::filesystem::path& path);

// Starts a command line without waiting for it.  The first word (double
// quotes group words) names the program, looked for in the executable's
// folder, the current folder, then PATH (on Windows also with ".exe"); the
// other words are its arguments.  No shell is involved.  False when the
// program cannot be found or started.
bool StartCommand(const std::string& command_line);

// Takes the place of the real start in StartCommand, so that tests can see
// which commands would be started; an empty function restores the real
// start.  Returns the function it replaces.
using TStartCommandFunc = std::function<bool(const std::string& command_line)>;
TStartCommandFunc SetStartCommandFunc(TStartCommandFunc start);

// The running program's own file.
std::filesystem::path ExecutablePath();

void SleepMilliseconds(std::uint32_t milliseconds);

// The cores this process may run on: the hardware's, fewer when its CPU
// affinity allows fewer; at least 1.
unsigned AvailableCores();

// The standard streams as the terminal sees them.
enum class TStdStream { kInput, kOutput, kError };
// True when the stream is a terminal (a console on Windows).
bool IsTerminal(TStdStream stream);
// The width in columns of the terminal behind the stream; 0 when unknown.
int TerminalWidth(TStdStream stream);

// The program's arguments as UTF-8, argv[0] included: on POSIX `argv` as it
// is; on Windows the wide command line, as `argv` holds only the ANSI code
// page.  There it also switches the console's output to UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace zorellz
ZORELLZ_API_END
