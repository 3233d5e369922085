// Text of names.  Names inside archives are single-byte Windows-1252 text
// with backslash separators; names on disk are native (UTF-8 on POSIX).
// Everything converts through this header, and nothing is ever cut: a name
// that cannot be represented is refused.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// Windows-1252 to UTF-8; every byte has a meaning (the five unassigned bytes
// map to the C1 controls of the same value), so this never fails.
std::string Cp1252ToUtf8(std::string_view text);
// UTF-8 to Windows-1252; empty optional when the text is not valid UTF-8 or
// holds a character that Windows-1252 lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view text);

// One character: the Unicode code point of a Windows-1252 byte, and the
// Windows-1252 byte of a code point (-1 when the code page lacks it).
char32_t Cp1252CharToCodePoint(unsigned char byte);
int CodePointToCp1252Char(char32_t code);

// The native relative path of an archive path ("Help\Data\x.htm").  A pure
// conversion: callers check the components ("..", empty, absolute) first.
std::filesystem::path ArchivePathToNative(std::string_view archive_path);
// The archive form (Windows-1252, backslashes) of a native relative path or
// name; empty optional when a component cannot be represented (a native
// backslash included, which would read back as a separator).
std::optional<std::string> NativeToArchivePath(const std::filesystem::path& native);

// Locale-independent ASCII upper-casing, the one table used for every
// case-insensitive comparison of the library.
char UpCaseAscii(char c);
std::string UpperCaseAscii(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

// Native path helpers.
inline constexpr char kNativeSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);
// `folder` ending in the native separator; an empty folder stays empty.
std::string IncludeTrailingSeparator(std::string folder);
std::string ExpandFileName(const std::string& path);   // absolute and normalised
std::string ExtractFileName(const std::string& path);  // after the last separator
std::string ExtractFilePath(const std::string& path);  // up to and including it
std::string ExtractFileExt(const std::string& path);   // from the last '.' of the name
std::string ChangeFileExt(const std::string& path, const std::string& extension);

}  // namespace zorellz
ZORELLZ_API_END
