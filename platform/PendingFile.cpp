#include "platform/PendingFile.h"

#include <cerrno>
#include <string>

#include "platform/System.h"

namespace zorellz {

TPendingFile::~TPendingFile() {
  Discard();
}

bool TPendingFile::Create(const std::filesystem::path& target, int* error) {
  Discard();
  target_ = target;
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // A hidden name, so that a listing of the folder does not pick it up; a
  // long target name is shortened so that the temporary name stays legal.
  constexpr std::size_t kLongestStem = 100;
  std::string prefix = ".";
  prefix.append(target.filename().string(), 0, kLongestStem);
  prefix += '.';
  path_ = CreateUniqueFile(folder, prefix);
  if (path_.empty()) {
    if (error != nullptr) *error = errno;
    return false;
  }
  if (!file_.Open(path_, TFile::TMode::kCreateTruncate, error)) {
    Discard();
    return false;
  }
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
