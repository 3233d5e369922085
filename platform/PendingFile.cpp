#include "platform/PendingFile.h"

#include <cerrno>
#include <string>

#include "platform/System.h"
#include "platform/WorkFiles.h"

namespace zorellz {

TPendingFile::~TPendingFile() {
  Discard();
}

bool TPendingFile::Create(const std::filesystem::path& target, int* error) {
  Discard();
  target_ = target;
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // A hidden work file name (WorkFiles.h), so that a listing of the folder
  // does not pick it up and an interrupt or a later run can remove it.
  path_ = CreateUniqueFile(folder, WorkFilePrefix(target.filename().string(), true));
  if (path_.empty()) {
    if (error != nullptr) *error = errno;
    return false;
  }
  if (!file_.Open(path_, TFile::TMode::kCreateTruncate, error)) {
    Discard();
    return false;
  }
  file_.NameInErrors(target_);  // a full disk is the target's, not the hidden name's
  return true;
}

bool TPendingFile::Create(const TFolderHandle& folder, const std::string& name, int* error) {
  auto copy = std::make_shared<TFolderHandle>();
  if (!folder.Duplicate(*copy)) {
    if (error != nullptr) *error = errno;
    Discard();
    return false;
  }
  return Create(std::move(copy), name, error);
}

bool TPendingFile::Create(std::shared_ptr<const TFolderHandle> folder, const std::string& name,
                          int* error) {
  const bool expect_free = expect_free_;
  Discard();
  expect_free_ = expect_free;
  folder_ = std::move(folder);
  name_ = name;
  target_ = folder_->Path() / name;
  if (expect_free_ && CreateAnonymousFileIn(*folder_, file_)) {
    anonymous_ = true;
    file_.NameInErrors(target_);
    return true;
  }
  const TWorkFileAccess access =
      expect_free_ ? TWorkFileAccess::kOrdinary : TWorkFileAccess::kPrivate;
  if (!CreateWorkFileIn(*folder_, WorkFilePrefix(name, true), file_, work_name_, error, access)) {
    folder_.reset();
    return false;
  }
  file_.NameInErrors(target_);
  return true;
}

void TPendingFile::TakeTargetPermissions() {
  // A free target has no permissions to take: the work file has its own.
  if (expect_free_) return;
  target_kind_ = TakePermissionsIn(*folder_, name_, file_);
  permissions_taken_ = true;
}

bool TPendingFile::Commit(int* error) {
  if (folder_ != nullptr) return CommitInFolder(error);
  if (sync_) file_.Sync();
  file_.Close();
  const bool moved = program_.empty() ? MoveFileIntoPlace(path_, target_)
                                      : MoveProgramIntoPlace(path_, target_, program_);
  if (!moved) {
    if (error != nullptr) *error = errno;
    Discard();
    return false;
  }
  path_.clear();
  return true;
}

bool TPendingFile::CommitInFolder(int* error) {
  if (!permissions_taken_) TakeTargetPermissions();
  if (sync_) file_.Sync();
  if (anonymous_) return CommitAnonymous(error);
  file_.Close();
  if (expect_free_ && PlaceNewFileIn(*folder_, work_name_, name_)) {
    work_name_.clear();
    folder_.reset();
    return true;
  }
  // Something took the free name meanwhile: it is looked at as a target
  // that was there from the start.
  if (expect_free_) target_kind_ = NameKindIn(*folder_, name_);
  return ReplaceInFolder(error);
}

// The file is named while it is open: a closed anonymous file is gone.
bool TPendingFile::CommitAnonymous(int* error) {
  file_.GatherWrites(0);
  bool named = NameAnonymousFileIn(*folder_, file_, name_);
  // Something took the free name meanwhile: the file takes a work name and
  // goes on as one written under it.
  const bool raced = !named && errno == EEXIST;
  if (raced) {
    named = NameAnonymousWorkFileIn(*folder_, file_, WorkFilePrefix(name_, true), work_name_);
  }
  if (!named) {
    if (error != nullptr) *error = errno;
    Discard();
    return false;
  }
  file_.Close();
  anonymous_ = false;
  if (!raced) {
    folder_.reset();
    return true;
  }
  target_kind_ = NameKindIn(*folder_, name_);
  return ReplaceInFolder(error);
}

bool TPendingFile::ReplaceInFolder(int* error) {
  // A link under the target's name is not replaced: the caller meant the
  // file it leads to, which lies elsewhere.  Nor is a device or a pipe.
  const bool kept = target_kind_ == TNameKind::kLink || target_kind_ == TNameKind::kSpecial;
  if (kept || !ReplaceFileIn(*folder_, work_name_, name_)) {
    if (error != nullptr) {
      *error = target_kind_ == TNameKind::kLink ? ELOOP : kept ? EEXIST : errno;
    }
    Discard();
    return false;
  }
  work_name_.clear();
  folder_.reset();
  return true;
}

void TPendingFile::Discard() {
  file_.Close();
  if (!path_.empty()) DeleteFileNative(path_);
  path_.clear();
  if (!work_name_.empty()) DeleteFileIn(*folder_, work_name_);
  work_name_.clear();
  folder_.reset();
  permissions_taken_ = false;
  target_kind_ = TNameKind::kNothing;
  expect_free_ = false;
  anonymous_ = false;
}

}  // namespace zorellz
