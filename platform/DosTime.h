// File dates as MS-DOS packed date-times in local time (time in the low 16
// bits, date in the high 16 bits) and attributes as Windows attribute bits.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>

#include "zorellz/platform/Export.h"
#include "zorellz/platform/File.h"

ZORELLZ_API_BEGIN
namespace zorellz {

inline constexpr std::int32_t kFaReadOnly = 0x01;
inline constexpr std::int32_t kFaHidden = 0x02;
inline constexpr std::int32_t kFaSysFile = 0x04;
inline constexpr std::int32_t kFaVolumeID = 0x08;
inline constexpr std::int32_t kFaDirectory = 0x10;
inline constexpr std::int32_t kFaArchive = 0x20;
// 1 January 1980 00:00:00, the earliest DOS date-time.
inline constexpr std::int32_t kDosEpoch = 0x00210000;

// Times before 1980 become kDosEpoch, times after 2107 the last DOS time.
std::int32_t TimeToDosDateTime(std::time_t time);
// False when the value is not a valid DOS date-time.
bool DosDateTimeToTime(std::int32_t dos, std::time_t& time);

// The file's modification time as a DOS date-time; 0 when it cannot be read.
std::int32_t GetFileDosDate(const std::filesystem::path& path);
// The same from a status already read (GetFileStatus).
std::int32_t DosDateOf(const TFileStatus& status);
bool SetFileDosDate(const std::filesystem::path& path, std::int32_t dos);

// Windows attribute bits of a file or folder; -1 when it does not exist.
// Read-only comes from the owner's write permission, folder from the file
// type, archive is set for regular files; hidden, system and volume label
// are kept in an extended attribute where the file system allows it.
std::int32_t GetFileAttributesNative(const std::filesystem::path& path);
bool SetFileAttributesNative(const std::filesystem::path& path, std::int32_t attributes);
// The same on an open file, without looking its name up again.
bool SetFileDosDate(const TFile& file, std::int32_t dos);
bool SetFileAttributesNative(const TFile& file, std::int32_t attributes);
// SetFileAttributesNative for a file just made as kCreateNewOrdinary, which
// has the permissions of an ordinary new file and nothing else to keep: no
// need to read what it has first.
bool SetNewFileAttributes(const TFile& file, std::int32_t attributes);
// The same for an open file whose status was just read (GetFileStatus).
std::int32_t GetFileAttributesNative(const TFile& file, const TFileStatus& status);

}  // namespace zorellz
ZORELLZ_API_END
