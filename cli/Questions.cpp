#include "cli/Questions.h"

#include <optional>

#include "cli/EntryText.h"
#include "cli/Failure.h"
#include "cli/SpanText.h"
#include "cli/Terminal.h"
#include "platform/System.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {
namespace {

constexpr std::uint8_t kKeep = 0;
constexpr std::uint8_t kReplace = 1;
constexpr std::uint8_t kCancel = 2;
constexpr std::int32_t kGoOn = 0;
constexpr std::int32_t kStop = 1;

struct TQuestions {
  std::string Archive;
  bool Interactive = false;
  bool Cancelled = false;
  std::optional<TReplaceAnswer> ForAll;  // after "all" or "none"
  std::vector<std::string> Spared;
  std::string RenamedTarget;  // the target being renamed
  TDiskRequest Disk;
  int AsksForDisk = 0;  // how often the prompt asked for Disk.Part in a row
};

TQuestions questions;

std::uint8_t ReplaceAlways(const TLZReportRec&, const TLZReportRec&) {
  return kReplace;
}

std::uint8_t KeepAlways(const TLZReportRec&, const TLZReportRec&) {
  return kKeep;
}

std::uint8_t AskUser(const TLZReportRec& current, const TLZReportRec& existing) {
  switch (AskReplace(OverwriteQuestionText(current, existing))) {
    case TReplaceAnswer::kReplace:
      return kReplace;
    case TReplaceAnswer::kKeep:
      return kKeep;
    case TReplaceAnswer::kCancel:
      break;
  }
  questions.Cancelled = true;
  return kCancel;
}

// An answer in full or by its letter; "N" is none, "n" no.
std::optional<TReplaceAnswer> ReadReplaceAnswer(const std::string& typed, bool& for_all) {
  std::string word = typed;
  word.erase(0, word.find_first_not_of(" \t"));
  word.erase(word.find_last_not_of(" \t") + 1);
  for_all = word == "a" || word == "A" || word == "all" || word == "N" || word == "none";
  if (word == "y" || word == "Y" || word == "yes" || word == "a" || word == "A" || word == "all") {
    return TReplaceAnswer::kReplace;
  }
  if (word == "n" || word == "no" || word == "N" || word == "none") return TReplaceAnswer::kKeep;
  if (word == "c" || word == "C" || word == "cancel") return TReplaceAnswer::kCancel;
  return std::nullopt;
}

std::string DiskQuestion(std::int32_t part, std::int32_t total, const std::string& drive) {
  const std::string part_name = LZSpanPartName(questions.Archive, part);
  std::string text = "Part " + std::to_string(part) + " of " + std::to_string(total) +
                     " of the spanned archive: " + Printable(part_name);
  if (questions.AsksForDisk > 1) {
    text += FileExists(part_name) ? " holds another part" : " is missing";
  }
  return text + " (in " + Printable(drive) + ")\nGo on? [y]es, [n]o: ";
}

std::int32_t ReadDiskPrompt(std::int32_t disk_num, std::int32_t total_parts,
                            const std::string& drive) {
  if (disk_num != questions.Disk.Part) questions.AsksForDisk = 0;
  questions.Disk = {disk_num, total_parts};
  ++questions.AsksForDisk;
  bool go_on = questions.AsksForDisk == 1;
  if (questions.Interactive) {
    go_on = AskChoice(DiskQuestion(disk_num, total_parts, drive), "yn") == 'y';
  }
  if (!go_on) questions.Disk.Answer = TDiskAnswer::kStopped;
  return go_on ? kGoOn : kStop;
}

// An unknown amount of free space does not stop the part: writing it tells.
bool PartFits(TDiskRequest& disk, const std::string& folder) {
  disk.Free = DiskFreeBytes(folder.empty() ? "." : folder);
  return disk.Free < 0 || disk.Free >= disk.Needed;
}

std::int32_t WriteDiskPrompt(std::int32_t disk_num, std::int32_t total_parts,
                             std::int32_t needed_space, const std::string& folder) {
  TDiskRequest& disk = questions.Disk;
  disk = {disk_num, total_parts, needed_space};
  const std::string shown = Printable(folder);
  std::string shortage;
  for (;;) {
    if (questions.Interactive) {
      const std::optional<char> answer = AskChoice(
          shortage + InsertDiskQuestion(disk_num, total_parts, needed_space, shown), "yn");
      if (answer != 'y') {
        disk.Answer = TDiskAnswer::kStopped;
        return kStop;
      }
    }
    if (PartFits(disk, folder)) return kGoOn;
    if (!questions.Interactive) {
      disk.Answer = TDiskAnswer::kShortOfSpace;
      return kStop;
    }
    shortage = "There are " + ShortOfSpaceText(disk.Free, needed_space, shown) + ".\n";
  }
}

}  // namespace

TOverwrite OverwriteByName(const std::string& name, TOverwritePolicy off_terminal) {
  if (name == "always") return {TOverwritePolicy::kAlways, false};
  if (name == "never") return {TOverwritePolicy::kNever, false};
  if (name == "ask") return {TOverwritePolicy::kAsk, false};
  if (StdinIsTerminal()) return {TOverwritePolicy::kAsk, true};
  return {off_terminal, true};
}

std::string OverwriteHelp(const std::string& off_terminal) {
  return "Existing files: always replace, never, or ask (default: ask on a terminal, " +
         off_terminal + " otherwise)";
}

void ReportKeptFiles(const std::vector<std::string>& kept) {
  for (const std::string& name : kept) {
    ReportError(NativeText(name), "exists; kept (--overwrite always replaces it)");
  }
  if (!kept.empty()) throw TExitStatus{kExitPartial};
}

TReplaceAnswer AskReplace(const std::string& first_line) {
  if (questions.ForAll) return *questions.ForAll;
  for (;;) {
    const std::optional<std::string> typed = AskLine(first_line + kReplaceChoices);
    if (!typed) return TReplaceAnswer::kKeep;
    bool for_all = false;
    const std::optional<TReplaceAnswer> answer = ReadReplaceAnswer(*typed, for_all);
    if (!answer) continue;
    if (for_all) questions.ForAll = answer;
    return *answer;
  }
}

TReplaceAnswer DecideReplace(const TOverwrite& overwrite, const std::string& first_line) {
  switch (overwrite.Policy) {
    case TOverwritePolicy::kAlways:
      return TReplaceAnswer::kReplace;
    case TOverwritePolicy::kNever:
      return TReplaceAnswer::kKeep;
    case TOverwritePolicy::kAsk:
      break;
  }
  return AskReplace(first_line);
}

bool MayReplaceOutput(const std::string& name, const TOverwrite& overwrite) {
  QuestionsStart(name, false);
  switch (DecideReplace(overwrite, "\"" + name + "\" already exists.\n")) {
    case TReplaceAnswer::kReplace:
      return true;
    case TReplaceAnswer::kKeep:
      return false;
    case TReplaceAnswer::kCancel:
      break;
  }
  FailCommand(name, "exists; stopped at your request");
}

void QuestionsStart(const std::string& archive, bool assume_yes) {
  questions = TQuestions{};
  questions.Archive = archive;
  questions.Interactive = !assume_yes && StdinIsTerminal();
}

TLZQuestionProc OverwriteQuestion(TOverwritePolicy policy) {
  switch (policy) {
    case TOverwritePolicy::kAlways:
      return ReplaceAlways;
    case TOverwritePolicy::kNever:
      return KeepAlways;
    case TOverwritePolicy::kAsk:
      return AskUser;
  }
  return ReplaceAlways;
}

bool OverwriteCancelled() {
  return questions.Cancelled;
}

std::uint8_t AskAboutSameName(const TLZReportRec& current, const TLZReportRec& existing) {
  if (!questions.Interactive) return kKeep;
  const std::string question = "\"" + Printable(existing.FileName) +
                               "\" was written from an earlier entry of the same name (" +
                               SizeAndDateText(existing) + "); this one has " +
                               SizeAndDateText(current) + ".\nReplace it? [y]es, [n]o, [c]ancel: ";
  switch (AskChoice(question, "ync").value_or('n')) {
    case 'y':
      return kReplace;
    case 'c':
      questions.Cancelled = true;
      return kCancel;
    default:
      return kKeep;
  }
}

bool RenameArchiveTarget(std::string& name) {
  // Asked again while the new name is taken too.
  const bool first = IsSameFile(name, questions.Archive);
  if (first) questions.RenamedTarget = name;
  std::optional<std::string> answer;
  if (questions.Interactive) {
    answer = AskLine("\"" + Printable(name) +
                     (first ? "\" is the archive being read" : "\" exists as well") +
                     ": extract the entry under which name? (empty: skip it) ");
  }
  if (!answer || answer->empty()) {
    questions.Spared.push_back(questions.RenamedTarget);
    return false;
  }
  name = *answer;
  return true;
}

const std::vector<std::string>& SparedArchiveTargets() {
  return questions.Spared;
}

std::int32_t DiskPrompt(std::int32_t disk_num, std::int32_t total_parts, std::int32_t needed_space,
                        const char* drive) {
  const std::string folder = drive != nullptr ? drive : "";
  // Reading passes no space (-1): there is nothing to write.
  if (needed_space > 0) return WriteDiskPrompt(disk_num, total_parts, needed_space, folder);
  return ReadDiskPrompt(disk_num, total_parts, folder);
}

TDiskRequest LastDiskRequest() {
  return questions.Disk;
}

void UseDiskPrompt(TLZContext& context) {
  context.SpanPrompt = DiskPrompt;
}

}  // namespace zorellz::cli
