// Loading and checking the archive directory, its CRC and entry paths.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "archive/engine/EngineState.h"
#include "tests/ArchiveBuilder.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

using test::TArchiveBuilder;
using test::TArchiveImage;
using test::TBytes;

// Help (1), Help\Data (2), a.txt at the root (3), Help\Data\b.htm (4).
TArchiveBuilder HelpTree() {
  TArchiveBuilder builder;
  int help = builder.AddFolder("Help");
  int data = builder.AddFolder("Data", help);
  builder.AddFile("a.txt", TBytes{'h', 'e', 'l', 'l', 'o'});
  builder.AddFile("b.htm", TBytes(64, '<'), data);
  return builder;
}

class DirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { LZResetEngineState(); }
  void TearDown() override { LZResetEngineState(); }

  std::string Write(const TBytes& bytes) {
    std::string path = scratch_.File("archive.lza");
    test::WriteFileBytes(path, bytes);
    return path;
  }

  std::int32_t Load(const TBytes& bytes) {
    directory_ = TZorelLZArchiveHeader{};
    return LZLoadDirectory(Write(bytes), directory_);
  }

  test::TScratchDir scratch_;
  TZorelLZArchiveHeader directory_;
};

// Keeps NamesSize equal to the names' lengths after a name was changed.
void Recount(TArchiveImage& image) {
  image.Header.NamesSize = 0;
  for (const TLZFileEntry& entry : image.Entries) image.Header.NamesSize += entry.NameLength;
}

void Rename(TArchiveImage& image, std::size_t k, const std::string& name) {
  image.Names[k - 1] = name;
  image.Entries[k - 1].NameLength = static_cast<std::uint8_t>(name.size());
  Recount(image);
}

// ---- Valid directories ---------------------------------------------------------

TEST_F(DirectoryTest, LoadsFoldersAndFiles) {
  TArchiveImage image = HelpTree().Image();
  ASSERT_EQ(Load(image.Bytes()), 0);
  EXPECT_EQ(directory_.Count, 4);
  EXPECT_EQ(directory_.Header, image.Header);
  EXPECT_EQ(directory_.Entries, image.Entries);
  EXPECT_EQ(directory_.Names, image.Names);
}

TEST_F(DirectoryTest, LoadsAppendedArchiveAtItsOffset) {
  TArchiveImage image = HelpTree().Stub(1000).Image();
  LZSetHeaderOffset(1000);
  ASSERT_EQ(Load(image.Bytes()), 0);
  EXPECT_EQ(directory_.Names, image.Names);
}

TEST_F(DirectoryTest, ReadsDirectoryFromOpenFile) {
  TArchiveImage image = HelpTree().Image();
  TFile file;
  ASSERT_TRUE(file.Open(Write(image.Bytes()), TFile::TMode::kReadDenyWrite));
  ASSERT_TRUE(file.Seek(TLZArchiveHeader::kSize));
  EXPECT_EQ(LZReadDirectory(file, directory_, image.Header), 0);
  EXPECT_EQ(directory_.Names, image.Names);
}

TEST_F(DirectoryTest, LargeNameAreaIsReadNameByName) {
  // 1,025 names of 255 characters: 261,375 bytes, above the one-block limit.
  TArchiveBuilder builder;
  for (int i = 0; i < 1025; ++i) builder.AddFile(std::string(250, 'n') + std::to_string(10000 + i));
  TArchiveImage image = builder.Image();
  ASSERT_GE(image.Header.NamesSize, kLZNamesBlockLimit);
  ASSERT_EQ(Load(image.Bytes()), 0);
  EXPECT_EQ(directory_.Names, image.Names);

  TBytes cut = image.Bytes();
  cut.resize(image.DataOffset() - 100);
  EXPECT_EQ(Load(cut), kLZReadDirectoryFailed);
}

TEST_F(DirectoryTest, NameScrambledToZeroStillTakesItsByte) {
  TArchiveBuilder builder;
  builder.AddFile(
      "\xFC"
      "AB");  // 0xFC + 4 is stored as 0
  TArchiveImage image = builder.Image();
  ASSERT_EQ(image.Header.NamesSize, 3);
  ASSERT_EQ(Load(image.Bytes()), 0);
  EXPECT_EQ(directory_.Name(1),
            "\xFC"
            "AB");
}

TEST_F(DirectoryTest, LastCharacterOfANameIsOutsideTheCRC) {
  TArchiveImage image = HelpTree().Image();
  TBytes bytes = image.Bytes();
  // The last scrambled byte of "a.txt", the third name.
  bytes[image.NamesOffset() + 4 + 4 + 4] += 1;
  ASSERT_EQ(Load(bytes), 0);
  EXPECT_EQ(directory_.Name(3), "a.txu");
  bytes[image.NamesOffset() + 4 + 4 + 3] += 1;  // the character before it
  EXPECT_EQ(Load(bytes), kLZDamagedDirectory);
}

TEST_F(DirectoryTest, LimitsThemselvesAreAccepted) {
  TArchiveBuilder builder;
  for (int i = 0; i < kLZMaxFolders; ++i) builder.AddFolder("d");
  for (int i = kLZMaxFolders; i < kLZMaxEntries; ++i) builder.AddFile("f");
  TArchiveImage image = builder.Image();
  image.HasTrailer = false;  // the data (none) end exactly at the end of the file
  EXPECT_EQ(Load(image.Bytes()), 0);
  EXPECT_EQ(directory_.Count, kLZMaxEntries);
}

TEST_F(DirectoryTest, HeaderThatIsNoArchiveGivesNoFile) {
  TArchiveImage image = HelpTree().Image();
  image.Header.FileCount = 0;
  EXPECT_EQ(Load(image.Bytes()), kLZNoFile);
  EXPECT_EQ(LZLoadDirectory(scratch_.File("missing.lza"), directory_), kLZNoFile);
  EXPECT_EQ(LZLoadDirectory("", directory_), kLZNoFile);
}

TEST_F(DirectoryTest, StoredOffsetOutsideTheFileGivesNoFile) {
  TArchiveImage image = HelpTree().Image();
  image.Header.Trailer.ArchiveOffset = -1000;
  EXPECT_EQ(Load(image.Bytes()), kLZNoFile);
}

// ---- Damaged and hostile directories -------------------------------------------

struct TDamage {
  const char* name;
  std::function<void(TArchiveImage&)> damage;
  std::int32_t expected;
};

// Each case damages one thing and seals the CRC again, so that nothing but
// the check under test can refuse the directory.
const std::vector<TDamage>& DirectoryDamages() {
  static const std::vector<TDamage> cases = {
      {"folder after a file", [](TArchiveImage& i) { i.Entries[3].IsFolder = 1; },
       kLZDamagedDirectory},
      {"name length 0", [](TArchiveImage& i) { Rename(i, 3, ""); }, kLZDamagedDirectory},
      {"names size above the lengths", [](TArchiveImage& i) { i.Header.NamesSize += 1; },
       kLZDamagedDirectory},
      {"names size below the lengths", [](TArchiveImage& i) { i.Header.NamesSize -= 1; },
       kLZDamagedDirectory},
      {"negative names size", [](TArchiveImage& i) { i.Header.NamesSize = -1; },
       kLZDamagedDirectory},
      {"negative compressed size", [](TArchiveImage& i) { i.Entries[2].CompressedSize = -1; },
       kLZDamagedDirectory},
      {"negative folder size", [](TArchiveImage& i) { i.Entries[0].CompressedSize = -1; },
       kLZDamagedDirectory},
      {"negative uncompressed size", [](TArchiveImage& i) { i.Entries[3].UncompressedSize = -5; },
       kLZDamagedDirectory},
      {"data beyond the file",
       [](TArchiveImage& i) { i.Entries[3].CompressedSize += TLZArchiveTrailer::kSize + 1; },
       kLZDamagedDirectory},
      {"data sizes that overflow 32 bits",
       [](TArchiveImage& i) {
         i.Entries[2].CompressedSize = std::numeric_limits<std::int32_t>::max();
         i.Entries[3].CompressedSize = std::numeric_limits<std::int32_t>::max();
       },
       kLZDamagedDirectory},
      {"data one byte past the end, no trailer",
       [](TArchiveImage& i) {
         i.HasTrailer = false;
         i.Entries[3].CompressedSize += 1;
       },
       kLZDamagedDirectory},
      {"name with backslash", [](TArchiveImage& i) { Rename(i, 3, "..\\x"); }, kLZDamagedDirectory},
      {"name with slash", [](TArchiveImage& i) { Rename(i, 3, "a/b"); }, kLZDamagedDirectory},
      {"name with colon", [](TArchiveImage& i) { Rename(i, 3, "C:x"); }, kLZDamagedDirectory},
      {"name with NUL", [](TArchiveImage& i) { Rename(i, 3, std::string("a\0b", 3)); },
       kLZDamagedDirectory},
      {"folder named .", [](TArchiveImage& i) { Rename(i, 1, "."); }, kLZDamagedDirectory},
      {"folder named ..", [](TArchiveImage& i) { Rename(i, 2, ".."); }, kLZDamagedDirectory},
      {"file named ..", [](TArchiveImage& i) { Rename(i, 4, ".."); }, kLZDamagedDirectory},
      {"file in a file", [](TArchiveImage& i) { i.Entries[3].FolderIndex = 3; },
       kLZDamagedDirectory},
      {"file in an entry past the end", [](TArchiveImage& i) { i.Entries[3].FolderIndex = 5; },
       kLZDamagedDirectory},
      {"folder in a file", [](TArchiveImage& i) { i.Entries[1].ParentIndex = 4; },
       kLZDamagedDirectory},
      {"folder in an entry past the end", [](TArchiveImage& i) { i.Entries[1].ParentIndex = 9; },
       kLZDamagedDirectory},
      {"folder that contains itself", [](TArchiveImage& i) { i.Entries[0].ParentIndex = 1; },
       kLZDamagedDirectory},
      {"two folders containing each other", [](TArchiveImage& i) { i.Entries[0].ParentIndex = 2; },
       kLZDamagedDirectory},
      {"file count 8193 with 4 entries", [](TArchiveImage& i) { i.Header.FileCount = 8193; },
       kLZDamagedDirectory},
      {"entries cut short", [](TArchiveImage& i) { i.Header.FileCount = 200; },
       kLZReadDirectoryFailed},
  };
  return cases;
}

TEST_F(DirectoryTest, RejectsDamagedDirectories) {
  for (const TDamage& c : DirectoryDamages()) {
    SCOPED_TRACE(c.name);
    TArchiveImage image = HelpTree().Image();
    c.damage(image);
    image.SealDirectoryCRC();
    EXPECT_EQ(Load(image.Bytes()), c.expected);
  }
}

TEST_F(DirectoryTest, AcceptsWhatTheChecksLeaveAlone) {
  const std::vector<std::function<void(TArchiveImage&)>> harmless = {
      [](TArchiveImage& i) { i.Entries[0].FolderIndex = 999; },  // a folder's own number
      [](TArchiveImage& i) { i.Entries[2].ParentIndex = 999; },  // unused for files
      [](TArchiveImage& i) { Rename(i, 3, "...x"); },
      [](TArchiveImage& i) { Rename(i, 3, std::string(255, 'L')); },
      [](TArchiveImage& i) { i.HasTrailer = false; },  // the data end at the end of the file
  };
  for (std::size_t n = 0; n < harmless.size(); ++n) {
    SCOPED_TRACE(n);
    TArchiveImage image = HelpTree().Image();
    harmless[n](image);
    image.SealDirectoryCRC();
    EXPECT_EQ(Load(image.Bytes()), 0);
  }
}

TEST_F(DirectoryTest, RejectsCRCMismatch) {
  TArchiveImage image = HelpTree().Image();
  image.Header.DirectoryCRC ^= 1;
  EXPECT_EQ(Load(image.Bytes()), kLZDamagedDirectory);
}

TEST_F(DirectoryTest, RejectsMoreEntriesThanTheDirectoryHolds) {
  TArchiveBuilder builder;
  for (int i = 0; i <= kLZMaxEntries; ++i) builder.AddFile("f");
  EXPECT_EQ(Load(builder.Bytes()), kLZDamagedDirectory);
}

TEST_F(DirectoryTest, RejectsMoreThan4096Folders) {
  TArchiveBuilder builder;
  for (int i = 0; i <= kLZMaxFolders; ++i) builder.AddFolder("d");
  EXPECT_EQ(Load(builder.Bytes()), kLZDamagedDirectory);
}

TEST_F(DirectoryTest, ShortNamesAreaIsAReadFailure) {
  TArchiveImage image = HelpTree().Image();
  TBytes bytes = image.Bytes();
  bytes.resize(image.NamesOffset() + 6);
  EXPECT_EQ(Load(bytes), kLZReadDirectoryFailed);
}

// Read failures of the entries come first, then the structure, then the
// names, then the names' contents and the CRC.
TEST_F(DirectoryTest, ChecksRunInOrder) {
  TArchiveImage image = HelpTree().Image();
  image.Entries[0].ParentIndex = 1;  // a cycle
  image.SealDirectoryCRC();
  TBytes bytes = image.Bytes();
  bytes.resize(image.EntriesOffset() + 2 * TLZFileEntry::kSize);
  EXPECT_EQ(Load(bytes), kLZReadDirectoryFailed);

  image = HelpTree().Image();
  Rename(image, 3, "");
  image.SealDirectoryCRC();
  bytes = image.Bytes();
  bytes.resize(image.NamesOffset() + 2);
  EXPECT_EQ(Load(bytes), kLZDamagedDirectory);

  image = HelpTree().Image();
  Rename(image, 3, "a:b");
  image.SealDirectoryCRC();
  bytes = image.Bytes();
  bytes.resize(image.NamesOffset() + 2);
  EXPECT_EQ(Load(bytes), kLZReadDirectoryFailed);
}

// ---- Directory CRC -------------------------------------------------------------

TZorelLZArchiveHeader DirectoryOf(const TArchiveImage& image) {
  TZorelLZArchiveHeader directory;
  directory.Count = static_cast<std::int32_t>(image.Entries.size());
  directory.Entries = image.Entries;
  directory.Names = image.Names;
  directory.Header = image.Header;
  return directory;
}

TEST(DirectoryCRC, CoversEntriesLengthBytesAndAllButTheLastCharacter) {
  TArchiveImage image = HelpTree().Image();
  TZorelLZArchiveHeader directory = DirectoryOf(image);
  const std::uint32_t crc = LZDirectoryCRC(directory);
  EXPECT_EQ(crc, test::ExpectedDirectoryCRC(image.Entries, image.Names));

  TZorelLZArchiveHeader changed = directory;
  changed.Names[2].back() = 'X';  // "a.txX"
  EXPECT_EQ(LZDirectoryCRC(changed), crc);

  changed = directory;
  changed.Names[2][0] = 'X';
  EXPECT_NE(LZDirectoryCRC(changed), crc);

  changed = directory;
  changed.Entries[3].FileDate += 1;
  EXPECT_NE(LZDirectoryCRC(changed), crc);

  // The same first characters under another length byte: "a.tx?" against
  // "a.tx", both counted over NameLength 5.
  changed = directory;
  changed.Names[2] = "a.tx";
  EXPECT_NE(LZDirectoryCRC(changed), crc);
}

TEST(DirectoryCRC, CountBoundsTheWalk) {
  TZorelLZArchiveHeader directory = DirectoryOf(HelpTree().Image());
  directory.Count = 1000;  // more than the entries held
  TZorelLZArchiveHeader exact = directory;
  exact.Count = 4;
  EXPECT_EQ(LZDirectoryCRC(directory), LZDirectoryCRC(exact));
}

// ---- Entry paths ----------------------------------------------------------------

TEST(EntryPath, JoinsFoldersWithBackslashes) {
  TZorelLZArchiveHeader directory = DirectoryOf(HelpTree().Image());
  std::string path;
  EXPECT_TRUE(LZEntryPath(directory, 3, path));
  EXPECT_EQ(path, "a.txt");
  EXPECT_TRUE(LZEntryPath(directory, 4, path));
  EXPECT_EQ(path, "Help\\Data\\b.htm");
  EXPECT_TRUE(LZEntryPath(directory, 2, path));
  EXPECT_EQ(path, "Help\\Data");
  EXPECT_TRUE(LZEntryPath(directory, 1, path));
  EXPECT_EQ(path, "Help");
}

TEST(EntryPath, LongPathsAreNotCut) {
  TArchiveBuilder builder;
  int folder = 0;
  for (char c : {'a', 'b', 'c'}) folder = builder.AddFolder(std::string(200, c), folder);
  builder.AddFile("x", {}, folder);
  TZorelLZArchiveHeader directory = DirectoryOf(builder.Image());
  std::string path;
  EXPECT_TRUE(LZEntryPath(directory, 4, path));
  EXPECT_EQ(path.size(), 3 * 201u + 1);
}

TEST(EntryPath, FailsOnBrokenLinks) {
  const TZorelLZArchiveHeader valid = DirectoryOf(HelpTree().Image());
  struct TCase {
    const char* name;
    std::function<void(TZorelLZArchiveHeader&)> damage;
    std::int32_t entry;
  };
  const std::vector<TCase> cases = {
      {"entry 0", [](TZorelLZArchiveHeader&) {}, 0},
      {"entry past Count", [](TZorelLZArchiveHeader&) {}, 5},
      {"cycle", [](TZorelLZArchiveHeader& d) { d.Entries[0].ParentIndex = 2; }, 4},
      {"self parent", [](TZorelLZArchiveHeader& d) { d.Entries[1].ParentIndex = 2; }, 2},
      {"file as folder", [](TZorelLZArchiveHeader& d) { d.Entries[3].FolderIndex = 3; }, 4},
      {"index past Count", [](TZorelLZArchiveHeader& d) { d.Entries[3].FolderIndex = 77; }, 4},
      {"Count beyond entries held", [](TZorelLZArchiveHeader& d) { d.Entries.resize(3); }, 4},
      {"names missing", [](TZorelLZArchiveHeader& d) { d.Names.clear(); }, 3},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TZorelLZArchiveHeader directory = valid;
    c.damage(directory);
    std::string path = "stale";
    EXPECT_FALSE(LZEntryPath(directory, c.entry, path));
    EXPECT_EQ(path, "");
  }
}

// ---- Allocation -------------------------------------------------------------------

TEST(AllocDirectory, CapsTheCountAndFillsTheHeaderCopy) {
  std::unique_ptr<TZorelLZArchiveHeader> directory;
  LZAllocDirectory(directory, 3);
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(directory->Count, 3);
  EXPECT_EQ(directory->Entries.size(), 3u);
  EXPECT_EQ(directory->Header.PartCount, 1);
  EXPECT_EQ(directory->Header.FileCount, 3);

  LZAllocDirectory(directory, 100000);
  EXPECT_EQ(directory->Count, kLZMaxEntries);
  EXPECT_EQ(directory->Entries.size(), static_cast<std::size_t>(kLZMaxEntries));

  LZAllocDirectory(directory, -4);
  EXPECT_EQ(directory->Count, 0);

  LZFreeDirectory(directory, 0);
  EXPECT_EQ(directory, nullptr);
}

}  // namespace
}  // namespace zorellz
