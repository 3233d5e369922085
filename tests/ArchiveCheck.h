// Reads back an archive that a test created, the way a reader would: the
// trailer at the end of the file, the directory through the engine's loader
// (its CRC included), then every entry's data, copied or decoded with its
// codec, checked against the entry's size and CRC-32.  Header only, as the
// test support library is built from a fixed list of sources.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/engine/CodecIO.h"
#include "tests/LzssMemory.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::test {

struct TCheckedEntry {
  TLZFileEntry Entry;
  std::string Path;  // inside the archive, "Help\Data\x.htm"
  TBytes Data;       // the file as extraction would write it
};

struct TCheckedArchive {
  TLZArchiveHeader Header;
  TLZArchiveTrailer Trailer;  // the last 83 bytes of the file
  std::vector<TCheckedEntry> Entries;

  // The entry whose path inside the archive is `path`; nullptr when none.
  const TCheckedEntry* Find(const std::string& path) const {
    for (const TCheckedEntry& entry : Entries) {
      if (entry.Path == path) return &entry;
    }
    return nullptr;
  }
};

namespace archive_check_detail {

inline std::int32_t ReadI32(const TBytes& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return static_cast<std::int32_t>(value);
}

// Puts the header offset back when the check ends.
struct THeaderOffsetRestore {
  explicit THeaderOffsetRestore(std::int32_t offset) : previous(LZSetHeaderOffset(offset)) {}
  ~THeaderOffsetRestore() { LZSetHeaderOffset(previous); }
  std::int32_t previous;
};

inline bool DecodeLZH(const std::uint8_t* data, std::size_t size, std::size_t limit, TBytes& out) {
  struct TTooLong {};
  std::size_t taken = 0;
  const TLZHReadFunc read = [&](std::uint8_t* buffer, std::size_t count) {
    const std::size_t n = std::min(count, size - taken);
    std::copy_n(data + taken, n, buffer);
    taken += n;
    return n;
  };
  const TLZHWriteFunc write = [&](const std::uint8_t* buffer, std::size_t count) {
    if (count > limit - out.size()) throw TTooLong{};
    out.insert(out.end(), buffer, buffer + count);
  };
  try {
    return LZHDecompress(read, write) >= 0;
  } catch (const TTooLong&) {
    return false;
  }
}

// The entry's data as extraction writes it: stored entries as they are,
// method 4 with the adaptive Huffman codec, anything else with LZSS.
inline ::testing::AssertionResult DecodeEntry(const TLZFileEntry& entry, const std::uint8_t* data,
                                              TBytes& out) {
  const auto size = static_cast<std::size_t>(entry.CompressedSize);
  out.clear();
  if (entry.Compressed == 0) {
    out.assign(data, data + size);
  } else if (entry.Method == kLZMethodLZH) {
    const auto limit = static_cast<std::size_t>(entry.UncompressedSize);
    if (!DecodeLZH(data, size, limit, out)) {
      return ::testing::AssertionFailure() << "LZH stream does not decode";
    }
  } else {
    out = PlainLZSSDecode(data, size);
  }
  if (out.size() != static_cast<std::size_t>(entry.UncompressedSize)) {
    return ::testing::AssertionFailure()
           << "decoded " << out.size() << " bytes, entry says " << entry.UncompressedSize;
  }
  if (CRC32Of(out.data(), out.size()) != entry.FileCRC) {
    return ::testing::AssertionFailure() << "CRC-32 differs";
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult CheckTrailer(const TBytes& file, std::int32_t archive_offset,
                                               TCheckedArchive& archive) {
  const std::size_t size = TLZArchiveTrailer::kSize;
  const auto offset = static_cast<std::size_t>(archive_offset);
  if (file.size() < offset + TLZArchiveHeader::kSize + size) {
    return ::testing::AssertionFailure() << "file of " << file.size() << " bytes is too short";
  }
  archive.Trailer.Read(file.data() + file.size() - size);
  archive.Header.Read(file.data() + offset);
  if (archive.Trailer.TrailerSignature != LZTrailerSignature() ||
      archive.Trailer.TrailerMagic != kLZTrailerMagic) {
    return ::testing::AssertionFailure() << "no trailer at the end of the file";
  }
  if (archive.Trailer.ArchiveOffset != archive_offset) {
    return ::testing::AssertionFailure() << "trailer says offset " << archive.Trailer.ArchiveOffset
                                         << ", expected " << archive_offset;
  }
  if (!std::equal(
          file.end() - static_cast<std::ptrdiff_t>(size), file.end(),
          file.begin() + static_cast<std::ptrdiff_t>(offset + TLZArchiveHeader::kTrailerOffset))) {
    return ::testing::AssertionFailure() << "header bytes 43..125 differ from the trailer";
  }
  if (archive.Header.Signature != LZArchiveSignature()) {
    return ::testing::AssertionFailure() << "no archive signature at offset " << offset;
  }
  return ::testing::AssertionSuccess();
}

// An archive of no entries is no archive to the loader; its header and
// trailer must still be all there is.
inline ::testing::AssertionResult CheckEmptyArchive(const TBytes& file, std::int32_t offset,
                                                    const TCheckedArchive& archive) {
  const TLZArchiveHeader& header = archive.Header;
  const std::size_t expected =
      static_cast<std::size_t>(offset) + TLZArchiveHeader::kSize + TLZArchiveTrailer::kSize;
  if (header.TotalCompressed != 0 || header.TotalUncompressed != 0 || header.NamesSize != 0 ||
      header.DirectoryCRC != 0 || file.size() != expected) {
    return ::testing::AssertionFailure() << "empty archive holds more than header and trailer";
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult CheckTotals(const TZorelLZArchiveHeader& directory) {
  std::int64_t compressed = 0, uncompressed = 0;
  for (const TLZFileEntry& entry : directory.Entries) {
    compressed += entry.CompressedSize;
    uncompressed += entry.UncompressedSize;
  }
  if (compressed != directory.Header.TotalCompressed ||
      uncompressed != directory.Header.TotalUncompressed) {
    return ::testing::AssertionFailure() << "header totals differ from the entries";
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult CheckEntries(const TBytes& file,
                                               const TZorelLZArchiveHeader& directory,
                                               std::size_t data_start, TCheckedArchive& archive) {
  std::size_t at = data_start;
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    TCheckedEntry checked;
    checked.Entry = directory.Entry(k);
    if (!LZEntryPath(directory, k, checked.Path)) {
      return ::testing::AssertionFailure() << "entry " << k << " does not lead to the root";
    }
    if (checked.Entry.IsFolder == 0) {
      const auto size = static_cast<std::size_t>(checked.Entry.CompressedSize);
      if (at + size > file.size() - TLZArchiveTrailer::kSize) {
        return ::testing::AssertionFailure() << checked.Path << ": data run past the trailer";
      }
      ::testing::AssertionResult decoded =
          DecodeEntry(checked.Entry, file.data() + at, checked.Data);
      if (!decoded)
        return ::testing::AssertionFailure() << checked.Path << ": " << decoded.message();
      at += size;
    }
    archive.Entries.push_back(std::move(checked));
  }
  if (at != file.size() - TLZArchiveTrailer::kSize) {
    return ::testing::AssertionFailure()
           << "data end at " << at << ", trailer at " << file.size() - TLZArchiveTrailer::kSize;
  }
  return CheckTotals(directory);
}

}  // namespace archive_check_detail

// Checks the archive at `archive_offset` of `path` and fills `archive`.
inline ::testing::AssertionResult CheckArchive(const std::string& path, TCheckedArchive& archive,
                                               std::int32_t archive_offset = 0) {
  namespace detail = archive_check_detail;
  archive = TCheckedArchive{};
  const TBytes file = ReadFileBytes(path);
  if (::testing::AssertionResult trailer = detail::CheckTrailer(file, archive_offset, archive);
      !trailer) {
    return trailer;
  }
  if (archive.Header.FileCount == 0)
    return detail::CheckEmptyArchive(file, archive_offset, archive);

  detail::THeaderOffsetRestore offset(archive_offset);
  TZorelLZArchiveHeader directory;
  if (std::int32_t loaded = LZLoadDirectory(path, directory); loaded != 0) {
    return ::testing::AssertionFailure() << "directory does not load: " << loaded;
  }
  const std::size_t data_start = static_cast<std::size_t>(archive_offset) +
                                 TLZArchiveHeader::kSize +
                                 TLZFileEntry::kSize * static_cast<std::size_t>(directory.Count) +
                                 static_cast<std::size_t>(directory.Header.NamesSize);
  return detail::CheckEntries(file, directory, data_start, archive);
}

// The stream of `data` as the engine's codec of `level` writes it, made
// through two files in `scratch`.
inline TBytes EngineEncode(const TScratchDir& scratch, const TBytes& data,
                           TLZCompressionChoices level) {
  WriteFileBytes(scratch.File("plain.bin"), data);
  TFile input, output;
  input.Open(scratch.File("plain.bin"), TFile::TMode::kReadDenyWrite);
  output.Open(scratch.File("packed.bin"), TFile::TMode::kCreateTruncate);
  EXPECT_TRUE(LZInitCodec(level));
  EXPECT_GE(LZEncodeStream(level, input, output), 0);
  LZDoneCodec();
  output.Close();
  return ReadFileBytes(scratch.File("packed.bin"));
}

}  // namespace zorellz::test
