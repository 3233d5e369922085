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

bool TPendingFile::Commit(int* error) {
  file_.Sync();
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

void TPendingFile::Discard() {
  file_.Close();
  if (!path_.empty()) DeleteFileNative(path_);
  path_.clear();
}

}  // namespace zorellz
