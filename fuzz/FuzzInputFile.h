// For fuzz targets whose code under test reads a named file: one scratch
// file per process, rewritten with every input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/System.h"

namespace zorellz::fuzz {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

class TInputFile {
 public:
  explicit TInputFile(const std::string& prefix)
      : path_(CreateUniqueFile(TempDirectory(), prefix)) {
    Check(!path_.empty());
  }
  ~TInputFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Replaces the file's contents with the input and returns its path.
  std::string Rewrite(const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    Check(static_cast<bool>(out));
    return path_.string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace zorellz::fuzz
