// The command line as a whole: the unknown command with the nearest known
// one, `help [COMMAND]`, the exit statuses shown under `--help`, and usage
// errors as one "zorellz:" line with status 2.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

namespace zorellz::cli {

struct TReporting;

// The meanings of the exit statuses, for the foot of `zorellz --help`.
std::string ExitStatusText();

// The known name nearest to `typed` (at most a third of its letters
// changed, added, dropped or swapped), or empty when none is near.
std::string NearestName(std::string_view typed, const std::vector<std::string>& known);

// Fails with status 2 when the first argument names no subcommand:
// "zorellz: unknown command 'lsit' (did you mean 'list'?)".
void CheckCommandName(CLI::App& app, int argc, char** argv);

// A usage error found after parsing: the line, the pointer to the help of
// `command`, status 2.
[[noreturn]] void FailUsage(const std::string& message, const std::string& command);

// `zorellz help [COMMAND]`: the help of the tool or of one command.
void RegisterHelpCommand(CLI::App& app);

// --quiet and --verbose on `command` (one excludes the other); `quiet` and
// `verbose` say what they do for this command.
void AddReportingOptions(CLI::App& command, TReporting& reporting, const std::string& quiet,
                         const std::string& verbose);

// Prints what the parser refused (or the help and version it was asked
// for) and returns the exit status: 0 for help and version, 2 otherwise.
int ReportUsageError(CLI::App& app, const CLI::ParseError& error);

}  // namespace zorellz::cli
