// How the reading commands show the fields of archive entries and single
// compressed files: dates, attributes, sizes, CRC-32, methods and names.
// Pure text, no input or output, so that the listing, the overwrite question
// and the JSON output agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

// A DOS date-time (date in the high 16 bits) as "YYYY-MM-DD HH:MM:SS", read
// as the bits say without a time zone; "invalid" when it names no real time.
std::string DosDateText(std::int32_t dos);

// "HRSA" with each letter replaced by "_" when its attribute bit is clear
// (hidden 0x02, read-only 0x01, system 0x04, archive 0x20).
std::string AttributeFlags(std::int32_t attributes);

// "35% saved": the share that compression saved, with its label.
std::string SavedText(std::int64_t compressed, std::int64_t uncompressed);

// A path of the archive's or the engine's with the native separator ('/'
// where the system uses it), safe for the terminal.
std::string NativeText(std::string_view utf8_path);

// The share of the original size that compression saved, in whole percent,
// halves rounded to even: 0 when nothing was saved or the file is empty,
// negative when it grew.
int CompressionRatio(std::int64_t compressed, std::int64_t uncompressed);

// "1 file", "3 files".
std::string FilesText(std::int64_t count);

// Exactly eight upper-case hexadecimal digits.
std::string CrcText(std::uint32_t crc);

// How an entry's data are held: "folder", "stored", "fast" (the LZSS
// codec), "max" (the adaptive Huffman LZ codec), "fast, stored as is" (a
// stored entry whose data are a compressed file taken over unchanged,
// coded by LZSS), or the method's number.
std::string MethodName(std::uint8_t method, bool is_folder, bool compressed);

// The entry is the archive comment: the volume-label bit and, besides it,
// at most read-only.
bool IsCommentEntry(const TLZFileEntry& entry);

// Text that came from a file or an archive, safe to print on a terminal: the
// characters that would steer it (C0 and C1 controls, DEL) become '?'.
// `utf8` must be valid UTF-8, as every converted name is.
std::string Printable(std::string_view utf8);

// A Windows-1252 text of an archive (name, path, version) for the terminal.
std::string ArchiveText(std::string_view cp1252);

// A file of a question by its size and date: "1,024 bytes, 2024-02-29 13:45:58".
std::string SizeAndDateText(const TLZReportRec& file);

// The first line of the overwrite question: the existing file and the one
// that would replace it, each by size and date (ends in "\n").
std::string OverwriteQuestionText(const TLZReportRec& current, const TLZReportRec& existing);

// The second line: the answers, each by its first letter or in full.
inline constexpr const char* kReplaceChoices = "Replace it? [y]es, [n]o, [a]ll, [N]one, [c]ancel: ";

}  // namespace zorellz::cli
