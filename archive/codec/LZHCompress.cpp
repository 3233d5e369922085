#include <memory>
#include <new>

#include "archive/codec/LZHBitIO.h"
#include "archive/codec/LZHMatchFinder.h"
#include "archive/codec/LZHModel.h"
#include "archive/codec/LZHStream.h"
#include "zorellz/codec/ZrlLZH.h"

namespace zorellz {
namespace {

constexpr int W = kLZHWindowSize;
constexpr int kLiteralStart = 3;  // the first bytes go out as literals
constexpr int kLookahead = 64;
constexpr std::uint8_t kLargestTextByte = 0x7F;

struct TSearchLimits {
  int Next;   // candidates at the position after the current one
  int Here;   // candidates at the current position
  int Short;  // largest value of a 3-byte match
};
constexpr TSearchLimits kTextLimits = {50, 1000, 1359};
constexpr TSearchLimits kBinaryLimits = {20, 200, 5455};

// The uncompressed input, one chunk at a time.  A chunk is read as soon as
// the previous one is used up; a chunk short of full is the last one.
class TPlainSource {
 public:
  TPlainSource(const TLZHReadFunc& read, const TLZHProgressHook& report, std::uint8_t* chunk)
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

struct TWorkingMemory {
  std::uint8_t Input[kLZHPlainChunk];
  std::uint8_t Output[kLZHPackedChunk];
  TLZHMatchFinder Finder;
  TLZHModel Model;
};

class TEncoder {
 public:
  TEncoder(TWorkingMemory& memory, const TLZHReadFunc& read, const TLZHWriteFunc& write,
           const TLZHProgressHooks& hooks)
      : memory_(memory),
        source_(read, hooks.Read, memory.Input),
        bits_(write, hooks.Write, memory.Output) {}

  std::int64_t Run() {
    if (StartLiterals()) {
      FillLookahead();
      EncodeWindow();
    }
    EncodeSymbol(kLZHEndSymbol);
    bits_.Flush();
    return bits_.Bytes();
  }

 private:
  // False when the input ends within the first three bytes.
  bool StartLiterals() {
    for (int position = 0; position < kLiteralStart; ++position) {
      if (!source_.Remains()) return false;
      const std::uint8_t byte = source_.Take();
      EncodeSymbol(byte);
      memory_.Finder.Store(position, byte);
    }
    return true;
  }

  // The look-ahead's bytes decide once and for all whether this is text.
  void FillLookahead() {
    bool binary = false;
    fill_ = kLiteralStart;
    for (int n = 0; n < kLookahead && source_.Remains(); ++n) {
      const std::uint8_t byte = source_.Take();
      binary |= byte > kLargestTextByte;
      memory_.Finder.Store(fill_++, byte);
    }
    limits_ = binary ? kBinaryLimits : kTextLimits;
  }

  // One step per window position: the position three bytes back enters the
  // chains (its three bytes being known by now), the current position is
  // coded unless a match covers it, and the next input byte takes the
  // oldest position's place.
  void EncodeWindow() {
    TLZHMatchFinder& finder = memory_.Finder;
    while (cur_ != fill_) {
      if (wrapped_) finder.RemoveOldest(fill_);
      finder.Insert(ins_);
      if (covered_ > 0) {
        --covered_;
      } else {
        covered_ = EncodeAt(cur_) - 1;
      }
      cur_ = Next(cur_);
      ins_ = Next(ins_);
      if (source_.Remains()) {
        finder.Store(fill_, source_.Take());
        fill_ = Next(fill_);
        if (fill_ == 0) wrapped_ = true;
      } else {
        // The last byte's step still drops the oldest string; no step after.
        wrapped_ = false;
      }
    }
  }

  static int Next(int position) { return position + 1 == W ? 0 : position + 1; }

  // Codes the literal or the match at `position`; returns how many bytes
  // that took.  A match found here goes out unless the next position has a
  // longer one.
  int EncodeAt(int position) {
    const TLZHMatchFinder& finder = memory_.Finder;
    const TLZHMatch match = finder.Find(position, fill_, limits_.Here, limits_.Short);
    if (match.Length == 0 || finder.FindsLonger(position + 1, fill_, limits_.Next, match.Length)) {
      EncodeSymbol(finder.At(position));
      return 1;
    }
    EncodeMatch(match);
    return match.Length;
  }

  void EncodeMatch(const TLZHMatch& match) {
    int k = 0;
    while (kLZHClasses[k].Upper < match.Value) ++k;
    EncodeSymbol(kLZHFirstMatchSymbol + k * kLZHMatchLengths + match.Length - kLZHMinMatch);
    bits_.PutRaw(static_cast<std::uint32_t>(match.Value - kLZHClasses[k].Base),
                 kLZHClasses[k].Bits);
  }

  void EncodeSymbol(int symbol) {
    memory_.Model.Update(symbol, code_);
    bits_.PutCode(code_);
  }

  TWorkingMemory& memory_;
  TPlainSource source_;
  TLZHBitWriter bits_;
  TLZHCode code_;
  TSearchLimits limits_ = kTextLimits;
  int cur_ = kLiteralStart;  // the position to code next
  int ins_ = 0;              // the position to enter the chains next
  int fill_ = 0;             // where the next input byte goes
  bool wrapped_ = false;     // the next input byte replaces an older one
  int covered_ = 0;          // positions still covered by the last match
};

}  // namespace

std::int64_t LZHCompress(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                         const TLZHProgressHooks& hooks) {
  std::unique_ptr<TWorkingMemory> memory;
  try {
    memory = std::make_unique<TWorkingMemory>();
  } catch (const std::bad_alloc&) {
    return kLZHOutOfMemory;
  }
  return TEncoder(*memory, read, write, hooks).Run();
}

}  // namespace zorellz
