// How the zorellz tool shows entries (the numbers of the overwrite question,
// dates, names that must not steer a terminal) and reads and words the disk
// sizes of a spanned archive.
#include <gtest/gtest.h>

#include <string>

#include "cli/DirectoryText.h"
#include "cli/EntryText.h"
#include "cli/SpanText.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::cli {
namespace {

TEST(EntryText, RatioIsTheShareSavedWithHalvesToEven) {
  EXPECT_EQ(CompressionRatio(400, 1000), 60);
  EXPECT_EQ(CompressionRatio(7, 8), 12);  // 12.5
  EXPECT_EQ(CompressionRatio(5, 8), 38);  // 37.5
  EXPECT_EQ(CompressionRatio(1200, 1000), -20);
  EXPECT_EQ(CompressionRatio(0, 0), 0);
  EXPECT_EQ(CompressionRatio(1000, 1000), 0);
  EXPECT_EQ(CompressionRatio(5, 0), 0);
}

TEST(EntryText, AttributeFlagsAndCrcHaveFixedWidths) {
  EXPECT_EQ(AttributeFlags(0x21), "_R_A");
  EXPECT_EQ(AttributeFlags(0), "____");
  EXPECT_EQ(AttributeFlags(0x27), "HRSA");
  EXPECT_EQ(AttributeFlags(0x18), "____");  // folder and volume label have no letter
  EXPECT_EQ(CrcText(0xABCD), "0000ABCD");
  EXPECT_EQ(CrcText(0xFFFFFFFF), "FFFFFFFF");
}

TEST(EntryText, DosDatesAreCheckedDayByDay) {
  // 29 February 2024 13:45:58: year 44, month 2, day 29; 13 h 45 min 29 * 2 s.
  const std::int32_t leap_day = (44 << 25) | (2 << 21) | (29 << 16) | (13 << 11) | (45 << 5) | 29;
  EXPECT_EQ(DosDateText(leap_day), "2024-02-29 13:45:58");
  EXPECT_EQ(DosDateText(0x00210000), "1980-01-01 00:00:00");
  const std::int32_t not_leap = (43 << 25) | (2 << 21) | (29 << 16);
  EXPECT_EQ(DosDateText(not_leap), "invalid");
  EXPECT_EQ(DosDateText(0), "invalid");  // month 0
  EXPECT_EQ(DosDateText(0x00210000 | (24 << 11)), "invalid");
  EXPECT_EQ(DosDateText(-1), "invalid");  // month 15
}

TEST(EntryText, CommentIsVolumeLabelAndAtMostReadOnly) {
  TLZFileEntry entry;
  for (const std::int32_t attributes : {0x08, 0x09}) {
    entry.FileAttr = attributes;
    EXPECT_TRUE(IsCommentEntry(entry)) << attributes;
  }
  for (const std::int32_t attributes : {0x00, 0x01, 0x20, 0x28, 0x0A}) {
    entry.FileAttr = attributes;
    EXPECT_FALSE(IsCommentEntry(entry)) << attributes;
  }
  entry.FileAttr = 0x08;
  entry.IsFolder = 1;
  EXPECT_FALSE(IsCommentEntry(entry));
}

TEST(EntryText, NamesCannotSteerTheTerminal) {
  EXPECT_EQ(Printable("plain name.txt"), "plain name.txt");
  EXPECT_EQ(Printable("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(Printable("a\x1B[2Jb\r\n\x7F"), "a?[2Jb???");
  EXPECT_EQ(Printable("c1 \xC2\x9B"), "c1 ?");                 // U+009B, the 8-bit CSI
  EXPECT_EQ(Printable("bad \xFF\xC3 \xE2\x82"), "bad ?? ??");  // not UTF-8
  EXPECT_EQ(Printable("\xC0\xAF"), "??");                      // overlong '/'
  EXPECT_EQ(Printable(std::string("nul\0x", 5)), "nul?x");
  // Windows-1252 0x9B is a quotation mark, 0x81 is unassigned (a C1 control).
  EXPECT_EQ(ArchiveText("\x9B\x81"), "\xE2\x80\xBA?");
}

TEST(EntryText, OverwriteQuestionIsTwoLines) {
  TLZReportRec current;
  current.FileName = "/target/report.txt";
  current.UncompressedSize = 1456389;
  current.FileDate = 0x00210000;  // 1980-01-01 00:00:00
  TLZReportRec existing;
  existing.FileName = "/target/report\x1B.txt";
  existing.UncompressedSize = 1;
  existing.FileDate = 0;
  const std::string first = OverwriteQuestionText(current, existing);
  EXPECT_EQ(first,
            "\"/target/report?.txt\" already exists (1 byte, invalid); the new one has "
            "1,456,389 bytes, 1980-01-01 00:00:00.\n");
  const std::string answers = kReplaceChoices;
  EXPECT_EQ(answers.find('\n'), std::string::npos);
  for (const char* choice : {"[y]es", "[n]o", "[a]ll", "[N]one", "[c]ancel"}) {
    EXPECT_NE(answers.find(choice), std::string::npos) << choice;
  }
}

TEST(EntryText, MethodsAreNamedByLevel) {
  EXPECT_EQ(MethodName(kLZMethodStored, false, false), "stored");
  EXPECT_EQ(MethodName(kLZMethodStored, false, true), "fast, stored as is");
  EXPECT_EQ(MethodName(kLZMethodLZSS, false, true), "fast");
  EXPECT_EQ(MethodName(kLZMethodLZH, false, true), "max");
  EXPECT_EQ(MethodName(kLZMethodLZH, true, false), "folder");
  EXPECT_EQ(MethodName(9, false, true), "9");
}

TEST(EntryText, SavedShareIsLabelledAndPathsAreNative) {
  EXPECT_EQ(SavedText(400, 1000), "60% saved");
  EXPECT_EQ(SavedText(1200, 1000), "-20% saved");
  EXPECT_EQ(NativeText("sub\\deeper\\small.txt"), "sub/deeper/small.txt");
  EXPECT_EQ(NativeText("a\x1B\\b"), "a?/b");
}

TEST(SpanText, NamedDisksHaveTheirPartSizes) {
  EXPECT_EQ(DiskSizeByName("1440"), 1456472);
  EXPECT_EQ(DiskSizeByName("720"), 728760);
  EXPECT_EQ(DiskSizeByName("2880"), 2912944);
  EXPECT_EQ(DiskSizeByName("360"), 364380);
  EXPECT_EQ(DiskSizeByName("1200"), 1200000);
  EXPECT_EQ(DiskSizeByName("zip"), 100428415);
  EXPECT_EQ(DiskSizeByName("1441"), std::nullopt);
  EXPECT_EQ(DiskSizeByName("other"), std::nullopt);
  EXPECT_EQ(DiskSizeByName(""), std::nullopt);
}

TEST(SpanText, SizeIsADiskNameOrAPositiveByteCount) {
  // A disk name wins over the same digits read as bytes.
  EXPECT_EQ(ParseSpanSize("1440"), 1456472);
  EXPECT_EQ(ParseSpanSize("360"), 364380);
  EXPECT_EQ(ParseSpanSize("zip"), 100428415);
  EXPECT_EQ(ParseSpanSize("300000"), 300000);
  EXPECT_EQ(ParseSpanSize("1"), 1);
  EXPECT_EQ(ParseSpanSize("01440"), 1440);  // not the name
  EXPECT_EQ(ParseSpanSize("2147483647"), 2147483647);
}

TEST(SpanText, SizeTakesA1024BasedSuffix) {
  EXPECT_EQ(ParseSpanSize("12k"), 12 * 1024);
  EXPECT_EQ(ParseSpanSize("1440k"), 1440 * 1024);  // not the disk type
  EXPECT_EQ(ParseSpanSize("1440K"), 1440 * 1024);
  EXPECT_EQ(ParseSpanSize("100M"), 100 * 1024 * 1024);
  EXPECT_EQ(ParseSpanSize("1g"), 1024 * 1024 * 1024);
  EXPECT_EQ(ParseSpanSize("2G"), 2147483647);  // the largest part there is
  for (const char* text : {"k", "0k", "3G", "2049M", "1.5M", "1T", "1kb", "-1k", "1 k"}) {
    EXPECT_EQ(ParseSpanSize(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(SpanText, SizeRefusesWhatNamesNoDisk) {
  for (const char* text : {"", "0", "000", "-5", "+5", "abc", " 100", "100 ", "1e6", "1.5", "ZIP",
                           "2147483648", "99999999999999999999999"}) {
    EXPECT_EQ(ParseSpanSize(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(SpanText, NumbersAreGroupedByThousands) {
  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(999), "999");
  EXPECT_EQ(GroupedNumber(1000), "1,000");
  EXPECT_EQ(GroupedNumber(1456389), "1,456,389");
  EXPECT_EQ(GroupedNumber(-1234567), "-1,234,567");
}

TEST(SpanText, PromptAndPartsNameTheDisks) {
  EXPECT_EQ(InsertDiskQuestion(2, 3, 1456389, "/backup/"),
            "Insert disk 2 of 3 into /backup/ (needs 1,456,389 bytes free). Continue? [y/n] ");
  EXPECT_EQ(ShortOfSpaceText(1000, 1456389, "/backup/"),
            "only 1,000 bytes free in /backup/, 1,456,389 needed");
  EXPECT_EQ(PartsWrittenBefore(1), "no part was written");
  EXPECT_EQ(PartsWrittenBefore(2), "part 1 was written");
  EXPECT_EQ(PartsWrittenBefore(4), "parts 1..3 were written");
  EXPECT_EQ(PlacementText({"X.LZA"}), "written as one file: X.LZA");
  EXPECT_EQ(PlacementText({"X.LZA", "X.2", "X.3"}), "written as 3 parts: X.LZA, X.2, X.3");
}

// The run command and the span name come from the archive, as names do.
TEST(DirectoryText, InfoShowsTheTrailerTextsHarmlessToTheTerminal) {
  TLZArchiveHeader header;
  header.PartCount = 2;
  header.Trailer.SpanSignature = LZSpanSignature();
  header.Trailer.SpanParts = 2;
  ASSERT_TRUE(header.Trailer.RunCommand.Set(std::string("\x1b[2J\x81run\0ab", 11)));
  header.Trailer.SpanName.Set("\x1b]0;X\x07");
  const std::string text = InfoHeaderText(header);
  EXPECT_NE(text.find("run command         \"?[2J?run\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("made from \"?]0;X?\"\n"), std::string::npos) << text;
  header.Trailer.RunCommand.Set("\xff");
  EXPECT_NE(InfoHeaderText(header).find("run command         (none)"), std::string::npos);
}

}  // namespace
}  // namespace zorellz::cli
