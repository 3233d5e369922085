// Interrupted commands leave no work file behind, and a later run reclaims
// the work files of a process that died without a chance to clean up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/System.h"
#include "platform/WorkFiles.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;

int ready_pipe = -1;

// Tells the parent that data are being written, then waits for its signal.
std::int32_t SignalReadyThenWait(TLZReportRec&, std::int32_t code) {
  if (code > 0 && ready_pipe >= 0) {
    const char ready = 'r';
    (void)!write(ready_pipe, &ready, 1);
    close(ready_pipe);
    ready_pipe = -1;
    for (;;) pause();
  }
  return 1;
}

// Runs `operation` in a child that removes its work files on interrupts,
// sends it `signal_number` once it writes data, and returns its wait status.
int InterruptChild(const std::function<void()>& operation, int signal_number) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    ready_pipe = fds[1];
    RemoveWorkFilesOnInterrupt();
    operation();
    _exit(0);
  }
  close(fds[1]);
  char ready = 0;
  const bool started = read(fds[0], &ready, 1) == 1;
  close(fds[0]);
  if (started) kill(child, signal_number);
  int status = 0;
  waitpid(child, &status, 0);
  return started ? status : -1;
}

class Interrupt : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(input_);
    fs::create_directories(target_);
    fs::create_directories(temp_);
    const char* temp = getenv("TEMP");
    if (temp != nullptr) saved_temp_ = temp;
    setenv("TEMP", temp_.c_str(), 1);  // only this test's work files there
    for (int i = 0; i < 4; ++i) {
      test::WriteFileBytes((input_ / ("f" + std::to_string(i))).string(),
                           test::RandomBytes(300000, i + 1));
    }
  }

  void TearDown() override {
    if (saved_temp_.empty()) {
      unsetenv("TEMP");
    } else {
      setenv("TEMP", saved_temp_.c_str(), 1);
    }
  }

  // Every file under the scratch folder and the temporary folder that a
  // work file name would have.
  std::vector<fs::path> WorkFilesLeft() const {
    std::vector<fs::path> left;
    for (const fs::path& folder : {scratch_.Path(), target_, fs::path(TempDirectory())}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (WorkFileOwner(entry.path().filename().string()) > 0) left.push_back(entry.path());
      }
    }
    return left;
  }

  test::TScratchDir scratch_;
  const fs::path input_ = scratch_.Path() / "in";
  const fs::path target_ = scratch_.Path() / "out";
  const fs::path temp_ = scratch_.Path() / "temp";
  const std::string archive_ = scratch_.File("old.lza");
  std::string saved_temp_;
};

TEST_F(Interrupt, CreateRemovesItsWorkFileAndKeepsTheOlderArchive) {
  const TBytes older = test::Text("an older archive");
  test::WriteFileBytes(archive_, older);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    const int status = InterruptChild(
        [this] {
          LZCreateArchive((input_ / "*").string(), archive_, LZNoRecurse, LZMaxCompression,
                          SignalReadyThenWait);
        },
        signal_number);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
    EXPECT_TRUE(WorkFilesLeft().empty());
    EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(archive_), older));
  }
}

TEST_F(Interrupt, ExtractRemovesItsWorkFileAndKeepsTheOlderFile) {
  ASSERT_EQ(
      LZCreateArchive((input_ / "*").string(), archive_, LZNoRecurse, LZMaxCompression, nullptr),
      4);
  const TBytes older = test::Text("older f0");
  for (int i = 0; i < 4; ++i) {
    test::WriteFileBytes((target_ / ("f" + std::to_string(i))).string(), older);
  }
  const int status = InterruptChild(
      [this] {
        LZDecompressArchive(archive_, target_.string(), nullptr, SignalReadyThenWait, nullptr,
                            false, false);
      },
      SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_TRUE(WorkFilesLeft().empty());
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes((target_ / "f0").string()), older));
}

// A work file of a process that is gone and that has not changed for long
// is reclaimed; a fresh one, one of a live process and any other file stay.
TEST_F(Interrupt, StaleWorkFilesOfDeadProcessesAreReclaimed) {
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const std::string dead_id = std::to_string(dead);
  const std::string live_id = std::to_string(getppid());
  const fs::path stale = scratch_.Path() / (".ZRL~" + dead_id + "~old.lza.abcdef");
  const fs::path fresh = scratch_.Path() / (".ZRL~" + dead_id + "~new.lza.abcdef");
  const fs::path live = scratch_.Path() / (".ZRL~" + live_id + "~run.lza.abcdef");
  const fs::path other = scratch_.Path() / ".old.lza.abcdef";
  for (const fs::path& path : {stale, fresh, live, other}) {
    test::WriteFileBytes(path.string(), test::Text("x"));
  }
  const std::time_t long_ago = std::time(nullptr) - 3600;
  const utimbuf times{long_ago, long_ago};
  for (const fs::path& path : {stale, live, other}) utime(path.c_str(), &times);

  EXPECT_EQ(
      LZCreateArchive((input_ / "*").string(), archive_, LZNoRecurse, LZFastCompression, nullptr),
      4);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::exists(other));
}

TEST(WorkFileNames, CarryTheirOwnerAndNothingElseLooksLikeThem) {
  const std::string prefix = WorkFilePrefix("DATA.LZA", true);
  EXPECT_EQ(WorkFileOwner(prefix + "Ab12Cd"), getpid());
  EXPECT_EQ(WorkFileOwner(WorkFilePrefix("", false) + "Ab12Cd"), getpid());
  EXPECT_EQ(WorkFilePrefix(std::string(300, 'n'), true).size(),
            WorkFilePrefix(std::string(100, 'n'), true).size());
  for (const char* other :
       {".DATA.LZA.Ab12Cd", "ZRLAb12Cd", "ZRL~~x", "ZRL~12a~x", "ZRL~0~x", "ZRL~12345678901~x"}) {
    EXPECT_EQ(WorkFileOwner(other), -1) << other;
  }
}

}  // namespace
}  // namespace zorellz
