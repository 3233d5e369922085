// zorellz compress INPUT [OUTPUT] [--level store|fast|max] [-c|--stdout]
//                  [--overwrite ask|always|never] [--force] [-j N] [--quiet|--verbose]
// One file into a single compressed file; without OUTPUT the name is
// INPUT's with the last character of its extension made a tilde.  "-" is
// standard input or output; standard input without OUTPUT goes to standard
// output.  An existing OUTPUT is replaced only with --force (or
// --overwrite always, or a yes on the terminal), and only once the new file
// is complete.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "cli/Commands.h"
#include "cli/CreateSupport.h"
#include "cli/Jobs.h"
#include "cli/Progress.h"
#include "cli/Questions.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {
namespace {

struct TCompressRequest {
  std::string Input;
  std::string Output;  // empty: the tilde name
  std::string Level;   // empty: the maximum, as for the tilde name
  std::string Overwrite;
  bool Force = false;
  bool ToStdout = false;
  std::int32_t Jobs = 1;
  TReporting Reporting;
};

// The files the engine reads and writes: standard input and output, and an
// output that is a device or a pipe, stand in as work files.
struct TCompressFiles {
  std::string Input;
  std::string Output;
  std::string ShownOutput;  // as the user named it
  bool OutputToStdout = false;
  bool OutputToStream = false;  // standard output, a device or a pipe
};

std::uint8_t ReplaceExisting(const TLZReportRec&, const TLZReportRec&) {
  return 1;
}

std::uint8_t KeepExisting(const TLZReportRec&, const TLZReportRec&) {
  return 0;
}

bool OutputToStdout(const TCompressRequest& request) {
  return request.ToStdout || IsStdStream(request.Output) ||
         (IsStdStream(request.Input) && request.Output.empty());
}

TCompressFiles EngineFiles(const TCompressRequest& request, TWorkFolder& work) {
  TCompressFiles files;
  files.Input = InputFile(request.Input, work);
  files.OutputToStdout = OutputToStdout(request);
  files.OutputToStream = files.OutputToStdout || IsStreamOutput(request.Output);
  if (files.OutputToStream) {
    files.Output = work.File("stdout").string();
    files.ShownOutput = files.OutputToStdout ? "-" : request.Output;
  } else {
    files.Output = request.Output.empty() ? LZCompressedAutoName(request.Input) : request.Output;
    files.ShownOutput = files.Output;
  }
  return files;
}

std::int32_t Compress(const TCompressRequest& request, const TCompressFiles& files, bool replace) {
  const TLZQuestionProc confirm = replace ? ReplaceExisting : KeepExisting;
  const TEngineFiles engine_files{files.ShownOutput, request.Input};
  TLZContext context;
  // A large file is coded on several threads when there are cores for them.
  context.Jobs = request.Jobs;
  if (request.Output.empty() && request.Level.empty() && !files.OutputToStream) {
    return RunEngineOperation(
        [&] { return LZCompressFileAutoName(context, files.Input, confirm, ProgressReport); },
        engine_files);
  }
  const TLZCompressionChoices level =
      request.Level.empty() ? LZMaxCompression : LevelByName(request.Level);
  return RunEngineOperation(
      [&] {
        return LZCompressFile(context, files.Input, files.Output, confirm, level, ProgressReport);
      },
      engine_files);
}

[[noreturn]] void FailOnResult(const TCompressRequest& request, const TCompressFiles& files,
                               std::int32_t result) {
  switch (result) {
    case kLZSameInputOutput:
      if (const std::int32_t why = LZCheckCompressNames(files.Input, files.Output);
          why != kLZSameInputOutput && why != 0) {
        FailCommand(request.Input, LZReadResultCause(why));
      }
      FailCommand(files.ShownOutput, "is the input file as well");
    case kLZInputMissing:
      FailCommand(request.Input, MissingFileCause(request.Input));
    case kLZDeclinedOverwrite:
      FailCommand(files.ShownOutput, "already exists (--force replaces it)");
    case kLZCannotCreateOutput:
      FailCommand(files.ShownOutput, CannotCreateCause(files.Output));
    default:
      FailCommand(request.Input, ResultCause(result, true));
  }
}

// gzip's rule: an existing output is kept unless replacing it was asked for.
bool MayReplace(const TCompressRequest& request, const TCompressFiles& files) {
  if (files.OutputToStream || !FileExists(files.Output)) return true;
  TOverwrite overwrite = OverwriteByName(request.Overwrite, TOverwritePolicy::kNever);
  if (request.Force) overwrite.Policy = TOverwritePolicy::kAlways;
  return MayReplaceOutput(files.Output, overwrite);
}

void RunCompress(TCompressRequest request) {
  std::error_code error;
  if (std::filesystem::is_directory(request.Input, error)) {
    FailCommand(request.Input, MissingFileCause(request.Input));
  }
  if (OutputToStdout(request)) RefuseCompressedDataOnTerminal();
  TWorkFolder work;
  const TCompressFiles files = EngineFiles(request, work);
  const bool replace = MayReplace(request, files);
  request.Reporting.DataOnStdout = files.OutputToStdout;
  ProgressStart(request.Reporting);
  const std::int32_t result = Compress(request, files, replace);
  if (result < 0) FailOnResult(request, files, result);
  if (files.OutputToStream) CopyToOutput(files.Output, files.ShownOutput);
  ProgressSummary(files.ShownOutput, 1, result);
}

}  // namespace

void RegisterCompressCommand(CLI::App& app) {
  auto* command = app.add_subcommand("compress", "Compress one file into a compressed file");
  auto request = std::make_shared<TCompressRequest>();
  command->add_option("INPUT", request->Input, "File to compress, - for standard input")
      ->required();
  command->add_option("OUTPUT", request->Output,
                      "Compressed file (default: INPUT with a tilde ending its extension), - "
                      "for standard output");
  command->add_option("--level", request->Level, "Compression level (default max)")
      ->check(CLI::IsMember(LevelNames()));
  command->add_flag("-c,--stdout", request->ToStdout, "Write to standard output");
  auto* overwrite = command->add_option("--overwrite", request->Overwrite, OverwriteHelp("never"))
                        ->check(CLI::IsMember({"always", "never", "ask"}));
  command->add_flag("-f,--force", request->Force, "Replace an existing OUTPUT (--overwrite always)")
      ->excludes(overwrite);
  AddJobsOption(*command, request->Jobs);
  AddReportingOptions(*command, request->Reporting, "No progress and no summary",
                      "A line for the file when it is done");
  command->callback([request] { RunCompress(*request); });
}

}  // namespace zorellz::cli
