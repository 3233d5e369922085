// The intent journal of an update: written into the data folder, and flushed
// to the device with the staged files, before the first file is moved into
// place, and removed when the run has ended.  It names every move (staged
// file to target, replaced target to its place aside) and every folder the
// run creates, so that a run that was killed half way can be completed or
// taken back by the next start, whatever update that start carries.
//
// Each move is one rename, so the state of a move can be read off the disk:
// a staged file still in the staging folder has not been moved in, a
// replaced file in the aside folder has been moved out.  Standard library
// only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

// The journal's name in the data folder, and its name while it is written.
inline constexpr char kJournalName[] = ".tessaline-journal";
inline constexpr char kJournalDraftName[] = ".tessaline-journal.new";
// The lock file that keeps a second updater off the folder (FolderLock.h).
inline constexpr char kUpdateLockName[] = ".tessaline-update.lock";
// The prefixes of the work folders the updater makes in a data folder.
inline constexpr char kStagingPrefix[] = ".tessaline-update-";
inline constexpr char kReplacedPrefix[] = ".tessaline-replaced-";

struct TJournalMove {
  std::filesystem::path Staged;  // the new file, in a staging folder
  std::filesystem::path Target;  // where it goes
  std::filesystem::path Aside;   // where the file it replaces goes; empty: none
  std::int64_t Size = 0;         // of the new file
  std::uint32_t Crc = 0;         // CRC-32 of the new file
};

struct TUpdateJournal {
  std::filesystem::path DataFolder;
  std::vector<std::filesystem::path> WorkFolders;  // removed when the run ends
  std::vector<std::filesystem::path> NewFolders;   // created by the run, parents first
  std::vector<TJournalMove> Moves;                 // in the order they are made
  // Help pages that go from the data folder to the help folder once every
  // move is made; no help folder: none.
  std::filesystem::path HelpFolder;
  std::vector<std::string> HelpPages;  // names in the data folder
};

// Writes the journal of `journal.DataFolder` durably: a draft first, then
// renamed over the journal's name, each step flushed.  "" or the cause.
std::string WriteJournal(const TUpdateJournal& journal);

// The journal of `data_folder`: nullopt when there is none; a journal that
// cannot be read, is incomplete, or names a path outside the data folder (or
// a work folder not of the updater's making) raises std::runtime_error
// naming it.  Its help folder is not read back: the help folder is the one
// the settings give when the journal is acted on.
std::optional<TUpdateJournal> ReadJournal(const std::filesystem::path& data_folder);

// Removes the journal of `data_folder` durably.
void RemoveJournal(const std::filesystem::path& data_folder);

// True when every new file is present and sound: still staged, or already
// in place, with the size and CRC-32 the journal gives.
bool NewFilesVerified(const TUpdateJournal& journal);

// Makes every move that has not been made yet, then moves the help pages.
// "" or the cause of the first move that failed (the journal then stays).
std::string RollForward(const TUpdateJournal& journal);

// Takes back every move that was made, last first, and removes the folders
// the run created.  False when a replaced file could not be put back (it is
// then still aside, and the journal must stay for another attempt).
bool RollBack(const TUpdateJournal& journal);

// Removes the work folders the journal names, then the journal.
void DiscardJournal(const TUpdateJournal& journal);

// Which way a recovery went.
enum class TRecovery { kNothingToDo, kRolledForward, kRolledBack, kFailed };

// Completes or takes back the run an unfinished journal of `data_folder`
// describes: forward when every new file is verified (its help pages then
// go to the folder `help_folder` gives, when it gives one; it is asked only
// then), back otherwise.  Then removes its
// work folders and the journal; with no journal, removes the work folders
// that a run killed before its journal was written left behind.  The caller
// holds the folder's update lock.  `detail` receives the cause when the
// recovery failed.
TRecovery RecoverInterruptedUpdate(const std::filesystem::path& data_folder,
                                   const std::function<std::filesystem::path()>& help_folder,
                                   std::string& detail);

}  // namespace tessaline
