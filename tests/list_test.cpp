// Listing through the report function and viewing through the directory.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/DosTime.h"
#include "tests/ArchiveBuilder.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

struct TListed {
  std::int32_t Code;
  TLZReportRec Record;
};

// What the report function was told, and the code it answers 0 to.
std::vector<TListed> listed;
std::int32_t stop_at = INT_MIN;

std::int32_t RecordListing(TLZReportRec& record, std::int32_t code) {
  listed.push_back({code, record});
  return code == stop_at ? 0 : 1;
}

std::vector<std::int32_t> ListedCodes() {
  std::vector<std::int32_t> codes;
  for (const TListed& entry : listed) codes.push_back(entry.Code);
  return codes;
}

int password_asked = 0;
std::int32_t AcceptPassword(const TLZArchiveHeader&, std::int32_t) {
  ++password_asked;
  return kLZPasswordAccepted;
}

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    listed.clear();
    stop_at = INT_MIN;
    password_asked = 0;
  }
  void TearDown() override { LZResetEngineState(); }

  // Help\Data\b.htm, Help\a.txt and root.txt behind the folders Help, Data.
  std::string WriteNestedArchive() {
    TArchiveBuilder builder;
    const int help = builder.AddFolder("Help");
    const int data = builder.AddFolder("Data", help);
    builder.AddFile("b.htm", TBytes(300, 'b'), data);
    builder.AddFile("a.txt", TBytes(20, 'a'), help);
    builder.AddFile("root.txt", TBytes(7, 'r'));
    const std::string name = scratch_.File("nested.lza");
    WriteFileBytes(name, builder.Bytes());
    return name;
  }

  std::string WriteFlatArchive(int files) {
    TArchiveBuilder builder;
    for (int i = 1; i <= files; ++i) builder.AddFile("f" + std::to_string(i), TBytes(10, 'x'));
    const std::string name = scratch_.File("flat.lza");
    WriteFileBytes(name, builder.Bytes());
    return name;
  }

  TScratchDir scratch_;
};

TEST_F(ListingTest, ReportsSummaryEveryEntryWithItsPathAndEnd) {
  const std::string archive = WriteNestedArchive();
  TLZArchiveHeader header;
  EXPECT_EQ(LZListArchive(archive, &header, RecordListing), 5);
  EXPECT_EQ(header.FileCount, 5);
  EXPECT_EQ(header.NamesSize, 4 + 4 + 5 + 5 + 8);
  ASSERT_EQ(ListedCodes(), (std::vector<std::int32_t>{-6, 1, 2, 3, 4, 5, -7}));

  const TLZReportRec& summary = listed[0].Record;
  EXPECT_EQ(summary.FileName, archive);
  EXPECT_EQ(summary.CompressedSize, 327);
  EXPECT_EQ(summary.UncompressedSize, 327);
  EXPECT_EQ(summary.FileAttr, 5);   // the entry count
  EXPECT_EQ(summary.FileCRC, 26u);  // NamesSize
  EXPECT_EQ(summary.ArchiveID, -1);

  EXPECT_EQ(listed[1].Record.FileName, "Help");
  EXPECT_EQ(listed[1].Record.IsFolder, 1);
  EXPECT_EQ(listed[1].Record.FileVersion, "-");
  EXPECT_EQ(listed[2].Record.FileName, "Help\\Data");
  EXPECT_EQ(listed[3].Record.FileName, "Help\\Data\\b.htm");
  EXPECT_EQ(listed[3].Record.UncompressedSize, 300);
  EXPECT_EQ(listed[3].Record.Method, kLZMethodStored);
  EXPECT_EQ(listed[3].Record.ArchiveID, 3);
  EXPECT_EQ(listed[4].Record.FileName, "Help\\a.txt");
  EXPECT_EQ(listed[5].Record.FileName, "root.txt");
  EXPECT_EQ(listed[5].Record.IsFolder, 0);

  // The end names the archive; the rest still describes the last entry.
  EXPECT_EQ(listed[6].Record.FileName, archive);
  EXPECT_EQ(listed[6].Record.UncompressedSize, 7);
  EXPECT_EQ(listed[6].Record.ArchiveID, 5);
}

TEST_F(ListingTest, ZeroAnswerToAnEntryStopsButStillEnds) {
  const std::string archive = WriteFlatArchive(4);
  stop_at = 2;
  EXPECT_EQ(LZListArchive(archive, nullptr, RecordListing), 4);
  EXPECT_EQ(ListedCodes(), (std::vector<std::int32_t>{-6, 1, 2, -7}));
}

TEST_F(ListingTest, ZeroAnswerToSummaryReportsNothingMore) {
  const std::string archive = WriteFlatArchive(3);
  stop_at = kLZReportSummary;
  EXPECT_EQ(LZListArchive(archive, nullptr, RecordListing), 3);
  EXPECT_EQ(ListedCodes(), (std::vector<std::int32_t>{-6}));
}

TEST_F(ListingTest, RefusesWhatCannotBeListed) {
  const std::string archive = WriteFlatArchive(1);
  EXPECT_EQ(LZListArchive(archive, nullptr, nullptr), kLZNoReportFunction);

  const std::string text = scratch_.File("text.txt");
  WriteFileBytes(text, TBytes(200, 't'));
  EXPECT_EQ(LZListArchive(text, nullptr, RecordListing), kLZNotAnArchive);
  EXPECT_EQ(LZListArchive(scratch_.File("missing.lza"), nullptr, RecordListing), kLZNotAnArchive);

  TArchiveBuilder builder;
  builder.AddFile("a.txt", TBytes(5, 'a'));
  TArchiveImage image = builder.Image();
  image.Entries[0].FileDate += 1;  // not covered by the sealed CRC
  WriteFileBytes(archive, image.Bytes());
  EXPECT_EQ(LZListArchive(archive, nullptr, RecordListing), kLZDamagedDirectory);
  EXPECT_TRUE(listed.empty());
}

TEST_F(ListingTest, ProtectedArchiveNeedsTheHookWhichIsAskedAgainNextTime) {
  TArchiveBuilder builder;
  builder.AddFile("a.txt", TBytes(5, 'a'));
  const std::string archive = scratch_.File("protected.lza");
  WriteFileBytes(archive, builder.Protect().Bytes());

  EXPECT_EQ(LZListArchive(archive, nullptr, RecordListing), kLZNotAnArchive);
  LZSetCheckPassWordHook(AcceptPassword);
  EXPECT_EQ(LZListArchive(archive, nullptr, RecordListing), 1);
  EXPECT_EQ(LZListArchive(archive, nullptr, RecordListing), 1);
  EXPECT_EQ(password_asked, 2);
}

// ---- Viewing ----------------------------------------------------------------

struct TViewed {
  std::vector<std::int32_t> Entries;
  std::vector<std::string> Names;
};

TEST_F(ListingTest, ViewingCallsSummaryThenEntriesUntilZeroThenEnd) {
  const std::string archive = WriteNestedArchive();
  TViewed viewed;
  const std::int32_t result =
      LZViewArchive(archive, [&viewed](PZorelLZArchiveHeader directory, std::int32_t entry) {
        viewed.Entries.push_back(entry);
        if (entry >= 1) {
          std::string path;
          LZEntryPath(*directory, entry, path);
          viewed.Names.push_back(path);
        }
        return entry == 3 ? 0 : 1;
      });
  EXPECT_EQ(result, 5);
  EXPECT_EQ(viewed.Entries, (std::vector<std::int32_t>{-6, 1, 2, 3, -7}));
  EXPECT_EQ(viewed.Names, (std::vector<std::string>{"Help", "Help\\Data", "Help\\Data\\b.htm"}));
}

TEST_F(ListingTest, ViewingSkipsEntriesWhenSummaryAnswersZero) {
  const std::string archive = WriteFlatArchive(2);
  std::vector<std::int32_t> entries;
  std::int32_t count = 0;
  EXPECT_EQ(LZViewArchive(archive,
                          [&](PZorelLZArchiveHeader directory, std::int32_t entry) {
                            entries.push_back(entry);
                            count = directory->Count;
                            return 0;
                          }),
            2);
  EXPECT_EQ(entries, (std::vector<std::int32_t>{-6, -7}));
  EXPECT_EQ(count, 2);
}

TEST_F(ListingTest, ViewingRefusesDamagedArchives) {
  const auto never = [](PZorelLZArchiveHeader, std::int32_t) -> std::int32_t {
    ADD_FAILURE() << "view called";
    return 0;
  };
  const std::string text = scratch_.File("text.txt");
  WriteFileBytes(text, TBytes(200, 't'));
  EXPECT_EQ(LZViewArchive(text, never), kLZNotAnArchive);

  TArchiveBuilder builder;
  builder.AddFile("a.txt", TBytes(5, 'a'));
  TArchiveImage image = builder.Image();
  image.Header.DirectoryCRC ^= 1;
  const std::string archive = scratch_.File("damaged.lza");
  WriteFileBytes(archive, image.Bytes());
  EXPECT_EQ(LZViewArchive(archive, never), kLZDamagedDirectory);
  EXPECT_EQ(LZViewArchive(archive, TLZViewProc()), kLZNoReportFunction);
}

// ---- Single entries and the comment ------------------------------------------

class SingleEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    target_ = (scratch_.Path() / "target").string();
  }
  void TearDown() override { LZResetEngineState(); }

  // Help\a.txt, then plain.txt, `comment` (read-only volume label, entry 4),
  // and attr0.txt whose attributes are 0.
  TArchiveImage CommentImage(const std::string& comment) const {
    TArchiveBuilder builder;
    const int help = builder.AddFolder("Help");
    builder.AddFile("a.txt", TBytes(20, 'a'), help);
    builder.AddFile("plain.txt", TBytes(30, 'p'));
    builder.AddFile(comment, comment_text_);
    builder.AddFile("attr0.txt", TBytes(5, '0'));
    TArchiveImage image = builder.Image();
    image.Entries[3].FileAttr = kFaReadOnly | kFaVolumeID;
    image.Entries[4].FileAttr = 0;
    image.SealDirectoryCRC();
    return image;
  }

  std::string Write(const TArchiveImage& image) const {
    const std::string name = scratch_.File("comment.lza");
    WriteFileBytes(name, image.Bytes());
    return name;
  }

  std::string Target(const std::string& name) const { return target_ + "/" + name; }

  TScratchDir scratch_;
  std::string target_;
  const TBytes comment_text_ = RandomBytes(400, 21);
};

TEST_F(SingleEntryTest, ArchiveWithoutCommentGivesZeroAndExtractsNothing) {
  TArchiveImage image = CommentImage("comment.txt");
  image.Entries[3].FileAttr = kFaReadOnly;  // read-only alone is no comment
  image.SealDirectoryCRC();
  const std::string archive = Write(image);
  std::string path = "unchanged";
  EXPECT_EQ(LZExtractComment(archive, target_, &path), 0);
  EXPECT_EQ(path, "unchanged");
  EXPECT_FALSE(std::filesystem::exists(target_));
}

TEST_F(SingleEntryTest, CommentPathNamesTheWrittenFileWhateverItsLength) {
  const std::string name = std::string(196, 'c') + ".txt";
  const std::string archive = Write(CommentImage(name));
  LZSetDearchiveMask("*.htm");
  std::string path;
  EXPECT_EQ(LZExtractComment(archive, target_, &path), 4);
  EXPECT_EQ(test::Slashed(path), test::Slashed(Target(name)));
  EXPECT_TRUE(SameBytes(ReadFileBytes(path), comment_text_));
  // An ordinary file again: neither read-only nor a volume label.
  EXPECT_EQ(GetFileAttributesNative(path) & (kFaReadOnly | kFaVolumeID), 0);
  EXPECT_EQ(LZGetDearchiveMask(), "*.htm");
  // Only the comment was extracted.
  EXPECT_FALSE(std::filesystem::exists(Target("plain.txt")));
}

TEST_F(SingleEntryTest, CommentIsSelectedByItsPositionNotItsStoredNumber) {
  TArchiveImage image = CommentImage("comment.txt");
  image.Entries[3].ArchiveID = 9;
  image.SealDirectoryCRC();
  const std::string archive = Write(image);
  std::string path;
  EXPECT_EQ(LZExtractComment(archive, target_, &path), 4);
  EXPECT_TRUE(SameBytes(ReadFileBytes(Target("comment.txt")), comment_text_));
}

TEST_F(SingleEntryTest, ByNumberTakesTheCommentThatAllFilesSkip) {
  const std::string archive = Write(CommentImage("comment.txt"));
  LZSetDearchiveMask("keep.me");
  EXPECT_EQ(LZExtractArchiveFileByID(archive, target_, 4, true, false), 1);
  EXPECT_TRUE(std::filesystem::exists(Target("comment.txt")));
  EXPECT_EQ(LZGetDearchiveMask(), "keep.me");

  std::filesystem::remove_all(target_);
  EXPECT_EQ(LZExtractArchiveFileByName(archive, target_, "*.*", true, false), 3);
  EXPECT_FALSE(std::filesystem::exists(Target("comment.txt")));
  EXPECT_EQ(LZGetDearchiveMask(), "keep.me");
}

TEST_F(SingleEntryTest, ByNameMatchesThePathInsideTheArchive) {
  const std::string archive = Write(CommentImage("comment.txt"));
  EXPECT_EQ(LZExtractArchiveFileByName(archive, target_, "Help\\a.txt", true, false), 1);
  EXPECT_TRUE(std::filesystem::exists(Target("Help/a.txt")));
  EXPECT_FALSE(std::filesystem::exists(Target("plain.txt")));
  EXPECT_EQ(LZExtractArchiveFileByName(archive, target_, "none", true, false), 0);
}

}  // namespace
}  // namespace zorellz::test
