// Pieces of the engine that every operation shares.  Internal to the engine:
// callers go through the routines and setters of ZorelLZ.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz {

// The process's context under the name the engine's own tests use.
using TLZEngineState = TLZContext;
inline TLZContext& LZEngine() {
  return LZDefaultContext();
}

// Tells the context's skipped-input hook, when one is installed.
void LZReportSkippedInput(const TLZContext& context, const std::string& path, TLZSkipReason reason);

// The record of an archive's summary: its totals, entry count and names
// size under `name`, as creation, listing and testing report them.
TLZReportRec LZHeaderSummaryRecord(const std::string& name, const TLZArchiveHeader& header);

// Reads one on-disk record at the file position; false when the file ends
// before the whole record is in.
template <typename Record>
bool LZReadRecord(TFile& file, Record& record) {
  std::array<std::uint8_t, Record::kSize> bytes{};
  if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return false;
  record.Read(bytes.data());
  return true;
}

}  // namespace zorellz
