// The updater as an administrator runs it, each test against a sandbox
// host: a run killed or interrupted while it puts files in place, the next
// start that completes or takes back such a run, and the lock that keeps a
// second updater off the data folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/FolderLock.h"
#include "tests/app/HostSandbox.h"

namespace tessaline::test {
namespace {

using TMessages = std::vector<std::string>;

constexpr int kManyFiles = 1200;

// Entries of the data folder that belong to the updater's work.
bool HasWorkFiles(const fs::path& data) {
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().filename().string().rfind(".tessaline-", 0) == 0) return true;
  }
  return false;
}

// 4,096 bytes that the update stores as they are.
std::string Pattern(const std::string& name) {
  std::string pattern;
  while (pattern.size() < 4096) pattern += name + "#";
  return pattern.substr(0, 4096);
}

// A host whose data folder holds `files` old files, and an update that
// replaces every one, adds as many in a new sub-folder and brings a help
// page: the folders before and after a complete run are known.
class TRecoveryHost : public THost {
 public:
  explicit TRecoveryHost(int files) {
    WriteSettings();
    for (int i = 0; i < files; ++i) {
      const std::string name = "F" + std::to_string(i) + ".DAT";
      AddToData(name, "old " + std::to_string(i));
      AddToUpdate(name, "new " + std::to_string(i));
      AddToUpdate("added/N" + std::to_string(i) + ".TXT", "added " + std::to_string(i));
    }
    AddToUpdate("guide.HTML", "<p>new guide</p>");
    AddToHelp("guide.HTML", "<p>old guide</p>");
    EXPECT_TRUE(BuildUpdateOfPayload());
    DataBefore = FolderContents(Data());
    HelpBefore = FolderContents(Help());
    DataAfter = FolderContents(Payload());
    DataAfter.erase("guide.HTML");
    HelpAfter = {{"guide.HTML", "<p>new guide</p>"}};
  }

  // An update that cannot be extracted: a damaged stored entry.
  fs::path DamagedUpdate() const {
    const fs::path folder = Root() / "damaged-payload";
    const fs::path update = Root() / "damaged";
    WriteTextFile(folder / "X.TXT", Pattern("X.TXT"));
    QProcess tool;
    tool.start(QStringLiteral(ZORELLZ_TOOL),
               {QStringLiteral("create"), QStringLiteral("--stub"),
                QStringLiteral(TESSALINE_UPDATE_PROGRAM), QString::fromStdString(update.string()),
                QString::fromStdString((folder / "*").string()), QStringLiteral("--level"),
                QStringLiteral("store"), QStringLiteral("--quiet")});
    EXPECT_TRUE(tool.waitForFinished(60000) && tool.exitCode() == 0);
    std::string bytes = ReadTextFile(update);
    const std::size_t at = bytes.find(Pattern("X.TXT"), fs::file_size(TESSALINE_UPDATE_PROGRAM));
    EXPECT_NE(at, std::string::npos);
    bytes[at + 100] = static_cast<char>(bytes[at + 100] ^ 0x5A);
    WriteTextFile(update, bytes);
    return update;
  }

  // Puts the data and help folders back as they were before any run.
  void RestoreBefore() const {
    for (const fs::path& folder : {Data(), Help()}) {
      fs::remove_all(folder);
      fs::create_directories(folder);
    }
    for (const auto& [name, text] : DataBefore) {
      if (!name.ends_with("/")) AddToData(name, text);
    }
    for (const auto& [name, text] : HelpBefore) AddToHelp(name, text);
  }

  bool IsBefore() const {
    return FolderContents(Data()) == DataBefore && FolderContents(Help()) == HelpBefore;
  }
  bool IsAfter() const {
    return FolderContents(Data()) == DataAfter && FolderContents(Help()) == HelpAfter;
  }

  TFiles DataBefore, HelpBefore, DataAfter, HelpAfter;
};

TRunOptions WithEnvironment(const std::string& entry) {
  TRunOptions options;
  options.Environment = {entry};
  return options;
}

// Killed at each point of the commit, the run is completed by the next
// start, even of an update that is then refused; the good update then runs
// again to the same result.
TEST(UpdateRecovery, RunKilledAtEachCheckpointIsCompletedByTheNextStart) {
  constexpr int kFiles = 20;
  for (const std::string point : {"journal", "move:1", "move:21", "move:41"}) {
    SCOPED_TRACE(point);
    TRecoveryHost host(kFiles);
    const TUpdateRun killed = host.Run(WithEnvironment("TESSALINE_TEST_DIE_AT=" + point));
    ASSERT_TRUE(killed.Finished) << Describe(killed);
    ASSERT_EQ(killed.ExitCode, 137) << Describe(killed);
    EXPECT_TRUE(HasWorkFiles(host.Data()));

    const TUpdateRun refused = RunUpdate(host.DamagedUpdate(), host.Config());
    ASSERT_EQ(refused.Messages.size(), 2u) << Describe(refused);
    EXPECT_EQ(refused.Messages[0], "Information: An interrupted update of " + host.Data().string() +
                                       " has been completed.");
    EXPECT_TRUE(StartsWith(refused.Messages[1], kNotCompleted)) << Describe(refused);
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(host.IsAfter());
    EXPECT_FALSE(HasWorkFiles(host.Data()));

    const TUpdateRun again = host.Run();
    EXPECT_EQ(again.Messages, TMessages{kCompleted}) << Describe(again);
    EXPECT_TRUE(host.IsAfter());
  }
}

// A termination request in the middle of the moves takes every move back.
TEST(UpdateRecovery, TerminationRequestDuringTheMovesLeavesTheFoldersAsBefore) {
  TRecoveryHost host(20);
  const TUpdateRun run = host.Run(WithEnvironment("TESSALINE_TEST_SIGNAL_AT=move:15"));
  ASSERT_TRUE(run.Finished) << Describe(run);
  EXPECT_EQ(run.ExitCode, 1) << Describe(run);
  ASSERT_EQ(run.ErrorMessages.size(), 1u) << Describe(run);
  EXPECT_NE(run.ErrorMessages[0].find("interrupted by SIGTERM"), std::string::npos)
      << Describe(run);
  EXPECT_TRUE(host.IsBefore());
  EXPECT_FALSE(HasWorkFiles(host.Data()));
}

// Starts the update of `host` as an unattended process; false if it did not
// start.
bool StartUnattended(QProcess& process, const TRecoveryHost& host) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_CONFIG_DIRS"),
                     QString::fromStdString(host.Config().string()));
  environment.insert(QStringLiteral("TESSALINE_UNATTENDED"), QStringLiteral("1"));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process.setProcessEnvironment(environment);
  process.start(QString::fromStdString(host.Update().string()), {});
  return process.waitForStarted(10000);
}

// Starts the update of `host` and sends `signal_number` at a random moment
// after its journal has appeared, while the files are put in place.
TUpdateRun RunAndSignalDuringMoves(const TRecoveryHost& host, int signal_number, unsigned seed) {
  QProcess process;
  EXPECT_TRUE(StartUnattended(process, host));
  const fs::path journal = host.Data() / ".tessaline-journal";
  QElapsedTimer clock;
  clock.start();
  while (!fs::exists(journal) && process.state() == QProcess::Running && clock.elapsed() < 60000) {
    QThread::usleep(200);
  }
  std::mt19937 random(seed);
  QThread::usleep(std::uniform_int_distribution<unsigned>(0, 30000)(random));
  kill(static_cast<pid_t>(process.processId()), signal_number);
  TUpdateRun run;
  run.Finished = process.waitForFinished(60000);
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.StdErr = process.readAllStandardError().toStdString();
  return run;
}

// Killed at any moment while more than a thousand files are put in place,
// the next start leaves the folders exactly as before or as after.
TEST(UpdateRecovery, RunKilledAtRandomMomentsIsNeverLeftHalfDone) {
  TRecoveryHost host(kManyFiles);
  const fs::path damaged = host.DamagedUpdate();
  for (unsigned round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    host.RestoreBefore();
    const TUpdateRun killed = RunAndSignalDuringMoves(host, SIGKILL, round);
    ASSERT_TRUE(killed.Finished);
    EXPECT_TRUE(HasWorkFiles(host.Data())) << "killed after the run had ended";

    const TUpdateRun refused = RunUpdate(damaged, host.Config());
    EXPECT_EQ(refused.ExitCode, 1) << Describe(refused);
    EXPECT_TRUE(host.IsBefore() || host.IsAfter());
    EXPECT_FALSE(HasWorkFiles(host.Data()));

    const TUpdateRun again = host.Run();
    EXPECT_EQ(again.Messages, TMessages{kCompleted}) << Describe(again);
    EXPECT_TRUE(host.IsAfter());
  }
}

// SIGTERM in the middle of the moves: everything is taken back at once.
TEST(UpdateRecovery, SigtermDuringTheMovesLeavesTheFoldersAsBefore) {
  TRecoveryHost host(kManyFiles);
  const TUpdateRun run = RunAndSignalDuringMoves(host, SIGTERM, 7);
  ASSERT_TRUE(run.Finished);
  if (run.ExitCode == 0) GTEST_SKIP() << "the run ended before the signal arrived";
  EXPECT_EQ(run.ExitCode, 1) << run.StdErr;
  EXPECT_NE(run.StdErr.find("SIGTERM"), std::string::npos) << run.StdErr;
  EXPECT_TRUE(host.IsBefore());
  EXPECT_FALSE(HasWorkFiles(host.Data()));
}

// Ctrl-C while the update is still being extracted: the staging folder is
// removed and nothing else has changed.
TEST(UpdateRecovery, InterruptDuringExtractionLeavesTheFoldersAsBefore) {
  TRecoveryHost host(300);
  QProcess process;
  ASSERT_TRUE(StartUnattended(process, host));
  QElapsedTimer clock;
  clock.start();
  while (!HasWorkFiles(host.Data()) && process.state() == QProcess::Running &&
         clock.elapsed() < 60000) {
    QThread::usleep(200);
  }
  kill(static_cast<pid_t>(process.processId()), SIGINT);
  ASSERT_TRUE(process.waitForFinished(60000));
  if (process.exitCode() == 0) GTEST_SKIP() << "the run ended before the signal arrived";
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 1);
  const std::string errors = process.readAllStandardError().toStdString();
  EXPECT_NE(errors.find("SIGINT"), std::string::npos) << errors;
  EXPECT_TRUE(host.IsBefore());
  EXPECT_FALSE(HasWorkFiles(host.Data()));
}

// Work folders that a run killed before its journal left are removed; a
// folder that only looks alike, or a link, is not.
TEST(UpdateRecovery, StaleWorkFoldersWithoutJournalAreRemoved) {
  TRecoveryHost host(2);
  WriteTextFile(host.Data() / ".tessaline-update-abc123" / "F0.DAT", "half extracted");
  WriteTextFile(host.Data() / ".tessaline-replaced-abc123" / "x", "");
  WriteTextFile(host.Data() / ".tessaline-notes" / "keep", "host's own");
  fs::create_directory_symlink(host.Help(), host.Data() / ".tessaline-update-link");
  const TUpdateRun run = host.Run();
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_FALSE(fs::exists(host.Data() / ".tessaline-update-abc123"));
  EXPECT_FALSE(fs::exists(host.Data() / ".tessaline-replaced-abc123"));
  EXPECT_EQ(ReadTextFile(host.Data() / ".tessaline-notes" / "keep"), "host's own");
  EXPECT_TRUE(fs::is_symlink(host.Data() / ".tessaline-update-link"));
}

TEST(UpdateLock, SecondUpdaterOnTheSameFolderChangesNothing) {
  TRecoveryHost host(3);
  zorellz::TFolderLock running;
  ASSERT_EQ(running.Acquire(host.Data(), ".tessaline-update.lock"),
            zorellz::TFolderLock::TResult::kLocked);
  const TFiles held = FolderContents(host.Data());

  const TUpdateRun second = host.Run();

  EXPECT_EQ(second.ErrorMessages,
            TMessages{"Error: Another update is running on " + host.Data().string() + "."})
      << Describe(second);
  EXPECT_EQ(second.ExitCode, 1);
  EXPECT_EQ(FolderContents(host.Data()), held);
  running.Release();
  EXPECT_TRUE(host.IsBefore());
  const TUpdateRun after_release = host.Run();
  EXPECT_EQ(after_release.Messages, TMessages{kCompleted}) << Describe(after_release);
}

}  // namespace
}  // namespace tessaline::test
