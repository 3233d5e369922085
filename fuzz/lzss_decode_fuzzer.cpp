// Any bytes given to the LZSS decoder: it must never read or write out of
// bounds, and must give exactly what the plain decoder gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/LzssMemory.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kLargestInput = 1 << 20;
// A two-byte match item gives at most 18 bytes.
constexpr std::size_t kLargestExpansion = 9;

void Check(bool condition) {
  if (!condition) std::abort();
}

TBytes Decode(const std::uint8_t* data, std::size_t size) {
  // Uneven pieces, so that groups straddle buffer loads.
  return zorellz::test::RunLZSSOverMemory(zorellz::LZSSDecode, data, size,
                                          [](std::size_t taken) { return 1 + taken % 70000; })
      .Output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLargestInput) return 0;
  static const bool kReady = zorellz::LZSSInit();
  Check(kReady);
  const TBytes out = Decode(data, size);
  Check(out.size() <= size * kLargestExpansion);
  Check(out == zorellz::test::PlainLZSSDecode(data, size));
  return 0;
}
