// Testing an archive: every file entry decoded (or copied) into nothing and
// checked against its size and CRC-32, the damaged ones named.
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "archive/engine/CodecIO.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/TaskPool.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

TLZReportRec SummaryRecord(const std::string& archive_name, const TLZArchiveHeader& header) {
  TLZReportRec record = LZHeaderSummaryRecord(archive_name, header);
  record.Method = 1;
  return record;
}

// 0 for a sound entry; kLZCRCMismatch or the codec's result for a damaged one.
std::int32_t CheckEntry(TLZContext& context, TFile& archive, const TLZFileEntry& entry) {
  std::uint32_t crc = 0;
  const std::int64_t size =
      entry.Compressed != 0 ? LZDecodeStream(context, entry.Method, archive, entry.CompressedSize,
                                             nullptr, crc, entry.UncompressedSize)
                            : LZCopyBlockCRC(context, archive, nullptr, entry.CompressedSize,
                                             LZProgressOnWrite, &crc);
  if (size < 0) return static_cast<std::int32_t>(size);
  return size == entry.UncompressedSize && crc == entry.FileCRC ? 0 : kLZCRCMismatch;
}

struct TTestTally {
  std::int32_t Sound = 0;
  std::int32_t FirstFailure = 0;
};

// Reported as extraction reports it: done, or failed with its record.
void Count(TTestTally& tally, const TLZReportHook& report, TLZReportRec& record,
           std::int32_t result) {
  if (result == 0) {
    ++tally.Sound;
    LZReport(report, record, kLZReportFileDone);
  } else {
    LZReportFailure(report, record, result);
    if (tally.FirstFailure == 0) tally.FirstFailure = result;
  }
}

TLZReportRec BeginEntry(TLZContext& context, const TZorelLZArchiveHeader& directory, std::int32_t k,
                        const TLZReportHook& report) {
  TLZReportRec record;
  LZDescribeEntry(directory, k, record);
  context.CurrentReport = record;
  LZReport(report, record, kLZReportFileBegins);
  return record;
}

// Checks every file entry in turn; the data start at the archive's position.
TTestTally CheckEntries(TLZContext& context, TFile& archive, const TZorelLZArchiveHeader& directory,
                        const TLZReportHook& report) {
  TTestTally tally;
  std::int64_t position = archive.Position();
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    if (entry.IsFolder != 0) continue;
    TLZReportRec record = BeginEntry(context, directory, k, report);
    const std::int32_t result =
        archive.Seek(position) ? CheckEntry(context, archive, entry) : kLZCRCMismatch;
    Count(tally, report, record, result);
    position += entry.CompressedSize;
  }
  return tally;
}

// One entry checked by a worker, waiting for its turn.
struct TChecked {
  std::int32_t K = 0;
  std::future<void> Done;
  std::vector<std::int32_t> Progress;  // the byte counts it reported, in order
  std::int32_t Result = 0;
};

// CheckEntries with `context.Jobs` threads, each with its own coders and its
// own handle on `file_name`; the reports come in the same order.
TTestTally CheckEntriesInParallel(TLZContext& context, const std::string& file_name,
                                  std::int64_t position, const TZorelLZArchiveHeader& directory,
                                  const TLZReportHook& report) {
  const auto jobs = static_cast<std::size_t>(context.Jobs);
  TLZWorkerCoders coders(jobs, LZFastCompression);
  std::vector<TFile> archives(jobs);
  for (std::size_t i = 0; i < jobs; ++i) {
    int error = 0;
    if (!archives[i].Open(file_name, TFile::TMode::kReadDenyWrite, &error)) {
      throw EInOutError("cannot open \"" + file_name + "\"", error);
    }
  }
  std::deque<TChecked> checked;  // declared before the pool: it outlives the workers
  TLZTaskPool pool(jobs - 1);  // the calling thread is the last worker
  TTestTally tally;
  auto settle = [&] {
    TChecked& oldest = checked.front();
    TLZReportRec record = BeginEntry(context, directory, oldest.K, report);
    pool.HelpUntilReady(oldest.Done);
    oldest.Done.get();
    LZReplayProgress(context, oldest.Progress);
    Count(tally, report, record, oldest.Result);
    checked.pop_front();
  };
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    if (entry.IsFolder != 0) continue;
    if (checked.size() >= 2 * jobs) settle();
    TChecked& item = checked.emplace_back();
    item.K = k;
    item.Done = pool.Submit([&, position](std::size_t worker) {
      TLZContext local(coders[worker]);
      local.Progress = LZRecordProgress(item.Progress);
      item.Result = archives[worker].Seek(position) ? CheckEntry(local, archives[worker], entry)
                                                    : kLZCRCMismatch;
    });
    position += entry.CompressedSize;
  }
  while (!checked.empty()) settle();
  return tally;
}

// Tests the archive at the current header offset of `file_name`.
std::int32_t TestArchiveAt(TLZContext& context, const std::string& file_name,
                           const std::string& archive_name, const TLZReportHook& report) {
  TLZArchiveHeader header;
  if (LZReadArchiveHeader(context, file_name, header) <= 0) return kLZNotAnArchive;
  TFile archive;
  if (!archive.Open(file_name, TFile::TMode::kReadDenyWrite) ||
      !archive.Seek(std::int64_t{header.Trailer.ArchiveOffset} + TLZArchiveHeader::kSize)) {
    return kLZNoFile;
  }
  auto directory = std::make_unique<TZorelLZArchiveHeader>();
  if (LZReadDirectory(archive, *directory, header) != 0) return kLZDamagedDirectory;

  TLZReportRec summary = SummaryRecord(archive_name, header);
  LZReport(report, summary, kLZReportSummary);
  TLZRestore<TLZReportHook> progress(context.Progress, report);
  TLZCodecSession codec(context.Codecs, LZFastCompression);  // LZSS; LZH needs no preparation
  const TTestTally tally =
      context.Jobs > 1
          ? CheckEntriesInParallel(context, file_name, archive.Position(), *directory, report)
          : CheckEntries(context, archive, *directory, report);
  TLZReportRec finished;
  finished.FileName = archive_name;
  finished.FileAttr = tally.Sound;
  LZReport(report, finished, kLZReportFinished);
  return tally.FirstFailure != 0 ? tally.FirstFailure : tally.Sound;
}

}  // namespace

std::int32_t LZTestArchive(const std::string& archive_name, TLZReportProc report) {
  return LZTestArchive(LZDefaultContext(), archive_name, report);
}

std::int32_t LZTestArchive(TLZContext& context, const std::string& archive_name,
                           TLZReportHook report) {
  TLZProtectionScope protection_scope(context);
  TLZArchiveHeader header;
  const std::int32_t located = LZLocateArchive(context, archive_name, header);
  if (located < 0) return located;
  return LZRunOnLocatedArchive(context, archive_name, header, located, report,
                               [&](const std::string& file_name) {
                                 return TestArchiveAt(context, file_name, archive_name, report);
                               });
}

}  // namespace zorellz
