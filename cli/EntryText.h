// How the reading commands show the fields of archive entries and single
// compressed files: dates, attributes, sizes, CRC-32, methods and names.
// Pure text, no input or output, so that the listing, the overwrite question
// and the JSON output agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/engine/ZrlTypes.h"

namespace zorellz::cli {

// A DOS date-time (date in the high 16 bits) as "YYYY-MM-DD HH:MM:SS", read
// as the bits say without a time zone; "invalid" when it names no real time.
std::string DosDateText(std::int32_t dos);

// "HRSA" with each letter replaced by "_" when its attribute bit is clear
// (hidden 0x02, read-only 0x01, system 0x04, archive 0x20).
std::string AttributeFlags(std::int32_t attributes);

// The share of the original size that compression saved, in whole percent,
// halves rounded to even: 0 when nothing was saved or the file is empty,
// negative when it grew.
int CompressionRatio(std::int64_t compressed, std::int64_t uncompressed);

// "1 file", "3 files".
std::string FilesText(std::int64_t count);

// Exactly eight upper-case hexadecimal digits.
std::string CrcText(std::uint32_t crc);

// "folder", "stored", "lzss", "lzh", or the method's number.
std::string MethodName(std::uint8_t method, bool is_folder);

// The entry is the archive comment: the volume-label bit and, besides it,
// at most read-only.
bool IsCommentEntry(const TLZFileEntry& entry);

// Text that came from a file or an archive, safe to print on a terminal: the
// characters that would steer it (C0 and C1 controls, DEL) become '?'.
// `utf8` must be valid UTF-8, as every converted name is.
std::string Printable(std::string_view utf8);

// A Windows-1252 text of an archive (name, path, version) for the terminal.
std::string ArchiveText(std::string_view cp1252);

// The detailed overwrite question: what the existing file is about to be
// replaced with, ending in the question itself (lines end in "\n").
std::string OverwriteQuestionText(const TLZReportRec& current, const TLZReportRec& existing);

}  // namespace zorellz::cli
