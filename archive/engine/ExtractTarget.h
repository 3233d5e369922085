// Where extracted entries go on disk, and the check that keeps them inside
// the target folder.  Internal to the engine.
//
// Archive paths come only from a directory that LZReadDirectory accepted:
// every name is one component, never empty, "." or "..".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorellz {

// The target folder of an extraction: blanks trimmed, the current folder when
// nothing is left, a full path ending in a separator.  Empty when the current
// folder cannot be determined.
std::string LZTargetFolderPath(const std::string& target_folder);

// `folder` (as LZTargetFolderPath returns it) followed by the native form of
// an archive path ("Help\Data\x.htm").
std::string LZTargetPath(const std::string& folder, std::string_view archive_path);

// Where a path lies below the target folder: the folders between, one
// component each, and the file's own name.
struct TLZPlace {
  std::vector<std::string> Folders;
  std::string Name;
};

// True, with its place, when `path` lies strictly below `folder` as
// written.  Links are not looked at here: the folders are walked without
// following any when the entry is written.
bool LZPlaceBelowFolder(const std::string& folder, const std::string& path, TLZPlace& place);

}  // namespace zorellz
