// Single-file decompression: both codecs and plain copies, the overwrite
// question, failures that must leave the target alone, and name checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/engine/CodecIO.h"
#include "archive/engine/EngineState.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "tests/ArchiveBuilder.h"
#include "tests/ArchiveCheck.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::pair<std::int32_t, std::string>> reports;  // progress as code 1
std::uint8_t answer = 1;

std::int32_t Report(TLZReportRec& record, std::int32_t code) {
  if (code <= 0 || reports.empty() || reports.back().first != 1) {
    reports.emplace_back(code > 0 ? 1 : code, record.FileName);
  }
  return 1;
}

std::uint8_t Ask(const TLZReportRec&, const TLZReportRec&) {
  return answer;
}

class DecompressFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    LZSetCheckCRC(true);
    reports.clear();
    answer = 1;
  }
  void TearDown() override { LZResetEngineState(); }

  TBytes Encode(const TBytes& data, TLZCompressionChoices level) {
    return test::EngineEncode(scratch_, data, level);
  }
  // Writes `file` as a single compressed file holding `data` as "in.txt";
  // `damage` may change the header or the stream first.
  void WriteSingle(const std::string& file, const TBytes& data, TLZCompressionChoices level,
                   const std::function<void(TLZFileHeader&, TBytes&)>& damage = nullptr) {
    TBytes stream = Encode(data, level);
    TLZFileHeader header = DefaultFileHeader("in.txt");
    header.Method = level == LZMaxCompression ? kLZMethodLZH : kLZMethodLZSS;
    header.UncompressedSize = static_cast<std::int32_t>(data.size());
    header.CompressedSize = static_cast<std::int32_t>(stream.size());
    header.FileCRC = CRC32Of(data.data(), data.size());
    if (damage) damage(header, stream);
    WriteFileBytes(file, SingleFileBytes(header, stream));
  }

  bool OnlyVisibleFiles() const {
    for (const auto& entry : fs::directory_iterator(scratch_.Path())) {
      if (entry.path().filename().string().starts_with(".")) return false;
    }
    return true;
  }

  TScratchDir scratch_;
  std::string in_ = scratch_.File("in.tx~");
  std::string out_ = scratch_.File("out.txt");
};

TEST_F(DecompressFileTest, DecodesBothCodecsAndCopiesPlainFiles) {
  const TBytes data = RandomBytes(70000, 5);
  for (TLZCompressionChoices level : {LZFastCompression, LZMaxCompression}) {
    reports.clear();
    WriteSingle(in_, data, level);
    EXPECT_EQ(LZDecompressFile(in_, out_, nullptr, Report), 70000);
    EXPECT_TRUE(SameBytes(ReadFileBytes(out_), data));
    EXPECT_EQ(GetFileDosDate(out_), DefaultFileHeader("in.txt").FileDate);
    const std::vector<std::pair<std::int32_t, std::string>> expected = {
        {-1, ExpandFileName(out_)}, {1, ExpandFileName(out_)}, {-2, ""}};
    EXPECT_EQ(reports, expected);
  }
  WriteFileBytes(scratch_.File("plain"), data);
  EXPECT_EQ(LZDecompressFile(scratch_.File("plain"), out_, nullptr, nullptr), 70000);
  EXPECT_TRUE(SameBytes(ReadFileBytes(out_), data));
}

TEST_F(DecompressFileTest, DeclinedAbortedAndFailedLeaveTheTarget) {
  const TBytes data = RandomBytes(20000, 6);
  const TBytes old = {'o', 'l', 'd'};
  WriteFileBytes(out_, old);
  WriteSingle(in_, data, LZFastCompression);
  answer = 0;
  EXPECT_EQ(LZDecompressFile(in_, out_, Ask, Report), kLZDeclinedOverwrite);
  answer = 2;
  EXPECT_EQ(LZDecompressFile(in_, out_, Ask, Report), kLZAbortedOverwrite);
  EXPECT_TRUE(reports.empty());

  WriteSingle(in_, data, LZFastCompression, [](TLZFileHeader& h, TBytes&) { h.FileCRC ^= 1; });
  EXPECT_EQ(LZDecompressFile(in_, out_, nullptr, Report), kLZCRCMismatch);
  EXPECT_EQ(reports.back(), std::make_pair(std::int32_t{kLZCRCMismatch}, ExpandFileName(out_)));
  WriteSingle(in_, data, LZFastCompression,
              [](TLZFileHeader& h, TBytes&) { h.UncompressedSize -= 1; });
  EXPECT_EQ(LZDecompressFile(in_, out_, nullptr, Report), kLZCRCMismatch);
  WriteSingle(in_, data, LZMaxCompression, [](TLZFileHeader&, TBytes& s) { s.resize(100); });
  EXPECT_EQ(LZDecompressFile(in_, out_, nullptr, Report), kLZInputEndedEarly);
  EXPECT_EQ(ReadFileBytes(out_), old);
  EXPECT_TRUE(OnlyVisibleFiles());

  LZSetCheckCRC(false);  // unchecked, a wrong CRC goes unnoticed
  WriteSingle(in_, data, LZFastCompression, [](TLZFileHeader& h, TBytes&) { h.FileCRC ^= 1; });
  EXPECT_EQ(LZDecompressFile(in_, out_, nullptr, nullptr), 20000);
}

TEST_F(DecompressFileTest, NamesAreChecked) {
  const TBytes data = {'d', 'a', 't', 'a'};
  EXPECT_THROW(LZDecompressFile("", out_, nullptr, nullptr), EZorelLZCompress);
  WriteSingle(in_, data, LZFastCompression);
  const std::string same = scratch_.File(".") + "/in.tx~";
  try {
    LZDecompressFile(in_, same, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (const EZorelLZCompress& error) {
    EXPECT_EQ(error.MessageId, kMsgSameInputOutput);
  }
  // "in.txt" is missing: its compressed name "in.tx~" holds it.
  EXPECT_EQ(LZDecompressFile(scratch_.File("in.txt"), out_, nullptr, nullptr), 4);
  EXPECT_EQ(ReadFileBytes(out_), data);
  fs::rename(in_, scratch_.File("other.tx~"));
  try {
    LZDecompressFile(scratch_.File("other.txt"), out_, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (const EZorelLZCompress& error) {
    EXPECT_EQ(error.MessageId, kMsgWrongCompressedFile);
    EXPECT_EQ(std::string(error.what()), "Wrong compressed file: in.txt");
  }
}

}  // namespace
}  // namespace zorellz::test
