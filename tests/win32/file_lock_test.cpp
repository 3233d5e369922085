// The sharing-mode lock check: any open handle of the file, whatever
// sharing it grants, makes an open that shares nothing fail.
#include <windows.h>

#include <cerrno>

#include "gtest/gtest.h"
#include "platform/FileInUse.h"
#include "tests/TestSupport.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

using test::TScratchDir;
using test::WriteFileBytes;

HANDLE OpenShared(const std::string& path, DWORD access, DWORD share) {
  return CreateFileW(std::filesystem::path(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

TEST(FileLock, AnyOpenHandleLocksTheFileUntilItCloses) {
  TScratchDir dir;
  const std::string path = dir.File("DB.DAT");
  WriteFileBytes(path, {1, 2, 3});
  EXPECT_EQ(CheckFileInUse(path), TFileUse::kNotInUse);

  constexpr DWORD kEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  for (const auto& [access, share] : {std::pair<DWORD, DWORD>{GENERIC_READ, FILE_SHARE_READ},
                                      {GENERIC_READ, kEverything},
                                      {GENERIC_WRITE, kEverything},
                                      {GENERIC_READ | GENERIC_WRITE, 0}}) {
    const HANDLE other = OpenShared(path, access, share);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    int error = -1;
    EXPECT_EQ(CheckFileInUse(path, &error), TFileUse::kInUse) << access << " " << share;
    EXPECT_EQ(error, 0);
    CloseHandle(other);
    EXPECT_EQ(CheckFileInUse(path), TFileUse::kNotInUse);
  }
}

TEST(FileLock, TheEnginesOwnReaderCountsAsAnotherUser) {
  TScratchDir dir;
  const std::string path = dir.File("DB.IDX");
  WriteFileBytes(path, {1});
  TFile reader;
  ASSERT_TRUE(reader.Open(path, TFile::TMode::kReadDenyWrite));
  EXPECT_EQ(CheckFileInUse(path), TFileUse::kInUse);
  reader.Close();
  EXPECT_EQ(CheckFileInUse(path), TFileUse::kNotInUse);
}

TEST(FileLock, MissingFilesAndFoldersAreUnreadable) {
  TScratchDir dir;
  int error = 0;
  EXPECT_EQ(CheckFileInUse(dir.File("MISSING.DAT"), &error), TFileUse::kUnreadable);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(CheckFileInUse(dir.File("no/such/folder.DAT"), &error), TFileUse::kUnreadable);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(CheckFileInUse(dir.Path(), &error), TFileUse::kUnreadable);
  EXPECT_EQ(error, EISDIR);
}

}  // namespace
}  // namespace zorellz
