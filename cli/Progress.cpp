#include "cli/Progress.h"

#include "cli/EntryText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/System.h"

namespace zorellz::cli {
namespace {

using TClock = std::chrono::steady_clock;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;
constexpr int kDefaultColumns = 80;
constexpr double kMegabyte = 1e6;

struct TProgress {
  TReporting Reporting;
  bool Drawing = false;  // stderr is a terminal and the bar is wanted
  bool BarShown = false;
  TClock::time_point Started;
  TClock::time_point LastDrawn;
  // From the archive's first directory; -1 for a single compressed file.
  std::int32_t EntryCount = -1;
  std::int32_t FilesTotal = -1;  // known once the first file begins
  std::int32_t FilesDone = 0;
  std::int32_t UnopenedFiles = 0;
  std::int64_t BytesTotal = 0;
  std::int64_t BytesDone = 0;
  std::int64_t BytesBeforeFile = 0;
  std::int64_t CurrentFileBytes = 0;  // the size of the file being read
  std::int64_t InputBytes = 0;        // uncompressed size of the finished files
  std::string Current;
  std::string CurrentPath;  // as the engine named it when the file began
  // Once the archive is built and being written to its place.
  bool Writing = false;
  std::string WritingLabel;
  std::int64_t WritingDone = 0;
  std::int64_t WritingTotal = 0;
};

TProgress progress;

double Seconds(TClock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

int TerminalColumns() {
  const int width = TerminalWidth(TStdStream::kError);
  return width > 0 ? width : kDefaultColumns;
}

std::string Format(const char* format, double a, double b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

double Share(std::int64_t done, std::int64_t total) {
  return total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0;
}

std::string Bar(double done) {
  const int filled = static_cast<int>(std::clamp(done, 0.0, 1.0) * kBarWidth);
  return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
}

std::string Counts() {
  std::string files = std::to_string(progress.FilesDone);
  if (progress.FilesTotal >= 0) files += "/" + std::to_string(progress.FilesTotal);
  const double elapsed = Seconds(TClock::now() - progress.Started);
  const double rate = elapsed > 0 ? progress.BytesDone / kMegabyte / elapsed : 0;
  return "  " + files + " files  " +
         Format("%.1f/%.1f MB", progress.BytesDone / kMegabyte, progress.BytesTotal / kMegabyte) +
         "  " + Format("%.1f MB/s", rate);
}

std::string BuildingLine() {
  double done = Share(progress.BytesDone, progress.BytesTotal);
  if (progress.BytesTotal <= 0) done = Share(progress.FilesDone, progress.FilesTotal);
  return Bar(done) + Counts() + "  " + progress.Current;
}

std::string WritingLine() {
  return Bar(Share(progress.WritingDone, progress.WritingTotal)) + "  " + progress.WritingLabel +
         "  " +
         Format("%.1f/%.1f MB", progress.WritingDone / kMegabyte,
                progress.WritingTotal / kMegabyte);
}

void Draw() {
  std::string line = progress.Writing ? WritingLine() : BuildingLine();
  const std::size_t room = static_cast<std::size_t>(TerminalColumns() - 1);
  if (line.size() > room) line.resize(room);
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  progress.BarShown = true;
  progress.LastDrawn = TClock::now();
}

void DrawNowAndThen() {
  if (progress.Drawing && TClock::now() - progress.LastDrawn >= kRedrawInterval) Draw();
}

void Erase() {
  if (!progress.BarShown) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  progress.BarShown = false;
}

// Folder entries come first and are never reported; the files are what
// follows them, so the first file's position tells how many there are.
void FileBegins(const TLZReportRec& record) {
  if (progress.FilesTotal < 0) {
    if (progress.EntryCount >= 0) {
      const std::int32_t folders = record.ArchiveID - 1 - progress.UnopenedFiles;
      progress.FilesTotal = progress.EntryCount - std::max(folders, 0);
    } else {
      progress.FilesTotal = 1;
      progress.BytesTotal = record.UncompressedSize;
    }
  }
  progress.BytesBeforeFile = progress.BytesDone;
  progress.CurrentFileBytes = record.UncompressedSize;
  progress.Current = std::filesystem::path(record.FileName).filename().string();
  progress.CurrentPath = record.FileName;
  DrawNowAndThen();
}

// A compressed file taken over ends with the size it had before it was
// compressed: that counts for the summary, its own size for the bar.
void FileDone(const TLZReportRec& record) {
  // Not every operation names the file again at its end.
  ProgressVerbose(record.FileName.empty() ? progress.CurrentPath : record.FileName);
  ++progress.FilesDone;
  progress.InputBytes += record.UncompressedSize;
  progress.BytesDone = progress.BytesBeforeFile + progress.CurrentFileBytes;
  DrawNowAndThen();
}

}  // namespace

std::FILE* ReportStream(const TReporting& reporting) {
  return reporting.DataOnStdout ? stderr : stdout;
}

void ProgressStart(const TReporting& reporting) {
  progress = TProgress{};
  progress.Reporting = reporting;
  progress.Drawing = !reporting.Quiet && IsTerminal(TStdStream::kError);
  progress.Started = TClock::now();
}

std::int32_t ProgressReport(TLZReportRec& record, std::int32_t code) {
  if (code >= 0) {
    progress.BytesDone += code;
    DrawNowAndThen();
    return 1;
  }
  switch (code) {
    case kLZReportSummary:
      progress.EntryCount = record.FileAttr;
      progress.BytesTotal = record.UncompressedSize;
      DrawNowAndThen();
      break;
    case kLZReportFileBegins:
      FileBegins(record);
      break;
    case kLZReportFileDone:
      FileDone(record);
      break;
    default:
      break;
  }
  return 1;
}

void ProgressInputLeftOut(const std::string& line, bool became_entry) {
  if (became_entry) {
    ++progress.UnopenedFiles;
    ++progress.FilesDone;
  }
  Erase();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  DrawNowAndThen();
}

void ProgressWriting(const std::string& label, std::int64_t done, std::int64_t total) {
  progress.Writing = true;
  progress.WritingLabel = label;
  progress.WritingDone = done;
  progress.WritingTotal = total;
  DrawNowAndThen();
}

void ProgressVerbose(const std::string& name) {
  if (!progress.Reporting.Verbose || progress.Reporting.Quiet) return;
  Erase();
  std::FILE* out = ReportStream(progress.Reporting);
  std::fprintf(out, "%s\n", NativeText(name).c_str());
  std::fflush(out);
  DrawNowAndThen();
}

void ProgressStop() {
  Erase();
}

void ProgressSummary(const std::string& output, std::int32_t files, std::int64_t output_bytes,
                     const std::string& placement) {
  Erase();
  if (progress.Reporting.Quiet) return;
  const double elapsed = Seconds(TClock::now() - progress.Started);
  const std::string placed = placement.empty() ? "" : "; " + placement;
  std::FILE* out = ReportStream(progress.Reporting);
  std::fprintf(out, "%s: %d %s, %lld -> %lld bytes (%s), %.2f s%s\n", output.c_str(), files,
               files == 1 ? "file" : "files", static_cast<long long>(progress.InputBytes),
               static_cast<long long>(output_bytes),
               SavedText(output_bytes, progress.InputBytes).c_str(), elapsed, placed.c_str());
  std::fflush(out);
}

}  // namespace zorellz::cli
