// Progress of one creating command: a bar on stderr while the engine works
// (only when stderr is a terminal) and a one-line summary on stdout at the
// end.  The engine reports through a plain function pointer, so the state of
// the one running command lives in this module; commands run one at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

// How a command reports.  --quiet silences the bar, the summary and the
// verbose lines; --verbose adds one line per entry as it is done.  When
// stdout carries the command's data, those lines go to stderr.
struct TReporting {
  bool Quiet = false;
  bool Verbose = false;
  bool DataOnStdout = false;
};

// Where the summary and the verbose lines of the running command go.
std::FILE* ReportStream(const TReporting& reporting);

// Starts timing a command.
void ProgressStart(const TReporting& reporting);

// One line for an entry done, when the command is verbose: `name` as the
// engine gave it, made printable, with the native separator.
void ProgressVerbose(const std::string& name);

// The engine's report function: follows the archive's first directory (-6),
// the files as they begin (-1), their input bytes (n >= 0) and their ends (-2).
// Other codes leave the bar as it is; those of placing or joining parts (-8
// to -12) carry sizes in their own fields and are never taken for bytes.
std::int32_t ProgressReport(TLZReportRec& record, std::int32_t code);

// An input that the engine left out, or archived as an empty entry
// (`became_entry`): the line goes to stderr on a line of its own, the bar
// is drawn again below it.
void ProgressInputLeftOut(const std::string& line, bool became_entry);

// The built archive being written to its place: from now on the bar shows
// `done` of `total` bytes under `label` ("writing part 2 of 3").
void ProgressWriting(const std::string& label, std::int64_t done, std::int64_t total);

// Removes the bar, so that an error line starts on a clean line.
void ProgressStop();

// Removes the bar and prints "<output>: N files, IN -> OUT bytes (S% saved),
// T s" unless quiet, followed by "; <placement>" when one is given; IN is
// the size of the finished inputs.
void ProgressSummary(const std::string& output, std::int32_t files, std::int64_t output_bytes,
                     const std::string& placement = {});

}  // namespace zorellz::cli
