// Records, headers, trailers, single-file headers, engine state and the
// default disk prompt.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/engine/EngineState.h"
#include "tests/ArchiveBuilder.h"
#include "tests/ScriptedBoxes.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/MessageBox.h"

namespace zorellz {
namespace {

using test::TArchiveBuilder;
using test::TArchiveImage;
using test::TBytes;
using test::TScriptedBoxes;

// A fresh engine and a scratch folder for every test.
class FormatTest : public ::testing::Test {
 protected:
  void SetUp() override { LZResetEngineState(); }
  void TearDown() override { LZResetEngineState(); }

  std::string Write(const std::string& name, const TBytes& bytes) {
    std::string path = scratch_.File(name);
    test::WriteFileBytes(path, bytes);
    return path;
  }

  static TArchiveBuilder TwoFiles() {
    TArchiveBuilder builder;
    builder.AddFile("ONE.DAT", TBytes(10, 'x'));
    builder.AddFile("TWO.IDX", TBytes(20, 'y'));
    return builder;
  }

  test::TScratchDir scratch_;
};

// ---- Records ------------------------------------------------------------------

TBytes PatternBytes(std::size_t size) {
  TBytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  return bytes;
}

// Reading arbitrary bytes and writing them back reproduces every byte, and
// the fields land where the format tables put them (the builder's own
// field-by-field layout).
template <typename Record>
void ExpectExactRoundTrip(void (*put)(TBytes&, const Record&)) {
  const TBytes original = PatternBytes(Record::kSize);
  Record record;
  record.Read(original.data());
  TBytes written(Record::kSize, 0);
  record.Write(written.data());
  EXPECT_EQ(written, original);
  TBytes laid_out;
  put(laid_out, record);
  EXPECT_EQ(laid_out, original);
}

TEST(Records, ReadAndWriteReproduceEveryByte) {
  ExpectExactRoundTrip<TLZArchiveTrailer>(test::PutArchiveTrailer);
  ExpectExactRoundTrip<TLZArchiveHeader>(test::PutArchiveHeader);
  ExpectExactRoundTrip<TLZFileEntry>(test::PutFileEntry);
  ExpectExactRoundTrip<TLZFileHeader>(test::PutFileHeader);
}

// Spot checks of the layout itself, against the offsets of the format tables.
TEST(Records, IntegersAreLittleEndianAtTheirOffsets) {
  TLZFileEntry entry;
  entry.CompressedSize = -2;
  TBytes bytes(TLZFileEntry::kSize);
  entry.Write(bytes.data());
  EXPECT_EQ((TBytes{bytes.begin() + 15, bytes.begin() + 19}), (TBytes{0xFE, 0xFF, 0xFF, 0xFF}));

  TLZArchiveHeader header;
  header.Trailer.TrailerMagic = kLZTrailerMagic;
  header.Trailer.ArchiveOffset = 152576;
  TBytes header_bytes(TLZArchiveHeader::kSize);
  header.Write(header_bytes.data());
  // The trailer starts at 43: magic at 43 + 21, offset at 43 + 25.
  EXPECT_EQ((TBytes{header_bytes.begin() + 64, header_bytes.begin() + 72}),
            (TBytes{0xF1, 0xAE, 0xFF, 0xFF, 0x00, 0x54, 0x02, 0x00}));
}

TEST(Records, FixedSignatures) {
  EXPECT_EQ(LZArchiveSignature(), test::ExpectedArchiveSignature());
  EXPECT_EQ(LZTrailerSignature(), test::ExpectedTrailerSignature());
  EXPECT_EQ(LZSpanSignature().Bytes, (std::array<std::uint8_t, 4>{3, 0x04, 0x02, 0x0A}));
  EXPECT_EQ(LZFileHeaderSignature().Bytes[0], 8);
  EXPECT_EQ(LZFileHeaderSignature().Get(), "aZorelM#");
}

// ---- Name scrambling ----------------------------------------------------------

TEST(Scramble, AddsPositionPlusThree) {
  EXPECT_EQ(LZScrambleName("ABC"), std::string({'A' + 4, 'B' + 5, 'C' + 6}));
  EXPECT_EQ(LZUnscrambleName(LZScrambleName("ABC")), "ABC");
  EXPECT_EQ(LZScrambleName(""), "");
}

TEST(Scramble, AmountWrapsAfter252Characters) {
  const std::string name(255, 'a');
  const std::string scrambled = LZScrambleName(name);
  EXPECT_EQ(scrambled, test::ScrambledName(name));
  EXPECT_EQ(scrambled[251], static_cast<char>('a' + 255 - 256));  // character 252 gains 255
  EXPECT_EQ(scrambled[252], 'a');                                 // 253 gains 256: unchanged
  EXPECT_EQ(scrambled[253], 'a' + 1);                             // 254 gains 1
  EXPECT_EQ(LZUnscrambleName(scrambled), name);
}

TEST(Scramble, EveryByteValueRoundTrips) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  for (std::size_t start = 0; start < all.size(); start += 64) {
    std::string name = all.substr(start, 64);
    EXPECT_EQ(LZUnscrambleName(LZScrambleName(name)), name);
  }
  // 0xFC + 4 wraps to a zero byte, which is kept like any other.
  EXPECT_EQ(LZScrambleName("\xFC"), std::string(1, '\0'));
}

// ---- Reading the header -------------------------------------------------------

TEST_F(FormatTest, ReadsValidHeader) {
  TArchiveImage image = TwoFiles().Image();
  std::string path = Write("a.lza", image.Bytes());
  TLZArchiveHeader header;
  EXPECT_EQ(LZReadArchiveHeader(path, header), 2);
  EXPECT_EQ(header, image.Header);
  EXPECT_EQ(LZArchiveCount(path), 2);
  EXPECT_EQ(LZGetArchiveSize(path), 30);
}

TEST_F(FormatTest, MissingOrUnnamedFileIsNoFile) {
  TLZArchiveHeader header;
  header.FileCount = 7;
  EXPECT_EQ(LZReadArchiveHeader("", header), kLZNoFile);
  EXPECT_EQ(header, TLZArchiveHeader{});
  EXPECT_EQ(LZReadArchiveHeader(scratch_.File("missing.lza"), header), kLZNoFile);
  EXPECT_EQ(LZGetArchiveSize(scratch_.File("missing.lza")), 0);
}

struct THeaderDamage {
  const char* name;
  std::function<void(TBytes&)> damage;
};

TEST_F(FormatTest, RejectsInvalidHeaders) {
  const std::vector<THeaderDamage> cases = {
      {"file count 0", [](TBytes& b) { b[23] = 0; }},  // 2 -> 0
      {"negative file count", [](TBytes& b) { b[26] = 0x80; }},
      {"signature length byte 11", [](TBytes& b) { b[0] = 11; }},
      {"signature length byte 13", [](TBytes& b) { b[0] = 13; }},
      {"signature character", [](TBytes& b) { b[5] = 'x'; }},
      {"signature last character", [](TBytes& b) { b[12] = 0x05; }},
      {"short header", [](TBytes& b) { b.resize(125); }},
      {"empty file", [](TBytes& b) { b.clear(); }},
  };
  for (const THeaderDamage& c : cases) {
    SCOPED_TRACE(c.name);
    TBytes bytes = TwoFiles().Bytes();
    c.damage(bytes);
    TLZArchiveHeader header;
    EXPECT_EQ(LZReadArchiveHeader(Write("bad.lza", bytes), header), kLZNotAnArchive);
    EXPECT_EQ(LZGetArchiveSize(scratch_.File("bad.lza")), 0);
  }
}

TEST_F(FormatTest, FillerAfterSignatureIsNotCompared) {
  TBytes bytes = TwoFiles().Bytes();
  bytes[13] = 0x77;  // after the 12 characters of the signature
  EXPECT_EQ(LZArchiveCount(Write("a.lza", bytes)), 2);
}

TEST_F(FormatTest, ReadsAtCurrentHeaderOffset) {
  std::string path = Write("a.exe", TwoFiles().Stub(1000).Bytes());
  EXPECT_EQ(LZArchiveCount(path), kLZNotAnArchive);
  LZSetHeaderOffset(1000);
  EXPECT_EQ(LZArchiveCount(path), 2);
  LZSetHeaderOffset(999);
  EXPECT_EQ(LZArchiveCount(path), kLZNotAnArchive);
  LZSetHeaderOffset(1000000);  // past the end
  EXPECT_EQ(LZArchiveCount(path), kLZNotAnArchive);
}

TEST_F(FormatTest, UnopenableFileIsReported) {
  std::string path = Write("locked.lza", TwoFiles().Bytes());
  std::filesystem::permissions(path, std::filesystem::perms::none);
  TFile probe;
  if (probe.Open(path, TFile::TMode::kReadDenyWrite)) GTEST_SKIP() << "running with privileges";
  EXPECT_EQ(LZArchiveCount(path), kLZCannotOpenArchive);
}

// ---- Protection -----------------------------------------------------------------

int password_calls = 0;
std::int32_t password_answer = 0;

std::int32_t ScriptedPassword(const TLZArchiveHeader& header, std::int32_t zero) {
  EXPECT_NE(header.Trailer.Protection, 0);
  EXPECT_EQ(zero, 0);
  ++password_calls;
  return password_answer;
}

class ProtectionTest : public FormatTest {
 protected:
  void SetUp() override {
    FormatTest::SetUp();
    password_calls = 0;
    path_ = Write("p.lza", TwoFiles().Protect().Bytes());
  }
  std::string path_;
};

TEST_F(ProtectionTest, WithoutHookIsRefused) {
  EXPECT_EQ(LZArchiveCount(path_), kLZProtected);
  EXPECT_EQ(LZGetArchiveSize(path_), 0);
  TZorelLZArchiveHeader directory;
  EXPECT_EQ(LZLoadDirectory(path_, directory), kLZNoFile);
}

TEST_F(ProtectionTest, AcceptedAnswerIsAskedOncePerOperation) {
  password_answer = kLZPasswordAcceptedToo;
  LZSetCheckPassWordHook(ScriptedPassword);
  EXPECT_EQ(LZArchiveCount(path_), 2);
  TZorelLZArchiveHeader directory;
  EXPECT_EQ(LZLoadDirectory(path_, directory), 0);
  EXPECT_EQ(password_calls, 1);
  EXPECT_EQ(LZEngine().ProtectionAnswer, kLZPasswordAcceptedToo);

  LZResetProtection();
  EXPECT_EQ(LZArchiveCount(path_), 2);
  EXPECT_EQ(password_calls, 2);
}

TEST_F(ProtectionTest, RefusingAnswerIsNotRemembered) {
  password_answer = 0;
  LZSetCheckPassWordHook(ScriptedPassword);
  EXPECT_EQ(LZArchiveCount(path_), kLZProtected);
  EXPECT_EQ(LZArchiveCount(path_), kLZProtected);
  EXPECT_EQ(password_calls, 2);
  EXPECT_EQ(LZEngine().ProtectionAnswer, -1);
}

TEST_F(ProtectionTest, UnprotectedArchiveNeverAsks) {
  LZSetCheckPassWordHook(ScriptedPassword);
  EXPECT_EQ(LZArchiveCount(Write("plain.lza", TwoFiles().Bytes())), 2);
  EXPECT_EQ(password_calls, 0);
}

// ---- Locating an archive ----------------------------------------------------------

TEST_F(FormatTest, LocatesPlainArchiveAtHeaderOffset) {
  TArchiveImage image = TwoFiles().Image();
  TLZArchiveHeader header;
  EXPECT_EQ(LZLocateArchive(Write("a.lza", image.Bytes()), header), 0);
  EXPECT_EQ(header, image.Header);
}

TEST_F(FormatTest, LocatesAppendedArchiveThroughTrailer) {
  TArchiveImage image = TwoFiles().Stub(1000).Image();
  TLZArchiveHeader header;
  EXPECT_EQ(LZLocateArchive(Write("a.exe", image.Bytes()), header), 2);
  EXPECT_EQ(header.Trailer.ArchiveOffset, 1000);
  EXPECT_EQ(header, image.Header);
  EXPECT_EQ(LZSetHeaderOffset(-1), 0);  // locating changes no engine state
}

TEST_F(FormatTest, LocatesProtectedAppendedArchiveWithoutAsking) {
  TLZArchiveHeader header;
  EXPECT_EQ(LZLocateArchive(Write("a.exe", TwoFiles().Stub(500).Protect().Bytes()), header), 2);
}

TEST_F(FormatTest, LocateWithoutFileIsNoFile) {
  TLZArchiveHeader header;
  EXPECT_EQ(LZLocateArchive("", header), kLZNoFile);
  EXPECT_EQ(LZLocateArchive(scratch_.File("missing.exe"), header), kLZNoFile);
}

struct TLocateDamage {
  const char* name;
  std::function<void(TArchiveImage&)> damage;
};

TEST_F(FormatTest, LocateRejectsBadTrailersAndMismatchedHeaders) {
  const std::vector<TLocateDamage> cases = {
      {"no trailer", [](TArchiveImage& i) { i.HasTrailer = false; }},
      {"trailer magic", [](TArchiveImage& i) { i.Trailer.TrailerMagic = -20750; }},
      {"trailer signature length",
       [](TArchiveImage& i) { i.Trailer.TrailerSignature.Bytes[0] = 3; }},
      {"trailer offset 0", [](TArchiveImage& i) { i.Trailer.ArchiveOffset = 0; }},
      {"trailer offset negative", [](TArchiveImage& i) { i.Trailer.ArchiveOffset = -5; }},
      {"trailer offset at file size",
       [](TArchiveImage& i) {
         i.Trailer.ArchiveOffset = static_cast<std::int32_t>(i.Bytes().size());
       }},
      {"trailer offset past the file", [](TArchiveImage& i) { i.Trailer.ArchiveOffset = 1 << 30; }},
      {"header offset differs", [](TArchiveImage& i) { i.Header.Trailer.ArchiveOffset = 999; }},
      {"header magic differs", [](TArchiveImage& i) { i.Header.Trailer.TrailerMagic = 0; }},
      {"header trailer signature differs",
       [](TArchiveImage& i) { i.Header.Trailer.TrailerSignature.Bytes[4] = 3; }},
      {"header file count 0", [](TArchiveImage& i) { i.Header.FileCount = 0; }},
      {"header signature", [](TArchiveImage& i) { i.Header.Signature.Bytes[0] = 11; }},
  };
  for (const TLocateDamage& c : cases) {
    SCOPED_TRACE(c.name);
    TArchiveImage image = TwoFiles().Stub(1000).Image();
    c.damage(image);
    TLZArchiveHeader header;
    EXPECT_EQ(LZLocateArchive(Write("bad.exe", image.Bytes()), header), kLZNotAnArchive);
    EXPECT_EQ(header, TLZArchiveHeader{});
  }
}

TEST_F(FormatTest, LocateRejectsFilesShorterThanTrailer) {
  TLZArchiveHeader header;
  TBytes tail(82, 0);
  EXPECT_EQ(LZLocateArchive(Write("short.exe", tail), header), kLZNotAnArchive);
  EXPECT_EQ(LZLocateArchive(Write("empty.exe", {}), header), kLZNotAnArchive);
}

// ---- Spanned headers and trailers ------------------------------------------------

TEST(SpannedHeader, NeedsEveryMark) {
  TLZArchiveHeader spanned;
  spanned.PartCount = 3;
  spanned.Trailer.SpanSignature = LZSpanSignature();
  spanned.Trailer.SpanParts = 3;
  spanned.Trailer.SpanName.Set("DATA.LZA");
  EXPECT_TRUE(LZIsSpannedHeader(spanned));

  std::vector<std::function<void(TLZArchiveHeader&)>> removals = {
      [](TLZArchiveHeader& h) { h.PartCount = 0; },
      [](TLZArchiveHeader& h) { h.Trailer.SpanName.Bytes[0] = 0; },
      [](TLZArchiveHeader& h) { h.Trailer.SpanSignature.Bytes[0] = 4; },
      [](TLZArchiveHeader& h) { h.Trailer.SpanSignature.Bytes[3] = 0x0B; },
      [](TLZArchiveHeader& h) { h.Trailer.SpanParts = 0; },
  };
  for (std::size_t i = 0; i < removals.size(); ++i) {
    SCOPED_TRACE(i);
    TLZArchiveHeader header = spanned;
    removals[i](header);
    EXPECT_FALSE(LZIsSpannedHeader(header));
  }
}

TEST(Trailer, InitGivesCreationDefaults) {
  TLZArchiveTrailer trailer;
  trailer.Protection = 5;
  trailer.SpanName.Set("OLD");
  LZInitTrailer(trailer);
  TLZArchiveTrailer expected = test::DefaultTrailer(0);
  expected.TrailerSignature = {};  // filled in later by the creation side
  expected.TrailerMagic = 0;
  EXPECT_EQ(trailer, expected);
  EXPECT_EQ(trailer.RunCommand.Bytes[0], 12);
  EXPECT_EQ(trailer.RunCommand.Bytes[1], 0xFF);
}

// ---- Single compressed files ------------------------------------------------------

TEST_F(FormatTest, ReadsFileHeaderAndRestoresPosition) {
  TLZFileHeader expected = test::DefaultFileHeader("REPORT.TXT");
  std::string path = Write("report.tx_", test::SingleFileBytes(expected, TBytes(400, 'z')));
  TFile file;
  ASSERT_TRUE(file.Open(path, TFile::TMode::kReadDenyWrite));
  ASSERT_TRUE(file.Seek(300));
  TLZFileHeader header;
  EXPECT_TRUE(LZReadFileHeader(file, header));
  EXPECT_EQ(header, expected);
  EXPECT_EQ(file.Position(), 300);

  EXPECT_TRUE(LZGetFileHeader(path, header));
  std::string name;
  EXPECT_TRUE(LZGetSourceName(path, name));
  EXPECT_EQ(name, "REPORT.TXT");
}

TEST_F(FormatTest, RejectsWhatIsNoSingleFileHeader) {
  const TBytes valid = test::SingleFileBytes(test::DefaultFileHeader("A.TXT"));
  ASSERT_EQ(valid.size(), 257u);
  const std::vector<THeaderDamage> cases = {
      {"empty source name", [](TBytes& b) { b[40] = 0; }},  // exactly 257 bytes
      {"256 bytes", [](TBytes& b) { b.resize(256); }},
      {"signature length byte 7", [](TBytes& b) { b[0] = 7; }},
      {"signature character", [](TBytes& b) { b[8] = '$'; }},
      {"empty file", [](TBytes& b) { b.clear(); }},
  };
  for (const THeaderDamage& c : cases) {
    SCOPED_TRACE(c.name);
    TBytes bytes = valid;
    c.damage(bytes);
    std::string path = Write("bad.tx_", bytes);
    TLZFileHeader header;
    EXPECT_FALSE(LZGetFileHeader(path, header));
    std::string name;
    EXPECT_FALSE(LZGetSourceName(path, name));
    EXPECT_EQ(name, path);  // the file's own name
  }
}

TEST_F(FormatTest, FileHeaderNeedsAnExistingFile) {
  TLZFileHeader header;
  EXPECT_FALSE(LZGetFileHeader("", header));
  EXPECT_FALSE(LZGetFileHeader(scratch_.File("missing"), header));
  std::string name;
  EXPECT_FALSE(LZGetSourceName(scratch_.File("missing"), name));
  EXPECT_EQ(name, scratch_.File("missing"));
}

// ---- Engine state -------------------------------------------------------------

std::int32_t RefusePassword(const TLZArchiveHeader&, std::int32_t) {
  return 0;
}
std::int32_t ProtectPassword(TLZArchiveHeader&) {
  return kLZPasswordProtect;
}
bool MatchNothing(const std::string&, const std::string&, std::int32_t) {
  return false;
}
std::int32_t StopAlways(std::int32_t, std::int32_t, std::int32_t, const char*) {
  return 1;
}
std::int32_t ReportNothing(TLZReportRec&, std::int32_t) {
  return 0;
}

TEST(EngineState, ResetRestoresStartValues) {
  LZResetEngineState();
  LZSetHeaderOffset(4096);
  LZEngine().ProtectionAnswer = kLZPasswordAccepted;
  LZSetDearchiveMask("#:7");
  LZSetCheckCRC(true);
  LZSetCheckPassWordHook(RefusePassword);
  EXPECT_EQ(LZSetPassWordHook(ProtectPassword), nullptr);
  LZSetFileMatchProc(MatchNothing);
  LZSetExtensionsToStore(".ZIP");
  LZSetSpanPromptProc(StopAlways);
  LZEngine().Progress = ReportNothing;
  LZEngine().CurrentReport.FileName = "x";

  LZResetEngineState();
  const TLZEngineState& state = LZEngine();
  EXPECT_EQ(state.HeaderOffset, 0);
  EXPECT_EQ(state.ProtectionAnswer, -1);
  EXPECT_EQ(state.FileMatch, nullptr);
  EXPECT_EQ(state.CheckPassWord, nullptr);
  EXPECT_EQ(state.SetPassWord, nullptr);
  EXPECT_EQ(state.SpanPrompt, LZDefaultSpanPrompt);
  EXPECT_EQ(state.Progress, nullptr);
  EXPECT_EQ(LZGetDearchiveMask(), "*.*");
  EXPECT_FALSE(LZGetCheckCRC());
  EXPECT_EQ(LZGetExtensionsToStore(),
            ".ZIP|.PKK|.ZPA|.GIF|.CAB|.GZ|.LZH|.LZA|.LZZ|.LZ|.PAK|.ZOO|.Z|.ARC|.ARJ|.AR7");
  EXPECT_EQ(state.CurrentReport.FileName, "");
}

TEST(EngineState, HeaderOffsetReturnsPreviousAndNegativeOnlyQueries) {
  LZResetEngineState();
  EXPECT_EQ(LZSetHeaderOffset(152576), 0);
  EXPECT_EQ(LZSetHeaderOffset(-1), 152576);
  EXPECT_EQ(LZSetHeaderOffset(0), 152576);
  EXPECT_EQ(LZSetHeaderOffset(-1), 0);
}

TEST(EngineState, HooksReturnWhatIsInstalled) {
  LZResetEngineState();
  EXPECT_EQ(LZSetPassWordHook(ProtectPassword), nullptr);
  EXPECT_EQ(LZSetPassWordHook(nullptr), ProtectPassword);
  EXPECT_EQ(LZSetSpanPromptProc(StopAlways), StopAlways);
  EXPECT_EQ(LZSetSpanPromptProc(nullptr), LZDefaultSpanPrompt);
  LZEngine().ProtectionAnswer = kLZPasswordAccepted;
  LZResetProtection();
  EXPECT_EQ(LZEngine().ProtectionAnswer, -1);
  LZResetEngineState();
}

// ---- The default disk prompt ---------------------------------------------------

// The scripts answer No once they run out, which stops the prompt.
// statvfs reports no free space at all for /proc.
constexpr char kFullDrive[] = "/proc";

TEST(SpanPrompt, YesGoesOnWithoutSpaceCheckWhenReading) {
  TScriptedBoxes boxes({kMbYes}, kMbNo);
  EXPECT_EQ(LZDefaultSpanPrompt(2, 3, -1, kFullDrive), 0);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "Please insert disk #2 of 3 into drive /proc\r\n\r\nShould I continue?");
  EXPECT_EQ(boxes.shown[0].caption, "LZ Archive Disk Spanning");
  EXPECT_EQ(boxes.shown[0].buttons, TMsgBoxButtons::kYesNo);
  EXPECT_EQ(boxes.shown[0].icon, TMsgBoxIcon::kQuestion);
}

TEST(SpanPrompt, AnythingButYesStops) {
  for (int answer : {kMbNo, kMbCancel, kMbNotShown, kMbOk}) {
    TScriptedBoxes boxes({answer}, kMbNo);
    EXPECT_EQ(LZDefaultSpanPrompt(1, 1, -1, "A:\\"), 1);
    EXPECT_EQ(boxes.shown.size(), 1u);
  }
}

TEST(SpanPrompt, TooLittleSpaceWarnsAndAsksAgain) {
  TScriptedBoxes boxes({kMbYes, kMbOk, kMbYes, kMbOk, kMbNo}, kMbNo);
  EXPECT_EQ(LZDefaultSpanPrompt(1, 2, 1000, kFullDrive), 1);
  ASSERT_EQ(boxes.shown.size(), 5u);
  EXPECT_EQ(boxes.shown[1].text, "Insufficient disk space on drive /proc");
  EXPECT_EQ(boxes.shown[1].caption, "LZ Archive Disk Spanning Error");
  EXPECT_EQ(boxes.shown[1].icon, TMsgBoxIcon::kWarning);
  EXPECT_EQ(boxes.shown[2].text, boxes.shown[0].text);
  EXPECT_EQ(boxes.shown[4].icon, TMsgBoxIcon::kQuestion);
}

TEST(SpanPrompt, EnoughSpaceGoesOn) {
  test::TScratchDir scratch;
  TScriptedBoxes boxes({kMbYes}, kMbNo);
  EXPECT_EQ(LZDefaultSpanPrompt(1, 2, 1, scratch.Path().string().c_str()), 0);
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST(SpanPrompt, LongMessageIsCutTo255Characters) {
  TScriptedBoxes boxes({kMbNo}, kMbNo);
  const std::string drive(300, 'D');
  LZDefaultSpanPrompt(1, 1, -1, drive.c_str());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text.size(), 255u);
}

}  // namespace
}  // namespace zorellz
