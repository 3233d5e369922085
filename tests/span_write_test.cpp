// Creation across disks: the work file moved whole or cut into parts, the
// prompts and reports on the way, and the parts read back by extraction.
#include "archive/engine/SpanWrite.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/SpanParts.h"
#include "tests/SpanScript.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::SameBytes;
using test::TBytes;

// ---- Scripted callbacks ------------------------------------------------------

using test::prompt_answer;
using test::prompts;
using test::PromptsFor;
using test::report_hook;
using test::reports;
using test::TPromptCall;
using test::TReport;

std::int32_t RecordReport(TLZReportRec& record, std::int32_t code) {
  if (code <= kLZReportJoinBegins && code >= kLZReportJoinDone) reports.push_back({code, record});
  if (report_hook) report_hook(code);
  return 1;
}

// Runs `body` in a child process, for limits and mounts that must not reach
// the test process: its exit status, or -1 when it did not exit.
int RunInChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    int status = 99;
    try {
      status = body();
    } catch (...) {
    }
    _exit(status);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The bytes an archive of one stored file "a.bin" holds besides the file's.
std::size_t ArchiveOverhead() {
  static const std::size_t overhead = [] {
    test::TScratchDir dir;
    test::WriteFileBytes(dir.File("a.bin"), {1});
    LZCreateArchive(dir.File("a.bin"), dir.File("o.lza"), LZNoRecurse, LZNoCompression, nullptr);
    return static_cast<std::size_t>(fs::file_size(dir.File("o.lza"))) - 1;
  }();
  return overhead;
}

// ---- Fixture ---------------------------------------------------------------

// Inputs in scratch/in, targets and parts in scratch, TEMP in a folder of
// its own that must be empty after every operation.
class SpanWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    LZSetSpanPromptProc(test::ScriptedPrompt);
    fs::create_directory(scratch_.Path() / "in");
  }
  void TearDown() override { LZResetEngineState(); }

  std::string In(const std::string& name = "") const { return scratch_.File("in/" + name); }
  std::string Target(const std::string& name = "X.LZA") const { return scratch_.File(name); }
  std::string Drive() const { return scratch_.Path().string() + "/"; }

  // One input, stored, that makes an archive of exactly `size` bytes.
  void PutInputForArchiveOf(std::size_t size) {
    input_ = test::RandomBytes(size - ArchiveOverhead(), 7);
    test::WriteFileBytes(In("a.bin"), input_);
  }

  std::int32_t Span(std::int32_t disk_size, const std::string& target,
                    TLZCompressionChoices level = LZNoCompression, const std::string& stub = "") {
    info_ = TLZSpanInfo{};
    info_.DiskSize = disk_size;
    info_.IsSelfExtracting = stub.empty() ? 0 : 1;
    info_.StubName = stub;
    return LZCreateArchiveWithSpanning(In("*"), target, LZNoRecurse, info_, level, RecordReport);
  }

  // What the work file holds: the archive that plain creation makes.
  TBytes PlainArchive() {
    const std::string plain = temp_.File("plain.lza");
    EXPECT_GT(LZCreateArchive(In("*"), plain, LZNoRecurse, LZNoCompression, nullptr), 0);
    const TBytes bytes = test::ReadFileBytes(plain);
    fs::remove(plain);
    return bytes;
  }

  // The parts as the layout says: the archive without its trailer, cut into
  // runs of what a disk carries, each run with its part trailer.
  void ExpectPartsOf(const TBytes& archive, std::int32_t disk_size, const std::string& target) {
    const std::vector<TBytes> images =
        test::SpanPartImages(archive, fs::path(target).filename().string(),
                             static_cast<std::size_t>(LZSpanPartCapacity(disk_size)), false);
    ASSERT_EQ(info_.PartsWritten, static_cast<std::int32_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
      const std::string part = LZSpanPartName(target, static_cast<std::int32_t>(i + 1));
      EXPECT_TRUE(SameBytes(test::ReadFileBytes(part), images[i])) << part;
    }
    EXPECT_FALSE(fs::exists(LZSpanPartName(target, static_cast<std::int32_t>(images.size() + 1))));
  }

  // Extracts the archive whose part 1 is `part1` into scratch/out and
  // checks the one input.
  void ExpectExtractsInput(const std::string& part1) {
    const fs::path out = scratch_.Path() / "out";
    fs::remove_all(out);
    ASSERT_EQ(LZDecompressArchive(part1, out.string(), nullptr, nullptr, nullptr, true, false), 1);
    EXPECT_TRUE(SameBytes(test::ReadFileBytes((out / "a.bin").string()), input_));
    EXPECT_TRUE(temp_.Names().empty());
  }

  test::TScratchDir scratch_;
  test::TScratchDir temp_;
  TLZSpanInfo info_;
  TBytes input_;
  test::TSpanScriptScope script_{temp_.Path().string()};
};

// ---- Part counts ---------------------------------------------------------------

TEST(SpanPartCount, CountsArchiveBytesAgainstWhatADiskCarries) {
  EXPECT_EQ(LZSpanPartCapacity(1456472), 1456306);
  EXPECT_EQ(LZSpanPartCount(3000000, 1456472), 3);
  // Disks of 2,000 bytes carry 1,834 archive bytes; the trailer is not copied.
  EXPECT_EQ(LZSpanPartCount(83 + 2 * 1834, 2000), 2);
  EXPECT_EQ(LZSpanPartCount(83 + 2 * 1834 + 1, 2000), 3);
  // Just below a multiple of the disk size a count by disk size (2) would
  // leave bytes unwritten.
  EXPECT_EQ(LZSpanPartCount(3999, 2000), 3);
  EXPECT_EQ(LZSpanPartCount(3999, 166), 0);
  EXPECT_EQ(LZSpanPartCount(3999, 167), 3916);
}

// ---- Splitting -------------------------------------------------------------------

TEST_F(SpanWrite, ArchiveOfOneDiskIsMovedWholeAndOneByteMoreSplits) {
  PutInputForArchiveOf(5000);
  const TBytes plain = PlainArchive();
  ASSERT_EQ(plain.size(), 5000u);
  ASSERT_EQ(Span(5000, Target()), 1);
  EXPECT_EQ(info_.PartsWritten, 0);
  EXPECT_EQ(info_.SpannedName, Target());
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(Target()), plain));
  EXPECT_FALSE(fs::exists(Target("X.2")));

  ASSERT_EQ(Span(4999, Target()), 1);
  ExpectPartsOf(plain, 4999, Target());
  ExpectExtractsInput(Target());
}

TEST_F(SpanWrite, TextExampleGivesThreePartsWithTheirPromptsAndReports) {
  PutInputForArchiveOf(3000000);
  const TBytes plain = PlainArchive();
  ASSERT_EQ(Span(1456472, Target()), 1);
  EXPECT_EQ(info_.SpannedName, Drive() + "X.LZA");
  ExpectPartsOf(plain, 1456472, Target());
  EXPECT_TRUE(temp_.Names().empty());

  const std::int32_t last_part = 3000000 - 83 - 2 * 1456306;
  const std::vector<TPromptCall> expected = {
      {1, 3, 1456389, Drive()}, {2, 3, 1456389, Drive()}, {3, 3, last_part + 166, Drive()}};
  EXPECT_EQ(prompts, expected);

  ASSERT_GE(reports.size(), 2u);
  const TLZReportRec& begins = reports.front().Record;
  EXPECT_EQ(reports.front().Code, kLZReportJoinBegins);
  EXPECT_EQ(begins.FileName, Drive() + "X.LZA");
  EXPECT_EQ(begins.FileDate, 3);
  std::vector<std::int64_t> copied;  // per part, from the -10 reports
  for (const TReport& report : reports) {
    if (report.Code == kLZReportPartOpened) {
      const auto part = static_cast<std::int32_t>(copied.size()) + 1;
      EXPECT_EQ(report.Record.FileName, LZSpanPartName(Target(), part));
      EXPECT_EQ(report.Record.CompressedSize, expected[copied.size()].Needed);
      EXPECT_EQ(report.Record.UncompressedSize, part);
      EXPECT_EQ(report.Record.FileDate, 3);
      copied.push_back(0);
    } else if (report.Code == kLZReportPartChunk) {
      EXPECT_LE(report.Record.FileAttr, 128000);
      copied.back() += report.Record.FileAttr;
    }
  }
  EXPECT_EQ(copied, (std::vector<std::int64_t>{1456306, 1456306, last_part}));
  const TReport& done = reports.back();
  EXPECT_EQ(done.Code, kLZReportJoinDone);
  EXPECT_EQ(done.Record.FileName, Drive() + "X.LZA");
  EXPECT_EQ(done.Record.CompressedSize, 3000000);
  EXPECT_EQ(done.Record.UncompressedSize, 3);
  EXPECT_EQ(done.Record.FileDate, 3);
}

TEST_F(SpanWrite, SizeJustBelowAMultipleOfTheDiskKeepsEveryByte) {
  PutInputForArchiveOf(3999);
  const TBytes plain = PlainArchive();
  ASSERT_EQ(Span(2000, Target()), 1);
  ExpectPartsOf(plain, 2000, Target());
  EXPECT_EQ(info_.PartsWritten, 3);
  EXPECT_EQ(prompts.back().Total, 3);
  ExpectExtractsInput(Target());
}

TEST_F(SpanWrite, DecliningADiskStopsAndKeepsTheEarlierParts) {
  PutInputForArchiveOf(5000);
  prompt_answer = [](const TPromptCall& call) { return call.Disk == 2 ? 1 : 0; };
  EXPECT_EQ(Span(2000, Target()), kLZWritePartFailed);
  EXPECT_EQ(fs::file_size(Target()), 1834u + 83u);
  EXPECT_FALSE(fs::exists(Target("X.2")));
  EXPECT_TRUE(temp_.Names().empty());
}

TEST_F(SpanWrite, RefusesSplitsTheDisksCannotCarryBeforeWritingAnything) {
  PutInputForArchiveOf(5000);
  // No size; no room for data; part 1 without room for the whole header.
  for (std::int32_t disk : {0, -1, 166, 291}) EXPECT_EQ(Span(disk, Target()), kLZNoDiskSize);
  const std::string stub = scratch_.File("stub.exe");
  test::WriteFileBytes(stub, test::RandomBytes(3000, 8));
  EXPECT_EQ(Span(2000, Target(), LZNoCompression, stub), kLZNoDiskSize);
  // A name that later parts take; more parts than the part trailer counts.
  EXPECT_EQ(Span(2000, Target("X.2")), kLZCannotCreatePart);
  PutInputForArchiveOf(83 + 65536);
  EXPECT_EQ(Span(167, Target()), kLZNoDiskSize);
  EXPECT_TRUE(prompts.empty());
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(scratch_.Names(), (std::vector<std::string>{"in", "stub.exe"}));
  EXPECT_TRUE(temp_.Names().empty());

  // The smallest disk that holds the header still gives a readable span.
  PutInputForArchiveOf(1000);
  ASSERT_EQ(Span(292, Target()), 1);
  EXPECT_EQ(info_.PartsWritten, 8);
  ExpectExtractsInput(Target());
}

// A disk that fills up: the part is written short.
TEST_F(SpanWrite, PartWrittenShortIsRemoved) {
  PutInputForArchiveOf(5000);
  const int status = RunInChild([this] {
    std::signal(SIGXFSZ, SIG_IGN);
    prompt_answer = [](const TPromptCall& call) {
      const rlimit limit{1000, 1000};
      if (call.Disk == 2) setrlimit(RLIMIT_FSIZE, &limit);
      return 0;
    };
    return -Span(2000, Target());
  });
  EXPECT_EQ(status, -kLZWritePartFailed);
  EXPECT_TRUE(fs::exists(Target()));
  EXPECT_FALSE(fs::exists(Target("X.2")));
  EXPECT_TRUE(temp_.Names().empty());
}

TEST_F(SpanWrite, WorkFileAndUnfinishedPartNeverOutliveTheOperation) {
  EXPECT_EQ(Span(2000, Target()), 0);  // nothing to archive: nothing placed
  PutInputForArchiveOf(5000);
  report_hook = [](std::int32_t code) {
    if (code == kLZReportCreationBegins) throw std::runtime_error("stop");
  };
  EXPECT_THROW(Span(2000, Target()), std::runtime_error);
  EXPECT_FALSE(fs::exists(Target()));
  EXPECT_TRUE(temp_.Names().empty());

  report_hook = [](std::int32_t code) {
    if (code == kLZReportPartChunk && PromptsFor(2) == 1) throw std::runtime_error("stop");
  };
  EXPECT_THROW(Span(2000, Target()), std::runtime_error);
  EXPECT_TRUE(fs::exists(Target()));
  EXPECT_FALSE(fs::exists(Target("X.2")));
  EXPECT_TRUE(temp_.Names().empty());
}

TEST_F(SpanWrite, NameWithoutAnArchiveFormStillMarksTheSpan) {
  PutInputForArchiveOf(3000);
  const std::string target = Target("\xE6\x97\xA5\xE6\x9C\xAC-data.LZA");  // two CJK letters
  ASSERT_EQ(Span(2000, target), 1);
  const TBytes part1 = test::ReadFileBytes(target);
  const TBytes name(part1.begin() + 43 + 70, part1.begin() + 43 + 83);
  EXPECT_EQ(name, test::SpanNameField("______-data."));
  ExpectExtractsInput(target);
}

// ---- Moving an archive that fits ----------------------------------------------------

TEST_F(SpanWrite, FittingArchiveReplacesTheTargetByOneRename) {
  test::WriteFileBytes(Target(), {1, 2, 3});
  fs::permissions(Target(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  PutInputForArchiveOf(3000);
  ASSERT_EQ(Span(3000, Target()), 1);
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(Target()), PlainArchive()));
  EXPECT_EQ(fs::status(Target()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(prompts.empty());
  EXPECT_TRUE(temp_.Names().empty());
}

TEST_F(SpanWrite, FittingArchiveMovedToANewTargetIsAnOrdinaryFile) {
  const mode_t mask = umask(022);
  PutInputForArchiveOf(3000);
  ASSERT_EQ(Span(3000, Target()), 1);
  umask(mask);
  EXPECT_EQ(fs::status(Target()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

TEST_F(SpanWrite, FittingArchiveIsCopiedFromAnotherFileSystem) {
  const fs::path shm = fs::path("/dev/shm") / fs::path(temp_.Path()).filename();
  struct stat shm_status, scratch_status;
  if (!fs::create_directory(shm) || stat(shm.c_str(), &shm_status) != 0 ||
      stat(scratch_.Path().c_str(), &scratch_status) != 0 ||
      shm_status.st_dev == scratch_status.st_dev) {
    fs::remove(shm);
    GTEST_SKIP() << "no second file system for the temporary folder";
  }
  setenv("TEMP", shm.c_str(), 1);
  PutInputForArchiveOf(3000);
  const std::int32_t result = Span(3000, Target());
  const bool shm_empty = fs::is_empty(shm);
  fs::remove_all(shm);
  ASSERT_EQ(result, 1);
  EXPECT_TRUE(shm_empty);
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(Target()), PlainArchive()));

  std::vector<std::int32_t> codes;
  for (const TReport& report : reports) {
    codes.push_back(report.Code);
    EXPECT_EQ(report.Record.FileName, Target());
    EXPECT_EQ(report.Record.CompressedSize, 3000);
    EXPECT_EQ(report.Record.UncompressedSize, report.Code == kLZReportJoinBegins ? 0 : 1);
    EXPECT_EQ(report.Record.FileDate, 1);
  }
  EXPECT_EQ(codes, (std::vector<std::int32_t>{-8, -9, -10, -11, -12}));
  EXPECT_EQ(reports[2].Record.FileAttr, 3000);
  EXPECT_TRUE(prompts.empty());
}

// The target on a small file system of its own, in a private mount
// namespace; TEMP stays on the scratch file system.
TEST_F(SpanWrite, ShortOfSpaceAsksBeforeCopyingAndLeavesTheTargetAlone) {
  constexpr int kNoMount = 77;
  const fs::path small = scratch_.Path() / "small";
  fs::create_directory(small);
  PutInputForArchiveOf(100000);
  const int status = RunInChild([&] {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
      return kNoMount;
    }
    const std::string target = (small / "X.LZA").string();
    const TBytes old = {1, 2, 3};
    test::WriteFileBytes(target, old);
    prompt_answer = [](const TPromptCall&) { return 1; };
    if (Span(200000, target) != kLZPromptStopped) return 1;
    if (prompts != std::vector<TPromptCall>{{1, 1, 100000, small.string() + "/"}}) return 2;
    prompt_answer = {};
    try {
      Span(200000, target);  // the copy runs out of space
      return 3;
    } catch (const EInOutError&) {
    }
    if (test::ReadFileBytes(target) != old) return 4;
    return std::distance(fs::directory_iterator(small), fs::directory_iterator()) == 1 ? 0 : 5;
  });
  if (status == kNoMount) GTEST_SKIP() << "no private mount namespace for a small file system";
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(temp_.Names().empty());
}

// ---- Reading the parts back --------------------------------------------------------

TEST_F(SpanWrite, SpannedCorpusExtractsByteForByte) {
  const std::vector<fs::path> corpus = test::CorpusFiles();
  if (corpus.size() < 3) GTEST_SKIP() << "no sample corpus";
  for (std::size_t i = 0; i < 3; ++i) fs::copy_file(corpus[i], In(corpus[i].filename()));
  const std::string stub = scratch_.File("stub.bin");
  const TBytes stub_bytes = test::RandomBytes(5000, 9);
  test::WriteFileBytes(stub, stub_bytes);

  for (const std::string& stub_name : {std::string(), stub}) {
    const std::string target = Target(stub_name.empty() ? "X.LZA" : "SETUP.EXE");
    ASSERT_EQ(Span(60000, target, LZFastCompression, stub_name), 3) << target;
    EXPECT_GE(info_.PartsWritten, 3);
    if (!stub_name.empty()) {
      const TBytes part1 = test::ReadFileBytes(target);
      EXPECT_TRUE(SameBytes(TBytes(part1.begin(), part1.begin() + 5000), stub_bytes));
    }
    const fs::path out = scratch_.Path() / ("out-" + fs::path(target).stem().string());
    ASSERT_EQ(LZDecompressArchive(target, out.string(), nullptr, nullptr, nullptr, true, false), 3);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_TRUE(SameBytes(test::ReadFileBytes((out / corpus[i].filename()).string()),
                            test::ReadFileBytes(corpus[i].string())))
          << corpus[i];
    }
    EXPECT_TRUE(temp_.Names().empty());
  }
}

TEST_F(SpanWrite, PartsInTheWrongOrderAreAskedForAgain) {
  PutInputForArchiveOf(5000);
  ASSERT_EQ(Span(2000, Target()), 1);
  const TBytes second = test::ReadFileBytes(Target("X.2"));
  test::WriteFileBytes(Target("X.2"), test::ReadFileBytes(Target("X.3")));
  test::WriteFileBytes(Target("X.3"), second);
  prompts.clear();
  prompt_answer = [&](const TPromptCall& call) {
    if (call.Disk == 2 && PromptsFor(2) == 2) {
      test::WriteFileBytes(Target("X.3"), test::ReadFileBytes(Target("X.2")));
      test::WriteFileBytes(Target("X.2"), second);
    }
    return 0;
  };
  ExpectExtractsInput(Target());
  EXPECT_EQ(PromptsFor(2), 2);
}

TEST_F(SpanWrite, EarlierTargetAndPartsInTheInputFolderAreNotTakenIn) {
  PutInputForArchiveOf(5000);
  for (const char* name : {"X.LZA", "X.2", "X.3", "X.4"}) {
    test::WriteFileBytes(In(name), test::RandomBytes(100, 10));
  }
  ASSERT_EQ(Span(2000, In("X.LZA")), 1);
  EXPECT_EQ(info_.PartsWritten, 3);
  ASSERT_EQ(Span(1 << 20, In("X.LZA")), 1);
}

}  // namespace
}  // namespace zorellz
