// The engine's one block copy: files move kLZCopyBlockSize bytes at a time,
// with progress, an optional CRC-32 of what passes, and a choice of what a
// source that ends early means.  Internal to the engine.
#pragma once

#include <cstdint>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/File.h"

namespace zorellz {

struct TLZCopyOptions {
  // Called with `Record` and each block's length, as it is read or as it is
  // written.
  TLZReportHook Progress;
  TLZReportRec* Record = nullptr;
  bool ProgressOnWrite = false;
  // Whether the read that finds the end of the source is reported too.
  bool ReportEmptyRead = false;
  std::uint32_t* CRC = nullptr;  // the CRC-32 of the bytes copied, when given
  // With a count, a source that ends first raises EInOutError 100 (before
  // the short block is written); otherwise the copy just stops there.
  bool ShortSourceRaises = false;
};

// Copies `count` bytes (negative: up to the end) from `source`'s position
// into `target` (nullptr: nowhere); returns the bytes copied.
std::int64_t LZCopyBytes(TFile& source, TFile* target, std::int64_t count,
                         const TLZCopyOptions& options);

}  // namespace zorellz
