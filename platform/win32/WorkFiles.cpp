#include "platform/WorkFiles.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/WatchedPaths.h"

namespace zorellz {
namespace {

// Long paths (\\?\ prefix) reach 32,767 characters.
TWatchedPaths<wchar_t, 32768> watched;

bool IsWorkFileName(const std::filesystem::path& path) {
  return WorkFileOwner(path.filename().string()) > 0;
}

// Ctrl-C, Ctrl-Break and the console closing end the command as a signal
// would on POSIX: 128 + SIGINT (2) or SIGTERM (15).
BOOL WINAPI RemoveWatched(DWORD event) {
  watched.ForEachHeld([](const wchar_t* path) { DeleteFileW(path); });
  ExitProcess(event == CTRL_C_EVENT ? 128 + 2 : 128 + 15);
  return TRUE;
}

bool OwnerIsGone(long pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return !running;
}

}  // namespace

std::string WorkFilePrefix(std::string_view stem, bool hidden) {
  return WorkFilePrefixOf(static_cast<long>(GetCurrentProcessId()), stem, hidden);
}

void WatchWorkFile(const std::filesystem::path& path) {
  watched.Add(path.native());
}

void ForgetWorkFile(const std::filesystem::path& path) {
  if (IsWorkFileName(path)) watched.Remove(path.native());
}

void RemoveWorkFilesOnInterrupt() {
  SetConsoleCtrlHandler(RemoveWatched, TRUE);
}

int ReclaimStaleWorkFiles(const std::filesystem::path& folder, std::chrono::seconds min_age) {
  std::error_code error;
  const auto now = std::filesystem::file_time_type::clock::now();
  int removed = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
    const long owner = WorkFileOwner(entry.path().filename().string());
    if (owner <= 0 || owner == static_cast<long>(GetCurrentProcessId())) continue;
    if (!entry.is_regular_file(error) || entry.is_symlink(error)) continue;
    const auto written = entry.last_write_time(error);
    if (error || now - written < min_age || !OwnerIsGone(owner)) continue;
    if (std::filesystem::remove(entry.path(), error)) ++removed;
  }
  return removed;
}

}  // namespace zorellz
