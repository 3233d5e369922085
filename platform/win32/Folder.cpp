#include "platform/Folder.h"

#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/System.h"
#include "platform/win32/WinText.h"

namespace zorellz {

using win32::FailWithLastError;
using win32::LongPath;

namespace {

std::atomic<std::uint64_t> sync_calls{0};

// One step down by path: a reparse point (symbolic link, junction) where a
// folder is expected is refused, whatever it leads to.
TFolderHandle::TStep CheckChild(const std::filesystem::path& child, bool create) {
  const std::wstring name = LongPath(child);
  DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES && create) {
    if (!CreateDirectoryW(name.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      FailWithLastError();
      return TFolderHandle::TStep::kFailed;
    }
    attributes = GetFileAttributesW(name.c_str());
  }
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    FailWithLastError();
    return TFolderHandle::TStep::kFailed;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return TFolderHandle::TStep::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    errno = ENOTDIR;
    return TFolderHandle::TStep::kFailed;
  }
  return TFolderHandle::TStep::kOpened;
}

}  // namespace

bool TFolderHandle::Open(const std::filesystem::path& folder, int* error) {
  Close();
  if (!DirectoryExistsNative(folder)) {
    if (error != nullptr) *error = errno != 0 ? errno : ENOTDIR;
    return false;
  }
  path_ = folder;
  return true;
}

TFolderHandle::TStep TFolderHandle::OpenBelow(const std::vector<std::string>& parts, bool create,
                                              TFolderHandle& folder) const {
  std::filesystem::path path = path_;
  for (const std::string& part : parts) {
    path /= part;
    const TStep step = CheckChild(path, create);
    if (step != TStep::kOpened) return step;
  }
  folder.Close();
  folder.path_ = std::move(path);
  return TStep::kOpened;
}

bool TFolderHandle::Duplicate(TFolderHandle& copy) const {
  copy.path_ = path_;
  return true;
}

void TFolderHandle::Close() {
  path_.clear();
}

// Windows flushes a folder's names with the files renamed into it
// (MOVEFILE_WRITE_THROUGH); there is nothing more to flush.
bool TFolderHandle::Sync() const {
  CountSyncCall();
  return true;
}

// Windows files carry no permissions to choose between.
bool CreateWorkFileIn(const TFolderHandle& folder, const std::string& prefix, TFile& file,
                      std::string& name, int* error, TWorkFileAccess) {
  // CreateUniqueFile makes the file with CREATE_NEW and watches it.
  const std::filesystem::path path = CreateUniqueFile(folder.Path(), prefix);
  if (path.empty() || !file.Open(path, TFile::TMode::kReadWrite, error)) {
    if (error != nullptr && path.empty()) *error = errno;
    if (!path.empty()) DeleteFileNative(path);
    name.clear();
    return false;
  }
  name = path.filename().string();
  return true;
}

// Windows has no file without a name that could be given one later: the
// caller writes a work file.
bool CreateAnonymousFileIn(const TFolderHandle&, TFile&) {
  errno = EOPNOTSUPP;
  return false;
}

void AllowAnonymousFiles(bool) {}

bool NameAnonymousFileIn(const TFolderHandle&, const TFile&, const std::string&) {
  errno = EOPNOTSUPP;
  return false;
}

bool NameAnonymousWorkFileIn(const TFolderHandle&, const TFile&, const std::string&,
                             std::string& name) {
  name.clear();
  errno = EOPNOTSUPP;
  return false;
}

TNameKind NameKindIn(const TFolderHandle& folder, const std::string& name) {
  const DWORD attributes = GetFileAttributesW(LongPath(folder.Path() / name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return TNameKind::kNothing;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return TNameKind::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return TNameKind::kOther;
  return TNameKind::kFile;
}

TNameKind TakePermissionsIn(const TFolderHandle& folder, const std::string& name, TFile&) {
  return NameKindIn(folder, name);
}

bool PlaceNewFileIn(const TFolderHandle& folder, const std::string& from, const std::string& to) {
  return RenameFileNative(folder.Path() / from, folder.Path() / to);
}

bool ReplaceFileIn(const TFolderHandle& folder, const std::string& from, const std::string& to) {
  return ReplaceFileNative(folder.Path() / from, folder.Path() / to);
}

bool DeleteFileIn(const TFolderHandle& folder, const std::string& name) {
  return DeleteFileNative(folder.Path() / name);
}

std::uint64_t SyncCallCount() {
  return sync_calls.load();
}

void CountSyncCall() {
  ++sync_calls;
}

}  // namespace zorellz
