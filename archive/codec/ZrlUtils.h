// The small file, path and string routines of the library.  Paths handled
// as text here are Windows-shaped (backslash separators); file names that
// are opened are native.  None of these routines keeps state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TFile;

// Appends a backslash to a non-empty path that does not end in one.
std::string AddBackslash(std::string_view path);
// Removes one trailing backslash.
std::string StripBackslash(std::string_view path);

// True when the path exists and is a folder.
bool DirectoryExists(const std::string& path);
// Size in bytes; 0 when the file is missing or cannot be opened.
std::int64_t GetFileSizeOf(const std::string& file_name);
// DOS date-time of the file; 0 when it is missing or cannot be opened.
std::int32_t GetFileDateOf(const std::string& file_name);

// The leading part of `path` up to the next backslash after `prefix`
// ("C:\A\", "C:\A\B\C\x" gives "C:\A\B\").
std::string ExtractPathUpTo(std::string_view prefix, std::string_view path);

// Case-sensitive wildcard match: '*' any run of characters, '?' exactly one.
// At the end of the name only an empty pattern or a lone "*" is left to
// match, so "*" matches the empty name but "**" does not.  Polynomial time
// whatever the pattern.
bool MatchWildcard(std::string_view pattern, std::string_view name);

// A string value (`key`, e.g. "FileVersion") of the version resource of a
// Windows executable or DLL, read on every platform; empty on any failure or
// for other files.  Windows-1252 text, at most 255 characters.
std::string GetFileVersionString(const std::string& file_name, const std::string& key);
// The same from a file already open; its position is left anywhere.
std::string GetFileVersionString(TFile& file, const std::string& key);

std::string WordToHex(std::uint16_t value);  // 4 upper-case digits
std::string LongToHex(std::uint32_t value);  // 8 upper-case digits

// 100 - compressed / uncompressed * 100, rounded half to even; 0 when the
// uncompressed size is 0 or both are equal.
std::int32_t CompressionPercent(std::int32_t compressed, std::int32_t uncompressed);

// The value of the environment variable `name` (whole name, compared without
// regard to ASCII case); empty when there is none.
std::string GetEnvironmentValue(std::string_view name);

// Free bytes on the file system holding `path`; -1 when there is none.
std::int64_t GetDiskFreeOf(const std::string& path);

inline std::int32_t MinInt(std::int32_t a, std::int32_t b) {
  return a < b ? a : b;
}

}  // namespace zorellz
ZORELLZ_API_END
