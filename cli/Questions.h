// The engine's questions to the user: replacing an existing file, a new name
// for an entry whose target is the archive being read, and the disk prompt
// of a spanned archive, both when its parts are read and when they are
// written.  The engine calls plain function pointers, so the answers of the
// one running command live in this module.
#pragma once

#include "zorellz/engine/LZContext.h"

#include <cstdint>
#include <string>
#include <vector>

#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

enum class TOverwritePolicy { kAlways, kNever, kAsk };

// The policy of --overwrite for a command that writes files.
struct TOverwrite {
  TOverwritePolicy Policy = TOverwritePolicy::kNever;
  // No --overwrite was given: files kept by the default "never" are named on
  // stderr and make the status 2.
  bool ByDefault = false;

  // Files kept under this policy are named, with status 2.
  bool NamesKeptFiles() const { return ByDefault && Policy == TOverwritePolicy::kNever; }
};

// "always", "never", "ask"; an empty name means ask when stdin is a
// terminal, `off_terminal` otherwise.
TOverwrite OverwriteByName(const std::string& name, TOverwritePolicy off_terminal);

// --overwrite on `command`, its default described by `off_terminal`.
std::string OverwriteHelp(const std::string& off_terminal);

// What to do with one existing file.
enum class TReplaceAnswer { kReplace, kKeep, kCancel };

// Asks about one existing file (the first line of the question given, the
// answers line added): "all" and "none" answer the questions that follow
// as well.  Without a terminal, or when stdin ends, the file is kept.
TReplaceAnswer AskReplace(const std::string& first_line);

// The answer of `overwrite` for an existing file described by `first_line`.
TReplaceAnswer DecideReplace(const TOverwrite& overwrite, const std::string& first_line);
// Whether the existing output `name` is replaced (true) or kept (false), as
// DecideReplace answers; a cancel fails the command.
bool MayReplaceOutput(const std::string& name, const TOverwrite& overwrite);

// Starts the questions of one command on `archive`.  With `assume_yes` (or
// without a terminal to ask on) each disk prompt is answered "go on" once,
// so that a part still missing stops the command, and an entry whose target
// is the archive itself is skipped.  A part to be written goes on without
// asking when its folder has the space it needs, and stops otherwise.
void QuestionsStart(const std::string& archive, bool assume_yes);

// Names each file kept by the default policy on stderr and, when there is
// one, ends the command with status 2.
void ReportKeptFiles(const std::vector<std::string>& kept);

// The question function for `policy`: 1 replace, 0 keep, 2 cancel.  "ask"
// shows the two-line question of AskReplace.
TLZQuestionProc OverwriteQuestion(TOverwritePolicy policy);
// True when the user answered Cancel.
bool OverwriteCancelled();

// The question about an entry that lands on the file an earlier entry of
// the same archive was written to (extraction without folders): on a
// terminal yes, no or cancel, whatever the policy for existing files;
// otherwise, or with `assume_yes`, the first file stays.  1 replace, 0 keep,
// 2 cancel, as OverwriteQuestion.
std::uint8_t AskAboutSameName(const TLZReportRec& current, const TLZReportRec& existing);

// The rename function: asks for a new name, or skips the entry.
bool RenameArchiveTarget(std::string& name);
// The targets skipped because they are the archive being read.
const std::vector<std::string>& SparedArchiveTargets();

// The disk prompt: 0 go on, 1 stop.  A positive `needed_space` asks for a
// disk to write a part on: after a yes the free space of `drive` (the folder
// of the parts) is checked, and the question comes again while it is short.
std::int32_t DiskPrompt(std::int32_t disk_num, std::int32_t total_parts, std::int32_t needed_space,
                        const char* drive);

// How the last disk prompt ended.
enum class TDiskAnswer {
  kGoOn,
  kStopped,       // the user said no, or stdin ended
  kShortOfSpace,  // a part to write did not fit and nobody could be asked
};

// The last part the disk prompt asked for (Part 0 when it was never asked).
struct TDiskRequest {
  std::int32_t Part = 0;
  std::int32_t Total = 0;
  std::int64_t Needed = 0;  // bytes a part to write needs; 0 when reading
  std::int64_t Free = -1;   // free bytes at the last check; -1 when unknown
  TDiskAnswer Answer = TDiskAnswer::kGoOn;
};
TDiskRequest LastDiskRequest();

// Makes DiskPrompt the disk prompt of a command's engine context.
void UseDiskPrompt(TLZContext& context);

}  // namespace zorellz::cli
