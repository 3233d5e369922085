#include "platform/WorkFiles.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace zorellz {
namespace {

constexpr std::size_t kLongestPath = 32768;

// The watched paths live in a fixed table that the console handler can walk
// without locks or allocation.  A slot is free, being filled or emptied, or
// holds a path.  Threads that fill and empty slots take turns, so that none
// reads a path while another writes it.
enum : int { kFree, kBusy, kHeld };
std::mutex slot_writers;
constexpr std::size_t kSlots = 256;
struct TSlot {
  std::atomic<int> State{kFree};
  wchar_t Path[kLongestPath];
};
std::array<TSlot, kSlots>& Watched() {
  static std::array<TSlot, kSlots> watched;
  return watched;
}

bool IsWorkFileName(const std::filesystem::path& path) {
  return WorkFileOwner(path.filename().string()) > 0;
}

// Ctrl-C, Ctrl-Break and the console closing end the command as a signal
// would on POSIX: 128 + SIGINT (2) or SIGTERM (15).
BOOL WINAPI RemoveWatched(DWORD event) {
  for (TSlot& slot : Watched()) {
    if (slot.State.load() == kHeld) DeleteFileW(slot.Path);
  }
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
  const std::lock_guard<std::mutex> lock(slot_writers);
  const std::wstring& text = path.native();
  if (text.size() >= kLongestPath) return;
  for (TSlot& slot : Watched()) {
    int expected = kFree;
    if (!slot.State.compare_exchange_strong(expected, kBusy)) continue;
    std::memcpy(slot.Path, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    slot.State.store(kHeld);
    return;
  }
}

void ForgetWorkFile(const std::filesystem::path& path) {
  if (!IsWorkFileName(path)) return;
  const std::lock_guard<std::mutex> lock(slot_writers);
  const std::wstring& text = path.native();
  for (TSlot& slot : Watched()) {
    if (slot.State.load() != kHeld || std::wcscmp(slot.Path, text.c_str()) != 0) continue;
    int expected = kHeld;
    if (slot.State.compare_exchange_strong(expected, kBusy)) {
      slot.Path[0] = L'\0';
      slot.State.store(kFree);
      return;
    }
  }
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
