#include <cstdint>
#include <cstring>

#include "archive/codec/LZSSState.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {
namespace {

constexpr std::uint32_t kRingMask = kLZSSRingSize - 1;
constexpr std::uint32_t kMinCoded = kLZSSThreshold + 1;
constexpr std::uint32_t kItemsPerGroup = 8;
// The most a group can take from the input and give to the output.
constexpr std::uint32_t kLargestGroup = 1 + kItemsPerGroup * 2;
constexpr std::uint32_t kLargestGroupOutput = kItemsPerGroup * kLZSSMaxMatch;
static_assert(kLZSSOutputSlack >= 16, "match copies may write 13 bytes past their end");

struct TMatch {
  std::uint32_t Distance;  // 1 to 4,096 bytes back
  std::uint32_t Length;    // 3 to 18
};

// A match item names an absolute ring position; the byte at ring position p
// was written (r - p) mod 4,096 bytes before the one that goes to r, or
// 4,096 bytes before when p = r.  Ring positions never written hold zeros,
// as does the sink's history before the first byte.
TMatch MatchItem(std::uint8_t low, std::uint8_t high, std::uint32_t r) {
  const std::uint32_t position = low | ((high & 0xF0u) << 4);
  return {((r - position - 1) & kRingMask) + 1, (high & 0x0Fu) + kMinCoded};
}

// Copies a match whose source may overlap what it produces: byte by byte for
// short distances (the run-length effect), else in blocks that never read
// what they have not yet written.  May write up to 13 bytes past its end.
void CopyMatch(std::uint8_t* out, const TMatch& match) {
  const std::uint8_t* from = out - match.Distance;
  if (match.Distance >= 16) {
    std::memcpy(out, from, 16);
    if (match.Length > 16) std::memcpy(out + 16, from + 16, 8);
  } else if (match.Distance >= 8) {
    for (std::uint32_t k = 0; k < match.Length; k += 8) std::memcpy(out + k, from + k, 8);
  } else {
    for (std::uint32_t k = 0; k < match.Length; ++k) out[k] = from[k];
  }
}

class TDecoder {
 public:
  explicit TDecoder(TLZSSState& state) : source_(state), sink_(state) {}

  void Run() {
    for (;;) {
      if (source_.Available() >= kLargestGroup && sink_.Room() >= kLargestGroupOutput) {
        DecodeGroupInPlace();
      } else if (!DecodeGroup()) {
        break;
      }
    }
    sink_.Flush();
  }

 private:
  // The whole group is in the input buffer and its output fits the output
  // buffer: no checks per byte.
  void DecodeGroupInPlace() {
    const std::uint8_t* in = source_.Cursor();
    std::uint8_t* out = sink_.Cursor();
    std::uint32_t r = r_;
    std::uint32_t flags = *in++;
    if (flags == 0xFF) {
      // Eight literals, frequent in data that seldom repeats: one copy.
      std::memcpy(out, in, kItemsPerGroup);
      in += kItemsPerGroup;
      out += kItemsPerGroup;
      r += kItemsPerGroup;
    } else {
      for (std::uint32_t item = 0; item < kItemsPerGroup; ++item, flags >>= 1) {
        if (flags & 1) {
          *out++ = *in++;
          ++r;
          continue;
        }
        const TMatch match = MatchItem(in[0], in[1], r);
        in += 2;
        CopyMatch(out, match);
        out += match.Length;
        r += match.Length;
      }
    }
    r_ = r;
    source_.Skip(static_cast<std::uint32_t>(in - source_.Cursor()));
    sink_.Advance(static_cast<std::uint32_t>(out - sink_.Cursor()));
  }

  // One group through the checked byte access; false when the input ended.
  bool DecodeGroup() {
    std::uint8_t flags;
    if (!source_.Next(flags)) return false;
    for (std::uint32_t item = 0; item < kItemsPerGroup; ++item, flags >>= 1) {
      std::uint8_t first;
      if (!source_.Next(first)) return false;
      if (flags & 1) {
        Put(first);
        continue;
      }
      std::uint8_t second;
      if (!source_.Next(second)) return false;  // the incomplete match is dropped
      const TMatch match = MatchItem(first, second, r_);
      for (std::uint32_t k = 0; k < match.Length; ++k) Put(sink_.Back(match.Distance));
    }
    return true;
  }

  void Put(std::uint8_t byte) {
    sink_.Put(byte);
    ++r_;
  }

  TLZSSByteSource source_;
  TLZSSByteSink sink_;
  // The ring position of the next output byte, modulo 4,096.
  std::uint32_t r_ = kLZSSRingSize - kLZSSMaxMatch;
};

}  // namespace

void LZSSDecodeStream(TLZSSState& state) {
  TDecoder decoder(state);
  decoder.Run();
}

}  // namespace zorellz
