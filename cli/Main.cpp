// zorellz: the command-line archiver.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "platform/System.h"

int main(int argc, char** argv) {
  CLI::App app{
      "zorellz - archives of the ZrlLZ format: creation, extraction, checksums, inspection"};
  app.require_subcommand(1);
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
    std::vector<std::string> arguments = zorellz::ProgramArguments(argc, argv);
    std::vector<char*> words;
    for (std::string& argument : arguments) words.push_back(argument.data());
    app.parse(static_cast<int>(words.size()), words.data());
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
