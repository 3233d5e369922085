// The update run in-process, driven by calling ExtractTimerTimer directly:
// where it stops and what it leaves behind, the all-or-nothing extraction,
// the help pages and the messages it shows.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/StagedUpdate.h"
#include "app/UpdateMessages.h"
#include "app/uMainDBDistribution.h"
#include "platform/System.h"
#include "tests/TestSupport.h"
#include "tests/app/AppTestSupport.h"
#include "zorellz/engine/ZrlTypes.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using test::FolderContents;
using test::WriteTextFile;
using zorellz::test::TBytes;

class UpdateRun : public testing::Test {
 protected:
  void SetUp() override {
    test::UseConfigDir(Config());
    fs::create_directories(Data());
    fs::create_directories(Help());
    SetMessageRecorder([this](const TMessageRecord& record) -> std::optional<int> {
      messages_.push_back(record);
      return kModalResultOk;
    });
    zorellz::SetStartCommandFunc([this](const std::string& command) {
      started_.push_back(command);
      data_when_started_ = FolderContents(Data());
      return true;
    });
  }
  void TearDown() override {
    SetMessageRecorder(nullptr);
    zorellz::SetStartCommandFunc(nullptr);
    // Every message of the window goes out the same way.
    for (const TMessageRecord& record : messages_) {
      EXPECT_EQ(record.buttons, TMessageButtons{TMessageButton::OK});
      EXPECT_EQ(record.help_context, 0);
      EXPECT_EQ(record.background, 0xFFFFFFu);
      EXPECT_EQ(record.x, -1);
      EXPECT_EQ(record.y, -1);
    }
  }

  fs::path Config() const { return scratch_.Path() / "config"; }
  fs::path Data() const { return scratch_.Path() / "data"; }
  fs::path Help() const { return scratch_.Path() / "help"; }
  fs::path Update() const { return scratch_.Path() / "update"; }
  // The folders as the settings give them.
  std::string DataFolder() const { return Data().string() + "/"; }
  std::string HelpFolder() const { return Help().string() + "/"; }

  void UseSettings(const std::map<std::string, std::string>& values) {
    test::WriteHostSettings(Config(), values);
  }
  void UseBothFolders() {
    UseSettings({{"DataDirectory", Data().string()}, {"HelpDirectory", Help().string()}});
  }
  void MakeUpdate(const std::map<std::string, std::string>& files) {
    const fs::path source = scratch_.Path() / "source";
    for (const auto& [name, text] : files) WriteTextFile(source / name, text);
    ASSERT_TRUE(test::BuildUpdate(source, Update()));
  }

  // Runs the update as the timer would.
  TRunOutcome Run() {
    TfrmDatabaseDist window(nullptr, QString::fromStdString(Update().string()));
    window.show();
    window.ExtractTimerTimer();
    EXPECT_FALSE(window.isVisible()) << "the run closes the window";
    return window.Outcome();
  }

  std::vector<QString> Texts(TMessageKind kind) const {
    std::vector<QString> texts;
    for (const TMessageRecord& record : messages_) {
      if (record.kind == kind) texts.push_back(record.message);
    }
    return texts;
  }

  zorellz::test::TScratchDir scratch_;
  std::vector<TMessageRecord> messages_;
  std::vector<std::string> started_;
  std::map<std::string, std::string> data_when_started_;
};

QString Completed() {
  return UpdateMessage(TUpdateMessage::kUpdateCompleted);
}

// The trailer of an archive is its last 83 bytes; the header copies it.
void SetRunCommand(const fs::path& update, const std::string& command) {
  TBytes bytes = zorellz::test::ReadFileBytes(update.string());
  std::uint8_t* trailer_bytes = bytes.data() + bytes.size() - zorellz::TLZArchiveTrailer::kSize;
  zorellz::TLZArchiveTrailer trailer;
  trailer.Read(trailer_bytes);
  ASSERT_TRUE(trailer.RunCommand.Set(command));
  trailer.Write(trailer_bytes);
  zorellz::TLZArchiveHeader header;
  header.Read(bytes.data() + trailer.ArchiveOffset);
  header.Trailer.RunCommand = trailer.RunCommand;
  header.Write(bytes.data() + trailer.ArchiveOffset);
  zorellz::test::WriteFileBytes(update.string(), bytes);
}

// The data of the archive's last entry ends where the trailer begins.
void DamageLastEntry(const fs::path& update) {
  TBytes bytes = zorellz::test::ReadFileBytes(update.string());
  bytes[bytes.size() - zorellz::TLZArchiveTrailer::kSize - 16] ^= 0x5A;
  zorellz::test::WriteFileBytes(update.string(), bytes);
}

TEST_F(UpdateRun, ExtractsMovesPagesAndStartsTheCommandAfterwards) {
  UseBothFolders();
  MakeUpdate({{"a.DAT", "new a"},
              {"b.idx", "new b"},
              {"Guide.html", "guide"},
              {"Short.HTM", "short"},
              {"Sub/Inner.HTML", "inner"}});
  SetRunCommand(Update(), "tessamark");
  WriteTextFile(Data() / "a.DAT", "old a");
  WriteTextFile(Data() / "b.idx", "old b");
  WriteTextFile(Data() / "Local.HTML", "not from the update");
  WriteTextFile(Help() / "Guide.html", "old guide");

  EXPECT_EQ(Run(), TRunOutcome::kCompleted);
  EXPECT_EQ(FolderContents(Data()), (std::map<std::string, std::string>{
                                        {"a.DAT", "new a"},
                                        {"b.idx", "new b"},
                                        {"Local.HTML", "not from the update"},
                                        {"Short.HTM", "short"},
                                        {"Sub/", ""},
                                        {"Sub/Inner.HTML", "inner"},
                                    }));
  EXPECT_EQ(FolderContents(Help()), (std::map<std::string, std::string>{{"Guide.html", "guide"}}));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, TMessageKind::Confirmation);
  EXPECT_EQ(messages_[0].message, Completed());
  // Started once, with the data already in place.
  EXPECT_EQ(started_, std::vector<std::string>{"tessamark"});
  EXPECT_EQ(data_when_started_["a.DAT"], "new a");
}

TEST_F(UpdateRun, DamagedPayloadLeavesTheDataFolderAsItWas) {
  UseBothFolders();
  MakeUpdate({{"a.DAT", "new a"},
              {"m.IDX", "new m"},
              {"z.DAT", std::string(20000, 'z') + "tail"},
              {"Page.HTML", "page"}});
  SetRunCommand(Update(), "tessamark");
  DamageLastEntry(Update());
  WriteTextFile(Data() / "a.DAT", "old a");
  WriteTextFile(Data() / "m.IDX", "old m");
  WriteTextFile(Data() / "z.DAT", "old z");
  const auto before = FolderContents(Data());

  std::string last_entry;
  {
    TfrmDatabaseDist window(nullptr, QString::fromStdString(Update().string()));
    ASSERT_FALSE(window.ArchiveNames().empty());
    last_entry = window.ArchiveNames().back();
    window.ExtractTimerTimer();
    EXPECT_EQ(window.Outcome(), TRunOutcome::kFailed);
    EXPECT_EQ(ExitStatusOf(window.Outcome()), 1);
  }
  // Byte for byte as before, with no staging folder left behind.
  EXPECT_EQ(FolderContents(Data()), before);
  EXPECT_TRUE(FolderContents(Help()).empty());
  EXPECT_TRUE(started_.empty());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, TMessageKind::Error);
  const QString expected_start =
      QStringLiteral("The Database Distribution Package could not complete. The file %1 ")
          .arg(QString::fromStdString(DataFolder() + last_entry));
  EXPECT_TRUE(messages_[0].message.startsWith(expected_start))
      << messages_[0].message.toStdString();
}

TEST_F(UpdateRun, NoDataFolderIsAllThatHappens) {
  UseSettings({{"HelpDirectory", Help().string()}});
  MakeUpdate({{"a.DAT", "a"}, {"Page.HTML", "page"}});
  EXPECT_EQ(Run(), TRunOutcome::kNoDataFolder);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, TMessageKind::Information);
  EXPECT_EQ(messages_[0].message, UpdateMessage(TUpdateMessage::kDataFolderNotFound));
  EXPECT_TRUE(FolderContents(Data()).empty());
}

TEST_F(UpdateRun, UnreadableUpdateStopsAfterTheDataFolderCheck) {
  UseBothFolders();
  WriteTextFile(Update(), "this is not an update");
  WriteTextFile(Data() / "a.DAT", "old a");
  EXPECT_EQ(Run(), TRunOutcome::kFailed);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, TMessageKind::Error);
  const QString prefix = UpdateMessage(TUpdateMessage::kUpdateNotReadable)
                             .arg(QString::fromStdString(Update().string()), QString())
                             .section(QStringLiteral(": "), 0, 0);
  EXPECT_TRUE(messages_[0].message.startsWith(prefix)) << messages_[0].message.toStdString();
  EXPECT_EQ(FolderContents(Data()), (std::map<std::string, std::string>{{"a.DAT", "old a"}}));
}

TEST_F(UpdateRun, MissingDatabaseFileStopsTheLockCheckWithItsFullPath) {
  UseBothFolders();
  MakeUpdate({{"caf\xC3\xA9.DAT", "new"}, {"other.txt", "other"}});
  EXPECT_EQ(Run(), TRunOutcome::kLockCheckFailed);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, TMessageKind::Error);
  EXPECT_EQ(messages_[0].message,
            UpdateMessage(TUpdateMessage::kLockCheckFailed)
                .arg(QString::fromStdString(DataFolder() + "caf\xC3\xA9.DAT")));
  EXPECT_TRUE(FolderContents(Data()).empty());
}

TEST_F(UpdateRun, HelpPageThatCannotBeCopiedStaysAndIsNamed) {
  UseSettings({{"DataDirectory", Data().string()},
               {"HelpDirectory", (scratch_.Path() / "missing").string()}});
  MakeUpdate({{"Page.HTML", "page"}});
  EXPECT_EQ(Run(), TRunOutcome::kHelpPagesLeft);
  EXPECT_EQ(ExitStatusOf(TRunOutcome::kHelpPagesLeft), 2);
  EXPECT_EQ(FolderContents(Data()), (std::map<std::string, std::string>{{"Page.HTML", "page"}}));
  const std::vector<QString> errors = Texts(TMessageKind::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].startsWith(
      QStringLiteral("The help page %1 could not be copied to %2: ")
          .arg(QString::fromStdString(DataFolder() + "Page.HTML"),
               QString::fromStdString((scratch_.Path() / "missing").string() + "/Page.HTML"))))
      << errors[0].toStdString();
  EXPECT_EQ(Texts(TMessageKind::Confirmation), std::vector<QString>{Completed()});
}

TEST_F(UpdateRun, EmptyHelpFolderSkipsThePages) {
  UseSettings({{"DataDirectory", Data().string()}, {"HelpDirectory", ""}});
  MakeUpdate({{"Page.HTML", "page"}});
  EXPECT_EQ(Run(), TRunOutcome::kCompleted);
  EXPECT_EQ(FolderContents(Data()), (std::map<std::string, std::string>{{"Page.HTML", "page"}}));
  EXPECT_EQ(Texts(TMessageKind::Confirmation), std::vector<QString>{Completed()});
}

TEST_F(UpdateRun, CloseDuringTheRunIsCarriedOutWhenItEnds) {
  UseBothFolders();
  MakeUpdate({{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}});
  TfrmDatabaseDist window(nullptr, QString::fromStdString(Update().string()));
  window.show();
  std::vector<bool> visible_after_close;
  QObject::connect(&window, &TfrmDatabaseDist::fileReported, [&] {
    window.close();
    visible_after_close.push_back(window.isVisible());
  });
  bool closed_before_the_end = false;
  QObject::connect(&window, &TfrmDatabaseDist::runFinished,
                   [&] { closed_before_the_end = !window.isVisible(); });
  window.ExtractTimerTimer();
  EXPECT_EQ(visible_after_close, (std::vector<bool>{true, true, true}));
  EXPECT_FALSE(closed_before_the_end);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.Outcome(), TRunOutcome::kCompleted);
  EXPECT_EQ(window.FilesReported(), 3);
  EXPECT_EQ(FolderContents(Data()).size(), 3u);
}

// A help-folder value of the wrong type raises in the middle of the run.
TEST_F(UpdateRun, ExceptionIsShownAndTheWindowStaysUnlessAskedToClose) {
  MakeUpdate({{"a.txt", "a"}});
  WriteTextFile(Config() / "Orv/Tessaline.conf",
                "[General]\nDataDirectory=" + Data().string() + "\nHelpDirectory=one, two\n");
  for (const bool close_during_run : {false, true}) {
    messages_.clear();
    TfrmDatabaseDist window(nullptr, QString::fromStdString(Update().string()));
    window.show();
    if (close_during_run) {
      QObject::connect(&window, &TfrmDatabaseDist::fileReported, [&] { window.close(); });
    }
    window.ExtractTimerTimer();
    EXPECT_EQ(window.Outcome(), TRunOutcome::kException);
    EXPECT_EQ(window.isVisible(), !close_during_run);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].kind, TMessageKind::Error);
    EXPECT_FALSE(messages_[0].message.isEmpty());
  }
}

// A database file opened by another process after the lock check stops the
// commit when its turn comes, and the files already moved go back.
TEST_F(UpdateRun, FileOpenedAfterTheLockCheckStopsTheCommitAndIsNamed) {
  UseBothFolders();
  MakeUpdate({{"A.DAT", "new a"}, {"B.DAT", "new b"}, {"C.DAT", "new c"}});
  WriteTextFile(Data() / "A.DAT", "old a");
  WriteTextFile(Data() / "B.DAT", "old b");
  WriteTextFile(Data() / "C.DAT", "old c");
  const auto before = FolderContents(Data());
  QProcess holder;
  TStagedUpdate::SetMoveHookForTesting([&](const fs::path& target) {
    if (target.filename() == "A.DAT" && holder.state() == QProcess::NotRunning) {
      holder.setStandardInputFile(QString::fromStdString((Data() / "C.DAT").string()));
      holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
      holder.waitForStarted(10000);
    }
    return true;
  });
  const TRunOutcome outcome = Run();
  TStagedUpdate::SetMoveHookForTesting(nullptr);
  holder.kill();
  holder.waitForFinished(10000);

  EXPECT_EQ(outcome, TRunOutcome::kFailed);
  ASSERT_EQ(Texts(TMessageKind::Error).size(), 1u);
  EXPECT_EQ(Texts(TMessageKind::Error)[0],
            UpdateMessage(TUpdateMessage::kUpdateInstallFailed)
                .arg(QString::fromStdString((Data() / "C.DAT").string()),
                     UpdateMessage(TUpdateMessage::kFileInUseAtCommit)));
  EXPECT_EQ(FolderContents(Data()), before);
}

}  // namespace
}  // namespace tessaline
