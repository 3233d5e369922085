// Any bytes given to the adaptive Huffman LZ decoder: it must never read or
// write out of bounds nor hang, and must decode exactly as the model does,
// down to what it has written when the input runs out.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/LzhMemory.h"
#include "tests/LzhReference.h"
#include "zorellz/codec/ZrlLZH.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kLargestInput = 1 << 16;
constexpr std::size_t kOutputChunk = 16384;
// A symbol of one bit can give 64 bytes, so an output may be 512 times the
// input; the write function stops it here.
constexpr std::size_t kOutputLimit = 64 * kOutputChunk;
// The model goes on until the library must have passed the limit.
constexpr std::size_t kModelLimit = kOutputLimit + 2 * kOutputChunk;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLargestInput) return 0;
  // Uneven pieces, so that chunks are assembled from several reads.
  const zorellz::test::TLZHMemoryRun run = zorellz::test::RunLZHOverMemory(
      zorellz::LZHDecompress, data, size, [](std::size_t taken) { return 1 + taken % 40000; },
      kOutputLimit);
  const auto model = zorellz::test::ReferenceLZHDecompress(data, size, kModelLimit);
  const TBytes written(model.Output.begin(), model.Output.begin() + model.Written);
  if (model.Capped || written.size() > kOutputLimit) {
    Check(run.Capped);
  } else {
    Check(!run.Capped);
    Check(run.Result == model.Result);
    Check(run.Output == written);
  }
  Check(run.Output.size() <= model.Output.size());
  Check(std::equal(run.Output.begin(), run.Output.end(), model.Output.begin()));
  return 0;
}
