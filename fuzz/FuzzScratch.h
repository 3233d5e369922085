// For fuzz targets that read and write several files: one scratch folder per
// process, with a target folder and the temporary folder that TEMP names.
// After each input the folder must hold nothing but the files a target
// expects: never a work file, never anything outside.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzInputFile.h"
#include "platform/System.h"
#include "platform/WorkFiles.h"

namespace zorellz::fuzz {

class TFuzzScratch {
 public:
  explicit TFuzzScratch(const std::string& prefix)
      : reserved_(CreateUniqueFile(TempDirectory(), prefix)) {
    Check(!reserved_.empty());
    // The unique file reserves the name; the folder takes it with a suffix.
    root_ = reserved_.string() + ".d";
    Check(std::filesystem::create_directory(root_));
    Check(setenv("TEMP", Temp().c_str(), 1) == 0);
  }
  ~TFuzzScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    std::filesystem::remove(reserved_, ignored);
  }
  TFuzzScratch(const TFuzzScratch&) = delete;
  TFuzzScratch& operator=(const TFuzzScratch&) = delete;

  std::filesystem::path File(const std::string& name) const { return root_ / name; }
  std::filesystem::path Target() const { return root_ / "target"; }
  std::filesystem::path Temp() const { return root_ / "temp"; }

  // Starts an input: an empty target and temporary folder, and `name` with
  // `size` bytes of `data`.
  void Write(const std::string& name, const std::uint8_t* data, std::size_t size) const {
    Clear();
    std::filesystem::create_directory(Temp());
    std::filesystem::create_directory(Target());
    std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Check(static_cast<bool>(out));
  }

  // No work file anywhere in the folder; beside the target and temporary
  // folders only regular files.
  void CheckClean() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, ignored)) {
      Check(WorkFileOwner(entry.path().filename().string()) < 0);
    }
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
      const std::filesystem::path& path = entry.path();
      if (path == Target() || path == Temp()) continue;
      Check(entry.is_regular_file() && !entry.is_symlink());
    }
    Check(std::filesystem::is_empty(Temp()));
  }

  // As CheckClean, and beside the two folders only `name`, holding the
  // input's bytes still.
  void CheckOnly(const std::string& name, const std::uint8_t* data, std::size_t size) const {
    CheckClean();
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
      const std::filesystem::path& path = entry.path();
      Check(path == File(name) || path == Target() || path == Temp());
    }
    std::ifstream in(File(name), std::ios::binary);
    const std::vector<std::uint8_t> now((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    Check(now == std::vector<std::uint8_t>(data, data + size));
  }

  // Removes everything an input left, read-only files and folders included.
  void Clear() const { Empty(root_); }
  // Empties the target folder.
  void ClearTarget() const { Empty(Target()); }

 private:
  // Removes what `folder` holds; files and folders made read-only do not
  // stop it.
  static void Empty(const std::filesystem::path& folder) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }

  std::filesystem::path reserved_;
  std::filesystem::path root_;
};

}  // namespace zorellz::fuzz
