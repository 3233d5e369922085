#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/System.h"

namespace zorellz {

namespace {

int Descriptor(TStdStream stream) {
  switch (stream) {
    case TStdStream::kInput:
      return STDIN_FILENO;
    case TStdStream::kOutput:
      return STDOUT_FILENO;
    case TStdStream::kError:
      return STDERR_FILENO;
  }
  return STDERR_FILENO;
}

}  // namespace

bool IsTerminal(TStdStream stream) {
  return isatty(Descriptor(stream)) == 1;
}

int TerminalWidth(TStdStream stream) {
  winsize size{};
  if (ioctl(Descriptor(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 0;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace zorellz
