#include "app/UpdateInspection.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/DatabaseFiles.h"
#include "app/HelpPages.h"
#include "app/OrvLiteEnvironment.h"
#include "app/UpdateJournal.h"
#include "app/UpdateMessages.h"
#include "platform/FileInUse.h"
#include "platform/FolderLock.h"
#include "platform/Names.h"
#include "platform/System.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace tessaline {

namespace {

struct TEntry {
  std::string Path;  // native, '/' separated
  zorellz::TLZFileEntry Record;
};

void PrintLine(std::FILE* stream, const QString& text) {
  const QByteArray line = text.toUtf8() + '\n';
  std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stream);
}

void Print(const QString& text) {
  PrintLine(stdout, text);
}

void PrintError(const QString& text) {
  PrintLine(stderr, QStringLiteral("Error: ") + text);
}

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// A packed DOS date-time as "YYYY-MM-DD hh:mm".
QString DateText(std::int32_t dos) {
  const auto value = static_cast<std::uint32_t>(dos);
  const std::uint32_t date = value >> 16;
  const std::uint32_t time = value & 0xFFFF;
  return QStringLiteral("%1-%2-%3 %4:%5")
      .arg(1980 + (date >> 9), 4, 10, QLatin1Char('0'))
      .arg((date >> 5) & 15, 2, 10, QLatin1Char('0'))
      .arg(date & 31, 2, 10, QLatin1Char('0'))
      .arg(time >> 11, 2, 10, QLatin1Char('0'))
      .arg((time >> 5) & 63, 2, 10, QLatin1Char('0'));
}

// The update's directory through the component; false with `cause` set when
// it cannot be read.
bool ReadEntries(const QString& update_file, std::vector<TEntry>& entries, std::string& cause) {
  zorellz::TZorelLZObj update;
  update.OnViewArchive = [&entries](zorellz::TZorelLZObj& sender,
                                    zorellz::PZorelLZArchiveHeader archive, std::int32_t number) {
    if (number >= 1 && archive != nullptr && number <= archive->Count) {
      std::string name;
      sender.FullLZName(number, name);
      entries.push_back(
          {zorellz::ArchivePathToNative(name).generic_string(), archive->Entry(number)});
    }
    return 1;
  };
  try {
    update.SetDearchiveRecurse(true);
    update.SetSFXArchiveName(update_file.toStdString());
    update.SetArchiveFileSpecs("*.*");
    const std::int32_t result = update.ViewSFXArchive();
    if (result >= 0) return true;
    cause = zorellz::LZReadResultCause(result);
  } catch (const std::exception& error) {
    cause = error.what();
  }
  return false;
}

// Names of the damaged entries that the engine's test reports.
std::vector<std::string>& DamagedEntries() {
  static std::vector<std::string> damaged;
  return damaged;
}

std::int32_t NoteDamage(zorellz::TLZReportRec& record, std::int32_t code) {
  if (code == zorellz::kLZCRCMismatch) DamagedEntries().push_back(record.FileName);
  return 1;
}

// Every entry decoded and checked; false when one is damaged.
bool VerifyEntries(const QString& update_file) {
  DamagedEntries().clear();
  std::int32_t result = 0;
  try {
    zorellz::TLZContext context;
    context.Jobs = static_cast<std::int32_t>(zorellz::AvailableCores());
    result = zorellz::LZTestArchive(context, update_file.toStdString(), NoteDamage);
  } catch (const std::exception& error) {
    PrintError(
        UpdateMessage(TUpdateMessage::kUpdateNotReadable).arg(update_file, Text(error.what())));
    return false;
  }
  for (const std::string& entry : DamagedEntries()) {
    PrintError(UpdateMessage(TUpdateMessage::kUpdateFileFailed)
                   .arg(Text(zorellz::Cp1252ToUtf8(entry)),
                        Text(zorellz::LZReadResultCause(zorellz::kLZCRCMismatch))));
  }
  if (result < 0 && DamagedEntries().empty()) {
    PrintError(UpdateMessage(TUpdateMessage::kUpdateNotReadable)
                   .arg(update_file, Text(zorellz::LZReadResultCause(result))));
  }
  return result >= 0 && DamagedEntries().empty();
}

// What the update would do to one file; false when it could not.
bool CheckEntry(const TEntry& entry, const std::string& data_folder,
                zorellz::TFileUseChecker& checker) {
  const std::string target = data_folder + entry.Path;
  const bool exists = zorellz::FileExists(target);
  if (IsDatabaseFile(target)) {
    switch (checker.Check(target)) {
      case zorellz::TFileUse::kNotInUse:
        break;
      case zorellz::TFileUse::kInUse:
        PrintError(UpdateMessage(TUpdateMessage::kFileLocked).arg(Text(target)));
        return false;
      case zorellz::TFileUse::kUnreadable:
        PrintError(UpdateMessage(TUpdateMessage::kLockCheckFailed).arg(Text(target)));
        return false;
    }
  }
  Print((exists ? QStringLiteral("replace ") : QStringLiteral("add ")) + Text(target));
  return true;
}

// The help pages that would move, or the note that they stay.
void ReportHelpPages(const std::vector<TEntry>& entries, const std::string& help_folder) {
  for (const TEntry& entry : entries) {
    if (entry.Record.IsFolder != 0 || entry.Path.find('/') != std::string::npos) continue;
    if (!IsHelpPageName(entry.Path)) continue;
    if (help_folder.empty()) {
      Print(UpdateMessage(TUpdateMessage::kNoHelpFolder));
      return;
    }
    Print(QStringLiteral("move ") + Text(entry.Path) + QStringLiteral(" to ") +
          Text(help_folder + entry.Path));
  }
}

// The data folder, or "" after an error.
std::string ResolveDataFolder(TOrvLiteEnvironmentObject& environment) {
  std::string data_folder;
  try {
    data_folder = environment.GetDataDirectory();
  } catch (const std::exception& error) {
    PrintError(Text(error.what()));
    return "";
  }
  if (data_folder.empty()) {
    PrintError(UpdateMessage(TUpdateMessage::kDataFolderNotFound));
  } else if (!zorellz::DirectoryExistsNative(data_folder)) {
    PrintError(UpdateMessage(TUpdateMessage::kDataFolderMissing).arg(FolderText(data_folder)));
    return "";
  }
  return data_folder;
}

}  // namespace

int ListUpdate(const QString& update_file) {
  std::vector<TEntry> entries;
  std::string cause;
  if (!ReadEntries(update_file, entries, cause)) {
    PrintError(UpdateMessage(TUpdateMessage::kUpdateNotReadable).arg(update_file, Text(cause)));
    return 1;
  }
  for (const TEntry& entry : entries) {
    const bool folder = entry.Record.IsFolder != 0;
    Print(QStringLiteral("%1  %2  %3  %4")
              .arg(entry.Record.UncompressedSize, 10)
              .arg(DateText(entry.Record.FileDate))
              .arg(folder ? QStringLiteral("--------")
                          : QStringLiteral("%1").arg(entry.Record.FileCRC, 8, 16, QLatin1Char('0')))
              .arg(Text(entry.Path) + (folder ? QStringLiteral("/") : QString())));
  }
  return 0;
}

int CheckUpdate(const QString& update_file) {
  std::vector<TEntry> entries;
  std::string cause;
  if (!ReadEntries(update_file, entries, cause)) {
    PrintError(UpdateMessage(TUpdateMessage::kUpdateNotReadable).arg(update_file, Text(cause)));
    return 1;
  }
  bool sound = VerifyEntries(update_file);
  TOrvLiteEnvironmentObject environment;
  const std::string data_folder = ResolveDataFolder(environment);
  if (data_folder.empty()) return 1;
  if (zorellz::TFolderLock::HeldElsewhere(data_folder, kUpdateLockName)) {
    PrintError(UpdateMessage(TUpdateMessage::kAnotherUpdateRunning).arg(FolderText(data_folder)));
    sound = false;
  }
  if (zorellz::FileExists(data_folder + kJournalName)) {
    Print(QStringLiteral("An interrupted update of %1 will be completed or taken back first.")
              .arg(FolderText(data_folder)));
  }
  zorellz::TFileUseChecker checker;
  for (const TEntry& entry : entries) {
    if (entry.Record.IsFolder == 0 && !CheckEntry(entry, data_folder, checker)) sound = false;
  }
  std::string help_folder;
  try {
    help_folder = environment.GetHelpDirectory();
  } catch (const std::exception& error) {
    PrintError(Text(error.what()));
    sound = false;
  }
  ReportHelpPages(entries, help_folder);
  Print(sound ? QStringLiteral("The update would complete.")
              : QStringLiteral("The update would not complete."));
  return sound ? 0 : 1;
}

}  // namespace tessaline
