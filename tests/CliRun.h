// Runs the built zorellz tool as a user would: with its standard input from
// a string (or nothing), or on a pseudo-terminal that types the answers
// given, and captures what it printed and its exit status.  The tool's own
// end-to-end tests (cli_tool_test.cpp) use nothing else to drive it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zorellz::test {

struct TToolRun {
  int Status = -1;  // the exit status; 128 + N when signal N ended the tool
  std::string Out;  // stdout (on a terminal: everything the terminal showed)
  std::string Err;  // stderr
};

struct TToolOptions {
  std::optional<std::string> Input;                      // stdin; nothing: /dev/null
  std::filesystem::path Folder;                          // working folder; empty: this one
  std::vector<std::pair<std::string, std::string>> Env;  // set for the tool
  std::int64_t FileSizeLimit = -1;                       // RLIMIT_FSIZE in bytes
};

// The tool with `args` (without its own name).
TToolRun RunTool(const std::vector<std::string>& args, const TToolOptions& options = {});

// The tool on a pseudo-terminal (stdin, stdout and stderr), with `typed`
// sent as the user's keystrokes and then an end of input (^D); Out holds
// all it showed, Err stays empty.
TToolRun RunToolOnTerminal(const std::vector<std::string>& args, const std::string& typed,
                           const TToolOptions& options = {});

}  // namespace zorellz::test
