// The reading commands around single files:
//   zorellz expand INPUT [OUTPUT] [-c|--stdout] [--overwrite always|never|ask]
//                  [--no-crc-check] [--quiet|--verbose]
//     a single compressed file back into the file it holds: OUTPUT, or by
//     default the name stored in it, in INPUT's folder (a missing INPUT is
//     looked for under its compressed name: report.txt as report.tx~); "-"
//     is standard input or output, and standard input goes to standard
//     output unless OUTPUT is named;
//   zorellz sfx-extract SFX [ARCHIVE] [--overwrite always|never|ask]
//     the archive appended to a self-extracting file, copied out into a plain
//     archive; ARCHIVE defaults to SFX with the extension ".LZA" when SFX's
//     extension is upper case, ".lza" otherwise (also without an extension);
//   zorellz comment ARCHIVE [TARGET] [--accept-protected]
//     the archive comment extracted into TARGET (the current folder by
//     default); prints its path, or says that there is none.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/CreateSupport.h"
#include "cli/EntryText.h"
#include "cli/Jobs.h"
#include "cli/Progress.h"
#include "cli/Questions.h"
#include "cli/ReadProgress.h"
#include "cli/ReadSupport.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {
namespace {

// ---- expand ----

struct TExpandRequest {
  std::string Input;
  std::string Output;     // empty: the name stored in the input
  std::string Overwrite;  // empty: ask on a terminal, never otherwise
  bool NoCrcCheck = false;
  bool ToStdout = false;
  std::int32_t Jobs = 1;  // one stream is coded on one core, whatever it says
  TReporting Reporting;
};

// Standard input and output, and an output that is a device or a pipe,
// stand in as work files for the engine; the request keeps the names the
// user gave, for the messages.
struct TExpandFiles {
  std::string Input;
  std::string Output;  // empty: the name stored in the input
  bool OutputToStdout = false;
  bool OutputToStream = false;  // standard output, a device or a pipe
};

TExpandFiles ExpandFiles(const TExpandRequest& request, TWorkFolder& work) {
  TExpandFiles files;
  files.Input = InputFile(request.Input, work);
  files.OutputToStdout = request.ToStdout || IsStdStream(request.Output) ||
                         (IsStdStream(request.Input) && request.Output.empty());
  files.OutputToStream = files.OutputToStdout || IsStreamOutput(request.Output);
  files.Output = files.OutputToStream ? work.File("stdout").string() : request.Output;
  return files;
}

// The file written: OUTPUT, or the name that the engine gave it.
std::string ExpandedOutput(const TExpandRequest& request) {
  if (!request.Output.empty()) return request.Output;
  const TReadTally& tally = ReadTally();
  if (!tally.LastBegun.empty()) return Printable(tally.LastBegun);
  return tally.Failed.empty() ? request.Input : Printable(tally.Failed.front());
}

// An existing file kept or a stop at the user's answer comes before the
// engine names the file of a default OUTPUT.
std::string AnswerSubject(const TExpandRequest& request, std::string& cause) {
  if (!request.Output.empty()) return request.Output;
  cause = "the file it expands to " + cause;
  return request.Input;
}

[[noreturn]] void FailOnExpandResult(const TExpandRequest& request, std::int64_t result) {
  switch (result) {
    case kLZAbortedOverwrite: {
      std::string cause = "exists; stopped at your request";
      const std::string subject = AnswerSubject(request, cause);
      FailCommand(subject, cause);
    }
    case kLZCannotCreateOutput:
      FailCommand(ExpandedOutput(request), CannotCreateCause(ExpandedOutput(request)));
    case kLZNoFile:
      FailCommand(request.Input, "holds no usable file name, or cannot be found");
    case kLZSameInputOutput:
      FailCommand(request.Input, "would be expanded over itself (is it a compressed file?)");
    case kLZCRCMismatch:
      FailCommand(request.Input,
                  "damaged: the size or CRC-32 of its data is not the one "
                  "recorded; nothing was written");
    default:
      FailCommand(request.Input, ResultCause(result));
  }
}

std::int64_t Expand(TLZContext& context, const TExpandRequest& request, const TExpandFiles& files,
                    TOverwritePolicy policy) {
  const TLZQuestionProc question = OverwriteQuestion(policy);
  const TEngineFiles shown{request.Output.empty() ? request.Input : request.Output, request.Input};
  if (files.Output.empty()) {
    return RunReadOperation(
        [&] { return LZExpandFile(context, files.Input, question, ReadProgressReport); }, shown);
  }
  return RunReadOperation(
      [&] {
        return LZDecompressFile(context, files.Input, files.Output, question, ReadProgressReport);
      },
      shown);
}

void RunExpand(TExpandRequest request) {
  // A missing input is expanded from its compressed form when that exists.
  if (!IsStdStream(request.Input) && !FileExists(LZCompressedName(request.Input))) {
    RequireFile(request.Input);
  }
  TWorkFolder work;
  const TExpandFiles files = ExpandFiles(request, work);
  TLZContext context;
  context.CheckCRC = !request.NoCrcCheck;
  const TOverwrite overwrite = OverwriteByName(request.Overwrite, TOverwritePolicy::kNever);
  QuestionsStart(request.Input, false);
  request.Reporting.DataOnStdout = files.OutputToStdout;
  ReadProgressStart(request.Reporting);
  const std::int64_t result = Expand(context, request, files, overwrite.Policy);
  ProgressStop();
  if (result == kLZDeclinedOverwrite) {
    std::string cause = overwrite.NamesKeptFiles() ? "exists; kept (--overwrite always replaces it)"
                                                   : "exists; kept";
    const std::string subject = AnswerSubject(request, cause);
    ReportError(subject, cause);
    if (overwrite.NamesKeptFiles()) throw TExitStatus{kExitPartial};
    return;
  }
  if (result < 0) FailOnExpandResult(request, result);
  if (files.OutputToStream) {
    if (files.OutputToStdout) request.Output = "-";
    CopyToOutput(files.Output, request.Output);
  }
  ReadProgressSummary(ExpandedOutput(request), 1, "expanded");
}

// ---- sfx-extract ----

struct TSfxExtractRequest {
  std::string Sfx;
  std::string Archive;    // empty: SFX with the extension .lza or .LZA
  std::string Overwrite;  // empty: ask on a terminal, never otherwise
  TReporting Reporting;
};

bool IsUpperCaseExtension(const std::string& extension) {
  const auto is_lower = [](unsigned char c) { return std::islower(c) != 0; };
  const auto is_upper = [](unsigned char c) { return std::isupper(c) != 0; };
  return std::none_of(extension.begin(), extension.end(), is_lower) &&
         std::any_of(extension.begin(), extension.end(), is_upper);
}

std::string DefaultArchiveName(const std::string& sfx) {
  std::filesystem::path name(sfx);
  const bool upper = IsUpperCaseExtension(name.extension().string());
  return name.replace_extension(upper ? ".LZA" : ".lza").string();
}

void RunSfxExtract(const TSfxExtractRequest& request) {
  const TArchiveLocation location = LocateArchiveOrFail(request.Sfx);
  if (!location.ThroughTrailer) FailCommand(request.Sfx, "is a plain archive already");
  const std::string archive =
      request.Archive.empty() ? DefaultArchiveName(request.Sfx) : request.Archive;
  if (IsSameFile(request.Sfx, archive) || ExpandFileName(request.Sfx) == ExpandFileName(archive)) {
    FailCommand(archive, "is the self-extracting file itself");
  }
  if (FileExists(archive)) {
    const TOverwrite overwrite = OverwriteByName(request.Overwrite, TOverwritePolicy::kNever);
    QuestionsStart(archive, false);
    switch (DecideReplace(overwrite, "\"" + archive + "\" already exists.\n")) {
      case TReplaceAnswer::kReplace:
        break;
      case TReplaceAnswer::kKeep:
        if (overwrite.NamesKeptFiles()) ReportKeptFiles({archive});
        ReportError(archive, "exists; kept");
        return;
      case TReplaceAnswer::kCancel:
        FailCommand(archive, "exists; stopped at your request");
    }
  }
  TLZContext context;
  const std::int64_t result =
      RunReadOperation([&] { return LZExtractArchiveFromSFX(context, request.Sfx, archive); },
                       TEngineFiles{archive, request.Sfx});
  if (result == kLZCannotCreateOutput) FailCommand(archive, CannotCreateCause(archive));
  if (result < 0) FailCommand(request.Sfx, ResultCause(result));
  if (request.Reporting.Quiet) return;
  std::printf("%s: %lld bytes, the archive of %s\n", archive.c_str(),
              static_cast<long long>(result), request.Sfx.c_str());
  std::fflush(stdout);
}

// ---- comment ----

struct TCommentRequest {
  std::string Archive;
  std::string Target;  // empty: the current folder
  bool AcceptProtected = false;
  TReporting Reporting;
};

void RunComment(const TCommentRequest& request) {
  const TArchiveLocation location = LocateArchiveOrFail(request.Archive);
  CheckProtection(request.Archive, location, request.AcceptProtected);
  // The comment is read from the archive's own file, which holds only part
  // of a spanned archive's data.
  if (location.Spanned()) {
    FailCommand(request.Archive,
                "is a spanned archive: `zorellz extract --entry N` extracts its comment, "
                "the entry that `zorellz list` marks");
  }
  TLZContext context;
  ReadProtected(context, request.AcceptProtected);
  context.HeaderOffset = location.Offset;
  context.CheckCRC = true;
  std::string path;
  const std::string target = request.Target.empty() ? "." : request.Target;
  const std::int64_t result = RunReadOperation(
      [&] { return LZExtractComment(context, request.Archive, request.Target, &path); },
      TEngineFiles{target, request.Archive});
  if (result == kLZCannotCreateFolder) FailCommand(target, "cannot be created");
  if (result == kLZCRCMismatch) {
    FailCommand(request.Archive, "its comment is damaged; it was not written");
  }
  if (result < 0) FailCommand(request.Archive, ResultCause(result));
  if (request.Reporting.Quiet) return;
  if (result == 0) {
    std::printf("%s: no comment\n", request.Archive.c_str());
  } else {
    std::printf("%s\n", Printable(path).c_str());
  }
  std::fflush(stdout);
}

}  // namespace

void RegisterExpandCommand(CLI::App& app) {
  auto* command = app.add_subcommand("expand", "Expand a single compressed file");
  auto request = std::make_shared<TExpandRequest>();
  command->add_option("INPUT", request->Input, "Compressed file, - for standard input")->required();
  command->add_option("OUTPUT", request->Output,
                      "File to write (default: the name stored in INPUT, in its folder; "
                      "standard output for standard input), - for standard output");
  command->add_flag("-c,--stdout", request->ToStdout, "Write to standard output");
  command->add_option("--overwrite", request->Overwrite, OverwriteHelp("never"))
      ->check(CLI::IsMember({"always", "never", "ask"}));
  command->add_flag("--no-crc-check", request->NoCrcCheck, "Do not check the CRC-32");
  AddJobsOption(*command, request->Jobs);
  AddReportingOptions(*command, request->Reporting, "No progress and no summary",
                      "A line for the file when it is done");
  command->callback([request] { RunExpand(*request); });
}

void RegisterSfxExtractCommand(CLI::App& app) {
  auto* command = app.add_subcommand(
      "sfx-extract", "Copy the archive of a self-extracting file out into a plain archive");
  auto request = std::make_shared<TSfxExtractRequest>();
  command->add_option("SFX", request->Sfx, "Self-extracting file")->required();
  command->add_option("ARCHIVE", request->Archive,
                      "Archive to write (default: SFX with the extension .lza, or .LZA when "
                      "SFX's extension is upper case)");
  command->add_option("--overwrite", request->Overwrite, OverwriteHelp("never"))
      ->check(CLI::IsMember({"always", "never", "ask"}));
  AddReportingOptions(*command, request->Reporting, "No line when the archive is written",
                      "The line that names the archive written (the default)");
  command->callback([request] { RunSfxExtract(*request); });
}

void RegisterCommentCommand(CLI::App& app) {
  auto* command = app.add_subcommand("comment", "Extract the comment of an archive");
  auto request = std::make_shared<TCommentRequest>();
  command->add_option("ARCHIVE", request->Archive, "Archive or self-extracting file")->required();
  command->add_option("TARGET", request->Target, "Folder to extract into (default: current)");
  command->add_flag("--accept-protected", request->AcceptProtected,
                    "Read an archive marked as protected");
  AddReportingOptions(*command, request->Reporting, "Print nothing; the status tells",
                      "The path of the comment, or that there is none (the default)");
  command->callback([request] { RunComment(*request); });
}

}  // namespace zorellz::cli
