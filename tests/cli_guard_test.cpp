// The zorellz tool as a user meets it: what it refuses to write, the inputs
// it names as left out, and what an interrupt leaves behind.  Runs the built
// program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/WorkFiles.h"
#include "tests/TestSupport.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;

struct TRun {
  int Status = -1;
  std::string Err;
};

class CliGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tree_);
    test::WriteFileBytes((tree_ / "a.txt").string(), test::Text("alpha"));
    test::WriteFileBytes((tree_ / "b.dat").string(), test::Text("beta"));
  }

  // Runs the tool with `arguments` (already quoted for the shell).
  TRun Run(const std::string& arguments) const {
    const std::string err = scratch_.File("stderr.txt");
    const std::string command =
        std::string(ZORELLZ_TOOL) + " " + arguments + " </dev/null >/dev/null 2>'" + err + "'";
    TRun run;
    const int status = std::system(command.c_str());
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err);
    std::stringstream text;
    text << in.rdbuf();
    run.Err = text.str();
    fs::remove(err);
    return run;
  }
  static std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

  test::TScratchDir scratch_;
  const fs::path tree_ = scratch_.Path() / "tree";
  const fs::path archive_ = scratch_.Path() / "x.lza";
};

TEST_F(CliGuard, NoMatchReplacesNothingAndSaysSo) {
  const TRun fresh = Run("create " + Quoted(archive_) + " " + Quoted(tree_ / "*.none"));
  EXPECT_EQ(fresh.Status, 1);
  EXPECT_NE(fresh.Err.find("no file matches"), std::string::npos) << fresh.Err;
  EXPECT_FALSE(fs::exists(archive_));

  test::WriteFileBytes(archive_.string(), test::Text("older"));
  EXPECT_EQ(Run("create " + Quoted(archive_) + " " + Quoted(tree_ / "*.none")).Status, 1);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(archive_.string()), test::Text("older")));
  EXPECT_EQ(Run("create " + Quoted(scratch_.Path() / "typo" / "x.lza") + " " + Quoted(tree_ / "*"))
                .Status,
            1);
  EXPECT_FALSE(fs::exists(scratch_.Path() / "typo"));
}

TEST_F(CliGuard, BareFolderAndTrailingSeparatorTakeTheFolder) {
  for (const std::string& spec : {tree_.string(), tree_.string() + "/"}) {
    SCOPED_TRACE(spec);
    fs::remove(archive_);
    EXPECT_EQ(Run("create " + Quoted(archive_) + " '" + spec + "'").Status, 0);
    EXPECT_EQ(Run("test " + Quoted(archive_)).Status, 0);
  }
}

TEST_F(CliGuard, NamesTheRuleRefusesAreLeftOutAndNamed) {
  test::WriteFileBytes((tree_ / "Dpkg::Vendor.3perl.gz").string(), test::Text("man"));
  const TRun run = Run("create " + Quoted(archive_) + " " + Quoted(tree_ / "*"));
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Err.find("Dpkg::Vendor.3perl.gz"), std::string::npos) << run.Err;
  // Named on one line, whatever the name holds.
  test::WriteFileBytes((tree_ / "new\nline\t.txt").string(), test::Text("x"));
  EXPECT_NE(Run("create " + Quoted(archive_) + " " + Quoted(tree_ / "*"))
                .Err.find("new?line?.txt: left out"),
            std::string::npos);
  EXPECT_EQ(Run("list " + Quoted(archive_)).Status, 0);
  EXPECT_EQ(Run("test " + Quoted(archive_)).Status, 0);
  const fs::path out = scratch_.Path() / "out";
  EXPECT_EQ(Run("extract " + Quoted(archive_) + " " + Quoted(out)).Status, 0);
  EXPECT_TRUE(fs::exists(out / "a.txt"));
}

// Runs the tool with `arguments`, sends it `signal_number` as soon as a
// work file of its own appears in `folder`, and returns its wait status
// (-1 when it never started work there).
int SignalWhenWorking(const std::vector<std::string>& arguments, const fs::path& folder,
                      int signal_number) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(ZORELLZ_TOOL)};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(ZORELLZ_TOOL, argv.data());
    _exit(127);
  }
  bool working = false;
  for (int i = 0; i < 2000 && !working; ++i) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (WorkFileOwner(entry.path().filename().string()) == child) working = true;
    }
    if (!working) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(child, signal_number);
  int status = 0;
  waitpid(child, &status, 0);
  return working ? status : -1;
}

// The older archive stays byte for byte; no work file remains anywhere.
TEST_F(CliGuard, SigintDuringCreateRemovesTheWorkFile) {
  test::WriteFileBytes((tree_ / "big.bin").string(), test::RandomBytes(24 << 20, 9));
  test::WriteFileBytes(archive_.string(), test::Text("older"));
  const int status = SignalWhenWorking(
      {"create", archive_.string(), (tree_ / "*").string(), "--quiet"}, scratch_.Path(), SIGINT);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_EQ(scratch_.Names(), (std::vector<std::string>{"tree", "x.lza"}));
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(archive_.string()), test::Text("older")));
}

// The older file stays byte for byte; no work file remains in the target.
TEST_F(CliGuard, SigtermDuringExtractRemovesTheWorkFile) {
  // Four letters at random: some time to decode.
  TBytes letters = test::RandomBytes(16 << 20, 5);
  for (std::uint8_t& byte : letters) byte = static_cast<std::uint8_t>('a' + (byte & 3));
  test::WriteFileBytes((tree_ / "big.bin").string(), letters);
  ASSERT_EQ(
      Run("create " + Quoted(archive_) + " " + Quoted(tree_ / "big.bin") + " --level fast").Status,
      0);
  const fs::path out = scratch_.Path() / "out";
  fs::create_directories(out);
  test::WriteFileBytes((out / "big.bin").string(), test::Text("older"));
  const int status = SignalWhenWorking({"extract", archive_.string(), out.string(), "--overwrite",
                                        "always", "--jobs", "1", "--quiet"},
                                       out, SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(out)) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"big.bin"});
  EXPECT_TRUE(
      test::SameBytes(test::ReadFileBytes((out / "big.bin").string()), test::Text("older")));
}

}  // namespace
}  // namespace zorellz
