// The --jobs option of the commands that code entries: how many at once.
#pragma once

#include <cstdint>

#include <CLI/CLI.hpp>

namespace zorellz::cli {

// Adds --jobs N (at least 1) to `command`; `jobs` starts as every core the
// process may use, and 1 codes one entry after another.
void AddJobsOption(CLI::App& command, std::int32_t& jobs);

}  // namespace zorellz::cli
