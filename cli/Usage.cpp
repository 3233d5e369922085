#include "cli/Usage.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/Failure.h"
#include "cli/Progress.h"

namespace zorellz::cli {
namespace {

// Letters changed, added, dropped or swapped with their neighbour.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

std::vector<std::string> CommandNames(CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
  return names;
}

void PrintUsageFailure(const std::string& message, const std::string& help_for) {
  std::fflush(stdout);
  std::fprintf(stderr, "zorellz: %s\nTry 'zorellz %s--help' for more information.\n",
               message.c_str(), help_for.c_str());
}

[[noreturn]] void FailUnknownCommand(CLI::App& app, const std::string& typed) {
  const std::string nearest = NearestName(typed, CommandNames(app));
  PrintUsageFailure("unknown command '" + typed + "'" +
                        (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)"),
                    "");
  throw TExitStatus{kExitUsage};
}

void PrintHelp(CLI::App& app, const std::string& command) {
  if (command.empty()) {
    std::printf("%s", app.help().c_str());
    return;
  }
  CLI::App* found = nullptr;
  for (CLI::App* candidate : app.get_subcommands({})) {
    if (candidate->get_name() == command) found = candidate;
  }
  if (found == nullptr) FailUnknownCommand(app, command);
  std::printf("%s", found->help("zorellz").c_str());
}

}  // namespace

std::string ExitStatusText() {
  return "Exit status:\n"
         "  0  success\n"
         "  1  failure: a line on stderr names the file and the cause\n"
         "  2  a wrong command line (nothing was done); or done, but inputs were left out\n"
         "     of the archive (create) or existing files were kept (extract, expand,\n"
         "     sfx-extract, create --overwrite never): each is named on stderr\n";
}

void FailUsage(const std::string& message, const std::string& command) {
  PrintUsageFailure(message, command + " ");
  throw TExitStatus{kExitUsage};
}

std::string NearestName(std::string_view typed, const std::vector<std::string>& known) {
  std::string nearest;
  std::size_t best = typed.size() / 3 + 1;
  for (const std::string& name : known) {
    const std::size_t distance = EditDistance(typed, name);
    if (distance < best) {
      best = distance;
      nearest = name;
    }
  }
  return nearest;
}

void CheckCommandName(CLI::App& app, int argc, char** argv) {
  if (argc < 2) return;
  const std::string first = argv[1];
  if (first.empty() || first[0] == '-') return;
  const std::vector<std::string> names = CommandNames(app);
  if (std::find(names.begin(), names.end(), first) != names.end()) return;
  FailUnknownCommand(app, first);
}

void RegisterHelpCommand(CLI::App& app) {
  auto* command = app.add_subcommand("help", "Show the help of the tool or of one command");
  auto name = std::make_shared<std::string>();
  command->add_option("COMMAND", *name, "Command to describe");
  command->callback([&app, name] {
    PrintHelp(app, *name);
    std::fflush(stdout);
  });
}

void AddReportingOptions(CLI::App& command, TReporting& reporting, const std::string& quiet,
                         const std::string& verbose) {
  auto* quiet_flag = command.add_flag("-q,--quiet", reporting.Quiet, quiet);
  command.add_flag("-v,--verbose", reporting.Verbose, verbose)->excludes(quiet_flag);
}

int ReportUsageError(CLI::App& app, const CLI::ParseError& error) {
  const int status = error.get_exit_code();
  if (status == static_cast<int>(CLI::ExitCodes::Success)) {
    // --help and --version: their text on stdout.
    app.exit(error);
    return kExitSuccess;
  }
  std::string message = error.what();
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    message += " (a wildcard that the shell expanded? quote it)";
  }
  std::string help_for;
  for (const CLI::App* command : app.get_subcommands()) help_for = command->get_name() + " ";
  PrintUsageFailure(message, help_for);
  return kExitUsage;
}

}  // namespace zorellz::cli
