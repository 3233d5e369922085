#include "platform/System.h"
#include "platform/WorkFiles.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <limits>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/CommandLine.h"
#include "platform/StartNative.h"

extern char** environ;

namespace zorellz {

namespace {

// Six letters and digits, as mkstemp would choose them.
std::string RandomSuffix() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}() ^
                                         static_cast<std::uint64_t>(getpid())};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kChars[pick(generator)];
  return suffix;
}

// Saturates rather than wraps on an implausibly large file system.
std::int64_t FreeBytes(const struct statvfs& info) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const std::uint64_t blocks = info.f_bavail;
  const std::uint64_t block_size = info.f_frsize;
  if (block_size != 0 && blocks > kMax / block_size) return static_cast<std::int64_t>(kMax);
  return static_cast<std::int64_t>(blocks * block_size);
}

bool IsExecutableFile(const std::filesystem::path& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's own folder, the current folder, then every PATH entry (an
// empty entry means the current folder).
std::vector<std::filesystem::path> ProgramFolders() {
  std::vector<std::filesystem::path> folders;
  const std::filesystem::path self = ExecutablePath();
  if (!self.empty()) folders.push_back(self.parent_path());
  folders.push_back(".");
  const char* search = getenv("PATH");
  std::string_view rest = search != nullptr ? search : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    folders.push_back(entry.empty() ? std::filesystem::path(".") : std::filesystem::path(entry));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return folders;
}

std::optional<std::filesystem::path> FindProgram(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (name.find('/') != std::string::npos) {
    if (IsExecutableFile(name)) return std::filesystem::path(name);
    return std::nullopt;
  }
  for (const auto& folder : ProgramFolders()) {
    std::filesystem::path candidate = folder / name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

// Children are not waited for, but those that have ended are collected on
// the next start so that they do not linger as zombies.
std::mutex children_mutex;
std::vector<pid_t> children;

void ReapFinishedChildren() {
  std::erase_if(children, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

}  // namespace

std::vector<std::string> EnvironmentEntries() {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    entries.emplace_back(*entry);
  }
  return entries;
}

std::filesystem::path TempDirectory() {
  for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
    const char* value = getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "/tmp";
}

std::filesystem::path CreateUniqueFile(const std::filesystem::path& folder,
                                       const std::string& prefix) {
  // The prefix must stay part of the name, not lead into another folder.
  if (prefix.find('/') != std::string::npos) return {};
  // A work file is watched before it exists: an interrupt between its
  // creation and its watch would leave it behind.  Its name carries this
  // process's id, so removing it before it is made removes nothing else.
  const bool work_file = WorkFileOwner(prefix) > 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path = folder / (prefix + RandomSuffix());
    if (work_file) WatchWorkFile(path);
    // O_EXCL: an existing file is never taken over.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    const int error = errno;
    if (work_file) ForgetWorkFile(path);
    errno = error;
    if (error != EEXIST) return {};
  }
  return {};
}

std::filesystem::path CreateUniqueDirectory(const std::filesystem::path& folder,
                                            const std::string& prefix) {
  if (prefix.find('/') != std::string::npos) {
    errno = EINVAL;
    return {};
  }
  std::string name_template = (folder / (prefix + "XXXXXX")).string();
  if (mkdtemp(name_template.data()) == nullptr) return {};
  return name_template;
}

namespace {

// The status of the file system that holds `path` or its nearest existing
// parent folder.
bool FileSystemOf(const std::filesystem::path& path, struct statvfs& info) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::path current = std::filesystem::absolute(path, error).lexically_normal();
  if (error) return false;
  for (;;) {
    if (statvfs(current.c_str(), &info) == 0) return true;
    std::filesystem::path parent = current.parent_path();
    if (parent == current || parent.empty()) return false;
    current = std::move(parent);
  }
}

}  // namespace

std::int64_t DiskFreeBytes(const std::filesystem::path& path) {
  struct statvfs info;
  return FileSystemOf(path, info) ? FreeBytes(info) : -1;
}

bool DiskIsFull(const std::filesystem::path& path) {
  struct statvfs info;
  if (!FileSystemOf(path, info)) return false;
  return info.f_bavail == 0 || (info.f_files != 0 && info.f_favail == 0);
}

bool StartCommandNative(const std::string& command_line) {
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) return false;
  const std::optional<std::filesystem::path> program = FindProgram(words[0]);
  if (!program) return false;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::lock_guard<std::mutex> lock(children_mutex);
  ReapFinishedChildren();
  pid_t pid;
  if (posix_spawn(&pid, program->c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return false;
  }
  children.push_back(pid);
  return true;
}

std::filesystem::path ExecutablePath() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self;
}

void SleepMilliseconds(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

unsigned AvailableCores() {
  unsigned cores = std::thread::hardware_concurrency();
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) {
    const auto count = static_cast<unsigned>(CPU_COUNT(&allowed));
    if (count > 0 && (cores == 0 || count < cores)) cores = count;
  }
  return cores == 0 ? 1 : cores;
}

}  // namespace zorellz
