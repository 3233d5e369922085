// The folder pass: where every entry goes, and the archive's folders
// re-created under the target folder.
#include <string>
#include <utility>
#include <vector>

#include "archive/engine/ExtractPass.h"
#include "archive/engine/ExtractTarget.h"
#include "zorellz/codec/ZrlErrors.h"

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
// a link that leads elsewhere (kLink).
TFolderHandle::TStep CreateFolder(TLZExtraction& extraction, const std::string& path) {
  TLZPlace place;
  if (!LZPlaceBelowFolder(extraction.TargetFolder, path, place)) {
    return TFolderHandle::TStep::kFailed;
  }
  place.Folders.push_back(std::move(place.Name));
  TFolderHandle folder;
  return LZOpenBelowTarget(extraction, place.Folders, true, folder);
}

std::string PlaceKey(const std::vector<std::string>& folders) {
  std::string key;
  for (const std::string& folder : folders) key.append(folder).push_back('/');
  return key;
}

// The folder that took a new name, and for a folder made its parent: noted
// by place, not held open, so that a pass over many folders never runs out
// of descriptors.
void NoteTouched(TLZExtraction& extraction, const std::vector<std::string>& folders) {
  extraction.Touched.emplace(PlaceKey(folders), folders);
  if (folders.empty()) return;
  std::vector<std::string> parents(folders.begin(), folders.end() - 1);
  extraction.Touched.emplace(PlaceKey(parents), std::move(parents));
}

// A folder that a link stands in for is named as an entry that was not
// written, so that the caller can tell which one it was.
void ReportLinkedFolder(const TLZExtraction& extraction, const TLZFileItem& item) {
  TLZReportRec record;
  LZItemToReport(record, item);
  LZReport(extraction.Report, record, kLZCRCMismatch);
}

void ReportFolder(const TLZExtraction& extraction, const TLZFileItem& item) {
  TLZReportRec record;
  LZItemToReport(record, item);
  LZReport(extraction.Report, record, kLZReportFolderCreated);
  record.FileName.clear();
  LZReport(extraction.Report, record, kLZReportFolderCreatedEnd);
}

// Every folder when the mask takes every file (empty folders included);
// otherwise the folders on the paths of the files it selects.
std::vector<bool> FoldersToCreate(const TLZExtraction& extraction) {
  const TZorelLZArchiveHeader& directory = extraction.Directory;
  std::vector<bool> wanted(static_cast<std::size_t>(directory.Count) + 1, false);
  const TLZContext& context = extraction.Context;
  const std::string& mask = context.DearchiveMask;
  if (!context.FileMatch && (mask.empty() || mask == "*" || mask == "*.*")) {
    wanted.assign(wanted.size(), true);
    return wanted;
  }
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileItem& item = extraction.Items[static_cast<std::size_t>(k - 1)];
    if (item.IsFolder != 0 || !LZIsSelected(extraction, item, k)) continue;
    // The directory was checked: every chain of folders reaches the root.
    for (std::int32_t folder = item.FolderIndex; folder != 0 && !wanted[folder];
         folder = directory.Entry(folder).ParentIndex) {
      wanted[folder] = true;
    }
  }
  return wanted;
}

}  // namespace

bool LZIsSelected(const TLZExtraction& extraction, const TLZFileItem& item, std::int32_t k) {
  if (!extraction.ByNumber && LZIsCommentAttr(item.FileAttr)) return false;
  const TLZContext& context = extraction.Context;
  return LZMatchFile(context, context.DearchiveMask, item.TargetPath, k);
}

TFolderHandle::TStep LZOpenBelowTarget(TLZExtraction& extraction,
                                       const std::vector<std::string>& folders, bool create,
                                       TFolderHandle& folder) {
  const TFolderHandle::TStep step = extraction.Target.OpenBelow(folders, create, folder);
  if (step == TFolderHandle::TStep::kOpened && extraction.Context.Durable) {
    NoteTouched(extraction, folders);
  }
  return step;
}

bool LZSyncTouchedFolders(TLZExtraction& extraction) {
  bool synced = true;
  for (const auto& [place, folders] : extraction.Touched) {
    TFolderHandle folder;
    synced = extraction.Target.OpenBelow(folders, false, folder) == TFolderHandle::TStep::kOpened &&
             folder.Sync() && synced;
  }
  extraction.Touched.clear();
  return synced;
}

std::int32_t LZExtractFolders(TLZExtraction& extraction) {
  const TZorelLZArchiveHeader& directory = extraction.Directory;
  std::string archive_path;
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    TLZFileItem& item = extraction.Items[static_cast<std::size_t>(k - 1)];
    CopyEntry(entry, item);
    if (!LZEntryPath(directory, k, archive_path)) return kLZDamagedDirectory;
    // Without recursion every file lands directly in the target folder.
    const bool keeps_path = entry.IsFolder != 0 || extraction.Recurse;
    item.TargetPath =
        LZTargetPath(extraction.TargetFolder, keeps_path ? archive_path : directory.Name(k));
    if (entry.IsFolder != 0) ++extraction.FolderCount;
  }
  if (!extraction.Recurse) return 0;
  const std::vector<bool> wanted = FoldersToCreate(extraction);
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileItem& item = extraction.Items[static_cast<std::size_t>(k - 1)];
    if (item.IsFolder == 0 || !wanted[k]) continue;
    const TFolderHandle::TStep step = CreateFolder(extraction, item.TargetPath);
    if (step == TFolderHandle::TStep::kLink) ReportLinkedFolder(extraction, item);
    if (step != TFolderHandle::TStep::kOpened) return kLZCannotCreateFolder;
    ReportFolder(extraction, item);
  }
  return 0;
}

}  // namespace zorellz
