// Internal to the adaptive Huffman LZ codec: the compressor split in two.
// The parse turns the input into tokens (literals and matches) and depends on
// the input alone, never on the adaptive model; the symbol coder codes the
// tokens in order.  So the parse may run ahead of the coding on another
// thread and the stream stays the same, bit for bit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "archive/codec/LZHBitIO.h"
#include "archive/codec/LZHMatchFinder.h"
#include "archive/codec/LZHModel.h"
#include "archive/codec/LZHStream.h"

namespace zorellz {

// One symbol to code: bits 0-9 the symbol, bits 10-13 the count of raw
// distance bits that follow it, from bit 16 those bits.
using TLZHToken = std::uint32_t;

inline TLZHToken LZHMatchToken(const TLZHMatch& match) {
  int k = 0;
  while (kLZHClasses[k].Upper < match.Value) ++k;
  const int symbol = kLZHFirstMatchSymbol + k * kLZHMatchLengths + match.Length - kLZHMinMatch;
  return static_cast<TLZHToken>(symbol | (kLZHClasses[k].Bits << 10) |
                                ((match.Value - kLZHClasses[k].Base) << 16));
}

// The input bytes a token stands for.
inline int LZHTokenLength(TLZHToken token) {
  const int symbol = static_cast<int>(token & 0x3FF);
  if (symbol < kLZHEndSymbol) return 1;
  return (symbol - kLZHFirstMatchSymbol) % kLZHMatchLengths + kLZHMinMatch;
}

// Codes tokens into the bit stream, updating the model as it goes.
class TLZHSymbolCoder {
 public:
  TLZHSymbolCoder(TLZHModel& model, TLZHBitWriter& bits) : model_(model), bits_(bits) {}
  void Put(TLZHToken token) {
    model_.Update(static_cast<int>(token & 0x3FF), code_);
    bits_.PutCode(code_);
    const int raw = static_cast<int>((token >> 10) & 0xF);
    if (raw != 0) bits_.PutRaw(token >> 16, raw);
  }

 private:
  TLZHModel& model_;
  TLZHBitWriter& bits_;
  TLZHCode code_;
};

// The uncompressed input, one chunk at a time.  A chunk is read as soon as
// the previous one is used up; a chunk short of full is the last one.
class TLZHPlainSource {
 public:
  TLZHPlainSource(const TLZHReadFunc& read, const TLZHProgressHook& report, std::uint8_t* chunk)
      : read_(read), report_(report), chunk_(chunk) {
    Refill();
  }
  bool Remains() const { return position_ < count_; }
  std::uint8_t Take() {
    const std::uint8_t byte = chunk_[position_++];
    if (position_ == kLZHPlainChunk) Refill();
    return byte;
  }

 private:
  void Refill() {
    count_ = LZHFillChunk(read_, chunk_, kLZHPlainChunk);
    position_ = 0;
    LZHReport(report_, count_, false);
  }

  const TLZHReadFunc& read_;
  const TLZHProgressHook& report_;
  std::uint8_t* chunk_;
  std::size_t position_ = 0;
  std::size_t count_ = 0;
};

// Parses the bytes of a `Source` (Remains, Take) into the tokens of one
// stream, the end code last, handed to a `Sink` (Put).
template <typename Source, typename Sink>
class TLZHParser {
 public:
  TLZHParser(TLZHMatchFinder& finder, Source& source, Sink& sink)
      : finder_(finder), source_(source), sink_(sink) {}

  void Run() {
    finder_.Reset(0);
    if (StartLiterals(true)) {
      limits_ = FillLookahead() ? kBinaryLimits : kTextLimits;
      ParseWindow();
    }
    sink_.Put(kLZHEndSymbol);
  }

  // Whether the stream whose first `count` bytes are `first` is parsed with
  // the limits for binary data: its bytes after the first literals decide.
  static bool IsBinary(const std::uint8_t* first, std::size_t count) {
    const std::size_t end = std::min<std::size_t>(count, kLiteralStart + kLookahead);
    for (std::size_t k = kLiteralStart; k < end; ++k) {
      if (first[k] > kLargestTextByte) return true;
    }
    return false;
  }

  // Where the parse of a part of the stream from `start` begins to read:
  // the oldest position still in the chains when the whole parse is at
  // `start`.  A position enters them three steps after its own and leaves
  // them when its byte is about to be replaced, a window's length on.
  static std::int64_t Origin(std::int64_t start) {
    return std::max<std::int64_t>(start + kLookahead + 1 - W, 0);
  }

  // Puts the tokens Run puts from `start` (0 or more than 2) on, up to the
  // first one that starts at or after `stop`, provided a token starts at
  // `start`; no end code.  Nothing else carries over a token boundary.
  // `source` delivers the stream from Origin(start), at least up to
  // 2 * kLZHMaxMatch bytes past `stop` unless it ends sooner; `binary` is
  // IsBinary of the stream.
  void RunPart(std::int64_t start, std::int64_t stop, bool binary) {
    const std::int64_t origin = Origin(start);
    // The window is the same as in the whole parse, byte for byte; the
    // chains only lack positions that leave them before `start`, as the
    // first replaced byte is the origin's.
    origin_ = origin;
    finder_.Reset(origin);
    if (!StartLiterals(start == 0)) return;
    FillLookahead();
    limits_ = binary ? kBinaryLimits : kTextLimits;
    // The positions before `start` only enter the chains, as if a match
    // covered them.
    covered_ = static_cast<int>(std::max<std::int64_t>(start - origin - kLiteralStart, 0));
    cur_position_ = origin + kLiteralStart;
    stop_ = stop;
    ParseWindow();
  }

 private:
  static constexpr int W = kLZHWindowSize;
  static constexpr int kLiteralStart = 3;  // the first bytes go out as literals
  static constexpr int kLookahead = 64;
  static constexpr std::uint8_t kLargestTextByte = 0x7F;

  struct TSearchLimits {
    int Next;   // candidates at the position after the current one
    int Here;   // candidates at the current position
    int Short;  // largest value of a 3-byte match
  };
  static constexpr TSearchLimits kTextLimits = {50, 1000, 1359};
  static constexpr TSearchLimits kBinaryLimits = {20, 200, 5455};

  // False when the input ends within the first three bytes; they go out as
  // literals when `put`.
  bool StartLiterals(bool put) {
    for (int position = 0; position < kLiteralStart; ++position) {
      if (!source_.Remains()) return false;
      const std::uint8_t byte = source_.Take();
      if (put) sink_.Put(byte);
      finder_.Store(byte);
    }
    return true;
  }

  // Returns whether the look-ahead's bytes, which decide once and for all,
  // make this binary data.
  bool FillLookahead() {
    bool binary = false;
    for (int n = 0; n < kLookahead && source_.Remains(); ++n) {
      const std::uint8_t byte = source_.Take();
      binary |= byte > kLargestTextByte;
      finder_.Store(byte);
    }
    return binary;
  }

  // One step per window position: the position three bytes back enters the
  // chains (its three bytes being known by now), the current position is
  // parsed unless a match covers it, and the next input byte takes the
  // oldest position's place.
  void ParseWindow() {
    while (cur_position_ != finder_.Filled()) {
      if (wrapped_) finder_.RetireOldest();
      finder_.Insert();
      if (covered_ > 0) {
        --covered_;
      } else if (cur_position_ >= stop_) {
        return;
      } else {
        covered_ = ParseAt(cur_position_) - 1;
      }
      ++cur_position_;
      if (source_.Remains()) {
        finder_.Store(source_.Take());
        if (finder_.Filled() - origin_ == W) wrapped_ = true;
      } else {
        // The last byte's step still drops the oldest string; no step after.
        wrapped_ = false;
      }
    }
  }

  // Puts the literal or the match at `position`; returns how many bytes
  // that took.  A match found here goes out unless the next position has a
  // longer one.
  int ParseAt(std::int64_t position) {
    const TLZHMatch match = finder_.Find(position, limits_.Here, limits_.Short);
    if (match.Length == 0 || finder_.FindsLonger(position + 1, limits_.Next, match.Length)) {
      sink_.Put(finder_.At(position));
      return 1;
    }
    sink_.Put(LZHMatchToken(match));
    return match.Length;
  }

  TLZHMatchFinder& finder_;
  Source& source_;
  Sink& sink_;
  TSearchLimits limits_ = kTextLimits;
  // Positions count from the stream's start.
  std::int64_t origin_ = 0;                    // the position of the first byte read
  std::int64_t cur_position_ = kLiteralStart;  // the position to parse next
  std::int64_t stop_ = INT64_MAX;              // no token starts here or after
  bool wrapped_ = false;                       // the next byte read replaces one a window before it
  int covered_ = 0;                            // positions still covered by the last match
};

}  // namespace zorellz
