// zorellz compress INPUT [OUTPUT] [--level store|fast|max] [--force] [--quiet]
// One file into a single compressed file; without OUTPUT the name is
// INPUT's with the last character of its extension made a tilde.  An
// existing OUTPUT is replaced only with --force, and only once the new file
// is complete.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "archive/engine/ResultText.h"
#include "archive/engine/ZorelLZ.h"
#include "cli/Commands.h"
#include "cli/CreateSupport.h"
#include "cli/Progress.h"

namespace zorellz::cli {
namespace {

struct TCompressRequest {
  std::string Input;
  std::string Output;  // empty: the tilde name
  std::string Level;   // empty: the maximum, as for the tilde name
  bool Force = false;
  bool Quiet = false;
};

std::uint8_t ReplaceExisting(const TLZReportRec&, const TLZReportRec&) {
  return 1;
}

std::uint8_t KeepExisting(const TLZReportRec&, const TLZReportRec&) {
  return 0;
}

std::string OutputName(const TCompressRequest& request) {
  return request.Output.empty() ? LZCompressedAutoName(request.Input) : request.Output;
}

std::int32_t Compress(const TCompressRequest& request) {
  const TLZQuestionProc confirm = request.Force ? ReplaceExisting : KeepExisting;
  const std::string output = OutputName(request);
  const TEngineFiles files{output, request.Input};
  if (request.Output.empty() && request.Level.empty()) {
    return RunEngineOperation(
        [&] { return LZCompressFileAutoName(request.Input, confirm, ProgressReport); }, files);
  }
  const TLZCompressionChoices level =
      request.Level.empty() ? LZMaxCompression : LevelByName(request.Level);
  return RunEngineOperation(
      [&] { return LZCompressFile(request.Input, output, confirm, level, ProgressReport); }, files);
}

[[noreturn]] void FailOnResult(const TCompressRequest& request, std::int32_t result) {
  const std::string output = OutputName(request);
  switch (result) {
    case kLZSameInputOutput:
      if (const std::int32_t why = LZCheckCompressNames(request.Input, output);
          why != kLZSameInputOutput && why != 0) {
        FailCommand(request.Input, LZReadResultCause(why));
      }
      FailCommand(output, "is the input file as well");
    case kLZInputMissing:
      FailCommand(request.Input, "no such file");
    case kLZDeclinedOverwrite:
      FailCommand(output, "already exists (--force replaces it)");
    default:
      break;
  }
  std::string cause = CommonResultCause(result);
  if (cause.empty()) cause = "failed with result " + std::to_string(result);
  FailCommand(result == kLZCannotCreateOutput ? output : request.Input, cause);
}

void RunCompress(const TCompressRequest& request) {
  std::error_code error;
  if (std::filesystem::is_directory(request.Input, error)) {
    FailCommand(request.Input, "is a folder");
  }
  ProgressStart(request.Quiet);
  const std::int32_t result = Compress(request);
  if (result < 0) FailOnResult(request, result);
  ProgressSummary(OutputName(request), 1, result);
}

}  // namespace

void RegisterCompressCommand(CLI::App& app) {
  auto* command = app.add_subcommand("compress", "Compress one file into a compressed file");
  auto request = std::make_shared<TCompressRequest>();
  command->add_option("INPUT", request->Input, "File to compress")->required();
  command->add_option("OUTPUT", request->Output,
                      "Compressed file (default: INPUT with a tilde ending its extension)");
  command->add_option("--level", request->Level, "Compression level (default max)")
      ->check(CLI::IsMember(LevelNames()));
  command->add_flag("--force", request->Force, "Replace an existing OUTPUT");
  command->add_flag("--quiet", request->Quiet, "No progress and no summary");
  command->callback([request] { RunCompress(*request); });
}

}  // namespace zorellz::cli
