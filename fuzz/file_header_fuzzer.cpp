// Any file taken for a single compressed file: its header is accepted or not,
// never read past, and an accepted one names its source.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInputFile.h"
#include "zorellz/engine/ZorelLZ.h"

using zorellz::fuzz::Check;
using zorellz::fuzz::TInputFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TInputFile input("zorellz-fh-fuzz-");
  const std::string file_name = input.Rewrite(data, size);

  zorellz::TLZFileHeader header;
  const bool is_single_file = zorellz::LZGetFileHeader(file_name, header);
  Check(!is_single_file || size >= zorellz::TLZFileHeader::kSize);

  std::string name;
  Check(zorellz::LZGetSourceName(file_name, name) == is_single_file);
  Check(is_single_file ? !name.empty() && name.size() <= 128 : name == file_name);
  return 0;
}
