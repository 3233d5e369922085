// The update run: data folder, the update's readability, the lock check, the
// all-or-nothing extraction and the help pages, each a step that shows its
// own message and ends the run when it cannot go on.
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "app/DatabaseFiles.h"
#include "app/HelpPages.h"
#include "app/MessagePump.h"
#include "app/StagedUpdate.h"
#include "app/Unattended.h"
#include "app/UpdateJournal.h"
#include "app/UpdateLog.h"
#include "app/UpdateMessages.h"
#include "app/uMainDBDistribution.h"
#include "platform/FileInUse.h"
#include "platform/Names.h"
#include "platform/System.h"
#include "platform/Termination.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/platform/File.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QString Message(TUpdateMessage id) {
  return UpdateMessage(id);
}

std::string CauseOfErrno(int error) {
  return std::generic_category().message(error != 0 ? error : EIO);
}

// A message of the library as a sentence of ours.
QString AsSentence(const std::string& text) {
  QString sentence = Text(text).trimmed();
  if (!sentence.endsWith(u'.') && !sentence.endsWith(u'!') && !sentence.endsWith(u'?')) {
    sentence += u'.';
  }
  return sentence;
}

// While alive, the command an extraction would start is kept in `command`
// instead: an update's command must wait until its data is in place.
class TCommandCapture {
 public:
  explicit TCommandCapture(std::string& command)
      : previous_(zorellz::SetStartCommandFunc([&command](const std::string& line) {
          command = line;
          return true;
        })) {}
  ~TCommandCapture() { zorellz::SetStartCommandFunc(std::move(previous_)); }
  TCommandCapture(const TCommandCapture&) = delete;
  TCommandCapture& operator=(const TCommandCapture&) = delete;

 private:
  zorellz::TStartCommandFunc previous_;
};

// Points the component at `folder` for extraction, and back at `restore`
// on every way out.
class TTargetFolderScope {
 public:
  TTargetFolderScope(zorellz::TZorelLZObj& extract, const std::string& folder, std::string restore)
      : extract_(extract), restore_(std::move(restore)) {
    extract_.SetTargetDirectory(folder);
  }
  ~TTargetFolderScope() { extract_.SetTargetDirectory(restore_); }
  TTargetFolderScope(const TTargetFolderScope&) = delete;
  TTargetFolderScope& operator=(const TTargetFolderScope&) = delete;

 private:
  zorellz::TZorelLZObj& extract_;
  std::string restore_;
};

}  // namespace

void TfrmDatabaseDist::ExtractTimerTimer() {
  ExtractTimer->stop();
  ExtractTimer->setInterval(1);
  if (outcome_ != TRunOutcome::kNotRun) return;  // the run happens once
  outcome_ = TRunOutcome::kRunning;
  try {
    RunGuarded();
  } catch (const std::exception& error) {
    StopOnException(error.what());
  }
  if (close_requested_) close();
}

// Whatever update this start carries, an interrupted run on the same data
// folder is dealt with first, under the folder's lock.
void TfrmDatabaseDist::RunGuarded() {
  std::string data_folder;
  if (!CheckDataFolder(data_folder)) return;
  if (!LockDataFolder(data_folder)) return;
  if (!RecoverInterruptedRun(data_folder)) return;
  if (!CheckUpdateViewed()) return;
  if (!CheckLocks(data_folder)) return;
  if (!CheckNotInterrupted()) return;
  if (!ExtractIntoPlace(data_folder)) return;
  ShowMessage(Message(TUpdateMessage::kUpdateCompleted), TMessageKind::Confirmation);
  Finish(FPagesMoved ? TRunOutcome::kCompleted : TRunOutcome::kHelpPagesLeft);
}

// The window stays open to show what happened, unless nobody is there to
// close it or a close was asked for during the run.
void TfrmDatabaseDist::StopOnException(const std::string& what) {
  try {
    ShowMessage(Text(what), TMessageKind::Error);
  } catch (const std::exception&) {
    // Nothing more can be told; the outcome still records the stop.
  }
  outcome_ = TRunOutcome::kException;
  FStaging.reset();
  FUpdateLock.Release();
  emit runFinished();
  if (UnattendedModeRequested()) close();
}

bool TfrmDatabaseDist::CheckDataFolder(std::string& data_folder) {
  data_folder = FEnvironment->GetDataDirectory();
  if (data_folder.empty()) {
    ShowMessage(Message(TUpdateMessage::kDataFolderNotFound), TMessageKind::Information);
    Finish(TRunOutcome::kNoDataFolder);
    return false;
  }
  if (zorellz::DirectoryExistsNative(data_folder)) return true;
  ShowMessage(Message(TUpdateMessage::kDataFolderMissing).arg(FolderText(data_folder)),
              TMessageKind::Error);
  Finish(TRunOutcome::kDataFolderMissing);
  return false;
}

bool TfrmDatabaseDist::LockDataFolder(const std::string& data_folder) {
  int error = 0;
  switch (FUpdateLock.Acquire(data_folder, kUpdateLockName, &error)) {
    case zorellz::TFolderLock::TResult::kLocked:
      return true;
    case zorellz::TFolderLock::TResult::kHeldElsewhere:
      ShowMessage(Message(TUpdateMessage::kAnotherUpdateRunning).arg(FolderText(data_folder)),
                  TMessageKind::Error);
      Finish(TRunOutcome::kAnotherUpdateRunning);
      return false;
    case zorellz::TFolderLock::TResult::kFailed:
      break;
  }
  ShowMessage(Message(TUpdateMessage::kUpdateLockFailed)
                  .arg(FolderText(data_folder), Text(CauseOfErrno(error))),
              TMessageKind::Error);
  Finish(TRunOutcome::kFailed);
  return false;
}

bool TfrmDatabaseDist::RecoverInterruptedRun(const std::string& data_folder) {
  std::string detail;
  const auto help_folder = [this] { return fs::path(FEnvironment->GetHelpDirectory()); };
  switch (RecoverInterruptedUpdate(data_folder, help_folder, detail)) {
    case TRecovery::kNothingToDo:
      return true;
    case TRecovery::kRolledForward:
      ShowMessage(Message(TUpdateMessage::kRolledForward).arg(FolderText(data_folder)),
                  TMessageKind::Information);
      return true;
    case TRecovery::kRolledBack:
      ShowMessage(Message(TUpdateMessage::kRolledBack).arg(FolderText(data_folder)),
                  TMessageKind::Information);
      return true;
    case TRecovery::kFailed:
      break;
  }
  ShowMessage(Message(TUpdateMessage::kRecoveryFailed).arg(FolderText(data_folder), Text(detail)),
              TMessageKind::Error);
  Finish(TRunOutcome::kRecoveryFailed);
  return false;
}

// A termination request before the first change simply ends the run.
bool TfrmDatabaseDist::CheckNotInterrupted() {
  const int request = zorellz::PendingTerminationRequest();
  if (request == 0) return true;
  ShowMessage(
      Message(TUpdateMessage::kInterrupted).arg(Text(zorellz::TerminationRequestName(request))),
      TMessageKind::Error);
  Finish(TRunOutcome::kInterrupted);
  return false;
}

// Without the update's list of entries the lock check would pass unseen.
bool TfrmDatabaseDist::CheckUpdateViewed() {
  if (!view_failure_) return true;
  ShowMessage(Message(TUpdateMessage::kUpdateNotReadable).arg(update_file_, Text(*view_failure_)),
              TMessageKind::Error);
  Finish(TRunOutcome::kFailed);
  return false;
}

// One checker for the whole list, so that the open files of the other
// processes are read at most once.
bool TfrmDatabaseDist::CheckLocks(const std::string& data_folder) {
  zorellz::TFileUseChecker checker;
  for (const std::string& name : FArchiveNames) {
    const std::string path = data_folder + zorellz::ArchivePathToNative(name).string();
    if (!IsDatabaseFile(path)) continue;
    switch (checker.Check(path)) {
      case zorellz::TFileUse::kNotInUse:
        break;
      case zorellz::TFileUse::kInUse:
        ShowMessage(Message(TUpdateMessage::kFileLocked).arg(Text(path)), TMessageKind::Error);
        Finish(TRunOutcome::kFileLocked);
        return false;
      case zorellz::TFileUse::kUnreadable:
        ShowMessage(Message(TUpdateMessage::kLockCheckFailed).arg(Text(path)), TMessageKind::Error);
        Finish(TRunOutcome::kLockCheckFailed);
        return false;
    }
  }
  return true;
}

bool TfrmDatabaseDist::ExtractIntoPlace(const std::string& data_folder) {
  std::string command;
  if (const std::optional<QString> failure = InstallUpdate(data_folder, command)) {
    FStaging.reset();
    const int request = zorellz::PendingTerminationRequest();
    if (request != 0) {
      ShowMessage(
          Message(TUpdateMessage::kInterrupted).arg(Text(zorellz::TerminationRequestName(request))),
          TMessageKind::Error);
      Finish(TRunOutcome::kInterrupted);
      return false;
    }
    ShowMessage(*failure, TMessageKind::Error);
    Finish(TRunOutcome::kFailed);
    return false;
  }
  if (!command.empty()) zorellz::StartCommand(command);
  return true;
}

// On failure the staging folder is gone when the caller drops FStaging; on
// success it is gone already, and the help pages have moved.
std::optional<QString> TfrmDatabaseDist::InstallUpdate(const std::string& data_folder,
                                                       std::string& command) {
  try {
    FStaging = std::make_unique<TStagedUpdate>(fs::path(data_folder));
  } catch (const EStagedUpdateError& error) {
    return Message(TUpdateMessage::kUpdateFailed)
        .arg(Text(error.File().string()) + QStringLiteral(": ") + AsSentence(error.Cause()));
  }
  const std::string staging_folder =
      zorellz::IncludeTrailingSeparator(FStaging->StagingFolder().string());
  if (std::optional<QString> failure = ExtractStaged(staging_folder, data_folder, command)) {
    return failure;
  }
  if (zorellz::PendingTerminationRequest() != 0) return QString();
  return CommitStaged(data_folder);
}

// Each database file is checked again just before it is replaced, and
// watched until it is; a file opened meanwhile stops the commit.  Every
// move goes to the log.
std::optional<QString> TfrmDatabaseDist::CommitStaged(const std::string& data_folder) {
  const std::string help_folder = FEnvironment->GetHelpDirectory();
  if (!help_folder.empty()) FStaging->SetHelpPages(help_folder, TopLevelHelpPages());
  zorellz::TFileUseChecker checker;
  TStagedUpdate::TMoveGuard guard;
  guard.BeforeMove = [&checker](const TJournalMove& move) {
    const int request = zorellz::PendingTerminationRequest();
    if (request != 0) {
      throw EStagedUpdateError(move.Target,
                               "interrupted by " + zorellz::TerminationRequestName(request));
    }
    if (move.Aside.empty() || !IsDatabaseFile(move.Target.string())) return;
    int error = 0;
    switch (checker.CheckAndHold(move.Target, &error)) {
      case zorellz::TFileUse::kNotInUse:
        return;
      case zorellz::TFileUse::kInUse:
        throw EStagedUpdateError(move.Target,
                                 Message(TUpdateMessage::kFileInUseAtCommit).toStdString());
      case zorellz::TFileUse::kUnreadable:
        throw EStagedUpdateError(move.Target, CauseOfErrno(error));
    }
  };
  guard.AfterMove = [&checker](const TJournalMove& move) {
    const bool opened = checker.HeldFileOpened();
    checker.Release();
    if (opened) {
      throw EStagedUpdateError(move.Target,
                               Message(TUpdateMessage::kFileOpenedAtCommit).toStdString());
    }
    LogLine((move.Aside.empty() ? QStringLiteral("added ") : QStringLiteral("replaced ")) +
            Text(move.Target.string()));
  };
  guard.AfterMoves = [this, &data_folder] { FPagesMoved = MoveHelpPages(data_folder); };
  FStaging->SetMoveGuard(std::move(guard));
  try {
    FStaging->Commit();
  } catch (const EStagedUpdateError& error) {
    checker.Release();
    return Message(TUpdateMessage::kUpdateInstallFailed)
        .arg(Text(error.File().string()), Text(error.Cause()));
  }
  return std::nullopt;
}

// The update's pages that land in the data folder itself, by their names
// there.
std::vector<std::string> TfrmDatabaseDist::TopLevelHelpPages() const {
  std::vector<std::string> pages;
  for (const std::string& name : FArchiveNames) {
    if (name.find('\\') != std::string::npos || name.find('/') != std::string::npos) continue;
    const std::string native = zorellz::Cp1252ToUtf8(name);
    if (IsHelpPageName(native)) pages.push_back(native);
  }
  return pages;
}

std::optional<QString> TfrmDatabaseDist::ExtractStaged(const std::string& staging_folder,
                                                       const std::string& data_folder,
                                                       std::string& command) {
  failed_entry_.clear();
  report_error_.clear();
  std::int32_t result = 0;
  try {
    const TCommandCapture capture(command);
    const TTargetFolderScope target(Extract, staging_folder, data_folder);
    result = Extract.DecompressSFXArchive();
  } catch (const TExtractionInterrupted&) {
    return QString();
  } catch (const std::exception& error) {
    return Message(TUpdateMessage::kUpdateFailed).arg(AsSentence(error.what()));
  }
  ShowUnattendedProgress(0, 0, 0, true);
  if (!report_error_.empty()) {
    return Message(TUpdateMessage::kUpdateFailed).arg(AsSentence(report_error_));
  }
  if (result < 0) return ExtractionFailure(result, staging_folder, data_folder);
  return std::nullopt;
}

// Names the damaged entry where it would have gone in the data folder, or
// else the update itself.
QString TfrmDatabaseDist::ExtractionFailure(std::int32_t result, const std::string& staging_folder,
                                            const std::string& data_folder) const {
  const QString cause = Text(zorellz::LZReadResultCause(result));
  if (failed_entry_.empty()) {
    return Message(TUpdateMessage::kUpdateNotReadable).arg(update_file_, cause);
  }
  // The engine reports the target path below the expanded staging folder.
  const std::string expanded =
      zorellz::IncludeTrailingSeparator(zorellz::ExpandFileName(staging_folder));
  std::string entry = failed_entry_;
  if (entry.starts_with(expanded)) {
    entry = data_folder + entry.substr(expanded.size());
  } else if (entry.starts_with(staging_folder)) {
    entry = data_folder + entry.substr(staging_folder.size());
  }
  return Message(TUpdateMessage::kUpdateFileFailed).arg(Text(entry), cause);
}

bool TfrmDatabaseDist::MoveHelpPages(const std::string& data_folder) {
  // Without a help folder the pages would go to the current folder.
  const std::string help_folder = FEnvironment->GetHelpDirectory();
  if (help_folder.empty()) {
    LogLine(Message(TUpdateMessage::kNoHelpFolder));
    if (UnattendedModeRequested()) {
      ShowMessage(Message(TUpdateMessage::kNoHelpFolder), TMessageKind::Information);
    }
    return true;
  }

  std::vector<QString> update_names;
  for (const std::string& name : FArchiveNames) {
    update_names.push_back(Text(zorellz::Cp1252ToUtf8(name)).toCaseFolded());
  }
  std::vector<zorellz::TDirEntry> entries;
  zorellz::ListDirectory(data_folder, entries);
  bool all_moved = true;
  for (const zorellz::TDirEntry& entry : entries) {
    if (!entry.IsRegular || entry.IsSymlink) continue;
    lblFileName->setText(Text(entry.Name));
    ProcessOneMessage();
    const QString folded = Text(entry.Name).toCaseFolded();
    if (std::find(update_names.begin(), update_names.end(), folded) == update_names.end()) continue;
    if (!IsHelpPageName(entry.Name)) continue;
    const std::string source = data_folder + entry.Name;
    const std::string destination = help_folder + entry.Name;
    const std::string cause = MoveHelpPage(destination, source);
    if (cause.empty()) {
      LogLine(QStringLiteral("moved ") + Text(source) + QStringLiteral(" to ") + Text(destination));
      continue;
    }
    ShowMessage(Message(TUpdateMessage::kHelpPageNotCopied)
                    .arg(Text(source), Text(destination), Text(cause)),
                TMessageKind::Error);
    all_moved = false;
  }
  return all_moved;
}

}  // namespace tessaline
