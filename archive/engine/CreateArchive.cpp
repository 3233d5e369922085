// Building an archive: collect the inputs, write a provisional directory,
// the data of every file and the trailer, then the directory again with the
// final sizes.  The archive is written beside its target and takes its name
// only when it is complete.
#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/CreateCollect.h"
#include "archive/engine/CreateWrite.h"
#include "archive/engine/EngineState.h"
#include "platform/Names.h"
#include "platform/PendingFile.h"
#include "platform/WorkFiles.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

constexpr char kListFileMarker[] = "/F=";
constexpr std::int64_t kLargestTotal = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kLongestName = 255;

// A bare folder, or a path that ends in a separator, stands for every file
// of that folder: "data" and "data/" read as "data/*".
std::string WithFolderMask(std::string specs) {
  if (specs.empty()) return specs;
  const char last = specs.back();
  if (last == '/' || last == kNativeSeparator) return specs + '*';
  if (DirectoryExists(specs)) return specs + kNativeSeparator + '*';
  return specs;
}

// ---- Reports ----

void ReportCreationBegins(const TLZCreateRequest& request) {
  if (request.Report == nullptr) return;
  TLZReportRec record;
  record.FileName = request.ReportedName;
  record.CompressedSize = -1;
  record.UncompressedSize = -1;
  record.FileAttr = -1;
  record.FileCRC = 0xFFFFFFFFu;
  request.Report(record, kLZReportCreationBegins);
}

// The summary (-6) and the end (-7) describe the header as just written.
void ReportTotals(const TLZCreateRequest& request, const TLZArchiveHeader& header,
                  std::int32_t code) {
  if (request.Report == nullptr) return;
  TLZReportRec record = LZHeaderSummaryRecord(request.ReportedName, header);
  request.Report(record, code);
}

// ---- Collection ----

// The archive never reads itself, under its final name, as the file it is
// being written to, or as any other file the operation writes.
TLZOutputFiles OutputFiles(TPendingFile& pending, const TLZCreateRequest& request) {
  std::vector<std::filesystem::path> paths = {request.ArchiveName, pending.File().Path()};
  paths.insert(paths.end(), request.OtherOutputs.begin(), request.OtherOutputs.end());
  TLZOutputFiles outputs;
  for (const std::filesystem::path& path : paths) {
    TFileIdentity identity;
    if (GetFileIdentity(path, identity)) outputs.Identities.push_back(identity);
  }
  return outputs;
}

bool HasStorableName(const TLZBuildEntry& entry) {
  return !entry.StoredName.empty() && entry.StoredName.size() <= kLongestName;
}

// Keeps the files that the directory can describe: names that fit their
// field, and sizes that keep the provisional totals within 32 bits.  Files
// left out are told to the skipped-input hook; the entries are numbered
// again.  (Folders come first and are never left out here, so that the
// folder slots the files refer to stay where they are.)
void KeepDescribableEntries(const TLZContext& context, std::vector<TLZBuildEntry>& entries) {
  std::vector<TLZBuildEntry> kept;
  kept.reserve(entries.size());
  std::int64_t total = 0;
  for (TLZBuildEntry& entry : entries) {
    if (!entry.IsFolder && !HasStorableName(entry)) {
      LZReportSkippedInput(context, entry.Path, TLZSkipReason::kNameNotStorable);
      continue;
    }
    if (!entry.IsFolder && entry.UncompressedSize > kLargestTotal - total) {
      LZReportSkippedInput(context, entry.Path, TLZSkipReason::kTooLarge);
      continue;
    }
    total += entry.UncompressedSize;
    kept.push_back(std::move(entry));
  }
  for (std::size_t i = 0; i < kept.size(); ++i) kept[i].Number = static_cast<std::int32_t>(i + 1);
  entries = std::move(kept);
}

std::vector<TLZBuildEntry> Collect(const TLZContext& context, const TLZCreateRequest& request,
                                   const TLZOutputFiles& outputs) {
  TLZCollection collection(context.SkippedInput);
  if (request.ListFile) {
    LZCollectListFile(request.FileSpecs, outputs, collection);
  } else {
    LZCollectWildcard(request.FileSpecs, request.Recurse, outputs, collection);
  }
  KeepDescribableEntries(context, collection.Entries);
  return std::move(collection.Entries);
}

bool HoldsAFile(const std::vector<TLZBuildEntry>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [](const TLZBuildEntry& entry) { return !entry.IsFolder; });
}

// ---- Directory ----

TLZFileEntry ToFileEntry(const TLZBuildEntry& entry) {
  TLZFileEntry out;
  out.IsFolder = entry.IsFolder ? 1 : 0;
  out.FolderIndex = entry.FolderIndex;
  out.ParentIndex = entry.IsFolder ? entry.ParentIndex : 0;
  out.FileVersion.SetCut(entry.Version);
  out.Compressed = entry.IsFolder ? 0 : entry.Compressed;
  out.CompressedSize = entry.CompressedSize;
  out.UncompressedSize = entry.UncompressedSize;
  out.FileDate = entry.DateTime;
  out.FileAttr = entry.Attributes;
  out.FileCRC = entry.IsFolder ? 0 : entry.CRC;
  out.NameLength = static_cast<std::uint8_t>(entry.StoredName.size());
  out.ArchiveID = entry.Number;
  out.Method = entry.Method;
  return out;
}

void TranslateEntries(const std::vector<TLZBuildEntry>& entries, TZorelLZArchiveHeader& directory) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    directory.Entries[i] = ToFileEntry(entries[i]);
    directory.Names[i] = entries[i].StoredName;
  }
}

// The trailer starts with its defaults when a set-password hook is there to
// be asked; without one, it stays zero until the archive is complete.
TLZArchiveTrailer InitialTrailer(const TLZContext& context, const TLZArchiveHeader& header) {
  const TLZSetPassWordHook& hook = context.SetPassWord;
  if (!hook) return TLZArchiveTrailer{};
  TLZArchiveTrailer trailer;
  LZInitTrailer(trailer);
  TLZArchiveHeader shown = header;  // the builder owns the header it writes
  if (hook(shown) == kLZPasswordProtect) trailer.Protection = kLZProtectedMarker;
  return trailer;
}

std::unique_ptr<TZorelLZArchiveHeader> PrepareDirectory(const TLZContext& context,
                                                        const std::vector<TLZBuildEntry>& entries,
                                                        TLZArchiveHeader& header) {
  const auto count = static_cast<std::int32_t>(entries.size());
  header = TLZArchiveHeader{};
  header.Signature = LZArchiveSignature();
  header.FileCount = count;
  std::unique_ptr<TZorelLZArchiveHeader> directory;
  LZAllocDirectory(directory, count);
  directory->Header.Trailer = InitialTrailer(context, header);
  TranslateEntries(entries, *directory);
  return directory;
}

// ---- Data and trailer ----

constexpr std::size_t kArchiveGather = std::size_t{1} << 20;

// The number of files whose data were written, or a negative codec result.
std::int32_t WriteAllData(TLZContext& context, TFile& output, std::vector<TLZBuildEntry>& entries,
                          const TLZCreateRequest& request) {
  TFileIdentity identity;
  GetFileIdentity(output.Path(), identity);
  TLZDataArea area{context, output, request.Compression, request.Report, identity, 0, 0};
  if (context.Jobs > 1) return LZWriteDataInParallel(area, entries);
  std::int32_t written = 0;
  for (TLZBuildEntry& entry : entries) {
    if (entry.IsFolder) continue;
    const std::int32_t result = LZWriteEntryData(area, entry);
    if (result < 0) return result;
    written += result;
  }
  return written;
}

void WriteTrailer(TFile& output, TZorelLZArchiveHeader& directory, std::int32_t offset) {
  TLZArchiveTrailer& trailer = directory.Header.Trailer;
  trailer.TrailerSignature = LZTrailerSignature();
  trailer.TrailerMagic = kLZTrailerMagic;
  trailer.ArchiveOffset = offset;
  LZWriteRecord(output, trailer);
}

// The target as it will be written: a new file, or, with a header offset in
// force, the first bytes of the existing one followed by the archive.
std::int32_t OpenOutput(TPendingFile& pending, const std::string& archive_name,
                        std::int32_t offset) {
  ReclaimStaleWorkFiles(std::filesystem::path(archive_name).parent_path());
  if (offset == 0) return pending.Create(archive_name) ? 0 : kLZCannotCreateOutput;
  TFile existing;
  if (!existing.Open(archive_name, TFile::TMode::kReadDenyWrite)) return kLZCannotOpenSFX;
  if (!pending.Create(archive_name)) return kLZCannotCreateOutput;
  if (LZCopyFileBytes(existing, pending.File(), offset) != offset) return kLZNoFile;
  return 0;
}

}  // namespace

TLZCreateRequest LZParseCreateRequest(const std::string& file_specs, const TLZBuildPlace& place,
                                      TLZRecurse recurse, TLZCompressionChoices compression,
                                      TLZReportHook report) {
  TLZCreateRequest request;
  request.ReportedName = place.ReportedName;
  request.ArchiveName = ExpandFileName(place.Output);
  request.OtherOutputs = place.OtherOutputs;
  request.Recurse = recurse;
  request.Compression = compression;
  request.Report = report;
  std::string specs = file_specs;
  const std::size_t marker = UpperCaseAscii(specs).find(kListFileMarker);
  if (marker != std::string::npos) {
    specs.erase(0, marker + sizeof(kListFileMarker) - 1);
    request.ListFile = true;
    request.Recurse = LZNoRecurse;
  }
  request.FileSpecs = ExpandFileName(request.ListFile ? specs : WithFolderMask(specs));
  const std::string target = ExpandFileName(place.ReportedName);
  if (request.FileSpecs.empty() || request.ArchiveName.empty() || target.empty()) {
    RaiseLZError(TLZErrorClass::kError, kMsgInvalidParameters);
  }
  if (request.FileSpecs == target || IsSameFile(request.FileSpecs, target)) {
    RaiseLZErrorFmt(TLZErrorClass::kArchive, kMsgSameInputOutput, request.FileSpecs);
  }
  return request;
}

std::int32_t LZBuildArchive(TLZContext& context, TPendingFile& pending,
                            const TLZCreateRequest& request) {
  TLZProgressScope progress(context, request.Report);
  TFile& output = pending.File();
  const std::int32_t offset = context.HeaderOffset;
  ReportCreationBegins(request);
  std::vector<TLZBuildEntry> entries = Collect(context, request, OutputFiles(pending, request));
  if (context.RefuseEmptyArchive && !HoldsAFile(entries)) return kLZNoFileMatches;

  TLZArchiveHeader header;
  std::unique_ptr<TZorelLZArchiveHeader> directory = PrepareDirectory(context, entries, header);
  if (LZWriteDirectory(output, *directory, header, true) != 0) return kLZWriteDirectoryFailed;
  ReportTotals(request, header, kLZReportSummary);

  // Entries follow one another in the archive: a small one would otherwise
  // cost a system call of its own.
  output.GatherWrites(kArchiveGather);
  const std::int32_t written = WriteAllData(context, output, entries, request);
  output.GatherWrites(0);
  if (written < 0) return written;
  WriteTrailer(output, *directory, offset);

  TranslateEntries(entries, *directory);
  if (!output.Seek(offset) || LZWriteDirectory(output, *directory, header, true) != 0) {
    return kLZWriteDirectoryFailed;
  }
  if (!pending.Commit()) return kLZCannotCreateOutput;
  ReportTotals(request, header, kLZReportFinished);
  return written;
}

std::int32_t LZCreateArchive(const std::string& file_specs, const std::string& archive_name,
                             TLZRecurse recurse, TLZCompressionChoices compression,
                             TLZReportProc report) {
  return LZCreateArchive(LZDefaultContext(), file_specs, archive_name, recurse, compression,
                         report);
}

std::int32_t LZCreateArchive(TLZContext& context, const std::string& file_specs,
                             const std::string& archive_name, TLZRecurse recurse,
                             TLZCompressionChoices compression, TLZReportHook report) {
  const TLZBuildPlace place{
      .Output = archive_name, .ReportedName = archive_name, .OtherOutputs = {}};
  return LZCreateArchiveAt(context, file_specs, place, recurse, compression, std::move(report));
}

std::int32_t LZCreateArchiveAt(TLZContext& context, const std::string& file_specs,
                               const TLZBuildPlace& place, TLZRecurse recurse,
                               TLZCompressionChoices compression, TLZReportHook report) {
  TLZProtectionScope protection(context);
  TLZCodecSession codec(context.Codecs, compression);
  const TLZCreateRequest request =
      LZParseCreateRequest(file_specs, place, recurse, compression, std::move(report));
  TPendingFile pending;
  pending.SetSync(context.Durable);
  const std::int32_t opened = OpenOutput(pending, request.ArchiveName, context.HeaderOffset);
  if (opened != 0) return opened;
  return LZBuildArchive(context, pending, request);
}

}  // namespace zorellz
