// A file written beside its final place that takes that place only when it
// is complete.  Until Commit succeeds the target (if any) is untouched; a
// pending file that is never committed is removed when its owner goes away,
// whichever way that happens.
#pragma once

#include <filesystem>

#include "zorellz/platform/Export.h"
#include "zorellz/platform/File.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TPendingFile {
 public:
  TPendingFile() = default;
  ~TPendingFile();
  TPendingFile(const TPendingFile&) = delete;
  TPendingFile& operator=(const TPendingFile&) = delete;

  // Creates and opens a new, uniquely named file in the target's folder;
  // false (with the system's error number in `error`) when it cannot.
  bool Create(const std::filesystem::path& target, int* error = nullptr);
  TFile& File() { return file_; }
  // The committed file becomes executable as `program` is (MoveProgramIntoPlace).
  void MakeProgramLike(const std::filesystem::path& program) { program_ = program; }
  const std::filesystem::path& Target() const { return target_; }

  // Flushes the data to the device (EInOutError when it cannot), gives the
  // file the permissions of the file it replaces (those of a new file when
  // there is none) and renames it over the target in one step.  False when
  // the rename fails; the pending file is then removed.
  bool Commit(int* error = nullptr);
  // Removes the pending file; the target stays as it was.
  void Discard();

 private:
  std::filesystem::path target_;
  std::filesystem::path path_;
  std::filesystem::path program_;
  TFile file_;
};

}  // namespace zorellz
ZORELLZ_API_END
