#include "platform/FileInUse.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace zorellz {
namespace {

using test::TScratchDir;
using test::WriteFileBytes;

// How a child process holds the file.
enum class THold { kRead, kWrite, kMapOnly, kWriteLease };

// A child process that holds a file until the object ends.  The child only
// makes system calls between fork and its end, so nothing of the test's own
// state runs twice.
class THolder {
 public:
  THolder(const std::string& path, THold how) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      signal(SIGIO, SIG_IGN);  // the break of a lease this child holds
      const char ok = Hold(path, how) ? 1 : 0;
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char ok = 0;
    held_ = pid_ > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
  }
  ~THolder() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  THolder(const THolder&) = delete;
  THolder& operator=(const THolder&) = delete;

  bool Held() const { return held_; }

 private:
  static bool Hold(const std::string& path, THold how) {
    const int fd = open(path.c_str(), how == THold::kWrite ? O_WRONLY : O_RDONLY);
    if (fd < 0) return false;
    switch (how) {
      case THold::kRead:
      case THold::kWrite:
        return true;
      case THold::kMapOnly:
        return mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0) != MAP_FAILED && close(fd) == 0;
      case THold::kWriteLease:
        return fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    }
    return false;
  }

  pid_t pid_ = -1;
  bool held_ = false;
};

// Runs each case once with the lease and once with the scan of the
// processes' open files.
class FileInUse : public ::testing::TestWithParam<bool> {
 protected:
  FileInUse() : previous_(SetFileLeaseProbeForTesting(GetParam())) {
    WriteFileBytes(path_, test::Text("database"));
  }
  ~FileInUse() override { SetFileLeaseProbeForTesting(previous_); }

  TScratchDir scratch_;
  const std::string path_ = scratch_.File("CUSTOMER.DAT");

 private:
  bool previous_;
};

INSTANTIATE_TEST_SUITE_P(Probe, FileInUse, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Lease" : "ProcessScan"; });

TEST_P(FileInUse, FileNobodyHoldsIsFree) {
  int error = -1;
  EXPECT_EQ(CheckFileInUse(path_, &error), TFileUse::kNotInUse);
  EXPECT_EQ(error, 0);
  // The check itself leaves nothing behind that would answer the next one.
  EXPECT_EQ(CheckFileInUse(path_), TFileUse::kNotInUse);
}

TEST_P(FileInUse, FileHeldByAnotherProcessIsInUse) {
  for (THold how : {THold::kRead, THold::kWrite}) {
    THolder holder(path_, how);
    ASSERT_TRUE(holder.Held());
    int error = -1;
    EXPECT_EQ(CheckFileInUse(path_, &error), TFileUse::kInUse) << static_cast<int>(how);
    EXPECT_EQ(error, 0);
  }
  EXPECT_EQ(CheckFileInUse(path_), TFileUse::kNotInUse);
}

TEST_P(FileInUse, FileMappedWithoutDescriptorIsInUse) {
  THolder holder(path_, THold::kMapOnly);
  ASSERT_TRUE(holder.Held());
  EXPECT_EQ(CheckFileInUse(path_), TFileUse::kInUse);
}

TEST_P(FileInUse, FileUnderAnotherLeaseIsInUseWithoutWaiting) {
  THolder holder(path_, THold::kWriteLease);
  ASSERT_TRUE(holder.Held());
  // Waiting for the holder to give the lease up would take the system's
  // lease break time, 45 seconds by default.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckFileInUse(path_), TFileUse::kInUse);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_P(FileInUse, OwnDescriptorCountsAsInUse) {
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(CheckFileInUse(path_), TFileUse::kInUse);
  close(fd);
  EXPECT_EQ(CheckFileInUse(path_), TFileUse::kNotInUse);
}

TEST_P(FileInUse, MissingFileIsUnreadable) {
  int error = 0;
  EXPECT_EQ(CheckFileInUse(scratch_.File("ORDERS.DAT"), &error), TFileUse::kUnreadable);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(CheckFileInUse(scratch_.File("ORDERS.DAT")), TFileUse::kUnreadable);
}

TEST_P(FileInUse, FolderIsUnreadable) {
  int error = 0;
  EXPECT_EQ(CheckFileInUse(scratch_.Path(), &error), TFileUse::kUnreadable);
  EXPECT_EQ(error, EISDIR);
}

TEST_P(FileInUse, FifoIsUnreadableWithoutWaitingForWriter) {
  const std::string fifo = scratch_.File("fifo.DAT");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int error = 0;
  EXPECT_EQ(CheckFileInUse(fifo, &error), TFileUse::kUnreadable);
  EXPECT_EQ(error, EINVAL);
}

TEST_P(FileInUse, FileWithoutReadPermissionIsUnreadable) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
  ASSERT_EQ(chmod(path_.c_str(), 0200), 0);
  int error = 0;
  EXPECT_EQ(CheckFileInUse(path_, &error), TFileUse::kUnreadable);
  EXPECT_EQ(error, EACCES);
}

// The probe closes what it opens: a leaked descriptor would make every later
// check of the same file answer "in use".
TEST_P(FileInUse, ChecksLeaveNoDescriptorOpen) {
  const auto count_descriptors = [] {
    int count = 0;
    if (DIR* fds = opendir("/proc/self/fd")) {
      while (readdir(fds) != nullptr) ++count;
      closedir(fds);
    }
    return count;
  };
  const int before = count_descriptors();
  CheckFileInUse(path_);
  CheckFileInUse(scratch_.Path());
  CheckFileInUse(scratch_.File("missing"));
  EXPECT_EQ(count_descriptors(), before);
}

// Another process that opens the file in the instant the probe holds its
// lease breaks that lease; the notice of the break must not end this
// process (SIGIO's default action would).
TEST(FileInUseLease, SurvivesOpensDuringProbe) {
  TScratchDir scratch;
  const std::string path = scratch.File("ORDERS.IDX");
  WriteFileBytes(path, test::Text("index"));
  const pid_t opener = fork();
  ASSERT_GE(opener, 0);
  if (opener == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (;;) {
      const int fd = open(path.c_str(), O_RDONLY);
      if (fd >= 0) close(fd);
    }
  }
  int answers = 0;
  for (int i = 0; i < 20000; ++i) {
    if (CheckFileInUse(path) != TFileUse::kUnreadable) ++answers;
  }
  kill(opener, SIGKILL);
  waitpid(opener, nullptr, 0);
  EXPECT_EQ(answers, 20000);
}

// One checker answers for many files as the single check does, held files
// and mapped ones included, whichever way it looks.
TEST_P(FileInUse, CheckerOfManyFilesAnswersAsTheSingleCheck) {
  const std::string mapped = scratch_.File("ORDERS.IDX");
  const std::string free_file = scratch_.File("FREE.DAT");
  WriteFileBytes(mapped, test::Text("index"));
  WriteFileBytes(free_file, test::Text("free"));
  THolder held(path_, THold::kWrite);
  THolder map_only(mapped, THold::kMapOnly);
  ASSERT_TRUE(held.Held() && map_only.Held());
  TFileUseChecker checker;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(checker.Check(path_), TFileUse::kInUse);
    EXPECT_EQ(checker.Check(mapped), TFileUse::kInUse);
    EXPECT_EQ(checker.Check(free_file), TFileUse::kNotInUse);
    int error = 0;
    EXPECT_EQ(checker.Check(scratch_.File("MISSING.DAT"), &error), TFileUse::kUnreadable);
    EXPECT_EQ(error, ENOENT);
  }
}

// A file held after its check: another process that opens it meanwhile is
// noticed (and waits until the hold ends), and the hold follows the file
// through a rename.
TEST(FileUseHold, OpenByAnotherProcessDuringTheHoldIsNoticed) {
  TScratchDir scratch;
  const std::string path = scratch.File("CUSTOMER.DAT");
  WriteFileBytes(path, test::Text("database"));
  TFileUseChecker checker;
  ASSERT_EQ(checker.CheckAndHold(path), TFileUse::kNotInUse);
  ASSERT_EQ(rename(path.c_str(), scratch.File("ASIDE.DAT").c_str()), 0);
  EXPECT_FALSE(checker.HeldFileOpened());
  const pid_t opener = fork();
  if (opener == 0) {
    const int fd = open(scratch.File("ASIDE.DAT").c_str(), O_RDONLY);
    _exit(fd >= 0 ? 0 : 1);
  }
  ASSERT_GT(opener, 0);
  bool noticed = false;
  for (int wait = 0; wait < 200 && !noticed; ++wait) {
    usleep(10000);
    noticed = checker.HeldFileOpened();
  }
  checker.Release();
  int status = 0;
  waitpid(opener, &status, 0);
  EXPECT_TRUE(noticed);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(checker.HeldFileOpened());
}

}  // namespace
}  // namespace zorellz
