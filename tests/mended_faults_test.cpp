// Faults met in everyday use of creation and extraction, each mended.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/engine/CreateCollect.h"
#include "platform/DosTime.h"
#include "platform/PendingFile.h"
#include "tests/ArchiveBuilder.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;

std::int32_t Quiet(TLZReportRec&, std::int32_t) {
  return 1;
}

class Mended : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(input_);
    context_.SkippedInput = [this](const std::string& path, TLZSkipReason reason) {
      skipped_.push_back({fs::path(path).filename().string(), reason});
    };
  }
  void Put(const std::string& name, const TBytes& bytes) {
    fs::create_directories((input_ / name).parent_path());
    test::WriteFileBytes((input_ / name).string(), bytes);
  }
  std::int32_t Create(const std::string& mask, TLZRecurse recurse = LZNoRecurse) {
    return LZCreateArchive(context_, (input_ / mask).string(), archive_, recurse, LZFastCompression,
                           Quiet);
  }
  TZorelLZArchiveHeader Directory() {
    TZorelLZArchiveHeader directory;
    EXPECT_EQ(LZLoadDirectory(context_, archive_, directory), 0);
    return directory;
  }

  struct TSkipped {
    std::string Name;
    TLZSkipReason Reason;
  };
  test::TScratchDir scratch_;
  const fs::path input_ = scratch_.Path() / "in";
  const fs::path target_ = scratch_.Path() / "out";
  const std::string archive_ = scratch_.File("a.lza");
  TLZContext context_;
  std::vector<TSkipped> skipped_;
};

// The comment is known by its attributes alone: they must stay exactly as
// they were given, although the system reports every file as archived.
TEST_F(Mended, CommentKeepsTheAttributesItWasGiven) {
  Put("comment.txt", test::Text("hello"));
  Put("other.txt", test::Text("other"));
  ASSERT_TRUE(SetFileAttributesNative((input_ / "comment.txt").string(), 0x09));
  ASSERT_EQ(Create("*"), 2);
  const TZorelLZArchiveHeader directory = Directory();
  EXPECT_EQ(directory.Entry(1).FileAttr, 0x09);
  EXPECT_EQ(directory.Entry(2).FileAttr, kFaArchive);
  std::string path;
  EXPECT_EQ(LZExtractComment(context_, archive_, target_.string(), &path), 1);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(path), test::Text("hello")));
}

// A single compressed file of an empty file has no stream; it becomes an
// empty compressed entry, not its own header stored as data.
TEST_F(Mended, EmptyStreamIsTakenOverAsAnEmptyCompressedEntry) {
  TLZFileHeader header = test::DefaultFileHeader("EMPTY.TXT");
  header.CompressedSize = 0;
  header.UncompressedSize = 0;
  header.FileCRC = 0;
  Put("EMPTY.TX~", test::SingleFileBytes(header));
  ASSERT_EQ(Create("*"), 1);
  const TZorelLZArchiveHeader directory = Directory();
  const TLZFileEntry& entry = directory.Entry(1);
  EXPECT_EQ(entry.Compressed, 1);
  EXPECT_EQ(entry.CompressedSize, 0);
  EXPECT_EQ(entry.UncompressedSize, 0);
  context_.CheckCRC = true;
  EXPECT_EQ(LZTestArchive(context_, archive_, Quiet), 1);
}

TEST_F(Mended, QuestionMarkMatchesOneCharacterNotOneByte) {
  EXPECT_TRUE(LZMatchCreateMask("r?sum?.txt", "r\xC3\xA9sum\xC3\xA9.txt"));
  EXPECT_FALSE(LZMatchCreateMask("r??sum?.txt", "r\xC3\xA9sum\xC3\xA9.txt"));
  EXPECT_TRUE(LZMatchCreateMask("?.txt", "\xE6\x97\xA5.txt"));
  EXPECT_TRUE(LZMatchCreateMask("\xC3\xA9*", "\xC3\xA9t\xC3\xA9"));
  EXPECT_FALSE(LZMatchCreateMask("\xC3\xA9*", "\xC3\xA8t\xC3\xA9"));
  EXPECT_TRUE(LZMatchCreateMask("A?C", "abc"));  // letters still match whatever their case
}

// Links to folders, dangling links and FIFOs are never read, but named.
TEST_F(Mended, SpecialFilesAreNamedAsLeftOut) {
  Put("plain.txt", test::Text("plain"));
  fs::create_directory(scratch_.Path() / "elsewhere");
  fs::create_directory_symlink(scratch_.Path() / "elsewhere", input_ / "folder-link");
  fs::create_symlink(scratch_.Path() / "missing", input_ / "dangling");
  ASSERT_EQ(mkfifo((input_ / "pipe").c_str(), 0600), 0);
  ASSERT_EQ(Create("*"), 1);
  std::vector<std::string> named;
  for (const TSkipped& skipped : skipped_) {
    EXPECT_EQ(skipped.Reason, TLZSkipReason::kNotRegular) << skipped.Name;
    named.push_back(skipped.Name);
  }
  EXPECT_EQ(named, (std::vector<std::string>{"dangling", "folder-link", "pipe"}));
}

// A mask that selects some files re-creates only the folders they lie in.
TEST_F(Mended, MaskCreatesOnlyTheFoldersOfSelectedEntries) {
  Put("keep/deep/wanted.txt", test::Text("w"));
  Put("other/else.dat", test::Text("e"));
  Put("empty/.placeholder", test::Text(""));
  ASSERT_GT(Create("*", LZFullRecurse), 0);
  context_.DearchiveMask = "wanted.txt";
  ASSERT_EQ(LZDecompressArchive(context_, archive_, target_.string(), nullptr, Quiet, nullptr, true,
                                false),
            1);
  EXPECT_TRUE(fs::exists(target_ / "keep" / "deep" / "wanted.txt"));
  EXPECT_FALSE(fs::exists(target_ / "other"));
  EXPECT_FALSE(fs::exists(target_ / "empty"));
}

// A self-extracting archive that fits on one disk is moved whole, and
// stays as executable as its stub.
TEST_F(Mended, SpannedSelfExtractingArchiveOnOneDiskKeepsItsExecuteBits) {
  Put("a.txt", test::Text("data"));
  const std::string stub = scratch_.File("stub");
  test::WriteFileBytes(stub, test::RandomBytes(2000, 5));
  fs::permissions(stub, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  TLZSpanInfo span;
  span.DiskSize = 1000000;
  span.IsSelfExtracting = 1;
  span.StubName = stub;
  const std::string sfx = scratch_.File("setup");
  ASSERT_EQ(LZCreateArchiveWithSpanning((input_ / "*").string(), sfx, LZNoRecurse, span,
                                        LZFastCompression, nullptr),
            1);
  EXPECT_EQ(span.PartsWritten, 0);
  EXPECT_NE(fs::status(sfx).permissions() & fs::perms::owner_exec, fs::perms::none);
}

// A FILESPEC that is a bare folder, or ends in a separator, takes the
// folder's files; with RefuseEmptyArchive a spec that matches nothing
// writes and replaces nothing.
TEST_F(Mended, FolderSpecsTakeTheFolderAndEmptyMatchesReplaceNothing) {
  Put("a.txt", test::Text("a"));
  EXPECT_EQ(
      LZCreateArchive(context_, input_.string(), archive_, LZNoRecurse, LZFastCompression, Quiet),
      1);
  EXPECT_EQ(LZCreateArchive(context_, input_.string() + "/", archive_, LZNoRecurse,
                            LZFastCompression, Quiet),
            1);
  const TBytes before = test::ReadFileBytes(archive_);
  context_.RefuseEmptyArchive = true;
  EXPECT_EQ(Create("*.none"), kLZNoFileMatches);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(archive_), before));
  EXPECT_EQ(scratch_.Names(), (std::vector<std::string>{"a.lza", "in"}));
}

// A full disk is reported for the file being written, not for the hidden
// name it is written under.
TEST(PendingFileErrors, NameTheTargetNotTheWorkFile) {
  test::TScratchDir scratch;
  const std::string target = scratch.File("DATA.LZA");
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    TPendingFile pending;
    if (!pending.Create(target)) _exit(3);
    const rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      const std::vector<char> block(5000, 'x');
      pending.File().Write(block.data(), block.size());
    } catch (const EInOutError& error) {
      const std::string text = error.what();
      _exit(text.find(target) != std::string::npos && text.find("ZRL~") == std::string::npos ? 0
                                                                                             : 1);
    }
    _exit(2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace zorellz
