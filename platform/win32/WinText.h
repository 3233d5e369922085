// What the Windows layer shares between its files: UTF-8 and UTF-16, the
// long-path form of a path, and Windows errors as errno values (the one
// kind of error number the library reports on every system).
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace zorellz::win32 {

// Invalid sequences become U+FFFD, so that a name always converts.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The absolute form of `path` with the \\?\ prefix (\\?\UNC\ for a share),
// so that no call stops at MAX_PATH; the path as it is when it cannot be
// made absolute.
std::wstring LongPath(const std::filesystem::path& path);
// The path without a \\?\ prefix, for showing and for giving back.
std::filesystem::path ShortForm(std::wstring path);

int ErrnoFromWin32(DWORD error);
// Sets errno from GetLastError() and returns false, for `return Fail();`.
bool FailWithLastError();

// Owns a HANDLE; INVALID_HANDLE_VALUE and nullptr mean none.
class TUniqueHandle {
 public:
  explicit TUniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~TUniqueHandle() { Close(); }
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }
  bool Close();

 private:
  HANDLE handle_;
};

// Opens an existing file or folder for its attributes only, with every kind
// of sharing, so that even a file opened exclusively elsewhere can be asked.
HANDLE OpenForQuery(const std::filesystem::path& path);

}  // namespace zorellz::win32
