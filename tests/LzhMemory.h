// The adaptive Huffman LZ codec run over memory through its read and write
// functions, recording every write and every call of the progress hooks;
// shared by the tests and the fuzz targets.  Header only, so that the fuzz
// build needs nothing else from the tests.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "zorellz/codec/ZrlLZH.h"

namespace zorellz::test {

struct TLZHHookCall {
  std::int32_t Count = 0;
  bool Decompressing = false;
  bool operator==(const TLZHHookCall&) const = default;
};

struct TLZHMemoryRun {
  std::int64_t Result = 0;
  std::vector<std::uint8_t> Output;
  std::vector<std::size_t> Writes;  // the count of every write call
  int Reads = 0;                    // read calls
  std::size_t Taken = 0;            // input bytes handed out
  std::vector<TLZHHookCall> ReadHooks;
  std::vector<TLZHHookCall> WriteHooks;
  bool Capped = false;  // a write would have taken the output past the limit
};

using TLZHDirection = std::int64_t (*)(const TLZHReadFunc&, const TLZHWriteFunc&);

// Runs one stream (`direction` is LZHCompress or LZHDecompress) over `size`
// bytes at `data`.  Each read hands out at most piece(bytes taken so far)
// bytes, which must be at least 1.  A write that would take the output past
// `output_limit` raises instead, which ends the run with Capped set.
template <typename PieceFunc>
TLZHMemoryRun RunLZHOverMemory(TLZHDirection direction, const std::uint8_t* data, std::size_t size,
                               PieceFunc piece,
                               std::size_t output_limit = std::numeric_limits<std::size_t>::max()) {
  struct TLimitReached {};
  // The hooks refer to `run`, so they must not outlive this call.
  struct TUnhook {
    ~TUnhook() { LZHSetProgressHooks({}, {}); }
  };
  TLZHMemoryRun run;
  TUnhook unhook;
  LZHSetProgressHooks(
      [&](std::int32_t count, bool decompressing) {
        run.ReadHooks.push_back({count, decompressing});
      },
      [&](std::int32_t count, bool decompressing) {
        run.WriteHooks.push_back({count, decompressing});
      });
  const TLZHReadFunc read = [&](std::uint8_t* buffer, std::size_t count) {
    ++run.Reads;
    const std::size_t n =
        std::min({static_cast<std::size_t>(piece(run.Taken)), count, size - run.Taken});
    std::copy_n(data + run.Taken, n, buffer);
    run.Taken += n;
    return n;
  };
  const TLZHWriteFunc write = [&](const std::uint8_t* buffer, std::size_t count) {
    if (count > output_limit - run.Output.size()) throw TLimitReached{};
    run.Writes.push_back(count);
    run.Output.insert(run.Output.end(), buffer, buffer + count);
  };
  try {
    run.Result = direction(read, write);
  } catch (const TLimitReached&) {
    run.Capped = true;
  }
  return run;
}

// The same with reads of at most `piece` bytes each.
inline TLZHMemoryRun RunLZHOverMemory(TLZHDirection direction, const std::uint8_t* data,
                                      std::size_t size, std::size_t piece = 1 << 20) {
  return RunLZHOverMemory(direction, data, size, [piece](std::size_t) { return piece; });
}

}  // namespace zorellz::test
