#include <mutex>
#include <utility>

#include "platform/StartNative.h"
#include "platform/System.h"

namespace zorellz {
namespace {

// Set by tests in place of the real start.
std::mutex start_replacement_mutex;
TStartCommandFunc start_replacement;

}  // namespace

TStartCommandFunc SetStartCommandFunc(TStartCommandFunc start) {
  std::lock_guard<std::mutex> lock(start_replacement_mutex);
  TStartCommandFunc previous = std::move(start_replacement);
  start_replacement = std::move(start);
  return previous;
}

bool StartCommand(const std::string& command_line) {
  TStartCommandFunc replacement;
  {
    std::lock_guard<std::mutex> lock(start_replacement_mutex);
    replacement = start_replacement;
  }
  return replacement ? replacement(command_line) : StartCommandNative(command_line);
}

}  // namespace zorellz
