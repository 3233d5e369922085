// The coder's lifecycle and its buffered access to the engine's functions.
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "archive/codec/LZSSState.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlLZSS.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

// Raises std::logic_error when the coder cannot run a stream.
TLZSSState& ReadyState(TLZSSState& state) {
  if (!state.Initialised) throw std::logic_error("LZSS codec used before Init");
  if (!state.Read || !state.Write) throw std::logic_error("LZSS codec has no read/write functions");
  return state;
}

}  // namespace

TLZSSCodec::TLZSSCodec() : state_(std::make_unique<TLZSSState>()) {}
TLZSSCodec::~TLZSSCodec() = default;

void TLZSSCodec::SetIOFunctions(TLZSSReadFunc read, TLZSSWriteFunc write) {
  state_->Read = std::move(read);
  state_->Write = std::move(write);
}

bool TLZSSCodec::Init() {
  TLZSSState& state = *state_;
  if (state.Initialised) return true;
  state.Input.reset(new (std::nothrow) std::uint8_t[kLZSSBufferSize]);
  state.Output.reset(new (std::nothrow)
                         std::uint8_t[kLZSSHistorySize + kLZSSBufferSize + kLZSSOutputSlack]);
  state.Tree.reset(new (std::nothrow) TLZSSTreeBlock);
  state.Initialised = state.Input && state.Output && state.Tree;
  if (!state.Initialised) Done();
  return state.Initialised;
}

void TLZSSCodec::Done() {
  state_->Input.reset();
  state_->Output.reset();
  state_->Tree.reset();
  state_->Initialised = false;
}

bool TLZSSCodec::Initialised() const {
  return state_->Initialised;
}

void TLZSSCodec::Encode() {
  LZSSEncodeStream(ReadyState(*state_));
}

void TLZSSCodec::EncodePipelined() {
  LZSSEncodePipelinedStream(ReadyState(*state_));
}

void TLZSSCodec::Decode() {
  LZSSDecodeStream(ReadyState(*state_));
}

TLZSSCodec& LZSSDefaultCodec() {
  return LZDefaultCodecSet().LZSS();
}

void LZSSSetIOFunctions(TLZSSReadFunc read, TLZSSWriteFunc write) {
  LZSSDefaultCodec().SetIOFunctions(std::move(read), std::move(write));
}
bool LZSSInit() {
  return LZSSDefaultCodec().Init();
}
void LZSSDone() {
  LZSSDefaultCodec().Done();
}
bool LZSSInitialised() {
  return LZSSDefaultCodec().Initialised();
}
void LZSSEncode() {
  LZSSDefaultCodec().Encode();
}
void LZSSEncodePipelined() {
  LZSSDefaultCodec().EncodePipelined();
}
void LZSSDecode() {
  LZSSDefaultCodec().Decode();
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

std::uint32_t TLZSSByteSource::Take(std::uint8_t* out, std::uint32_t count) {
  std::uint32_t taken = 0;
  while (taken < count && (position_ < count_ || Refill())) {
    const std::uint32_t piece = std::min(count - taken, count_ - position_);
    std::memcpy(out + taken, buffer_ + position_, piece);
    position_ += piece;
    taken += piece;
  }
  return taken;
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
