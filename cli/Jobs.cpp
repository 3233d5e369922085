#include "cli/Jobs.h"

#include "platform/System.h"

namespace zorellz::cli {

void AddJobsOption(CLI::App& command, std::int32_t& jobs) {
  jobs = static_cast<std::int32_t>(AvailableCores());
  command
      .add_option("-j,--jobs", jobs,
                  "Entries coded at once (default: every core, here " + std::to_string(jobs) +
                      "); 1 codes one after another; the archive is the same")
      ->check(CLI::Range(1, 1024));
}

}  // namespace zorellz::cli
