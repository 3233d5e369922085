// The component's default handlers as the user meets them (the overwrite
// question and the disk prompt), its creating operations, and stored
// property values applied after construction.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "archive/engine/EngineState.h"
#include "tests/ScriptedBoxes.h"
#include "tests/TestSupport.h"
#include "zorellz/component/PropertyStream.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/MessageBox.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;

using test::TScriptedBoxes;

class ComponentTest : public ::testing::Test {
 protected:
  // Before the fixtures' components, which install their hooks in the engine.
  ComponentTest() { LZResetEngineState(); }
  ~ComponentTest() override { LZResetEngineState(); }

  std::string File(const std::string& name) const { return scratch_.File(name); }
  void Write(const std::string& name, const std::string& text) {
    test::WriteFileBytes(File(name), test::Text(text));
  }
  std::string Read(const std::string& name) const {
    return test::TextOf(test::ReadFileBytes(File(name)));
  }

  test::TScratchDir scratch_;
};

// ---- The overwrite question ---------------------------------------------------

TLZReportRec Entry(std::int32_t compressed, std::int32_t uncompressed) {
  TLZReportRec entry;
  entry.FileName = "new/report.dat";
  entry.FileVersion = "1.2.3.4";
  entry.CompressedSize = compressed;
  entry.UncompressedSize = uncompressed;
  entry.FileAttr = 0x21;
  entry.FileCRC = 0xABCD;
  return entry;
}

TLZReportRec Existing() {
  TLZReportRec existing;
  existing.FileName = "old/report.dat";
  return existing;
}

// An archive of a.txt and b.txt, for extraction over older copies of both.
class OverwriteQuestion : public ComponentTest {
 protected:
  void MakeArchiveAndOlderCopies() {
    fs::create_directories(File("in"));
    fs::create_directories(File("out"));
    Write("in/a.txt", "new a");
    Write("in/b.txt", "new b");
    ASSERT_EQ(
        LZCreateArchive(File("in/*.txt"), File("x.lza"), LZNoRecurse, LZMaxCompression, nullptr),
        2);
    Write("out/a.txt", "old a");
    Write("out/b.txt", "old b");
  }

  // Extraction with the user asked about each existing file.
  std::int32_t ExtractAsking() {
    TZorelLZObj component;
    component.SetArchiveName(File("x.lza"));
    component.SetTargetDirectory(File("out"));
    component.OnConfirmOverwrite = std::bind_front(&TZorelLZObj::ConfirmOverwriteW, &component);
    component.OnProgressReport = [this](TZorelLZObj&, const TLZReportRec&, std::int32_t code) {
      if (code == kLZReportSkipped) ++skipped_;
      return 1;
    };
    return component.DecompressArchive();
  }

  int skipped_ = 0;
};

TEST_F(OverwriteQuestion, DescribesTheIncomingEntry) {
  EXPECT_EQ(LZOverwriteQuestionText(Entry(400, 1000), Existing()),
            "The file \"old/report.dat\" already exists: \r\n\r\n"
            "File Name : new/report.dat\r\n"
            "Compressed Size  : 400 bytes\r\n"
            "Uncompressed Size: 1000 bytes\r\n"
            "File Attributes: _R_A  (33)\r\n"
            "File Version : 1.2.3.4\r\n"
            "32-bit CRC: 0000ABCD\r\n"
            "Compression ratio: 60%\r\n\r\n"
            "Should I overwrite the existing file?");
}

TEST_F(OverwriteQuestion, RatioRoundsHalvesToEven) {
  const struct {
    std::int32_t compressed, uncompressed;
    const char* ratio;
  } cases[] = {{400, 1000, "60%"}, {0, 0, "0%"},  {1200, 1000, "-20%"},
               {7, 8, "12%"},      {5, 8, "38%"}, {8, 8, "0%"}};
  for (const auto& c : cases) {
    const std::string text = LZOverwriteQuestionText(Entry(c.compressed, c.uncompressed), {});
    EXPECT_NE(text.find(std::string("Compression ratio: ") + c.ratio + "\r\n"), std::string::npos)
        << c.compressed << "/" << c.uncompressed;
  }
}

TEST_F(OverwriteQuestion, ShowsAttributeFlagsAndCutsLongFields) {
  TLZReportRec entry = Entry(1, 2);
  entry.FileAttr = 0;
  entry.FileVersion = "10.20.30.40";
  entry.FileName = std::string(300, 'n');
  std::string text = LZOverwriteQuestionText(entry, {});
  EXPECT_NE(text.find("File Attributes: ____  (0)\r\n"), std::string::npos);
  EXPECT_NE(text.find("File Version : 10.20.30\r\n"), std::string::npos);
  // The name line is one short string: cut at 255, its line end with it.
  EXPECT_NE(text.find("File Name : " + std::string(243, 'n') + "Compressed Size"),
            std::string::npos);

  entry.FileAttr = 0x27;
  text = LZOverwriteQuestionText(entry, {});
  EXPECT_NE(text.find("File Attributes: HRSA  (39)\r\n"), std::string::npos);
}

TEST_F(OverwriteQuestion, MapsTheAnswers) {
  TZorelLZObj component;
  TScriptedBoxes boxes({kMbYes, kMbNo, kMbCancel, kMbOk, kMbNotShown});
  std::vector<int> replies;
  for (int i = 0; i < 5; ++i) {
    replies.push_back(component.ConfirmOverwriteW(component, Entry(400, 1000), Existing()));
  }
  EXPECT_EQ(replies, (std::vector<int>{1, 0, 2, 1, 1}));
  ASSERT_EQ(boxes.shown.size(), 5u);
  EXPECT_EQ(boxes.shown[0].text, LZOverwriteQuestionText(Entry(400, 1000), Existing()));
  EXPECT_EQ(boxes.shown[0].caption, "ZorelLZ");
  EXPECT_EQ(boxes.shown[0].buttons, TMsgBoxButtons::kYesNoCancel);
  EXPECT_EQ(boxes.shown[0].icon, TMsgBoxIcon::kQuestion);
}

TEST_F(OverwriteQuestion, NoKeepsTheFileAndReportsItSkipped) {
  MakeArchiveAndOlderCopies();
  TScriptedBoxes boxes({kMbNo, kMbYes});
  EXPECT_EQ(ExtractAsking(), 1);
  EXPECT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(skipped_, 1);
  EXPECT_EQ(Read("out/a.txt"), "old a");
  EXPECT_EQ(Read("out/b.txt"), "new b");
}

TEST_F(OverwriteQuestion, CancelStopsTheExtraction) {
  MakeArchiveAndOlderCopies();
  TScriptedBoxes boxes({kMbCancel});
  EXPECT_EQ(ExtractAsking(), 0);
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(Read("out/a.txt"), "old a");
  EXPECT_EQ(Read("out/b.txt"), "old b");
}

// ---- The disk prompt ------------------------------------------------------------

// A drive whose free space cannot be told.
constexpr char kNoDrive[] = "";

using DiskPrompt = ComponentTest;

TEST_F(DiskPrompt, AsksForTheDiskByNumberAndDrive) {
  TZorelLZObj component;
  TScriptedBoxes boxes({kMbNo});
  EXPECT_EQ(component.PromptForDisk(component, 2, 3, 1000, "A:\\"), 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "Please insert disk #2 of 3 into drive A:\\\r\n\r\nShould I continue?");
  EXPECT_EQ(boxes.shown[0].caption, "LZ Archive Disk Spanning");
  EXPECT_EQ(boxes.shown[0].buttons, TMsgBoxButtons::kYesNo);
  EXPECT_EQ(boxes.shown[0].icon, TMsgBoxIcon::kQuestion);
}

TEST_F(DiskPrompt, WhileReadingGoesOnRightAfterYes) {
  TZorelLZObj component;
  TScriptedBoxes boxes({kMbYes});
  EXPECT_EQ(component.PromptForDisk(component, 2, 3, -1, kNoDrive), 0);
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(DiskPrompt, AsksAgainWhileTheDriveLacksSpace) {
  TZorelLZObj component;
  TScriptedBoxes boxes({kMbYes, kMbOk, kMbNo});
  EXPECT_EQ(component.PromptForDisk(component, 1, 2, 1000, kNoDrive), 1);
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[1].text, "Insufficient disk space on drive ");
  EXPECT_EQ(boxes.shown[1].caption, "LZ Archive Disk Spanning Error");
  EXPECT_EQ(boxes.shown[1].buttons, TMsgBoxButtons::kOk);
  EXPECT_EQ(boxes.shown[2].caption, "LZ Archive Disk Spanning");
}

TEST_F(DiskPrompt, GoesOnAfterYesWithRoomOrWithoutFixedDiskSize) {
  TZorelLZObj component;
  TScriptedBoxes boxes({kMbYes, kMbYes});
  EXPECT_EQ(component.PromptForDisk(component, 1, 2, 1000, scratch_.Path().string().c_str()), 0);
  // A disk of no fixed size (-1) asks for no space at all.
  component.SetSpanDiskSize(-1);
  EXPECT_EQ(component.PromptForDisk(component, 1, 2, 1000, kNoDrive), 0);
  EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(DiskPrompt, NeverAsksForMoreThanOneDiskHolds) {
  TZorelLZObj component;
  TScriptedBoxes boxes({kMbYes, kMbOk, kMbNo, kMbYes});
  // statvfs reports no free space at all for /proc.
  EXPECT_EQ(component.PromptForDisk(component, 1, 2, 1000, "/proc"), 1);
  EXPECT_EQ(boxes.shown.size(), 3u);
  component.SetSpanDiskSize(0);
  EXPECT_EQ(component.PromptForDisk(component, 1, 2, 1000, "/proc"), 0);
  EXPECT_EQ(boxes.shown.size(), 4u);
}

TEST_F(DiskPrompt, StopsWhenNoBoxCanBeShown) {
  TZorelLZObj component;
  TScriptedBoxes boxes({});
  EXPECT_EQ(component.PromptForDisk(component, 1, 1, -1, kNoDrive), 1);
}

// ---- Other default handlers ------------------------------------------------------

using DefaultHandlers = ComponentTest;

bool MatchesEntryThree(const std::string&, const std::string&, std::int32_t entry) {
  return entry == 3;
}

TEST_F(DefaultHandlers, MatchFileNameAnswersAsTheEngineMatcher) {
  TZorelLZObj component;
  EXPECT_TRUE(component.MatchFileName(component, "*.TXT", "out/a.txt", 1));
  EXPECT_FALSE(component.MatchFileName(component, "#:2", "out/a.txt", 1));
  EXPECT_EQ(component.FileMatchProc(), &LZDefaultFileMatch);

  LZSetFileMatchProc(MatchesEntryThree);
  EXPECT_TRUE(component.MatchFileName(component, "*.TXT", "out/a.txt", 3));
  EXPECT_FALSE(component.MatchFileName(component, "*.TXT", "out/a.txt", 1));
  EXPECT_EQ(component.FileMatchProc(), &MatchesEntryThree);
}

// ---- Creation ----------------------------------------------------------------------

class ComponentCreate : public ComponentTest {
 protected:
  void SetUp() override {
    fs::create_directories(File("in"));
    test::WriteFileBytes(File("in/a.bin"), test::RandomBytes(20000, 7));
    Write("in/b.txt", std::string(3000, 'b'));
    component_.SetArchiveFileSpecs(File("in/*"));
  }

  TZorelLZObj component_;
};

TEST_F(ComponentCreate, SelfExtractingChoiceBuildsFromTheStub) {
  test::WriteFileBytes(File("stub.exe"), test::RandomBytes(1500, 3));
  component_.SetSFXStub(File("stub.exe"));
  component_.SetSFXArchiveName(File("first.exe"));
  component_.SetArchiveName(File("ignored.lza"));
  component_.SetMakeSfxValue(true);
  int reports = 0;
  component_.OnProgressReport = [&](TZorelLZObj&, const TLZReportRec&, std::int32_t) {
    return ++reports;
  };
  EXPECT_EQ(component_.CreateArchive(), 2);
  EXPECT_GT(reports, 0);
  EXPECT_FALSE(fs::exists(File("ignored.lza")));

  component_.SetMakeSfxValue(false);
  component_.SetSFXArchiveName(File("second.exe"));
  EXPECT_EQ(component_.CreateSFXArchive(), 2);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(File("first.exe")),
                              test::ReadFileBytes(File("second.exe"))));
  EXPECT_EQ(component_.IsSFXArchive(), 2);
}

TEST_F(ComponentCreate, SpannedArchiveThatFitsOneDiskKeepsItsName) {
  component_.SetArchiveName(File("one.lza"));
  component_.SetSpanDisks(true);
  EXPECT_EQ(component_.CreateArchive(), 2);
  EXPECT_EQ(component_.GetSpanDiskCount(), 0);
  EXPECT_EQ(component_.GetSpannedArchiveName(), File("one.lza"));
  EXPECT_EQ(LZArchiveCount(File("one.lza")), 2);
}

TEST_F(ComponentCreate, SpannedArchiveCountsThePartsWritten) {
  component_.SetArchiveName(File("parts.lza"));
  component_.SetCompressionChoices(LZNoCompression);
  component_.SetSpanDisks(true);
  component_.SetSpanDiskSize(8000);
  std::vector<std::int32_t> disks_asked;
  component_.OnPromptForDisk = [&](TZorelLZObj&, std::int32_t disk, std::int32_t, std::int32_t,
                                   const char*) {
    disks_asked.push_back(disk);
    return 0;
  };
  EXPECT_EQ(component_.CreateArchive(), 2);
  EXPECT_EQ(component_.GetSpanDiskCount(), 3);
  EXPECT_EQ(disks_asked, (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_TRUE(fs::exists(LZSpanPartName(File("parts.lza"), 3)));
  EXPECT_FALSE(fs::exists(LZSpanPartName(File("parts.lza"), 4)));

  // The count describes the last build only.
  component_.SetSpanDisks(false);
  component_.SetArchiveName(File("whole.lza"));
  EXPECT_EQ(component_.CreateArchive(), 2);
  EXPECT_EQ(component_.GetSpanDiskCount(), 0);
}

TEST_F(ComponentCreate, CompressFileWithoutOutputNameWritesTheDerivedNameAtMaxLevel) {
  component_.SetInputName(File("in/b.txt"));
  component_.SetCompressionChoices(LZNoCompression);
  EXPECT_GT(component_.CompressFile(), 0);
  TLZFileHeader header;
  ASSERT_TRUE(LZGetFileHeader(File("in/b.tx~"), header));
  EXPECT_EQ(header.Method, kLZMethodLZH);

  component_.SetOutputName(File("fast.lz"));
  component_.SetCompressionChoices(LZFastCompression);
  EXPECT_GT(component_.CompressFile(), 0);
  ASSERT_TRUE(LZGetFileHeader(File("fast.lz"), header));
  EXPECT_EQ(header.Method, kLZMethodLZSS);
}

// ---- Stored properties ---------------------------------------------------------------

using StoredProperties = ComponentTest;

TEST_F(StoredProperties, ApplyThroughTheirSettersInStoredOrder) {
  constexpr char kStoreList[] = ".ZIP|.GZ|.AR7";
  const TStoredProperty stored[] = {
      {"InputFileName", std::string("in")},
      {"OutputFileName", std::string("out")},
      {"recursedirs", TStoredIdent{"lzrecurseonce"}},
      {"DearchiveRecurse", false},
      {"CheckFileCRCs", true},
      {"ExtractUnExpanded", true},
      {"CompressionChoice", TStoredIdent{"LZFastCompression"}},
      {"ExtensionstoStore", std::string(kStoreList)},
      {"ArchiveName", std::string("a.lza")},
      {"ArchiveFileSpecs", std::string("src/*.txt")},
      {"DeArchiveMask", std::string("*.DAT")},
      {"SFXStub", std::string("stub.exe")},
      {"SFXArchiveName", std::string("setup.exe")},
      {"MakeSFXArchive", true},
      {"SpanDisks", true},
      {"SpanDiskType", TStoredIdent{"FloppyDisk720"}},
      {"SpanDiskSize", 1000000},
      {"DeArchiveTargetDirectory", std::string("target")},
  };
  TZorelLZObj component;
  ApplyStoredProperties(component, stored);
  EXPECT_EQ(component.GetInputName(), "in");
  EXPECT_EQ(component.GetOutputName(), "out");
  EXPECT_EQ(component.GetRecurseDirs(), LZRecurseOnce);
  EXPECT_FALSE(component.GetDearchiveRecurse());
  EXPECT_TRUE(LZGetCheckCRC());
  EXPECT_TRUE(component.GetExtractUnExpanded());
  EXPECT_EQ(component.GetCompressionChoice(), LZFastCompression);
  EXPECT_EQ(LZGetExtensionsToStore(), kStoreList);
  EXPECT_EQ(component.GetArchiveName(), "a.lza");
  EXPECT_EQ(component.GetArchiveFileSpecs(), "src/*.txt");
  EXPECT_EQ(LZGetDearchiveMask(), "*.DAT");
  EXPECT_EQ(component.GetSFXStub(), "stub.exe");
  EXPECT_EQ(component.GetSFXArchiveName(), "setup.exe");
  EXPECT_TRUE(component.GetMakeSfxValue());
  EXPECT_TRUE(component.GetSpanDisks());
  EXPECT_EQ(component.GetSpanDiskSize(), 1000000);
  EXPECT_EQ(component.GetSpanDiskType(), FloppyDiskOther);
  EXPECT_EQ(component.GetTargetDirectory(), "target");

  // The order in which the update window stores the disk settings.
  const TStoredProperty disk[] = {{"SpanDiskSize", -1},
                                  {"SpanDiskType", TStoredIdent{"FloppyDiskOther"}}};
  ApplyStoredProperties(component, disk);
  EXPECT_EQ(component.GetSpanDiskSize(), -1);
  EXPECT_EQ(component.GetSpanDiskType(), FloppyDiskOther);
}

TEST_F(StoredProperties, RefusesWhatCannotBeStoredAndAppliesNothing) {
  const struct {
    TStoredProperty Faulty;
    const char* Cause;
  } cases[] = {
      {{"ArchiveNam", std::string("x")}, "no such property"},
      {{"SpanDiskCount", 2}, "is read-only"},
      {{"OnProgressReport", true}, "is an event"},
      {{"RecurseDirs", true}, "needs an identifier"},
      {{"SpanDiskSize", std::string("1000")}, "needs an integer"},
      {{"RecurseDirs", TStoredIdent{"LZDeepRecurse"}}, "unknown identifier \"LZDeepRecurse\""},
      {{"CompressionChoice", TStoredIdent{"LZFullRecurse"}}, "unknown identifier"},
  };
  for (const auto& c : cases) {
    TZorelLZObj component;
    const TStoredProperty stored[] = {{"ArchiveName", std::string("kept.lza")}, c.Faulty};
    try {
      ApplyStoredProperties(component, stored);
      ADD_FAILURE() << c.Faulty.Name << " was applied";
    } catch (const EStoredPropertyError& error) {
      EXPECT_EQ(error.Property(), c.Faulty.Name);
      EXPECT_NE(std::string(error.what()).find(c.Faulty.Name), std::string::npos);
      EXPECT_NE(std::string(error.what()).find(c.Cause), std::string::npos) << error.what();
    }
    EXPECT_EQ(component.GetArchiveName(), "");
  }
}

}  // namespace
}  // namespace zorellz
