// Extraction of single entries: by name, by number, and the archive comment.
#include <cstdint>
#include <memory>
#include <string>

#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/ExtractTarget.h"
#include "platform/DosTime.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

// The mask "#:" + number is cut to this length, as the mask field holds it.
constexpr std::size_t kNumberMaskLength = 12;

std::string NumberMask(std::int32_t number) {
  return (std::string(kLZNumberMaskPrefix) + std::to_string(number)).substr(0, kNumberMaskLength);
}

bool IsCommentEntry(const TLZFileEntry& entry) {
  return entry.IsFolder == 0 && LZIsCommentAttr(entry.FileAttr);
}

// The position of the first comment entry, 0 when there is none.
std::int32_t FindComment(const TZorelLZArchiveHeader& directory) {
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    if (IsCommentEntry(directory.Entry(k))) return k;
  }
  return 0;
}

}  // namespace

std::int32_t LZExtractArchiveFileByName(const std::string& archive_name,
                                        const std::string& target_folder, const std::string& name,
                                        bool dearchive_recurse, bool extract_unexpanded) {
  return LZExtractArchiveFileByName(LZDefaultContext(), archive_name, target_folder, name,
                                    dearchive_recurse, extract_unexpanded);
}

std::int32_t LZExtractArchiveFileByName(TLZContext& context, const std::string& archive_name,
                                        const std::string& target_folder, const std::string& name,
                                        bool dearchive_recurse, bool extract_unexpanded) {
  TLZProtectionScope protection_scope(context);
  TLZRestore<std::string> mask(context.DearchiveMask, name);
  return LZDecompressArchive(context, archive_name, target_folder, nullptr, nullptr, nullptr,
                             dearchive_recurse, extract_unexpanded);
}

std::int32_t LZExtractArchiveFileByID(const std::string& archive_name,
                                      const std::string& target_folder, std::int32_t number,
                                      bool dearchive_recurse, bool extract_unexpanded) {
  return LZExtractArchiveFileByID(LZDefaultContext(), archive_name, target_folder, number,
                                  dearchive_recurse, extract_unexpanded);
}

std::int32_t LZExtractArchiveFileByID(TLZContext& context, const std::string& archive_name,
                                      const std::string& target_folder, std::int32_t number,
                                      bool dearchive_recurse, bool extract_unexpanded) {
  TLZProtectionScope protection_scope(context);
  TLZRestore<std::string> mask(context.DearchiveMask, NumberMask(number));
  return LZDecompressArchive(context, archive_name, target_folder, nullptr, nullptr, nullptr,
                             dearchive_recurse, extract_unexpanded);
}

std::int32_t LZExtractComment(const std::string& archive_name, const std::string& target_folder,
                              std::string* path) {
  return LZExtractComment(LZDefaultContext(), archive_name, target_folder, path);
}

std::int32_t LZExtractComment(TLZContext& context, const std::string& archive_name,
                              const std::string& target_folder, std::string* path) {
  TLZProtectionScope protection_scope(context);
  const std::int32_t count = LZArchiveCount(context, archive_name);
  if (count <= 0) return kLZNotAnArchive;
  std::unique_ptr<TZorelLZArchiveHeader> directory;
  LZAllocDirectory(directory, count);
  if (std::int32_t loaded = LZLoadDirectory(context, archive_name, *directory); loaded < 0) {
    return loaded;
  }
  const std::int32_t comment = FindComment(*directory);
  if (comment == 0) return 0;
  const std::string name = directory->Name(comment);
  directory.reset();

  std::int32_t extracted;
  {
    TLZRestore<std::string> mask(context.DearchiveMask, NumberMask(comment));
    extracted = LZExtractArchive(context, archive_name, target_folder, nullptr, nullptr, nullptr,
                                 false, false);
  }
  if (extracted <= 0) return extracted;
  // Without folders every file lands directly in the target folder.
  const std::string written = LZTargetPath(LZTargetFolderPath(target_folder), name);
  // Comment files are archived read-only and marked as a volume label; the
  // copy on disk becomes an ordinary file again (never the archive itself,
  // which a comment of the same name is not written over).
  if (!IsSameFile(written, archive_name)) SetFileAttributesNative(written, kFaArchive);
  if (path != nullptr) *path = written;
  return comment;
}

}  // namespace zorellz
