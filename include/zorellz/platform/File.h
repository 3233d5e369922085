// Files with the sharing rules the engine relies on, and the small file-system
// operations around them.  Paths are native; their narrow text is UTF-8 on
// every system.
//
// Failures of Open* are reported by a false result (the engine turns them into
// its own result codes); failures of reads, writes, seeks on an open file
// raise EInOutError naming the file and the cause.  Error numbers are errno
// values on every system (Windows errors are translated), and functions that
// return false leave the cause in errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TFolderHandle;
struct TFileStatus;

class TFile {
 public:
#ifdef _WIN32
  using THandle = void*;  // a HANDLE
  static constexpr THandle kNoHandle = nullptr;
#else
  using THandle = int;  // a file descriptor
  static constexpr THandle kNoHandle = -1;
#endif
  enum class TMode {
    kReadDenyWrite,   // read only; others may not write (an ordinary open on POSIX)
    kReadDenyNone,    // read only; others may do anything
    kCreateTruncate,  // create or truncate, read and write
    kReadWrite,       // existing file, read and write
    kCreateNew,       // a new file only, never through a link; private to its owner
    kCreateNewOrdinary,  // as kCreateNew, with the permissions of an ordinary new file
    // A new file without a name in the folder given to OpenIn (the name is
    // ignored), with the permissions of an ordinary new file; the platform
    // layer names it when it is complete.  Where the system or the file
    // system cannot make one, OpenIn fails with EOPNOTSUPP or its own error.
    kCreateAnonymous,
  };

  TFile() = default;
  ~TFile();
  TFile(TFile&& other) noexcept;
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Opens `path`; false (and the file stays closed) when it cannot be opened.
  // `error` receives the system's error number when given.
  bool Open(const std::filesystem::path& path, TMode mode, int* error = nullptr);
  // The same, with the status of the file opened (GetFileStatus) in `status`.
  bool Open(const std::filesystem::path& path, TMode mode, TFileStatus& status);
  // Opens `name`, one component, in an open folder; as Open otherwise.
  bool OpenIn(const TFolderHandle& folder, const std::string& name, TMode mode,
              int* error = nullptr);
  bool IsOpen() const {
    return handle_ != kNoHandle;
  }
  const std::filesystem::path& Path() const {
    return path_;
  }
  // The name that errors give for the file until it is opened again: a work
  // file is named by the file it will become.
  void NameInErrors(std::filesystem::path shown) {
    shown_ = std::move(shown);
  }
  void Close();

  // Reads up to `count` bytes; returns the number read, fewer than `count`
  // only when the file ends first (0 at end of file).
  std::size_t Read(void* buffer, std::size_t count);
  // Reads exactly `count` bytes or raises EInOutError with code 100.
  void ReadExact(void* buffer, std::size_t count);
  // Writes all `count` bytes or raises EInOutError with code 101.
  void Write(const void* buffer, std::size_t count);
  // Gathers writes shorter than a sixteenth of `capacity` bytes in a buffer
  // of that size, so that many small writes cost one system call; 0 hands
  // what is gathered to the system and stops gathering.  Gathered bytes are
  // handed over when the buffer fills, before a longer write and before any
  // other operation on the file but Position and Size, which count them,
  // and Native.  A failure then raises EInOutError 101 from that call, but
  // Close (and the destructor) drops the bytes instead: end with
  // GatherWrites(0) to know that they were written.
  void GatherWrites(std::size_t capacity);

  // Seeks to an absolute position; false when the position is invalid.
  bool Seek(std::int64_t position);
  std::int64_t Position() const;
  std::int64_t Size() const;
  // Cuts the file at the current position.
  void Truncate();
  // Flushes written data to the device.
  void Sync();
  // Tells the system that the file is read from start to end (read-ahead);
  // only advice, so it cannot fail.
  void AdviseSequential();
  // The system's handle (a descriptor on POSIX), for the platform layer.
  THandle Native() const {
    return handle_;
  }

 private:
  [[noreturn]] void Fail(const char* what, int code) const;
  // Writes all `count` bytes at once (each system's own).
  void WriteThrough(const void* buffer, std::size_t count);
  void HandOverGathered();
  // Close's way with gathered bytes: handed over, or dropped on a failure.
  void HandOverGatheredQuietly() noexcept;

  THandle handle_ = kNoHandle;
  // Where the next read or write goes, as this object last moved it; -1 when
  // not known.  Saves asking the system on every step of a sequential pass.
  std::int64_t position_ = -1;
  std::filesystem::path path_;
  std::filesystem::path shown_;  // empty: path_
  std::unique_ptr<std::uint8_t[]> gather_;  // GatherWrites's buffer
  std::size_t gather_capacity_ = 0;
  std::size_t gathered_ = 0;  // bytes in it, to go at the system's position
};

// A file's identity on its file system (device and inode on POSIX, volume
// serial number and file index on Windows).
struct TFileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

bool GetFileIdentity(const std::filesystem::path& path, TFileIdentity& identity);
bool GetFileIdentity(const TFile& file, TFileIdentity& identity);
// True when both paths exist and name the same file (links included).
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// What a path names, symbolic links followed, from one look at the file.
struct TFileStatus {
  bool IsRegular = false;
  bool IsDirectory = false;
  std::int64_t Size = 0;
  TFileIdentity Identity;
  // The last change of the contents, in the system's own units (for
  // DosDateOf in DosTime.h).
  std::int64_t ModifiedTime = 0;
  std::uint32_t Mode = 0;  // the type and permission bits on POSIX; 0 on Windows
  bool IsLink = false;     // from GetLinkStatus only; nothing else is then filled in
};
// False when nothing (or a dangling link) is there.
bool GetFileStatus(const std::filesystem::path& path, TFileStatus& status);
bool GetFileStatus(const TFile& file, TFileStatus& status);
// The same without following a link where the path ends: a link gives
// IsLink, whatever it leads to.
bool GetLinkStatus(const std::filesystem::path& path, TFileStatus& status);

// True for an existing file that is not a folder.
bool FileExists(const std::filesystem::path& path);
bool DirectoryExistsNative(const std::filesystem::path& path);
bool DeleteFileNative(const std::filesystem::path& path);
// Renames; fails when `to` already exists.
bool RenameFileNative(const std::filesystem::path& from, const std::filesystem::path& to);
// Renames over `to`, replacing it in one step when it exists.
bool ReplaceFileNative(const std::filesystem::path& from, const std::filesystem::path& to);
// As ReplaceFileNative, for a file made private while it was written: it
// first takes the permissions of the file it replaces (those of a new file
// when there is none).  False when the rename fails (across file systems,
// for example); `from` is then left as it was, permissions aside.
bool MoveFileIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to);
// As MoveFileIntoPlace; when `program` may be executed, the file may be
// executed too by whoever may read it (a program built from it, such as a
// self-extracting file made from an executable stub).
bool MoveProgramIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                          const std::filesystem::path& program);
// Copies contents, date and permissions; with `fail_if_exists` an existing
// target is an error.  A partly written target is removed on failure.
bool CopyFileNative(const std::filesystem::path& from, const std::filesystem::path& to,
                    bool fail_if_exists);
bool MakeDirectory(const std::filesystem::path& path);
std::filesystem::path CurrentDirectory();

// One entry of a folder listing; symbolic links are reported as such, with
// the kind of their target in IsDirectory/IsRegular.
struct TDirEntry {
  std::string Name;  // native name, no folder
  bool IsDirectory = false;
  bool IsRegular = false;
  bool IsSymlink = false;
  // What GetFileStatus would say of the entry, where the listing tells it
  // without another look at the file (POSIX); otherwise StatusKnown is false.
  bool StatusKnown = false;
  TFileStatus Status;
};
// Lists a folder (without "." and ".."), sorted by name; false when the
// folder cannot be read.
bool ListDirectory(const std::filesystem::path& path, std::vector<TDirEntry>& entries);

}  // namespace zorellz
ZORELLZ_API_END
