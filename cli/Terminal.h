// Questions to the person at the terminal: the text goes to stderr (stdout
// carries the command's results), the answer is a line of stdin.  The
// progress bar is taken down before each question.
#pragma once

#include <optional>
#include <string>

namespace zorellz::cli {

bool StdinIsTerminal();

// Shows `question` and reads one line (without its line end); nothing when
// stdin has ended.
std::optional<std::string> AskLine(const std::string& question);

// Shows `question` until the answer starts with one of `choices` (lower
// case letters, either case accepted): that letter, or nothing when stdin
// has ended.
std::optional<char> AskChoice(const std::string& question, const std::string& choices);

}  // namespace zorellz::cli
