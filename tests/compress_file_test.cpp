// Single compressed files: the 257-byte header as written, the stream of
// each level, the names refused, the overwrite question and the tilde names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/engine/EngineState.h"
#include "platform/DosTime.h"
#include "tests/ArchiveCheck.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;

TBytes Text(std::size_t size) {
  static const std::string kLine = "Lorem ipsum dolor sit amet, consectetur adipiscing elit.\n";
  TBytes bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>(kLine[i % kLine.size()]);
  return bytes;
}

struct TReportCall {
  std::int32_t Code;
  TLZReportRec Record;
};
std::vector<TReportCall> report_calls;

std::int32_t RecordReport(TLZReportRec& record, std::int32_t code) {
  report_calls.push_back({code, record});
  return 1;
}

std::int32_t ThrowOnFileBegins(TLZReportRec&, std::int32_t code) {
  if (code == kLZReportFileBegins) throw std::runtime_error("report failed");
  return 1;
}

std::vector<std::pair<TLZReportRec, TLZReportRec>> questions;
std::uint8_t answer = 1;

std::uint8_t Confirm(const TLZReportRec& current, const TLZReportRec& existing) {
  questions.emplace_back(current, existing);
  return answer;
}

class CompressFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    report_calls.clear();
    questions.clear();
    answer = 1;
    test::WriteFileBytes(Input(), Text(10000));
  }
  void TearDown() override { LZResetEngineState(); }

  std::string Input() const { return scratch_.File("report.txt"); }
  std::string Output() const { return scratch_.File("report.tx~"); }

  std::int32_t Compress(TLZCompressionChoices level, TLZReportProc report = nullptr) {
    return LZCompressFile(Input(), Output(), Confirm, level, report);
  }

  TLZFileHeader OutputHeader() {
    TLZFileHeader header;
    EXPECT_TRUE(LZGetFileHeader(Output(), header));
    return header;
  }

  test::TScratchDir scratch_;
};

// The stream after the header decodes as extraction decodes it.
::testing::AssertionResult StreamDecodes(const std::string& path, const TLZFileHeader& header) {
  const TBytes file = test::ReadFileBytes(path);
  TLZFileEntry entry;
  entry.Compressed = 1;
  entry.Method = header.Method;
  entry.CompressedSize = header.CompressedSize;
  entry.UncompressedSize = header.UncompressedSize;
  entry.FileCRC = header.FileCRC;
  if (file.size() != 257u + static_cast<std::size_t>(header.CompressedSize)) {
    return ::testing::AssertionFailure() << "file holds " << file.size() << " bytes";
  }
  TBytes decoded;
  return test::archive_check_detail::DecodeEntry(entry, file.data() + 257, decoded);
}

TEST_F(CompressFileTest, WritesHeaderAndStreamOfEachLevel) {
  constexpr std::int32_t kDate = 0x58B153CA;  // 17 May 2024 10:30:20
  ASSERT_TRUE(SetFileDosDate(Input(), kDate));
  const struct {
    TLZCompressionChoices Level;
    std::uint8_t Method;
  } kLevels[] = {{LZNoCompression, kLZMethodStored},  // coded with LZSS all the same
                 {LZFastCompression, kLZMethodLZSS},
                 {LZMaxCompression, kLZMethodLZH}};
  for (const auto& level : kLevels) {
    SCOPED_TRACE(static_cast<int>(level.Level));
    fs::remove(Output());
    const std::int32_t written = Compress(level.Level);
    ASSERT_EQ(written, static_cast<std::int32_t>(fs::file_size(Output())));
    const TLZFileHeader header = OutputHeader();
    EXPECT_EQ(header.Signature, LZFileHeaderSignature());
    EXPECT_EQ(header.Method, level.Method);
    EXPECT_EQ(header.UncompressedSize, 10000);
    EXPECT_EQ(header.CompressedSize, written - 257);
    EXPECT_LT(header.CompressedSize, 10000);
    EXPECT_EQ(header.FileCRC, CRC32Of(Text(10000).data(), 10000));
    EXPECT_EQ(header.FileDate, kDate);
    EXPECT_EQ(header.FileAttr, GetFileAttributesNative(Input()));
    EXPECT_EQ(header.FileVersion.Get(), "0");
    EXPECT_EQ(header.SourceName.Get(), "report.txt");
    EXPECT_EQ(header.ArchiveID, 0);
    EXPECT_TRUE(StreamDecodes(Output(), header));
    EXPECT_EQ(GetFileDosDate(Output()), kDate);
  }
}

TEST_F(CompressFileTest, EmptyInputGivesHeaderAndEmptyStream) {
  test::WriteFileBytes(Input(), {});
  ASSERT_EQ(Compress(LZFastCompression), 257);
  EXPECT_EQ(OutputHeader().CompressedSize, 0);
  ASSERT_GT(Compress(LZMaxCompression), 257);  // the end code
  EXPECT_TRUE(StreamDecodes(Output(), OutputHeader()));
}

TEST_F(CompressFileTest, CopiesSingleCompressedInputWhole) {
  ASSERT_GT(Compress(LZMaxCompression), 0);
  const std::string copy = scratch_.File("copy.tx~");
  ASSERT_EQ(LZCompressFile(Output(), copy, nullptr, LZFastCompression, nullptr),
            static_cast<std::int32_t>(fs::file_size(Output())));
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(copy), test::ReadFileBytes(Output())));
}

TEST_F(CompressFileTest, RefusesInputThatIsTheOutput) {
  fs::create_directory(scratch_.File("sub"));
  fs::create_hard_link(Input(), scratch_.File("hard.txt"));
  fs::create_symlink(Input(), scratch_.File("soft.txt"));
  for (const std::string& out : {Input(), scratch_.File("sub/../report.txt"),
                                 scratch_.File("hard.txt"), scratch_.File("soft.txt")}) {
    EXPECT_EQ(LZCompressFile(Input(), out, nullptr, LZMaxCompression, nullptr), kLZSameInputOutput)
        << out;
  }
  EXPECT_EQ(LZCompressFile("", Output(), nullptr, LZMaxCompression, nullptr), kLZSameInputOutput);
  EXPECT_EQ(LZCompressFile(Input(), "", nullptr, LZMaxCompression, nullptr), kLZSameInputOutput);
  EXPECT_EQ(
      LZCompressFile(scratch_.File("missing.txt"), Output(), nullptr, LZMaxCompression, nullptr),
      kLZInputMissing);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Input()), Text(10000)));
}

// The header keeps at most 128 bytes of Windows-1252 text: other names are
// refused rather than cut.
TEST_F(CompressFileTest, RefusesSourceNamesTheHeaderCannotHold) {
  const std::string fits = scratch_.File(std::string(128, 'f'));
  const std::string too_long = scratch_.File(std::string(129, 'l'));
  const std::string foreign = scratch_.File("\xE6\x97\xA5\xE6\x9C\xAC.txt");
  for (const std::string& name : {fits, too_long, foreign}) test::WriteFileBytes(name, Text(200));
  EXPECT_GT(LZCompressFile(fits, Output(), nullptr, LZMaxCompression, nullptr), 0);
  fs::remove(Output());
  EXPECT_EQ(LZCompressFile(too_long, Output(), nullptr, LZMaxCompression, nullptr),
            kLZSameInputOutput);
  EXPECT_EQ(LZCompressFile(foreign, Output(), nullptr, LZMaxCompression, nullptr),
            kLZSameInputOutput);
  EXPECT_FALSE(fs::exists(Output()));
}

TEST_F(CompressFileTest, AsksBeforeReplacingAnExistingOutput) {
  ASSERT_GT(Compress(LZFastCompression), 0);
  const TBytes first = test::ReadFileBytes(Output());
  EXPECT_TRUE(questions.empty());  // nothing to replace yet

  answer = 0;
  EXPECT_EQ(Compress(LZMaxCompression), kLZDeclinedOverwrite);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Output()), first));
  ASSERT_EQ(questions.size(), 1u);
  const auto& [current, existing] = questions[0];
  EXPECT_EQ(current.FileName, Input());
  EXPECT_EQ(current.CompressedSize, 10000);
  EXPECT_EQ(current.Method, 0);
  EXPECT_EQ(existing.FileName, "report.txt");  // described by its header
  EXPECT_EQ(existing.CompressedSize, static_cast<std::int32_t>(first.size() - 257));
  EXPECT_EQ(existing.Method, kLZMethodLZSS);

  answer = 1;
  ASSERT_GT(Compress(LZMaxCompression), 0);
  EXPECT_EQ(OutputHeader().Method, kLZMethodLZH);
}

TEST_F(CompressFileTest, ReportsBeginProgressAndDone) {
  ASSERT_GT(Compress(LZFastCompression, RecordReport), 0);
  ASSERT_GE(report_calls.size(), 3u);
  EXPECT_EQ(report_calls.front().Code, kLZReportFileBegins);
  EXPECT_EQ(report_calls.front().Record.FileName, Input());
  EXPECT_EQ(report_calls.front().Record.CompressedSize, -1);  // no output yet
  std::int64_t progress = 0;
  for (std::size_t i = 1; i + 1 < report_calls.size(); ++i) {
    ASSERT_GT(report_calls[i].Code, 0);
    progress += report_calls[i].Code;
  }
  EXPECT_EQ(progress, 10000);  // input bytes
  EXPECT_EQ(report_calls.back().Code, kLZReportFileDone);
  EXPECT_TRUE(report_calls.back().Record.FileName.empty());
  EXPECT_EQ(report_calls.back().Record.CompressedSize, OutputHeader().CompressedSize);
}

TEST_F(CompressFileTest, FailureLeavesExistingOutputUntouched) {
  const TBytes old_bytes(99, 'o');
  test::WriteFileBytes(Output(), old_bytes);
  const std::vector<std::string> names_before = scratch_.Names();
  EXPECT_THROW(Compress(LZMaxCompression, ThrowOnFileBegins), std::runtime_error);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Output()), old_bytes));
  EXPECT_EQ(scratch_.Names(), names_before);
}

TEST_F(CompressFileTest, AutoNameEndsInTilde) {
  EXPECT_EQ(LZCompressedAutoName("REPORT.TXT"), "REPORT.TX~");
  EXPECT_EQ(LZCompressedAutoName("A.B"), "A.~");
  EXPECT_EQ(LZCompressedAutoName("README"), "README.~");
  EXPECT_EQ(LZCompressedAutoName("X."), "X.~");
  EXPECT_EQ(LZCompressedAutoName("dir.d/README"), "dir.d/README.~");

  ASSERT_GT(LZCompressFileAutoName(Input(), nullptr, nullptr), 0);
  EXPECT_EQ(OutputHeader().Method, kLZMethodLZH);
}

}  // namespace
}  // namespace zorellz
