// Listing an archive through the report function, and viewing it through a
// callback that sees the whole loaded directory.
#include <cstdint>
#include <memory>
#include <string>

#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

// Loads the directory of the archive at the current header offset: 0, or
// kLZNotAnArchive and the loader's results.
std::int32_t LoadArchiveDirectory(TLZContext& context, const std::string& archive_name,
                                  std::unique_ptr<TZorelLZArchiveHeader>& directory) {
  const std::int32_t count = LZArchiveCount(context, archive_name);
  if (count <= 0) return kLZNotAnArchive;
  LZAllocDirectory(directory, count);
  return LZLoadDirectory(context, archive_name, *directory);
}

TLZReportRec SummaryRecord(const std::string& archive_name, const TLZArchiveHeader& header) {
  TLZReportRec record = LZHeaderSummaryRecord(archive_name, header);
  record.ArchiveID = -1;
  return record;
}

}  // namespace

void LZDescribeEntry(const TZorelLZArchiveHeader& directory, std::int32_t k, TLZReportRec& record) {
  const TLZFileEntry& entry = directory.Entry(k);
  LZCopySharedFields(record, entry);
  record.IsFolder = entry.IsFolder;
  record.FileVersion = entry.FileVersion.Get();
  // The loader has checked every link, so the path is always there.
  if (!LZEntryPath(directory, k, record.FileName)) record.FileName = directory.Name(k);
}

namespace {

// Reports entries 1..Count until the report function answers 0.
void ReportEntries(const TZorelLZArchiveHeader& directory, TLZReportRec& record,
                   const TLZReportHook& report) {
  record = TLZReportRec{};
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    LZDescribeEntry(directory, k, record);
    if (report(record, k) == 0) return;
  }
}

}  // namespace

std::int32_t LZListArchive(const std::string& archive_name, TLZArchiveHeader* header,
                           TLZReportProc report) {
  return LZListArchive(LZDefaultContext(), archive_name, header, report);
}

std::int32_t LZListArchive(TLZContext& context, const std::string& archive_name,
                           TLZArchiveHeader* header, TLZReportHook report) {
  if (!report) return kLZNoReportFunction;
  TLZProtectionScope protection_scope(context);
  std::unique_ptr<TZorelLZArchiveHeader> directory;
  if (std::int32_t loaded = LoadArchiveDirectory(context, archive_name, directory); loaded != 0) {
    return loaded;
  }
  if (header != nullptr) *header = directory->Header;

  TLZReportRec record = SummaryRecord(archive_name, directory->Header);
  if (report(record, kLZReportSummary) == 0) return directory->Count;
  ReportEntries(*directory, record, report);
  // The other fields still describe the last entry reported.
  record.FileName = archive_name;
  report(record, kLZReportFinished);
  return directory->Count;
}

std::int32_t LZViewArchive(const std::string& archive_name, const TLZViewProc& view) {
  return LZViewArchive(LZDefaultContext(), archive_name, view);
}

std::int32_t LZViewArchive(TLZContext& context, const std::string& archive_name,
                           const TLZViewProc& view) {
  if (!view) return kLZNoReportFunction;
  TLZProtectionScope protection_scope(context);
  std::unique_ptr<TZorelLZArchiveHeader> directory;
  if (std::int32_t loaded = LoadArchiveDirectory(context, archive_name, directory); loaded != 0) {
    return loaded;
  }
  if (view(directory.get(), kLZReportSummary) != 0) {
    for (std::int32_t k = 1; k <= directory->Count; ++k) {
      if (view(directory.get(), k) == 0) break;
    }
  }
  view(directory.get(), kLZReportFinished);
  return directory->Count;
}

}  // namespace zorellz
