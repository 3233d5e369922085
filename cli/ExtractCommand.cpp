// zorellz extract ARCHIVE [TARGET] [--mask MASK | --entry N] [--flat]
//                 [--no-crc-check] [--unexpanded] [--overwrite always|never|ask]
//                 [--yes] [--accept-protected] [--sync] [--quiet]
// Extracts a plain archive, one appended to a program, or a spanned archive
// (its parts joined first) into TARGET, the current folder by default.  Each
// file replaces an existing one only when it is complete and its CRC-32
// checks; a damaged entry ends the command and leaves the old file as it was.
// Existing files are asked about on a terminal and kept otherwise (named,
// status 2, unless --overwrite says what to do); entries whose target is the
// archive itself are skipped without failing the command.  With --flat, an
// entry whose name an earlier entry had is asked about on a terminal and
// otherwise left out and named (status 2): the first one stays.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "cli/Commands.h"
#include "cli/CreateSupport.h"
#include "cli/EntryText.h"
#include "cli/FlatTargets.h"
#include "cli/Jobs.h"
#include "cli/Progress.h"
#include "cli/Questions.h"
#include "cli/ReadProgress.h"
#include "cli/ReadSupport.h"
#include "cli/Usage.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::cli {
namespace {

struct TExtractRequest {
  std::string Archive;
  std::string Target;  // empty: the current folder
  std::string Mask;
  std::int32_t Entry = 0;  // 0: none chosen
  std::string Overwrite;   // empty: ask on a terminal, never otherwise
  bool Flat = false;
  bool NoCrcCheck = false;
  bool Unexpanded = false;
  bool Yes = false;
  bool AcceptProtected = false;
  std::int32_t Jobs = 1;
  TReporting Reporting;
  bool Sync = false;
};

std::string DearchiveMask(const TExtractRequest& request) {
  if (request.Entry > 0) return "#:" + std::to_string(request.Entry);
  return request.Mask.empty() ? "*.*" : request.Mask;
}

std::string TargetFolder(const TExtractRequest& request) {
  return request.Target.empty() ? "." : request.Target;
}

// A target path as the user knows it: relative to the target folder when it
// lies there.
std::string ShownTarget(const TExtractRequest& request, const std::string& path) {
  const std::filesystem::path folder = ExpandFileName(TargetFolder(request));
  const std::filesystem::path relative = std::filesystem::path(path).lexically_relative(folder);
  const bool inside = !relative.empty() && *relative.begin() != "..";
  return Printable(inside ? relative.string() : path);
}

void CheckEntryNumber(const TExtractRequest& request, const TArchiveLocation& location) {
  const std::int32_t count = location.Header.FileCount;
  if (request.Entry > count) {
    FailCommand(request.Archive, "has no entry " + std::to_string(request.Entry) + " (it has " +
                                     std::to_string(count) + ")");
  }
}

// A failed entry was reported by name before the negative result.
[[noreturn]] void FailOnEntry(const TExtractRequest& request, std::int64_t result) {
  const std::string& failed = ReadTally().Failed.front();
  const std::string done = FilesText(ReadTally().Files) + " extracted before it";
  // A folder that fails with an entry named was a link (the folder pass).
  if (result == kLZPathThroughLink || result == kLZCannotCreateFolder) {
    FailCommand(ShownTarget(request, failed), LZReadResultCause(kLZPathThroughLink) + "; " + done);
  }
  if (result == kLZCannotCreateOutput) {
    FailCommand(Printable(failed), EntryWriteCause(failed) + "; " + done);
  }
  std::string cause = "the size or CRC-32 of its data is not the one recorded";
  if (result != kLZCRCMismatch) cause = ResultCause(result);
  FailCommand(request.Archive, "entry " + ShownTarget(request, failed) + " is damaged (" + cause +
                                   "); it was not written, " + done);
}

[[noreturn]] void FailOnResult(const TExtractRequest& request, std::int64_t result) {
  if (!ReadTally().Failed.empty()) FailOnEntry(request, result);
  if (result == kLZCannotCreateFolder) {
    // The target itself, or a folder of the archive below it.
    const std::string target = TargetFolder(request);
    std::error_code error;
    if (!std::filesystem::is_directory(target, error)) {
      if (std::filesystem::exists(target, error)) FailCommand(target, SystemCause(ENOTDIR));
      FailCommand(target, "cannot be created: " + CannotCreateCause(target));
    }
    FailCommand(target, "the archive's folders cannot be made in it: " + FolderWriteCause(target));
  }
  FailOnArchiveResult(request.Archive, result);
}

void ReportSparedTargets() {
  for (const std::string& target : SparedArchiveTargets()) {
    ReportError(Printable(target), "is the archive being read; its entry was skipped");
  }
}

std::int64_t Extract(TLZContext& context, const TExtractRequest& request,
                     const TOverwrite& overwrite, TFlatTargets& flat) {
  TLZQuestionHook question = OverwriteQuestion(overwrite.Policy);
  TLZReportHook report = ReadProgressReport;
  if (request.Flat) {
    question = [&flat, existing_file = question](const TLZReportRec& current,
                                                 const TLZReportRec& existing) {
      const bool same_name = flat.LandsOnEarlier(current);
      const std::uint8_t answer =
          same_name ? AskAboutSameName(current, existing) : existing_file(current, existing);
      flat.Answered(answer, same_name);
      return answer;
    };
    report = [&flat](TLZReportRec& record, std::int32_t code) {
      return flat.Note(record, code) ? ReadProgressReport(record, code) : 1;
    };
  }
  if (request.Flat && request.Unexpanded) {
    // Entries left compressed are written without a question: the later of
    // two with one name are not selected at all.
    context.FileMatch = [&flat, &context](const std::string& mask, const std::string& target,
                                          std::int32_t entry) {
      return LZDefaultFileMatchIn(context, mask, target, entry) && flat.Claims(target, entry);
    };
  }
  return RunReadOperation(
      [&] {
        return LZDecompressArchive(context, request.Archive, request.Target, question, report,
                                   RenameArchiveTarget, !request.Flat, request.Unexpanded);
      },
      TEngineFiles{TargetFolder(request), request.Archive});
}

// Entries left out for a name that an earlier entry had.
void ReportLeftOut(const TExtractRequest& request, const TFlatTargets& flat) {
  for (const std::string& target : flat.LeftOut()) {
    ReportError(request.Archive, "entry " + ShownTarget(request, target) +
                                     " has the name of an earlier entry; the first was kept");
  }
}

// What a successful run leaves to say: a stop at the user's answer, or a
// choice that selected no file, fails the command.
void Finish(const TExtractRequest& request, const TOverwrite& overwrite, const TFlatTargets& flat,
            std::int64_t result) {
  const auto extracted =
      static_cast<std::int32_t>(result - static_cast<std::int64_t>(SparedArchiveTargets().size()));
  if (OverwriteCancelled()) {
    FailCommand(request.Archive, "stopped at your request after " + FilesText(extracted));
  }
  const bool chosen = request.Entry > 0 || !request.Mask.empty();
  if (chosen && result == 0 && ReadTally().Kept == 0) {
    FailCommand(request.Archive, request.Entry > 0 ? "entry " + std::to_string(request.Entry) +
                                                         " is a folder, not a file"
                                                   : "no file matches " + request.Mask);
  }
  ReadProgressSummary(request.Archive, extracted,
                      request.Unexpanded ? "extracted unexpanded" : "extracted");
  if (overwrite.NamesKeptFiles()) ReportKeptFiles(ReadTally().KeptNames);
  if (!flat.LeftOut().empty()) throw TExitStatus{kExitPartial};
}

void RunExtract(const TExtractRequest& request) {
  const TArchiveLocation location = LocateArchiveOrFail(request.Archive);
  CheckProtection(request.Archive, location, request.AcceptProtected);
  CheckEntryNumber(request, location);
  TLZContext context;
  ReadProtected(context, request.AcceptProtected);
  context.CheckCRC = !request.NoCrcCheck;
  context.DearchiveMask = DearchiveMask(request);
  context.Jobs = request.Jobs;
  UseDiskPrompt(context);
  // As the system's copy tools: durable only when asked for.
  context.Durable = request.Sync;
  // Entries left compressed keep existing files as --overwrite says, too.
  context.AskBeforeUnexpanded = true;
  QuestionsStart(request.Archive, request.Yes);
  ReadProgressStart(request.Reporting);
  const TOverwrite overwrite = OverwriteByName(request.Overwrite, TOverwritePolicy::kNever);
  TFlatTargets flat(TargetFolder(request));
  const std::int64_t result = Extract(context, request, overwrite, flat);
  ProgressStop();
  ReportSparedTargets();
  ReportLeftOut(request, flat);
  if (result < 0) FailOnResult(request, result);
  Finish(request, overwrite, flat, result);
}

}  // namespace

void RegisterExtractCommand(CLI::App& app) {
  auto* command = app.add_subcommand("extract", "Extract the files of an archive");
  auto request = std::make_shared<TExtractRequest>();
  command->add_option("ARCHIVE", request->Archive, "Archive, self-extracting file or part 1")
      ->required();
  command->add_option("TARGET", request->Target, "Folder to extract into (default: current)");
  auto* mask = command->add_option(
      "--mask", request->Mask,
      "Files to extract: a name, a path inside the archive, or a wildcard mask");
  auto* entry = command->add_option("--entry", request->Entry, "Extract entry N only (see list)")
                    ->check(CLI::PositiveNumber);
  mask->excludes(entry);
  command->add_flag("--flat", request->Flat, "Every file straight into TARGET, no sub-folders");
  command->add_flag("--no-crc-check", request->NoCrcCheck, "Do not check each file's CRC-32");
  command->add_flag("--unexpanded", request->Unexpanded,
                    "Leave compressed entries compressed, as single compressed files");
  command->add_option("--overwrite", request->Overwrite, OverwriteHelp("never"))
      ->check(CLI::IsMember({"always", "never", "ask"}));
  command->add_flag("--yes", request->Yes,
                    "Answer the disk prompts of a spanned archive; skip entries that would "
                    "replace the archive itself, and with --flat those whose name an earlier "
                    "entry had");
  command->add_flag("--accept-protected", request->AcceptProtected,
                    "Extract an archive marked as protected");
  command->add_flag("--sync", request->Sync,
                    "Make the files durable on the device before the command ends");
  AddJobsOption(*command, request->Jobs);
  AddReportingOptions(*command, request->Reporting, "No progress and no summary",
                      "A line for each file as it is written");
  command->callback([request] { RunExtract(*request); });
}

}  // namespace zorellz::cli
