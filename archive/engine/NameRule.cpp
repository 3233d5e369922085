#include "archive/engine/NameRule.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "archive/codec/ZrlUtils.h"

namespace zorellz {
namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(x) == UpperAscii(y);
         });
}

// CON, AUX, COM1 ... name the device on Windows whatever the extension, and
// whatever spaces follow the stem.
bool IsWindowsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  if (std::any_of(kPlain.begin(), kPlain.end(),
                  [stem](std::string_view device) { return SameTextAscii(stem, device); })) {
    return true;
  }
  // COM1..COM9 and LPT1..LPT9; Windows takes the Windows-1252 superscripts
  // one, two and three for digits as well.
  if (stem.size() != 4) return false;
  const std::string_view prefix = stem.substr(0, 3);
  if (!SameTextAscii(prefix, "COM") && !SameTextAscii(prefix, "LPT")) return false;
  const auto digit = static_cast<unsigned char>(stem[3]);
  return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// `text` with each UTF-8 character as one byte: ASCII as itself, any other
// character as the byte 0x80 + n that `codes` gives it, the same in mask and
// name.  False past 128 distinct characters (then bytes are compared).
bool OneBytePerCharacter(std::string_view text, std::map<std::string_view, char>& codes,
                         std::string& out) {
  constexpr std::size_t kCodes = 128;
  const auto continues = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      out += text[i++];
      continue;
    }
    std::size_t end = i + 1;
    while (end < text.size() && end - i < 4 && continues(text[end])) ++end;
    const std::string_view character = text.substr(i, end - i);
    auto code = codes.find(character);
    if (code == codes.end()) {
      if (codes.size() == kCodes) return false;
      code = codes.emplace(character, static_cast<char>(0x80 + codes.size())).first;
    }
    out += code->second;
    i = end;
  }
  return true;
}

}  // namespace

bool LZIsReadableEntryName(std::string_view name) {
  if (name.empty() || name.size() > kLZLongestEntryName || name == "." || name == "..") {
    return false;
  }
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c == '\\' || c == '/' || c == ':' || IsControl(c); });
}

bool LZIsWritableEntryName(std::string_view name) {
  if (!LZIsReadableEntryName(name)) return false;
  if (name.find_first_of("<>\"|?*") != std::string_view::npos) return false;
  // A trailing dot covers the names of dots only as well.
  if (name.back() == ' ' || name.back() == '.') return false;
  return !IsWindowsDeviceName(name);
}

bool LZMatchNativeWildcard(std::string_view pattern, std::string_view name) {
  std::map<std::string_view, char> codes;
  std::string one_pattern;
  std::string one_name;
  if (OneBytePerCharacter(pattern, codes, one_pattern) &&
      OneBytePerCharacter(name, codes, one_name)) {
    return MatchWildcard(one_pattern, one_name);
  }
  return MatchWildcard(pattern, name);
}

}  // namespace zorellz
