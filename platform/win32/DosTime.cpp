#include "platform/DosTime.h"

#include <cerrno>
#include <cstdint>

#include "platform/win32/WinText.h"

namespace zorellz {

using win32::FailWithLastError;
using win32::LongPath;
using win32::TUniqueHandle;

namespace {

// 31 December 2107 23:59:58, the last DOS date-time.
constexpr std::uint32_t kDosLast = 0xFF9FBF7D;
// 100-nanosecond intervals between 1601 and 1970.
constexpr std::int64_t kUnixEpochTicks = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10000000;

// The attributes a file carries in the archive; the rest (compressed,
// encrypted, sparse ...) belong to the file system that holds it.
constexpr DWORD kDosAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                 FILE_ATTRIBUTE_ARCHIVE;

FILETIME FileTimeOf(std::int64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
  return time;
}

std::int64_t TicksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

// UTC to local time with the summer-time rule of that date, not today's.
bool ToLocal(const FILETIME& utc, SYSTEMTIME& local) {
  SYSTEMTIME universal;
  return FileTimeToSystemTime(&utc, &universal) &&
         SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
}

std::int32_t FileTimeToDos(const FILETIME& utc) {
  SYSTEMTIME local;
  if (!ToLocal(utc, local)) {
    return TicksOf(utc) < kUnixEpochTicks ? kDosEpoch : static_cast<std::int32_t>(kDosLast);
  }
  if (local.wYear < 1980) return kDosEpoch;
  if (local.wYear > 2107) return static_cast<std::int32_t>(kDosLast);
  FILETIME local_time;
  WORD date = 0;
  WORD clock = 0;
  if (!SystemTimeToFileTime(&local, &local_time) ||
      !FileTimeToDosDateTime(&local_time, &date, &clock)) {
    return kDosEpoch;
  }
  return static_cast<std::int32_t>((std::uint32_t{date} << 16) | clock);
}

// False for a value that is no date-time: DosDateTimeToFileTime takes
// impossible days such as 31 February without complaint.
bool DosToFileTime(std::int32_t dos, FILETIME& utc) {
  const auto value = static_cast<std::uint32_t>(dos);
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(1980 + (value >> 25));
  local.wMonth = static_cast<WORD>((value >> 21) & 0x0F);
  local.wDay = static_cast<WORD>((value >> 16) & 0x1F);
  local.wHour = static_cast<WORD>((value >> 11) & 0x1F);
  local.wMinute = static_cast<WORD>((value >> 5) & 0x3F);
  local.wSecond = static_cast<WORD>((value & 0x1F) * 2);
  if (local.wHour > 23 || local.wMinute > 59 || local.wSecond > 59) return false;
  FILETIME check;
  SYSTEMTIME round_trip;
  // SystemTimeToFileTime refuses months and days that do not exist.
  if (!SystemTimeToFileTime(&local, &check) || !FileTimeToSystemTime(&check, &round_trip) ||
      round_trip.wDay != local.wDay) {
    return false;
  }
  SYSTEMTIME universal;
  return TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) &&
         SystemTimeToFileTime(&universal, &utc);
}

}  // namespace

std::int32_t TimeToDosDateTime(std::time_t time) {
  const std::int64_t ticks = static_cast<std::int64_t>(time) * kTicksPerSecond + kUnixEpochTicks;
  if (ticks < 0) return kDosEpoch;
  return FileTimeToDos(FileTimeOf(ticks));
}

bool DosDateTimeToTime(std::int32_t dos, std::time_t& time) {
  FILETIME utc;
  if (!DosToFileTime(dos, utc)) return false;
  time = static_cast<std::time_t>((TicksOf(utc) - kUnixEpochTicks) / kTicksPerSecond);
  return true;
}

std::int32_t GetFileDosDate(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return FileTimeToDos(data.ftLastWriteTime);
}

std::int32_t DosDateOf(const TFileStatus& status) {
  return FileTimeToDos(FileTimeOf(status.ModifiedTime));
}

bool SetFileDosDate(const std::filesystem::path& path, std::int32_t dos) {
  FILETIME utc;
  if (!DosToFileTime(dos, utc)) {
    errno = EINVAL;
    return false;
  }
  // Only the modification time changes; FILE_FLAG_BACKUP_SEMANTICS lets a
  // folder take its date too.
  TUniqueHandle handle(CreateFileW(LongPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.Valid()) return FailWithLastError();
  return SetFileTime(handle.Get(), nullptr, nullptr, &utc) != 0 || FailWithLastError();
}

std::int32_t GetFileAttributesNative(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return -1;
  return static_cast<std::int32_t>(attributes & kDosAttributes);
}

namespace {

// The folder bit and the volume label are facts of the file, not settings.
DWORD WantedAttributes(DWORD current, std::int32_t attributes) {
  constexpr DWORD kSettable = kDosAttributes & ~FILE_ATTRIBUTE_DIRECTORY;
  DWORD wanted = (current & ~kSettable) | (static_cast<DWORD>(attributes) & kSettable);
  wanted &= ~FILE_ATTRIBUTE_DIRECTORY;
  return wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted;
}

}  // namespace

bool SetFileAttributesNative(const std::filesystem::path& path, std::int32_t attributes) {
  const std::wstring name = LongPath(path);
  const DWORD current = GetFileAttributesW(name.c_str());
  if (current == INVALID_FILE_ATTRIBUTES) return FailWithLastError();
  return SetFileAttributesW(name.c_str(), WantedAttributes(current, attributes)) != 0 ||
         FailWithLastError();
}

bool SetFileDosDate(const TFile& file, std::int32_t dos) {
  FILETIME utc;
  if (!DosToFileTime(dos, utc)) {
    errno = EINVAL;
    return false;
  }
  return SetFileTime(file.Native(), nullptr, nullptr, &utc) != 0 || FailWithLastError();
}

bool SetNewFileAttributes(const TFile& file, std::int32_t attributes) {
  return SetFileAttributesNative(file, attributes);
}

// Windows keeps the attributes beside the rest of the status, not in it.
std::int32_t GetFileAttributesNative(const TFile& file, const TFileStatus&) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.Native(), &info)) return -1;
  return static_cast<std::int32_t>(info.dwFileAttributes & kDosAttributes);
}

// Zero times in the record leave the file's times as they are.
bool SetFileAttributesNative(const TFile& file, std::int32_t attributes) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.Native(), &info)) return FailWithLastError();
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = WantedAttributes(info.dwFileAttributes, attributes);
  return SetFileInformationByHandle(file.Native(), FileBasicInfo, &basic, sizeof basic) != 0 ||
         FailWithLastError();
}

}  // namespace zorellz
