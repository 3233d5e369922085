// Declared sizes are limits: a stream that decodes to more than its entry
// declares is damaged, and no byte past the declared size is ever written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/engine/CreateWrite.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;

constexpr std::int32_t kDeclared = 1000;

// Output bytes the engine reported while decoding: what it wrote.
std::int64_t reported_bytes = 0;
std::int32_t CountBytes(TLZReportRec&, std::int32_t code) {
  if (code > 0) reported_bytes += code;
  return 1;
}

class SizeLimit : public ::testing::TestWithParam<TLZCompressionChoices> {
 protected:
  // An archive of one compressible 300,000-byte file whose entry then says
  // it holds kDeclared bytes (its directory sealed again, so only the data
  // give it away).
  void SetUp() override {
    fs::create_directories(input_);
    TBytes data;
    for (int i = 0; i < 300000; ++i) data.push_back(static_cast<std::uint8_t>("bomb"[i % 4]));
    test::WriteFileBytes((input_ / "big.txt").string(), data);
    ASSERT_EQ(LZCreateArchive(context_, (input_ / "*").string(), archive_, LZNoRecurse, GetParam(),
                              CountBytes),
              1);
    TZorelLZArchiveHeader directory;
    ASSERT_EQ(LZLoadDirectory(context_, archive_, directory), 0);
    ASSERT_NE(directory.Entries[0].Compressed, 0);
    directory.Entries[0].UncompressedSize = kDeclared;
    TFile file;
    ASSERT_TRUE(file.Open(archive_, TFile::TMode::kReadWrite));
    ASSERT_TRUE(file.Seek(directory.Header.Trailer.ArchiveOffset));
    TLZArchiveHeader header = directory.Header;
    ASSERT_EQ(LZWriteDirectory(file, directory, header, true), 0);
    reported_bytes = 0;
  }

  test::TScratchDir scratch_;
  const fs::path input_ = scratch_.Path() / "in";
  const fs::path target_ = scratch_.Path() / "out";
  const std::string archive_ = scratch_.File("bomb.lza");
  TLZContext context_;
};

TEST_P(SizeLimit, TestCallsTheEntryDamaged) {
  EXPECT_EQ(LZTestArchive(context_, archive_, CountBytes), kLZCRCMismatch);
  EXPECT_LE(reported_bytes, kDeclared);
}

// Without the CRC check too: the size is enforced while decoding, not after.
TEST_P(SizeLimit, ExtractionWritesNothingPastTheDeclaredSizeAndInstallsNothing) {
  for (std::int32_t jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    context_.Jobs = jobs;
    context_.CheckCRC = false;
    reported_bytes = 0;
    EXPECT_LT(LZDecompressArchive(context_, archive_, target_.string(), nullptr, CountBytes,
                                  nullptr, false, false),
              1);
    EXPECT_LE(reported_bytes, kDeclared);
    EXPECT_FALSE(fs::exists(target_ / "big.txt"));
    for (const auto& entry : fs::directory_iterator(target_)) ADD_FAILURE() << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, SizeLimit, ::testing::Values(LZFastCompression, LZMaxCompression));

// A single compressed file whose header declares less than its stream holds.
TEST(SingleFileSizeLimit, ExpandStopsAtTheDeclaredSize) {
  test::TScratchDir scratch;
  TBytes data(200000, 'x');
  const std::string plain = scratch.File("plain.txt");
  const std::string packed = scratch.File("plain.tx~");
  test::WriteFileBytes(plain, data);
  ASSERT_GT(LZCompressFile(plain, packed, nullptr, LZMaxCompression, nullptr), 0);
  TBytes bytes = test::ReadFileBytes(packed);
  TLZFileHeader header;
  ASSERT_TRUE(LZGetFileHeader(packed, header));
  header.UncompressedSize = kDeclared;
  {
    TFile file;
    ASSERT_TRUE(file.Open(packed, TFile::TMode::kReadWrite));
    LZWriteRecord(file, header);
  }
  const std::string out = scratch.File("again.txt");
  reported_bytes = 0;
  EXPECT_LT(LZDecompressFile(packed, out, nullptr, CountBytes), 0);
  EXPECT_LE(reported_bytes, kDeclared);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace zorellz
