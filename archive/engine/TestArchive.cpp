// Testing an archive: every file entry decoded (or copied) into nothing and
// checked against its size and CRC-32, the damaged ones named.
#include <cstdint>
#include <memory>
#include <string>

#include "archive/engine/CodecIO.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/ZorelLZ.h"

namespace zorellz {
namespace {

// The progress mode of LZCopyBlock that reports bytes as they are copied.
constexpr int kProgressBytesWritten = 2;

TLZReportRec SummaryRecord(const std::string& archive_name, const TLZArchiveHeader& header) {
  TLZReportRec record = LZHeaderSummaryRecord(archive_name, header);
  record.Method = 1;
  return record;
}

// 0 for a sound entry; kLZCRCMismatch or the codec's result for a damaged one.
std::int32_t CheckEntry(TFile& archive, const TLZFileEntry& entry) {
  std::uint32_t crc = 0;
  const std::int64_t size =
      entry.Compressed != 0
          ? LZDecodeStream(entry.Method, archive, entry.CompressedSize, nullptr, crc)
          : LZCopyBlockCRC(archive, nullptr, entry.CompressedSize, kProgressBytesWritten, &crc);
  if (size < 0) return static_cast<std::int32_t>(size);
  return size == entry.UncompressedSize && crc == entry.FileCRC ? 0 : kLZCRCMismatch;
}

struct TTestTally {
  std::int32_t Sound = 0;
  std::int32_t FirstFailure = 0;
};

// Checks every file entry in turn; the data start at the archive's position.
TTestTally CheckEntries(TFile& archive, const TZorelLZArchiveHeader& directory,
                        TLZReportProc report) {
  TTestTally tally;
  std::int64_t position = archive.Position();
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    if (entry.IsFolder != 0) continue;
    TLZReportRec record;
    LZDescribeEntry(directory, k, record);
    LZEngine().CurrentReport = record;
    LZReport(report, record, kLZReportFileBegins);
    const std::int32_t result =
        archive.Seek(position) ? CheckEntry(archive, entry) : kLZCRCMismatch;
    // Reported as extraction reports it: done, or failed with its record.
    if (result == 0) {
      ++tally.Sound;
      LZReport(report, record, kLZReportFileDone);
    } else {
      LZReportFailure(report, record, result);
      if (tally.FirstFailure == 0) tally.FirstFailure = result;
    }
    position += entry.CompressedSize;
  }
  return tally;
}

// Tests the archive at the current header offset of `file_name`.
std::int32_t TestArchiveAt(const std::string& file_name, const std::string& archive_name,
                           TLZReportProc report) {
  TLZArchiveHeader header;
  if (LZReadArchiveHeader(file_name, header) <= 0) return kLZNotAnArchive;
  TFile archive;
  if (!archive.Open(file_name, TFile::TMode::kReadDenyWrite) ||
      !archive.Seek(std::int64_t{header.Trailer.ArchiveOffset} + TLZArchiveHeader::kSize)) {
    return kLZNoFile;
  }
  auto directory = std::make_unique<TZorelLZArchiveHeader>();
  if (LZReadDirectory(archive, *directory, header) != 0) return kLZDamagedDirectory;

  TLZReportRec summary = SummaryRecord(archive_name, header);
  LZReport(report, summary, kLZReportSummary);
  TLZRestore<TLZReportProc> progress(LZEngine().Progress, report);
  const TTestTally tally = CheckEntries(archive, *directory, report);
  TLZReportRec finished;
  finished.FileName = archive_name;
  finished.FileAttr = tally.Sound;
  LZReport(report, finished, kLZReportFinished);
  return tally.FirstFailure != 0 ? tally.FirstFailure : tally.Sound;
}

}  // namespace

std::int32_t LZTestArchive(const std::string& archive_name, TLZReportProc report) {
  TLZProtectionScope protection_scope;
  TLZArchiveHeader header;
  const std::int32_t located = LZLocateArchive(archive_name, header);
  if (located < 0) return located;
  return LZRunOnLocatedArchive(
      archive_name, header, located, report,
      [&](const std::string& file_name) { return TestArchiveAt(file_name, archive_name, report); });
}

}  // namespace zorellz
