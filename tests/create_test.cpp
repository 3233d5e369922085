// Building archives: what each input becomes, the directory and trailer as
// written, the reports, and what is left behind when a build fails.  Every
// archive is read back through tests/ArchiveCheck.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "archive/engine/CreateCollect.h"
#include "archive/engine/EngineState.h"
#include "tests/ArchiveBuilder.h"
#include "tests/ArchiveCheck.h"
#include "platform/Folder.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;
using test::TCheckedArchive;

TBytes Text(std::size_t size) {
  static const std::string kWords = "the quick brown fox jumps over the lazy dog; ";
  TBytes bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>(kWords[i % kWords.size()]);
  return bytes;
}

TBytes WithMagic(TBytes bytes, const TBytes& magic) {
  std::copy(magic.begin(), magic.end(), bytes.begin());
  return bytes;
}

// ---- Report and hook recorders (the engine takes plain functions) ----

struct TReportCall {
  std::int32_t Code;
  TLZReportRec Record;
};
std::vector<TReportCall> report_calls;
std::int32_t throw_at_code = 0;  // 0: never throw
std::string delete_at_summary;   // a file removed once the directory is written

std::int32_t RecordReport(TLZReportRec& record, std::int32_t code) {
  report_calls.push_back({code, record});
  if (code == kLZReportSummary && !delete_at_summary.empty()) fs::remove(delete_at_summary);
  if (throw_at_code != 0 && code == throw_at_code) throw std::runtime_error("report failed");
  return 1;
}

std::vector<std::pair<std::string, TLZSkipReason>> skipped;

std::int32_t ProtectArchive(TLZArchiveHeader&) {
  return kLZPasswordProtect;
}
std::int32_t AcceptPassword(const TLZArchiveHeader&, std::int32_t) {
  return kLZPasswordAccepted;
}

class CreateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    report_calls.clear();
    throw_at_code = 0;
    delete_at_summary.clear();
    skipped.clear();
    LZSetSkippedInputHook(
        [](const std::string& path, TLZSkipReason reason) { skipped.emplace_back(path, reason); });
    fs::create_directory(In());
  }
  void TearDown() override { LZResetEngineState(); }

  std::string In() const { return scratch_.File("in"); }
  std::string In(const std::string& name) const { return scratch_.File("in/" + name); }
  std::string Out() const { return scratch_.File("out.lza"); }
  void Put(const std::string& name, const TBytes& bytes) { test::WriteFileBytes(In(name), bytes); }

  std::int32_t Create(TLZCompressionChoices level, const std::string& mask = "*",
                      TLZReportProc report = nullptr) {
    return LZCreateArchive(In() + "/" + mask, Out(), LZNoRecurse, level, report);
  }

  TCheckedArchive ReadBack(const std::string& path, std::int32_t offset = 0) {
    TCheckedArchive archive;
    EXPECT_TRUE(test::CheckArchive(path, archive, offset));
    return archive;
  }

  test::TScratchDir scratch_;
};

// ---- What each input becomes ---------------------------------------------------

TEST_F(CreateTest, RoundTripsEveryLevel) {
  Put("text.txt", Text(20000));
  Put("random.bin", test::RandomBytes(5000, 7));
  Put("empty.dat", {});
  const struct {
    TLZCompressionChoices Level;
    std::uint8_t TextMethod;
  } kLevels[] = {{LZNoCompression, kLZMethodStored},
                 {LZFastCompression, kLZMethodLZSS},
                 {LZMaxCompression, kLZMethodLZH}};
  for (const auto& level : kLevels) {
    SCOPED_TRACE(static_cast<int>(level.Level));
    ASSERT_EQ(Create(level.Level), 3);
    const TCheckedArchive archive = ReadBack(Out());
    ASSERT_EQ(archive.Entries.size(), 3u);
    const test::TCheckedEntry* text = archive.Find("text.txt");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Entry.Method, level.TextMethod);
    EXPECT_EQ(text->Entry.Compressed, level.Level == LZNoCompression ? 0 : 1);
    EXPECT_TRUE(test::SameBytes(text->Data, Text(20000)));
    EXPECT_TRUE(test::SameBytes(archive.Find("random.bin")->Data, test::RandomBytes(5000, 7)));
    EXPECT_EQ(archive.Find("empty.dat")->Entry.Method, kLZMethodStored);
  }
}

// The archive is flushed once before it takes its name, and only in the
// durable mode (the default of embedders).
TEST_F(CreateTest, ArchiveIsFlushedOnlyWhenDurable) {
  Put("a.txt", test::Text("a"));
  Put("b.txt", test::Text("b"));
  for (const bool durable : {true, false}) {
    TLZContext context;
    context.Durable = durable;
    const std::uint64_t before = SyncCallCount();
    ASSERT_EQ(LZCreateArchive(context, In() + "/*", Out(), LZNoRecurse, LZNoCompression, nullptr),
              2);
    EXPECT_EQ(SyncCallCount() - before, durable ? 1u : 0u);
  }
}

TEST_F(CreateTest, ClassifiesBySizeAndLeadingBytes) {
  const struct {
    const char* Name;
    TBytes Bytes;
    std::uint8_t Expected;
  } kCases[] = {
      {"short.txt", Text(99), 8},
      {"text.txt", Text(100), 1},
      {"zip.bin", WithMagic(Text(100), {0x50, 0x4B}), 2},
      {"arj.bin", WithMagic(Text(100), {0x60, 0xEA}), 7},
      {"lh.bin", WithMagic(Text(100), {'-', 'x', 'x', 0x6C, 0x68}), 5},
      {"zoo.bin", WithMagic(Text(100), {0x5A, 0x4F, 0x4F}), 3},
      {"arc.bin", WithMagic(Text(100), {0x1A, 0x08}), 4},
      {"pak.bin", WithMagic(Text(100), {0x1A, 0x0B}), 6},
      {"half.bin", WithMagic(Text(100), {0x50, 0x00}), 1},  // both bytes must agree
  };
  for (const auto& c : kCases) {
    Put(c.Name, c.Bytes);
    EXPECT_EQ(LZClassifyInput(In(c.Name), false), c.Expected) << c.Name;
  }
  EXPECT_EQ(LZClassifyInput(In("text.txt"), true), 10);
  EXPECT_EQ(LZClassifyInput(In("missing.txt"), false), 0);
}

TEST_F(CreateTest, StoreListMatchesUpperCaseExtensionsAnywhere) {
  for (const char* name : {"DATA.ZIP", "data.zip", "X.AR", "a.z", "README", "x.", "x.txt"}) {
    Put(name, Text(200));
  }
  EXPECT_EQ(LZClassifyInput(In("DATA.ZIP"), false), 9);
  EXPECT_EQ(LZClassifyInput(In("data.zip"), false), 9);  // the name is upper-cased
  EXPECT_EQ(LZClassifyInput(In("X.AR"), false), 9);      // inside ".ARC"
  EXPECT_EQ(LZClassifyInput(In("a.z"), false), 9);
  EXPECT_EQ(LZClassifyInput(In("README"), false), 1);  // no extension never matches
  EXPECT_EQ(LZClassifyInput(In("x.txt"), false), 1);

  LZSetExtensionsToStore(".ZIP");
  EXPECT_EQ(LZClassifyInput(In("a.z"), false), 9);  // ".Z" inside ".ZIP"
  LZSetExtensionsToStore(".zip|.txt");
  EXPECT_EQ(LZClassifyInput(In("DATA.ZIP"), false), 1);  // lower-case entries never match
  EXPECT_EQ(LZClassifyInput(In("x.txt"), false), 1);
}

TEST_F(CreateTest, StoresWhatWouldNotShrinkEvenAtMaxLevel) {
  Put("DATA.ZIP", Text(1000));
  Put("short.txt", Text(99));
  Put("pk.bin", WithMagic(Text(100), {0x50, 0x4B}));
  Put("text.txt", Text(100));
  ASSERT_EQ(Create(LZMaxCompression), 4);
  const TCheckedArchive archive = ReadBack(Out());
  for (const char* name : {"DATA.ZIP", "short.txt", "pk.bin"}) {
    const test::TCheckedEntry* entry = archive.Find(name);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_EQ(entry->Entry.Method, kLZMethodStored) << name;
    EXPECT_EQ(entry->Entry.Compressed, 0) << name;
    EXPECT_EQ(entry->Entry.CompressedSize, entry->Entry.UncompressedSize) << name;
  }
  EXPECT_EQ(archive.Find("text.txt")->Entry.Method, kLZMethodLZH);
  EXPECT_EQ(archive.Find("text.txt")->Entry.Compressed, 1);
}

TEST_F(CreateTest, StoresAnArchiveGivenAsInput) {
  Put("a.txt", Text(5000));
  ASSERT_EQ(Create(LZMaxCompression), 1);
  fs::rename(Out(), In("inner.dat"));  // no listed extension: recognised by its header
  ASSERT_EQ(Create(LZMaxCompression), 2);
  const TCheckedArchive archive = ReadBack(Out());
  const test::TCheckedEntry* inner = archive.Find("inner.dat");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Entry.Method, kLZMethodStored);
  EXPECT_TRUE(test::SameBytes(inner->Data, test::ReadFileBytes(In("inner.dat"))));
}

// ---- Single compressed files taken over ----------------------------------------

TEST_F(CreateTest, TakesOverSingleCompressedFile) {
  const std::string source = scratch_.File("report.txt");
  test::WriteFileBytes(source, Text(7000));
  ASSERT_GT(LZCompressFile(source, In("report.tx~"), nullptr, LZFastCompression, nullptr), 0);
  ASSERT_EQ(Create(LZMaxCompression), 1);
  const TCheckedArchive archive = ReadBack(Out());
  const test::TCheckedEntry* entry = archive.Find("report.tx~");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Entry.Method, kLZMethodLZSS);  // not compressed again
  EXPECT_EQ(entry->Entry.Compressed, 1);
  EXPECT_EQ(entry->Entry.UncompressedSize, 7000);
  EXPECT_EQ(entry->Entry.FileCRC, CRC32Of(Text(7000).data(), 7000));
  EXPECT_EQ(entry->Entry.CompressedSize,
            static_cast<std::int32_t>(fs::file_size(In("report.tx~")) - 257));
  EXPECT_TRUE(test::SameBytes(entry->Data, Text(7000)));
}

// Inputs up to kLZSmallInput bytes are written from the bytes read when
// they were collected, larger ones through their file: both give the same
// entries, taken-over compressed files included, whatever the level.
TEST_F(CreateTest, HeldAndReadInputsGiveTheSameEntries) {
  const std::int64_t sizes[] = {kLZSmallInput, kLZSmallInput + 1};
  for (const std::int64_t size : sizes) {
    const std::string name = "t" + std::to_string(size);
    Put(name + ".txt", Text(static_cast<std::size_t>(size)));
    const std::string source = scratch_.File(name + ".src");
    // A compressed file of about `size` bytes, taken over as it is.
    test::WriteFileBytes(source, test::RandomBytes(static_cast<std::size_t>(size) - 300, 5));
    ASSERT_GT(LZCompressFile(source, In(name + ".tx~"), nullptr, LZFastCompression, nullptr), 0);
  }
  for (const TLZCompressionChoices level : {LZNoCompression, LZFastCompression, LZMaxCompression}) {
    ASSERT_EQ(Create(level), 4) << level;
    const TCheckedArchive archive = ReadBack(Out());
    for (const std::int64_t size : sizes) {
      const std::string name = "t" + std::to_string(size);
      const TBytes text = Text(static_cast<std::size_t>(size));
      const test::TCheckedEntry* plain = archive.Find(name + ".txt");
      ASSERT_NE(plain, nullptr);
      EXPECT_EQ(plain->Entry.FileCRC, CRC32Of(text.data(), text.size()));
      EXPECT_TRUE(test::SameBytes(plain->Data, text)) << name << " level " << level;
      const test::TCheckedEntry* taken = archive.Find(name + ".tx~");
      ASSERT_NE(taken, nullptr);
      EXPECT_EQ(taken->Entry.CompressedSize,
                static_cast<std::int32_t>(fs::file_size(In(name + ".tx~")) - 257));
      EXPECT_TRUE(test::SameBytes(taken->Data, test::ReadFileBytes(scratch_.File(name + ".src"))));
    }
  }
}

// A header that announces more data than the file holds, or none, must not
// make later entries shift: such a file is stored as it is.
TEST_F(CreateTest, StoresSingleCompressedFileWhoseSizeIsWrong) {
  const std::string source = scratch_.File("report.txt");
  test::WriteFileBytes(source, Text(7000));
  ASSERT_GT(LZCompressFile(source, In("a_short.tx~"), nullptr, LZFastCompression, nullptr), 0);
  TBytes cut = test::ReadFileBytes(In("a_short.tx~"));
  cut.resize(cut.size() - 10);
  test::WriteFileBytes(In("a_short.tx~"), cut);
  TLZFileHeader header = test::DefaultFileHeader("empty.txt");
  header.CompressedSize = 0;
  const TBytes zero_sized = test::SingleFileBytes(header, TBytes(40, 'x'));
  Put("b_zero.tx~", zero_sized);
  Put("c_after.txt", Text(3000));

  ASSERT_EQ(Create(LZMaxCompression), 3);
  const TCheckedArchive archive = ReadBack(Out());
  const test::TCheckedEntry* shortened = archive.Find("a_short.tx~");
  ASSERT_NE(shortened, nullptr);
  EXPECT_EQ(shortened->Entry.Method, kLZMethodStored);
  EXPECT_EQ(shortened->Entry.Compressed, 0);
  EXPECT_TRUE(test::SameBytes(shortened->Data, cut));
  EXPECT_TRUE(test::SameBytes(archive.Find("b_zero.tx~")->Data, zero_sized));
  EXPECT_TRUE(test::SameBytes(archive.Find("c_after.txt")->Data, Text(3000)));
}

// A taken-over header may claim any size; the header totals must still fit
// in 32 bits, so what would pass them is left out as an empty entry.
TEST_F(CreateTest, LeavesOutWhatWouldTakeTotalsPastTwoGigabytes) {
  TLZFileHeader header = test::DefaultFileHeader("huge.bin");
  header.UncompressedSize = 0x7FFFFF00;
  header.CompressedSize = 16;
  header.Method = kLZMethodLZSS;
  Put("a_huge.bi~", test::SingleFileBytes(header, TBytes(16, 0xFF)));
  Put("b_text.txt", Text(1000));
  ASSERT_EQ(Create(LZFastCompression), 1);

  TZorelLZArchiveHeader directory;
  ASSERT_EQ(LZLoadDirectory(Out(), directory), 0);
  EXPECT_EQ(directory.Header.TotalUncompressed, 0x7FFFFF00);
  const TLZFileEntry& left_out = directory.Entry(2);
  EXPECT_EQ(left_out.UncompressedSize, 0);
  EXPECT_EQ(left_out.CompressedSize, 0);
  EXPECT_EQ(left_out.FileCRC, 0u);
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(test::Slashed(skipped[0].first), test::Slashed(In("b_text.txt")));
  EXPECT_EQ(skipped[0].second, TLZSkipReason::kTooLarge);
  EXPECT_EQ(fs::file_size(Out()), 126u + 2 * 41 + 10 + 10 + 16 + 83);
}

// ---- The archive never reads itself --------------------------------------------

TEST_F(CreateTest, NeverAddsTheArchiveToItself) {
  Put("a.txt", Text(400));
  const std::string inside = In("self.lza");
  ASSERT_EQ(LZCreateArchive(In() + "/*", inside, LZNoRecurse, LZMaxCompression, nullptr), 1);
  // Once more over the old archive, and through a hard link to it.
  fs::create_hard_link(inside, In("link.lza"));
  ASSERT_EQ(LZCreateArchive(In() + "/*", inside, LZNoRecurse, LZMaxCompression, nullptr), 1);
  const TCheckedArchive archive = ReadBack(inside);
  ASSERT_EQ(archive.Entries.size(), 1u);
  EXPECT_EQ(archive.Entries[0].Path, "a.txt");
}

TEST_F(CreateTest, RefusesMaskThatIsTheArchive) {
  Put("a.txt", Text(10));
  try {
    LZCreateArchive(In("a.txt"), In("a.txt"), LZNoRecurse, LZMaxCompression, nullptr);
    FAIL() << "no exception";
  } catch (const EZorelLZArchive& error) {
    EXPECT_EQ(error.MessageId, kMsgSameInputOutput);
  }
  try {
    LZCreateArchive("", Out(), LZNoRecurse, LZMaxCompression, nullptr);
    FAIL() << "no exception";
  } catch (const EZorelLZError& error) {
    EXPECT_EQ(error.MessageId, kMsgInvalidParameters);
  }
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(In("a.txt")), Text(10)));
  EXPECT_FALSE(fs::exists(Out()));
}

// ---- Directory and trailer -----------------------------------------------------

// The trailer ends a plain archive too, with offset 0 (ReadBack checks it).
TEST_F(CreateTest, EmptyMatchWritesHeaderAndTrailerOnly) {
  Put("a.txt", Text(10));
  ASSERT_EQ(Create(LZMaxCompression, "*.DAT"), 0);
  const TCheckedArchive archive = ReadBack(Out());
  EXPECT_EQ(archive.Header.FileCount, 0);
  EXPECT_TRUE(archive.Entries.empty());
  EXPECT_EQ(archive.Trailer.Protection, 0);
  EXPECT_EQ(archive.Header.PartCount, 0);
}

TEST_F(CreateTest, WritesLongNamesWhole) {
  const std::string longest(255, 'n');
  Put(longest, Text(150));
  ASSERT_EQ(Create(LZFastCompression), 1);
  const TCheckedArchive archive = ReadBack(Out());
  ASSERT_EQ(archive.Entries.size(), 1u);
  EXPECT_EQ(archive.Entries[0].Path, longest);
  EXPECT_EQ(archive.Entries[0].Entry.NameLength, 255);
}

// Names areas from 261,120 bytes on are written name by name.
TEST_F(CreateTest, WritesLargeNamesArea) {
  constexpr int kFiles = 1025;  // 1,025 names of 255 bytes: 261,375 bytes
  for (int i = 0; i < kFiles; ++i) {
    std::string name = std::to_string(i);
    name.append(255 - name.size(), 'x');
    Put(name, {static_cast<std::uint8_t>(i)});
  }
  ASSERT_EQ(Create(LZNoCompression), kFiles);
  const TCheckedArchive archive = ReadBack(Out());
  EXPECT_EQ(archive.Header.NamesSize, kFiles * 255);
  EXPECT_GE(archive.Header.NamesSize, kLZNamesBlockLimit);
  const test::TCheckedEntry* entry = archive.Find("1024" + std::string(251, 'x'));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Data, TBytes{static_cast<std::uint8_t>(1024)});
}

TEST_F(CreateTest, KeepsFoldersOfTheWalk) {
  fs::create_directories(In("sub/deeper"));
  Put("top.txt", Text(200));
  Put("sub/deeper/low.txt", Text(300));
  ASSERT_EQ(LZCreateArchive(In() + "/*", Out(), LZFullRecurse, LZMaxCompression, nullptr), 2);
  const TCheckedArchive archive = ReadBack(Out());
  ASSERT_NE(archive.Find("sub\\deeper\\low.txt"), nullptr);
  EXPECT_TRUE(test::SameBytes(archive.Find("sub\\deeper\\low.txt")->Data, Text(300)));
  EXPECT_EQ(archive.Find("sub")->Entry.Method, kLZMethodFolder);
}

// ---- LZWriteDirectory against the layout -----------------------------------------

// A folder, a file at the root, and in the folder a file whose scrambled name
// holds a zero byte (0xFC gains 4) and one long enough for the amounts to wrap.
test::TArchiveImage SampleImage() {
  test::TArchiveBuilder builder;
  const int folder = builder.AddFolder("Help");
  builder.AddFile("a.txt", Text(5));
  builder.AddFile(
      "\xFC"
      "b",
      Text(7), folder);
  builder.AddFile(std::string(253, 'w'), Text(3), folder);
  return builder.Image();
}

std::unique_ptr<TZorelLZArchiveHeader> DirectoryOf(const test::TArchiveImage& image) {
  std::unique_ptr<TZorelLZArchiveHeader> directory;
  LZAllocDirectory(directory, static_cast<std::int32_t>(image.Entries.size()));
  directory->Entries = image.Entries;
  directory->Names = image.Names;
  directory->Header.Trailer = image.Header.Trailer;
  return directory;
}

TEST(WriteDirectory, WritesHeaderEntriesAndScrambledNamesAsLaidOut) {
  test::TScratchDir scratch;
  const test::TArchiveImage image = SampleImage();
  const TBytes expected = image.Bytes();
  for (const bool with_header : {true, false}) {
    SCOPED_TRACE(with_header);
    std::unique_ptr<TZorelLZArchiveHeader> directory = DirectoryOf(image);
    TLZArchiveHeader header;
    header.Signature = LZArchiveSignature();
    header.FileCount = directory->Count;
    TFile file;
    ASSERT_TRUE(file.Open(scratch.File("dir"), TFile::TMode::kCreateTruncate));
    ASSERT_EQ(LZWriteDirectory(file, *directory, header, with_header), 0);
    file.Close();
    const std::size_t from = with_header ? 0 : image.EntriesOffset();
    EXPECT_TRUE(test::SameBytes(
        test::ReadFileBytes(scratch.File("dir")),
        TBytes(expected.begin() + static_cast<std::ptrdiff_t>(from),
               expected.begin() + static_cast<std::ptrdiff_t>(image.DataOffset()))));
    if (with_header) {
      EXPECT_EQ(header, image.Header);
    }
  }
}

TEST(WriteDirectory, FailedWriteGivesMinusSeven) {
  test::TScratchDir scratch;
  test::WriteFileBytes(scratch.File("dir"), {});
  const test::TArchiveImage image = SampleImage();
  std::unique_ptr<TZorelLZArchiveHeader> directory = DirectoryOf(image);
  TLZArchiveHeader header;
  TFile read_only;
  ASSERT_TRUE(read_only.Open(scratch.File("dir"), TFile::TMode::kReadDenyWrite));
  EXPECT_EQ(LZWriteDirectory(read_only, *directory, header, true), kLZWriteDirectoryFailed);
  EXPECT_EQ(LZWriteDirectory(read_only, *directory, header, false), kLZWriteDirectoryFailed);
}

// ---- Protection ----------------------------------------------------------------

TEST_F(CreateTest, SetPasswordHookMarksArchiveProtected) {
  Put("a.txt", Text(300));
  LZSetPassWordHook(ProtectArchive);
  LZEngine().ProtectionAnswer = kLZPasswordAccepted;
  ASSERT_EQ(Create(LZMaxCompression), 1);
  EXPECT_EQ(LZEngine().ProtectionAnswer, -1);  // reset after the operation

  TZorelLZArchiveHeader directory;
  EXPECT_EQ(LZLoadDirectory(Out(), directory), kLZNoFile);  // protected, no answer
  LZSetCheckPassWordHook(AcceptPassword);
  const TCheckedArchive archive = ReadBack(Out());
  EXPECT_EQ(archive.Trailer.Protection, kLZProtectedMarker);
  EXPECT_EQ(archive.Trailer.RunCommand, test::DefaultTrailer(0).RunCommand);
  EXPECT_EQ(archive.Trailer.Reserved, test::DefaultTrailer(0).Reserved);
}

// ---- Reports -------------------------------------------------------------------

std::string CodeSequence() {
  std::string sequence;
  for (const TReportCall& call : report_calls) {
    sequence += call.Code >= 0 ? std::string("n") : std::to_string(call.Code);
    sequence += ' ';
  }
  return sequence;
}

TEST_F(CreateTest, ReportsInOrderWithRecordContents) {
  Put("a.txt", Text(5000));
  Put("b.txt", Text(99));  // stored
  ASSERT_EQ(Create(LZMaxCompression, "*", RecordReport), 2);
  const TCheckedArchive archive = ReadBack(Out());
  EXPECT_EQ(CodeSequence(), "-5 -6 -1 n -2 -1 n -2 -7 ");

  const TLZReportRec& begins = report_calls.front().Record;
  EXPECT_EQ(begins.FileName, Out());
  EXPECT_EQ(begins.CompressedSize, -1);
  EXPECT_EQ(begins.UncompressedSize, -1);
  EXPECT_EQ(begins.FileAttr, -1);
  EXPECT_EQ(begins.FileCRC, 0xFFFFFFFFu);

  const TLZReportRec& summary = report_calls[1].Record;
  EXPECT_EQ(summary.FileName, Out());
  EXPECT_EQ(summary.FileAttr, 2);
  EXPECT_EQ(summary.CompressedSize, 5099);  // provisional: the files' sizes
  EXPECT_EQ(summary.UncompressedSize, 5099);
  EXPECT_EQ(summary.FileCRC, 10u);

  const TLZReportRec& first = report_calls[2].Record;
  EXPECT_EQ(test::Slashed(first.FileName), test::Slashed(In("a.txt")));
  EXPECT_EQ(first.UncompressedSize, 5000);
  EXPECT_EQ(first.FileCRC, CRC32Of(Text(5000).data(), 5000));
  EXPECT_EQ(first.ArchiveID, 1);
  EXPECT_EQ(report_calls[3].Code, 5000);  // every input byte, read in one chunk
  const TLZReportRec& done = report_calls[4].Record;
  EXPECT_TRUE(done.FileName.empty());
  EXPECT_EQ(done.CompressedSize, archive.Find("a.txt")->Entry.CompressedSize);

  const TLZReportRec& finished = report_calls.back().Record;
  EXPECT_EQ(finished.FileName, Out());
  EXPECT_EQ(finished.FileAttr, 2);
  EXPECT_EQ(finished.CompressedSize, archive.Header.TotalCompressed);
  EXPECT_EQ(finished.UncompressedSize, 5099);
  EXPECT_EQ(finished.FileCRC, 10u);
}

// ---- Failures ------------------------------------------------------------------

TEST_F(CreateTest, FailureLeavesExistingArchiveUntouched) {
  Put("a.txt", Text(2000));
  const TBytes old_bytes = Text(321);
  test::WriteFileBytes(Out(), old_bytes);
  const std::vector<std::string> names_before = scratch_.Names();

  throw_at_code = kLZReportFileBegins;
  EXPECT_THROW(Create(LZMaxCompression, "*", RecordReport), std::runtime_error);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Out()), old_bytes));
  EXPECT_EQ(scratch_.Names(), names_before);

  test::WriteFileBytes(scratch_.File("list.txt"), Text(40));  // names no file
  try {
    LZCreateArchive("/F=" + scratch_.File("list.txt"), Out(), LZNoRecurse, LZMaxCompression,
                    nullptr);
    FAIL() << "no exception";
  } catch (const EZorelLZArchive& error) {
    EXPECT_EQ(error.MessageId, kMsgNoValidListFileName);
  }
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Out()), old_bytes));
}

TEST_F(CreateTest, InputThatCannotBeOpenedBecomesEmptyEntry) {
  Put("a.txt", Text(2000));
  Put("b.txt", Text(3000));
  delete_at_summary = In("a.txt");
  ASSERT_EQ(Create(LZMaxCompression, "*", RecordReport), 1);
  const TCheckedArchive archive = ReadBack(Out());
  const test::TCheckedEntry* gone = archive.Find("a.txt");
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(gone->Entry.UncompressedSize, 0);
  EXPECT_EQ(gone->Entry.Compressed, 0);
  EXPECT_EQ(gone->Entry.FileCRC, 0u);
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].second, TLZSkipReason::kCannotOpen);
  EXPECT_EQ(CodeSequence(), "-5 -6 -1 n -2 -7 ");  // nothing reported for it
}

TEST_F(CreateTest, CodecThatCannotBePreparedRaises) {
  Put("a.txt", Text(200));
  ASSERT_TRUE(LZHAcquire());  // another stream holds the codec
  try {
    Create(LZMaxCompression);
    ADD_FAILURE() << "no exception";
  } catch (const EZorelLZError& error) {
    EXPECT_EQ(error.MessageId, kMsgInitFailed);
  }
  EXPECT_TRUE(LZHAcquired());  // not released on the other stream's behalf
  LZHRelease();
  EXPECT_FALSE(fs::exists(Out()));
}

// ---- A header offset in force --------------------------------------------------

TEST_F(CreateTest, HeaderOffsetKeepsTheBytesInFrontOfAnExistingFile) {
  Put("a.txt", Text(700));
  const TBytes front = test::RandomBytes(80, 3);
  test::WriteFileBytes(Out(), front);
  LZSetHeaderOffset(50);
  ASSERT_EQ(Create(LZFastCompression), 1);
  const TBytes written = test::ReadFileBytes(Out());
  EXPECT_TRUE(test::SameBytes(TBytes(written.begin(), written.begin() + 50),
                              TBytes(front.begin(), front.begin() + 50)));
  EXPECT_EQ(LZSetHeaderOffset(-1), 50);
  const TCheckedArchive archive = ReadBack(Out(), 50);
  EXPECT_TRUE(test::SameBytes(archive.Find("a.txt")->Data, Text(700)));

  test::WriteFileBytes(Out(), Text(20));  // shorter than the offset
  EXPECT_EQ(Create(LZFastCompression), kLZNoFile);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Out()), Text(20)));
  fs::remove(Out());
  EXPECT_EQ(Create(LZFastCompression), kLZCannotOpenSFX);
}

}  // namespace
}  // namespace zorellz
