// The platform services the updater relies on: the folder lock, the owner
// and permissions carried over to a replacing file, and termination
// requests that are noted rather than obeyed.
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "gtest/gtest.h"
#include "platform/FolderLock.h"
#include "platform/Ownership.h"
#include "platform/Termination.h"
#include "tests/TestSupport.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TScratchDir;
using test::WriteFileBytes;

constexpr char kLockName[] = ".update.lock";

TEST(FolderLock, OneHolderAtATimeAndNothingLeftBehind) {
  TScratchDir folder;
  TFolderLock first;
  TFolderLock second;
  ASSERT_EQ(first.Acquire(folder.Path(), kLockName), TFolderLock::TResult::kLocked);
  EXPECT_EQ(second.Acquire(folder.Path(), kLockName), TFolderLock::TResult::kHeldElsewhere);
  EXPECT_FALSE(second.Held());
  EXPECT_TRUE(TFolderLock::HeldElsewhere(folder.Path(), kLockName));
  first.Release();
  EXPECT_FALSE(fs::exists(folder.Path() / kLockName));
  EXPECT_FALSE(TFolderLock::HeldElsewhere(folder.Path(), kLockName));
  EXPECT_FALSE(fs::exists(folder.Path() / kLockName));
  EXPECT_EQ(second.Acquire(folder.Path(), kLockName), TFolderLock::TResult::kLocked);
  {
    TFolderLock third;
    EXPECT_EQ(third.Acquire(folder.Path(), kLockName), TFolderLock::TResult::kHeldElsewhere);
  }
  EXPECT_TRUE(second.Held());
}

// The lock belongs to the holder's process: another process sees it taken
// until the holder ends, however it ends.
TEST(FolderLock, HeldAgainstOtherProcessesAndFreedWhenTheHolderDies) {
  TScratchDir folder;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    TFolderLock lock;
    const char ok = lock.Acquire(folder.Path(), kLockName) == TFolderLock::TResult::kLocked;
    if (write(ready[1], &ok, 1) != 1) _exit(1);
    for (;;) pause();
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 1);
  TFolderLock mine;
  EXPECT_EQ(mine.Acquire(folder.Path(), kLockName), TFolderLock::TResult::kHeldElsewhere);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_EQ(mine.Acquire(folder.Path(), kLockName), TFolderLock::TResult::kLocked);
  close(ready[0]);
  close(ready[1]);
}

TEST(FolderLock, MissingFolderFailsWithItsCause) {
  TScratchDir folder;
  TFolderLock lock;
  int error = 0;
  EXPECT_EQ(lock.Acquire(folder.Path() / "missing", kLockName, &error),
            TFolderLock::TResult::kFailed);
  EXPECT_EQ(error, ENOENT);
}

struct stat StatOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

// As root: the replacing file takes over owner, group, mode (set-group bit
// included) and extended attributes, and loses attributes the old file
// did not have.
TEST(Ownership, ReplacingFileTakesOverWhatTheOldOneHad) {
  if (geteuid() != 0) GTEST_SKIP() << "giving files to another user needs root";
  TScratchDir folder;
  const fs::path old_file = folder.Path() / "OLD.DAT";
  const fs::path new_file = folder.Path() / "NEW.DAT";
  WriteFileBytes(old_file.string(), test::Text("old"));
  WriteFileBytes(new_file.string(), test::Text("new"));
  ASSERT_EQ(chown(old_file.c_str(), 1234, 2345), 0);
  ASSERT_EQ(chmod(old_file.c_str(), 02640), 0);
  const bool attributes = setxattr(old_file.c_str(), "user.origin", "host", 4, 0) == 0 &&
                          setxattr(new_file.c_str(), "user.stray", "x", 1, 0) == 0;

  EXPECT_EQ(TakeOwnershipFrom(old_file, new_file), "");

  const struct stat st = StatOf(new_file);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 2345u);
  EXPECT_EQ(st.st_mode & 07777, 02640u);
  if (attributes) {
    char value[8] = {};
    EXPECT_EQ(getxattr(new_file.c_str(), "user.origin", value, sizeof value), 4);
    EXPECT_EQ(std::string(value), "host");
    EXPECT_EQ(getxattr(new_file.c_str(), "user.stray", value, sizeof value), -1);
  }
}

// With nothing to replace (or a link, which is replaced itself), the file
// is made as a new file there would be: the folder's group when the folder
// passes it on, and read-write for all less the creation mask.
TEST(Ownership, NewFileTakesTheFoldersGroupAndTheCreationMask) {
  TScratchDir folder;
  const fs::path shared = folder.Path() / "shared";
  fs::create_directory(shared);
  const gid_t group = geteuid() == 0 ? 3456 : getegid();
  ASSERT_EQ(chown(shared.c_str(), static_cast<uid_t>(-1), group), 0);
  ASSERT_EQ(chmod(shared.c_str(), 02775), 0);
  const fs::path staged = folder.Path() / "staged";
  WriteFileBytes(staged.string(), test::Text("new"));
  ASSERT_EQ(chmod(staged.c_str(), 0600), 0);
  fs::create_symlink(staged, shared / "LINK.DAT");
  const mode_t mask = umask(027);

  EXPECT_EQ(TakeOwnershipFrom(shared / "NEW.DAT", staged), "");
  EXPECT_EQ(StatOf(staged).st_gid, group);
  EXPECT_EQ(StatOf(staged).st_mode & 07777, 0640u);
  ASSERT_EQ(chmod(staged.c_str(), 0600), 0);
  EXPECT_EQ(TakeOwnershipFrom(shared / "LINK.DAT", staged), "");
  EXPECT_EQ(StatOf(staged).st_mode & 07777, 0640u);
  umask(mask);
  EXPECT_NE(TakeOwnershipFrom(shared / "NEW.DAT", folder.Path() / "missing"), "");
}

TEST(Termination, RequestsAreNotedNotObeyed) {
  SetTerminationRequestForTesting(0);
  CatchTerminationRequests();
  EXPECT_EQ(PendingTerminationRequest(), 0);
  raise(SIGTERM);
  raise(SIGINT);  // the first request is the one kept
  EXPECT_EQ(PendingTerminationRequest(), SIGTERM);
  EXPECT_EQ(TerminationRequestName(SIGTERM), "SIGTERM");
  EXPECT_EQ(TerminationRequestName(SIGHUP), "SIGHUP");
  SetTerminationRequestForTesting(0);
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace zorellz
