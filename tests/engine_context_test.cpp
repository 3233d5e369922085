// Engine contexts: components that never see each other's settings or
// events, operations on several threads at once, and entries coded on
// several threads with the same results as one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "archive/engine/Spool.h"
#include "tests/ArchiveBuilder.h"
#include "tests/LzhMemory.h"
#include "tests/TestSupport.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

namespace fs = std::filesystem;

// An archive of `count` files f1.dat ... whose entry `bad` (0: none)
// carries a CRC-32 that its data do not have; stored, or else compressed
// with the adaptive Huffman codec.
TBytes StoredArchive(int count, int bad = 0, bool compressed = false) {
  TArchiveBuilder builder;
  for (int i = 1; i <= count; ++i) {
    builder.AddFile("f" + std::to_string(i) + ".dat", Text("data of file " + std::to_string(i)));
  }
  TArchiveImage image = builder.Image();
  for (std::size_t i = 0; compressed && i < image.Entries.size(); ++i) {
    TBytes& data = image.Data[i];
    data = RunLZHOverMemory(LZHCompress, data.data(), data.size(), std::size_t{4096}).Output;
    image.Entries[i].Compressed = 1;
    image.Entries[i].Method = kLZMethodLZH;
    image.Entries[i].CompressedSize = static_cast<std::int32_t>(data.size());
  }
  if (bad > 0) image.Entries[static_cast<std::size_t>(bad - 1)].FileCRC ^= 1;
  if (bad > 0 || compressed) image.SealDirectoryCRC();
  return image.Bytes();
}

// A tree with empty files, folders, text, data that does not compress, and
// one file whose coded form is larger than a spool keeps in memory.
void WriteMixedTree(const fs::path& root) {
  fs::create_directories(root / "sub" / "deeper");
  fs::create_directories(root / "empty folder");
  WriteFileBytes((root / "empty.txt").string(), {});
  WriteFileBytes((root / "sub" / "empty.dat").string(), {});
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "line " + std::to_string(i % 97) + " of a text file\n";
  WriteFileBytes((root / "text.txt").string(), Text(text));
  WriteFileBytes((root / "sub" / "noise.bin").string(), RandomBytes(300000, 7));
  WriteFileBytes((root / "sub" / "deeper" / "large.bin").string(),
                 RandomBytes(kLZSpoolMemory + kLZSpoolMemory / 2, 11));
  for (const fs::path& file : CorpusFiles()) {
    fs::copy_file(file, root / "sub" / file.filename());
  }
}

struct TReports {
  std::vector<std::string> Lines;
  TLZReportHook Hook() {
    return [this](TLZReportRec& record, std::int32_t code) {
      // The archive-wide reports name the archive, which differs per run.
      const bool archive_wide = code <= kLZReportCreationBegins && code >= kLZReportFinished;
      Lines.push_back(std::to_string(code) + " " + (archive_wide ? "" : record.FileName));
      return 1;
    };
  }
};

TBytes CreateWithJobs(const TScratchDir& scratch, const std::string& specs, int jobs,
                      TLZCompressionChoices level, TReports* reports = nullptr) {
  TLZContext context;
  context.Jobs = jobs;
  const std::string archive = scratch.File("jobs" + std::to_string(jobs) + ".lza");
  const std::int32_t written = LZCreateArchive(context, specs, archive, LZFullRecurse, level,
                                               reports ? reports->Hook() : TLZReportHook());
  EXPECT_GT(written, 0);
  return ReadFileBytes(archive);
}

// ---- Isolation --------------------------------------------------------------

TEST(ContextIsolation, AComponentKeepsItsSettingsAndEventsWhateverAnotherDoes) {
  TScratchDir scratch;
  WriteFileBytes(scratch.File("bad.lza"), StoredArchive(3, 2));
  TZorelLZObj first;
  int first_reports = 0;
  first.OnProgressReport = [&](TZorelLZObj&, const TLZReportRec&, std::int32_t) {
    return ++first_reports;
  };
  first.SetCheckFileCRC(true);
  first.SetArchiveName(scratch.File("bad.lza"));
  first.SetTargetDirectory(scratch.File("out1"));

  int second_reports = 0;
  {
    // Made, set and destroyed between the first one's settings and its
    // operation.
    TZorelLZObj second;
    second.SetCheckFileCRC(false);
    second.SetDeArchiveMask("nothing");
    second.OnProgressReport = [&](TZorelLZObj&, const TLZReportRec&, std::int32_t) {
      return ++second_reports;
    };
  }
  TZorelLZObj third;  // alive while the first one works
  third.OnProgressReport = [&](TZorelLZObj&, const TLZReportRec&, std::int32_t) {
    return ++second_reports;
  };

  EXPECT_EQ(first.DecompressArchive(), kLZCRCMismatch);
  EXPECT_GT(first_reports, 0);
  EXPECT_EQ(second_reports, 0);
  EXPECT_TRUE(fs::exists(scratch.File("out1/f1.dat")));
  EXPECT_FALSE(fs::exists(scratch.File("out1/f2.dat")));
}

TEST(ContextIsolation, ARoutineOnAContextLeavesTheDefaultContextAlone) {
  TScratchDir scratch;
  WriteFileBytes(scratch.File("a.lza"), StoredArchive(2));
  LZResetEngineState();
  TLZContext context;
  context.DearchiveMask = "f2.dat";
  context.HeaderOffset = 0;
  EXPECT_EQ(LZDecompressArchive(context, scratch.File("a.lza"), scratch.File("out"), nullptr,
                                nullptr, nullptr, true, false),
            1);
  EXPECT_EQ(LZGetDearchiveMask(), "*.*");
  EXPECT_EQ(LZDecompressArchive(scratch.File("a.lza"), scratch.File("all"), nullptr, nullptr,
                                nullptr, true, false),
            2);
}

// ---- Threads ------------------------------------------------------------------

TEST(ContextThreads, TwoComponentsExtractAtOnce) {
  TScratchDir scratch;
  const fs::path tree = scratch.Path() / "tree";
  WriteMixedTree(tree);
  const std::string specs = (tree / "*").string();
  TLZContext maker;
  ASSERT_GT(LZCreateArchive(maker, specs, scratch.File("max.lza"), LZFullRecurse, LZMaxCompression,
                            nullptr),
            0);
  ASSERT_GT(LZCreateArchive(maker, specs, scratch.File("fast.lza"), LZFullRecurse,
                            LZFastCompression, nullptr),
            0);

  auto extract_five_times = [&](const std::string& archive, const std::string& name, int jobs,
                                int& failures) {
    TZorelLZObj component;
    component.SetCheckFileCRC(true);
    component.SetJobs(jobs);
    component.SetArchiveName(scratch.File(archive));
    for (int run = 0; run < 5; ++run) {
      const std::string target = scratch.File(name + std::to_string(run));
      component.SetTargetDirectory(target);
      if (component.DecompressArchive() <= 0) ++failures;
      const TBytes expected = ReadFileBytes((tree / "sub" / "deeper" / "large.bin").string());
      if (ReadFileBytes(target + "/sub/deeper/large.bin") != expected) ++failures;
      if (ReadFileBytes(target + "/text.txt") != ReadFileBytes((tree / "text.txt").string())) {
        ++failures;
      }
    }
  };
  int failures[3] = {0, 0, 0};
  std::thread a([&] { extract_five_times("max.lza", "a", 1, failures[0]); });
  std::thread b([&] { extract_five_times("max.lza", "b", 2, failures[1]); });
  std::thread c([&] { extract_five_times("fast.lza", "c", 2, failures[2]); });
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(failures[0] + failures[1] + failures[2], 0);
}

// ---- Entries on several threads -------------------------------------------------

TEST(ContextJobs, ArchivesAreTheSameWhateverTheJobCount) {
  TScratchDir scratch;
  const fs::path tree = scratch.Path() / "tree";
  WriteMixedTree(tree);
  const std::string specs = (tree / "*").string();
  for (TLZCompressionChoices level : {LZMaxCompression, LZFastCompression, LZNoCompression}) {
    TReports serial_reports;
    TReports parallel_reports;
    const TBytes serial = CreateWithJobs(scratch, specs, 1, level, &serial_reports);
    EXPECT_TRUE(SameBytes(CreateWithJobs(scratch, specs, 2, level, &parallel_reports), serial));
    EXPECT_TRUE(SameBytes(CreateWithJobs(scratch, specs, 5, level), serial));
    EXPECT_EQ(parallel_reports.Lines, serial_reports.Lines);
  }
}

// A large file compressed alone is coded on two threads: the same bytes and
// the same reports as on one.
TEST(ContextJobs, ALargeFileAloneIsTheSameOnTwoThreads) {
  TScratchDir scratch;
  TBytes large;
  // Just large enough for both methods: more only costs time.
  for (const fs::path& file : CorpusFiles()) {
    if (large.size() > std::size_t{kLZSSPipelinedFrom}) break;
    const TBytes bytes = ReadFileBytes(file.string());
    large.insert(large.end(), bytes.begin(), bytes.end());
  }
  ASSERT_GE(large.size(), std::size_t{kLZSSPipelinedFrom});
  const std::string input = scratch.File("large.dat");
  WriteFileBytes(input, large);
  for (TLZCompressionChoices level : {LZMaxCompression, LZFastCompression}) {
    TReports reports[2];
    TBytes archive[2];
    TBytes single[2];
    for (int jobs : {1, 2}) {
      archive[jobs - 1] = CreateWithJobs(scratch, input, jobs, level, &reports[jobs - 1]);
      TLZContext context;
      context.Jobs = jobs;
      const std::string output = scratch.File("single" + std::to_string(jobs));
      ASSERT_GT(LZCompressFile(context, input, output, nullptr, level, nullptr), 0);
      single[jobs - 1] = ReadFileBytes(output);
    }
    EXPECT_TRUE(SameBytes(archive[1], archive[0]));
    EXPECT_EQ(reports[1].Lines, reports[0].Lines);
    EXPECT_TRUE(SameBytes(single[1], single[0]));
  }
}

TEST(ContextJobs, TheEntryLimitLeavesOutTheSameFiles) {
  TScratchDir scratch;
  const fs::path tree = scratch.Path() / "many";
  fs::create_directories(tree);
  for (int i = 0; i < kLZMaxEntries + 3; ++i) {
    WriteFileBytes((tree / ("n" + std::to_string(i))).string(), Text(std::to_string(i * 7)));
  }
  const std::string specs = (tree / "*").string();
  const TBytes serial = CreateWithJobs(scratch, specs, 1, LZFastCompression);
  EXPECT_TRUE(SameBytes(CreateWithJobs(scratch, specs, 3, LZFastCompression), serial));
}

// Stored entries too: the large ones go to the workers, the small ones are
// written by the calling thread as they come.
TEST(ContextJobs, ExtractionAsksInArchiveOrderAndReportsAsOneJobDoes) {
  TScratchDir scratch;
  const fs::path tree = scratch.Path() / "tree";
  WriteMixedTree(tree);
  for (TLZCompressionChoices level : {LZMaxCompression, LZNoCompression}) {
    const std::string archive = scratch.File("a" + std::to_string(level) + ".lza");
    TLZContext maker;
    ASSERT_GT(LZCreateArchive(maker, (tree / "*").string(), archive, LZFullRecurse, level, nullptr),
              0);
    std::vector<std::vector<std::string>> asked(2);
    std::vector<TReports> reports(2);
    for (int jobs : {1, 2}) {
      const std::string target =
          scratch.File("out" + std::to_string(level) + "-" + std::to_string(jobs));
      fs::create_directories(target + "/sub");
      WriteFileBytes(target + "/text.txt", Text("older"));
      WriteFileBytes(target + "/sub/noise.bin", Text("older"));
      TLZContext context;
      context.Jobs = jobs;
      context.CheckCRC = true;
      auto& questions = asked[static_cast<std::size_t>(jobs - 1)];
      // Keeps the text, replaces the noise.
      auto question = [&](const TLZReportRec& current, const TLZReportRec&) -> std::uint8_t {
        questions.push_back(current.FileName);
        return current.FileName.ends_with("text.txt") ? 0 : 1;
      };
      EXPECT_GT(LZDecompressArchive(context, archive, target, question,
                                    reports[static_cast<std::size_t>(jobs - 1)].Hook(), nullptr,
                                    true, false),
                0);
      EXPECT_EQ(TextOf(ReadFileBytes(target + "/text.txt")), "older");
      EXPECT_TRUE(SameBytes(ReadFileBytes(target + "/sub/noise.bin"),
                            ReadFileBytes((tree / "sub" / "noise.bin").string())));
      EXPECT_TRUE(SameBytes(ReadFileBytes(target + "/sub/deeper/large.bin"),
                            ReadFileBytes((tree / "sub" / "deeper" / "large.bin").string())));
    }
    EXPECT_EQ(asked[1].size(), 2u);
    EXPECT_EQ(asked[0].size(), asked[1].size());
    // The same reports, but for the target folder's name.
    auto without_target = [&](std::vector<std::string> lines, int jobs) {
      const std::string name = "out" + std::to_string(level) + "-" + std::to_string(jobs);
      for (std::string& line : lines) {
        if (const auto at = line.find(name); at != std::string::npos) line.erase(at, name.size());
      }
      return lines;
    };
    EXPECT_EQ(without_target(reports[1].Lines, 2), without_target(reports[0].Lines, 1));
  }
}

TEST(ContextJobs, AFailedEntryStopsThePassAndLeavesNoWorkFile) {
  TScratchDir scratch;
  WriteFileBytes(scratch.File("bad.lza"), StoredArchive(6, 3));
  // Compressed entries go through the workers and the calling thread.
  WriteFileBytes(scratch.File("bad-lzh.lza"), StoredArchive(40, 23, true));
  TLZContext context;
  context.Jobs = 2;
  context.CheckCRC = true;
  for (const char* archive : {"bad.lza", "bad-lzh.lza"}) {
    const std::string out = scratch.File(std::string("out-") + archive);
    EXPECT_EQ(LZDecompressArchive(context, scratch.File(archive), out, nullptr, nullptr, nullptr,
                                  true, false),
              kLZCRCMismatch);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    const std::size_t sound = std::string(archive) == "bad.lza" ? 2 : 22;
    ASSERT_EQ(names.size(), sound) << archive;
    for (const std::string& name : names) EXPECT_EQ(name.substr(0, 1), "f") << name;
  }

  // A test goes on past the damaged entry and counts the sound ones.
  std::vector<std::int32_t> failed;
  TLZReportHook report = [&](TLZReportRec& record, std::int32_t code) {
    if (code == kLZCRCMismatch) failed.push_back(record.ArchiveID);
    return 1;
  };
  EXPECT_EQ(LZTestArchive(context, scratch.File("bad.lza"), report), kLZCRCMismatch);
  EXPECT_EQ(failed, std::vector<std::int32_t>{3});
}

}  // namespace
}  // namespace zorellz::test
