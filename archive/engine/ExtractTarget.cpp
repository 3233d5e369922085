#include "archive/engine/ExtractTarget.h"

#include <filesystem>
#include <system_error>

#include "platform/Names.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string TrimBlanks(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Whether `path` has every component of `folder` in front and at least one
// more.  Both are absolute and normalised.
bool StrictlyBelow(const fs::path& folder, const fs::path& path) {
  auto inside = path.begin();
  for (const fs::path& part : folder) {
    if (part.empty()) continue;  // the trailing separator of a folder
    if (inside == path.end() || *inside != part) return false;
    ++inside;
  }
  for (; inside != path.end(); ++inside) {
    if (!inside->empty()) return true;
  }
  return false;
}

}  // namespace

std::string LZTargetFolderPath(const std::string& target_folder) {
  const std::string trimmed = TrimBlanks(target_folder);
  return IncludeTrailingSeparator(trimmed.empty() ? CurrentDirectory().string()
                                                  : ExpandFileName(trimmed));
}

std::string LZTargetPath(const std::string& folder, std::string_view archive_path) {
  return folder + ArchivePathToNative(archive_path).string();
}

bool LZLiesUnderFolder(const std::string& folder, const std::string& path) {
  const fs::path root = fs::path(folder).lexically_normal();
  const fs::path target = fs::path(path).lexically_normal();
  if (!root.is_absolute() || !StrictlyBelow(root, target)) return false;
  // What exists is resolved as the file system will resolve it when the
  // entry is written; the rest is still the lexical path checked above.
  std::error_code error;
  const fs::path real_root = fs::weakly_canonical(root, error);
  if (error) return false;
  const fs::path real_target = fs::weakly_canonical(target, error);
  return !error && StrictlyBelow(real_root, real_target);
}

}  // namespace zorellz
