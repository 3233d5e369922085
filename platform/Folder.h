// Folders held open, so that the files below one are made without looking
// its path up again and without following a link that takes the place of a
// folder on the way, and the flushes that make finished work durable.
//
// On POSIX a folder is held by a descriptor and every step is relative to
// it.  On Windows it is held by its path: each step refuses a reparse point
// (a link or junction) where a folder is expected, new files are made with
// CREATE_NEW, and renames stay within the folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "zorellz/platform/Export.h"
#include "zorellz/platform/File.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TFolderHandle {
 public:
  // How a step below a folder ended.
  enum class TStep { kOpened, kLink, kFailed };

  TFolderHandle() = default;
  ~TFolderHandle();
  TFolderHandle(TFolderHandle&& other) noexcept;
  TFolderHandle& operator=(TFolderHandle&& other) noexcept;
  TFolderHandle(const TFolderHandle&) = delete;
  TFolderHandle& operator=(const TFolderHandle&) = delete;

  // Opens an existing folder by its path (links on it are followed: the
  // caller chose it).  False, with the system's error number, when it cannot.
  bool Open(const std::filesystem::path& folder, int* error = nullptr);
  // Opens the folder `parts` names below this one, one component at a time,
  // creating the missing ones when `create`.  A component that is a link
  // (or is replaced by one meanwhile) ends the walk with kLink.
  TStep OpenBelow(const std::vector<std::string>& parts, bool create, TFolderHandle& folder) const;
  // Another handle on the same folder.
  bool Duplicate(TFolderHandle& copy) const;
  bool IsOpen() const { return !path_.empty(); }
  void Close();
  const std::filesystem::path& Path() const { return path_; }
  // Flushes the folder's entries (names made and renamed) to the device.
  bool Sync() const;
  // The descriptor on POSIX, for the platform layer; -1 on Windows.
  int Native() const { return handle_; }

 private:
  int handle_ = -1;
  std::filesystem::path path_;
};

// Who may read a work file while it is written: only its owner, or all who
// may read an ordinary new file (for a file that takes a free name, and so
// needs no change of permissions then).
enum class TWorkFileAccess { kPrivate, kOrdinary };

// Creates a new work file in `folder`, named `prefix` and random characters
// (WorkFilePrefix), never through a link or over anything there, and opens it
// for writing.  Its name goes to `name`; it is watched for removal on an
// interrupt (WatchWorkFile).  False with the system's error number in
// `error` when it cannot.
bool CreateWorkFileIn(const TFolderHandle& folder, const std::string& prefix, TFile& file,
                      std::string& name, int* error = nullptr,
                      TWorkFileAccess access = TWorkFileAccess::kPrivate);

// Creates a new file without a name in `folder`, open for writing with the
// permissions of an ordinary new file, where the system can name it later.
// It shows in no folder until it is named, and the file system reclaims it by
// itself should the process end first.  False where none can be had; the
// caller then writes a work file instead.
bool CreateAnonymousFileIn(const TFolderHandle& folder, TFile& file);
// Whether CreateAnonymousFileIn may make such files (the default); tests
// turn it off to reach the work files that other systems use.
void AllowAnonymousFiles(bool allow);
// Gives the anonymous `file` the name `name` in `folder`, only while nothing
// has that name (EEXIST otherwise).
bool NameAnonymousFileIn(const TFolderHandle& folder, const TFile& file, const std::string& name);
// Gives it a new work file name instead, chosen and watched as
// CreateWorkFileIn chooses and watches one, in `name`.
bool NameAnonymousWorkFileIn(const TFolderHandle& folder, const TFile& file,
                             const std::string& prefix, std::string& name);

// What a name in a folder is, links not followed.  kSpecial is a device, a
// pipe or a socket, which programs write into and which is never replaced;
// kOther a folder.
enum class TNameKind { kNothing, kFile, kLink, kSpecial, kOther };

// Gives the open `file` the permissions of the file `name` in `folder`, those
// of a new file when there is none (or it is something else), and says what
// `name` is.  Windows files carry no permissions to take.
TNameKind TakePermissionsIn(const TFolderHandle& folder, const std::string& name, TFile& file);

// Renames the work file `from` over `to`, both names in `folder`, in one
// step, and stops watching it.
bool ReplaceFileIn(const TFolderHandle& folder, const std::string& from, const std::string& to);
// Renames the work file `from` to `to`, both in `folder`, only while nothing
// has that name, and stops watching it.  False when something has it, or
// where the system cannot tell in the same step; the work file then stays.
bool PlaceNewFileIn(const TFolderHandle& folder, const std::string& from, const std::string& to);
// What `name` in `folder` is.
TNameKind NameKindIn(const TFolderHandle& folder, const std::string& name);
// GetLinkStatus (File.h) of `name` in `folder`.
bool GetLinkStatusIn(const TFolderHandle& folder, const std::string& name, TFileStatus& status);
// Removes the work file `name` in `folder` and stops watching it.
bool DeleteFileIn(const TFolderHandle& folder, const std::string& name);

// Every flush of data or folders to the device goes through the platform
// layer and is counted here, so that tests can see how often work is synced.
std::uint64_t SyncCallCount();
void CountSyncCall();

}  // namespace zorellz
ZORELLZ_API_END
