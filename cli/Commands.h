// The commands of the zorellz tool.  Each returns the process exit status:
// 0 success, 1 failure (one line on stderr naming the file and the cause).
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

// One line on stderr: "zorellz: <subject>: <cause>".
void ReportError(const std::string& subject, const std::string& cause);

}  // namespace zorellz::cli
