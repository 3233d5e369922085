// Testing archives: every entry decoded into nothing and checked, each
// damaged one named, nothing written.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ArchiveBuilder.h"
#include "tests/LzhMemory.h"
#include "tests/LzssMemory.h"
#include "tests/SpanParts.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

struct TReported {
  std::int32_t Code;
  std::string FileName;
  std::int32_t FileAttr;
};

std::vector<TReported> reported;

std::int32_t RecordReport(TLZReportRec& record, std::int32_t code) {
  if (code > 0) return 1;  // progress
  reported.push_back({code, record.FileName, record.FileAttr});
  return 1;
}

std::vector<std::string> Damaged() {
  std::vector<std::string> names;
  for (const TReported& report : reported) {
    if (report.Code == kLZCRCMismatch) names.push_back(report.FileName);
  }
  return names;
}

TBytes LZHStream(const TBytes& data) {
  return RunLZHOverMemory(LZHCompress, data.data(), data.size()).Output;
}

// Makes entry `k` of `image` a compressed entry of `method` holding `stream`.
void PutStream(TArchiveImage& image, int k, std::uint8_t method, const TBytes& stream) {
  TLZFileEntry& entry = image.Entries[static_cast<std::size_t>(k - 1)];
  image.Header.TotalCompressed += static_cast<std::int32_t>(stream.size()) - entry.CompressedSize;
  entry.Compressed = 1;
  entry.Method = method;
  entry.CompressedSize = static_cast<std::int32_t>(stream.size());
  image.Data[static_cast<std::size_t>(k - 1)] = stream;
  image.SealDirectoryCRC();
}

class TestArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    reported.clear();
  }
  void TearDown() override { LZResetEngineState(); }

  // Docs\packed.lzh (LZH), fast.lzs (LZSS), plain.txt (stored).
  TArchiveImage MixedImage(std::size_t stub = 0) {
    TArchiveBuilder builder;
    const int docs = builder.AddFolder("Docs");
    builder.AddFile("packed.lzh", lzh_data_, docs);
    builder.AddFile("fast.lzs", lzss_data_);
    builder.AddFile("plain.txt", stored_data_);
    TArchiveImage image = builder.Stub(stub).Image();
    PutStream(image, 2, kLZMethodLZH, LZHStream(lzh_data_));
    PutStream(image, 3, kLZMethodLZSS, LiteralLZSSStream(lzss_data_));
    return image;
  }

  std::size_t FilesInScratch() const {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(scratch_.Path()),
                      std::filesystem::directory_iterator()));
  }

  TScratchDir scratch_;
  const TBytes lzh_data_ = RandomBytes(40000, 1);
  const TBytes lzss_data_ = RandomBytes(3000, 2);
  const TBytes stored_data_ = RandomBytes(500, 3);
};

TEST_F(TestArchiveTest, SoundArchiveCountsItsFilesAndWritesNothing) {
  const std::string archive = scratch_.File("mixed.lza");
  WriteFileBytes(archive, MixedImage().Bytes());
  EXPECT_EQ(LZTestArchive(archive, RecordReport), 3);
  EXPECT_TRUE(Damaged().empty());
  EXPECT_EQ(FilesInScratch(), 1u);

  ASSERT_EQ(reported.size(), 8u);
  EXPECT_EQ(reported.front().Code, kLZReportSummary);
  EXPECT_EQ(reported[1].Code, kLZReportFileBegins);
  EXPECT_EQ(reported[1].FileName, "Docs\\packed.lzh");
  EXPECT_EQ(reported[2].Code, kLZReportFileDone);
  EXPECT_EQ(reported.back().Code, kLZReportFinished);
  EXPECT_EQ(reported.back().FileAttr, 3);
}

TEST_F(TestArchiveTest, NamesEveryDamagedEntryAndGoesOn) {
  TArchiveImage image = MixedImage();
  // The LZH stream loses its last words, end code included.
  TBytes cut = image.Data[1];
  cut.resize(cut.size() - 40);
  PutStream(image, 2, kLZMethodLZH, cut);
  // One byte of the stored file differs from what its CRC-32 covers.
  image.Data[3][100] ^= 0x55;
  const std::string archive = scratch_.File("damaged.lza");
  WriteFileBytes(archive, image.Bytes());

  EXPECT_EQ(LZTestArchive(archive, RecordReport), kLZInputEndedEarly);  // the first failure
  EXPECT_EQ(Damaged(), (std::vector<std::string>{"Docs\\packed.lzh", "plain.txt"}));
  EXPECT_EQ(reported.back().FileAttr, 1);  // the LZSS entry is sound
}

TEST_F(TestArchiveTest, AlteredLZSSDataOrWrongSizeIsACRCMismatch) {
  TArchiveImage image = MixedImage();
  image.Data[2][10] ^= 0x01;  // the first literal after the second flag byte
  const std::string archive = scratch_.File("lzss.lza");
  WriteFileBytes(archive, image.Bytes());
  EXPECT_EQ(LZTestArchive(archive, RecordReport), kLZCRCMismatch);
  EXPECT_EQ(Damaged(), (std::vector<std::string>{"fast.lzs"}));

  // The right bytes, but fewer than the entry promises.
  image = MixedImage();
  image.Entries[3].UncompressedSize += 1;
  image.SealDirectoryCRC();
  WriteFileBytes(archive, image.Bytes());
  reported.clear();
  EXPECT_EQ(LZTestArchive(archive, RecordReport), kLZCRCMismatch);
  EXPECT_EQ(Damaged(), (std::vector<std::string>{"plain.txt"}));
}

TEST_F(TestArchiveTest, FindsAnAppendedArchiveAndRestoresTheHeaderOffset) {
  const std::string sfx = scratch_.File("setup.exe");
  WriteFileBytes(sfx, MixedImage(700).Bytes());
  EXPECT_EQ(LZTestArchive(sfx, nullptr), 3);
  EXPECT_EQ(LZSetHeaderOffset(-1), 0);
}

TEST_F(TestArchiveTest, JoinsSpannedPartsFirst) {
  const std::string unsplit = scratch_.File("unsplit.lza");
  WriteFileBytes(unsplit, MixedImage().Bytes());
  const std::filesystem::path parts = scratch_.Path() / "parts";
  std::filesystem::create_directory(parts);
  const std::vector<std::string> names =
      WriteSpanParts(ReadFileBytes(unsplit), (parts / "DATA.LZA").string(), 20000);
  ASSERT_GE(names.size(), 2u);
  LZSetSpanPromptProc([](std::int32_t, std::int32_t, std::int32_t, const char*) { return 0; });
  EXPECT_EQ(LZTestArchive(names[0], nullptr), 3);
}

TEST_F(TestArchiveTest, RefusesWhatIsNoSoundArchive) {
  const std::string text = scratch_.File("text.txt");
  WriteFileBytes(text, TBytes(300, 't'));
  EXPECT_EQ(LZTestArchive(text, RecordReport), kLZNotAnArchive);
  EXPECT_EQ(LZTestArchive(scratch_.File("missing.lza"), RecordReport), kLZNoFile);

  TArchiveImage image = MixedImage();
  image.Header.DirectoryCRC ^= 0x100;
  const std::string archive = scratch_.File("directory.lza");
  WriteFileBytes(archive, image.Bytes());
  EXPECT_EQ(LZTestArchive(archive, RecordReport), kLZDamagedDirectory);
  EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace zorellz::test
