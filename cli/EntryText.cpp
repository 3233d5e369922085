#include "cli/EntryText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "platform/DosTime.h"
#include "platform/Names.h"

namespace zorellz::cli {
namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The length of the UTF-8 sequence that `lead` starts and its first bits;
// 0 for a byte that starts none.
int SequenceLength(unsigned char lead, char32_t& code) {
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    code = lead & 0x1Fu;
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    code = lead & 0x0Fu;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    code = lead & 0x07u;
    return 4;
  }
  return 0;
}

// Decodes the sequence at `at`: its length, or 0 when it is not valid UTF-8.
std::size_t DecodeOne(std::string_view text, std::size_t at, char32_t& code) {
  const int length = SequenceLength(static_cast<unsigned char>(text[at]), code);
  if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) return 0;
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return static_cast<std::size_t>(length);
}

bool SteersTerminal(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// "1 byte", "1,456,389 bytes".
std::string GroupedBytes(std::int64_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3 && digits[at - 4] != '-'; at -= 3) {
    digits.insert(at - 3, ",");
  }
  return digits + (count == 1 ? " byte" : " bytes");
}

}  // namespace

std::string DosDateText(std::int32_t dos) {
  const auto bits = static_cast<std::uint32_t>(dos);
  const int year = 1980 + static_cast<int>(bits >> 25);
  const int month = static_cast<int>((bits >> 21) & 0x0F);
  const int day = static_cast<int>((bits >> 16) & 0x1F);
  const int hour = static_cast<int>((bits >> 11) & 0x1F);
  const int minute = static_cast<int>((bits >> 5) & 0x3F);
  const int second = static_cast<int>(bits & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return "invalid";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

std::string AttributeFlags(std::int32_t attributes) {
  std::string flags = "HRSA";
  const std::int32_t bits[] = {kFaHidden, kFaReadOnly, kFaSysFile, kFaArchive};
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if ((attributes & bits[i]) == 0) flags[i] = '_';
  }
  return flags;
}

int CompressionRatio(std::int64_t compressed, std::int64_t uncompressed) {
  if (uncompressed == 0 || uncompressed == compressed) return 0;
  const double saved =
      100.0 - 100.0 * static_cast<double>(compressed) / static_cast<double>(uncompressed);
  // The default rounding mode sends halves to the even neighbour.
  return static_cast<int>(std::nearbyint(saved));
}

std::string SavedText(std::int64_t compressed, std::int64_t uncompressed) {
  return std::to_string(CompressionRatio(compressed, uncompressed)) + "% saved";
}

std::string NativeText(std::string_view utf8_path) {
  std::string path = Printable(utf8_path);
  if constexpr (std::filesystem::path::preferred_separator == '/') {
    std::replace(path.begin(), path.end(), '\\', '/');
  }
  return path;
}

std::string FilesText(std::int64_t count) {
  return std::to_string(count) + (count == 1 ? " file" : " files");
}

std::string CrcText(std::uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", crc);
  return text;
}

std::string MethodName(std::uint8_t method, bool is_folder, bool compressed) {
  if (is_folder) return "folder";
  switch (method) {
    case kLZMethodStored:
      return compressed ? "fast, stored as is" : "stored";
    case kLZMethodLZSS:
      return "fast";
    case kLZMethodLZH:
      return "max";
    default:
      return std::to_string(method);
  }
}

bool IsCommentEntry(const TLZFileEntry& entry) {
  return entry.IsFolder == 0 && (entry.FileAttr & kFaVolumeID) != 0 &&
         (entry.FileAttr & ~(kFaReadOnly | kFaVolumeID)) == 0;
}

std::string Printable(std::string_view utf8) {
  std::string shown;
  shown.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t code = 0;
    const std::size_t length = DecodeOne(utf8, at, code);
    if (length == 0 || SteersTerminal(code)) {
      shown += '?';
      at += length == 0 ? 1 : length;
    } else {
      shown.append(utf8.substr(at, length));
      at += length;
    }
  }
  return shown;
}

std::string ArchiveText(std::string_view cp1252) {
  return Printable(Cp1252ToUtf8(cp1252));
}

std::string SizeAndDateText(const TLZReportRec& file) {
  return GroupedBytes(file.UncompressedSize) + ", " + DosDateText(file.FileDate);
}

std::string OverwriteQuestionText(const TLZReportRec& current, const TLZReportRec& existing) {
  return "\"" + Printable(existing.FileName) + "\" already exists (" + SizeAndDateText(existing) +
         "); the new one has " + SizeAndDateText(current) + ".\n";
}

}  // namespace zorellz::cli
