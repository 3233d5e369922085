#include "cli/ReadProgress.h"

#include <chrono>
#include <cstdio>

#include "cli/EntryText.h"
#include "cli/Progress.h"

namespace zorellz::cli {
namespace {

using TClock = std::chrono::steady_clock;

struct TReadProgress {
  TReporting Reporting;
  TClock::time_point Started;
  TReadTally Tally;
  // A test reports a damaged entry after its end: the end is taken back.
  bool LastEventWasDone = false;
  std::int64_t LastPacked = 0;
  std::int64_t LastUnpacked = 0;
};

TReadProgress state;

void FileDone(const TLZReportRec& record) {
  TReadTally& tally = state.Tally;
  ++tally.Files;
  tally.Packed += record.CompressedSize;
  tally.Unpacked += record.UncompressedSize;
  state.LastEventWasDone = true;
  state.LastPacked = record.CompressedSize;
  state.LastUnpacked = record.UncompressedSize;
}

void FileFailed(const TLZReportRec& record) {
  TReadTally& tally = state.Tally;
  if (state.LastEventWasDone) {
    --tally.Files;
    tally.Packed -= state.LastPacked;
    tally.Unpacked -= state.LastUnpacked;
  }
  tally.Failed.push_back(record.FileName.empty() ? tally.LastBegun : record.FileName);
}

void Track(const TLZReportRec& record, std::int32_t code) {
  if (code >= 0) return;
  switch (code) {
    case kLZReportFileBegins:
      state.Tally.LastBegun = record.FileName;
      break;
    case kLZReportFileDone:
      FileDone(record);
      return;
    case kLZCRCMismatch:
      FileFailed(record);
      break;
    case kLZReportSkipped:
      ++state.Tally.Kept;
      state.Tally.KeptNames.push_back(record.FileName);
      break;
    default:
      break;
  }
  state.LastEventWasDone = false;
}

}  // namespace

void ReadProgressStart(const TReporting& reporting) {
  state = TReadProgress{};
  state.Reporting = reporting;
  state.Started = TClock::now();
  ProgressStart(reporting);
}

std::int32_t ReadProgressReport(TLZReportRec& record, std::int32_t code) {
  Track(record, code);
  if (code != kLZReportFileBegins) return ProgressReport(record, code);
  // Names come from the archive: the bar shows them harmless to the terminal.
  TLZReportRec shown = record;
  shown.FileName = Printable(record.FileName);
  return ProgressReport(shown, code);
}

const TReadTally& ReadTally() {
  return state.Tally;
}

void ReadProgressSummary(const std::string& subject, std::int32_t files, const std::string& done) {
  ProgressStop();
  if (state.Reporting.Quiet) return;
  const TReadTally& tally = state.Tally;
  const double seconds = std::chrono::duration<double>(TClock::now() - state.Started).count();
  std::string bytes;
  if (tally.Files > 0) {
    bytes =
        ", " + std::to_string(tally.Packed) + " -> " + std::to_string(tally.Unpacked) + " bytes";
  }
  if (tally.Kept > 0) bytes += ", " + std::to_string(tally.Kept) + " kept";
  std::FILE* out = ReportStream(state.Reporting);
  std::fprintf(out, "%s: %s %s%s, %.2f s\n", subject.c_str(), FilesText(files).c_str(),
               done.c_str(), bytes.c_str(), seconds);
  std::fflush(out);
}

}  // namespace zorellz::cli
