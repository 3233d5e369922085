// Making what has been written survive a crash of the machine: data and
// names are flushed to the device before the caller relies on them.
#pragma once

#include <filesystem>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// Flushes the contents and attributes of the file or folder `path`.  For a
// folder this makes the names created, renamed or removed in it durable.
bool SyncPath(const std::filesystem::path& path);

// Flushes everything written to the file system that holds `path`: one call
// instead of one per file, for a folder of many new files.
bool SyncFileSystemOf(const std::filesystem::path& path);

// Creates `path` as a new file (never through a link or over anything that
// is there), writes `contents` and flushes them.  False with the system's
// error number in `error` when it cannot; a partly written file is removed.
bool WriteNewFileDurably(const std::filesystem::path& path, const std::string& contents,
                         int* error = nullptr);

}  // namespace zorellz
ZORELLZ_API_END
