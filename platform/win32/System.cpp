#include "platform/System.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/CommandLine.h"
#include "platform/StartNative.h"
#include "platform/WorkFiles.h"
#include "platform/win32/WinText.h"

namespace zorellz {

using win32::FailWithLastError;
using win32::LongPath;
using win32::Utf8ToWide;
using win32::WideToUtf8;

namespace {

// Attempts at a fresh random name before giving up; a collision is rare
// unless the folder is being filled on purpose.
constexpr int kUniqueNameAttempts = 100;

std::optional<std::wstring> Variable(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::wstring value(needed, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
  if (length == 0 || length >= needed) return std::nullopt;
  value.resize(length);
  return value;
}

// Eight random letters and digits.
std::string RandomSuffix() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mutex mutex;
  static std::mt19937_64 generator{std::random_device{}()};
  std::lock_guard<std::mutex> lock(mutex);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += kAlphabet[pick(generator)];
  return suffix;
}

bool PrefixLeadsElsewhere(const std::string& prefix) {
  return prefix.find_first_of("\\/:") != std::string::npos;
}

// Tries fresh names until `create` makes one; `create` fails with errno
// EEXIST when the name is taken.
template <typename TCreate>
std::filesystem::path CreateUnique(const std::filesystem::path& folder, const std::string& prefix,
                                   TCreate create) {
  if (PrefixLeadsElsewhere(prefix)) {
    errno = EINVAL;
    return {};
  }
  for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
    std::filesystem::path candidate = folder / (prefix + RandomSuffix());
    if (create(candidate)) return candidate;
    if (errno != EEXIST) return {};
  }
  return {};
}

// Quotes one argument so that the C run-time library of the started
// program splits it back unchanged: backslashes count only before a quote.
std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    quoted.append(backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

bool IsProgramFile(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A name without an extension is also tried with ".exe".
std::optional<std::filesystem::path> ProgramIn(const std::filesystem::path& candidate) {
  if (IsProgramFile(candidate)) return candidate;
  if (!candidate.has_extension()) {
    std::filesystem::path with_exe = candidate;
    with_exe += L".exe";
    if (IsProgramFile(with_exe)) return with_exe;
  }
  return std::nullopt;
}

// The program's own folder, the current folder, then every PATH entry.
std::optional<std::filesystem::path> FindProgram(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const std::filesystem::path program(Utf8ToWide(name));
  if (name.find_first_of("\\/:") != std::string::npos) return ProgramIn(program);
  std::vector<std::filesystem::path> folders = {ExecutablePath().parent_path(), L"."};
  const std::wstring search = Variable(L"PATH").value_or(L"");
  std::size_t start = 0;
  while (start <= search.size()) {
    const std::size_t end = std::min(search.find(L';', start), search.size());
    if (end > start) folders.emplace_back(search.substr(start, end - start));
    start = end + 1;
  }
  for (const auto& folder : folders) {
    if (folder.empty()) continue;
    if (auto found = ProgramIn(folder / program)) return found;
  }
  return std::nullopt;
}

}  // namespace

// The hidden per-drive entries ("=C:=C:\\folder") are the shell's, not
// settings of the program.
std::vector<std::string> EnvironmentEntries() {
  std::vector<std::string> entries;
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) return entries;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    if (*entry != L'=') entries.push_back(WideToUtf8(entry));
  }
  FreeEnvironmentStringsW(block);
  return entries;
}

std::filesystem::path TempDirectory() {
  for (const wchar_t* name : {L"TEMP", L"TMP", L"TMPDIR"}) {
    std::optional<std::wstring> value = Variable(name);
    if (value && !value->empty()) return *value;
  }
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return L"C:\\Windows\\Temp";
  return std::wstring(folder, length);
}

// CREATE_NEW never takes over an existing file.
// A work file is watched before it exists: an interrupt between its
// creation and its watch would leave it behind.  Its name carries this
// process's id, so removing it before it is made removes nothing else.
std::filesystem::path CreateUniqueFile(const std::filesystem::path& folder,
                                       const std::string& prefix) {
  const bool work_file = WorkFileOwner(prefix) > 0;
  return CreateUnique(folder, prefix, [work_file](const std::filesystem::path& candidate) {
    if (work_file) WatchWorkFile(candidate);
    HANDLE file = CreateFileW(LongPath(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      FailWithLastError();
      const int error = errno;
      if (work_file) ForgetWorkFile(candidate);
      errno = error;
      return false;
    }
    CloseHandle(file);
    return true;
  });
}

// The folder takes the access rules of the folder it is made in, as every
// new Windows folder does.
std::filesystem::path CreateUniqueDirectory(const std::filesystem::path& folder,
                                            const std::string& prefix) {
  return CreateUnique(folder, prefix, [](const std::filesystem::path& candidate) {
    return CreateDirectoryW(LongPath(candidate).c_str(), nullptr) != 0 || FailWithLastError();
  });
}

std::int64_t DiskFreeBytes(const std::filesystem::path& path) {
  if (path.empty()) return -1;
  std::filesystem::path current = win32::ShortForm(LongPath(path));
  for (;;) {
    ULARGE_INTEGER available;
    if (GetDiskFreeSpaceExW(LongPath(current).c_str(), &available, nullptr, nullptr)) {
      constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
      return static_cast<std::int64_t>(std::min<std::uint64_t>(available.QuadPart, kMax));
    }
    std::filesystem::path parent = current.parent_path();
    if (parent == current || parent.empty()) return -1;
    current = std::move(parent);
  }
}

bool DiskIsFull(const std::filesystem::path& path) {
  return DiskFreeBytes(path) == 0;
}

bool StartCommandNative(const std::string& command_line) {
  const std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) return false;
  const std::optional<std::filesystem::path> program = FindProgram(words[0]);
  if (!program) return false;
  std::wstring line = QuoteArgument(program->native());
  for (std::size_t i = 1; i < words.size(); ++i) line += L' ' + QuoteArgument(Utf8ToWide(words[i]));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // No shell: the program is named explicitly and the line only carries
  // its arguments.
  if (!CreateProcessW(program->c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return FailWithLastError();
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

std::filesystem::path ExecutablePath() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return win32::ShortForm(std::move(name));
    }
    name.resize(name.size() * 2);
  }
}

void SleepMilliseconds(std::uint32_t milliseconds) {
  Sleep(milliseconds);
}

}  // namespace zorellz

namespace zorellz {

unsigned AvailableCores() {
  unsigned cores = std::thread::hardware_concurrency();
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) {
    unsigned allowed = 0;
    for (DWORD_PTR mask = process_mask; mask != 0; mask &= mask - 1) ++allowed;
    if (allowed > 0 && (cores == 0 || allowed < cores)) cores = allowed;
  }
  return cores == 0 ? 1 : cores;
}

}  // namespace zorellz
