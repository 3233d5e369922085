// Internal to the LZSS codec: the state of one codec object and the buffered
// byte access that both directions share.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "archive/codec/LZSSMatchTree.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {

// The decoder keeps its window of the last 4,096 output bytes in front of the
// output buffer; a few spare bytes behind it let matches be copied in whole
// blocks.
inline constexpr std::uint32_t kLZSSHistorySize = kLZSSRingSize;
inline constexpr std::uint32_t kLZSSOutputSlack = 32;

struct TLZSSState {
  TLZSSReadFunc Read;
  TLZSSWriteFunc Write;
  bool Initialised = false;
  std::unique_ptr<std::uint8_t[]> Input;   // kLZSSBufferSize
  std::unique_ptr<std::uint8_t[]> Output;  // history, kLZSSBufferSize, slack
  std::unique_ptr<TLZSSTreeBlock> Tree;
};

// One stream each, on a state that is initialised and has both functions.
void LZSSEncodeStream(TLZSSState& state);
// The same stream as LZSSEncodeStream, the search shared with a second
// thread when one can be had.
void LZSSEncodePipelinedStream(TLZSSState& state);
void LZSSDecodeStream(TLZSSState& state);

// Input bytes, refilled through the engine's read function one buffer at a
// time.  The first 0 it returns ends the input for good.
class TLZSSByteSource {
 public:
  explicit TLZSSByteSource(TLZSSState& state) : read_(state.Read), buffer_(state.Input.get()) {}

  bool Next(std::uint8_t& byte) {
    if (position_ == count_ && !Refill()) return false;
    byte = buffer_[position_++];
    return true;
  }
  // Copies the next `count` bytes to `out`, or all that are left when fewer
  // are; returns how many it copied.
  std::uint32_t Take(std::uint8_t* out, std::uint32_t count);
  // Direct access for callers that check Available() first.
  std::uint32_t Available() const { return count_ - position_; }
  const std::uint8_t* Cursor() const { return buffer_ + position_; }
  void Skip(std::uint32_t count) { position_ += count; }

 private:
  bool Refill();

  const TLZSSReadFunc& read_;
  std::uint8_t* buffer_;
  std::uint32_t position_ = 0;
  std::uint32_t count_ = 0;
  bool ended_ = false;
};

// Output bytes, handed to the engine's write function in full buffers, with
// the last kLZSSHistorySize bytes written always readable behind the cursor
// (zeros before the first byte).
class TLZSSByteSink {
 public:
  explicit TLZSSByteSink(TLZSSState& state)
      : write_(state.Write), buffer_(state.Output.get() + kLZSSHistorySize) {
    std::memset(state.Output.get(), 0, kLZSSHistorySize);
  }

  void Put(std::uint8_t byte) {
    buffer_[position_++] = byte;
    if (position_ == kLZSSBufferSize) FlushFull();
  }
  // The byte `distance` (1 to kLZSSHistorySize) positions back.
  std::uint8_t Back(std::uint32_t distance) const {
    return buffer_[static_cast<std::ptrdiff_t>(position_) - distance];
  }
  // Direct access for callers that check Room() first; up to
  // kLZSSOutputSlack bytes past the room may be scribbled on.
  std::uint32_t Room() const { return kLZSSBufferSize - position_; }
  std::uint8_t* Cursor() { return buffer_ + position_; }
  void Advance(std::uint32_t count) {
    position_ += count;
    if (position_ == kLZSSBufferSize) FlushFull();
  }
  // Writes what is pending, also when that is nothing.
  void Flush();

 private:
  void FlushFull();

  const TLZSSWriteFunc& write_;
  std::uint8_t* buffer_;
  std::uint32_t position_ = 0;
};

}  // namespace zorellz
