// The one rule for what an archive entry name may hold, shared by the code
// that writes archives and the code that reads them.
//
// A name is one path component in Windows-1252, 1 to 255 bytes.  Readers
// refuse a name that could reach outside the folder it is extracted into or
// that no host can hold: "." and "..", a separator ('\', '/', ':'), a
// control character.  Writers refuse those too, and also every name a
// Windows host cannot create ('<', '>', '"', '|', '?', '*', a trailing space
// or dot, so any name of dots only, a device name such as CON or LPT1.TXT),
// so that an archive written
// here extracts the same wherever it travels.  Readers accept such names, as
// older readers did, because they do no harm where they can be created.
#pragma once

#include <cstddef>
#include <string_view>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// The longest name an entry holds (a String[255]).
inline constexpr std::size_t kLZLongestEntryName = 255;

// Whether a reader extracts an entry of this name (Windows-1252 bytes).
bool LZIsReadableEntryName(std::string_view name);

// Whether a writer stores an entry of this name: readable, and creatable on
// every host.
bool LZIsWritableEntryName(std::string_view name);

// MatchWildcard over native (UTF-8) names: '?' stands for one character,
// not one byte.  Case is compared as given.
bool LZMatchNativeWildcard(std::string_view pattern, std::string_view name);

}  // namespace zorellz
ZORELLZ_API_END
