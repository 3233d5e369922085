// An update applied all or nothing.  The files are first extracted into a
// staging folder inside the data folder (the same file system, so that every
// later move is a rename; a file whose folder is on another file system is
// staged again beside it).  Commit then writes the run's journal
// (UpdateJournal.h) and moves each staged file to its place, keeping every
// file it replaces aside until the run has ended; when one move fails,
// everything moved so far is put back, so the data folder is never left
// half updated, and a run killed half way is completed or taken back by the
// next start.  Platform layer and standard library only.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/UpdateJournal.h"

namespace tessaline {

// A failure of staging or of the commit: the file concerned and the cause.
class EStagedUpdateError : public std::runtime_error {
 public:
  EStagedUpdateError(std::filesystem::path file, const std::string& cause);
  const std::filesystem::path& File() const { return file_; }
  const std::string& Cause() const { return cause_; }

 private:
  std::filesystem::path file_;
  std::string cause_;
};

class TStagedUpdate {
 public:
  // Creates a new, empty, uniquely named hidden staging folder inside
  // `data_folder`; raises EStagedUpdateError when it cannot.
  explicit TStagedUpdate(const std::filesystem::path& data_folder);
  // Removes the staging folder, the folder of replaced files and whatever
  // they still hold, and the journal; only when a failed commit could not
  // put every replaced file back do they stay, since that folder then holds
  // their only copy (the next start tries again).
  ~TStagedUpdate();
  TStagedUpdate(const TStagedUpdate&) = delete;
  TStagedUpdate& operator=(const TStagedUpdate&) = delete;

  const std::filesystem::path& StagingFolder() const { return staging_; }

  // The help pages (names in the data folder) that go to `help_folder` after
  // the commit; a run that is completed by the next start moves them then.
  void SetHelpPages(const std::filesystem::path& help_folder, std::vector<std::string> pages);

  // Called around each move into place; either may raise EStagedUpdateError
  // to stop the commit, which is then taken back.  AfterMoves is called once
  // every move is made, while the journal still stands (to move the help
  // pages: a run killed meanwhile is completed by the next start).
  struct TMoveGuard {
    std::function<void(const TJournalMove& move)> BeforeMove;
    std::function<void(const TJournalMove& move)> AfterMove;
    std::function<void()> AfterMoves;
  };
  void SetMoveGuard(TMoveGuard guard) { guard_ = std::move(guard); }

  // Moves every staged file (sub-folders included, in path order) to the
  // same relative place in the data folder, creating the folders it needs; a
  // staged folder that is empty is created too.  A folder in the place of a
  // file, a file in the place of a folder, or anything but a regular file or
  // folder in the staging folder fails the commit.  A link in the data folder
  // where a file goes is replaced itself; a link to a folder where a folder
  // goes is used as that folder.  On failure the data folder is restored
  // (replaced files back, new files and folders gone) and EStagedUpdateError
  // names the file that could not be moved.  Each new file takes the owner,
  // group, permissions and attributes of the file it replaces.  When it
  // returns, the journal and the work folders are gone.  Call at most once.
  void Commit();

  // Called before each staged file is moved into place, with the target;
  // answering false fails that move.  An empty function removes the hook.
  static void SetMoveHookForTesting(std::function<bool(const std::filesystem::path&)> hook);

 private:
  void WriteJournalOrFail(const TUpdateJournal& journal);
  void MakeMoves();

  std::filesystem::path data_folder_;
  std::filesystem::path staging_;
  std::filesystem::path replaced_;
  TUpdateJournal journal_;
  TMoveGuard guard_;
  bool committed_ = false;
  bool journal_written_ = false;
  bool keep_replaced_ = false;
};

}  // namespace tessaline
