// zorellz: the command-line archiver.  The command line follows the GNU
// conventions: `--help`, `--version`, `help [COMMAND]`, every message
// prefixed with "zorellz:", status 2 for a command line that is wrong.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Usage.h"
#include "platform/System.h"
#include "platform/WorkFiles.h"
#include "zorellz/platform/Version.h"

int main(int argc, char** argv) {
  using namespace zorellz::cli;
  CLI::App app{
      "zorellz - archives of the ZrlLZ format: creation, extraction, checksums, inspection",
      "zorellz"};
  app.require_subcommand(1);
  // An interrupted command leaves no work file behind (exit status 128 + signal).
  zorellz::RemoveWorkFilesOnInterrupt();
  app.set_version_flag("--version", std::string("zorellz ") + zorellz::Version());
  app.footer(ExitStatusText());
  RegisterCrc32Command(app);
  RegisterInfoCommand(app);
  RegisterCodecCommand(app);
  RegisterCreateCommand(app);
  RegisterCompressCommand(app);
  RegisterListCommand(app);
  RegisterExtractCommand(app);
  RegisterTestCommand(app);
  RegisterExpandCommand(app);
  RegisterSfxExtractCommand(app);
  RegisterCommentCommand(app);
  RegisterHelpCommand(app);
  try {
    CheckCommandName(app, argc, argv);
    std::vector<std::string> arguments = zorellz::ProgramArguments(argc, argv);
    std::vector<char*> words;
    for (std::string& argument : arguments) words.push_back(argument.data());
    app.parse(static_cast<int>(words.size()), words.data());
  } catch (const CLI::ParseError& error) {
    return ReportUsageError(app, error);
  } catch (const TExitStatus& status) {
    return status.Code;
  } catch (const std::exception& error) {
    ReportError("error", error.what());
    return kExitFailure;
  }
  return kExitSuccess;
}
