#include "platform/DosTime.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "platform/posix/Descriptor.h"

namespace zorellz {

namespace {

// 31 December 2107 23:59:58, the last DOS date-time.
constexpr std::uint32_t kDosLast = 0xFF9FBF7D;

// Hidden, system and volume label have no POSIX form; they live in an
// extended attribute of one byte.
constexpr std::int32_t kFaExtended = kFaHidden | kFaSysFile | kFaVolumeID;
constexpr char kAttributesName[] = "user.zorellz.attributes";

struct TDosFields {
  int Year, Month, Day, Hour, Minute, Second;
};

TDosFields UnpackDos(std::uint32_t dos) {
  return {static_cast<int>(1980 + (dos >> 25)), static_cast<int>((dos >> 21) & 0x0F),
          static_cast<int>((dos >> 16) & 0x1F), static_cast<int>((dos >> 11) & 0x1F),
          static_cast<int>((dos >> 5) & 0x3F),  static_cast<int>((dos & 0x1F) * 2)};
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValid(const TDosFields& f) {
  if (f.Month < 1 || f.Month > 12) return false;
  if (f.Day < 1 || f.Day > DaysInMonth(f.Year, f.Month)) return false;
  return f.Hour < 24 && f.Minute < 60 && f.Second < 60;
}

std::int32_t ReadExtendedAttributes([[maybe_unused]] const char* path) {
#ifdef __linux__
  unsigned char value = 0;
  if (getxattr(path, kAttributesName, &value, 1) == 1) return value & kFaExtended;
#endif
  return 0;
}

// Failures are ignored: on a file system without extended attributes only
// these three bits are lost.
void WriteExtendedAttributes([[maybe_unused]] const char* path,
                             [[maybe_unused]] std::int32_t attributes) {
#ifdef __linux__
  const auto value = static_cast<unsigned char>(attributes & kFaExtended);
  if (value != 0) {
    setxattr(path, kAttributesName, &value, 1, 0);
  } else {
    removexattr(path, kAttributesName);
  }
#endif
}

std::int32_t ReadExtendedAttributesOf([[maybe_unused]] int fd) {
#ifdef __linux__
  unsigned char value = 0;
  if (fgetxattr(fd, kAttributesName, &value, 1) == 1) return value & kFaExtended;
#endif
  return 0;
}

void WriteExtendedAttributesOf([[maybe_unused]] int fd, [[maybe_unused]] std::int32_t attributes) {
#ifdef __linux__
  const auto value = static_cast<unsigned char>(attributes & kFaExtended);
  if (value != 0) {
    fsetxattr(fd, kAttributesName, &value, 1, 0);
  } else {
    fremovexattr(fd, kAttributesName);
  }
#endif
}

mode_t ModeForAttributes(const struct stat& st, std::int32_t attributes) {
  if ((attributes & kFaReadOnly) == 0) return st.st_mode | S_IWUSR;
  // A read-only folder still takes new files on Windows, so only files lose
  // their write permission.
  if (S_ISDIR(st.st_mode)) return st.st_mode;
  return st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH);
}

// The C library reads the time zone again on every conversion to calendar
// time, replacing its copy of the zone's name under a lock of its own that
// race checkers cannot see; conversions go one at a time, which costs
// nothing next to the file operations around them.
std::mutex& TimeZoneLock() {
  static std::mutex lock;
  return lock;
}

bool DosTimes(std::int32_t dos, struct timespec (&times)[2]) {
  std::time_t time;
  if (!DosDateTimeToTime(dos, time)) return false;
  times[0] = {0, UTIME_OMIT};
  times[1] = {time, 0};
  return true;
}

struct TLastConversion {
  bool Known = false;
  std::int32_t Dos = 0;
  std::optional<std::string> Zone;  // TZ as it was then; none when unset
  std::time_t Time = 0;

  bool Matches(std::int32_t dos, const char* zone) const {
    return Known && Dos == dos && Zone.has_value() == (zone != nullptr) &&
           (zone == nullptr || *Zone == zone);
  }
  void Keep(std::int32_t dos, const char* zone, std::time_t time) {
    Known = true;
    Dos = dos;
    Zone = zone != nullptr ? std::optional<std::string>(zone) : std::nullopt;
    Time = time;
  }
};

}  // namespace

std::int32_t TimeToDosDateTime(std::time_t time) {
  std::tm local{};
  std::unique_lock<std::mutex> zone(TimeZoneLock());
  const bool converted = localtime_r(&time, &local) != nullptr;
  zone.unlock();
  if (!converted) {
    // Only times whose year overflows the calendar fail here.
    return time < 0 ? kDosEpoch : static_cast<std::int32_t>(kDosLast);
  }
  const int year = local.tm_year + 1900;
  if (year < 1980) return kDosEpoch;
  if (year > 2107) return static_cast<std::int32_t>(kDosLast);
  const std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9) |
                             static_cast<std::uint32_t>((local.tm_mon + 1) << 5) |
                             static_cast<std::uint32_t>(local.tm_mday);
  // A leap second (tm_sec 60) is kept in the last even second.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  const std::uint32_t clock = static_cast<std::uint32_t>(local.tm_hour << 11) |
                              static_cast<std::uint32_t>(local.tm_min << 5) |
                              static_cast<std::uint32_t>(second / 2);
  return static_cast<std::int32_t>((date << 16) | clock);
}

bool DosDateTimeToTime(std::int32_t dos, std::time_t& time) {
  const TDosFields f = UnpackDos(static_cast<std::uint32_t>(dos));
  if (!IsValid(f)) return false;
  std::tm local{};
  local.tm_year = f.Year - 1900;
  local.tm_mon = f.Month - 1;
  local.tm_mday = f.Day;
  local.tm_hour = f.Hour;
  local.tm_min = f.Minute;
  local.tm_sec = f.Second;
  local.tm_isdst = -1;  // let the time zone decide whether summer time applies
  std::unique_lock<std::mutex> zone(TimeZoneLock());
  // The C library looks at the zone's file again on every conversion, and
  // the files of an archive often share one date: the last answer is kept
  // for as long as the zone named in the environment stays the same.
  static TLastConversion last;
  const char* named = std::getenv("TZ");
  if (last.Matches(dos, named)) {
    time = last.Time;
    return true;
  }
  const std::time_t result = std::mktime(&local);
  if (result == static_cast<std::time_t>(-1)) return false;
  last.Keep(dos, named, result);
  time = result;
  return true;
}

std::int32_t GetFileDosDate(const std::filesystem::path& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  return TimeToDosDateTime(st.st_mtime);
}

std::int32_t DosDateOf(const TFileStatus& status) {
  return TimeToDosDateTime(static_cast<std::time_t>(status.ModifiedTime));
}

bool SetFileDosDate(const std::filesystem::path& path, std::int32_t dos) {
  struct timespec times[2];
  return DosTimes(dos, times) && utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool SetFileDosDate(const TFile& file, std::int32_t dos) {
  struct timespec times[2];
  return DosTimes(dos, times) && futimens(file.Native(), times) == 0;
}

namespace {

std::int32_t AttributesOf(const struct stat& st, std::int32_t extended) {
  std::int32_t attributes = extended;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= kFaReadOnly;
  if (S_ISDIR(st.st_mode)) attributes |= kFaDirectory;
  if (S_ISREG(st.st_mode)) attributes |= kFaArchive;
  return attributes;
}

}  // namespace

std::int32_t GetFileAttributesNative(const std::filesystem::path& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return AttributesOf(st, ReadExtendedAttributes(path.c_str()));
}

std::int32_t GetFileAttributesNative(const TFile& file, const TFileStatus& status) {
  struct stat st {};
  st.st_mode = static_cast<mode_t>(status.Mode);
  return AttributesOf(st, ReadExtendedAttributesOf(file.Native()));
}

bool SetFileAttributesNative(const std::filesystem::path& path, std::int32_t attributes) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  // Changing extended attributes needs write permission, so they are written
  // while the file can still be written.
  const bool extended_changes = ReadExtendedAttributes(path.c_str()) != (attributes & kFaExtended);
  if (extended_changes && (st.st_mode & S_IWUSR) == 0) {
    chmod(path.c_str(), (st.st_mode | S_IWUSR) & 07777);
  }
  if (extended_changes) WriteExtendedAttributes(path.c_str(), attributes);
  return chmod(path.c_str(), ModeForAttributes(st, attributes) & 07777) == 0;
}

namespace {

// Gives the open file `fd`, whose mode is `st` and whose extended bits are
// `extended`, the attributes asked for.  As by path, the extended attribute
// is written while the file is writable.
bool ApplyAttributes(int fd, const struct stat& st, std::int32_t extended,
                     std::int32_t attributes) {
  const bool extended_changes = extended != (attributes & kFaExtended);
  if (extended_changes && (st.st_mode & S_IWUSR) == 0) fchmod(fd, (st.st_mode | S_IWUSR) & 07777);
  if (extended_changes) WriteExtendedAttributesOf(fd, attributes);
  const mode_t mode = ModeForAttributes(st, attributes) & 07777;
  return (st.st_mode & 07777) == mode || fchmod(fd, mode) == 0;
}

}  // namespace

bool SetNewFileAttributes(const TFile& file, std::int32_t attributes) {
  struct stat st {};
  st.st_mode = S_IFREG | posix::NewFilePermissions();
  return ApplyAttributes(file.Native(), st, 0, attributes);
}

bool SetFileAttributesNative(const TFile& file, std::int32_t attributes) {
  struct stat st;
  if (fstat(file.Native(), &st) != 0) return false;
  return ApplyAttributes(file.Native(), st, ReadExtendedAttributesOf(file.Native()), attributes);
}

}  // namespace zorellz
