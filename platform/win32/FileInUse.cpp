#include "platform/FileInUse.h"

#include <atomic>
#include <cerrno>

#include "platform/win32/WinText.h"

namespace zorellz {

namespace {

// Windows has no lease; the setting is kept only so that callers behave
// alike on every system.
std::atomic<bool> lease_probe_enabled{true};

}  // namespace

// An open that shares nothing fails with a sharing violation while any
// other handle of the file is open, this process's own included.
TFileUse CheckFileInUse(const std::filesystem::path& path, int* error) {
  if (error != nullptr) *error = 0;
  const std::wstring name = win32::LongPath(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (error != nullptr) *error = EISDIR;
    return TFileUse::kUnreadable;
  }
  win32::TUniqueHandle probe(
      CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!probe.Valid()) {
    const DWORD cause = GetLastError();
    if (cause == ERROR_SHARING_VIOLATION || cause == ERROR_LOCK_VIOLATION) return TFileUse::kInUse;
    if (error != nullptr) *error = win32::ErrnoFromWin32(cause);
    return TFileUse::kUnreadable;
  }
  if (GetFileType(probe.Get()) != FILE_TYPE_DISK) {
    if (error != nullptr) *error = EINVAL;
    return TFileUse::kUnreadable;
  }
  if (!probe.Close()) {
    if (error != nullptr) *error = win32::ErrnoFromWin32(GetLastError());
    return TFileUse::kUnreadable;
  }
  return TFileUse::kNotInUse;
}

bool SetFileLeaseProbeForTesting(bool enabled) {
  return lease_probe_enabled.exchange(enabled);
}

}  // namespace zorellz
