#include "archive/codec/ZrlUtils.h"

#include <cmath>
#include <limits>
#include <vector>

#include "archive/codec/PeVersion.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "platform/System.h"
#include "zorellz/platform/File.h"

namespace zorellz {

namespace {

constexpr char kBackslash = '\\';
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Names and patterns end at a NUL, as the C strings they were always
// handled as; bytes after it never take part in a match.
std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// Matches the suffix of `pattern` from `i` against every suffix of `name`,
// given the row for the suffix from `i + 1`.  A suffix that is exactly "*"
// matches everything, the empty name included.
void MatchPatternSuffix(std::string_view pattern, std::size_t i, std::string_view name,
                        const std::vector<char>& next, std::vector<char>& row) {
  const std::size_t n = name.size();
  if (i + 1 == pattern.size() && pattern[i] == '*') {
    row.assign(n + 1, true);
    return;
  }
  row[n] = false;  // a non-empty pattern other than "*" never matches the empty name
  for (std::size_t j = n; j-- > 0;) {
    if (pattern[i] == '*') {
      row[j] = next[j] || row[j + 1];
    } else {
      row[j] = (pattern[i] == '?' || pattern[i] == name[j]) && next[j + 1];
    }
  }
}

}  // namespace

std::string AddBackslash(std::string_view path) {
  std::string result(path);
  if (!result.empty() && result.back() != kBackslash) result += kBackslash;
  return result;
}

std::string StripBackslash(std::string_view path) {
  if (!path.empty() && path.back() == kBackslash) path.remove_suffix(1);
  return std::string(path);
}

bool DirectoryExists(const std::string& path) {
  return !path.empty() && DirectoryExistsNative(path);
}

std::int64_t GetFileSizeOf(const std::string& file_name) {
  if (!FileExists(file_name)) return 0;
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyWrite)) return 0;
  try {
    std::int64_t size = file.Size();
    return size > 0 ? size : 0;
  } catch (const EInOutError&) {
    return 0;
  }
}

std::int32_t GetFileDateOf(const std::string& file_name) {
  if (!FileExists(file_name)) return 0;
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyNone)) return 0;
  return GetFileDosDate(file_name);
}

std::string ExtractPathUpTo(std::string_view prefix, std::string_view path) {
  std::size_t end = prefix.size();
  while (end < path.size() && path[end] != kBackslash) ++end;
  // Take the backslash that stopped the scan along with the level.
  return std::string(path.substr(0, end + 1));
}

// Dynamic programming over pattern suffixes × name suffixes, one row per
// pattern position, gives the results of the plain recursive matcher without
// its exponential worst case on patterns with many stars.
bool MatchWildcard(std::string_view pattern, std::string_view name) {
  pattern = UpToNul(pattern);
  name = UpToNul(name);
  std::vector<char> next(name.size() + 1, false);
  next[name.size()] = true;  // the empty pattern matches only the empty name
  std::vector<char> row(name.size() + 1);
  for (std::size_t i = pattern.size(); i-- > 0;) {
    MatchPatternSuffix(pattern, i, name, next, row);
    next.swap(row);
  }
  return next[0];
}

std::string GetFileVersionString(const std::string& file_name, const std::string& key) {
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyNone)) return {};
  return GetFileVersionString(file, key);
}

std::string GetFileVersionString(TFile& file, const std::string& key) {
  TByteSource source = [&file](std::uint64_t offset, void* out, std::size_t count) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return false;
    }
    return file.Seek(static_cast<std::int64_t>(offset)) && file.Read(out, count) == count;
  };
  try {
    return ReadPeVersionString(source, key).value_or(std::string());
  } catch (const EInOutError&) {
    return {};
  }
}

std::string WordToHex(std::uint16_t value) {
  std::string hex(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) hex[i] = kHexDigits[value & 0xF];
  return hex;
}

std::string LongToHex(std::uint32_t value) {
  return WordToHex(static_cast<std::uint16_t>(value >> 16)) +
         WordToHex(static_cast<std::uint16_t>(value));
}

std::int32_t CompressionPercent(std::int32_t compressed, std::int32_t uncompressed) {
  if (uncompressed == 0 || compressed == uncompressed) return 0;
  double percent = 100.0 - static_cast<double>(compressed) / uncompressed * 100.0;
  // Sizes near the 32-bit limits give percentages outside the result's range;
  // they are clamped rather than converted with undefined results.
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  double rounded = std::nearbyint(percent);
  if (rounded < kLowest) return std::numeric_limits<std::int32_t>::min();
  if (rounded > kHighest) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(rounded);
}

std::string GetEnvironmentValue(std::string_view name) {
  if (name.empty()) return {};
  for (const std::string& entry : EnvironmentEntries()) {
    // An entry without '=' separates name and value at its first space.
    std::size_t split = entry.find('=');
    if (split == std::string::npos) split = entry.find(' ');
    if (!SameTextAscii(std::string_view(entry).substr(0, split), name)) continue;
    return split == std::string::npos ? std::string() : entry.substr(split + 1);
  }
  return {};
}

std::int64_t GetDiskFreeOf(const std::string& path) {
  if (path.empty()) return -1;
  return DiskFreeBytes(path);
}

}  // namespace zorellz
