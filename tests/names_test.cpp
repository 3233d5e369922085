#include <filesystem>
#include <optional>
#include <string>

#include "gtest/gtest.h"
#include "platform/Names.h"

namespace zorellz {
namespace {

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(Cp1252, MapsTheHighBytesOfWindows1252) {
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");      // Y with diaeresis
  EXPECT_EQ(Cp1252ToUtf8("\xE9"), "\xC3\xA9");      // e acute, as in Latin-1
  // The unassigned bytes stand for the C1 control of the same value.
  for (const char* byte : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"}) {
    const std::string expected = {'\xC2', byte[0]};
    EXPECT_EQ(Cp1252ToUtf8(byte), expected);
  }
}

TEST(Cp1252, RefusesTextItCannotHold) {
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(Utf8ToCp1252(""), "");
  EXPECT_EQ(Utf8ToCp1252("\xC4\x81"), std::nullopt);            // a with macron, U+0101
  EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), std::nullopt);            // U+0080: 0x80 is the euro
  EXPECT_EQ(Utf8ToCp1252("ok\xF0\x9F\x98\x80"), std::nullopt);  // outside the BMP
}

TEST(Cp1252, RefusesMalformedUtf8) {
  for (const char* bad : {
           "\x80",              // stray continuation byte
           "a\xC3",             // truncated sequence
           "\xC3(",             // continuation byte missing
           "\xC0\xAF",          // overlong '/'
           "\xE0\x80\xAF",      // overlong '/' in three bytes
           "\xED\xA0\x80",      // surrogate
           "\xF4\x90\x80\x80",  // beyond U+10FFFF
           "\xFF",              // never valid
       }) {
    EXPECT_EQ(Utf8ToCp1252(bad), std::nullopt) << testing::PrintToString(std::string(bad));
  }
}

TEST(AsciiCase, UpperCasesOnlyAToZ) {
  EXPECT_EQ(UpperCaseAscii("readme.txt"), "README.TXT");
  EXPECT_EQ(UpperCaseAscii("\xE9\xFF\x9A{`"), "\xE9\xFF\x9A{`");
  EXPECT_TRUE(SameTextAscii("Data.IDX", "DATA.idx"));
  EXPECT_FALSE(SameTextAscii("\xE9", "\xC9"));  // e/E acute differ
  EXPECT_FALSE(SameTextAscii("abc", "abcd"));
  EXPECT_TRUE(SameTextAscii("", ""));
}

TEST(ArchivePath, ConvertsSeparatorsAndText) {
  EXPECT_EQ(ArchivePathToNative("Help\\Data\\caf\xE9.htm"),
            std::filesystem::path("Help/Data/caf\xC3\xA9.htm"));
  EXPECT_EQ(NativeToArchivePath("Help/Data/caf\xC3\xA9.htm"), "Help\\Data\\caf\xE9.htm");
  EXPECT_EQ(NativeToArchivePath("plain"), "plain");
}

TEST(ArchivePath, RefusesUnrepresentableNativeNames) {
  EXPECT_EQ(NativeToArchivePath("dir/\xC4\x81.txt"), std::nullopt);
  EXPECT_EQ(NativeToArchivePath("dir/bad\xFF"), std::nullopt);
  // A backslash is an ordinary character on disk but a separator inside.
  EXPECT_EQ(NativeToArchivePath("a\\b"), std::nullopt);
}

TEST(ArchivePath, RoundTripsEveryByteOfAName) {
  std::string name;
  for (int b = 1; b < 256; ++b) {
    if (b != '/' && b != '\\') name += static_cast<char>(b);
  }
  const std::string archive = "Folder\\" + name;
  EXPECT_EQ(NativeToArchivePath(ArchivePathToNative(archive)), archive);
}

TEST(PathText, ExpandFileNameIsAbsoluteAndNormal) {
  EXPECT_EQ(ExpandFileName("/a/b/../c/"), "/a/c");
  EXPECT_EQ(ExpandFileName("/a/./b//c"), "/a/b/c");
  EXPECT_EQ(ExpandFileName("/"), "/");
  EXPECT_EQ(ExpandFileName("/.."), "/");
  EXPECT_EQ(ExpandFileName("x"), (std::filesystem::current_path() / "x").string());
  EXPECT_EQ(ExpandFileName(""), "");
}

TEST(PathText, SplitsNamePathAndExtension) {
  EXPECT_EQ(ExtractFileName("/a/b.txt"), "b.txt");
  EXPECT_EQ(ExtractFileName("name"), "name");
  EXPECT_EQ(ExtractFileName("/a/"), "");
  EXPECT_EQ(ExtractFilePath("/a/b.txt"), "/a/");
  EXPECT_EQ(ExtractFilePath("b.txt"), "");
  EXPECT_EQ(ExtractFileExt("x.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("/a.d/b"), "");  // the dot belongs to the folder
  EXPECT_EQ(ExtractFileExt("a."), ".");
  EXPECT_EQ(ExtractFileExt(""), "");
}

TEST(PathText, ChangeFileExtReplacesOrAppends) {
  EXPECT_EQ(ChangeFileExt("f.txt", ".bak"), "f.bak");
  EXPECT_EQ(ChangeFileExt("/a.d/b", ".x"), "/a.d/b.x");
  EXPECT_EQ(ChangeFileExt("f.txt", ""), "f");
  EXPECT_EQ(ChangeFileExt("a.b.c", ".z"), "a.b.z");
}

}  // namespace
}  // namespace zorellz
