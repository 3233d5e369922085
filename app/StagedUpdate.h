// An update applied all or nothing.  The files are first extracted into a
// staging folder inside the data folder (the same file system, so that every
// later move is a rename).  Commit then moves each staged file to its place,
// keeping every file it replaces aside until all moves have succeeded; when
// one move fails, everything moved so far is put back, so the data folder is
// never left half updated.  Standard library only.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace tessaline {

// A failure of staging or of the commit: the file concerned and the cause.
class EStagedUpdateError : public std::runtime_error {
 public:
  EStagedUpdateError(std::filesystem::path file, const std::string& cause);
  const std::filesystem::path& File() const { return file_; }
  const std::string& Cause() const { return cause_; }

 private:
  std::filesystem::path file_;
  std::string cause_;
};

class TStagedUpdate {
 public:
  // Creates a new, empty, uniquely named hidden staging folder inside
  // `data_folder`; raises EStagedUpdateError when it cannot.
  explicit TStagedUpdate(const std::filesystem::path& data_folder);
  // Removes the staging folder, the folder of replaced files and whatever
  // they still hold; only when a failed commit could not put every replaced
  // file back does that folder stay, since it then holds their only copy.
  ~TStagedUpdate();
  TStagedUpdate(const TStagedUpdate&) = delete;
  TStagedUpdate& operator=(const TStagedUpdate&) = delete;

  const std::filesystem::path& StagingFolder() const { return staging_; }

  // Moves every staged file (sub-folders included, in path order) to the
  // same relative place in the data folder, creating the folders it needs; a
  // staged folder that is empty is created too.  A folder in the place of a
  // file, a file in the place of a folder, or anything but a regular file or
  // folder in the staging folder fails the commit.  A link in the data folder
  // where a file goes is replaced itself; a link to a folder where a folder
  // goes is used as that folder.  On failure the data folder is restored
  // (replaced files back, new files and folders gone) and EStagedUpdateError
  // names the file that could not be moved.  Call at most once.
  void Commit();

  // Called before each staged file is moved into place, with the target;
  // answering false fails that move.  An empty function removes the hook.
  static void SetMoveHookForTesting(std::function<bool(const std::filesystem::path&)> hook);

 private:
  std::filesystem::path data_folder_;
  std::filesystem::path staging_;
  std::filesystem::path replaced_;
  bool committed_ = false;
  bool keep_replaced_ = false;
};

}  // namespace tessaline
