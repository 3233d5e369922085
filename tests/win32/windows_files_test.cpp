// Where Windows files differ from POSIX ones: paths longer than MAX_PATH
// reach the file system through the platform layer (the test cleans up
// through it too, as std::filesystem cannot), and read-only files are
// replaced and deleted as on POSIX.
#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/DosTime.h"
#include "platform/PendingFile.h"
#include "tests/TestSupport.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

TEST(LongPath, FilesDeeperThanMaxPathAreWrittenListedAndRemoved) {
  test::TScratchDir dir;
  std::vector<std::string> folders;
  std::string folder = dir.Path().string();
  while (folder.size() < 2 * MAX_PATH) {
    folder += "\\" + std::string(60, 'd');
    ASSERT_TRUE(MakeDirectory(folder)) << folder.size();
    folders.push_back(folder);
  }
  const std::string file = folder + "\\caf\xc3\xa9.bin";
  TPendingFile pending;
  ASSERT_TRUE(pending.Create(file));
  pending.File().Write("data", 4);
  ASSERT_TRUE(pending.Commit());

  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(GetFileAttributesNative(file), kFaArchive);
  std::vector<TDirEntry> entries;
  ASSERT_TRUE(ListDirectory(folder, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Name, "caf\xc3\xa9.bin");
  TFile reader;
  ASSERT_TRUE(reader.Open(file, TFile::TMode::kReadDenyWrite));
  EXPECT_EQ(reader.Size(), 4);
  reader.Close();

  EXPECT_TRUE(DeleteFileNative(file));
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    EXPECT_TRUE(RemoveDirectoryW((L"\\\\?\\" + std::filesystem::path(*it).wstring()).c_str()));
  }
}

TEST(ReadOnlyFile, IsReplacedAndDeletedAsOnPosix) {
  test::TScratchDir dir;
  const std::string target = dir.File("target.txt");
  test::WriteFileBytes(target, test::Text("old"));
  ASSERT_TRUE(SetFileAttributesNative(target, kFaReadOnly));
  test::WriteFileBytes(dir.File("new.txt"), test::Text("new"));
  ASSERT_TRUE(ReplaceFileNative(dir.File("new.txt"), target));
  EXPECT_EQ(test::TextOf(test::ReadFileBytes(target)), "new");
  ASSERT_TRUE(SetFileAttributesNative(target, kFaReadOnly));
  EXPECT_TRUE(DeleteFileNative(target));
  EXPECT_FALSE(FileExists(target));
  // A folder is no file to replace, read-only or not.
  ASSERT_TRUE(MakeDirectory(dir.File("folder")));
  test::WriteFileBytes(dir.File("other.txt"), test::Text("x"));
  EXPECT_FALSE(ReplaceFileNative(dir.File("other.txt"), dir.File("folder")));
  EXPECT_TRUE(FileExists(dir.File("other.txt")));
}

}  // namespace
}  // namespace zorellz
