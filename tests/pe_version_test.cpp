#include "archive/codec/PeVersion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "archive/codec/ZrlUtils.h"
#include "tests/TestSupport.h"

namespace zorellz {
namespace {

using test::PutU16;
using test::PutU32;
using test::TBytes;

// ---------------------------------------------------------------------------
// Version blocks.  Each node is wLength, wValueLength, wType, a UTF-16 key
// with its NUL, padding to 32 bits, the value, padding, then the children,
// each starting on a 32-bit boundary.

void PadTo4(TBytes& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

TBytes Utf16(const std::u16string& text) {
  TBytes out;
  for (char16_t unit : text) PutU16(out, unit);
  return out;
}

TBytes Node(const std::u16string& key, std::uint16_t type, std::uint16_t value_length,
            const TBytes& value, const std::vector<TBytes>& children) {
  TBytes node(6, 0);
  const TBytes key_bytes = Utf16(key + u'\0');
  node.insert(node.end(), key_bytes.begin(), key_bytes.end());
  PadTo4(node);
  node.insert(node.end(), value.begin(), value.end());
  for (const TBytes& child : children) {
    PadTo4(node);
    node.insert(node.end(), child.begin(), child.end());
  }
  node[0] = static_cast<std::uint8_t>(node.size());
  node[1] = static_cast<std::uint8_t>(node.size() >> 8);
  node[2] = static_cast<std::uint8_t>(value_length);
  node[3] = static_cast<std::uint8_t>(value_length >> 8);
  node[4] = static_cast<std::uint8_t>(type);
  return node;
}

TBytes StringValue(const std::u16string& key, const std::u16string& value) {
  const auto length = static_cast<std::uint16_t>(value.size() + 1);
  return Node(key, 1, length, Utf16(value + u'\0'), {});
}

TBytes StringTable(const std::u16string& translation, const std::vector<TBytes>& strings) {
  return Node(translation, 1, 0, {}, strings);
}

TBytes VarFileInfo(std::uint32_t translation) {
  TBytes value;
  PutU32(value, translation);
  return Node(u"VarFileInfo", 1, 0, {}, {Node(u"Translation", 0, 4, value, {})});
}

TBytes FixedFileInfo() {
  TBytes info;
  PutU32(info, 0xFEEF04BD);  // signature
  PutU32(info, 0x00010000);  // structure version
  for (int i = 0; i < 11; ++i) PutU32(info, 0);
  return info;
}

// A root holding `children` (string and var file infos).
TBytes VersionInfo(const std::vector<TBytes>& children) {
  const TBytes fixed = FixedFileInfo();
  return Node(u"VS_VERSION_INFO", 0, static_cast<std::uint16_t>(fixed.size()), fixed, children);
}

TBytes StandardVersionInfo() {
  return VersionInfo({Node(u"StringFileInfo", 1, 0, {},
                           {StringTable(u"040904b0", {StringValue(u"CompanyName", u"Orv Software"),
                                                      StringValue(u"FileVersion", u"1.2.3.4"),
                                                      StringValue(u"ProductName", u"Tessaline")})}),
                      VarFileInfo(0x04B00409)});
}

// ---------------------------------------------------------------------------
// Images: DOS header, PE headers, one ".rsrc" section whose raw data ends the
// file exactly, so that any truncation cuts into data the reader needs.

constexpr std::uint32_t kPeOffset = 0x40;
constexpr std::uint32_t kCoffOffset = kPeOffset + 4;
constexpr std::uint32_t kOptionalOffset = kCoffOffset + 20;
constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kSectionFileOffset = 0x200;
// Inside the resource section: type, name and language directories, each
// with one entry, then the data entry and the version block.
constexpr std::uint32_t kNameDirectory = 0x18;
constexpr std::uint32_t kLanguageDirectory = 0x30;
constexpr std::uint32_t kDataEntry = 0x48;
constexpr std::uint32_t kVersionBlock = 0x58;

std::uint32_t OptionalHeaderSize(bool pe32_plus) {
  return pe32_plus ? 240 : 224;
}
std::uint32_t SectionTableOffset(bool pe32_plus) {
  return kOptionalOffset + OptionalHeaderSize(pe32_plus);
}
std::uint32_t DataDirectoriesOffset(bool pe32_plus) {
  return kOptionalOffset + (pe32_plus ? 112 : 96);
}

void PutResourceDirectory(TBytes& out, std::uint32_t id, std::uint32_t target) {
  for (int i = 0; i < 3; ++i) PutU32(out, 0);  // characteristics, stamp, version
  PutU16(out, 0);                              // named entries
  PutU16(out, 1);                              // id entries
  PutU32(out, id);
  PutU32(out, target);
}

TBytes ResourceSection(const TBytes& version_block) {
  TBytes section;
  PutResourceDirectory(section, 16, 0x80000000 | kNameDirectory);  // RT_VERSION
  PutResourceDirectory(section, 1, 0x80000000 | kLanguageDirectory);
  PutResourceDirectory(section, 0x0409, kDataEntry);
  PutU32(section, kSectionRva + kVersionBlock);
  PutU32(section, static_cast<std::uint32_t>(version_block.size()));
  PutU32(section, 0);  // code page
  PutU32(section, 0);  // reserved
  section.insert(section.end(), version_block.begin(), version_block.end());
  return section;
}

TBytes BuildPe(bool pe32_plus, const TBytes& version_block) {
  const TBytes resources = ResourceSection(version_block);
  const auto resource_size = static_cast<std::uint32_t>(resources.size());
  TBytes pe(kSectionFileOffset, 0);
  pe[0] = 'M';
  pe[1] = 'Z';
  pe[0x3C] = kPeOffset;  // e_lfanew
  TBytes headers;
  test::PutText(headers, std::string("PE\0\0", 4));
  PutU16(headers, pe32_plus ? 0x8664 : 0x014C);  // machine
  PutU16(headers, 1);                            // sections
  PutU32(headers, 0);                            // time stamp
  PutU32(headers, 0);                            // symbol table
  PutU32(headers, 0);                            // symbols
  PutU16(headers, static_cast<std::uint16_t>(OptionalHeaderSize(pe32_plus)));
  PutU16(headers, 0x2102);  // executable DLL
  TBytes optional(OptionalHeaderSize(pe32_plus), 0);
  optional[0] = 0x0B;
  optional[1] = pe32_plus ? 0x02 : 0x01;
  const std::uint32_t directories = DataDirectoriesOffset(pe32_plus) - kOptionalOffset;
  optional[directories - 4] = 16;  // NumberOfRvaAndSizes
  TBytes resource_directory;
  PutU32(resource_directory, kSectionRva);
  PutU32(resource_directory, resource_size);
  std::copy(resource_directory.begin(), resource_directory.end(),
            optional.begin() + directories + 2 * 8);
  headers.insert(headers.end(), optional.begin(), optional.end());
  test::PutText(headers, std::string(".rsrc\0\0\0", 8));
  PutU32(headers, resource_size);       // virtual size
  PutU32(headers, kSectionRva);         // virtual address
  PutU32(headers, resource_size);       // raw size
  PutU32(headers, kSectionFileOffset);  // raw offset
  for (int i = 0; i < 4; ++i) PutU32(headers, 0);
  std::copy(headers.begin(), headers.end(), pe.begin() + kPeOffset);
  pe.insert(pe.end(), resources.begin(), resources.end());
  return pe;
}

void PokeU16(TBytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PokeU32(TBytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::optional<std::string> Read(const TBytes& pe, const std::string& key = "FileVersion") {
  return ReadPeVersionString(pe.data(), pe.size(), key);
}

// The seed corpus of the fuzz target: the builder's images.
std::vector<std::pair<std::string, TBytes>> SeedFiles() {
  return {
      {"pe32.exe", BuildPe(false, StandardVersionInfo())},
      {"pe32plus.dll", BuildPe(true, StandardVersionInfo())},
      {"no_translation.exe",
       BuildPe(false, VersionInfo({Node(
                          u"StringFileInfo", 1, 0, {},
                          {StringTable(u"040904e4", {StringValue(u"FileVersion", u"5.6")})})}))},
      {"surrogates.exe",
       BuildPe(false, VersionInfo({Node(
                          u"StringFileInfo", 1, 0, {},
                          {StringTable(u"040904e4", {StringValue(u"FileVersion",
                                                                 u"\u20AC\u00E9\U0001F600")})})}))},
  };
}

// ---------------------------------------------------------------------------

TEST(PeVersion, ReadsFileVersionOfPe32AndPe32Plus) {
  EXPECT_EQ(Read(BuildPe(false, StandardVersionInfo())), "1.2.3.4");
  EXPECT_EQ(Read(BuildPe(true, StandardVersionInfo())), "1.2.3.4");
  EXPECT_EQ(Read(BuildPe(true, StandardVersionInfo()), "ProductName"), "Tessaline");
  EXPECT_EQ(Read(BuildPe(false, StandardVersionInfo()), "fileVERSION"), "1.2.3.4");
  EXPECT_EQ(Read(BuildPe(false, StandardVersionInfo()), "Comments"), std::nullopt);
  EXPECT_EQ(Read(BuildPe(false, StandardVersionInfo()), "FileVersio"), std::nullopt);
}

TEST(PeVersion, ReadsThroughTheFileRoutine) {
  test::TScratchDir scratch;
  const std::string path = scratch.File("tool.exe");
  test::WriteFileBytes(path, BuildPe(true, StandardVersionInfo()));
  EXPECT_EQ(GetFileVersionString(path, "FileVersion"), "1.2.3.4");
  EXPECT_EQ(GetFileVersionString(path, "LegalCopyright"), "");
  EXPECT_EQ(GetFileVersionString(scratch.File("missing.exe"), "FileVersion"), "");
  const std::string text = scratch.File("readme.txt");
  test::WriteFileBytes(text, {'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(GetFileVersionString(text, "FileVersion"), "");
}

TEST(PeVersion, UsesTheFirstTranslationOrTheDefault) {
  const auto table = [](const std::u16string& name, const std::u16string& version) {
    return StringTable(name, {StringValue(u"FileVersion", version)});
  };
  const TBytes both_tables = Node(u"StringFileInfo", 1, 0, {},
                                  {table(u"040904e4", u"default"), table(u"040704b0", u"german")});
  EXPECT_EQ(Read(BuildPe(false, VersionInfo({both_tables}))), "default");
  EXPECT_EQ(Read(BuildPe(false, VersionInfo({both_tables, VarFileInfo(0x04B00407)}))), "german");
  // The table named by the translation is the only one looked at.
  const TBytes german_only = Node(u"StringFileInfo", 1, 0, {}, {table(u"040704b0", u"german")});
  EXPECT_EQ(Read(BuildPe(false, VersionInfo({german_only}))), std::nullopt);
}

TEST(PeVersion, ConvertsToWindows1252) {
  const auto version = [](const std::u16string& value) {
    return BuildPe(
        false,
        VersionInfo({Node(u"StringFileInfo", 1, 0, {},
                          {StringTable(u"040904e4", {StringValue(u"FileVersion", value)})})}));
  };
  EXPECT_EQ(Read(version(u"\u20AC \u00E9 \u0178 \u0081")), "\x80 \xE9 \x9F \x81");
  // Missing characters, a pair of surrogates (one character) and lone ones.
  EXPECT_EQ(Read(version(u"\u0100\u0080|\U0001F600|\xD800x\xDC00")), "??|?|?x?");
  EXPECT_EQ(Read(version(std::u16string(300, u'9'))), std::string(255, '9'));
  EXPECT_EQ(Read(version(u"")), "");
}

TEST(PeVersion, ValueEndsAtItsNodeWithoutNul) {
  // A value node of 8 + 2 (key "V") + 2 padding + "abc" without its NUL.
  TBytes value = Node(u"V", 1, 3, Utf16(u"abc"), {});
  EXPECT_EQ(value.size(), 18u);
  const TBytes block =
      VersionInfo({Node(u"StringFileInfo", 1, 0, {}, {StringTable(u"040904e4", {value})})});
  EXPECT_EQ(Read(BuildPe(false, block), "V"), "abc");
}

TEST(PeVersion, RejectsOtherFilesAfterTwoBytes) {
  std::size_t requested = 0;
  TBytes text(1000, 'x');
  TByteSource counting = [&](std::uint64_t offset, void* out, std::size_t count) {
    requested += count;
    if (offset > text.size() || count > text.size() - offset) return false;
    std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(offset), count,
                static_cast<std::uint8_t*>(out));
    return true;
  };
  EXPECT_EQ(ReadPeVersionString(counting, "FileVersion"), std::nullopt);
  EXPECT_EQ(requested, 2u);
  EXPECT_EQ(ReadPeVersionString(nullptr, 0, "FileVersion"), std::nullopt);
  EXPECT_EQ(Read({'M', 'Z'}), std::nullopt);
}

TEST(PeVersion, TruncatedImagesGiveNothing) {
  for (bool pe32_plus : {false, true}) {
    const TBytes pe = BuildPe(pe32_plus, StandardVersionInfo());
    for (std::size_t size = 0; size < pe.size(); ++size) {
      ASSERT_EQ(ReadPeVersionString(pe.data(), size, "FileVersion"), std::nullopt) << size;
    }
  }
}

// Each damage is a single field that a careless reader would trust.
TEST(PeVersion, DamagedHeadersGiveNothing) {
  const TBytes good = BuildPe(false, StandardVersionInfo());
  const std::uint32_t resource_directory = DataDirectoriesOffset(false) + 2 * 8;
  const std::uint32_t section = SectionTableOffset(false);
  const std::uint32_t resources = kSectionFileOffset;
  const std::vector<std::pair<const char*, std::function<void(TBytes&)>>> damages = {
      {"e_lfanew past the end", [](TBytes& pe) { PokeU32(pe, 0x3C, 0x7FFFFFF0); }},
      {"e_lfanew at the top", [](TBytes& pe) { PokeU32(pe, 0x3C, 0xFFFFFFFF); }},
      {"PE signature", [](TBytes& pe) { pe[kPeOffset + 2] = 'X'; }},
      {"section count", [](TBytes& pe) { PokeU16(pe, kCoffOffset + 2, 0xFFFF); }},
      {"no sections", [](TBytes& pe) { PokeU16(pe, kCoffOffset + 2, 0); }},
      {"optional header too short", [](TBytes& pe) { PokeU16(pe, kCoffOffset + 16, 96); }},
      {"optional header magic", [](TBytes& pe) { PokeU16(pe, kOptionalOffset, 0x107); }},
      {"two data directories",
       [](TBytes& pe) { PokeU32(pe, DataDirectoriesOffset(false) - 4, 2); }},
      {"no resources", [=](TBytes& pe) { PokeU32(pe, resource_directory, 0); }},
      {"resources outside the section",
       [=](TBytes& pe) { PokeU32(pe, resource_directory, 0x7FFFF000); }},
      {"raw data past the end", [=](TBytes& pe) { PokeU32(pe, section + 20, 0xFFFFFF00); }},
      {"no version type", [=](TBytes& pe) { PokeU32(pe, resources + 16, 3); }},
      {"version type not a directory", [=](TBytes& pe) { PokeU32(pe, resources + 20, 0x18); }},
      {"entry counts at the maximum",
       [=](TBytes& pe) { PokeU32(pe, resources + kNameDirectory + 12, 0xFFFFFFFF); }},
      {"name level back to the root",
       [=](TBytes& pe) { PokeU32(pe, resources + kNameDirectory + 20, 0x80000000); }},
      {"language level is a directory",
       [=](TBytes& pe) { PokeU32(pe, resources + kLanguageDirectory + 20, 0x80000000); }},
      {"data entry far away",
       [=](TBytes& pe) { PokeU32(pe, resources + kLanguageDirectory + 20, 0x7FFFFFF0); }},
      {"block outside the image", [=](TBytes& pe) { PokeU32(pe, resources + kDataEntry, 0x10); }},
      {"block size zero", [=](TBytes& pe) { PokeU32(pe, resources + kDataEntry + 4, 0); }},
      {"block length under a header",
       [=](TBytes& pe) { PokeU16(pe, resources + kVersionBlock, 5); }},
      {"root key", [=](TBytes& pe) { pe[resources + kVersionBlock + 6] = 'X'; }},
  };
  for (const auto& [what, damage] : damages) {
    TBytes pe = good;
    damage(pe);
    EXPECT_EQ(Read(pe), std::nullopt) << what;
  }
  // Only the bytes needed are read, so a section claiming more than the file
  // holds still gives what is there.
  TBytes oversized = good;
  PokeU32(oversized, section + 16, 0xFFFFFFFF);
  EXPECT_EQ(Read(oversized), "1.2.3.4");
}

TEST(PeVersion, DamagedChildrenStopTheWalk) {
  const auto with_table_child = [](const TBytes& child) {
    return BuildPe(
        false,
        VersionInfo({Node(u"StringFileInfo", 1, 0, {}, {StringTable(u"040904e4", {child})})}));
  };
  TBytes zero_length = StringValue(u"FileVersion", u"1.0");
  PokeU16(zero_length, 0, 0);  // a child that would not advance the walk
  EXPECT_EQ(Read(with_table_child(zero_length)), std::nullopt);
  TBytes too_long = StringValue(u"FileVersion", u"1.0");
  PokeU16(too_long, 0, 0xFFF0);  // reaches past its parent
  EXPECT_EQ(Read(with_table_child(too_long)), std::nullopt);
  TBytes unterminated_key = Node(u"FileVersion", 1, 0, {}, {});
  PokeU16(unterminated_key, 0, 6 + 22);  // ends right before the key's NUL
  unterminated_key.resize(6 + 22);
  EXPECT_EQ(Read(with_table_child(unterminated_key)), std::nullopt);
  // A value length far beyond the node reads only up to the node's end.
  TBytes long_value = StringValue(u"FileVersion", u"1.0");
  PokeU16(long_value, 2, 0xFFFF);
  EXPECT_EQ(Read(with_table_child(long_value)), "1.0");
}

TEST(PeVersion, RandomDamageNeverCrashes) {
  const TBytes good = BuildPe(true, StandardVersionInfo());
  std::mt19937 random(11);
  for (int round = 0; round < 20000; ++round) {
    TBytes pe = good;
    for (int flips = 1 + random() % 4; flips > 0; --flips) {
      pe[random() % pe.size()] = static_cast<std::uint8_t>(random());
    }
    std::optional<std::string> value = Read(pe);
    if (value) {
      EXPECT_LE(value->size(), 255u);
    }
  }
}

// The fuzz seeds are the builder's images; ZORELLZ_REGENERATE_SEEDS=1 rewrites
// them after a change of the builder.
TEST(PeVersionSeeds, MatchTheBuilder) {
  const std::filesystem::path corpus = std::filesystem::path(ZORELLZ_FUZZ_CORPUS_DIR) / "pe_version";
  const bool regenerate = std::getenv("ZORELLZ_REGENERATE_SEEDS") != nullptr;
  for (const auto& [name, bytes] : SeedFiles()) {
    const std::string path = (corpus / name).string();
    if (regenerate) test::WriteFileBytes(path, bytes);
    EXPECT_EQ(test::ReadFileBytes(path), bytes) << name;
  }
}

}  // namespace
}  // namespace zorellz
