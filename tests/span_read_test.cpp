#include "archive/engine/SpanRead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/ArchiveBuilder.h"
#include "tests/LzhMemory.h"
#include "tests/LzssMemory.h"
#include "tests/SpanParts.h"
#include "tests/SpanScript.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/codec/ZrlLZSS.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/MessageBox.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::RandomBytes;
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
  reports.push_back({code, record});
  if (report_hook) report_hook(code);
  return 1;
}

std::vector<std::int32_t> ReportCodes() {
  std::vector<std::int32_t> codes;
  for (const TReport& report : reports) codes.push_back(report.Code);
  return codes;
}

// ---- Fixture ---------------------------------------------------------------

// Parts live in one scratch folder; TEMP points at another, which must be
// empty again after every failure.
class SpanRead : public ::testing::Test {
 protected:
  static void UseTemp(const std::string& folder) { test::SetEnvValue("TEMP", folder.c_str()); }

  // A folder, a file in it and one at the root: about 1,150 bytes.
  static TBytes SampleArchive(std::size_t stub = 0) {
    test::TArchiveBuilder builder;
    const int docs = builder.AddFolder("Docs");
    builder.AddFile("a.txt", RandomBytes(300, 1), docs);
    builder.AddFile("b.bin", RandomBytes(500, 2));
    return builder.Stub(stub).Bytes();
  }

  std::string Part1() const { return parts_dir_.File("DATA.LZA"); }

  std::vector<std::string> Split(const TBytes& archive, std::size_t part_data) {
    return test::WriteSpanParts(archive, Part1(), part_data);
  }

  TLZArchiveHeader Part1Header() const {
    TLZArchiveHeader header;
    EXPECT_GE(LZLocateArchive(Part1(), header), 0);
    return header;
  }

  std::int32_t Join(std::string& work) {
    return LZJoinSpannedArchive(Part1(), Part1Header(), RecordReport, work);
  }
  std::int32_t JoinExpectingFailure() {
    std::string work;
    const std::int32_t result = Join(work);
    EXPECT_TRUE(work.empty());
    return result;
  }

  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  // The drive that prompts name: the parts' folder.
  std::string Drive() const { return parts_dir_.Path().string() + "/"; }

  test::TScratchDir parts_dir_;
  test::TScratchDir temp_;
  test::TSpanScriptScope script_{temp_.Path().string()};
};

// What joining gives back: the archive file, then the trailer restored from
// the header (the writer keeps the archive's own trailer in the last part).
// Restoring empties the header's SpanName by its length byte alone, so the
// characters of the part name stay behind it, in the header and the trailer.
TBytes JoinedImage(const TBytes& archive, std::size_t header_at = 0) {
  TBytes joined = archive;
  joined.insert(joined.end(), archive.end() - test::kPartTrailerSize, archive.end());
  const std::string leftover = "DATA.LZA";
  for (std::size_t trailer_at :
       {header_at + test::kHeaderTrailerAt, joined.size() - test::kPartTrailerSize}) {
    std::copy(leftover.begin(), leftover.end(),
              joined.begin() + trailer_at + test::kSpanNameAt + 1);
  }
  return joined;
}

void PatchPartTrailer(const std::string& part, std::size_t field, std::uint32_t value) {
  TBytes bytes = test::ReadFileBytes(part);
  test::SetU32(bytes, bytes.size() - test::kPartTrailerSize + field, value);
  test::WriteFileBytes(part, bytes);
}

// ---- Names and trailers -------------------------------------------------------

TEST(SpanNames, LaterPartsReplaceTheExtensionByTheirNumber) {
  EXPECT_EQ(LZSpanPartName("/d/DATA.LZA", 1), "/d/DATA.LZA");
  EXPECT_EQ(LZSpanPartName("/d/DATA.LZA", 2), "/d/DATA.2");
  EXPECT_EQ(LZSpanPartName("/d/DATA.LZA", 12), "/d/DATA.12");
  EXPECT_EQ(LZSpanPartName("/d/README", 3), "/d/README.3");
  // A dot in a folder name is not an extension.
  EXPECT_EQ(LZSpanPartName("/a.b/DATA", 2), "/a.b/DATA.2");
  EXPECT_EQ(LZSpanPartName("DATA.LZA", 2), "DATA.2");
}

TEST(SpanNames, DriveIsTheFolderOfTheParts) {
  EXPECT_EQ(LZSpanDrive("/d/e/DATA.LZA"), "/d/e/");
  EXPECT_EQ(LZSpanDrive("/DATA.LZA"), "/");
  const std::string current = CurrentDirectory().string();
  EXPECT_EQ(test::Slashed(LZSpanDrive("DATA.LZA")),
            test::Slashed(current == "/" ? current : current + "/"));
}

TEST(SpanTrailer, AcceptsOnlyThePartItNames) {
  TLZArchiveTrailer trailer;
  trailer.SpanSignature = LZSpanSignature();
  trailer.SpanParts = 3;
  trailer.SpanPart = 2;
  trailer.SpanDataSize = 1;
  EXPECT_TRUE(LZCheckSpanTrailer(2, trailer));
  EXPECT_FALSE(LZCheckSpanTrailer(3, trailer));

  TLZArchiveTrailer changed = trailer;
  changed.SpanSignature.Bytes[0] = 4;  // length byte differs
  EXPECT_FALSE(LZCheckSpanTrailer(2, changed));
  changed = trailer;
  changed.SpanParts = 0;
  EXPECT_FALSE(LZCheckSpanTrailer(2, changed));
  for (std::int32_t size : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
    changed = trailer;
    changed.SpanDataSize = size;
    EXPECT_FALSE(LZCheckSpanTrailer(2, changed)) << size;
  }
}

// ---- Joining -------------------------------------------------------------------

TEST_F(SpanRead, JoinsPartsBackIntoTheArchive) {
  const TBytes archive = SampleArchive();
  ASSERT_EQ(Split(archive, 400).size(), 3u);
  EXPECT_TRUE(LZIsSpannedHeader(Part1Header()));

  std::string work;
  ASSERT_EQ(Join(work), 0);
  EXPECT_EQ(fs::path(work).parent_path(), temp_.Path());
  EXPECT_EQ(fs::path(work).filename().string().substr(0, 3), "ZRL");
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(work), JoinedImage(archive)));

  // Part 1 is the archive that was opened: only the later disks are asked for.
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_EQ(prompts[0].Disk, 2);
  EXPECT_EQ(prompts[0].Total, 3);
  EXPECT_EQ(prompts[0].Needed, -1);
  EXPECT_EQ(test::Slashed(prompts[0].Drive), test::Slashed(Drive()));
  EXPECT_EQ(prompts[1].Disk, 3);
  fs::remove(work);
}

TEST_F(SpanRead, JoinsSelfExtractingSpanWithItsHeaderBehindTheStub) {
  const TBytes archive = SampleArchive(150);
  Split(archive, 500);
  std::string work;
  ASSERT_EQ(Join(work), 0);
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(work), JoinedImage(archive, 150)));

  TLZArchiveHeader joined;
  EXPECT_EQ(LZLocateArchive(work, joined), 3);
  EXPECT_EQ(joined.Trailer.ArchiveOffset, 150);
  EXPECT_FALSE(LZIsSpannedHeader(joined));
  fs::remove(work);
}

TEST_F(SpanRead, ReportsEachPartInOrder) {
  const TBytes archive = SampleArchive();
  const std::vector<std::string> parts = Split(archive, 400);
  std::string work;
  ASSERT_EQ(Join(work), 0);
  fs::remove(work);

  const std::vector<std::int32_t> expected = {-8, -9, -10, -11, -9, -10, -11, -9, -10, -11, -12};
  ASSERT_EQ(ReportCodes(), expected);
  const TLZReportRec& begins = reports[0].Record;
  EXPECT_EQ(begins.FileName, Part1());
  EXPECT_EQ(begins.CompressedSize, 0);
  EXPECT_EQ(begins.UncompressedSize, 0);
  EXPECT_EQ(begins.FileDate, 3);

  const TLZReportRec& second = reports[4].Record;
  EXPECT_EQ(second.FileName, parts[1]);
  EXPECT_EQ(second.CompressedSize, 400 + 83);
  EXPECT_EQ(second.UncompressedSize, 2);
  EXPECT_EQ(second.FileDate, 3);
  EXPECT_EQ(reports[5].Record.FileAttr, 400 + 83);

  const TLZReportRec& done = reports[10].Record;
  EXPECT_EQ(done.FileName, Part1());
  EXPECT_EQ(done.CompressedSize, static_cast<std::int32_t>(archive.size() + 83));
  EXPECT_EQ(done.UncompressedSize, 3);
  EXPECT_EQ(done.FileDate, 3);
}

TEST_F(SpanRead, CopiesLargePartsInBlocks) {
  test::TArchiveBuilder builder;
  builder.AddFile("big.bin", RandomBytes(300000, 3));
  const TBytes archive = builder.Bytes();
  Split(archive, 200000);
  std::string work;
  ASSERT_EQ(Join(work), 0);
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(work), JoinedImage(archive)));
  fs::remove(work);

  // Part 1: 200,000 bytes and its 83-byte trailer.
  ASSERT_GE(reports.size(), 4u);
  EXPECT_EQ(reports[2].Code, -10);
  EXPECT_EQ(reports[2].Record.FileAttr, 128000);
  EXPECT_EQ(reports[3].Code, -10);
  EXPECT_EQ(reports[3].Record.FileAttr, 72083);
}

// ---- Wrong and missing disks -----------------------------------------------------

TEST_F(SpanRead, WrongDiskIsAskedForAgain) {
  const TBytes archive = SampleArchive();
  const std::vector<std::string> parts = Split(archive, 400);
  const TBytes second = test::ReadFileBytes(parts[1]);
  test::WriteFileBytes(parts[1], test::ReadFileBytes(parts[2]));
  prompt_answer = [&](const TPromptCall& call) {
    // The user swaps disks when asked the second time.
    if (call.Disk == 2 && PromptsFor(2) == 2) test::WriteFileBytes(parts[1], second);
    return 0;
  };
  std::string work;
  ASSERT_EQ(Join(work), 0);
  EXPECT_EQ(PromptsFor(2), 2);
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(work), JoinedImage(archive)));
  fs::remove(work);
}

TEST_F(SpanRead, DecliningWrongDiskStops) {
  const std::vector<std::string> parts = Split(SampleArchive(), 400);
  test::WriteFileBytes(parts[1], test::ReadFileBytes(parts[2]));
  prompt_answer = [](const TPromptCall&) { return PromptsFor(2) == 1 ? 0 : 1; };
  EXPECT_EQ(JoinExpectingFailure(), kLZWrongPartStopped);
  EXPECT_EQ(PromptsFor(2), 2);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, MissingPartIsWaitedFor) {
  const TBytes archive = SampleArchive();
  const std::vector<std::string> parts = Split(archive, 400);
  const TBytes second = test::ReadFileBytes(parts[1]);
  fs::remove(parts[1]);
  prompt_answer = [&](const TPromptCall& call) {
    if (call.Disk == 2 && PromptsFor(2) == 3) test::WriteFileBytes(parts[1], second);
    return 0;
  };
  std::string work;
  ASSERT_EQ(Join(work), 0);
  // Once before the disk, twice while it is missing.
  EXPECT_EQ(PromptsFor(2), 3);
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(work), JoinedImage(archive)));
  fs::remove(work);
}

TEST_F(SpanRead, DecliningMissingPartStops) {
  const std::vector<std::string> parts = Split(SampleArchive(), 400);
  fs::remove(parts[2]);
  prompt_answer = [](const TPromptCall& call) { return call.Disk == 3 && PromptsFor(3) > 1; };
  EXPECT_EQ(JoinExpectingFailure(), kLZPromptStopped);
  EXPECT_EQ(PromptsFor(3), 2);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, DecliningTheFirstQuestionStops) {
  Split(SampleArchive(), 400);
  prompt_answer = [](const TPromptCall&) { return 1; };
  EXPECT_EQ(JoinExpectingFailure(), kLZPromptStopped);
  EXPECT_EQ(prompts.size(), 1u);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, MissingAfterAWrongDiskStillStopsAsWrongDisk) {
  const std::vector<std::string> parts = Split(SampleArchive(), 400);
  test::WriteFileBytes(parts[1], test::ReadFileBytes(parts[2]));
  prompt_answer = [&](const TPromptCall&) {
    if (PromptsFor(2) == 2) fs::remove(parts[1]);  // the wrong disk is taken out
    return PromptsFor(2) <= 2 ? 0 : 1;
  };
  EXPECT_EQ(JoinExpectingFailure(), kLZWrongPartStopped);
  EXPECT_EQ(PromptsFor(2), 3);
}

// ---- Damaged parts and headers -------------------------------------------------

TEST_F(SpanRead, PartShorterThanItsTrailerIsRefused) {
  const std::vector<std::string> parts = Split(SampleArchive(), 400);
  test::WriteFileBytes(parts[1], RandomBytes(82, 4));
  EXPECT_EQ(JoinExpectingFailure(), kLZPartTooShort);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, TrailerMustStateThePartsOwnSize) {
  for (std::uint32_t data_size : {399u, 401u}) {
    const std::vector<std::string> parts = Split(SampleArchive(), 400);
    PatchPartTrailer(parts[1], test::kSpanDataSizeAt, data_size);
    prompts.clear();
    prompt_answer = [](const TPromptCall&) { return PromptsFor(2) == 1 ? 0 : 1; };
    EXPECT_EQ(JoinExpectingFailure(), kLZWrongPartStopped) << data_size;
    EXPECT_TRUE(TempFiles().empty());
  }
}

TEST_F(SpanRead, PartOfAnotherSpanIsTheWrongDisk) {
  const std::vector<std::string> parts = Split(SampleArchive(), 400);
  TBytes second = test::ReadFileBytes(parts[1]);
  second[second.size() - test::kPartTrailerSize + 4] = 4;  // SpanParts: 4 instead of 3
  test::WriteFileBytes(parts[1], second);
  prompt_answer = [](const TPromptCall&) { return PromptsFor(2) == 1 ? 0 : 1; };
  EXPECT_EQ(JoinExpectingFailure(), kLZWrongPartStopped);
}

TEST_F(SpanRead, PartCountOutOfRangeIsRefusedAsDamaged) {
  Split(SampleArchive(), 400);
  for (std::int32_t count : {0, -1, 65536}) {
    TLZArchiveHeader header = Part1Header();
    header.PartCount = count;
    std::string work;
    EXPECT_EQ(LZJoinSpannedArchive(Part1(), header, RecordReport, work), kLZNotAnArchive);
  }
  EXPECT_TRUE(prompts.empty());
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, JoinPastTwoGigabytesIsRefusedBeforeCopying) {
  const std::vector<std::string> parts = Split(SampleArchive(), 700);
  ASSERT_EQ(parts.size(), 2u);
  // Part 2 claims every byte left up to the limit and one more: a sparse file.
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int64_t data_size = kMax - 700 - 83 + 1;
  TBytes trailer = test::ReadFileBytes(parts[1]);
  trailer.erase(trailer.begin(), trailer.end() - test::kPartTrailerSize);
  test::SetU32(trailer, test::kSpanDataSizeAt, static_cast<std::uint32_t>(data_size));
  fs::resize_file(parts[1], static_cast<std::uintmax_t>(data_size));
  std::ofstream(parts[1], std::ios::binary | std::ios::app)
      .write(reinterpret_cast<const char*>(trailer.data()), test::kPartTrailerSize);

  EXPECT_EQ(JoinExpectingFailure(), kLZJoinedArchiveInvalid);
  const std::vector<std::int32_t> only_part1 = {-8, -9, -10, -11};
  EXPECT_EQ(ReportCodes(), only_part1);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, HeaderOutsideTheJoinedBytesIsRefused) {
  const TBytes archive = SampleArchive();
  Split(archive, 400);
  for (std::int32_t offset : {-1, static_cast<std::int32_t>(archive.size()) - 125}) {
    TLZArchiveHeader header = Part1Header();
    header.Trailer.ArchiveOffset = offset;
    std::string work;
    EXPECT_EQ(LZJoinSpannedArchive(Part1(), header, RecordReport, work), kLZJoinedArchiveInvalid)
        << offset;
    EXPECT_TRUE(work.empty());
  }
  EXPECT_TRUE(TempFiles().empty());
}

// ---- The work file ----------------------------------------------------------------

TEST_F(SpanRead, ExceptionWhileCopyingLeavesNoWorkFile) {
  Split(SampleArchive(), 400);
  report_hook = [](std::int32_t code) {
    if (code == kLZReportPartChunk && PromptsFor(2) == 1) throw std::runtime_error("stop");
  };
  std::string work;
  EXPECT_THROW(Join(work), std::runtime_error);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, MissingTemporaryFolderIsCreated) {
  Split(SampleArchive(), 400);
  const fs::path nested = temp_.Path() / "a" / "b";
  UseTemp(nested.string());
  std::string work;
  ASSERT_EQ(Join(work), 0);
  EXPECT_EQ(fs::path(work).parent_path(), nested);
  fs::remove(work);
}

TEST_F(SpanRead, UnusableTemporaryFolderFailsWithoutAsking) {
  Split(SampleArchive(), 400);
  const std::string not_a_folder = (temp_.Path() / "file").string();
  test::WriteFileBytes(not_a_folder, {1});
  UseTemp(not_a_folder);
  EXPECT_EQ(JoinExpectingFailure(), kLZCannotCreateJoinFile);
  EXPECT_TRUE(prompts.empty());
  EXPECT_TRUE(reports.empty());
}

// ---- The default prompt ---------------------------------------------------------

TEST_F(SpanRead, DefaultPromptAsksOnlyForTheDisk) {
  Split(SampleArchive(), 400);
  LZSetSpanPromptProc(nullptr);
  std::vector<std::string> captions;
  const TMessageBoxHook previous = SetMessageBoxHook(
      [&](const std::string&, const std::string& caption, TMsgBoxButtons, TMsgBoxIcon) {
        captions.push_back(caption);
        return kMbYes;
      });
  std::string work;
  const std::int32_t result = Join(work);
  SetMessageBoxHook(previous);
  ASSERT_EQ(result, 0);
  fs::remove(work);
  // Reading passes -1 as the space needed: no free-space warning.
  const std::vector<std::string> expected(2, "LZ Archive Disk Spanning");
  EXPECT_EQ(captions, expected);
}

// ---- Extraction through the joined archive ---------------------------------------

struct TSampleFile {
  std::string Path;  // inside the archive, native separators
  TBytes Data;
};

void MarkCompressed(test::TArchiveImage& image, int entry, const TBytes& original,
                    std::uint8_t method) {
  TLZFileEntry& record = image.Entries[static_cast<std::size_t>(entry - 1)];
  image.Header.TotalUncompressed +=
      static_cast<std::int32_t>(original.size()) - record.UncompressedSize;
  record.Compressed = 1;
  record.Method = method;
  record.UncompressedSize = static_cast<std::int32_t>(original.size());
  record.FileCRC = CRC32Of(original.data(), original.size());
  image.SealDirectoryCRC();
}

// A folder, a stored file, an LZSS and an LZH file.  The streams are made
// once, before the engine first runs a codec.
TBytes MixedArchive(std::vector<TSampleFile>& files) {
  static const TBytes text = [] {
    std::string words;
    for (int i = 0; i < 400; ++i) words += "line " + std::to_string(i % 37) + " of the sample\n";
    return TBytes(words.begin(), words.end());
  }();
  static const TBytes lzss = [] {
    LZSSInit();
    return test::RunLZSSOverMemory(LZSSEncode, text.data(), text.size()).Output;
  }();
  static const TBytes lzh = test::RunLZHOverMemory(LZHCompress, text.data(), text.size()).Output;
  const TBytes stored = RandomBytes(3000, 5);

  test::TArchiveBuilder builder;
  const int docs = builder.AddFolder("Docs");
  builder.AddFile("stored.bin", stored, docs);
  const int fast = builder.AddFile("fast.txt", lzss);
  const int max = builder.AddFile("max.txt", lzh, docs);
  test::TArchiveImage image = builder.Image();
  MarkCompressed(image, fast, text, kLZMethodLZSS);
  MarkCompressed(image, max, text, kLZMethodLZH);
  files = {{"Docs/stored.bin", stored}, {"fast.txt", text}, {"Docs/max.txt", text}};
  return image.Bytes();
}

TEST_F(SpanRead, JoinedArchiveExtractsLikeTheUnsplitOne) {
  std::vector<TSampleFile> files;
  const TBytes archive = MixedArchive(files);
  ASSERT_GT(Split(archive, 1500).size(), 2u);
  LZSetCheckCRC(true);
  const fs::path target = parts_dir_.Path() / "out";
  const std::int32_t extracted =
      LZDecompressArchive(Part1(), target.string(), nullptr, RecordReport, nullptr, true, false);
  LZSetCheckCRC(false);
  ASSERT_EQ(extracted, 3);
  for (const TSampleFile& file : files) {
    EXPECT_TRUE(SameBytes(test::ReadFileBytes((target / file.Path).string()), file.Data))
        << file.Path;
  }
  // The parts are joined before the summary of the joined archive.
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.front().Code, kLZReportJoinBegins);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SpanRead, DeclinedDiskExtractsNothing) {
  std::vector<TSampleFile> files;
  Split(MixedArchive(files), 1500);
  prompt_answer = [](const TPromptCall&) { return 1; };
  const fs::path target = parts_dir_.Path() / "out";
  EXPECT_EQ(
      LZDecompressArchive(Part1(), target.string(), nullptr, RecordReport, nullptr, true, false),
      kLZPromptStopped);
  EXPECT_TRUE(!fs::exists(target) || fs::is_empty(target));
  EXPECT_TRUE(TempFiles().empty());
}

}  // namespace
}  // namespace zorellz
