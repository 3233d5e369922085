// Reader of the version resource of Windows PE files (executables and DLLs),
// independent of the platform.  Safe on any input: every offset and length
// is checked against the data actually present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// Random access to the bytes of a file: fills `out` with `count` bytes from
// `offset`, false when they are not all there.
using TByteSource = std::function<bool(std::uint64_t offset, void* out, std::size_t count)>;

// The string `key` of the version resource, looked up under the first
// translation of "\VarFileInfo\Translation" (default language 0x0409, code
// page 0x04E4) as "\StringFileInfo\llllcccc\key", converted to Windows-1252
// and cut to 255 characters; empty optional when the data is not a PE file,
// has no version resource or no such value.
std::optional<std::string> ReadPeVersionString(const TByteSource& source, const std::string& key);

// The same over a buffer.
std::optional<std::string> ReadPeVersionString(const void* data, std::size_t size,
                                               const std::string& key);

}  // namespace zorellz
ZORELLZ_API_END
