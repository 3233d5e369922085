// Whether another process has a file open: the test an update makes before
// it replaces a database file.  On Windows an open that denies all sharing
// fails with a sharing violation; on Linux a write lease is granted only
// while no other open file description of the file exists, and where a lease
// cannot be taken (another owner without CAP_LEASE, a file system without
// leases) the open files and mappings of every visible process are compared
// instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

enum class TFileUse {
  kNotInUse,    // no other process has it open
  kInUse,       // another process has it open
  kUnreadable,  // missing, not a regular file, or cannot be opened for reading
};

// `error` receives the errno value for kUnreadable when given (EISDIR for a
// folder, EINVAL for another kind of file), and 0 otherwise.
// Descriptors and mappings of the file that this process holds count as
// another's: the caller holds none while it asks.  A file under another
// process's lease counts as in use, without waiting for that lease to end.
// Processes whose open files cannot be seen (those of other users, without
// privileges) count as not having the file open.
TFileUse CheckFileInUse(const std::filesystem::path& path, int* error = nullptr);

// Checks many files in one pass.  Where a lease cannot answer, the open files
// of every visible process are read once, at the first file that needs
// them, and kept for the life of the checker: a check of n files reads them
// once rather than n times.  Make a new checker for a later pass.
class TFileUseChecker {
 public:
  TFileUseChecker();
  ~TFileUseChecker();
  TFileUseChecker(const TFileUseChecker&) = delete;
  TFileUseChecker& operator=(const TFileUseChecker&) = delete;

  // As CheckFileInUse.
  TFileUse Check(const std::filesystem::path& path, int* error = nullptr);

  // As Check; a file found not in use stays under this checker's watch,
  // where the system allows it (a write lease on Linux), until Release or
  // the next CheckAndHold: another process that opens it meanwhile waits
  // for the release and is noticed by HeldFileOpened.  The file may be
  // renamed meanwhile; the watch follows the file, not its name.
  TFileUse CheckAndHold(const std::filesystem::path& path, int* error = nullptr);
  // True when another process has opened the watched file since
  // CheckAndHold (false when nothing is watched).
  bool HeldFileOpened() const;
  void Release();

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

// Whether CheckFileInUse tries a lease first (the default) or goes straight
// to comparing the processes' open files, so that tests can reach that path
// on any machine; Windows has one way only and ignores it.  Returns the
// previous setting.
bool SetFileLeaseProbeForTesting(bool enabled);

}  // namespace zorellz
ZORELLZ_API_END
