// zorellz: the command-line archiver.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "platform/WorkFiles.h"

int main(int argc, char** argv) {
  CLI::App app{
      "zorellz - archives of the ZrlLZ format: creation, extraction, checksums, inspection"};
  app.require_subcommand(1);
  // An interrupted command leaves no work file behind (exit status 128 + signal).
  zorellz::RemoveWorkFilesOnInterrupt();
  zorellz::cli::RegisterCrc32Command(app);
  zorellz::cli::RegisterInfoCommand(app);
  zorellz::cli::RegisterCodecCommand(app);
  zorellz::cli::RegisterCreateCommand(app);
  zorellz::cli::RegisterCompressCommand(app);
  zorellz::cli::RegisterListCommand(app);
  zorellz::cli::RegisterExtractCommand(app);
  zorellz::cli::RegisterTestCommand(app);
  zorellz::cli::RegisterExpandCommand(app);
  zorellz::cli::RegisterSfxExtractCommand(app);
  zorellz::cli::RegisterCommentCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 1;
  } catch (const zorellz::cli::TExitStatus& status) {
    return status.Code;
  } catch (const std::exception& error) {
    zorellz::cli::ReportError("error", error.what());
    return 1;
  }
  return 0;
}
