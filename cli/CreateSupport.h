// What the creating commands (create, compress) share: the names of the
// compression levels, and the engine's exceptions turned into the one
// failure line of cli/Failure.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/Failure.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

// "store", "fast", "max".
std::vector<std::string> LevelNames();
// The level of one of those names (validated by the parser beforehand).
TLZCompressionChoices LevelByName(const std::string& name);

// The files of one creating command, to name the one a failure concerns.
struct TEngineFiles {
  std::string Output;  // the archive or compressed file being written
  std::string Input;   // the file mask, list file or input file
};

// The list file of a "/F=LISTFILE" request (the prefix in either
// case, wherever it stands); empty for a wildcard mask.
std::string ListFileOf(const std::string& file_specs);

// Runs one engine operation; the exceptions it raises (the EZorelLZError
// family, input/output errors, lack of memory) end the command with a line
// naming the file they concern.  Returns the operation's result.
std::int32_t RunEngineOperation(const std::function<std::int32_t()>& operation,
                                const TEngineFiles& files);

}  // namespace zorellz::cli
