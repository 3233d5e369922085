// zorellz list ARCHIVE [--json] [--quiet|--verbose]
// The entries of an archive: a plain one, one appended to a program (found
// through its trailer) or the first part of a spanned archive, whose
// directory part 1 holds alone; "-" reads it from standard input, spooled
// into a work file first.  A table and a summary line, or one JSON object
// (format 1, described in the README) with every header field and every
// entry.  Paths are shown with the native separator.  Listing only
// inspects, so a protected archive is listed as well.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/CreateSupport.h"
#include "cli/DirectoryText.h"
#include "cli/Progress.h"
#include "cli/ReadSupport.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::cli {
namespace {

struct TListRequest {
  std::string Archive;
  bool Json = false;
  TReporting Reporting;
};

TZorelLZArchiveHeader LoadDirectory(const std::string& archive, const std::string& shown,
                                    const TArchiveLocation& location) {
  TLZContext context;
  ReadProtected(context, true);
  context.HeaderOffset = location.Offset;
  TZorelLZArchiveHeader directory;
  const std::int32_t result = LZViewArchive(
      context, archive, [&directory](PZorelLZArchiveHeader loaded, std::int32_t entry) {
        if (entry == kLZReportSummary) directory = *loaded;
        return 0;  // the whole directory is in hand
      });
  if (result == kLZReadDirectoryFailed && location.Spanned()) {
    FailCommand(shown, "the directory goes on in part 2, which only extract and test read");
  }
  if (result < 0) FailCommand(shown, ResultCause(result));
  return directory;
}

void RunList(const TListRequest& request) {
  TWorkFolder work;
  const std::string archive = InputFile(request.Archive, work);
  const TArchiveLocation location = LocateArchiveOrFail(archive, request.Archive);
  const TZorelLZArchiveHeader directory = LoadDirectory(archive, request.Archive, location);
  if (request.Reporting.Quiet) return;
  if (request.Json) {
    std::fputs(ListJson(request.Archive, location, directory).c_str(), stdout);
  } else {
    std::fputs(ListTable(directory).c_str(), stdout);
    std::fputs(ListSummary(request.Archive, location, directory).c_str(), stdout);
  }
  std::fflush(stdout);
}

}  // namespace

void RegisterListCommand(CLI::App& app) {
  auto* command = app.add_subcommand("list", "List the entries of an archive");
  auto request = std::make_shared<TListRequest>();
  command
      ->add_option("ARCHIVE", request->Archive,
                   "Archive, self-extracting file or part 1; - for standard input")
      ->required();
  command->add_flag("--json", request->Json, "One JSON object: the header and every entry");
  AddReportingOptions(*command, request->Reporting,
                      "Print nothing; the status tells whether the directory loads",
                      "The table and the summary (the default)");
  command->callback([request] { RunList(*request); });
}

}  // namespace zorellz::cli
