// Any bytes through the adaptive Huffman LZ encoder and back: the decoder
// must give the input again, the stream must not depend on how the input was
// split into reads nor on the number of threads, and for inputs the model
// codes quickly it must be the model's stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/LzhMemory.h"
#include "tests/LzhReference.h"
#include "zorellz/codec/ZrlLZH.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kLargestInput = 1 << 18;
constexpr std::size_t kLargestModelInput = 1 << 16;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLargestInput) return 0;
  using zorellz::test::RunLZHOverMemory;
  const TBytes input(data, data + size);
  const auto packed = RunLZHOverMemory(zorellz::LZHCompress, data, size);
  Check(packed.Result == static_cast<std::int64_t>(packed.Output.size()));
  if (size <= kLargestModelInput) {
    Check(packed.Output == zorellz::test::ReferenceLZHCompress(input).Stream);
  }
  const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 61;
  Check(RunLZHOverMemory(zorellz::LZHCompress, data, size, piece).Output == packed.Output);
  Check(RunLZHOverMemory(zorellz::LZHCompressPipelined, data, size, piece).Output == packed.Output);
  const auto back =
      RunLZHOverMemory(zorellz::LZHDecompress, packed.Output.data(), packed.Output.size(), piece);
  Check(back.Result == static_cast<std::int64_t>(size));
  Check(back.Output == input);
  return 0;
}
