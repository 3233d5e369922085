// The words of a command line, read alike on every system: blanks separate
// words, double quotes group them and are dropped ("a b"c is the one word
// a bc).  No shell rules apply.
#pragma once

#include <string>
#include <vector>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

std::vector<std::string> SplitCommandLine(const std::string& command_line);

}  // namespace zorellz
ZORELLZ_API_END
