// The update run: data folder, the update's readability, the lock check, the
// all-or-nothing extraction and the help pages, each a step that shows its
// own message and ends the run when it cannot go on.
#include <QString>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/HelpPages.h"
#include "app/MessagePump.h"
#include "app/StagedUpdate.h"
#include "app/Unattended.h"
#include "app/uMainDBDistribution.h"
#include "archive/engine/ResultText.h"
#include "platform/File.h"
#include "platform/FileInUse.h"
#include "platform/Names.h"
#include "platform/System.h"
#include "ui/AppStrings.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// A message of the library as a sentence of ours.
QString AsSentence(const std::string& text) {
  QString sentence = Text(text).trimmed();
  if (!sentence.endsWith(u'.') && !sentence.endsWith(u'!') && !sentence.endsWith(u'?')) {
    sentence += u'.';
  }
  return sentence;
}

// The database files of the host: ".DAT" and ".IDX", in any case.
bool IsDatabaseFile(const std::string& path) {
  const std::string extension = zorellz::UpperCaseAscii(zorellz::ExtractFileExt(path));
  return extension == ".DAT" || extension == ".IDX";
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

void TfrmDatabaseDist::RunGuarded() {
  std::string data_folder;
  if (!CheckDataFolder(data_folder)) return;
  if (!CheckUpdateViewed()) return;
  if (!CheckLocks(data_folder)) return;
  if (!ExtractIntoPlace(data_folder)) return;
  const bool pages_moved = MoveHelpPages(data_folder);
  ShowMessage(AppString(TAppString::kUpdateCompleted), TMessageKind::Confirmation);
  Finish(pages_moved ? TRunOutcome::kCompleted : TRunOutcome::kHelpPagesLeft);
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
  emit runFinished();
  if (UnattendedModeRequested()) close();
}

bool TfrmDatabaseDist::CheckDataFolder(std::string& data_folder) {
  data_folder = FEnvironment->GetDataDirectory();
  if (!data_folder.empty()) return true;
  ShowMessage(AppString(TAppString::kDataFolderNotFound), TMessageKind::Information);
  Finish(TRunOutcome::kNoDataFolder);
  return false;
}

// Without the update's list of entries the lock check would pass unseen.
bool TfrmDatabaseDist::CheckUpdateViewed() {
  if (!view_failure_) return true;
  ShowMessage(AppString(TAppString::kUpdateNotReadable).arg(update_file_, Text(*view_failure_)),
              TMessageKind::Error);
  Finish(TRunOutcome::kFailed);
  return false;
}

bool TfrmDatabaseDist::CheckLocks(const std::string& data_folder) {
  for (const std::string& name : FArchiveNames) {
    const std::string path = data_folder + zorellz::ArchivePathToNative(name).string();
    if (!IsDatabaseFile(path)) continue;
    switch (zorellz::CheckFileInUse(path)) {
      case zorellz::TFileUse::kNotInUse:
        break;
      case zorellz::TFileUse::kInUse:
        ShowMessage(AppString(TAppString::kFileLocked).arg(Text(path)), TMessageKind::Error);
        Finish(TRunOutcome::kFileLocked);
        return false;
      case zorellz::TFileUse::kUnreadable:
        ShowMessage(AppString(TAppString::kLockCheckFailed).arg(Text(path)), TMessageKind::Error);
        Finish(TRunOutcome::kLockCheckFailed);
        return false;
    }
  }
  return true;
}

bool TfrmDatabaseDist::ExtractIntoPlace(const std::string& data_folder) {
  std::string command;
  if (const std::optional<QString> failure = InstallUpdate(data_folder, command)) {
    ShowMessage(*failure, TMessageKind::Error);
    Finish(TRunOutcome::kFailed);
    return false;
  }
  if (!command.empty()) zorellz::StartCommand(command);
  return true;
}

// The staging folder is gone when this returns, whichever way.
std::optional<QString> TfrmDatabaseDist::InstallUpdate(const std::string& data_folder,
                                                       std::string& command) {
  std::unique_ptr<TStagedUpdate> staging;
  try {
    staging = std::make_unique<TStagedUpdate>(fs::path(data_folder));
  } catch (const EStagedUpdateError& error) {
    return AppString(TAppString::kUpdateFailed)
        .arg(Text(error.File().string()) + QStringLiteral(": ") + AsSentence(error.Cause()));
  }
  const std::string staging_folder =
      zorellz::IncludeTrailingSeparator(staging->StagingFolder().string());
  if (std::optional<QString> failure = ExtractStaged(staging_folder, data_folder, command)) {
    return failure;
  }
  try {
    staging->Commit();
  } catch (const EStagedUpdateError& error) {
    return AppString(TAppString::kUpdateInstallFailed)
        .arg(Text(error.File().string()), Text(error.Cause()));
  }
  return std::nullopt;
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
  } catch (const std::exception& error) {
    return AppString(TAppString::kUpdateFailed).arg(AsSentence(error.what()));
  }
  if (!report_error_.empty()) {
    return AppString(TAppString::kUpdateFailed).arg(AsSentence(report_error_));
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
    return AppString(TAppString::kUpdateNotReadable).arg(update_file_, cause);
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
  return AppString(TAppString::kUpdateFileFailed).arg(Text(entry), cause);
}

bool TfrmDatabaseDist::MoveHelpPages(const std::string& data_folder) {
  // Without a help folder the pages would go to the current folder.
  const std::string help_folder = FEnvironment->GetHelpDirectory();
  if (help_folder.empty()) return true;

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
    if (cause.empty()) continue;
    ShowMessage(
        AppString(TAppString::kHelpPageNotCopied).arg(Text(source), Text(destination), Text(cause)),
        TMessageKind::Error);
    all_moved = false;
  }
  return all_moved;
}

}  // namespace tessaline
