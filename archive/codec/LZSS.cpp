// The codec's lifecycle and its buffered access to the engine's functions.
#include <new>
#include <stdexcept>
#include <utility>

#include "archive/codec/LZSSState.h"
#include "archive/codec/ZrlLZSS.h"
#include "platform/InOutError.h"

namespace zorellz {

TLZSSState& LZSSModule() {
  static TLZSSState state;
  return state;
}

TLZSSState& LZSSBeginStream() {
  TLZSSState& state = LZSSModule();
  if (!state.Initialised) throw std::logic_error("LZSS codec used before LZSSInit");
  if (!state.Read || !state.Write) throw std::logic_error("LZSS codec has no read/write functions");
  return state;
}

void LZSSSetIOFunctions(TLZSSReadFunc read, TLZSSWriteFunc write) {
  TLZSSState& state = LZSSModule();
  state.Read = std::move(read);
  state.Write = std::move(write);
}

bool LZSSInit() {
  TLZSSState& state = LZSSModule();
  if (state.Initialised) return true;
  state.Input.reset(new (std::nothrow) std::uint8_t[kLZSSBufferSize]);
  state.Output.reset(new (std::nothrow)
                         std::uint8_t[kLZSSHistorySize + kLZSSBufferSize + kLZSSOutputSlack]);
  state.Tree.reset(new (std::nothrow) TLZSSTreeBlock);
  state.Initialised = state.Input && state.Output && state.Tree;
  if (!state.Initialised) LZSSDone();
  return state.Initialised;
}

void LZSSDone() {
  TLZSSState& state = LZSSModule();
  state.Input.reset();
  state.Output.reset();
  state.Tree.reset();
  state.Initialised = false;
}

bool LZSSInitialised() {
  return LZSSModule().Initialised;
}

bool TLZSSByteSource::Refill() {
  if (ended_) return false;
  const std::uint32_t count = read_(buffer_);
  if (count > kLZSSBufferSize) throw std::logic_error("LZSS read function overfilled its buffer");
  ended_ = count == 0;
  count_ = count;
  position_ = 0;
  return !ended_;
}

void TLZSSByteSink::Flush() {
  if (write_(buffer_, position_) != position_) {
    throw EInOutError("LZSS output was not written completely", kInOutWriteFailed);
  }
  position_ = 0;
}

void TLZSSByteSink::FlushFull() {
  Flush();
  // Matches reach back into what was just written.
  std::memcpy(buffer_ - kLZSSHistorySize, buffer_ + kLZSSBufferSize - kLZSSHistorySize,
              kLZSSHistorySize);
}

}  // namespace zorellz
