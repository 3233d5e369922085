#include "platform/Names.h"

#include <array>
#include <cstdint>
#include <system_error>

namespace zorellz {

namespace {

// Code points of the bytes 0x80..0x9F.  The five bytes that Windows-1252
// leaves unassigned stand for the C1 control of the same value, so that
// every byte converts and converts back.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char32_t kNoCharacter = 0xFFFFFFFF;

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    // Windows-1252 needs nothing beyond the Basic Multilingual Plane.
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The shortest code point that a sequence of `trailing` continuation bytes
// may carry; anything smaller is an overlong form.
char32_t MinimumForLength(int trailing) {
  return trailing == 1 ? 0x80 : trailing == 2 ? 0x800 : 0x10000;
}

// The number of continuation bytes after `lead`; -1 for a stray
// continuation byte or a lead that can only start an invalid form.
int TrailingBytes(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

// Decodes one well-formed UTF-8 sequence at `pos` and advances past it;
// kNoCharacter for truncated, overlong, surrogate or out-of-range forms.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  const int trailing = TrailingBytes(lead);
  if (trailing <= 0) return trailing == 0 ? lead : kNoCharacter;
  char32_t code = lead & (0x3F >> trailing);
  for (int i = 0; i < trailing; ++i) {
    if (pos >= text.size()) return kNoCharacter;
    const auto next = static_cast<unsigned char>(text[pos]);
    if ((next & 0xC0) != 0x80) return kNoCharacter;
    code = (code << 6) | (next & 0x3F);
    ++pos;
  }
  if (code < MinimumForLength(trailing) || code > 0x10FFFF) return kNoCharacter;
  if (code >= 0xD800 && code <= 0xDFFF) return kNoCharacter;
  return code;
}

// Windows takes both slashes as separators, and the colon of a drive ends
// the folder part of "C:name" too.
#ifdef _WIN32
constexpr char kSeparators[] = "\\/:";
#else
constexpr char kSeparators[] = "/";
#endif

std::size_t LastSeparator(const std::string& path) {
  return path.find_last_of(kSeparators);
}

void StripTrailingSeparator(std::string& path) {
#ifdef _WIN32
  // "C:\" is a root folder; "C:" would be the drive's current folder.
  if (path.size() > 1 && path[path.size() - 2] == ':') return;
#endif
  if (path.size() > 1 && path.back() == kNativeSeparator) path.pop_back();
}

// Position of the extension's dot, or npos when the name has none.
std::size_t ExtensionDot(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = LastSeparator(path);
  if (dot == std::string::npos) return dot;
  if (slash != std::string::npos && dot < slash) return std::string::npos;
  return dot;
}

}  // namespace

char32_t Cp1252CharToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

int CodePointToCp1252Char(char32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
    if (kCp1252High[i] == code) return static_cast<int>(0x80 + i);
  }
  return -1;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendUtf8(out, Cp1252CharToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t code = DecodeUtf8(text, pos);
    if (code == kNoCharacter) return std::nullopt;
    const int byte = CodePointToCp1252Char(code);
    if (byte < 0) return std::nullopt;
    out += static_cast<char>(byte);
  }
  return out;
}

// '\' never occurs inside a multi-byte UTF-8 sequence, so separators can be
// swapped after the whole text is converted.
std::filesystem::path ArchivePathToNative(std::string_view archive_path) {
  std::string native = Cp1252ToUtf8(archive_path);
  for (char& c : native) {
    if (c == '\\') c = kNativeSeparator;
  }
  return std::filesystem::path(native);
}

std::optional<std::string> NativeToArchivePath(const std::filesystem::path& native) {
#ifdef _WIN32
  // Both slashes separate on Windows; the generic form has forward slashes only.
  const std::string text = native.generic_string();
#else
  const std::string& text = native.native();
  // A backslash inside a native name would turn into a separator in the
  // archive, so such a name cannot be represented.
  if (text.find('\\') != std::string::npos) return std::nullopt;
#endif
  std::optional<std::string> archive = Utf8ToCp1252(text);
  if (!archive) return std::nullopt;
  for (char& c : *archive) {
    if (c == '/') c = '\\';
  }
  return archive;
}

char UpCaseAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCaseAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpCaseAscii(c);
  return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpCaseAscii(a[i]) != UpCaseAscii(b[i])) return false;
  }
  return true;
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return std::string();
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return std::string();  // the current folder is gone
  std::string expanded = absolute.lexically_normal().string();
  StripTrailingSeparator(expanded);
  return expanded;
}

std::string ExtractFileName(const std::string& path) {
  const std::size_t slash = LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& path) {
  const std::size_t slash = LastSeparator(path);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileExt(const std::string& path) {
  const std::size_t dot = ExtensionDot(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  const std::size_t dot = ExtensionDot(path);
  return (dot == std::string::npos ? path : path.substr(0, dot)) + extension;
}

std::string IncludeTrailingSeparator(std::string folder) {
  if (!folder.empty() && LastSeparator(folder) != folder.size() - 1) folder += kNativeSeparator;
  return folder;
}

}  // namespace zorellz
