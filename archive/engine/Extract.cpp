// The extraction loop: target folder, directory, folder pass, file pass, and
// the reports around them.
#include <cstdint>
#include <string>

#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/ExtractTarget.h"
#include "platform/Names.h"
#include "platform/WorkFiles.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

// The target folder exists afterwards, or kLZCannotCreateFolder.
std::int32_t PrepareTargetFolder(TLZExtraction& extraction, const std::string& target_folder) {
  extraction.TargetFolder = LZTargetFolderPath(target_folder);
  if (extraction.TargetFolder.empty()) return kLZCannotCreateFolder;
  if (DirectoryExistsNative(extraction.TargetFolder)) {
    ReclaimStaleWorkFiles(extraction.TargetFolder);  // left by an extraction that died
  } else if (LZForceDirectories(extraction.TargetFolder) < 0) {
    return kLZCannotCreateFolder;
  }
  // Everything below is reached from this one handle.
  return extraction.Target.Open(extraction.TargetFolder) ? 0 : kLZCannotCreateFolder;
}

// Opens the archive and reads its directory from where the header says it
// begins; any failure means a damaged directory.
std::int32_t LoadDirectory(TLZExtraction& extraction, const TLZArchiveHeader& header) {
  const std::int64_t entries_start =
      std::int64_t{header.Trailer.ArchiveOffset} + std::int64_t{TLZArchiveHeader::kSize};
  TFile& archive = extraction.Archive;
  TFileStatus status;
  if (!archive.Open(extraction.ArchiveName, TFile::TMode::kReadDenyWrite, status)) {
    return kLZCannotOpenArchive;
  }
  extraction.ArchiveSize = status.Size;
  extraction.ArchiveIdentity = status.Identity;
  if (entries_start < 0 || !archive.Seek(entries_start) ||
      LZReadDirectory(archive, extraction.Directory, header) != 0) {
    return kLZDamagedDirectory;
  }
  extraction.Items.assign(extraction.Directory.Entries.size(), TLZFileItem{});
  extraction.DataStart = archive.Position();
  return 0;
}

void ReportSummary(TLZExtraction& extraction, const TLZArchiveHeader& header) {
  TLZReportRec record = LZHeaderSummaryRecord(ExpandFileName(extraction.ArchiveName), header);
  record.Method = kLZMethodFolder;
  LZReport(extraction.Report, record, kLZReportSummary);
}

void ReportFinished(TLZExtraction& extraction, std::int32_t extracted) {
  TLZReportRec record;
  record.FileName = extraction.ArchiveName;
  record.FileAttr = extracted;
  LZReport(extraction.Report, record, kLZReportFinished);
}

}  // namespace

std::int32_t LZExtractArchive(const std::string& archive_name, const std::string& target_folder,
                              TLZQuestionProc question, TLZReportProc report, TLZRenameProc rename,
                              bool dearchive_recurse, bool extract_unexpanded) {
  return LZExtractArchive(LZDefaultContext(), archive_name, target_folder, question, report, rename,
                          dearchive_recurse, extract_unexpanded);
}

std::int32_t LZExtractArchive(TLZContext& context, const std::string& archive_name,
                              const std::string& target_folder, TLZQuestionHook question,
                              TLZReportHook report, TLZRenameHook rename, bool dearchive_recurse,
                              bool extract_unexpanded) {
  TLZProtectionScope protection(context);
  if (!FileExists(archive_name)) return kLZArchiveMissing;
  TLZArchiveHeader header;
  if (LZReadArchiveHeader(context, archive_name, header) <= 0) return kLZNotAnArchive;

  TLZExtraction extraction(context);
  extraction.ArchiveName = archive_name;
  extraction.Question = std::move(question);
  extraction.Report = std::move(report);
  extraction.Rename = std::move(rename);
  extraction.Recurse = dearchive_recurse;
  extraction.Unexpanded = extract_unexpanded;
  extraction.ByNumber = context.DearchiveMask.starts_with(kLZNumberMaskPrefix);
  if (std::int32_t prepared = PrepareTargetFolder(extraction, target_folder); prepared != 0) {
    return prepared;
  }
  if (std::int32_t loaded = LoadDirectory(extraction, header); loaded != 0) return loaded;

  ReportSummary(extraction, header);
  // The file-match function sees the directory being extracted.
  TLZRestore<const TZorelLZArchiveHeader*> in_view(context.ExtractingDirectory,
                                                   &extraction.Directory);
  TLZRestore<TLZReportHook> progress(context.Progress);
  if (std::int32_t folders = LZExtractFolders(extraction); folders != 0) return folders;
  TLZCodecSession codec(context.Codecs, LZFastCompression);  // LZSS; LZH needs no preparation
  const std::int32_t result = LZExtractFiles(extraction);
  ReportFinished(extraction, extraction.Extracted);
  return result;
}

}  // namespace zorellz
