// The steps of one extraction (folder pass, file pass) and what they share
// with single-file decompression: installing a finished file, reporting a
// failed one, copying with a CRC.  Internal to the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/engine/OperationScope.h"
#include "platform/DosTime.h"
#include "platform/Folder.h"
#include "platform/PendingFile.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/File.h"

namespace zorellz {

// A dearchive mask that selects one entry by number: "#:3".
inline constexpr std::string_view kLZNumberMaskPrefix = "#:";

// The archive comment carries the volume-label bit and at most read-only
// besides; files without any attribute are ordinary files.
inline bool LZIsCommentAttr(std::int32_t attributes) {
  return (attributes & kFaVolumeID) != 0 && (attributes & ~(kFaReadOnly | kFaVolumeID)) == 0;
}

// One run of LZExtractArchive.
struct TLZExtraction {
  explicit TLZExtraction(TLZContext& context) : Context(context) {}

  TLZContext& Context;
  std::string ArchiveName;   // as passed
  std::string TargetFolder;  // full, ending in a separator
  TFolderHandle Target;      // that folder, opened once
  TLZQuestionHook Question;
  TLZReportHook Report;
  TLZRenameHook Rename;
  bool Recurse = false;
  bool Unexpanded = false;
  bool ByNumber = false;  // the dearchive mask is "#:N"

  TFile Archive;
  std::int64_t ArchiveSize = 0;  // as it was opened
  TFileIdentity ArchiveIdentity;
  TZorelLZArchiveHeader Directory;
  std::vector<TLZFileItem> Items;  // Items[k - 1] is entry k
  std::int32_t FolderCount = 0;
  std::int64_t DataStart = 0;  // file position of the first entry's data
  std::int32_t Extracted = 0;
  // With a durable context: the folders that took new names, by their
  // place below the target, each flushed once when the pass ends.
  std::map<std::string, std::vector<std::string>> Touched;
  // The folder of the last file written, held for the next ones there.
  std::vector<std::string> HeldPlace;
  std::shared_ptr<const TFolderHandle> Held;
};

// Opens the folder `folders` names below the target folder without
// following links (kLink when one is on the way), creating the missing
// ones when `create`; noted for the flush when the context is durable.
TFolderHandle::TStep LZOpenBelowTarget(TLZExtraction& extraction,
                                       const std::vector<std::string>& folders, bool create,
                                       TFolderHandle& folder);
// Flushes every folder noted by LZOpenBelowTarget; false when one fails.
bool LZSyncTouchedFolders(TLZExtraction& extraction);

// Fills every item and its target path, and re-creates the archive's folders
// (with Recurse), reporting -3 and -4 for each: 0, kLZCannotCreateFolder or
// kLZDamagedDirectory.  A mask that selects some files re-creates only the
// folders on their paths.  Raises EZorelLZArchive 40008.
std::int32_t LZExtractFolders(TLZExtraction& extraction);

// Whether the file pass takes entry k: the comment only when asked for by
// number, every other file when the dearchive mask matches it.
bool LZIsSelected(const TLZExtraction& extraction, const TLZFileItem& item, std::int32_t k);

// Extracts the selected files, counting them in Extracted: that count, or
// the negative result of the entry that failed.  Raises EZorelLZArchive
// 40007 when the archive ends before an entry's data.
std::int32_t LZExtractFiles(TLZExtraction& extraction);

// ---- Shared by the file pass and LZDecompressFile ----

inline void LZReport(const TLZReportHook& report, TLZReportRec& record, std::int32_t code) {
  if (report != nullptr) report(record, code);
}

// Reports an entry that was not installed (kLZCRCMismatch with its record)
// and returns `result`.
std::int64_t LZReportFailure(const TLZReportHook& report, TLZReportRec& record,
                             std::int64_t result);

// Makes the pending file of a target that the caller named, in its folder
// as the path reaches it (links included: the caller chose the path).
bool LZCreatePendingAt(TPendingFile& pending, const std::string& target);

// Puts a complete, verified file made by TPendingFile::Create(folder, name)
// in place of its target and gives it its date and attributes; false when it
// cannot take the target's place.
bool LZInstallFile(TPendingFile& pending, std::int32_t date, std::int32_t attributes);

// LZCopyBlock with the CRC-32 of the bytes copied in `crc` (when given);
// without `target` the bytes are only read.
std::int64_t LZCopyBlockCRC(TLZContext& context, TFile& source, TFile* target, std::int64_t count,
                            TLZProgressMode progress_mode, std::uint32_t* crc);

// Raises EInOutError 100 unless `file` holds `count` more bytes from its
// position.
void LZRequireBytes(TFile& file, std::int64_t count);

// Runs `operation` on the archive that LZLocateArchive found in `file_name`
// (`located` its answer, at least 0; `header` the header it read): in that
// file, with the header offset at the archive's header, or, for a spanned
// archive, in the work file its parts are joined into, removed afterwards.
// The header offset in force is restored.  The operation's result, or that
// of a failed join (kLZJoinedArchiveInvalid when the joined parts hold no
// archive).
using TLZArchiveOperation = std::function<std::int32_t(const std::string& file_name)>;
std::int32_t LZRunOnLocatedArchive(TLZContext& context, const std::string& file_name,
                                   const TLZArchiveHeader& header, std::int32_t located,
                                   const TLZReportHook& report,
                                   const TLZArchiveOperation& operation);

// The record of entry k as listing reports it: its fields, and its path in
// the archive as FileName.
void LZDescribeEntry(const TZorelLZArchiveHeader& directory, std::int32_t k, TLZReportRec& record);

// ---- Engine state held for the length of an operation ----

}  // namespace zorellz
