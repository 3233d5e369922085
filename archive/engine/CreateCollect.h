// Collecting the inputs of an archive: a wildcard walk of folders, or the
// lines of a list file.  Internal to the engine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/File.h"

namespace zorellz {

// A small input's bytes, read whole when its data are written.  The
// buffer is not cleared first: the read fills it.
class TLZHeldBytes {
 public:
  explicit TLZHeldBytes(std::size_t size)
      : data_(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size_(size) {}
  std::uint8_t* data() { return data_.get(); }
  const std::uint8_t* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  const std::uint8_t* begin() const { return data_.get(); }
  const std::uint8_t* end() const { return data_.get() + size_; }
  // Keeps the first `size` bytes: a file that was shorter than its status said.
  void Shrink(std::size_t size) { size_ = std::min(size, size_); }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_;
};

// One collected file or folder, in memory only.
struct TLZBuildEntry {
  bool IsFolder = false;
  std::uint16_t FolderIndex = 0;    // file: its folder's slot (0 the base); folder: its own
  std::uint16_t ParentIndex = 0;    // folder: its parent's slot; 0 for files
  std::uint8_t Compressed = 0;      // 1 for files as collected
  std::string Version;              // "-" for folders; at most 8 characters (files: read with the data)
  std::int32_t CompressedSize = 0;  // provisional: the file's size
  std::int32_t UncompressedSize = 0;
  std::int32_t DateTime = 0;  // packed DOS date and time
  std::string Path;           // native path (folders without a trailing separator)
  std::string StoredName;     // the plain name as the archive holds it (Windows-1252)
  std::int32_t Attributes = 0;  // files: those of any regular file until the data are read
  std::uint32_t CRC = 0;        // files: read with the data
  std::int32_t Number = 0;  // 1-based position in the archive
  std::uint8_t Method = 0;  // kLZMethodLZSS for files as collected, kLZMethodFolder
  // A small input's bytes, read whole when its data are written, so that
  // its CRC, its kind and its data all come from one read; null for the
  // others.
  std::shared_ptr<const TLZHeldBytes> Bytes;
};

// Inputs up to this size are read whole when their data are written.
inline constexpr std::int64_t kLZSmallInput = 256 * 1024;

// Folder entries come first (those of the walk, then the intermediate ones),
// files after them.
struct TLZCollection {
  // Tells the default context's skipped-input hook.
  TLZCollection() : SkippedInput(LZDefaultContext().SkippedInput) {}
  explicit TLZCollection(TLZSkippedInputHook skipped) : SkippedInput(std::move(skipped)) {}

  std::vector<TLZBuildEntry> Entries;
  // Told about each input left out; the walk goes on.
  TLZSkippedInputHook SkippedInput;

  void Skip(const std::string& path, TLZSkipReason reason) const {
    if (SkippedInput) SkippedInput(path, reason);
  }
};

// The files never taken as input: the archive being written, under its
// final name and as the pending file it is written to.
struct TLZOutputFiles {
  std::vector<TFileIdentity> Identities;
};

// Whether a file name matches a creation mask.  As on the file systems the
// archives come from, letters match whatever their case, and "*.*" matches
// every name, with or without a dot.
bool LZMatchCreateMask(std::string_view mask, std::string_view name);

// Files of 2 GiB or more, names with no Windows-1252 form or over 255 bytes,
// and files beyond kLZMaxEntries are left out and told to the skipped-input
// hook; the walk goes on.
void LZCollectWildcard(const std::string& file_specs, TLZRecurse recurse,
                       const TLZOutputFiles& outputs, TLZCollection& collection);
// Raises EZorelLZArchive 40000 when no line names a file that can be taken.
void LZCollectListFile(const std::string& list_file, const TLZOutputFiles& outputs,
                       TLZCollection& collection);

// ---- Steps shared by the two modes ----------------------------------------

// The archive form of a plain native name; empty when the name has no
// Windows-1252 form or is longer than an entry's name can be.
std::optional<std::string> LZStoredName(const std::string& native_name);
// The attributes an entry keeps of a file that has `attributes`
// (GetFileAttributesNative; none when negative).  A file marked as the
// archive comment (the volume-label bit, SetArchiveCommentFile) keeps exactly
// the bits it was given: where the system cannot clear the archive bit it is
// dropped here, since readers know the comment only without it.
std::int32_t LZStoredAttributesFrom(std::int32_t attributes);
// Whether `path` names one of the outputs (links and other spellings too).
bool LZIsOutputFile(const std::string& path, const TLZOutputFiles& outputs);
// Takes the file at `path` into `collection`, in folder slot `folder`.  A
// path that names no regular file, or an output, is passed over; a file that
// cannot be stored is told to the skipped-input hook.
void LZCollectFile(const std::string& path, std::uint16_t folder, const TLZOutputFiles& outputs,
                   TLZCollection& collection);
// The same for a file whose status is known (from its folder's listing).
void LZCollectFile(const std::string& path, const TFileStatus& status, std::uint16_t folder,
                   const TLZOutputFiles& outputs, TLZCollection& collection);

}  // namespace zorellz
