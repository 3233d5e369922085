// Where extracted entries go on disk, and the check that keeps them inside
// the target folder.  Internal to the engine.
//
// Archive paths come only from a directory that LZReadDirectory accepted:
// every name is one component, never empty, "." or "..".
#pragma once

#include <string>
#include <string_view>

namespace zorellz {

// The target folder of an extraction: blanks trimmed, the current folder when
// nothing is left, a full path ending in a separator.  Empty when the current
// folder cannot be determined.
std::string LZTargetFolderPath(const std::string& target_folder);

// `folder` (as LZTargetFolderPath returns it) followed by the native form of
// an archive path ("Help\Data\x.htm").
std::string LZTargetPath(const std::string& folder, std::string_view archive_path);

// True when `path` lies strictly below `folder`, both as written and with
// every component that already exists resolved, symbolic links included: a
// link inside the folder that leads out of it fails the check.
bool LZLiesUnderFolder(const std::string& folder, const std::string& path);

}  // namespace zorellz
