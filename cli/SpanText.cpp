#include "cli/SpanText.h"

#include <limits>

namespace zorellz::cli {
namespace {

struct TDiskType {
  std::string_view Name;
  std::int32_t Bytes;
};

// The part sizes of the archive component's disk types.
constexpr TDiskType kDiskTypes[] = {
    {"1440", 1'456'472}, {"720", 728'760},    {"2880", 2'912'944},
    {"360", 364'380},    {"1200", 1'200'000}, {"zip", 100'428'415},
};

constexpr std::int64_t kMaxDiskSize = std::numeric_limits<std::int32_t>::max();

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::int32_t> DiskSizeByName(std::string_view name) {
  for (const TDiskType& type : kDiskTypes) {
    if (name == type.Name) return type.Bytes;
  }
  return std::nullopt;
}

// The factor of a size suffix (1024-based, either case); 0 for none known.
std::int64_t SuffixFactor(char suffix) {
  switch (suffix) {
    case 'k':
    case 'K':
      return std::int64_t{1} << 10;
    case 'm':
    case 'M':
      return std::int64_t{1} << 20;
    case 'g':
    case 'G':
      return std::int64_t{1} << 30;
    default:
      return 0;
  }
}

std::optional<std::int32_t> ParseSpanSize(std::string_view text) {
  if (const auto named = DiskSizeByName(text)) return named;
  std::int64_t factor = 1;
  if (!text.empty() && !IsDigit(text.back())) {
    factor = SuffixFactor(text.back());
    if (factor == 0) return std::nullopt;
    text.remove_suffix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t bytes = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    bytes = bytes * 10 + (c - '0');
    // Stop before a long run of digits can overflow.
    if (bytes > kMaxDiskSize) return std::nullopt;
  }
  bytes *= factor;
  // "2G" asks for the largest part there is, one byte short of 2 GiB.
  if (factor > 1 && bytes == kMaxDiskSize + 1) bytes = kMaxDiskSize;
  if (bytes < 1 || bytes > kMaxDiskSize) return std::nullopt;
  return static_cast<std::int32_t>(bytes);
}

std::string SpanSizeRule() {
  return "the disk size is a byte count from 1 to 2147483647, with k, M or G for 1024, 1024^2 "
         "or 1024^3 bytes (2G: the largest, 2147483647), or one of 1440, 720, 2880, 360, 1200, "
         "zip";
}

std::string GroupedNumber(std::int64_t number) {
  const bool negative = number < 0;
  std::string digits = std::to_string(number);
  if (negative) digits.erase(0, 1);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return negative ? "-" + digits : digits;
}

std::string InsertDiskQuestion(std::int32_t disk, std::int32_t total, std::int64_t needed,
                               const std::string& folder) {
  return "Insert disk " + std::to_string(disk) + " of " + std::to_string(total) + " into " +
         folder + " (needs " + GroupedNumber(needed) + " bytes free). Continue? [y/n] ";
}

std::string ShortOfSpaceText(std::int64_t free_bytes, std::int64_t needed,
                             const std::string& folder) {
  return "only " + GroupedNumber(free_bytes) + " bytes free in " + folder + ", " +
         GroupedNumber(needed) + " needed";
}

std::string PartsWrittenBefore(std::int32_t stopped_at) {
  const std::int32_t written = stopped_at - 1;
  if (written < 1) return "no part was written";
  if (written == 1) return "part 1 was written";
  return "parts 1.." + std::to_string(written) + " were written";
}

std::string PlacementText(const std::vector<std::string>& files) {
  if (files.size() == 1) return "written as one file: " + files.front();
  std::string text = "written as " + std::to_string(files.size()) + " parts: ";
  for (std::size_t at = 0; at < files.size(); ++at) {
    if (at > 0) text += ", ";
    text += files[at];
  }
  return text;
}

}  // namespace zorellz::cli
