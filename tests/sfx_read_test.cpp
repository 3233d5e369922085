// Archives appended to a program: extracted in place with their command, and
// copied out into plain archive files.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/System.h"
#include "tests/ArchiveBuilder.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

constexpr std::size_t kStubSize = 1500;
constexpr std::size_t kArchiveOffsetInHeader = 43 + 25;

std::uint8_t answer_to_question = 1;
std::uint8_t Answer(const TLZReportRec&, const TLZReportRec&) {
  return answer_to_question;
}

class SfxReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    answer_to_question = 1;
    previous_start_ = SetStartCommandFunc([this](const std::string& command) {
      started_.push_back(command);
      return true;
    });
    target_ = scratch_.Path() / "target";
  }
  void TearDown() override {
    SetStartCommandFunc(previous_start_);
    LZResetEngineState();
  }

  // a.txt and b.txt, behind a stub of `stub` bytes, carrying `command`.
  TArchiveImage Image(std::size_t stub, const std::string& command = "") const {
    TArchiveBuilder builder;
    builder.AddFile("a.txt", a_);
    builder.AddFile("b.txt", b_);
    TArchiveImage image = builder.Stub(stub).Image();
    if (!command.empty()) {
      image.Header.Trailer.RunCommand.Set(command);
      image.Trailer = image.Header.Trailer;
    }
    return image;
  }

  std::string Write(const std::string& name, const TArchiveImage& image) const {
    const std::string path = scratch_.File(name);
    WriteFileBytes(path, image.Bytes());
    return path;
  }

  std::int32_t Decompress(const std::string& file) {
    return LZDecompressSFXArchive(file, target_.string(), Answer, nullptr, nullptr, true, false);
  }

  TScratchDir scratch_;
  std::filesystem::path target_;
  std::vector<std::string> started_;
  TStartCommandFunc previous_start_;
  const TBytes a_ = RandomBytes(2000, 11);
  const TBytes b_ = RandomBytes(300, 12);
};

// ---- Copying the archive out -----------------------------------------------

TEST_F(SfxReadTest, CopyHasTheHeaderAtOffsetZeroThenEverythingAfterIt) {
  const TArchiveImage image = Image(kStubSize);
  const std::string sfx = Write("setup.exe", image);
  const std::string out = scratch_.File("out.lza");
  const TBytes sfx_bytes = ReadFileBytes(sfx);

  TBytes expected(sfx_bytes.begin() + kStubSize, sfx_bytes.end());
  for (std::size_t i = 0; i < 4; ++i) expected[kArchiveOffsetInHeader + i] = 0;
  EXPECT_EQ(LZExtractArchiveFromSFX(sfx, out), static_cast<std::int32_t>(expected.size()));
  EXPECT_TRUE(SameBytes(ReadFileBytes(out), expected));
  // The copy is an archive of its own.
  EXPECT_EQ(LZArchiveCount(out), 2);
}

TEST_F(SfxReadTest, CopyRefusesWhatHoldsNoAppendedArchive) {
  const std::string out = scratch_.File("out.lza");
  WriteFileBytes(out, {'o', 'l', 'd'});
  const std::string plain = Write("plain.lza", Image(0));
  EXPECT_EQ(LZExtractArchiveFromSFX(plain, out), kLZNoArchiveInFile);

  const std::string text = scratch_.File("text.exe");
  WriteFileBytes(text, TBytes(500, 'x'));
  EXPECT_EQ(LZExtractArchiveFromSFX(text, out), kLZNoArchiveInFile);

  EXPECT_EQ(LZExtractArchiveFromSFX(scratch_.File("missing.exe"), out), kLZNoFile);
  EXPECT_EQ(LZExtractArchiveFromSFX("", out), kLZNoFile);
  EXPECT_EQ(LZExtractArchiveFromSFX(plain, ""), kLZNoFile);
  EXPECT_TRUE(SameBytes(ReadFileBytes(out), {'o', 'l', 'd'}));
}

TEST_F(SfxReadTest, CopyRefusesASpannedArchive) {
  TArchiveImage image = Image(kStubSize);
  image.Header.PartCount = 2;
  image.Header.Trailer.SpanSignature.Bytes = {3, 0x04, 0x02, 0x0A};
  image.Header.Trailer.SpanParts = 2;
  image.Header.Trailer.SpanPart = 1;
  image.Header.Trailer.SpanName.Set("SETUP.EXE");
  const std::string sfx = Write("setup.exe", image);
  EXPECT_EQ(LZExtractArchiveFromSFX(sfx, scratch_.File("out.lza")), kLZSpannedEmbedded);
  EXPECT_FALSE(std::filesystem::exists(scratch_.File("out.lza")));
}

TEST_F(SfxReadTest, CopyNeverReplacesItsOwnInput) {
  const std::string sfx = Write("setup.exe", Image(kStubSize));
  const TBytes before = ReadFileBytes(sfx);
  EXPECT_EQ(LZExtractArchiveFromSFX(sfx, sfx), kLZCannotCreateOutput);
  const std::string link = scratch_.File("link.lza");
  std::filesystem::create_symlink(sfx, link);
  EXPECT_EQ(LZExtractArchiveFromSFX(sfx, link), kLZCannotCreateOutput);
  EXPECT_TRUE(SameBytes(ReadFileBytes(sfx), before));
}

TEST_F(SfxReadTest, CopyIntoAMissingFolderFailsAndLeavesNothing) {
  const std::string sfx = Write("setup.exe", Image(kStubSize));
  EXPECT_EQ(LZExtractArchiveFromSFX(sfx, scratch_.File("no/such/out.lza")), kLZCannotCreateOutput);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch_.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

// ---- Extracting in place ----------------------------------------------------

TEST_F(SfxReadTest, ExtractsAnAppendedArchiveAndRestoresTheHeaderOffset) {
  const std::string sfx = Write("setup.exe", Image(kStubSize, "SETUP.EXE"));
  LZSetHeaderOffset(7);
  EXPECT_EQ(Decompress(sfx), 2);
  EXPECT_EQ(LZSetHeaderOffset(-1), 7);
  EXPECT_TRUE(SameBytes(ReadFileBytes((target_ / "a.txt").string()), a_));
  EXPECT_TRUE(SameBytes(ReadFileBytes((target_ / "b.txt").string()), b_));
  EXPECT_EQ(started_, (std::vector<std::string>{"SETUP.EXE"}));
}

TEST_F(SfxReadTest, ExtractsAPlainArchiveAndHonoursItsCommand) {
  const std::string plain = Write("plain.lza", Image(0, "run it"));
  EXPECT_EQ(Decompress(plain), 2);
  EXPECT_EQ(started_, (std::vector<std::string>{"run it"}));
}

TEST_F(SfxReadTest, FileWithoutArchiveGivesNoArchive) {
  const std::string text = scratch_.File("text.exe");
  WriteFileBytes(text, TBytes(500, 'x'));
  EXPECT_EQ(Decompress(text), kLZNoArchiveInFile);
  EXPECT_EQ(Decompress(scratch_.File("missing.exe")), kLZNoArchiveInFile);
  EXPECT_FALSE(std::filesystem::exists(target_));
}

TEST_F(SfxReadTest, DefaultCommandStartsNothing) {
  const std::string sfx = Write("setup.exe", Image(kStubSize));
  EXPECT_EQ(Decompress(sfx), 2);
  EXPECT_TRUE(started_.empty());
}

TEST_F(SfxReadTest, CommandWaitsForEverySelectedFile) {
  const std::string sfx = Write("setup.exe", Image(kStubSize, "SETUP.EXE"));
  // Nothing selected: nothing to start.
  LZSetDearchiveMask("none.*");
  EXPECT_EQ(Decompress(sfx), 0);
  LZSetDearchiveMask("*.*");
  // Cancelled at b.txt after a.txt was written.
  std::filesystem::create_directories(target_);
  WriteFileBytes((target_ / "b.txt").string(), {'o', 'l', 'd'});
  answer_to_question = 2;
  EXPECT_EQ(Decompress(sfx), 1);
  EXPECT_TRUE(started_.empty());
  // Keeping the existing file is the user's choice, not a failure.
  std::filesystem::remove(target_ / "a.txt");
  answer_to_question = 0;
  EXPECT_EQ(Decompress(sfx), 1);
  EXPECT_EQ(started_.size(), 1u);
}

TEST_F(SfxReadTest, CommandIsNotStartedAfterADamagedEntry) {
  TArchiveImage image = Image(kStubSize, "SETUP.EXE");
  image.Data[1][5] ^= 0x20;  // b.txt no longer matches its CRC-32
  const std::string sfx = Write("setup.exe", image);
  LZSetCheckCRC(true);
  EXPECT_LT(Decompress(sfx), 0);
  EXPECT_TRUE(started_.empty());
}

}  // namespace
}  // namespace zorellz::test
