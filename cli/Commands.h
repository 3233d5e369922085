// The subcommands of the zorellz tool.  Each registers itself on the parser
// and runs from the parser's callback; it ends by returning (status 0) or by
// throwing TExitStatus (cli/Failure.h), after naming on stderr what failed,
// what was left out or what was kept.
#pragma once

#include "cli/Failure.h"

namespace CLI {
class App;
}

namespace zorellz::cli {

// Register the subcommands on `app`; a command runs while `app` parses.
void RegisterCrc32Command(CLI::App& app);
void RegisterInfoCommand(CLI::App& app);
void RegisterCodecCommand(CLI::App& app);
void RegisterCreateCommand(CLI::App& app);
void RegisterCompressCommand(CLI::App& app);
void RegisterListCommand(CLI::App& app);
void RegisterExtractCommand(CLI::App& app);
void RegisterTestCommand(CLI::App& app);
void RegisterExpandCommand(CLI::App& app);
void RegisterSfxExtractCommand(CLI::App& app);
void RegisterCommentCommand(CLI::App& app);

}  // namespace zorellz::cli
