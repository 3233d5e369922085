// TfrmDatabaseDist: the updater's one window and its one-shot update run.
// Created, it reads the data folder, points its archive component at the
// update (the archive appended to this program's executable) and keeps the
// path of every entry.  Two seconds later the run checks the data folder and
// that no database file the update replaces (".DAT", ".IDX") is open
// elsewhere, extracts the update into a staging folder inside the data folder
// with CRC checking, moves the files into place all or nothing, moves the
// update's ".HTML" pages into the help folder, tells the user how it ended
// and closes the window.  Every message goes through QMMsgDlg.
//
// The run processes events while it works (Delay), so the window repaints;
// a request to close the window that arrives meanwhile is carried out when
// the run has finished.  No exception leaves a handler.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/OrvLiteEnvironment.h"
#include "app/StagedUpdate.h"
#include "platform/FolderLock.h"
#include "ui/KolvaneMessageDlg.h"
#include "zorellz/component/ZRLLZSS.h"

namespace tessaline {

// Raised through the archive engine to end an extraction early when a
// termination request arrives.
struct TExtractionInterrupted {};

// How the run ended, for the program's exit status and for tests.
enum class TRunOutcome {
  kNotRun,  // the timer has not fired yet
  kRunning,
  kCompleted,      // everything extracted and moved into place
  kHelpPagesLeft,  // completed, but a help page could not be copied and stayed
  kNoDataFolder,
  kDataFolderMissing,     // the data folder named by the settings is not there
  kAnotherUpdateRunning,  // another updater holds the data folder's lock
  kRecoveryFailed,        // an interrupted update could not be completed or taken back
  kInterrupted,           // a termination request stopped the run; nothing changed
  kFileLocked,
  kLockCheckFailed,
  kFailed,     // the update could not be read, extracted or put in place
  kException,  // an unexpected exception stopped the run
};

// The program's exit status for an outcome: 0 completed, 2 completed with a
// help page left in the data folder, 1 otherwise.
int ExitStatusOf(TRunOutcome outcome);

class TfrmDatabaseDist : public QWidget {
  Q_OBJECT

 public:
  // `update_file` holds the update (an executable with an appended archive);
  // empty: this program's own executable.  Calls FormCreate.
  explicit TfrmDatabaseDist(QWidget* parent = nullptr, const QString& update_file = QString());
  // Calls FormDestroy.
  ~TfrmDatabaseDist() override;

  // ---- Event handlers (public so that tests can drive them) ------------------
  void FormCreate();
  void FormDestroy();
  // The update run; the timer calls it once.
  void ExtractTimerTimer();
  std::int32_t ExtractProgressReport(zorellz::TZorelLZObj& sender,
                                     const zorellz::TLZReportRec& current_record,
                                     std::int32_t number);
  std::int32_t ExtractViewArchive(zorellz::TZorelLZObj& sender,
                                  zorellz::PZorelLZArchiveHeader archive_info,
                                  std::int32_t current_num);

  // ---- Components ----------------------------------------------------------------
  QLabel* lblTitle = nullptr;
  QLabel* imgKlvne = nullptr;
  QFrame* shpTitleLine = nullptr;
  QLabel* lblCurrentFile = nullptr;
  QLabel* lblFileName = nullptr;
  zorellz::TZorelLZObj Extract;
  QTimer* ExtractTimer = nullptr;
  TKolvaneMessageDlg* QMMsgDlg = nullptr;

  // ---- State -------------------------------------------------------------------
  // The entries' paths inside the archive (Windows-1252, backslashes), in
  // archive order.
  const std::vector<std::string>& ArchiveNames() const { return FArchiveNames; }
  std::int32_t FilesReported() const { return FFilesReported; }
  std::int32_t FileTotal() const { return FFileTotal; }
  TRunOutcome Outcome() const { return outcome_; }

 signals:
  // lblFileName has just been set to `name` by a report of the extraction.
  void fileReported(const QString& name);
  // The run has ended (see Outcome); the window closes right after, except
  // when an unexpected exception stopped it.
  void runFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Each step answers false when the run must stop (its message shown).
  bool CheckDataFolder(std::string& data_folder);
  bool LockDataFolder(const std::string& data_folder);
  bool RecoverInterruptedRun(const std::string& data_folder);
  bool CheckNotInterrupted();
  bool CheckUpdateViewed();
  bool CheckLocks(const std::string& data_folder);
  bool ExtractIntoPlace(const std::string& data_folder);
  // False when a help page had to stay in the data folder.
  bool MoveHelpPages(const std::string& data_folder);
  void Finish(TRunOutcome outcome);
  void ShowMessage(const QString& text, TMessageKind kind);
  void RunGuarded();
  void StopOnException(const std::string& what);

  // The update extracted into a staging folder and moved into place; the
  // message to show when that failed.  `command` receives the command the
  // update carries, to be started once the data is in place.
  std::optional<QString> InstallUpdate(const std::string& data_folder, std::string& command);
  std::optional<QString> CommitStaged(const std::string& data_folder);
  std::vector<std::string> TopLevelHelpPages() const;
  std::optional<QString> ExtractStaged(const std::string& staging_folder,
                                       const std::string& data_folder, std::string& command);
  QString ExtractionFailure(std::int32_t result, const std::string& staging_folder,
                            const std::string& data_folder) const;

  std::unique_ptr<TOrvLiteEnvironmentObject> FEnvironment;
  // Held from the data-folder check to the end of the run.
  zorellz::TFolderLock FUpdateLock;
  // The update being staged and committed.
  std::unique_ptr<TStagedUpdate> FStaging;
  long long FBytesReported = 0;
  bool FPagesMoved = true;
  std::int32_t FFilesReported = 0;
  std::int32_t FFileTotal = 0;
  std::vector<std::string> FArchiveNames;

  QString update_file_;
  // Why the update could not be viewed at creation; empty optional: viewed.
  std::optional<std::string> view_failure_;
  std::string failed_entry_;  // the last entry reported as damaged (its target path)
  std::string report_error_;  // an exception caught in ExtractProgressReport
  TRunOutcome outcome_ = TRunOutcome::kNotRun;
  bool close_requested_ = false;
  bool cursor_set_ = false;
};

}  // namespace tessaline
