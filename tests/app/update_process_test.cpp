// The update run end to end: each test makes the files of an update, builds
// the real update (the updater with the archive appended), points the host's
// settings at scratch folders and runs the update as a separate process,
// unattended, then checks its messages, its exit status and the host's
// folders byte for byte.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/HostSandbox.h"

namespace tessaline::test {
namespace {

using TMessages = std::vector<std::string>;

TEST(UpdateRun, InstallsFilesAndMovesTopLevelHelpPages) {
  THost host;
  host.WriteSettings();
  host.AddToUpdate("CUSTOMER.DAT", Content(1, 40000));
  host.AddToUpdate("orders.dat", Content(2));  // the extension test ignores case
  host.AddToUpdate("Reports/MONTHLY.DAT", Content(3));
  host.AddToUpdate("Reports/summary.HTML", "<p>summary</p>");  // in a sub-folder: stays
  host.AddToUpdate("readme.HTML", "<p>new read-me</p>");
  host.AddToUpdate("index.html", "<p>contents</p>");  // lower case: moved too
  host.AddToUpdate("old.HTM", "<p>old notes</p>");    // not ".HTML": stays
  host.AddToUpdate("NEW.TXT", "new");
  ASSERT_TRUE(host.BuildUpdateOfPayload());
  host.AddToData("CUSTOMER.DAT", Content(11));
  host.AddToData("orders.dat", Content(12));
  host.AddToData("Reports/MONTHLY.DAT", Content(13));
  host.AddToData("stray.HTML", "<p>not in the update</p>");
  host.AddToData("NOTES.TXT", "host's notes");
  host.AddToHelp("readme.HTML", "<p>old read-me</p>");
  host.AddToHelp("manual.HTML", "<p>manual</p>");

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  // No staging or set-aside folder is left behind either.
  EXPECT_EQ(FolderContents(host.Data()), (TFiles{{"CUSTOMER.DAT", Content(1, 40000)},
                                                 {"orders.dat", Content(2)},
                                                 {"Reports/", ""},
                                                 {"Reports/MONTHLY.DAT", Content(3)},
                                                 {"Reports/summary.HTML", "<p>summary</p>"},
                                                 {"old.HTM", "<p>old notes</p>"},
                                                 {"NEW.TXT", "new"},
                                                 {"stray.HTML", "<p>not in the update</p>"},
                                                 {"NOTES.TXT", "host's notes"}}));
  EXPECT_EQ(FolderContents(host.Help()), (TFiles{{"readme.HTML", "<p>new read-me</p>"},
                                                 {"index.html", "<p>contents</p>"},
                                                 {"manual.HTML", "<p>manual</p>"}}));
}

TEST(UpdateRun, WithoutDataFolderTellsTheUserAndChangesNothing) {
  for (const bool settings_file : {false, true}) {
    SCOPED_TRACE(settings_file ? "empty DataDirectory" : "no settings file");
    THost host;
    if (settings_file) {
      WriteHostSettings(host.Config(),
                        {{"DataDirectory", ""}, {"HelpDirectory", host.Help().string()}});
    }
    host.AddToUpdate("CUSTOMER.DAT", Content(1));
    host.AddToUpdate("readme.HTML", "<p>read-me</p>");
    ASSERT_TRUE(host.BuildUpdateOfPayload());
    const TFiles before = FolderContents(host.Root());

    const TUpdateRun run = host.Run();

    ASSERT_TRUE(run.Finished) << Describe(run);
    EXPECT_EQ(run.Messages, TMessages{kNoDataFolder}) << Describe(run);
    EXPECT_EQ(run.ExitCode, 1) << Describe(run);
    EXPECT_EQ(FolderContents(host.Root()), before);
  }
}

TEST(UpdateRun, WithoutDatabaseEntriesSkipsTheLockCheck) {
  THost host;
  host.WriteSettings();
  host.AddToUpdate("NOTES.TXT", "notes");
  host.AddToUpdate("ARCHIVE.DAT.OLD", "extension .OLD, absent from the data folder");
  host.AddToUpdate("guide.HTML", "<p>guide</p>");
  ASSERT_TRUE(host.BuildUpdateOfPayload());
  // A database file in use that the update does not carry is no obstacle.
  host.AddToData("HELD.DAT", "in use");
  THeldOpen held(host.Data() / "HELD.DAT");
  ASSERT_TRUE(held.Started());

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  EXPECT_EQ(FolderContents(host.Data()),
            (TFiles{{"NOTES.TXT", "notes"},
                    {"ARCHIVE.DAT.OLD", "extension .OLD, absent from the data folder"},
                    {"HELD.DAT", "in use"}}));
  EXPECT_EQ(FolderContents(host.Help()), (TFiles{{"guide.HTML", "<p>guide</p>"}}));
}

TEST(UpdateLockCheck, StopsWhenAnotherProcessHoldsADatabaseFile) {
  THost host;
  host.WriteSettings();
  host.AddToUpdate("OTHER.IDX", Content(1));
  host.AddToUpdate("LOCKED.DAT", Content(2));
  host.AddToUpdate("readme.HTML", "<p>new</p>");
  ASSERT_TRUE(host.BuildUpdateOfPayload());
  host.AddToData("OTHER.IDX", Content(11));
  host.AddToData("LOCKED.DAT", Content(12));
  host.AddToHelp("readme.HTML", "<p>old</p>");
  const TFiles data_before = FolderContents(host.Data());
  const TFiles help_before = FolderContents(host.Help());
  THeldOpen held(host.Data() / "LOCKED.DAT");
  ASSERT_TRUE(held.Started());

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  EXPECT_EQ(run.Messages, TMessages{"Error: The Database Distribution Package could not complete. "
                                    "The file " +
                                    host.InData("LOCKED.DAT") + " is locked."})
      << Describe(run);
  EXPECT_EQ(run.ExitCode, 1) << Describe(run);
  EXPECT_EQ(FolderContents(host.Data()), data_before);
  EXPECT_EQ(FolderContents(host.Help()), help_before);
}

TEST(UpdateLockCheck, StopsWhenADatabaseFileIsMissing) {
  THost host;
  host.WriteSettings();
  host.AddToUpdate("PRESENT.DAT", Content(1));
  host.AddToUpdate("absent.idx", Content(2));  // checked although lower case
  ASSERT_TRUE(host.BuildUpdateOfPayload());
  host.AddToData("PRESENT.DAT", Content(11));
  const TFiles before = FolderContents(host.Data());

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  EXPECT_EQ(run.Messages,
            TMessages{"Error: Error occurred during file lock check: " + host.InData("absent.idx")})
      << Describe(run);
  EXPECT_EQ(run.ExitCode, 1) << Describe(run);
  EXPECT_EQ(FolderContents(host.Data()), before);
}

// 4,096 bytes made of `name` repeated: with stored data the update holds the
// pattern as it is, and no other entry holds it.
std::string Pattern(const std::string& name) {
  std::string pattern;
  while (pattern.size() < 4096) pattern += name + "#";
  return pattern.substr(0, 4096);
}

TEST(UpdateRun, DamagedPayloadLeavesTheDataFolderAsItWas) {
  THost host;
  host.WriteSettings();
  const std::vector<std::string> names = {"ALPHA.DAT", "BETA.IDX", "GAMMA.DAT", "page.HTML"};
  for (unsigned i = 0; i < names.size(); ++i) {
    host.AddToUpdate(names[i], Pattern(names[i]));
    if (names[i] != "page.HTML") host.AddToData(names[i], Content(i));
  }
  host.AddToHelp("page.HTML", "<p>old page</p>");
  ASSERT_TRUE(host.BuildUpdateOfPayload({QStringLiteral("--level"), QStringLiteral("store")}));
  // Damage the entry stored last, so that the others have been extracted
  // before the damage shows; its data lies between the updater and the
  // archive's directory.
  std::string update = ReadTextFile(host.Update());
  const std::size_t stub_size = fs::file_size(TESSALINE_UPDATE_PROGRAM);
  std::size_t last_offset = 0;
  std::string last_name;
  for (const std::string& name : names) {
    const std::size_t offset = update.find(Pattern(name), stub_size);
    ASSERT_NE(offset, std::string::npos) << name << " is not stored as it is";
    if (offset > last_offset) {
      last_offset = offset;
      last_name = name;
    }
  }
  update[last_offset + 2048] = static_cast<char>(update[last_offset + 2048] ^ 0x5A);
  WriteTextFile(host.Update(), update);
  const TFiles data_before = FolderContents(host.Data());
  const TFiles help_before = FolderContents(host.Help());

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  ASSERT_EQ(run.Messages.size(), 1u) << Describe(run);
  EXPECT_TRUE(StartsWith(run.Messages[0], kNotCompleted)) << Describe(run);
  EXPECT_NE(run.Messages[0].find(last_name), std::string::npos) << Describe(run);
  EXPECT_EQ(run.ExitCode, 1) << Describe(run);
  EXPECT_EQ(FolderContents(host.Data()), data_before);
  EXPECT_EQ(FolderContents(host.Help()), help_before);
}

TEST(UpdateHelpPages, EmptyHelpFolderLeavesPagesInTheDataFolder) {
  THost host;
  WriteHostSettings(host.Config(),
                    {{"DataDirectory", host.Data().string()}, {"HelpDirectory", ""}});
  host.AddToUpdate("readme.HTML", "<p>read-me</p>");
  host.AddToUpdate("NEW.TXT", "new");
  ASSERT_TRUE(host.BuildUpdateOfPayload());

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  // An unattended run says where the pages stay.
  EXPECT_EQ(run.Messages,
            (TMessages{"Information: No Tessaline Help Folder is set: help pages stay in the data "
                       "folder.",
                       kCompleted}))
      << Describe(run);
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  EXPECT_EQ(FolderContents(host.Data()),
            (TFiles{{"readme.HTML", "<p>read-me</p>"}, {"NEW.TXT", "new"}}));
  EXPECT_EQ(FolderContents(host.Help()), TFiles{});
}

TEST(UpdateHelpPages, PageThatCannotBeCopiedStaysAndIsNamed) {
  THost host;
  // A help folder that is a file: no page can be copied into it.
  WriteTextFile(host.Root() / "helpfile", "not a folder");
  WriteHostSettings(host.Config(), {{"DataDirectory", host.Data().string()},
                                    {"HelpDirectory", (host.Root() / "helpfile").string()}});
  host.AddToUpdate("readme.HTML", "<p>read-me</p>");
  host.AddToUpdate("NEW.TXT", "new");
  ASSERT_TRUE(host.BuildUpdateOfPayload());

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  bool page_named = false;
  for (const std::string& message : run.Messages) {
    page_named |= StartsWith(message, "Error: The help page ") &&
                  message.find("readme.HTML") != std::string::npos;
  }
  EXPECT_TRUE(page_named) << Describe(run);
  EXPECT_EQ(run.ExitCode, 2) << Describe(run);
  EXPECT_EQ(FolderContents(host.Data()),
            (TFiles{{"readme.HTML", "<p>read-me</p>"}, {"NEW.TXT", "new"}}));
  EXPECT_EQ(ReadTextFile(host.Root() / "helpfile"), "not a folder");
}

// The window waits two seconds before the run and pauses 20 ms + 4 ms for
// every file, to stay responsive (UpdateWindow tests); unattended there is
// nothing to keep responsive, and a run of many files must not take
// N x 24 ms longer than its work.
TEST(UpdateRun, UnattendedRunStartsAtOnceAndDoesNotPause) {
  constexpr int kFiles = 250;
  THost host;
  host.WriteSettings();
  TFiles expected;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "FILE" + std::to_string(i) + ".TXT";
    host.AddToUpdate(name, "file " + std::to_string(i));
    expected[name] = "file " + std::to_string(i);
  }
  ASSERT_TRUE(host.BuildUpdateOfPayload());

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  EXPECT_EQ(FolderContents(host.Data()), expected);
  // The pauses alone would take 6,000 ms, the start 2,000 ms more.
  EXPECT_LT(run.ElapsedMs, 4000);
}

TEST(UpdateSettings, FoldersWithCharactersSpecialToTheSettingsFileWork) {
  THost host;
  const fs::path data = host.Root() / "data,2024";
  const fs::path help = host.Root() / "help;#=\"x\"";
  fs::create_directories(data);
  fs::create_directories(help);
  WriteHostSettings(host.Config(),
                    {{"DataDirectory", data.string()}, {"HelpDirectory", help.string()}});
  host.AddToUpdate("ITEMS.DAT", Content(1));
  host.AddToUpdate("readme.HTML", "<p>read-me</p>");
  ASSERT_TRUE(host.BuildUpdateOfPayload());
  WriteTextFile(data / "ITEMS.DAT", Content(11));

  const TUpdateRun run = host.Run();

  ASSERT_TRUE(run.Finished) << Describe(run);
  EXPECT_EQ(run.Messages, TMessages{kCompleted}) << Describe(run);
  EXPECT_EQ(run.ExitCode, 0) << Describe(run);
  EXPECT_EQ(FolderContents(data), (TFiles{{"ITEMS.DAT", Content(1)}}));
  EXPECT_EQ(FolderContents(help), (TFiles{{"readme.HTML", "<p>read-me</p>"}}));
}

}  // namespace
}  // namespace tessaline::test
