// Collecting the inputs of an archive: the wildcard walk and list files.
#include "archive/engine/CreateCollect.h"
#include "archive/engine/CreateWrite.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/DosTime.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;

using TSkipped = std::pair<std::string, TLZSkipReason>;

// Runs a test from another current folder and goes back afterwards.
class TCurrentFolder {
 public:
  explicit TCurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~TCurrentFolder() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

class CollectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    LZSetSkippedInputHook([this](const std::string& path, TLZSkipReason reason) {
      skipped_.emplace_back(path, reason);
    });
    fs::create_directory(root_);
  }
  void TearDown() override { LZResetEngineState(); }

  // A file (and the folders above it) under the tree.
  std::string Make(const std::string& relative, const std::string& content = "data") {
    const std::string path = root_ + relative;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  void MakeFolder(const std::string& relative) { fs::create_directories(root_ + relative); }

  // The archive being written, among the tree's files.
  std::string MakeArchive(const std::string& relative) {
    const std::string path = Make(relative, "archive");
    TFileIdentity identity;
    EXPECT_TRUE(GetFileIdentity(path, identity));
    outputs_.Identities.push_back(identity);
    return path;
  }

  TLZCollection Walk(const std::string& mask, TLZRecurse recurse) {
    TLZCollection collection;
    LZCollectWildcard(root_ + mask, recurse, outputs_, collection);
    ExpectWellFormed(collection);
    return collection;
  }

  TLZCollection ReadList(const std::string& lines) {
    const std::string list = scratch_.File("list.txt");
    std::ofstream(list, std::ios::binary) << lines;
    TLZCollection collection;
    LZCollectListFile(list, outputs_, collection);
    ExpectWellFormed(collection);
    return collection;
  }

  // The entries' paths below the tree, folders with a trailing '/'.
  std::vector<std::string> Paths(const TLZCollection& collection) const {
    std::vector<std::string> paths;
    for (const TLZBuildEntry& entry : collection.Entries) {
      std::string path = test::Slashed(
          entry.Path.starts_with(root_) ? entry.Path.substr(root_.size()) : entry.Path);
      paths.push_back(entry.IsFolder ? path + "/" : path);
    }
    return paths;
  }

  // The entry as the data step reads its input.
  static TLZBuildEntry ReadForData(TLZBuildEntry entry) {
    TFile output;
    TLZDataArea area{LZDefaultContext(), output, LZMaxCompression, nullptr, {}, 0, 0};
    TFile input;
    EXPECT_TRUE(LZOpenEntryInput(area, entry, input)) << entry.Path;
    return entry;
  }

  const TLZBuildEntry* Find(const TLZCollection& collection, const std::string& relative) const {
    for (const TLZBuildEntry& entry : collection.Entries) {
      if (test::Slashed(entry.Path) == test::Slashed(root_ + relative)) return &entry;
    }
    return nullptr;
  }

  // What every collection holds to: folders before files, numbers 1..N,
  // each folder numbered by its own slot, every index naming a folder.
  static void ExpectWellFormed(const TLZCollection& collection) {
    std::size_t folders = 0;
    while (folders < collection.Entries.size() && collection.Entries[folders].IsFolder) ++folders;
    for (std::size_t i = 0; i < collection.Entries.size(); ++i) {
      const TLZBuildEntry& entry = collection.Entries[i];
      SCOPED_TRACE(entry.Path);
      EXPECT_EQ(entry.Number, static_cast<std::int32_t>(i + 1));
      EXPECT_EQ(entry.IsFolder, i < folders) << "folders must precede files";
      EXPECT_LE(entry.FolderIndex, folders);
      EXPECT_FALSE(entry.StoredName.empty());
      if (entry.IsFolder) {
        EXPECT_EQ(entry.FolderIndex, i + 1);
        EXPECT_LE(entry.ParentIndex, folders);
        EXPECT_NE(entry.ParentIndex, entry.FolderIndex);
        EXPECT_EQ(entry.Method, kLZMethodFolder);
        EXPECT_EQ(entry.Version, "-");
      } else {
        EXPECT_EQ(entry.ParentIndex, 0);
        EXPECT_EQ(entry.Method, kLZMethodLZSS);
        EXPECT_EQ(entry.Compressed, 1);
      }
    }
  }

  test::TScratchDir scratch_;
  const std::string root_ = scratch_.File("tree") + "/";
  TLZOutputFiles outputs_;
  std::vector<TSkipped> skipped_;
};

using Strings = std::vector<std::string>;

// ---- Masks ---------------------------------------------------------------------

TEST(CreateMask, MatchesLettersOfEitherCase) {
  EXPECT_TRUE(LZMatchCreateMask("*.DAT", "report.dat"));
  EXPECT_TRUE(LZMatchCreateMask("rep?rt.*", "REPORT.TXT"));
  EXPECT_TRUE(LZMatchCreateMask("*", "anything"));
  EXPECT_FALSE(LZMatchCreateMask("*.txt", "notes.txt.bak"));
  EXPECT_FALSE(LZMatchCreateMask("*.txt", "notes"));
}

TEST(CreateMask, StarDotStarMatchesNamesWithoutDot) {
  EXPECT_TRUE(LZMatchCreateMask("*.*", "README"));
  EXPECT_TRUE(LZMatchCreateMask("*.*", ".hidden"));
  EXPECT_FALSE(LZMatchCreateMask("*.?*", "README"));
}

// ---- Wildcard walk -----------------------------------------------------------

TEST_F(CollectTest, MaskMatchingNothingCollectsNothing) {
  Make("a.dat");
  Make("sub/b.dat");
  EXPECT_TRUE(Walk("*.txt", LZFullRecurse).Entries.empty());
  EXPECT_TRUE(Walk("*.txt", LZNoRecurse).Entries.empty());
  EXPECT_TRUE(skipped_.empty());
}

TEST_F(CollectTest, NoRecursionTakesTheBaseFolderOnly) {
  Make("a.txt");
  Make("sub/b.txt");
  EXPECT_EQ(Paths(Walk("*.txt", LZNoRecurse)), Strings({"a.txt"}));
}

TEST_F(CollectTest, RecurseOnceTakesTheFirstLevelOnly) {
  Make("f.txt");
  Make("one/f.txt");
  Make("one/two/f.txt");
  Make("one/two/three/f.txt");
  TLZCollection collection = Walk("*.txt", LZRecurseOnce);
  EXPECT_EQ(Paths(collection), Strings({"one/", "f.txt", "one/f.txt"}));
  EXPECT_EQ(collection.Entries[0].ParentIndex, 0);
  EXPECT_EQ(collection.Entries[2].FolderIndex, 1);
}

TEST_F(CollectTest, FullRecursionWalksBreadthFirst) {
  Make("x/x1/t.txt");
  Make("y/y1/t.txt");
  Make("x/t.txt");
  Make("y/t.txt");
  Make("t.txt");
  TLZCollection collection = Walk("*.txt", LZFullRecurse);
  EXPECT_EQ(Paths(collection), Strings({"x/", "y/", "x/x1/", "y/y1/", "t.txt", "x/t.txt", "y/t.txt",
                                        "x/x1/t.txt", "y/y1/t.txt"}));
  EXPECT_EQ(Find(collection, "x/x1")->ParentIndex, 1);
  EXPECT_EQ(Find(collection, "y/y1")->ParentIndex, 2);
  EXPECT_EQ(Find(collection, "y/y1/t.txt")->FolderIndex, 4);
  EXPECT_EQ(Find(collection, "t.txt")->FolderIndex, 0);
  // Folders found by the walk keep their own date and carry no attributes.
  const TLZBuildEntry& x = collection.Entries[0];
  EXPECT_EQ(x.DateTime, GetFileDosDate(root_ + "x"));
  EXPECT_NE(x.DateTime, kLZFolderDate);
  EXPECT_EQ(x.Attributes, 0);
  EXPECT_EQ(x.StoredName, "x");
}

TEST_F(CollectTest, MaskWithoutFolderWalksTheCurrentFolder) {
  Make("t.txt");
  Make("sub/u.txt");
  TCurrentFolder current(root_);
  TLZCollection collection;
  LZCollectWildcard("*.txt", LZFullRecurse, outputs_, collection);
  ExpectWellFormed(collection);
  EXPECT_EQ(Paths(collection), Strings({"sub/", "t.txt", "sub/u.txt"}));
}

TEST_F(CollectTest, RemovedFoldersAreRecreatedAlongThePath) {
  Make("a/other.dat");
  Make("a/b/c/d.txt");
  TLZCollection collection = Walk("*.txt", LZFullRecurse);
  // c is the walk's one kept folder; a and b come back to complete its path.
  EXPECT_EQ(Paths(collection), Strings({"a/b/c/", "a/", "a/b/", "a/b/c/d.txt"}));
  const TLZBuildEntry& c = collection.Entries[0];
  const TLZBuildEntry& a = collection.Entries[1];
  const TLZBuildEntry& b = collection.Entries[2];
  EXPECT_EQ(c.ParentIndex, 3);
  EXPECT_EQ(b.ParentIndex, 2);
  EXPECT_EQ(a.ParentIndex, 0);
  for (const TLZBuildEntry* recreated : {&a, &b}) {
    EXPECT_EQ(recreated->DateTime, kLZFolderDate);
    EXPECT_EQ(recreated->Attributes, GetFileAttributesNative(recreated->Path));
    EXPECT_EQ(recreated->CRC, 0u);
  }
  EXPECT_EQ(collection.Entries[3].FolderIndex, 1);
}

TEST_F(CollectTest, RecreatedFolderIsSharedBySiblings) {
  Make("a/p/one.txt");
  Make("a/q/two.txt");
  TLZCollection collection = Walk("*.txt", LZFullRecurse);
  EXPECT_EQ(Paths(collection), Strings({"a/p/", "a/q/", "a/", "a/p/one.txt", "a/q/two.txt"}));
  EXPECT_EQ(collection.Entries[0].ParentIndex, 3);
  EXPECT_EQ(collection.Entries[1].ParentIndex, 3);
}

TEST_F(CollectTest, MaskEndingInStarKeepsEveryFolder) {
  MakeFolder("empty");
  MakeFolder("a/inner");
  TLZCollection collection = Walk("*", LZFullRecurse);
  EXPECT_EQ(Paths(collection), Strings({"a/", "empty/", "a/inner/"}));
  EXPECT_EQ(collection.Entries[2].ParentIndex, 1);
  for (const TLZBuildEntry& entry : collection.Entries) EXPECT_NE(entry.DateTime, kLZFolderDate);
}

TEST_F(CollectTest, FileEntryDescribesTheFile) {
  const std::string content(1000, 'q');
  const std::string path = Make("sub/q.txt", content);
  TLZCollection collection = Walk("*.txt", LZFullRecurse);
  const TLZBuildEntry* file = Find(collection, "sub/q.txt");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->StoredName, "q.txt");
  EXPECT_EQ(file->UncompressedSize, 1000);
  EXPECT_EQ(file->CompressedSize, 1000);
  EXPECT_EQ(ReadForData(*file).CRC, CRC32Of(content.data(), content.size()));
  EXPECT_EQ(file->DateTime, GetFileDosDate(path));
  EXPECT_EQ(file->Attributes, GetFileAttributesNative(path));
  EXPECT_EQ(file->Version, "0");
}

// ---- The archive never takes itself ----------------------------------------------

TEST_F(CollectTest, ArchiveAndItsOtherNamesAreNeverTaken) {
  const std::string archive = MakeArchive("out.lza");
  Make("in.lza");
  fs::create_directory(root_ + "links");
  fs::create_hard_link(archive, root_ + "links/hard.lza");
#ifndef _WIN32
  // Symbolic links need a privilege on Windows; the hard link stands alone.
  fs::create_symlink(archive, root_ + "links/soft.lza");
#endif
  TLZCollection collection = Walk("*.lza", LZFullRecurse);
  // The folder holding nothing but other names of the archive is not kept.
  EXPECT_EQ(Paths(collection), Strings({"in.lza"}));
  EXPECT_TRUE(skipped_.empty());
}

TEST_F(CollectTest, ListLinesNamingTheArchiveAreSkipped) {
  MakeArchive("out.lza");
  Make("in.txt");
  TCurrentFolder current(root_);
  TLZCollection collection = ReadList("out.lza\n./out.lza\n" + root_ + "out.lza\nin.txt\n");
  EXPECT_EQ(Paths(collection), Strings({"in.txt"}));
  EXPECT_THROW(ReadList("out.lza\n"), EZorelLZArchive);
}

// ---- Limits -------------------------------------------------------------------------

TEST_F(CollectTest, EntryLimitLeavesTheRestOutByName) {
  for (int i = 0; i <= kLZMaxEntries; ++i) Make("f" + std::to_string(10000 + i) + ".txt");
  TLZCollection collection = Walk("*.txt", LZNoRecurse);
  EXPECT_EQ(collection.Entries.size(), static_cast<std::size_t>(kLZMaxEntries));
  ASSERT_EQ(skipped_.size(), 1u);
  EXPECT_EQ(skipped_[0].second, TLZSkipReason::kEntryLimit);
  EXPECT_EQ(Find(collection, fs::path(skipped_[0].first).filename().string()), nullptr);
}

// a (no match) holds a/k (a match); when the walk ends, the folder list is
// full, so a cannot come back: a/k and its file stay out rather than land
// under a wrong parent.
TEST_F(CollectTest, FolderWithoutRoomForItsParentIsLeftOut) {
  Make("a/k/x.txt");
  for (int i = 0; i < kLZMaxFolders - 2; ++i) Make("f" + std::to_string(10000 + i) + "/t.txt");
  Make("f10000/g/y.txt");  // takes the slot that a frees
  Make("f10001/h/z.txt");  // finds no slot at all
  TLZCollection collection = Walk("*.txt", LZFullRecurse);
  EXPECT_EQ(Find(collection, "a/k"), nullptr);
  EXPECT_EQ(Find(collection, "a"), nullptr);
  EXPECT_NE(Find(collection, "f10000/g/y.txt"), nullptr);
  EXPECT_EQ(skipped_, std::vector<TSkipped>({{root_ + "f10001/h", TLZSkipReason::kEntryLimit},
                                             {root_ + "a/k/x.txt", TLZSkipReason::kEntryLimit}}));
}

TEST_F(CollectTest, FilesOfTwoGigabytesAreLeftOut) {
  const std::string big = Make("big.bin", "");
  fs::resize_file(big, std::uintmax_t{1} << 31);
  Make("small.bin");
  TLZCollection collection = Walk("*.bin", LZNoRecurse);
  EXPECT_EQ(Paths(collection), Strings({"small.bin"}));
  EXPECT_EQ(skipped_, std::vector<TSkipped>({{big, TLZSkipReason::kTooLarge}}));
}

// ---- Names ----------------------------------------------------------------------------

TEST_F(CollectTest, LongestNameIsKept) {
  const std::string name = std::string(251, 'n') + ".txt";
  Make(name);
  TLZCollection collection = Walk("*.txt", LZNoRecurse);
  ASSERT_EQ(collection.Entries.size(), 1u);
  EXPECT_EQ(collection.Entries[0].StoredName, name);
}

TEST_F(CollectTest, NamesOutsideTheCodePageAreLeftOutByName) {
  Make("caf\xC3\xA9.txt");                             // é exists in Windows-1252
  const std::string kanji = Make("\xE6\xBC\xA2.txt");  // a CJK character does not
  const std::string backslash = Make("a\\b.txt");      // would read back as a folder
  Make("\xE6\xBC\xA2/inside.txt");
  TLZCollection collection = Walk("*.txt", LZFullRecurse);
  ASSERT_EQ(collection.Entries.size(), 1u);
  EXPECT_EQ(collection.Entries[0].StoredName, "caf\xE9.txt");
  EXPECT_EQ(skipped_,
            std::vector<TSkipped>({{root_ + "\xE6\xBC\xA2", TLZSkipReason::kNameNotStorable},
                                   {backslash, TLZSkipReason::kNameNotStorable},
                                   {kanji, TLZSkipReason::kNameNotStorable}}));
}

// ---- Links and special files -------------------------------------------------------------
// POSIX only: symbolic links need a privilege on Windows, which has no FIFOs.
#ifndef _WIN32

TEST_F(CollectTest, LinkedFoldersAreNotDescended) {
  Make("a/t.txt");
  fs::create_directory_symlink(root_, root_ + "a/loop");
  const std::string outside = scratch_.File("outside");
  fs::create_directory(outside);
  std::ofstream(outside + "/secret.txt") << "secret";
  fs::create_directory_symlink(outside, root_ + "out");
  TLZCollection collection = Walk("*", LZFullRecurse);
  EXPECT_EQ(Paths(collection), Strings({"a/", "a/t.txt"}));
}

TEST_F(CollectTest, LinkedFileIsTakenAsItsTarget) {
  const std::string content = "the target's bytes";
  const std::string target = scratch_.File("target.dat");
  std::ofstream(target, std::ios::binary) << content;
  fs::create_symlink(target, root_ + "link.txt");
  fs::create_symlink(scratch_.File("missing"), root_ + "dangling.txt");
  TLZCollection collection = Walk("*.txt", LZNoRecurse);
  ASSERT_EQ(Paths(collection), Strings({"link.txt"}));
  EXPECT_EQ(collection.Entries[0].StoredName, "link.txt");
  EXPECT_EQ(collection.Entries[0].UncompressedSize, static_cast<std::int32_t>(content.size()));
  EXPECT_EQ(ReadForData(collection.Entries[0]).CRC, CRC32Of(content.data(), content.size()));
}

// Collecting opens no input; the data step reads a small one whole, once.
TEST_F(CollectTest, SmallInputsAreReadWholeForTheirData) {
  const test::TBytes small = test::RandomBytes(static_cast<std::size_t>(kLZSmallInput), 3);
  test::WriteFileBytes(root_ + "small.dat", small);
  test::WriteFileBytes(root_ + "large.dat",
                       test::RandomBytes(static_cast<std::size_t>(kLZSmallInput) + 1, 4));
  TLZCollection collection = Walk("*.dat", LZNoRecurse);
  ASSERT_NE(Find(collection, "large.dat"), nullptr);
  ASSERT_NE(Find(collection, "small.dat"), nullptr);
  EXPECT_EQ(Find(collection, "small.dat")->Bytes, nullptr);
  const TLZBuildEntry large = ReadForData(*Find(collection, "large.dat"));
  const TLZBuildEntry held = ReadForData(*Find(collection, "small.dat"));
  EXPECT_EQ(large.Bytes, nullptr);
  ASSERT_NE(held.Bytes, nullptr);
  EXPECT_TRUE(test::SameBytes(test::TBytes(held.Bytes->begin(), held.Bytes->end()), small));
  EXPECT_EQ(held.CRC, CRC32Of(small.data(), small.size()));
}

TEST_F(CollectTest, FifoIsNeverTaken) {
  const std::string fifo = root_ + "pipe.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Make("plain.txt");
  EXPECT_EQ(Paths(Walk("*.txt", LZNoRecurse)), Strings({"plain.txt"}));
  EXPECT_THROW(ReadList(fifo + "\n"), EZorelLZArchive);
}
#endif

// ---- List files --------------------------------------------------------------------------

TEST_F(CollectTest, ListLinesAreTakenAsWritten) {
  const std::string absolute = Make("abs.txt");
  Make("sub/rel.txt");
  Make("crlf.txt");
  TCurrentFolder current(root_);
  TLZCollection collection =
      ReadList("\n" + absolute + "\nsub/rel.txt\n\nmissing.txt\nsub\ncrlf.txt\r\nsub/rel.txt");
  ASSERT_EQ(collection.Entries.size(), 4u);
  EXPECT_EQ(collection.Entries[0].Path, absolute);
  EXPECT_EQ(collection.Entries[1].Path, "sub/rel.txt");
  EXPECT_EQ(collection.Entries[1].StoredName, "rel.txt");
  EXPECT_EQ(collection.Entries[2].Path, "crlf.txt");
  EXPECT_EQ(collection.Entries[3].Path, "sub/rel.txt");  // the last line has no end
  for (const TLZBuildEntry& entry : collection.Entries) EXPECT_EQ(entry.FolderIndex, 0);
  EXPECT_TRUE(skipped_.empty());
}

TEST_F(CollectTest, ListWithoutValidLineRaises40000) {
  Make("sub/x.txt");
  try {
    ReadList("\n" + root_ + "missing\n" + root_ + "sub\n\n");
    FAIL() << "no exception";
  } catch (const EZorelLZArchive& error) {
    EXPECT_EQ(error.MessageId, kMsgNoValidListFileName);
    EXPECT_STREQ(error.what(), "No valid filename in list-file");
  }
  EXPECT_THROW(ReadList(""), EZorelLZArchive);
  TLZCollection collection;
  EXPECT_THROW(LZCollectListFile(scratch_.File("no-list"), outputs_, collection), EZorelLZArchive);
  EXPECT_THROW(LZCollectListFile(root_, outputs_, collection), EZorelLZArchive);
}

TEST_F(CollectTest, ListKeepsAtMostTheEntryLimit) {
  const std::string a = Make("a.txt");
  const std::string b = Make("b.txt");
  std::string lines;
  for (int i = 0; i < 8200; ++i) lines += (i % 2 == 0 ? a : b) + "\n";
  TLZCollection collection = ReadList(lines);
  EXPECT_EQ(collection.Entries.size(), static_cast<std::size_t>(kLZMaxEntries));
  EXPECT_EQ(skipped_.size(), 8u);
  for (const TSkipped& skipped : skipped_) EXPECT_EQ(skipped.second, TLZSkipReason::kEntryLimit);
}

// A path cut at 255 characters would name another file, made here on purpose.
TEST_F(CollectTest, LongListLineIsUsedWhole) {
  const std::string relative = std::string(120, 'd') + "/" + std::string(120, 'e') + "/long.txt";
  const std::string whole = Make(relative, "the long one");
  ASSERT_GT(whole.size(), 255u);
  Make(whole.substr(root_.size(), 255 - root_.size()), "a decoy");
  TLZCollection collection = ReadList(whole + "\n");
  ASSERT_EQ(collection.Entries.size(), 1u);
  EXPECT_EQ(collection.Entries[0].Path, whole);
  EXPECT_EQ(collection.Entries[0].UncompressedSize, 12);
}

TEST_F(CollectTest, ListLinesThatCannotNameAFileAreSkipped) {
  const std::string kept = Make("kept.txt");
  std::string with_nul = kept + std::string(1, '\0') + "tail";
  std::string huge(100000, 'x');
  TLZCollection collection = ReadList(with_nul + "\n" + huge + "\n" + kept + "\n" + huge);
  EXPECT_EQ(Paths(collection), Strings({"kept.txt"}));
}

}  // namespace
}  // namespace zorellz
