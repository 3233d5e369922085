#include "archive/engine/ExtractTarget.h"

#include <filesystem>
#include <utility>

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

}  // namespace

std::string LZTargetFolderPath(const std::string& target_folder) {
  const std::string trimmed = TrimBlanks(target_folder);
  return IncludeTrailingSeparator(trimmed.empty() ? CurrentDirectory().string()
                                                  : ExpandFileName(trimmed));
}

std::string LZTargetPath(const std::string& folder, std::string_view archive_path) {
  return folder + ArchivePathToNative(archive_path).string();
}

bool LZPlaceBelowFolder(const std::string& folder, const std::string& path, TLZPlace& place) {
  const fs::path root = fs::path(folder).lexically_normal();
  const fs::path target = fs::path(path).lexically_normal();
  if (!root.is_absolute()) return false;
  auto inside = target.begin();
  for (const fs::path& part : root) {
    if (part.empty()) continue;  // the trailing separator of a folder
    if (inside == target.end() || *inside != part) return false;
    ++inside;
  }
  place.Folders.clear();
  for (; inside != target.end(); ++inside) {
    if (!inside->empty()) place.Folders.push_back(inside->string());
  }
  if (place.Folders.empty()) return false;
  place.Name = std::move(place.Folders.back());
  place.Folders.pop_back();
  return true;
}

}  // namespace zorellz
