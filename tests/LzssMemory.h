// The LZSS codec run over memory, and the plain decoder it is checked
// against; shared by the tests and the fuzz targets.  Header only, so that
// the fuzz build needs nothing else from the tests.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz::test {

struct TLZSSMemoryRun {
  std::vector<std::uint8_t> Output;
  std::vector<std::uint32_t> Writes;  // the count of every write call
  int Reads = 0;                      // read calls
};

// Runs one stream (`direction` is LZSSEncode or LZSSDecode) over `size`
// bytes at `data`.  Each read hands out at most piece(bytes taken so far)
// bytes, so that callers can split the input any way they like.
template <typename PieceFunc>
TLZSSMemoryRun RunLZSSOverMemory(void (*direction)(), const std::uint8_t* data, std::size_t size,
                                 PieceFunc piece) {
  TLZSSMemoryRun run;
  std::size_t taken = 0;
  LZSSSetIOFunctions(
      [&](std::uint8_t* buffer) {
        ++run.Reads;
        const std::size_t count =
            std::min({std::size_t{piece(taken)}, size - taken, std::size_t{kLZSSBufferSize}});
        std::copy_n(data + taken, count, buffer);
        taken += count;
        return static_cast<std::uint32_t>(count);
      },
      [&](const std::uint8_t* buffer, std::uint32_t count) {
        run.Writes.push_back(count);
        run.Output.insert(run.Output.end(), buffer, buffer + count);
        return count;
      });
  direction();
  return run;
}

// The same with reads of at most `piece` bytes each.
inline TLZSSMemoryRun RunLZSSOverMemory(void (*direction)(), const std::uint8_t* data,
                                        std::size_t size, std::size_t piece = kLZSSBufferSize) {
  return RunLZSSOverMemory(direction, data, size, [piece](std::size_t) { return piece; });
}

// The stream format decoded as plainly as it is defined: flag bits shifted
// in one at a time, a 4,096-byte ring that starts zero-filled with r at
// 4,078, every match copied byte by byte.  A last match without its second
// byte is dropped.
inline std::vector<std::uint8_t> PlainLZSSDecode(const std::uint8_t* data, std::size_t size) {
  std::vector<int> ring(4096, 0);
  std::vector<std::uint8_t> out;
  int r = 4096 - 18;
  unsigned flags = 0;
  std::size_t at = 0;
  auto next = [&]() -> int { return at < size ? data[at++] : -1; };
  for (;;) {
    flags >>= 1;
    if ((flags & 0xFF00) == 0) {
      const int c = next();
      if (c < 0) break;
      flags = 0xFF00 | c;
    }
    const int c = next();
    if (c < 0) break;
    if (flags & 1) {
      out.push_back(static_cast<std::uint8_t>(c));
      ring[r] = c;
      r = (r + 1) % 4096;
      continue;
    }
    const int d = next();
    if (d < 0) break;
    const int position = c | ((d >> 4) << 8);
    for (int k = 0; k < (d & 0x0F) + 3; ++k) {
      const int byte = ring[(position + k) % 4096];
      out.push_back(static_cast<std::uint8_t>(byte));
      ring[r] = byte;
      r = (r + 1) % 4096;
    }
  }
  return out;
}

// A stream of literals only, as any LZSS decoder must read it: each flag
// byte announces eight literals.
inline std::vector<std::uint8_t> LiteralLZSSStream(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> stream;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i % 8 == 0) stream.push_back(0xFF);
    stream.push_back(data[i]);
  }
  return stream;
}

}  // namespace zorellz::test
