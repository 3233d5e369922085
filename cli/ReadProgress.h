// Progress of one reading command (extract, test, expand): the bar of
// cli/Progress while the engine works, a tally of what became of the
// entries, and a one-line summary on stdout at the end.  The engine reports
// through a plain function pointer, so the tally of the one running command
// lives in this module.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Progress.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

struct TReadTally {
  std::int32_t Files = 0;              // files written (or found sound)
  std::int64_t Packed = 0;             // their size in the archive
  std::int64_t Unpacked = 0;           // their own size
  std::int32_t Kept = 0;               // existing files left in place
  std::vector<std::string> KeptNames;  // their paths, as the engine gave them
  // The names of the entries reported as damaged or not written, as the
  // engine gave them (target paths, or paths inside the archive for a test).
  std::vector<std::string> Failed;
  std::string LastBegun;  // the name of the last file begun
};

// Starts timing a command (see TReporting).
void ReadProgressStart(const TReporting& reporting);

// The engine's report function for reading operations.
std::int32_t ReadProgressReport(TLZReportRec& record, std::int32_t code);

const TReadTally& ReadTally();

// Removes the bar and prints "<subject>: N files <done>, P -> U bytes, T s"
// unless quiet.  The bytes are those of the files the engine reported done
// (left out when it reported none); ", K kept" counts the existing files
// kept at the user's answer.
void ReadProgressSummary(const std::string& subject, std::int32_t files, const std::string& done);

}  // namespace zorellz::cli
