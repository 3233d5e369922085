// zorellz test ARCHIVE [--yes] [--quiet|--verbose]
// Decodes every file of an archive without writing anything and checks its
// size and CRC-32; each damaged entry is named on stderr and the command
// ends with status 1.  Testing only inspects, so a protected archive is
// tested as well.  "-" reads the archive from standard input, spooled
// into a work file first (a reader needs the end of the file).
#include <CLI/CLI.hpp>

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

namespace zorellz::cli {
namespace {

struct TTestRequest {
  std::string Archive;
  bool Yes = false;
  std::int32_t Jobs = 1;
  TReporting Reporting;
};

void RunTest(TTestRequest request) {
  TWorkFolder work;
  const std::string shown = request.Archive;
  request.Archive = InputFile(request.Archive, work);
  LocateArchiveOrFail(request.Archive, shown);
  TLZContext context;
  ReadProtected(context, true);
  context.Jobs = request.Jobs;
  UseDiskPrompt(context);
  QuestionsStart(request.Archive, request.Yes);
  ReadProgressStart(request.Reporting);

  const std::int64_t result =
      RunReadOperation([&] { return LZTestArchive(context, request.Archive, ReadProgressReport); },
                       TEngineFiles{request.Archive, request.Archive});
  ProgressStop();
  const TReadTally& tally = ReadTally();
  for (const std::string& entry : tally.Failed) {
    ReportError(shown, "damaged entry " + NativeText(Cp1252ToUtf8(entry)));
  }
  if (result < 0 && tally.Failed.empty()) FailOnArchiveResult(shown, result);
  ReadProgressSummary(shown, tally.Files, "sound");
  if (!tally.Failed.empty()) throw TExitStatus{kExitFailure};
}

}  // namespace

void RegisterTestCommand(CLI::App& app) {
  auto* command = app.add_subcommand("test", "Check every file of an archive against its CRC-32");
  auto request = std::make_shared<TTestRequest>();
  command
      ->add_option("ARCHIVE", request->Archive,
                   "Archive, self-extracting file or part 1; - for standard input")
      ->required();
  command->add_flag("--yes", request->Yes, "Answer the disk prompts of a spanned archive");
  AddJobsOption(*command, request->Jobs);
  AddReportingOptions(*command, request->Reporting, "No progress and no summary",
                      "A line for each file as it is checked");
  command->callback([request] { RunTest(*request); });
}

}  // namespace zorellz::cli
