// zorellz create --span: the archive is built in a work file of the
// temporary folder, then moved whole to its place when it fits on one disk,
// or cut into parts (ARCHIVE, then its name with the extension .2, .3 ...),
// the disk prompt of cli/Questions asked before each part.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

struct TSpanCreateRequest {
  std::string Archive;
  std::string FileSpecs;
  std::string Stub;  // empty: an ordinary archive
  std::int32_t DiskSize = 0;
  TLZRecurse Recurse = LZNoRecurse;
  TLZCompressionChoices Level = LZMaxCompression;
  bool AssumeYes = false;  // every disk prompt goes on without asking
};

// Where a finished archive went.
struct TSpanPlacement {
  std::int32_t Files = 0;
  std::vector<std::string> Written;  // the archive, or its parts in order
  std::int64_t FileBytes = 0;        // the file as it was before it was cut
};

// Fails the command when the archive's folder is missing or the archive
// names a folder: the archive would be built for nothing.
void CheckSpanTarget(const std::string& archive);

// Runs the creation with the bar of cli/Progress (started by the caller).
// Returns the builder's own negative results for the caller to report;
// every failure to place the archive, and an archive without any file, end
// the command with one line.
std::int32_t CreateSpanned(TLZContext& context, const TSpanCreateRequest& request,
                           TSpanPlacement& placement);

}  // namespace zorellz::cli
