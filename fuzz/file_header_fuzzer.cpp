// Any file taken for a single compressed file: its header is accepted or not,
// never read past, and an accepted one names its source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/engine/ZorelLZ.h"
#include "platform/System.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class TInputFile {
 public:
  TInputFile() : path_(zorellz::CreateUniqueFile(zorellz::TempDirectory(), "zorellz-fh-fuzz-")) {
    Check(!path_.empty());
  }
  ~TInputFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TInputFile input;
  const std::string file_name = input.Rewrite(data, size);

  zorellz::TLZFileHeader header;
  const bool is_single_file = zorellz::LZGetFileHeader(file_name, header);
  Check(!is_single_file || size >= zorellz::TLZFileHeader::kSize);

  std::string name;
  Check(zorellz::LZGetSourceName(file_name, name) == is_single_file);
  Check(is_single_file ? !name.empty() && name.size() <= 128 : name == file_name);
  return 0;
}
