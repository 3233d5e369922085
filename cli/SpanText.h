// The words of writing an archive across several disks: the disk sizes that
// --span names, the disk prompt, and the lists of parts.  Pure text, no input
// or output, so that the command and its tests agree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorellz::cli {

// The bytes of one disk of a named type: "1440", "720", "2880", "360", "1200"
// or "zip"; nothing for any other name.
std::optional<std::int32_t> DiskSizeByName(std::string_view name);

// The disk size that a --span argument asks for: a named type (which wins
// over the same digits read as bytes), or a byte count of decimal digits
// with an optional suffix k, M or G (1024-based, either case) from 1 to
// 2,147,483,647 ("2G" is taken as that largest size); nothing for anything
// else.
std::optional<std::int32_t> ParseSpanSize(std::string_view text);

// Why ParseSpanSize refused an argument, for the parser to show.
std::string SpanSizeRule();

// 1456389 as "1,456,389".
std::string GroupedNumber(std::int64_t number);

// "Insert disk 2 of 3 into /backup/ (needs 1,456,389 bytes free). Continue? [y/n] "
std::string InsertDiskQuestion(std::int32_t disk, std::int32_t total, std::int64_t needed,
                               const std::string& folder);

// "only 1,000 bytes free in /backup/, 1,456,389 needed"
std::string ShortOfSpaceText(std::int64_t free_bytes, std::int64_t needed,
                             const std::string& folder);

// Which parts lie on their disks when part `stopped_at` was not written:
// "no part was written", "part 1 was written", "parts 1..3 were written".
std::string PartsWrittenBefore(std::int32_t stopped_at);

// Where a finished archive went: "written as one file: X.LZA", or
// "written as 3 parts: X.LZA, X.2, X.3".
std::string PlacementText(const std::vector<std::string>& files);

}  // namespace zorellz::cli
