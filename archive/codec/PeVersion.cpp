#include "archive/codec/PeVersion.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/Names.h"

namespace zorellz {

namespace {

using TBlock = std::vector<std::uint8_t>;

constexpr std::uint32_t kDefaultTranslation = 0x04E40409;  // US English, Windows-1252
constexpr std::size_t kMaxValueLength = 255;

// Image headers.
constexpr std::uint64_t kLfanewOffset = 0x3C;
constexpr std::size_t kPeSignatureAndCoffSize = 24;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kDataDirectoriesPe32 = 96;
constexpr std::size_t kDataDirectoriesPe32Plus = 112;
constexpr std::uint32_t kResourceDirectoryIndex = 2;

// Resource tree.
constexpr std::size_t kResourceDirectorySize = 16;
constexpr std::size_t kResourceEntrySize = 8;
constexpr std::size_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kNamedOrSubdirectory = 0x80000000;

// Version block nodes: wLength, wValueLength, wType, then the key.
constexpr std::size_t kNodeHeaderSize = 6;
constexpr std::uint16_t kTextValue = 1;

std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Reads `count` bytes, first making sure that the last of them exists so that
// a count taken from a damaged header never leads to a large allocation.
std::optional<TBlock> ReadBlock(const TByteSource& source, std::uint64_t offset,
                                std::size_t count) {
  TBlock block(0);
  if (count == 0) return block;
  std::uint8_t last;
  if (!source(offset + count - 1, &last, 1)) return std::nullopt;
  block.resize(count);
  if (!source(offset, block.data(), count)) return std::nullopt;
  return block;
}

// ---------------------------------------------------------------------------
// Image headers and the mapping of relative virtual addresses to the file.

struct TSection {
  std::uint32_t VirtualAddress;
  std::uint32_t RawSize;
  std::uint32_t RawOffset;
};

struct TImage {
  std::vector<TSection> Sections;
  std::uint32_t ResourceRva = 0;
};

std::optional<std::uint64_t> ReadPeHeaderOffset(const TByteSource& source) {
  std::uint8_t magic[2];
  if (!source(0, magic, sizeof(magic)) || magic[0] != 'M' || magic[1] != 'Z') return std::nullopt;
  std::uint8_t lfanew[4];
  if (!source(kLfanewOffset, lfanew, sizeof(lfanew))) return std::nullopt;
  return GetU32(lfanew);
}

// The resource directory's address from the optional header, PE32 or PE32+.
std::optional<std::uint32_t> ReadResourceRva(const TByteSource& source, std::uint64_t offset,
                                             std::uint16_t optional_size) {
  std::uint8_t magic[2];
  if (!source(offset, magic, sizeof(magic))) return std::nullopt;
  std::size_t directories = 0;
  if (GetU16(magic) == kMagicPe32) directories = kDataDirectoriesPe32;
  if (GetU16(magic) == kMagicPe32Plus) directories = kDataDirectoriesPe32Plus;
  const std::size_t needed = directories + (kResourceDirectoryIndex + 1) * 8;
  if (directories == 0 || optional_size < needed) return std::nullopt;
  std::optional<TBlock> header = ReadBlock(source, offset, needed);
  if (!header) return std::nullopt;
  const std::uint32_t directory_count = GetU32(header->data() + directories - 4);
  if (directory_count <= kResourceDirectoryIndex) return std::nullopt;
  const std::uint8_t* resources = header->data() + directories + kResourceDirectoryIndex * 8;
  if (GetU32(resources) == 0 || GetU32(resources + 4) == 0) return std::nullopt;
  return GetU32(resources);
}

std::optional<std::vector<TSection>> ReadSections(const TByteSource& source, std::uint64_t offset,
                                                  std::uint16_t count) {
  std::optional<TBlock> table = ReadBlock(source, offset, count * kSectionHeaderSize);
  if (!table) return std::nullopt;
  std::vector<TSection> sections;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* header = table->data() + i * kSectionHeaderSize;
    sections.push_back({GetU32(header + 12), GetU32(header + 16), GetU32(header + 20)});
  }
  return sections;
}

std::optional<TImage> ReadImage(const TByteSource& source) {
  std::optional<std::uint64_t> pe = ReadPeHeaderOffset(source);
  if (!pe) return std::nullopt;
  std::uint8_t coff[kPeSignatureAndCoffSize];
  if (!source(*pe, coff, sizeof(coff)) || std::memcmp(coff, "PE\0\0", 4) != 0) return std::nullopt;
  const std::uint16_t section_count = GetU16(coff + 6);
  const std::uint16_t optional_size = GetU16(coff + 20);
  const std::uint64_t optional_offset = *pe + kPeSignatureAndCoffSize;
  TImage image;
  std::optional<std::uint32_t> resources = ReadResourceRva(source, optional_offset, optional_size);
  if (!resources) return std::nullopt;
  image.ResourceRva = *resources;
  auto sections = ReadSections(source, optional_offset + optional_size, section_count);
  if (!sections) return std::nullopt;
  image.Sections = std::move(*sections);
  return image;
}

// The file offset of `count` bytes at `rva`; only bytes that are stored in
// the file within one section can be read.
std::optional<std::uint64_t> MapRva(const TImage& image, std::uint64_t rva, std::size_t count) {
  for (const TSection& section : image.Sections) {
    if (rva < section.VirtualAddress) continue;
    const std::uint64_t delta = rva - section.VirtualAddress;
    if (delta + count > section.RawSize) continue;
    return section.RawOffset + delta;
  }
  return std::nullopt;
}

bool ReadAtRva(const TImage& image, const TByteSource& source, std::uint64_t rva, void* out,
               std::size_t count) {
  std::optional<std::uint64_t> offset = MapRva(image, rva, count);
  return offset && source(*offset, out, count);
}

std::optional<TBlock> ReadBlockAtRva(const TImage& image, const TByteSource& source,
                                     std::uint64_t rva, std::size_t count) {
  std::optional<std::uint64_t> offset = MapRva(image, rva, count);
  if (!offset) return std::nullopt;
  return ReadBlock(source, *offset, count);
}

// ---------------------------------------------------------------------------
// The resource tree: type, name and language levels, then the data entry.

struct TResourceEntry {
  std::uint32_t NameOrId;
  std::uint32_t Target;  // subdirectory or data entry, relative to the tree's root
};

enum class TEntryChoice { kVersionType, kFirst };

std::optional<TResourceEntry> FindResourceEntry(const TImage& image, const TByteSource& source,
                                                std::uint64_t directory, TEntryChoice choice) {
  const std::uint64_t rva = image.ResourceRva + directory;
  std::uint8_t header[kResourceDirectorySize];
  if (!ReadAtRva(image, source, rva, header, sizeof(header))) return std::nullopt;
  const std::size_t count = std::size_t{GetU16(header + 12)} + GetU16(header + 14);
  if (count == 0) return std::nullopt;
  auto entries = ReadBlockAtRva(image, source, rva + sizeof(header), count * kResourceEntrySize);
  if (!entries) return std::nullopt;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = entries->data() + i * kResourceEntrySize;
    TResourceEntry found{GetU32(entry), GetU32(entry + 4)};
    if (choice == TEntryChoice::kFirst || found.NameOrId == kResourceTypeVersion) return found;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> Subdirectory(const std::optional<TResourceEntry>& entry) {
  if (!entry || !(entry->Target & kNamedOrSubdirectory)) return std::nullopt;
  return entry->Target & ~kNamedOrSubdirectory;
}

// The version block: its own 16-bit length, bounded by the data entry's size.
std::optional<TBlock> ReadVersionBlock(const TImage& image, const TByteSource& source) {
  auto type = Subdirectory(FindResourceEntry(image, source, 0, TEntryChoice::kVersionType));
  if (!type) return std::nullopt;
  auto name = Subdirectory(FindResourceEntry(image, source, *type, TEntryChoice::kFirst));
  if (!name) return std::nullopt;
  auto language = FindResourceEntry(image, source, *name, TEntryChoice::kFirst);
  if (!language || (language->Target & kNamedOrSubdirectory)) return std::nullopt;
  std::uint8_t data[kResourceDataEntrySize];
  const std::uint64_t data_entry = std::uint64_t{image.ResourceRva} + language->Target;
  if (!ReadAtRva(image, source, data_entry, data, sizeof(data))) return std::nullopt;
  const std::uint32_t block_rva = GetU32(data);
  std::uint8_t length[2];
  if (!ReadAtRva(image, source, block_rva, length, sizeof(length))) return std::nullopt;
  const std::size_t size = std::min<std::uint64_t>(GetU16(length), GetU32(data + 4));
  return ReadBlockAtRva(image, source, block_rva, size);
}

// ---------------------------------------------------------------------------
// Nodes of the version block.  Offsets are relative to the block's start,
// which is also what the 32-bit alignment refers to.

struct TNode {
  std::size_t End;
  std::size_t KeyStart;
  std::size_t KeyEnd;  // at the key's NUL
  std::size_t ValueStart;
  std::uint16_t ValueLength;
  std::size_t ChildrenStart;
};

std::size_t Align4(std::size_t offset) {
  return (offset + 3) & ~std::size_t{3};
}

std::optional<TNode> ParseNode(const TBlock& block, std::size_t start, std::size_t limit) {
  if (limit - start < kNodeHeaderSize) return std::nullopt;
  const std::uint16_t length = GetU16(&block[start]);
  if (length < kNodeHeaderSize || length > limit - start) return std::nullopt;
  TNode node{};
  node.End = start + length;
  node.KeyStart = start + kNodeHeaderSize;
  node.KeyEnd = node.KeyStart;
  while (node.KeyEnd + 2 <= node.End && GetU16(&block[node.KeyEnd]) != 0) node.KeyEnd += 2;
  if (node.KeyEnd + 2 > node.End) return std::nullopt;
  node.ValueLength = GetU16(&block[start + 2]);
  const bool text = GetU16(&block[start + 4]) == kTextValue;
  const std::size_t value_bytes = text ? std::size_t{node.ValueLength} * 2 : node.ValueLength;
  node.ValueStart = std::min(Align4(node.KeyEnd + 2), node.End);
  node.ChildrenStart = std::min(Align4(node.ValueStart + value_bytes), node.End);
  return node;
}

// Characters that Windows-1252 lacks become '?'.
char UnitToCp1252(char16_t unit) {
  const int byte = CodePointToCp1252Char(unit);
  return byte < 0 ? '?' : static_cast<char>(byte);
}

// A character of a looked-up key (Windows-1252) as a UTF-16 unit.
char16_t KeyUnit(char c) {
  return static_cast<char16_t>(Cp1252CharToCodePoint(static_cast<unsigned char>(c)));
}

char16_t FoldAscii(char16_t unit) {
  return unit >= 'a' && unit <= 'z' ? unit - 'a' + 'A' : unit;
}

bool KeyEquals(const TBlock& block, const TNode& node, std::string_view key) {
  if ((node.KeyEnd - node.KeyStart) / 2 != key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char16_t unit = GetU16(&block[node.KeyStart + 2 * i]);
    if (FoldAscii(unit) != FoldAscii(KeyUnit(key[i]))) return false;
  }
  return true;
}

// Every child is at least a header long, so the walk always moves forward
// and ends at the parent's end.
std::optional<TNode> FindChild(const TBlock& block, const TNode& parent, std::string_view key) {
  std::size_t cursor = parent.ChildrenStart;
  while (cursor < parent.End) {
    std::optional<TNode> child = ParseNode(block, cursor, parent.End);
    if (!child) return std::nullopt;
    if (KeyEquals(block, *child, key)) return child;
    cursor = Align4(child->End);
  }
  return std::nullopt;
}

std::uint32_t FindTranslation(const TBlock& block, const TNode& root) {
  std::optional<TNode> var_info = FindChild(block, root, "VarFileInfo");
  if (!var_info) return kDefaultTranslation;
  std::optional<TNode> translation = FindChild(block, *var_info, "Translation");
  if (!translation || translation->ValueLength < 4 ||
      translation->End - translation->ValueStart < 4) {
    return kDefaultTranslation;
  }
  return GetU32(&block[translation->ValueStart]);
}

std::string LowerHex4(std::uint32_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) hex[i] = kDigits[value & 0xF];
  return hex;
}

// "llllcccc": the language (low word) and then the code page (high word).
std::string TranslationName(std::uint32_t translation) {
  return LowerHex4(translation & 0xFFFF) + LowerHex4(translation >> 16);
}

// UTF-16 up to its NUL or the node's end; a surrogate pair is one character
// and becomes one '?'.
std::string DecodeValue(const TBlock& block, const TNode& node) {
  std::string value;
  std::size_t at = node.ValueStart;
  while (at + 2 <= node.End && value.size() < kMaxValueLength) {
    const char16_t unit = GetU16(&block[at]);
    at += 2;
    if (unit == 0) break;
    const bool high_surrogate = unit >= 0xD800 && unit <= 0xDBFF;
    if (high_surrogate && at + 2 <= node.End) {
      const char16_t low = GetU16(&block[at]);
      if (low >= 0xDC00 && low <= 0xDFFF) at += 2;
    }
    value += UnitToCp1252(unit);
  }
  return value;
}

std::optional<std::string> LookUpString(const TBlock& block, const std::string& key) {
  std::optional<TNode> root = ParseNode(block, 0, block.size());
  if (!root || !KeyEquals(block, *root, "VS_VERSION_INFO")) return std::nullopt;
  const std::string table_name = TranslationName(FindTranslation(block, *root));
  std::optional<TNode> string_info = FindChild(block, *root, "StringFileInfo");
  if (!string_info) return std::nullopt;
  std::optional<TNode> table = FindChild(block, *string_info, table_name);
  if (!table) return std::nullopt;
  std::optional<TNode> value = FindChild(block, *table, key);
  if (!value) return std::nullopt;
  return DecodeValue(block, *value);
}

}  // namespace

std::optional<std::string> ReadPeVersionString(const TByteSource& source, const std::string& key) {
  std::optional<TImage> image = ReadImage(source);
  if (!image) return std::nullopt;
  std::optional<TBlock> block = ReadVersionBlock(*image, source);
  if (!block) return std::nullopt;
  return LookUpString(*block, key);
}

std::optional<std::string> ReadPeVersionString(const void* data, std::size_t size,
                                               const std::string& key) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  TByteSource source = [bytes, size](std::uint64_t offset, void* out, std::size_t count) {
    if (offset > size || count > size - offset) return false;
    if (count > 0) std::memcpy(out, bytes + offset, count);
    return true;
  };
  return ReadPeVersionString(source, key);
}

}  // namespace zorellz
