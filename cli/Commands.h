// The commands of the zorellz tool.  Each returns the process exit status:
// 0 success, 1 failure (one line on stderr naming the file and the cause),
// 2 an archive was made but inputs named on stderr were left out of it.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace zorellz::cli {

// Thrown by a command that ends with a non-zero exit status.
struct TExitStatus {
  int Code;
};

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

// One line on stderr: "zorellz: <subject>: <cause>".
void ReportError(const std::string& subject, const std::string& cause);

}  // namespace zorellz::cli
