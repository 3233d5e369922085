#include "archive/engine/CreateCollect.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/NameRule.h"
#include "platform/DosTime.h"
#include "platform/Names.h"

namespace zorellz {

namespace {

// Sizes and totals are signed 32-bit fields.
constexpr std::int64_t kLargestInput = 0x7FFFFFFF;
TLZBuildEntry FileEntry(const std::string& path, std::string stored_name,
                        const TFileStatus& status, std::uint16_t folder) {
  TLZBuildEntry entry;
  entry.FolderIndex = folder;
  entry.Compressed = 1;
  entry.CompressedSize = static_cast<std::int32_t>(status.Size);
  entry.UncompressedSize = static_cast<std::int32_t>(status.Size);
  entry.DateTime = DosDateOf(status);
  entry.Path = path;
  entry.StoredName = std::move(stored_name);
  // Only regular files are collected; the rest is read with the data, from
  // the open file, so that collecting never opens an input.
  entry.Attributes = kFaArchive;
  entry.Version = "0";
  entry.Method = kLZMethodLZSS;
  return entry;
}

}  // namespace

std::int32_t LZStoredAttributesFrom(std::int32_t attributes) {
  attributes = std::max(attributes, 0);
  if ((attributes & kFaVolumeID) != 0) return attributes & ~kFaArchive;
  return attributes;
}

bool LZMatchCreateMask(std::string_view mask, std::string_view name) {
  if (mask == "*.*") return true;
  return LZMatchNativeWildcard(UpperCaseAscii(mask), UpperCaseAscii(name));
}

std::optional<std::string> LZStoredName(const std::string& native_name) {
  std::optional<std::string> stored = NativeToArchivePath(native_name);
  if (!stored || !LZIsWritableEntryName(*stored)) return std::nullopt;
  return stored;
}

bool LZIsOutputFile(const std::string& path, const TLZOutputFiles& outputs) {
  TFileIdentity identity;
  if (!GetFileIdentity(path, identity)) return false;
  return std::find(outputs.Identities.begin(), outputs.Identities.end(), identity) !=
         outputs.Identities.end();
}

void LZCollectFile(const std::string& path, std::uint16_t folder, const TLZOutputFiles& outputs,
                   TLZCollection& collection) {
  TFileStatus status;
  if (GetFileStatus(path, status)) LZCollectFile(path, status, folder, outputs, collection);
}

void LZCollectFile(const std::string& path, const TFileStatus& status, std::uint16_t folder,
                   const TLZOutputFiles& outputs, TLZCollection& collection) {
  // Only regular files: a FIFO or a device could block the build or never end.
  if (!status.IsRegular) return;
  const auto& outs = outputs.Identities;
  if (std::find(outs.begin(), outs.end(), status.Identity) != outs.end()) return;

  std::optional<std::string> stored_name = LZStoredName(ExtractFileName(path));
  if (!stored_name) {
    collection.Skip(path, TLZSkipReason::kNameNotStorable);
  } else if (status.Size > kLargestInput) {
    collection.Skip(path, TLZSkipReason::kTooLarge);
  } else if (collection.Entries.size() >= static_cast<std::size_t>(kLZMaxEntries)) {
    collection.Skip(path, TLZSkipReason::kEntryLimit);
  } else {
    TLZBuildEntry entry = FileEntry(path, std::move(*stored_name), status, folder);
    entry.Number = static_cast<std::int32_t>(collection.Entries.size() + 1);
    collection.Entries.push_back(std::move(entry));
  }
}

}  // namespace zorellz
