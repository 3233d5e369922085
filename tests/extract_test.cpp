// Extracting archives: selection, overwrite rules, reports, damaged and
// hostile archives, and the helpers of extraction.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/engine/CodecIO.h"
#include "archive/engine/EngineState.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "tests/ArchiveBuilder.h"
#include "tests/ArchiveCheck.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kProgress = 1;  // any positive byte count

struct TCall {
  std::int32_t Code;
  std::string FileName;
  std::int32_t FileAttr;
};

// What the callbacks saw; plain functions cannot capture.
std::vector<TCall> reports;
std::function<void(std::int32_t code)> on_report;
std::vector<std::uint8_t> answers;  // in question order; 1 once they run out
std::vector<std::string> questioned;
std::string new_name;  // empty: the rename function declines
int password_asks = 0;

std::int32_t Report(TLZReportRec& record, std::int32_t code) {
  const std::int32_t kind = code > 0 ? kProgress : code;
  if (kind != kProgress || reports.empty() || reports.back().Code != kProgress) {
    reports.push_back({kind, record.FileName, record.FileAttr});
  }
  if (on_report) on_report(code);
  return 1;
}

std::uint8_t Ask(const TLZReportRec& current, const TLZReportRec&) {
  questioned.push_back(current.FileName);
  return questioned.size() <= answers.size() ? answers[questioned.size() - 1] : 1;
}

bool Rename(std::string& name) {
  if (new_name.empty()) return false;
  name = new_name;
  return true;
}

std::int32_t AcceptPassword(const TLZArchiveHeader&, std::int32_t) {
  ++password_asks;
  return kLZPasswordAcceptedToo;
}

std::vector<std::int32_t> Codes() {
  std::vector<std::int32_t> codes;
  for (const TCall& call : reports) codes.push_back(call.Code);
  return codes;
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    reports.clear();
    on_report = nullptr;
    answers.clear();
    questioned.clear();
    new_name.clear();
    password_asks = 0;
    fs::create_directory(temp_);
    if (const char* temp = getenv("TEMP")) saved_temp_ = temp;
    test::SetEnvValue("TEMP", temp_.string().c_str());
    LZSetCheckCRC(true);
  }
  void TearDown() override {
    if (saved_temp_) {
      test::SetEnvValue("TEMP", saved_temp_->c_str());
    } else {
      test::UnsetEnvValue("TEMP");
    }
    on_report = nullptr;
    LZResetEngineState();
  }

  TBytes Encode(const TBytes& data, TLZCompressionChoices level) {
    return test::EngineEncode(scratch_, data, level);
  }
  // Entry k keeps its data, compressed with the codec of `level`.
  void Compress(TArchiveImage& image, std::size_t k, TLZCompressionChoices level) {
    TLZFileEntry& entry = image.Entries[k - 1];
    const TBytes stream = Encode(image.Data[k - 1], level);
    image.Header.TotalCompressed += static_cast<std::int32_t>(stream.size()) - entry.CompressedSize;
    entry.Compressed = 1;
    entry.Method = level == LZMaxCompression ? kLZMethodLZH : kLZMethodLZSS;
    entry.CompressedSize = static_cast<std::int32_t>(stream.size());
    image.Data[k - 1] = stream;
    image.SealDirectoryCRC();
  }

  std::string WriteArchive(const TArchiveImage& image) {
    WriteFileBytes(archive_, image.Bytes());
    return archive_;
  }

  std::int32_t Extract(const TArchiveImage& image, TLZQuestionProc question = nullptr,
                       bool recurse = true, bool unexpanded = false) {
    return LZDecompressArchive(WriteArchive(image), target_, question, Report, Rename, recurse,
                               unexpanded);
  }

  std::string Out(const std::string& name) const {
    return TextOf(ReadFileBytes((fs::path(target_) / name).string()));
  }
  void Put(const std::string& name, const std::string& text) {
    fs::create_directories((fs::path(target_) / name).parent_path());
    WriteFileBytes((fs::path(target_) / name).string(), Text(text));
  }

  // Pending files are hidden files beside their targets; work files go to TEMP.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> left;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(target_, ignored)) {
      if (entry.path().filename().string().starts_with(".")) {
        left.push_back(entry.path().string());
      }
    }
    for (const auto& entry : fs::directory_iterator(temp_)) left.push_back(entry.path().string());
    return left;
  }

  TScratchDir scratch_;
  std::optional<std::string> saved_temp_;
  fs::path temp_ = scratch_.Path() / "temp";
  std::string archive_ = scratch_.File("archive.lza");
  std::string target_ = scratch_.File("out");
};

// Help (1), Help\Data (2), a.txt (3), Help\Data\b.htm (4), stored.
TArchiveBuilder HelpTree() {
  TArchiveBuilder builder;
  const int help = builder.AddFolder("Help");
  const int data = builder.AddFolder("Data", help);
  builder.AddFile("a.txt", Text("alpha"));
  builder.AddFile("b.htm", RandomBytes(300000, 4), data);
  return builder;
}

TEST_F(ExtractTest, RecreatesTreeAndReportsInOrder) {
  TArchiveImage image = HelpTree().Image();
  Compress(image, 4, LZMaxCompression);
  ASSERT_EQ(Extract(image), 2);
  EXPECT_EQ(Out("a.txt"), "alpha");
  EXPECT_TRUE(SameBytes(ReadFileBytes(target_ + "/Help/Data/b.htm"), RandomBytes(300000, 4)));
  EXPECT_EQ(GetFileDosDate(target_ + "/a.txt"), image.Entries[2].FileDate);
  const std::vector<std::int32_t> expected = {-6, -3, -4, -3, -4, -1, 1, -2, -1, 1, -2, -7};
  EXPECT_EQ(Codes(), expected);
  EXPECT_EQ(reports[0].FileName, ExpandFileName(archive_));
  EXPECT_EQ(test::Slashed(reports[1].FileName), test::Slashed(ExpandFileName(target_) + "/Help"));
  EXPECT_EQ(reports[2].FileName, "");
  EXPECT_EQ(test::Slashed(reports[5].FileName), test::Slashed(ExpandFileName(target_) + "/a.txt"));
  EXPECT_EQ(reports[10].FileName, "");  // a compressed entry ends without a name
  EXPECT_EQ(reports[11].FileAttr, 2);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ExtractTest, CommentIsSkippedUnlessSelectedByNumber) {
  TArchiveBuilder builder;
  builder.AddFile("a.txt", Text("a"));
  builder.AddFile("b.txt", Text("b"));
  builder.AddFile("note.txt", Text("comment"));
  builder.AddFile("plain0.txt", Text("0"));
  builder.AddFile("plain1.txt", Text("1"));
  TArchiveImage image = builder.Image();
  image.Entries[2].FileAttr = 0x09;  // the comment: volume label and read-only
  image.Entries[3].FileAttr = 0;     // ordinary files, whatever their attributes
  image.Entries[4].FileAttr = 1;
  image.SealDirectoryCRC();
  EXPECT_EQ(Extract(image), 4);
  EXPECT_FALSE(fs::exists(target_ + "/note.txt"));
  fs::remove_all(target_);
  LZSetDearchiveMask("#:3");
  EXPECT_EQ(Extract(image), 1);
  EXPECT_EQ(Out("note.txt"), "comment");
  EXPECT_FALSE(fs::exists(target_ + "/a.txt"));
  LZSetDearchiveMask("Help\\Data\\B.HTM");
  EXPECT_EQ(Extract(HelpTree().Image()), 1);
  EXPECT_FALSE(fs::exists(target_ + "/a.txt"));
}

TEST_F(ExtractTest, FlatExtractionQuestionsCollisionsInEntryOrder) {
  TArchiveBuilder builder;
  const int a = builder.AddFolder("A");
  const int b = builder.AddFolder("B");
  builder.AddFile("x.txt", Text("one"), a);
  builder.AddFile("x.txt", Text("two"), b);
  EXPECT_EQ(Extract(builder.Image(), Ask, /*recurse=*/false), 2);
  EXPECT_EQ(Out("x.txt"), "two");
  EXPECT_FALSE(fs::exists(target_ + "/A"));
  ASSERT_EQ(questioned.size(), 1u);
  EXPECT_EQ(test::Slashed(questioned[0]), test::Slashed(ExpandFileName(target_) + "/x.txt"));
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{-6, -1, 1, -2, -1, 1, -2, -7}));
}

TEST_F(ExtractTest, WithoutQuestionStoredTargetsStayAndCompressedAreReplaced) {
  TArchiveBuilder builder;
  builder.AddFile("stored.txt", Text("new"));
  builder.AddFile("packed.txt", Text("new"));
  TArchiveImage image = builder.Image();
  Compress(image, 2, LZFastCompression);
  Put("stored.txt", "old");
  Put("packed.txt", "old");
  EXPECT_EQ(Extract(image), 2);
  EXPECT_EQ(Out("stored.txt"), "old");
  EXPECT_EQ(Out("packed.txt"), "new");
}

TEST_F(ExtractTest, AnswersDeclineOverwriteAndAbort) {
  TArchiveBuilder builder;
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}) {
    builder.AddFile(name, Text("new"));
  }
  TArchiveImage image = builder.Image();
  Compress(image, 4, LZMaxCompression);
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt"}) Put(name, "old");
  answers = {0, 1, 7, 2};  // 7: neither yes nor no keeps a stored target
  EXPECT_EQ(Extract(image, Ask), 2);
  EXPECT_EQ(Out("1.txt"), "old");
  EXPECT_EQ(Out("2.txt"), "new");
  EXPECT_EQ(Out("3.txt"), "old");
  EXPECT_EQ(Out("4.txt"), "old");
  EXPECT_FALSE(fs::exists(target_ + "/5.txt"));
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{-6, -100, -1, 1, -2, -7}));
}

TEST_F(ExtractTest, TargetThatIsTheArchiveGoesThroughRename) {
  for (bool compressed : {false, true}) {
    TArchiveBuilder builder;
    builder.AddFile("archive.lza", Text("inner"));
    TArchiveImage image = builder.Image();
    if (compressed) Compress(image, 1, LZFastCompression);
    const TBytes archive_bytes = image.Bytes();
    WriteFileBytes(archive_, archive_bytes);
    const std::string folder = scratch_.Path().string();
    EXPECT_EQ(LZDecompressArchive(archive_, folder, nullptr, Report, Rename, true, false), 1);
    EXPECT_TRUE(SameBytes(ReadFileBytes(archive_), archive_bytes));
    new_name = "renamed.txt";
    EXPECT_EQ(LZDecompressArchive(archive_, folder, nullptr, Report, Rename, true, false), 1);
    EXPECT_EQ(ReadFileBytes(scratch_.File("renamed.txt")), Text("inner"));
    EXPECT_TRUE(SameBytes(ReadFileBytes(archive_), archive_bytes));
    fs::remove(scratch_.File("renamed.txt"));
    new_name.clear();
  }
}

TEST_F(ExtractTest, UnexpandedEntriesStaySingleCompressedFiles) {
  TArchiveBuilder builder;
  builder.AddFile("packed.txt", RandomBytes(5000, 1));
  builder.AddFile("stored.txt", Text("as is"));
  TArchiveImage image = builder.Image();
  Compress(image, 1, LZMaxCompression);
  Put("packed.txt", "old");
  EXPECT_EQ(Extract(image, Ask, true, /*unexpanded=*/true), 2);
  EXPECT_TRUE(questioned.empty());
  const TBytes packed = ReadFileBytes(target_ + "/packed.txt");
  ASSERT_EQ(packed.size(), 257 + image.Data[0].size());
  TLZFileHeader header;
  ASSERT_TRUE(LZGetFileHeader(target_ + "/packed.txt", header));
  EXPECT_EQ(header.SourceName.Get(), "packed.txt");
  EXPECT_EQ(header.FileCRC, image.Entries[0].FileCRC);
  EXPECT_EQ(header.Method, kLZMethodLZH);
  EXPECT_TRUE(SameBytes(TBytes(packed.begin() + 257, packed.end()), image.Data[0]));
  EXPECT_EQ(Out("stored.txt"), "as is");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{-6, -1, 1, -2, -7}));
}

TEST_F(ExtractTest, EmptyTargetMeansCurrentFolder) {
  fs::create_directory(target_);
  const fs::path saved = fs::current_path();
  fs::current_path(target_);
  const std::int32_t result = LZDecompressArchive(WriteArchive(HelpTree().Image()), "  ", nullptr,
                                                  nullptr, nullptr, true, false);
  fs::current_path(saved);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(Out("a.txt"), "alpha");
}

TEST_F(ExtractTest, ArchiveEndingEarlyIsCorruptAndKeepsEarlierFiles) {
  TArchiveBuilder builder;
  builder.AddFile("first.txt", Text("first"));
  builder.AddFile("second.txt", RandomBytes(1000, 2));
  const TArchiveImage image = builder.Image();
  // Cut before the data of the second file once the first is in place.
  on_report = [&](std::int32_t code) {
    if (code == kLZReportFileDone) fs::resize_file(archive_, image.DataOffset() + 5);
  };
  try {
    Extract(image);
    FAIL() << "no exception";
  } catch (const EZorelLZArchive& error) {
    EXPECT_EQ(error.MessageId, kMsgArchiveCorrupt);
    EXPECT_EQ(std::string(error.what()), "LZ Archive " + ExpandFileName(archive_) + " is corrupt");
  }
  EXPECT_EQ(Out("first.txt"), "first");
  EXPECT_FALSE(fs::exists(target_ + "/second.txt"));
  EXPECT_EQ(reports.back().Code, kLZCRCMismatch);
  EXPECT_TRUE(Leftovers().empty());
  // Cut before it is opened, the directory itself is refused.
  on_report = nullptr;
  TBytes cut = image.Bytes();
  cut.resize(image.DataOffset() + 5);
  WriteFileBytes(archive_, cut);
  EXPECT_EQ(LZExtractArchive(archive_, target_, nullptr, nullptr, nullptr, true, false),
            kLZDamagedDirectory);
}

TEST_F(ExtractTest, AppendedArchiveIsFoundAndHeaderOffsetRestored) {
  LZSetHeaderOffset(7);
  std::int32_t offset_during = -1;
  on_report = [&](std::int32_t) { offset_during = LZSetHeaderOffset(-1); };
  EXPECT_EQ(Extract(HelpTree().Stub(1000).Image()), 2);
  EXPECT_EQ(offset_during, 1000);
  EXPECT_EQ(LZSetHeaderOffset(-1), 7);
  EXPECT_EQ(Out("a.txt"), "alpha");
}

TEST_F(ExtractTest, ProtectedArchiveNeedsAcceptingHook) {
  for (std::size_t stub : {0, 500}) {
    const TArchiveImage image = HelpTree().Stub(stub).Protect().Image();
    LZSetCheckPassWordHook(nullptr);
    EXPECT_EQ(Extract(image), kLZNotAnArchive);
    EXPECT_FALSE(fs::exists(target_ + "/a.txt"));
    LZSetCheckPassWordHook(AcceptPassword);
    password_asks = 0;
    EXPECT_EQ(Extract(image), 2);
    EXPECT_EQ(password_asks, 1);
    fs::remove_all(target_);
  }
}

TEST_F(ExtractTest, FailedEntryKeepsOldFileAndStopsThePass) {
  struct TCase {
    const char* what;
    TLZCompressionChoices level;  // LZNoCompression: stored
    std::function<void(TArchiveImage&)> damage;
    std::int32_t result;
  };
  const std::vector<TCase> cases = {
      {"lzh stream cut", LZMaxCompression,
       [](TArchiveImage& image) {
         image.Data[0].resize(image.Data[0].size() / 2);
         image.Entries[0].CompressedSize = static_cast<std::int32_t>(image.Data[0].size());
       },
       kLZInputEndedEarly},
      {"lzss byte altered", LZFastCompression, [](TArchiveImage& image) { image.Data[0][40] ^= 1; },
       kLZCRCMismatch},
      {"stored byte altered", LZNoCompression, [](TArchiveImage& image) { image.Data[0][9] ^= 1; },
       kLZCRCMismatch},
      {"size differs", LZNoCompression,
       [](TArchiveImage& image) { image.Entries[0].UncompressedSize += 1; }, kLZCRCMismatch},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TArchiveBuilder builder;
    builder.AddFile("x.bin", RandomBytes(20000, 3));
    builder.AddFile("later.txt", Text("later"));
    TArchiveImage image = builder.Image();
    if (c.level != LZNoCompression) Compress(image, 1, c.level);
    c.damage(image);
    image.SealDirectoryCRC();
    Put("x.bin", "old contents");
    reports.clear();
    EXPECT_EQ(Extract(image, Ask), c.result);
    EXPECT_EQ(Out("x.bin"), "old contents");
    EXPECT_FALSE(fs::exists(target_ + "/later.txt"));
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports[reports.size() - 2].Code, kLZCRCMismatch);
    EXPECT_EQ(test::Slashed(reports[reports.size() - 2].FileName),
              test::Slashed(ExpandFileName(target_) + "/x.bin"));
    EXPECT_EQ(reports.back().FileAttr, 0);  // -7: nothing extracted
    EXPECT_TRUE(Leftovers().empty());
  }
}

// POSIX only: the hostile targets are symbolic links, which need a privilege
// on Windows.
#ifndef _WIN32
TEST_F(ExtractTest, HostileNamesNeverLeaveTheTarget) {
  const fs::path outside = scratch_.Path() / "outside";
  fs::create_directories(outside);
  WriteFileBytes((outside / "secret").string(), Text("secret"));
  fs::create_directories(target_);
  fs::create_directory_symlink(outside, fs::path(target_) / "link");
  fs::create_symlink(outside / "secret", fs::path(target_) / "x.txt");

  TArchiveBuilder through_folder;
  through_folder.AddFile("y.txt", Text("escaped"), through_folder.AddFolder("link"));
  EXPECT_EQ(Extract(through_folder.Image()), kLZCannotCreateFolder);
  TArchiveBuilder through_file;
  through_file.AddFile("x.txt", Text("escaped"));
  EXPECT_EQ(Extract(through_file.Image()), kLZCannotCreateOutput);
  // The same link met after a file of its folder, which the extraction then
  // holds open and looks in.
  TArchiveBuilder after_a_file;
  after_a_file.AddFile("a.txt", Text("first"));
  after_a_file.AddFile("x.txt", Text("escaped"));
  EXPECT_EQ(Extract(after_a_file.Image()), kLZCannotCreateOutput);
  TArchiveImage climbing = through_file.Image();
  climbing.Names[0] = "..";  // refused by the directory loader
  climbing.Entries[0].NameLength = 2;
  climbing.Header.NamesSize = 2;
  climbing.SealDirectoryCRC();
  EXPECT_EQ(Extract(climbing), kLZDamagedDirectory);
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
  EXPECT_EQ(ReadFileBytes((outside / "secret").string()), Text("secret"));

  TArchiveBuilder dots;  // odd but harmless names stay inside
  dots.AddFile("...", Text("dots"));
  EXPECT_EQ(Extract(dots.Image()), 1);
  EXPECT_EQ(Out("..."), "dots");
}
#endif

TEST_F(ExtractTest, ReportExceptionPropagatesAfterCleanUp) {
  TArchiveImage image = HelpTree().Stub(10).Image();
  Compress(image, 4, LZFastCompression);
  Put("Help/Data/b.htm", "old");
  on_report = [](std::int32_t code) {
    if (code > 0 && LZEngine().CurrentReport.FileName.ends_with("b.htm")) {
      throw std::runtime_error("stop");
    }
  };
  EXPECT_THROW(Extract(image), std::runtime_error);
  EXPECT_EQ(Out("Help/Data/b.htm"), "old");
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_EQ(LZSetHeaderOffset(-1), 0);
  EXPECT_EQ(LZEngine().ExtractingDirectory, nullptr);
  EXPECT_EQ(LZEngine().Progress, nullptr);
}

TEST_F(ExtractTest, RejectsWhatTheLoaderRejects) {
  EXPECT_EQ(LZExtractArchive(archive_, target_, nullptr, nullptr, nullptr, true, false),
            kLZArchiveMissing);
  EXPECT_EQ(Extract(HelpTree().Image()), 2);  // folders that exist are no failure
  EXPECT_EQ(Extract(HelpTree().Image()), 2);
  TArchiveImage too_many = HelpTree().Image();
  too_many.Header.FileCount = kLZMaxEntries + 1;
  EXPECT_EQ(Extract(too_many), kLZDamagedDirectory);
  TArchiveBuilder folders;
  for (int k = 0; k <= kLZMaxFolders; ++k) folders.AddFolder("f" + std::to_string(k));
  EXPECT_EQ(Extract(folders.Image()), kLZDamagedDirectory);
}

// ---- Helpers ----

TEST_F(ExtractTest, TempFilesAreUniqueAndReadOnlyFilesDeletable) {
  std::string first, second;
  LZTempFileName(first);
  LZTempFileName(second);
  EXPECT_NE(first, second);
  EXPECT_EQ(fs::path(first).parent_path(), temp_);
  EXPECT_TRUE(fs::path(first).filename().string().starts_with("ZRL"));
  SetFileAttributesNative(first, kFaReadOnly);
  EXPECT_TRUE(LZDeleteFile(first));
  EXPECT_FALSE(LZDeleteFile(first));
  EXPECT_TRUE(LZDeleteFile(second));
  EXPECT_EQ(LZForceDirectories(scratch_.File("a/b/c")), 3);
  EXPECT_EQ(LZForceDirectories(scratch_.File("a/b/c")), 0);
}

}  // namespace
}  // namespace zorellz::test
