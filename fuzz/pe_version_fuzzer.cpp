// Version lookup over arbitrary bytes: must never crash, read outside the
// input or loop, and a value, when found, is at most 255 characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "archive/codec/PeVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<std::string> value = zorellz::ReadPeVersionString(data, size, "FileVersion");
  if (value && value->size() > 255) std::abort();
  return 0;
}
