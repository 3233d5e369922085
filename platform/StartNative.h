// Internal to the platform layers: the real start behind StartCommand, which
// each layer's System.cpp defines; StartCommand.cpp puts a test's
// replacement in front of it.
#pragma once

#include <string>

namespace zorellz {

bool StartCommandNative(const std::string& command_line);

}  // namespace zorellz
