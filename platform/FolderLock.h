// One process at a time on a folder: an exclusive lock on a lock file inside
// it, held for as long as the object lives.  The lock is advisory (it binds
// only programs that ask for it) and is released by the system when the
// process ends, however it ends, so a killed holder never blocks the folder.
#pragma once

#include <filesystem>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TFolderLock {
 public:
  enum class TResult {
    kLocked,         // this object holds the lock now
    kHeldElsewhere,  // another process (or object) holds it
    kFailed,         // the lock file cannot be made or locked; see the error
  };

  TFolderLock() = default;
  // Releases the lock (see Release).
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

  // Takes the lock on `folder`/`name` without waiting, creating the lock
  // file when it is missing.  `error` receives the system's error number on
  // kFailed.
  TResult Acquire(const std::filesystem::path& folder, const std::string& name,
                  int* error = nullptr);
  bool Held() const { return handle_ >= 0; }
  // True when another holder has the lock on `folder`/`name` now; looks
  // without creating anything.
  static bool HeldElsewhere(const std::filesystem::path& folder, const std::string& name);
  // Removes the lock file and then lets the lock go, so that the folder is
  // left as it was found; a waiting locker notices and makes a new one.
  void Release();

 private:
  int handle_ = -1;
  std::filesystem::path path_;
};

}  // namespace zorellz
ZORELLZ_API_END
