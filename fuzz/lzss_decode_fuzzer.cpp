// Any bytes given to the LZSS decoder: it must never read or write out of
// bounds, and must give exactly what a plain ring-buffer decoder gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/codec/ZrlLZSS.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kLargestInput = 1 << 20;
// A two-byte match item gives at most 18 bytes.
constexpr std::size_t kLargestExpansion = 9;

void Check(bool condition) {
  if (!condition) std::abort();
}

TBytes Decode(const std::uint8_t* data, std::size_t size) {
  TBytes out;
  std::size_t taken = 0;
  zorellz::LZSSSetIOFunctions(
      [&](std::uint8_t* buffer) {
        // Uneven pieces, so that groups straddle buffer loads.
        const std::size_t count = std::min<std::size_t>(size - taken, 1 + taken % 70000);
        std::copy_n(data + taken, count, buffer);
        taken += count;
        return static_cast<std::uint32_t>(count);
      },
      [&](const std::uint8_t* buffer, std::uint32_t count) {
        out.insert(out.end(), buffer, buffer + count);
        return count;
      });
  zorellz::LZSSDecode();
  return out;
}

// The stream format decoded one byte at a time through a 4,096-byte ring
// that starts filled with zeros.
TBytes PlainDecode(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> ring(4096, 0);
  TBytes out;
  unsigned r = 4096 - 18;
  std::size_t at = 0;
  while (at < size) {
    const unsigned flags = data[at++];
    for (int item = 0; item < 8 && at < size; ++item) {
      if (flags & (1u << item)) {
        out.push_back(ring[r++ & 4095] = data[at++]);
        continue;
      }
      if (at + 1 >= size) return out;
      const unsigned position = data[at] | ((data[at + 1] & 0xF0u) << 4);
      const unsigned length = (data[at + 1] & 0x0Fu) + 3;
      at += 2;
      for (unsigned k = 0; k < length; ++k)
        out.push_back(ring[r++ & 4095] = ring[(position + k) & 4095]);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLargestInput) return 0;
  static const bool kReady = zorellz::LZSSInit();
  Check(kReady);
  const TBytes out = Decode(data, size);
  Check(out.size() <= size * kLargestExpansion);
  Check(out == PlainDecode(data, size));
  return 0;
}
