// Work files of the engine: uniquely named files in the temporary folder that
// live only as long as the operation needs them.  Internal to the engine.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "zorellz/platform/File.h"

namespace zorellz {

// A file that is removed when the guard goes out of scope, whichever way,
// unless it is kept.
class TWorkFileGuard {
 public:
  explicit TWorkFileGuard(std::filesystem::path path) : path_(std::move(path)) {}
  ~TWorkFileGuard() {
    if (!path_.empty()) DeleteFileNative(path_);
  }
  TWorkFileGuard(const TWorkFileGuard&) = delete;
  TWorkFileGuard& operator=(const TWorkFileGuard&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Hands the file over: it is no longer removed.
  std::string Keep() { return std::exchange(path_, {}).string(); }

 private:
  std::filesystem::path path_;
};

// A new, empty, uniquely named file in the temporary folder, which is
// created when it is missing; an empty path when there can be none.
std::filesystem::path LZCreateWorkFile();

}  // namespace zorellz
