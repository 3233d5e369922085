// zorellz info ARCHIVE: where the archive lies in the file, its header
// fields, and whether its directory loads.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/DirectoryText.h"
#include "cli/Progress.h"
#include "cli/Usage.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::cli {
namespace {

// Info only inspects: a protected archive is shown, not opened for use.
std::int32_t AcceptForInspection(const TLZArchiveHeader&, std::int32_t) {
  return kLZPasswordAccepted;
}

struct TInfoRequest {
  std::string Archive;
  TReporting Reporting;
};

void RunInfo(const TInfoRequest& request) {
  const std::string& name = request.Archive;
  TLZContext context;
  context.CheckPassWord = AcceptForInspection;
  TLZArchiveHeader header;
  std::int32_t located = LZLocateArchive(context, name, header);
  if (located == kLZNoFile) FailCommand(name, MissingFileCause(name));
  if (located < 0)
    FailCommand(name, "no archive found (neither at the start nor through a trailer)");
  // Quiet: the status alone tells whether the directory loads.
  if (request.Reporting.Quiet && std::freopen("/dev/null", "w", stdout) == nullptr) {
    FailCommand("/dev/null", SystemCause(errno));
  }
  std::printf("archive    %s\n", name.c_str());
  if (located == 0) {
    std::printf("found      at offset 0\n");
  } else {
    std::printf("found      through the trailer, at offset %d\n", header.Trailer.ArchiveOffset);
    context.HeaderOffset = header.Trailer.ArchiveOffset;
  }
  std::printf("protected  %s\n", header.Trailer.Protection != 0 ? "yes" : "no");
  std::printf("header\n");
  std::fputs(InfoHeaderText(header).c_str(), stdout);
  TZorelLZArchiveHeader directory;
  std::int32_t loaded = LZLoadDirectory(context, name, directory);
  std::printf("directory  %s\n", DirectoryVerdict(loaded, directory).c_str());
  std::fflush(stdout);
  if (loaded != 0) FailCommand(name, "directory " + DirectoryVerdict(loaded, directory));
}

}  // namespace

void RegisterInfoCommand(CLI::App& app) {
  auto* command = app.add_subcommand("info", "Show where an archive lies and its header");
  auto request = std::make_shared<TInfoRequest>();
  command->add_option("ARCHIVE", request->Archive, "Archive or self-extracting file")->required();
  AddReportingOptions(*command, request->Reporting, "Print nothing; the status tells",
                      "Every field (the default)");
  command->callback([request] { RunInfo(*request); });
}

}  // namespace zorellz::cli
