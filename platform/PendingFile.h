// A file written beside its final place that takes that place only when it
// is complete.  Until Commit succeeds the target (if any) is untouched; a
// pending file that is never committed is removed when its owner goes away,
// whichever way that happens.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Folder.h"
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
  // The same for the target `name` in an open folder: the work file is made
  // there, new and never through a link, and renamed within that folder, so
  // that nothing done to the folder's path meanwhile can move either
  // elsewhere.
  bool Create(const TFolderHandle& folder, const std::string& name, int* error = nullptr);
  // The same in a folder held open for several files, without another
  // handle on it.
  bool Create(std::shared_ptr<const TFolderHandle> folder, const std::string& name,
              int* error = nullptr);
  // Before Create(folder, name): the target was found free.  The work file
  // then has the permissions of an ordinary new file from the start and
  // takes the name only while it is still free; should something take it
  // meanwhile, Commit goes on as for an existing target, permissions aside.
  // Where the system can, the work file has no name at all until Commit
  // (CreateAnonymousFileIn): nothing is left to remove, even after a crash.
  void ExpectFreeTarget() { expect_free_ = true; }
  bool ExpectsFreeTarget() const { return expect_free_; }
  TFile& File() { return file_; }
  // The committed file becomes executable as `program` is (MoveProgramIntoPlace).
  void MakeProgramLike(const std::filesystem::path& program) { program_ = program; }
  // Whether Commit flushes the data to the device first (the default).
  void SetSync(bool sync) { sync_ = sync; }
  const std::filesystem::path& Target() const { return target_; }

  // Gives the open file the permissions of the file it is to replace (those
  // of a new file when there is none), ahead of Commit, so that changes made
  // to them afterwards are kept.  For files made by Create(folder, name).
  void TakeTargetPermissions();

  // Flushes the data to the device (EInOutError when it cannot; unless
  // SetSync(false)), gives the file the permissions of the file it replaces
  // (those of a new file when there is none) and renames it over the target
  // in one step.  False when the rename fails, or when the target in an
  // open folder is a link; the pending file is then removed.
  bool Commit(int* error = nullptr);
  // Removes the pending file; the target stays as it was.
  void Discard();

 private:
  bool CommitInFolder(int* error);
  bool CommitAnonymous(int* error);

  std::filesystem::path target_;
  std::filesystem::path path_;
  std::filesystem::path program_;
  bool ReplaceInFolder(int* error);

  // For a file made in an open folder: the folder and both names in it.
  std::shared_ptr<const TFolderHandle> folder_;
  std::string name_;
  std::string work_name_;
  bool permissions_taken_ = false;
  TNameKind target_kind_ = TNameKind::kNothing;  // of a target in an open folder
  bool expect_free_ = false;
  bool anonymous_ = false;  // the open file has no name yet
  bool sync_ = true;
  TFile file_;
};

}  // namespace zorellz
ZORELLZ_API_END
