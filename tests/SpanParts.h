// Cuts an archive file into the part files of a spanned archive, byte by
// byte as the writing side lays them out, so that reading parts is tested
// against the layout rather than against the engine's own record code.
//
// Every part holds a run of the archive file's bytes (the last run includes
// the archive's own trailer) and ends with an 83-byte part trailer: the span
// block of that part, trailer bytes 16..69 of the archive, and the archive's
// file name.  The header in part 1 carries the part count, the span block of
// part 1 and the file name.  Header only: the test support library needs
// nothing more for it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/TestSupport.h"

namespace zorellz::test {

inline constexpr std::size_t kPartTrailerSize = 83;
inline constexpr std::size_t kSpanBlockSize = 16;
// Offsets inside a trailer (add 43 inside the header).
inline constexpr std::size_t kSpanDataSizeAt = 12;
inline constexpr std::size_t kArchiveOffsetAt = 25;
inline constexpr std::size_t kSpanNameAt = 70;
inline constexpr std::size_t kHeaderTrailerAt = 43;
inline constexpr std::size_t kPartCountAt = 19;

// The 16-byte span block: signature 03 04 02 0A, part count, part number,
// offset of the header in the joined file, archive bytes in the part.
inline TBytes SpanBlock(std::uint16_t parts, std::uint16_t part, std::uint32_t offset,
                        std::uint32_t data_size) {
  TBytes block = {0x03, 0x04, 0x02, 0x0A};
  PutU16(block, parts);
  PutU16(block, part);
  PutU32(block, offset);
  PutU32(block, data_size);
  return block;
}

// A String[12]: length byte, at most 12 characters, zero filler.
inline TBytes SpanNameField(const std::string& name) {
  const std::string cut = name.substr(0, 12);
  TBytes field(13, 0);
  field[0] = static_cast<std::uint8_t>(cut.size());
  std::copy(cut.begin(), cut.end(), field.begin() + 1);
  return field;
}

inline std::uint32_t GetU32(const TBytes& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

inline void SetU32(TBytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The name under which part `part` of the archive at `part1_path` is read:
// the extension replaced by the part number.
inline std::string SpanPartPath(const std::string& part1_path, int part) {
  if (part == 1) return part1_path;
  return std::filesystem::path(part1_path).replace_extension("." + std::to_string(part)).string();
}

// The part files of `archive` (a whole archive file, trailer included), at
// most `part_data` archive bytes in each, for an archive of file name
// `file_name`.  With `with_trailer` false the archive's own trailer is left
// out of the parts (the reader rebuilds it from the header).
inline std::vector<TBytes> SpanPartImages(const TBytes& archive, const std::string& file_name,
                                          std::size_t part_data, bool with_trailer = true) {
  const std::size_t trailer_at = archive.size() - kPartTrailerSize;
  const std::size_t size = with_trailer ? archive.size() : trailer_at;
  const std::uint32_t header_at = GetU32(archive, trailer_at + kArchiveOffsetAt);
  const auto parts = static_cast<std::uint16_t>((size + part_data - 1) / part_data);
  const TBytes name = SpanNameField(file_name);

  TBytes spanned = archive;
  SetU32(spanned, header_at + kPartCountAt, parts);
  const TBytes header_block =
      SpanBlock(parts, 1, header_at, static_cast<std::uint32_t>(trailer_at));
  std::copy(header_block.begin(), header_block.end(),
            spanned.begin() + header_at + kHeaderTrailerAt);
  std::copy(name.begin(), name.end(), spanned.begin() + header_at + kHeaderTrailerAt + kSpanNameAt);

  std::vector<TBytes> images;
  for (std::uint16_t part = 1; part <= parts; ++part) {
    const std::size_t begin = (part - 1) * part_data;
    const std::size_t end = std::min(size, begin + part_data);
    TBytes file(spanned.begin() + begin, spanned.begin() + end);
    const TBytes block =
        SpanBlock(parts, part, part == 1 ? header_at : 0, static_cast<std::uint32_t>(end - begin));
    file.insert(file.end(), block.begin(), block.end());
    file.insert(file.end(), archive.begin() + trailer_at + kSpanBlockSize,
                archive.begin() + trailer_at + kSpanNameAt);
    file.insert(file.end(), name.begin(), name.end());
    images.push_back(std::move(file));
  }
  return images;
}

// Writes `archive` as parts of at most `part_data` bytes each, the archive's
// trailer included, part 1 at `part1_path`; returns the names of the parts
// in order.
inline std::vector<std::string> WriteSpanParts(const TBytes& archive, const std::string& part1_path,
                                               std::size_t part_data) {
  const std::vector<TBytes> images =
      SpanPartImages(archive, std::filesystem::path(part1_path).filename().string(), part_data);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < images.size(); ++i) {
    names.push_back(SpanPartPath(part1_path, static_cast<int>(i + 1)));
    WriteFileBytes(names.back(), images[i]);
  }
  return names;
}

}  // namespace zorellz::test
