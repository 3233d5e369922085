#include "archive/engine/CreateCollect.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "archive/codec/PeVersion.h"
#include "archive/codec/ZrlUtils.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/NameRule.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "zorellz/codec/ZrlCRC.h"

namespace zorellz {

namespace {

// Sizes and totals are signed 32-bit fields.
constexpr std::int64_t kLargestInput = 0x7FFFFFFF;
constexpr std::size_t kLongestVersion = 8;

// The version text an entry stores: "0" stands for a file without one.
std::string StoredVersion(std::string version) {
  if (version.empty()) return "0";
  return version.substr(0, kLongestVersion);
}

std::string VersionTextOf(const std::string& path) {
  return StoredVersion(GetFileVersionString(path, "FileVersion"));
}

// Reads the input once, through one descriptor: its CRC and version, and
// a small input whole (within the collection's limit), kept for writing its
// data.  An input that does not open keeps the CRC of nothing; its data are
// left out when they are written.
void ReadInput(const std::string& path, TLZBuildEntry& entry, TLZCollection& collection) {
  TFile file;
  if (!file.Open(path, TFile::TMode::kReadDenyWrite)) {
    entry.Version = VersionTextOf(path);
    return;
  }
  const std::int64_t size = file.Size();
  if (size <= kLZSmallInput && collection.HeldBytes + size <= kLZHeldBytesLimit) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(size));
    bytes->resize(file.Read(bytes->data(), bytes->size()));
    entry.CRC = CRC32Of(bytes->data(), bytes->size());
    entry.Version = StoredVersion(
        ReadPeVersionString(bytes->data(), bytes->size(), "FileVersion").value_or(std::string()));
    collection.HeldBytes += static_cast<std::int64_t>(bytes->size());
    entry.Bytes = std::move(bytes);
    return;
  }
  entry.CRC = GetFileCRC32(file);
  entry.Version = StoredVersion(GetFileVersionString(file, "FileVersion"));
}

TLZBuildEntry FileEntry(const std::string& path, std::string stored_name, std::int64_t size,
                        std::uint16_t folder, TLZCollection& collection) {
  TLZBuildEntry entry;
  entry.FolderIndex = folder;
  entry.Compressed = 1;
  entry.CompressedSize = static_cast<std::int32_t>(size);
  entry.UncompressedSize = static_cast<std::int32_t>(size);
  entry.DateTime = GetFileDosDate(path);
  entry.Path = path;
  entry.StoredName = std::move(stored_name);
  entry.Attributes = LZStoredAttributes(path);
  ReadInput(path, entry, collection);
  entry.Method = kLZMethodLZSS;
  return entry;
}

}  // namespace

std::int32_t LZStoredAttributes(const std::string& path) {
  const std::int32_t attributes = std::max(GetFileAttributesNative(path), 0);
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
  // Only regular files: a FIFO or a device could block the build or never end.
  TFileStatus status;
  if (!GetFileStatus(path, status) || !status.IsRegular) return;
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
    TLZBuildEntry entry = FileEntry(path, std::move(*stored_name), status.Size, folder, collection);
    entry.Number = static_cast<std::int32_t>(collection.Entries.size() + 1);
    collection.Entries.push_back(std::move(entry));
  }
}

}  // namespace zorellz
