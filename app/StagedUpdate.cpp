#include "app/StagedUpdate.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/Durability.h"
#include "platform/Ownership.h"
#include "platform/System.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/platform/File.h"

namespace tessaline {

namespace fs = std::filesystem;

namespace {

std::function<bool(const fs::path&)>& MoveHook() {
  static std::function<bool(const fs::path&)> hook;
  return hook;
}

std::string Cause(std::errc code) {
  return std::make_error_code(code).message();
}

std::string CauseOfErrno(int error) {
  return error != 0 ? std::generic_category().message(error) : Cause(std::errc::io_error);
}

[[noreturn]] void Fail(const fs::path& target, const std::string& cause) {
  throw EStagedUpdateError(target, cause);
}

// A new folder `<parent>/<prefix><random>`; raises when none can be made.
fs::path MakeUniqueFolder(const fs::path& parent, const std::string& prefix) {
  errno = 0;
  fs::path folder = zorellz::CreateUniqueDirectory(parent, prefix);
  if (folder.empty()) Fail(parent, CauseOfErrno(errno));
  return folder;
}

// The test seam of the crash tests: TESSALINE_TEST_DIE_AT names a point of
// the commit ("journal", or "move:N" after the N-th file is in place) where
// the process ends at once, as if killed; TESSALINE_TEST_SIGNAL_AT one where
// it receives a termination request.
void Checkpoint(const std::string& point) {
  static const char* const die_at = std::getenv("TESSALINE_TEST_DIE_AT");
  static const char* const signal_at = std::getenv("TESSALINE_TEST_SIGNAL_AT");
  if (die_at != nullptr && point == die_at) std::_Exit(137);
  if (signal_at != nullptr && point == signal_at) std::raise(SIGTERM);
}

struct TStagedEntry {
  fs::path Relative;
  fs::file_type Type;
};

// Everything below `staging`, links not followed, parents before children.
std::vector<TStagedEntry> ListStaged(const fs::path& staging) {
  std::vector<TStagedEntry> entries;
  std::error_code error;
  fs::recursive_directory_iterator it(staging, error), end;
  for (; !error && it != end; it.increment(error)) {
    const fs::file_type type = it->symlink_status(error).type();
    if (error) break;
    entries.push_back({it->path().lexically_relative(staging), type});
  }
  if (error) Fail(staging, error.message());
  std::sort(entries.begin(), entries.end(),
            [](const TStagedEntry& a, const TStagedEntry& b) { return a.Relative < b.Relative; });
  return entries;
}

// What is in the place of a staged folder: true when the folder must be
// created; raises when something else is in the way.  A link to a folder
// is a folder the host's installation keeps elsewhere.
bool FolderNeeded(const fs::path& target) {
  std::error_code error;
  switch (fs::symlink_status(target, error).type()) {
    case fs::file_type::not_found:
      return true;
    case fs::file_type::directory:
      return false;
    case fs::file_type::symlink:
      if (fs::is_directory(target, error)) return false;
      Fail(target, Cause(std::errc::not_a_directory));
    case fs::file_type::none:
      Fail(target, error.message());
    default:
      Fail(target, Cause(std::errc::not_a_directory));
  }
}

// What is in the place of a staged file: true when something is there to be
// replaced (a file, or a link that is replaced itself rather than written
// through); raises for a folder.
bool FileReplaced(const fs::path& target) {
  std::error_code error;
  switch (fs::symlink_status(target, error).type()) {
    case fs::file_type::not_found:
      return false;
    case fs::file_type::directory:
      Fail(target, Cause(std::errc::is_a_directory));
    case fs::file_type::none:
      Fail(target, error.message());
    default:
      return true;
  }
}

// The journal of the commit: every folder to create and every move, checked
// for what stands in its way before anything is changed.
void PlanCommit(const std::vector<TStagedEntry>& entries, const fs::path& staging,
                const fs::path& replaced, TUpdateJournal& journal) {
  for (const TStagedEntry& entry : entries) {
    const fs::path target = journal.DataFolder / entry.Relative;
    if (entry.Type == fs::file_type::directory) {
      if (FolderNeeded(target)) journal.NewFolders.push_back(target);
      continue;
    }
    // The engine writes no links; following one could lead anywhere.
    if (entry.Type == fs::file_type::symlink) {
      Fail(target, Cause(std::errc::too_many_symbolic_link_levels));
    }
    if (entry.Type != fs::file_type::regular) Fail(target, Cause(std::errc::invalid_argument));
    TJournalMove move;
    move.Staged = staging / entry.Relative;
    move.Target = target;
    if (FileReplaced(target)) move.Aside = replaced / entry.Relative;
    journal.Moves.push_back(std::move(move));
  }
}

// The device of the nearest folder of `path` that exists (links followed).
std::uint64_t DeviceOfNearestFolder(fs::path path, fs::path& folder) {
  zorellz::TFileIdentity identity;
  for (folder = path.parent_path(); !folder.empty(); folder = folder.parent_path()) {
    if (zorellz::GetFileIdentity(folder, identity)) return identity.Device;
    if (folder == folder.root_path()) break;
  }
  return 0;
}

// A file whose folder lies on another file system than the staging folder
// (a sub-folder mounted there, or a link to a folder there) is staged again
// in work folders beside it, so that every move into place is still a
// rename, never a copy over the target.  Returns the work folders that
// this needs, named after the staging folder, without making them.
std::vector<fs::path> ForeignWorkFolders(const TUpdateJournal& journal, const fs::path& staging,
                                         std::vector<fs::path>& anchors) {
  zorellz::TFileIdentity own;
  if (!zorellz::GetFileIdentity(staging, own)) Fail(staging, CauseOfErrno(errno));
  std::vector<fs::path> folders;
  anchors.assign(journal.Moves.size(), fs::path());
  for (std::size_t i = 0; i < journal.Moves.size(); ++i) {
    fs::path anchor;
    if (DeviceOfNearestFolder(journal.Moves[i].Target, anchor) == own.Device) continue;
    anchors[i] = anchor;
    for (const char* prefix : {kStagingPrefix, kReplacedPrefix}) {
      const fs::path folder =
          anchor /
          (prefix + staging.filename().string().substr(std::string(kStagingPrefix).size()));
      if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
        folders.push_back(folder);
      }
    }
  }
  return folders;
}

// Makes `folder` new, open to its owner only: something already there under
// that name (a link planted to lead the files elsewhere) fails the commit.
void MakePrivateFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::create_directory(folder, error)) {
    Fail(folder, error ? error.message() : Cause(std::errc::file_exists));
  }
  fs::permissions(folder, fs::perms::owner_all, error);
  if (error) Fail(folder, error.message());
}

// Copies each foreign file into the work folders of its own file system and
// points its move there.
void StageOnTargetFileSystems(TUpdateJournal& journal, const fs::path& staging,
                              const std::vector<fs::path>& anchors) {
  const std::string suffix = staging.filename().string().substr(std::string(kStagingPrefix).size());
  for (std::size_t i = 0; i < journal.Moves.size(); ++i) {
    if (anchors[i].empty()) continue;
    TJournalMove& move = journal.Moves[i];
    const fs::path relative = move.Target.lexically_relative(anchors[i]);
    const fs::path copy = anchors[i] / (kStagingPrefix + suffix) / relative;
    std::error_code error;
    fs::create_directories(copy.parent_path(), error);
    errno = 0;
    if (error || !zorellz::CopyFileNative(move.Staged, copy, /*fail_if_exists=*/true)) {
      Fail(move.Target, error ? error.message() : CauseOfErrno(errno));
    }
    move.Staged = copy;
    if (!move.Aside.empty()) move.Aside = anchors[i] / (kReplacedPrefix + suffix) / relative;
  }
}

// Each new file takes the owner and permissions of the file it replaces,
// and the journal records its size and CRC-32.
void SealStagedFiles(TUpdateJournal& journal) {
  for (TJournalMove& move : journal.Moves) {
    const std::string cause = zorellz::TakeOwnershipFrom(move.Target, move.Staged);
    if (!cause.empty()) Fail(move.Target, cause);
    std::error_code error;
    move.Size = static_cast<std::int64_t>(fs::file_size(move.Staged, error));
    if (error) Fail(move.Target, error.message());
    try {
      move.Crc = zorellz::GetFileCRC32(move.Staged.string());
    } catch (const std::exception& read_error) {
      Fail(move.Target, read_error.what());
    }
  }
}

}  // namespace

EStagedUpdateError::EStagedUpdateError(fs::path file, const std::string& cause)
    : std::runtime_error(file.string() + ": " + cause), file_(std::move(file)), cause_(cause) {}

TStagedUpdate::TStagedUpdate(const fs::path& data_folder)
    : data_folder_(data_folder), staging_(MakeUniqueFolder(data_folder, kStagingPrefix)) {}

TStagedUpdate::~TStagedUpdate() {
  // A failed commit that could not put every replaced file back leaves the
  // journal and its folders for the next start, which tries again.
  if (keep_replaced_) return;
  try {
    if (journal_written_) {
      DiscardJournal(journal_);
    } else {
      std::error_code ignored;
      fs::remove_all(staging_, ignored);
      if (!replaced_.empty()) fs::remove_all(replaced_, ignored);
    }
  } catch (...) {
    // Best effort: the next start removes what is left.
  }
}

void TStagedUpdate::SetMoveHookForTesting(std::function<bool(const fs::path&)> hook) {
  MoveHook() = std::move(hook);
}

void TStagedUpdate::SetHelpPages(const fs::path& help_folder, std::vector<std::string> pages) {
  journal_.HelpFolder = help_folder;
  journal_.HelpPages = std::move(pages);
}

void TStagedUpdate::Commit() {
  if (committed_) throw std::logic_error("TStagedUpdate::Commit called twice");
  committed_ = true;
  const std::vector<TStagedEntry> entries = ListStaged(staging_);
  replaced_ = MakeUniqueFolder(data_folder_, kReplacedPrefix);
  journal_.DataFolder = data_folder_;
  journal_.WorkFolders = {staging_, replaced_};
  PlanCommit(entries, staging_, replaced_, journal_);
  std::vector<fs::path> anchors;
  const std::vector<fs::path> foreign = ForeignWorkFolders(journal_, staging_, anchors);
  if (!foreign.empty()) {
    // Named in a journal without moves before they are made, so that a run
    // killed meanwhile leaves nothing the next start does not remove.
    journal_.WorkFolders.insert(journal_.WorkFolders.end(), foreign.begin(), foreign.end());
    TUpdateJournal folders_only = journal_;
    folders_only.NewFolders.clear();
    folders_only.Moves.clear();
    folders_only.HelpPages.clear();
    WriteJournalOrFail(folders_only);
    for (const fs::path& folder : foreign) MakePrivateFolder(folder);
    StageOnTargetFileSystems(journal_, staging_, anchors);
  }
  SealStagedFiles(journal_);

  // The staged files and the journal reach the device before the first move.
  zorellz::SyncFileSystemOf(staging_);
  for (const fs::path& folder : foreign) zorellz::SyncFileSystemOf(folder.parent_path());
  WriteJournalOrFail(journal_);
  Checkpoint("journal");
  try {
    MakeMoves();
  } catch (...) {
    if (!RollBack(journal_)) keep_replaced_ = true;
    throw;
  }
  zorellz::SyncFileSystemOf(data_folder_);
  if (guard_.AfterMoves) guard_.AfterMoves();
  DiscardJournal(journal_);
  journal_written_ = false;
  replaced_.clear();
}

void TStagedUpdate::WriteJournalOrFail(const TUpdateJournal& journal) {
  const std::string cause = WriteJournal(journal);
  if (!cause.empty()) Fail(data_folder_ / kJournalName, cause);
  journal_written_ = true;
}

void TStagedUpdate::MakeMoves() {
  std::error_code error;
  for (const fs::path& folder : journal_.NewFolders) {
    if (!fs::create_directory(folder, error)) {
      Fail(folder, error ? error.message() : Cause(std::errc::file_exists));
    }
  }
  int moved = 0;
  for (const TJournalMove& move : journal_.Moves) {
    if (guard_.BeforeMove) guard_.BeforeMove(move);
    errno = 0;
    if (!move.Aside.empty()) {
      fs::create_directories(move.Aside.parent_path(), error);
      if (error) Fail(move.Target, error.message());
      if (!zorellz::RenameFileNative(move.Target, move.Aside)) {
        Fail(move.Target, CauseOfErrno(errno));
      }
    }
    const auto& hook = MoveHook();
    if (hook && !hook(move.Target)) Fail(move.Target, Cause(std::errc::io_error));
    errno = 0;
    if (!zorellz::RenameFileNative(move.Staged, move.Target)) {
      Fail(move.Target, CauseOfErrno(errno));
    }
    if (guard_.AfterMove) guard_.AfterMove(move);
    Checkpoint("move:" + std::to_string(++moved));
  }
}

}  // namespace tessaline
