#include "platform/System.h"
#include "platform/win32/WinText.h"

// After windows.h, which it needs.
#include <shellapi.h>

namespace zorellz {

namespace {

HANDLE StreamHandle(TStdStream stream) {
  switch (stream) {
    case TStdStream::kInput:
      return GetStdHandle(STD_INPUT_HANDLE);
    case TStdStream::kOutput:
      return GetStdHandle(STD_OUTPUT_HANDLE);
    case TStdStream::kError:
      return GetStdHandle(STD_ERROR_HANDLE);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

// Only a console has a console mode.
bool IsTerminal(TStdStream stream) {
  DWORD mode = 0;
  return GetConsoleMode(StreamHandle(stream), &mode) != 0;
}

int TerminalWidth(TStdStream stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(StreamHandle(stream), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(win32::WideToUtf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace zorellz
