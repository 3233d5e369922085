#include "app/UpdateJournal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "app/HelpPages.h"
#include "platform/Durability.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/platform/File.h"

namespace tessaline {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[] = "tessaline-update-journal 1";

// One field per word: bytes that would split or end a line, and the escape
// itself, are written as %XX.
std::string Escape(const std::string& text) {
  std::string escaped;
  for (const unsigned char c : text) {
    if (c <= ' ' || c == '%' || c == 0x7F) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      escaped += hex;
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

std::string Unescape(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '%' && i + 2 < field.size()) {
      text += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      text += field[i];
    }
  }
  return text;
}

// Paths inside the data folder are kept relative to it, so that a journal
// stays true when the folder is reached by another name.
std::string Relative(const TUpdateJournal& journal, const fs::path& path) {
  return path.empty() ? "-" : Escape(path.lexically_relative(journal.DataFolder).string());
}

[[noreturn]] void Damaged(const fs::path& file) {
  throw std::runtime_error(file.string() + ": the journal of an interrupted update is damaged");
}

// A journal is a file in a folder that others may write to: every path it
// names must stay inside the data folder.
fs::path Inside(const TUpdateJournal& journal, const std::string& field, const fs::path& file) {
  const fs::path relative = fs::path(Unescape(field)).lexically_normal();
  if (relative.empty() || relative.is_absolute() || *relative.begin() == "..") Damaged(file);
  return journal.DataFolder / relative;
}

fs::path Optional(const TUpdateJournal& journal, const std::string& field, const fs::path& file) {
  return field == "-" ? fs::path() : Inside(journal, field, file);
}

// The updater's work folders: "<prefix><6 letters or digits>".
bool IsWorkFolderName(const std::string& name) {
  for (const std::string prefix : {kStagingPrefix, kReplacedPrefix}) {
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
  }
  return false;
}

std::string Format(const TUpdateJournal& journal) {
  std::ostringstream text;
  text << kMagic << '\n';
  for (const fs::path& folder : journal.WorkFolders)
    text << "work " << Relative(journal, folder) << '\n';
  for (const fs::path& folder : journal.NewFolders)
    text << "folder " << Relative(journal, folder) << '\n';
  for (const TJournalMove& move : journal.Moves) {
    text << "move " << Relative(journal, move.Staged) << ' ' << Relative(journal, move.Target)
         << ' ' << Relative(journal, move.Aside) << ' ' << move.Size << ' ' << move.Crc << '\n';
  }
  if (!journal.HelpFolder.empty()) {
    text << "help " << Escape(journal.HelpFolder.string()) << '\n';
    for (const std::string& page : journal.HelpPages) text << "page " << Escape(page) << '\n';
  }
  text << "end\n";
  return text.str();
}

void ParseLine(TUpdateJournal& journal, const std::string& line, const fs::path& file) {
  std::istringstream words(line);
  std::string kind;
  std::string first;
  words >> kind >> first;
  if (kind == "work") {
    const fs::path folder = Inside(journal, first, file);
    if (!IsWorkFolderName(folder.filename().string())) Damaged(file);
    journal.WorkFolders.push_back(folder);
  } else if (kind == "folder") {
    journal.NewFolders.push_back(Inside(journal, first, file));
  } else if (kind == "move") {
    std::string target;
    std::string aside;
    TJournalMove move;
    if (!(words >> target >> aside >> move.Size >> move.Crc)) Damaged(file);
    move.Staged = Inside(journal, first, file);
    move.Target = Inside(journal, target, file);
    move.Aside = Optional(journal, aside, file);
    journal.Moves.push_back(move);
  } else if (kind == "help") {
    // The help folder comes from the settings of the recovering run.
  } else if (kind == "page") {
    const std::string page = Unescape(first);
    if (page.find('/') != std::string::npos || !IsHelpPageName(page)) Damaged(file);
    journal.HelpPages.push_back(page);
  } else {
    Damaged(file);
  }
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
}

bool HoldsNewFile(const fs::path& path, const TJournalMove& move) {
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(path, error))) return false;
  if (static_cast<std::int64_t>(fs::file_size(path, error)) != move.Size || error) return false;
  try {
    return zorellz::GetFileCRC32(path.string()) == move.Crc;
  } catch (const std::exception&) {
    return false;
  }
}

std::string CauseOfErrno() {
  return std::generic_category().message(errno != 0 ? errno : EIO);
}

// Removes the folders that a run killed before writing its journal left:
// only folders of the updater's own making, never links.
void RemoveStaleWorkFolders(const fs::path& data_folder) {
  std::error_code error;
  fs::remove(data_folder / kJournalDraftName, error);
  for (fs::directory_iterator it(data_folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::error_code ignored;
    if (IsWorkFolderName(name) && it->symlink_status(ignored).type() == fs::file_type::directory) {
      fs::remove_all(it->path(), ignored);
    }
  }
}

}  // namespace

std::string WriteJournal(const TUpdateJournal& journal) {
  const fs::path draft = journal.DataFolder / kJournalDraftName;
  // Whatever has that name is no draft of ours, and is never written through.
  std::error_code ignored;
  fs::remove(draft, ignored);
  int error = 0;
  if (!zorellz::WriteNewFileDurably(draft, Format(journal), &error)) {
    return draft.string() + ": " + std::generic_category().message(error);
  }
  errno = 0;
  if (!zorellz::ReplaceFileNative(draft, journal.DataFolder / kJournalName) ||
      !zorellz::SyncPath(journal.DataFolder)) {
    const std::string cause = CauseOfErrno();
    zorellz::DeleteFileNative(draft);
    return (journal.DataFolder / kJournalName).string() + ": " + cause;
  }
  return "";
}

std::optional<TUpdateJournal> ReadJournal(const fs::path& data_folder) {
  const fs::path file = data_folder / kJournalName;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (!Exists(file)) return std::nullopt;
    throw std::runtime_error(file.string() + ": " + CauseOfErrno());
  }
  TUpdateJournal journal;
  journal.DataFolder = data_folder;
  std::string line;
  if (!std::getline(in, line) || line != kMagic) Damaged(file);
  while (std::getline(in, line)) {
    if (line == "end") return journal;
    ParseLine(journal, line, file);
  }
  Damaged(file);
}

void RemoveJournal(const fs::path& data_folder) {
  std::error_code ignored;
  fs::remove(data_folder / kJournalName, ignored);
  zorellz::SyncPath(data_folder);
}

bool NewFilesVerified(const TUpdateJournal& journal) {
  for (const TJournalMove& move : journal.Moves) {
    if (!HoldsNewFile(Exists(move.Staged) ? move.Staged : move.Target, move)) return false;
  }
  return true;
}

std::string RollForward(const TUpdateJournal& journal) {
  std::error_code error;
  for (const fs::path& folder : journal.NewFolders) {
    if (!fs::is_directory(folder, error) && !fs::create_directory(folder, error)) {
      return folder.string() + ": " + error.message();
    }
  }
  for (const TJournalMove& move : journal.Moves) {
    if (!Exists(move.Staged)) continue;  // moved in already
    errno = 0;
    if (!move.Aside.empty() && !Exists(move.Aside) && Exists(move.Target)) {
      fs::create_directories(move.Aside.parent_path(), error);
      if (!zorellz::RenameFileNative(move.Target, move.Aside)) {
        return move.Target.string() + ": " + CauseOfErrno();
      }
    }
    if (!zorellz::ReplaceFileNative(move.Staged, move.Target)) {
      return move.Target.string() + ": " + CauseOfErrno();
    }
  }
  zorellz::SyncFileSystemOf(journal.DataFolder);
  // A page that cannot be moved stays in the data folder, as in a run.
  if (journal.HelpFolder.empty()) return "";
  for (const std::string& page : journal.HelpPages) {
    const fs::path source = journal.DataFolder / page;
    if (zorellz::FileExists(source)) MoveHelpPage(journal.HelpFolder / page, source);
  }
  return "";
}

bool RollBack(const TUpdateJournal& journal) {
  bool restored = true;
  std::error_code ignored;
  for (auto move = journal.Moves.rbegin(); move != journal.Moves.rend(); ++move) {
    if (!move->Aside.empty()) {
      if (Exists(move->Aside) && !zorellz::ReplaceFileNative(move->Aside, move->Target)) {
        restored = false;
      }
    } else if (!Exists(move->Staged) && Exists(move->Target)) {
      fs::remove(move->Target, ignored);
    }
  }
  // Fails, as it should, for a folder that something else has been put in.
  for (auto folder = journal.NewFolders.rbegin(); folder != journal.NewFolders.rend(); ++folder) {
    fs::remove(*folder, ignored);
  }
  zorellz::SyncFileSystemOf(journal.DataFolder);
  return restored;
}

void DiscardJournal(const TUpdateJournal& journal) {
  std::error_code ignored;
  for (const fs::path& folder : journal.WorkFolders) fs::remove_all(folder, ignored);
  RemoveJournal(journal.DataFolder);
}

TRecovery RecoverInterruptedUpdate(const fs::path& data_folder,
                                   const std::function<fs::path()>& help_folder,
                                   std::string& detail) {
  std::optional<TUpdateJournal> journal;
  try {
    journal = ReadJournal(data_folder);
  } catch (const std::exception& error) {
    detail = error.what();
    return TRecovery::kFailed;
  }
  if (!journal) {
    RemoveStaleWorkFolders(data_folder);
    return TRecovery::kNothingToDo;
  }
  if (NewFilesVerified(*journal)) {
    if (!journal->HelpPages.empty() && help_folder) journal->HelpFolder = help_folder();
    detail = RollForward(*journal);
    if (detail.empty()) {
      DiscardJournal(*journal);
      RemoveStaleWorkFolders(data_folder);
      return TRecovery::kRolledForward;
    }
  }
  if (!RollBack(*journal)) {
    detail = "a replaced file could not be put back; it is kept in the update's work folder";
    return TRecovery::kFailed;
  }
  DiscardJournal(*journal);
  RemoveStaleWorkFolders(data_folder);
  return TRecovery::kRolledBack;
}

}  // namespace tessaline
