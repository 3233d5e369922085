// Expanding single compressed files under the name stored in them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/ArchiveBuilder.h"
#include "tests/LzssMemory.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

// A single compressed file holding `data` under `source_name`.
TBytes CompressedFile(const std::string& source_name, const TBytes& data) {
  const TBytes stream = LiteralLZSSStream(data);
  TLZFileHeader header = DefaultFileHeader(source_name);
  header.Method = kLZMethodLZSS;
  header.UncompressedSize = static_cast<std::int32_t>(data.size());
  header.CompressedSize = static_cast<std::int32_t>(stream.size());
  header.FileCRC = CRC32Of(data.data(), data.size());
  return SingleFileBytes(header, stream);
}

// Runs the test body with the scratch folder as the current folder.
class TCurrentFolder {
 public:
  explicit TCurrentFolder(const std::filesystem::path& folder)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~TCurrentFolder() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

class ExpandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    root_ = std::filesystem::path(scratch_.Path());
    folder_ = root_ / "in";
    std::filesystem::create_directory(folder_);
  }
  void TearDown() override { LZResetEngineState(); }

  std::string In(const std::string& name) const { return (folder_ / name).string(); }

  TScratchDir scratch_;
  std::filesystem::path root_;
  std::filesystem::path folder_;
  const TBytes data_ = RandomBytes(1000, 6);
};

TEST_F(ExpandTest, TildeNameExpandsBesideItself) {
  WriteFileBytes(In("report.tx~"), CompressedFile("report.txt", data_));
  EXPECT_EQ(LZExpandFile(In("report.txt"), nullptr, nullptr), 1000);
  EXPECT_TRUE(SameBytes(ReadFileBytes(In("report.txt")), data_));
}

TEST_F(ExpandTest, RestoresWhatCompressionUnderTheTildeNameWrote) {
  WriteFileBytes(In("notes.txt"), data_);
  ASSERT_GT(LZCompressFileAutoName(In("notes.txt"), nullptr, nullptr), 0);
  std::filesystem::remove(In("notes.txt"));
  EXPECT_EQ(LZExpandFile(In("notes.txt"), nullptr, nullptr), 1000);
  EXPECT_TRUE(SameBytes(ReadFileBytes(In("notes.txt")), data_));
}

TEST_F(ExpandTest, TildeFileHoldingAnotherFileIsRefused) {
  WriteFileBytes(In("report.tx~"), CompressedFile("other.txt", data_));
  EXPECT_EQ(LZExpandFile(In("report.txt"), nullptr, nullptr), kLZNotRequestedFile);
  // A plain file under the tilde name holds nothing else either.
  WriteFileBytes(In("plain.tx~"), data_);
  EXPECT_EQ(LZExpandFile(In("plain.txt"), nullptr, nullptr), kLZNotRequestedFile);
  EXPECT_FALSE(std::filesystem::exists(In("report.txt")));
  EXPECT_FALSE(std::filesystem::exists(In("other.txt")));
}

TEST_F(ExpandTest, CompressedFileExpandsToItsStoredName) {
  WriteFileBytes(In("packed.bin"), CompressedFile("data.txt", data_));
  EXPECT_EQ(LZExpandFile(In("packed.bin"), nullptr, nullptr), 1000);
  EXPECT_TRUE(SameBytes(ReadFileBytes(In("data.txt")), data_));
}

TEST_F(ExpandTest, MissingOrEmptySourceGivesNoFile) {
  EXPECT_EQ(LZExpandFile("", nullptr, nullptr), kLZNoFile);
  EXPECT_EQ(LZExpandFile(In("absent.txt"), nullptr, nullptr), kLZNoFile);
}

TEST_F(ExpandTest, PlainFileWithoutFolderWouldOverwriteItself) {
  WriteFileBytes(In("plain.txt"), data_);
  TCurrentFolder current(folder_);
  EXPECT_EQ(LZExpandFile("plain.txt", nullptr, nullptr), kLZSameInputOutput);
  // A compressed file whose stored name is its own name is the same case.
  WriteFileBytes(In("self.bin"), CompressedFile("SELF.BIN", data_));
  EXPECT_EQ(LZExpandFile("self.bin", nullptr, nullptr), kLZSameInputOutput);
  EXPECT_TRUE(SameBytes(ReadFileBytes(In("plain.txt")), data_));
}

TEST_F(ExpandTest, StoredNameNeverLeadsOutOfTheFolder) {
  for (const char* stored : {"..\\x", "/etc/x", "sub/../x", "..\\..\\x"}) {
    SCOPED_TRACE(stored);
    WriteFileBytes(In("hostile.bin"), CompressedFile(stored, data_));
    EXPECT_EQ(LZExpandFile(In("hostile.bin"), nullptr, nullptr), 1000);
    EXPECT_TRUE(SameBytes(ReadFileBytes(In("x")), data_));
    std::filesystem::remove(In("x"));
  }
  EXPECT_FALSE(std::filesystem::exists(root_ / "x"));
}

TEST_F(ExpandTest, StoredNamesThatNameNoFileAreRefused) {
  for (const std::string& stored :
       {std::string(".."), std::string("."), std::string("a\\"), std::string("x\0y", 3)}) {
    SCOPED_TRACE(stored);
    WriteFileBytes(In("hostile.bin"), CompressedFile(stored, data_));
    EXPECT_EQ(LZExpandFile(In("hostile.bin"), nullptr, nullptr), kLZNoFile);
  }
  // An empty stored name makes no compressed file: the file would expand
  // onto itself.
  WriteFileBytes(In("empty.bin"), CompressedFile("", data_));
  EXPECT_EQ(LZExpandFile(In("empty.bin"), nullptr, nullptr), kLZSameInputOutput);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                          std::filesystem::directory_iterator()),
            2);
}

TEST_F(ExpandTest, CompressedNameReplacesTheLastCharacterOfTheExtension) {
  EXPECT_EQ(LZCompressedName("report.txt"), "report.tx~");
  EXPECT_EQ(LZCompressedName("README"), "README.~");
  EXPECT_EQ(LZCompressedName("a.b"), "a.~");
  // A dot in a folder name is no extension of the file.
  EXPECT_EQ(LZCompressedName("dir.x/README"), "dir.x/README.~");
}

}  // namespace
}  // namespace zorellz::test
