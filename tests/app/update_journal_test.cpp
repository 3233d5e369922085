// The journal of an update read back and acted on, for every state a killed
// run can leave a move in; and the updater's command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/UpdateJournal.h"
#include "tests/TestSupport.h"
#include "tests/app/AppTestSupport.h"
#include "zorellz/codec/ZrlCRC.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using test::FolderContents;
using test::ReadTextFile;
using test::WriteTextFile;
using zorellz::test::TScratchDir;
using TFiles = std::map<std::string, std::string>;

// A journal over a data folder with odd names: one move replaces a file,
// one adds a file in a new folder; the staged files are in place.
class TJournalSandbox {
 public:
  TJournalSandbox() {
    journal_.DataFolder = data_.Path();
    const fs::path staging = data_.Path() / ".tessaline-update-x1y2z3";
    const fs::path aside = data_.Path() / ".tessaline-replaced-x1y2z3";
    journal_.WorkFolders = {staging, aside};
    journal_.NewFolders = {data_.Path() / "new folder"};
    Add(staging / "odd name%20\n\t.DAT", data_.Path() / "odd name%20\n\t.DAT",
        aside / "odd name%20\n\t.DAT", "new odd");
    Add(staging / "new folder" / "b.dat", data_.Path() / "new folder" / "b.dat", {}, "new b");
    WriteTextFile(data_.Path() / "odd name%20\n\t.DAT", "old odd");
    fs::create_directories(aside);
  }

  void Add(const fs::path& staged, const fs::path& target, const fs::path& aside,
           const std::string& text) {
    WriteTextFile(staged, text);
    journal_.Moves.push_back({staged, target, aside, static_cast<std::int64_t>(text.size()),
                              zorellz::CRC32Of(text.data(), text.size())});
  }

  TFiles Visible() const {
    TFiles files;
    for (const auto& [name, text] : FolderContents(data_.Path())) {
      if (name.rfind(".tessaline-", 0) != 0) files[name] = text;
    }
    return files;
  }

  TScratchDir data_;
  TUpdateJournal journal_;
  const TFiles before_ = {{"odd name%20\n\t.DAT", "old odd"}};
  const TFiles after_ = {
      {"odd name%20\n\t.DAT", "new odd"}, {"new folder/", ""}, {"new folder/b.dat", "new b"}};
};

class JournalTest : public testing::Test, public TJournalSandbox {};

TEST_F(JournalTest, ReadsBackWhatWasWritten) {
  ASSERT_EQ(WriteJournal(journal_), "");
  EXPECT_FALSE(fs::exists(data_.Path() / kJournalDraftName));
  const std::optional<TUpdateJournal> read = ReadJournal(data_.Path());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->WorkFolders, journal_.WorkFolders);
  EXPECT_EQ(read->NewFolders, journal_.NewFolders);
  ASSERT_EQ(read->Moves.size(), 2u);
  EXPECT_EQ(read->Moves[0].Target, journal_.Moves[0].Target);
  EXPECT_EQ(read->Moves[0].Aside, journal_.Moves[0].Aside);
  EXPECT_EQ(read->Moves[1].Aside, fs::path());
  EXPECT_EQ(read->Moves[1].Crc, journal_.Moves[1].Crc);
  RemoveJournal(data_.Path());
  EXPECT_FALSE(ReadJournal(data_.Path()));
}

TEST_F(JournalTest, IncompleteOrForeignJournalIsDamaged) {
  ASSERT_EQ(WriteJournal(journal_), "");
  const fs::path file = data_.Path() / kJournalName;
  const std::string text = ReadTextFile(file);
  for (const std::string& damaged : {text.substr(0, text.size() - 4), std::string("other 1\nend\n"),
                                     text.substr(0, text.find("move")) + "move x y\nend\n"}) {
    WriteTextFile(file, damaged);
    EXPECT_THROW(ReadJournal(data_.Path()), std::runtime_error);
    std::string detail;
    EXPECT_EQ(RecoverInterruptedUpdate(data_.Path(), nullptr, detail), TRecovery::kFailed);
    EXPECT_NE(detail.find(file.string()), std::string::npos) << detail;
  }
}

// Every state of the moves (none made, the first half made, all made) is
// completed forward while the new files are sound.
// Anyone who may write to the data folder may write a journal there: one
// that leads outside the folder, or names a folder of the host's as work to
// remove, is refused before anything is done.
TEST_F(JournalTest, JournalLeadingOutsideTheDataFolderIsRefused) {
  TScratchDir outside;
  WriteTextFile(outside.Path() / "victim", "keep me");
  ASSERT_EQ(WriteJournal(journal_), "");
  const fs::path file = data_.Path() / kJournalName;
  const std::string text = ReadTextFile(file);
  const std::string escaped_outside = "..%2F..%2F" + outside.Path().filename().string();
  for (const std::string& line : std::vector<std::string>{
           "work .\n", "work " + escaped_outside + "\n", "folder /tmp\n",
           "move a.dat ../" + outside.Path().filename().string() + "/victim - 1 0\n",
           "move " + (outside.Path() / "victim").string() + " a.dat - 7 0\n",
           "page ../victim.HTML\n", "page notes.txt\n"}) {
    SCOPED_TRACE(line);
    WriteTextFile(file, text.substr(0, text.size() - 4) + line + "end\n");
    std::string detail;
    EXPECT_EQ(RecoverInterruptedUpdate(
                  data_.Path(), [&] { return outside.Path(); }, detail),
              TRecovery::kFailed);
    EXPECT_EQ(ReadTextFile(outside.Path() / "victim"), "keep me");
  }
  EXPECT_EQ(Visible(), before_);
}

// A draft planted under the journal's draft name is never written through.
TEST_F(JournalTest, PlantedDraftIsNotWrittenThrough) {
  TScratchDir outside;
  WriteTextFile(outside.Path() / "victim", "keep me");
  fs::create_symlink(outside.Path() / "victim", data_.Path() / kJournalDraftName);
  ASSERT_EQ(WriteJournal(journal_), "");
  EXPECT_EQ(ReadTextFile(outside.Path() / "victim"), "keep me");
  EXPECT_TRUE(ReadJournal(data_.Path()));
}

TEST_F(JournalTest, RollForwardCompletesFromEveryState) {
  for (int made = 0; made <= 2; ++made) {
    SCOPED_TRACE(made);
    TJournalSandbox copy;
    if (made >= 1) {
      fs::rename(copy.journal_.Moves[0].Target, copy.journal_.Moves[0].Aside);
      fs::rename(copy.journal_.Moves[0].Staged, copy.journal_.Moves[0].Target);
    }
    if (made >= 2) {
      fs::create_directory(copy.journal_.NewFolders[0]);
      fs::rename(copy.journal_.Moves[1].Staged, copy.journal_.Moves[1].Target);
    }
    ASSERT_EQ(WriteJournal(copy.journal_), "");
    std::string detail;
    EXPECT_EQ(RecoverInterruptedUpdate(copy.data_.Path(), nullptr, detail),
              TRecovery::kRolledForward)
        << detail;
    EXPECT_EQ(FolderContents(copy.data_.Path()), after_);
  }
}

// A staged file that is missing or damaged sends the run back, whatever
// was already moved.
TEST_F(JournalTest, UnsoundNewFileRollsBack) {
  fs::rename(journal_.Moves[0].Target, journal_.Moves[0].Aside);
  fs::rename(journal_.Moves[0].Staged, journal_.Moves[0].Target);
  WriteTextFile(journal_.Moves[1].Staged, "new B");  // same size, other bytes
  ASSERT_EQ(WriteJournal(journal_), "");
  std::string detail;
  EXPECT_EQ(RecoverInterruptedUpdate(data_.Path(), nullptr, detail), TRecovery::kRolledBack);
  EXPECT_EQ(FolderContents(data_.Path()), before_);
}

TEST_F(JournalTest, RollBackLeavesFoldersWithForeignFiles) {
  fs::create_directory(journal_.NewFolders[0]);
  fs::rename(journal_.Moves[1].Staged, journal_.Moves[1].Target);
  WriteTextFile(journal_.NewFolders[0] / "host.txt", "the host's");
  EXPECT_TRUE(RollBack(journal_));
  EXPECT_EQ(Visible(), (TFiles{{"odd name%20\n\t.DAT", "old odd"},
                               {"new folder/", ""},
                               {"new folder/host.txt", "the host's"}}));
}

TEST(UpdateCommandLine, AcceptsEveryOptionInBothForms) {
  QString error;
  const auto line = ParseCommandLine({"--check", "--unattended", "--quiet", "--log", "a b.log",
                                      "--data-dir=/srv/d", "--help-dir", "/srv/h", "--"},
                                     error);
  ASSERT_TRUE(line) << error.toStdString();
  EXPECT_TRUE(line->Check && line->Unattended && line->Quiet);
  EXPECT_FALSE(line->List || line->Help || line->Version);
  EXPECT_EQ(line->LogFile, "a b.log");
  EXPECT_EQ(line->DataDir, QString("/srv/d"));
  EXPECT_EQ(line->HelpDir, QString("/srv/h"));
  const auto empty = ParseCommandLine({}, error);
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->DataDir);
  EXPECT_TRUE(empty->LogFile.isEmpty());
}

TEST(UpdateCommandLine, RefusesWhatItDoesNotKnow) {
  const std::map<QStringList, QString> wrong = {
      {{"--force"}, "unrecognized option '--force'"},
      {{"-q"}, "unexpected argument '-q'"},
      {{"TESSUPD"}, "unexpected argument 'TESSUPD'"},
      {{"--log"}, "option '--log' needs a value"},
      {{"--data-dir="}, "option '--data-dir' needs a value"},
      {{"--list=all"}, "option '--list' takes no value"},
      {{"--", "--list"}, "unexpected argument '--list'"},
      {{"--list", "--check"}, "--list and --check cannot be given together"},
  };
  for (const auto& [arguments, message] : wrong) {
    QString error;
    EXPECT_FALSE(ParseCommandLine(arguments, error)) << arguments.join(' ').toStdString();
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace tessaline
