// Any bytes through the LZSS encoder and back: the decoder must give the
// input again, and the stream must not depend on how the input was split
// into reads, nor on whether one thread or two made it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/LzssMemory.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kLargestInput = 1 << 20;

void Check(bool condition) {
  if (!condition) std::abort();
}

TBytes RunStream(void (*direction)(), const std::uint8_t* data, std::size_t size,
                 std::size_t piece) {
  return zorellz::test::RunLZSSOverMemory(direction, data, size, piece).Output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLargestInput) return 0;
  static const bool kReady = zorellz::LZSSInit();
  Check(kReady);
  const TBytes stream = RunStream(zorellz::LZSSEncode, data, size, zorellz::kLZSSBufferSize);
  // Eight items of one byte each need a flag byte of their own.
  Check(stream.size() <= size + (size + 7) / 8 + 1);
  const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 61;
  Check(RunStream(zorellz::LZSSEncode, data, size, piece) == stream);
  Check(RunStream(zorellz::LZSSEncodePipelined, data, size, piece) == stream);
  const TBytes back = RunStream(zorellz::LZSSDecode, stream.data(), stream.size(), piece);
  Check(back == TBytes(data, data + size));
  return 0;
}
