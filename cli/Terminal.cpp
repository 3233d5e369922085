#include "cli/Terminal.h"

#include <cctype>
#include <cstdio>
#include <iostream>

#include "cli/Progress.h"
#include "platform/System.h"

namespace zorellz::cli {

bool StdinIsTerminal() {
  return IsTerminal(TStdStream::kInput);
}

std::optional<std::string> AskLine(const std::string& question) {
  ProgressStop();
  std::fprintf(stderr, "%s", question.c_str());
  std::fflush(stderr);
  std::string line;
  if (!std::getline(std::cin, line)) {
    std::fprintf(stderr, "\n");
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::optional<char> AskChoice(const std::string& question, const std::string& choices) {
  for (;;) {
    const std::optional<std::string> answer = AskLine(question);
    if (!answer) return std::nullopt;
    const std::size_t first = answer->find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    const char letter =
        static_cast<char>(std::tolower(static_cast<unsigned char>((*answer)[first])));
    if (choices.find(letter) != std::string::npos) return letter;
  }
}

}  // namespace zorellz::cli
