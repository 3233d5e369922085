// The updater's command line and its runs without a display, and what it
// keeps of the files it replaces, each against a sandbox host.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FolderLock.h"
#include "tests/app/HostSandbox.h"
#include "zorellz/codec/ZrlCRC.h"

namespace tessaline::test {
namespace {

using TMessages = std::vector<std::string>;

TRunOptions Arguments(std::vector<std::string> arguments, bool unattended_environment = false) {
  TRunOptions options;
  options.Arguments = std::move(arguments);
  options.UnattendedEnvironment = unattended_environment;
  return options;
}

// A host with one database file to replace, one file to add and a page.
class TOptionsHost : public THost {
 public:
  TOptionsHost() {
    WriteSettings();
    AddToData("ITEMS.DAT", "old items");
    AddToUpdate("ITEMS.DAT", "new items");
    AddToUpdate("sub/NEW.TXT", "new text");
    AddToUpdate("guide.HTML", "<p>guide</p>");
    EXPECT_TRUE(BuildUpdateOfPayload());
  }
  TFiles Everything() const { return FolderContents(Root() / "host"); }
};

TEST(UpdateOptions, HelpAndVersionNeedNoDisplayAndChangeNothing) {
  TOptionsHost host;
  const TFiles before = host.Everything();
  const TUpdateRun help = host.Run(Arguments({"--help"}));
  EXPECT_EQ(help.ExitCode, 0) << Describe(help);
  EXPECT_NE(help.StdOut.find("Usage: update [OPTION]..."), std::string::npos) << Describe(help);
  EXPECT_NE(help.StdOut.find("--data-dir DIR"), std::string::npos);
  const TUpdateRun version = host.Run(Arguments({"--version"}));
  EXPECT_EQ(version.ExitCode, 0) << Describe(version);
  EXPECT_TRUE(StartsWith(version.StdOut, "tessaline-update ")) << Describe(version);
  EXPECT_EQ(host.Everything(), before);
}

// A wrong command line never starts an update, with a display or without.
TEST(UpdateOptions, WrongCommandLineIsAnErrorAndChangesNothing) {
  TOptionsHost host;
  const TFiles before = host.Everything();
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"--bogus"},
                                             {"-x"},
                                             {"update.lza"},
                                             {"--log"},
                                             {"--quiet=yes"},
                                             {"--list", "--check"},
                                             {"--", "extra"}}) {
    for (const bool unattended : {false, true}) {
      const TUpdateRun run = host.Run(Arguments(arguments, unattended));
      EXPECT_EQ(run.ExitCode, 2) << arguments[0] << "\n" << Describe(run);
      EXPECT_NE(run.StdErr.find("Try 'update --help'"), std::string::npos) << Describe(run);
      EXPECT_TRUE(run.Messages.empty()) << Describe(run);
    }
  }
  EXPECT_EQ(host.Everything(), before);
}

TEST(UpdateOptions, ListShowsEveryEntryWithSizeDateAndCrc) {
  TOptionsHost host;
  const TFiles before = host.Everything();
  const TUpdateRun run = host.Run(Arguments({"--list"}));
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08x", zorellz::CRC32Of("new items", 9));
  EXPECT_NE(run.StdOut.find(std::string(crc) + "  ITEMS.DAT\n"), std::string::npos)
      << Describe(run);
  EXPECT_NE(run.StdOut.find("         9  "), std::string::npos) << Describe(run);
  EXPECT_NE(run.StdOut.find("  sub/NEW.TXT\n"), std::string::npos) << Describe(run);
  EXPECT_NE(run.StdOut.find("  guide.HTML\n"), std::string::npos) << Describe(run);
  EXPECT_EQ(host.Everything(), before);
}

TEST(UpdateOptions, CheckTellsWhatWouldHappenAndTouchesNothing) {
  TOptionsHost host;
  const TFiles before = host.Everything();
  const TUpdateRun good = host.Run(Arguments({"--check"}));
  EXPECT_EQ(good.ExitCode, 0) << Describe(good);
  EXPECT_NE(good.StdOut.find("replace " + host.InData("ITEMS.DAT")), std::string::npos)
      << Describe(good);
  EXPECT_NE(good.StdOut.find("add " + host.InData("sub/NEW.TXT")), std::string::npos);
  EXPECT_NE(good.StdOut.find("move guide.HTML to " + (host.Help() / "guide.HTML").string()),
            std::string::npos);
  EXPECT_EQ(host.Everything(), before);

  // Another update running on the folder fails the check.
  {
    zorellz::TFolderLock running;
    ASSERT_EQ(running.Acquire(host.Data(), ".tessaline-update.lock"),
              zorellz::TFolderLock::TResult::kLocked);
    const TUpdateRun busy = host.Run(Arguments({"--check"}));
    EXPECT_EQ(busy.ExitCode, 1) << Describe(busy);
    EXPECT_EQ(busy.ErrorMessages,
              TMessages{"Error: Another update is running on " + host.Data().string() + "."});
  }

  // A database file in use fails the check.
  THeldOpen held(host.Data() / "ITEMS.DAT");
  ASSERT_TRUE(held.Started());
  const TUpdateRun locked = host.Run(Arguments({"--check"}));
  EXPECT_EQ(locked.ExitCode, 1) << Describe(locked);
  EXPECT_EQ(locked.ErrorMessages,
            TMessages{"Error: The Database Distribution Package could not complete. The file " +
                      host.InData("ITEMS.DAT") + " is locked."});
  EXPECT_EQ(host.Everything(), before);
}

TEST(UpdateOptions, CheckOfADamagedUpdateFailsAndTouchesNothing) {
  TOptionsHost host;
  host.AddToUpdate("BIG.TXT", std::string(5000, 'q'));
  ASSERT_TRUE(host.BuildUpdateOfPayload({QStringLiteral("--level"), QStringLiteral("store")}));
  std::string bytes = ReadTextFile(host.Update());
  const std::size_t at =
      bytes.find(std::string(5000, 'q'), fs::file_size(TESSALINE_UPDATE_PROGRAM));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 10] = 'r';
  WriteTextFile(host.Update(), bytes);
  const TFiles before = host.Everything();
  const TUpdateRun run = host.Run(Arguments({"--check"}));
  EXPECT_EQ(run.ExitCode, 1) << Describe(run);
  ASSERT_FALSE(run.ErrorMessages.empty()) << Describe(run);
  EXPECT_NE(run.ErrorMessages[0].find("BIG.TXT"), std::string::npos) << Describe(run);
  EXPECT_EQ(host.Everything(), before);
}

// Without a display and without being asked, the run is unattended: the
// messages are printed, errors on standard error.
TEST(UpdateOptions, WithoutDisplayRunsUnattendedWithErrorsOnStandardError) {
  TOptionsHost host;
  const TUpdateRun run = host.Run(Arguments({}));
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_TRUE(run.ErrorMessages.empty());

  fs::remove(host.Data() / "ITEMS.DAT");
  const TUpdateRun failed = host.Run(Arguments({"--unattended"}));
  EXPECT_EQ(failed.ExitCode, 1) << Describe(failed);
  EXPECT_EQ(failed.ErrorMessages,
            TMessages{"Error: Error occurred during file lock check: " + host.InData("ITEMS.DAT")})
      << Describe(failed);
  EXPECT_EQ(failed.Messages, failed.ErrorMessages);
}

TEST(UpdateOptions, QuietPrintsErrorsOnly) {
  TOptionsHost host;
  const TUpdateRun run = host.Run(Arguments({"--quiet"}, true));
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  EXPECT_TRUE(run.Messages.empty()) << Describe(run);
  fs::remove(host.Data() / "ITEMS.DAT");
  const TUpdateRun failed = host.Run(Arguments({"--quiet"}, true));
  EXPECT_EQ(failed.ExitCode, 1);
  EXPECT_EQ(failed.ErrorMessages.size(), 1u) << Describe(failed);
}

TEST(UpdateOptions, LogNamesEveryFileChangedAndTheResult) {
  TOptionsHost host;
  const fs::path log = host.Root() / "update.log";
  WriteTextFile(log, "an earlier line\n");
  const TUpdateRun run = host.Run(Arguments({"--log", log.string()}));
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  const std::string text = ReadTextFile(log);
  EXPECT_TRUE(StartsWith(text, "an earlier line\n"));  // appended
  for (const std::string& line : std::vector<std::string>{
           " started ", " replaced " + host.InData("ITEMS.DAT") + "\n",
           " added " + host.InData("sub/NEW.TXT") + "\n",
           " added " + host.InData("guide.HTML") + "\n",
           " moved " + host.InData("guide.HTML") + " to " + (host.Help() / "guide.HTML").string(),
           " Confirmation: The Tessaline Update has completed.\n",
           " finished with exit status 0\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  // Every line but the first carries a time in UTC.
  EXPECT_NE(text.find("\n20"), std::string::npos);
  EXPECT_NE(text.find("Z started "), std::string::npos) << text;
}

TEST(UpdateOptions, FoldersOnTheCommandLineTakeThePlaceOfTheSettings) {
  TOptionsHost host;
  const fs::path data = host.Root() / "sandbox" / "data";
  const fs::path help = host.Root() / "sandbox" / "help";
  WriteTextFile(data / "ITEMS.DAT", "sandbox items");
  fs::create_directories(help);
  const TFiles host_before = host.Everything();
  const fs::path log = host.Root() / "update.log";
  const TUpdateRun run = host.Run(Arguments(
      {"--data-dir", data.string(), "--help-dir=" + help.string(), "--log", log.string()}));
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_EQ(FolderContents(data),
            (TFiles{{"ITEMS.DAT", "new items"}, {"sub/", ""}, {"sub/NEW.TXT", "new text"}}));
  EXPECT_EQ(FolderContents(help), (TFiles{{"guide.HTML", "<p>guide</p>"}}));
  EXPECT_EQ(host.Everything(), host_before);
  const std::string text = ReadTextFile(log);
  EXPECT_NE(text.find("data folder from --data-dir: " + data.string()), std::string::npos) << text;
  EXPECT_NE(text.find("help folder from --help-dir: " + help.string()), std::string::npos) << text;
}

TEST(UpdateSettings, MissingDataFolderIsNamed) {
  TOptionsHost host;
  const fs::path missing = host.Root() / "no-such-folder";
  WriteHostSettings(host.Config(), {{"DataDirectory", missing.string()}});
  const TUpdateRun run = host.Run();
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Messages,
            TMessages{"Error: The Tessaline Data Folder " + missing.string() + " does not exist."})
      << Describe(run);
  EXPECT_FALSE(fs::exists(missing));
}

TEST(UpdateSettings, SettingsInALaterConfigFolderAreFound) {
  TOptionsHost host;
  TRunOptions options;
  options.Environment = {"XDG_CONFIG_DIRS=" + (host.Root() / "empty").string() + ":" +
                         host.Config().string()};
  const TUpdateRun run = host.Run(options);
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_EQ(ReadTextFile(host.Data() / "ITEMS.DAT"), "new items");
}

// "/path;x" unquoted reads as "/path" to Qt: an update must never land in
// the folder the cut path names.
TEST(UpdateSettings, UnquotedSemicolonNeverSendsTheUpdateToACutPath) {
  TOptionsHost host;
  WriteTextFile(host.Config() / "Orv" / "Tessaline.conf",
                "[General]\nDataDirectory=" + host.Data().string() + ";old\n");
  const TFiles before = host.Everything();
  const TUpdateRun run = host.Run();
  EXPECT_EQ(run.ExitCode, 1) << Describe(run);
  ASSERT_FALSE(run.ErrorMessages.empty()) << Describe(run);
  EXPECT_NE(run.ErrorMessages[0].find("must be written in double quotes"), std::string::npos)
      << Describe(run);
  EXPECT_EQ(host.Everything(), before);
}

// As root over a user's files: the replaced files keep their owner, group
// and mode; new files take the folder's group where it passes it on.
TEST(UpdateOwnership, ReplacedFilesKeepOwnerGroupAndMode) {
  if (geteuid() != 0) GTEST_SKIP() << "giving files to another user needs root";
  constexpr uid_t kUser = 1234;
  constexpr gid_t kGroup = 2345;
  constexpr gid_t kSharedGroup = 3456;
  TOptionsHost host;
  host.AddToData("sub/OLD.TXT", "");
  host.AddToHelp("guide.HTML", "<p>old guide</p>");
  ASSERT_EQ(chown((host.Data() / "ITEMS.DAT").c_str(), kUser, kGroup), 0);
  ASSERT_EQ(chmod((host.Data() / "ITEMS.DAT").c_str(), 0660), 0);
  ASSERT_EQ(chown((host.Help() / "guide.HTML").c_str(), kUser, kGroup), 0);
  ASSERT_EQ(chmod((host.Help() / "guide.HTML").c_str(), 0640), 0);
  ASSERT_EQ(chown((host.Data() / "sub").c_str(), kUser, kSharedGroup), 0);
  ASSERT_EQ(chmod((host.Data() / "sub").c_str(), 02775), 0);

  const TUpdateRun run = host.Run();
  ASSERT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);

  struct stat st;
  ASSERT_EQ(stat((host.Data() / "ITEMS.DAT").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kUser);
  EXPECT_EQ(st.st_gid, kGroup);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  ASSERT_EQ(stat((host.Help() / "guide.HTML").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kUser);
  EXPECT_EQ(st.st_gid, kGroup);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_EQ(stat((host.Data() / "sub" / "NEW.TXT").c_str(), &st), 0);
  EXPECT_EQ(st.st_gid, kSharedGroup);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

// Without a window there is nothing to wait for: an update of 1,500 small
// files takes at most twice as long as extracting its archive.
TEST(UpdatePerformance, UnattendedRunOfManySmallFilesKeepsPaceWithExtraction) {
#ifdef __SANITIZE_ADDRESS__
  // Unoptimised, instrumented code slows the updater's work and the tool's
  // by different factors: the proportion is the optimised build's to keep.
  GTEST_SKIP() << "timed against the tool in optimised builds only";
#endif
  THost host;
  host.WriteSettings();
  for (int i = 0; i < 1500; ++i) {
    host.AddToUpdate("F" + std::to_string(i) + ".DAT", "file " + std::to_string(i));
    host.AddToData("F" + std::to_string(i) + ".DAT", "old " + std::to_string(i));
  }
  ASSERT_TRUE(host.BuildUpdateOfPayload());
  // The faster of two runs of each, so that a moment of load on the machine
  // does not decide.
  std::int64_t extract_ms = 0;
  std::int64_t update_ms = 0;
  for (int round = 0; round < 2; ++round) {
    QProcess extract;
    QElapsedTimer clock;
    clock.start();
    extract.start(
        QStringLiteral(ZORELLZ_TOOL),
        {QStringLiteral("extract"), QString::fromStdString(host.Update().string()),
         QString::fromStdString((host.Root() / "extracted").string()), QStringLiteral("--quiet")});
    ASSERT_TRUE(extract.waitForFinished(120000) && extract.exitCode() == 0);
    extract_ms = round == 0 ? clock.elapsed() : std::min<std::int64_t>(extract_ms, clock.elapsed());
    fs::remove_all(host.Root() / "extracted");
    const TUpdateRun run = host.Run();
    ASSERT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
    update_ms = round == 0 ? run.ElapsedMs : std::min(update_ms, run.ElapsedMs);
  }
  EXPECT_LE(update_ms, 2 * extract_ms + 500) << "extract took " << extract_ms << " ms";
}

}  // namespace
}  // namespace tessaline::test
