// The file pass: selection, the overwrite question, and writing each
// selected entry beside its target until it is complete and verified.
#include <array>
#include <cstdint>
#include <string>

#include "archive/codec/ZrlErrors.h"
#include "archive/engine/CodecIO.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/ExtractTarget.h"
#include "platform/DosTime.h"
#include "platform/File.h"
#include "platform/InOutError.h"
#include "platform/Names.h"
#include "platform/PendingFile.h"

namespace zorellz {
namespace {

constexpr int kNoProgress = 0;
constexpr int kReportWrites = 2;

// What became of one selected entry.
enum class TOutcome { kCounted, kDeclined, kAborted, kFailed };

struct TEntryResult {
  TOutcome Outcome = TOutcome::kCounted;
  std::int64_t Failure = 0;  // the result of the extraction when kFailed
};

// How to treat an existing target.
enum class TAnswer { kWrite, kKeep, kDecline, kAbort };

TEntryResult Failed(const TLZExtraction& extraction, TLZReportRec& record, std::int64_t result) {
  return {TOutcome::kFailed, LZReportFailure(extraction.Report, record, result)};
}

bool IsSelected(const TLZExtraction& extraction, const TLZFileItem& item, std::int32_t k) {
  if (!extraction.ByNumber && LZIsCommentAttr(item.FileAttr)) return false;
  const TLZEngineState& engine = LZEngine();
  const TLZFileMatchProc match =
      engine.FileMatch != nullptr ? engine.FileMatch : LZDefaultFileMatch;
  const std::string mask = engine.DearchiveMask;
  return match(mask, item.TargetPath, k);
}

// The archive is never overwritten by its own entries: such a target goes
// through the rename function.  False when the entry is to be skipped.  The
// new name is the caller's own choice, so it is not held to the target folder.
bool SparesArchive(const TLZExtraction& extraction, TLZFileItem& item, TLZReportRec& record) {
  if (!IsSameFile(item.TargetPath, extraction.ArchiveName)) return true;
  if (!LZAskNewName(item.TargetPath, extraction.Rename)) return false;
  record.FileName = item.TargetPath;
  LZEngine().CurrentReport = record;
  return true;
}

TAnswer StoredAnswer(std::uint8_t reply) {
  switch (reply) {
    case 0:
      return TAnswer::kDecline;
    case 1:
      return TAnswer::kWrite;
    case 2:
      return TAnswer::kAbort;
    default:
      return TAnswer::kKeep;
  }
}

// Compressed entries are asked about as single-file decompression asks.
TAnswer CompressedAnswer(std::uint8_t reply) {
  if (reply == 0) return TAnswer::kDecline;
  if (reply == 2) return TAnswer::kAbort;
  return TAnswer::kWrite;
}

// Without a question function an existing target of a stored entry stays as
// it is, that of a compressed entry is replaced.
TAnswer AskAboutExisting(const TLZExtraction& extraction, const TLZFileItem& item,
                         const TLZReportRec& record) {
  if (!FileExists(item.TargetPath)) return TAnswer::kWrite;
  if (extraction.Question == nullptr) {
    return item.Compressed != 0 ? TAnswer::kWrite : TAnswer::kKeep;
  }
  TLZReportRec existing;
  LZGetFileInfo(item.TargetPath, existing);
  if (item.Compressed == 0) return StoredAnswer(extraction.Question(record, existing));
  // Described as its single compressed file would describe it: by name.
  TLZReportRec current = record;
  current.FileName = ExtractFileName(item.TargetPath);
  return CompressedAnswer(extraction.Question(current, existing));
}

bool Verified(const TLZFileItem& item, std::int64_t size, std::uint32_t crc) {
  return !LZEngine().CheckCRC || (size == item.UncompressedSize && crc == item.FileCRC);
}

// The entry's bytes, decoded or copied, into `output`: their count or a
// negative codec result.
std::int64_t WriteData(TLZExtraction& extraction, const TLZFileItem& item, TFile& output,
                       std::uint32_t& crc) {
  if (item.Compressed != 0) {
    return LZDecodeStream(item.Method, extraction.Archive, item.CompressedSize, &output, crc);
  }
  return LZCopyBlockCRC(extraction.Archive, &output, item.CompressedSize, kReportWrites, &crc);
}

TEntryResult WriteEntry(TLZExtraction& extraction, const TLZFileItem& item, TLZReportRec& record) {
  LZRequireBytes(extraction.Archive, item.CompressedSize);
  TPendingFile pending;
  if (!pending.Create(item.TargetPath)) return Failed(extraction, record, kLZCannotCreateOutput);
  LZReport(extraction.Report, record, kLZReportFileBegins);
  LZEngine().Progress = extraction.Report;
  std::uint32_t crc = 0;
  const std::int64_t written = WriteData(extraction, item, pending.File(), crc);
  if (written < 0) return Failed(extraction, record, written);
  if (!Verified(item, written, crc)) return Failed(extraction, record, kLZCRCMismatch);
  if (!LZInstallFile(pending, item.FileDate, item.FileAttr)) {
    return Failed(extraction, record, kLZCannotCreateOutput);
  }
  // Compressed entries end as single-file decompression ends: without a name.
  if (item.Compressed != 0) record.FileName.clear();
  LZReport(extraction.Report, record, kLZReportFileDone);
  return {TOutcome::kCounted};
}

TLZFileHeader SingleFileHeaderOf(const TLZFileItem& item, const std::string& name) {
  TLZFileHeader header;
  header.Signature = LZFileHeaderSignature();
  header.UncompressedSize = item.UncompressedSize;
  header.CompressedSize = item.CompressedSize;
  header.FileDate = item.FileDate;
  header.FileAttr = item.FileAttr;
  header.FileCRC = item.FileCRC;
  header.FileVersion.SetCut(item.FileVersion);
  header.SourceName.SetCut(name);
  header.ArchiveID = item.ArchiveID;
  header.Method = item.Method;
  return header;
}

// The entry left compressed, as a single compressed file under its own name;
// no question and no reports.
TEntryResult WriteUnexpanded(TLZExtraction& extraction, const TLZFileItem& item, std::int32_t k,
                             TLZReportRec& record) {
  LZRequireBytes(extraction.Archive, item.CompressedSize);
  TPendingFile pending;
  if (!pending.Create(item.TargetPath)) return Failed(extraction, record, kLZCannotCreateOutput);
  std::array<std::uint8_t, TLZFileHeader::kSize> header{};
  SingleFileHeaderOf(item, extraction.Directory.Name(k)).Write(header.data());
  pending.File().Write(header.data(), header.size());
  LZCopyBlockCRC(extraction.Archive, &pending.File(), item.CompressedSize, kNoProgress, nullptr);
  if (!pending.Commit()) return Failed(extraction, record, kLZCannotCreateOutput);
  return {TOutcome::kCounted};
}

TEntryResult ExtractEntry(TLZExtraction& extraction, TLZFileItem& item, std::int32_t k,
                          TLZReportRec& record) {
  if (!LZLiesUnderFolder(extraction.TargetFolder, item.TargetPath)) {
    return Failed(extraction, record, kLZCannotCreateOutput);
  }
  if (!SparesArchive(extraction, item, record)) return {TOutcome::kCounted};
  if (item.Compressed != 0 && extraction.Unexpanded) {
    return WriteUnexpanded(extraction, item, k, record);
  }
  switch (AskAboutExisting(extraction, item, record)) {
    case TAnswer::kKeep:
      return {TOutcome::kCounted};
    case TAnswer::kDecline:
      LZReport(extraction.Report, record, kLZReportSkipped);
      return {TOutcome::kDeclined};
    case TAnswer::kAbort:
      return {TOutcome::kAborted};
    case TAnswer::kWrite:
      break;
  }
  return WriteEntry(extraction, item, record);
}

// An input/output error leaves the entry uninstalled; it is reported as a
// failed entry before the error goes on to the caller.
TEntryResult ExtractReported(TLZExtraction& extraction, TLZFileItem& item, std::int32_t k) {
  TLZReportRec record;
  LZItemToReport(record, item);
  LZEngine().CurrentReport = record;
  try {
    return ExtractEntry(extraction, item, k, record);
  } catch (const EInOutError&) {
    LZReportFailure(extraction.Report, record, kLZCRCMismatch);
    throw;
  }
}

std::int32_t ExtractSelected(TLZExtraction& extraction) {
  std::int64_t data = extraction.DataStart;
  for (std::int32_t k = extraction.FolderCount + 1; k <= extraction.Directory.Count; ++k) {
    TLZFileItem& item = extraction.Items[static_cast<std::size_t>(k - 1)];
    const std::int64_t next = data + item.CompressedSize;
    if (IsSelected(extraction, item, k)) {
      if (!extraction.Archive.Seek(data)) {
        throw EInOutError("Cannot reach the data of entry " + std::to_string(k), kInOutReadPastEnd);
      }
      const TEntryResult result = ExtractReported(extraction, item, k);
      if (result.Outcome == TOutcome::kCounted) ++extraction.Extracted;
      if (result.Outcome == TOutcome::kAborted) break;
      if (result.Outcome == TOutcome::kFailed) return static_cast<std::int32_t>(result.Failure);
    }
    data = next;
  }
  return extraction.Extracted;
}

}  // namespace

std::int32_t LZExtractFiles(TLZExtraction& extraction) {
  try {
    return ExtractSelected(extraction);
  } catch (const EInOutError& error) {
    if (error.ErrorCode != kInOutReadPastEnd) throw;
    RaiseLZErrorFmt(TLZErrorClass::kArchive, kMsgArchiveCorrupt,
                    ExpandFileName(extraction.ArchiveName));
  }
}

}  // namespace zorellz
