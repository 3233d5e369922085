// The folder pass: where every entry goes, and the archive's folders
// re-created under the target folder.
#include <string>

#include "archive/codec/ZrlErrors.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/ExtractTarget.h"
#include "platform/InOutError.h"

namespace zorellz {
namespace {

void CopyEntry(const TLZFileEntry& entry, TLZFileItem& item) {
  item.IsFolder = entry.IsFolder;
  item.FolderIndex = entry.FolderIndex;
  item.ParentIndex = entry.ParentIndex;
  item.Compressed = entry.Compressed;
  item.FileVersion = entry.FileVersion.Get();
  LZCopySharedFields(item, entry);
}

// A folder is created only where the target folder holds it, never through
// a link that leads elsewhere.
bool CreateFolder(const TLZExtraction& extraction, const std::string& path) {
  try {
    return LZLiesUnderFolder(extraction.TargetFolder, path) && LZForceDirectories(path) >= 0;
  } catch (const EInOutError&) {
    RaiseLZErrorFmt(TLZErrorClass::kArchive, kMsgCannotRecreateFolders, path);
  }
}

void ReportFolder(const TLZExtraction& extraction, const TLZFileItem& item) {
  TLZReportRec record;
  LZItemToReport(record, item);
  LZReport(extraction.Report, record, kLZReportFolderCreated);
  record.FileName.clear();
  LZReport(extraction.Report, record, kLZReportFolderCreatedEnd);
}

}  // namespace

std::int32_t LZExtractFolders(TLZExtraction& extraction) {
  const TZorelLZArchiveHeader& directory = extraction.Directory;
  std::string archive_path;
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    TLZFileItem& item = extraction.Items[static_cast<std::size_t>(k - 1)];
    CopyEntry(entry, item);
    if (!LZEntryPath(directory, k, archive_path)) return kLZDamagedDirectory;
    if (entry.IsFolder == 0) {
      // Without recursion every file lands directly in the target folder.
      item.TargetPath = LZTargetPath(extraction.TargetFolder,
                                     extraction.Recurse ? archive_path : directory.Name(k));
      continue;
    }
    ++extraction.FolderCount;
    item.TargetPath = LZTargetPath(extraction.TargetFolder, archive_path);
    if (!extraction.Recurse) continue;
    if (!CreateFolder(extraction, item.TargetPath)) return kLZCannotCreateFolder;
    ReportFolder(extraction, item);
  }
  return 0;
}

}  // namespace zorellz
