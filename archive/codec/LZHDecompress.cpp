#include <cstring>
#include <memory>

#include "archive/codec/LZHBitIO.h"
#include "archive/codec/LZHDecodeTable.h"
#include "archive/codec/LZHModel.h"
#include "archive/codec/LZHStream.h"
#include "zorellz/codec/ZrlLZH.h"

namespace zorellz {
namespace {

// The window is kept as the last kLZHWindowSize bytes written in front of
// the chunk being filled, so that matches copy straight from it.  A match
// may run past the chunk's end into the spare bytes behind it, and block
// copies may write a few bytes further.
constexpr std::size_t kHistory = kLZHWindowSize;
constexpr std::size_t kSpare = kLZHMaxMatch + 8;

struct TWorkingMemory {
  std::uint8_t Input[kLZHPackedChunk];
  std::uint8_t Output[kHistory + kLZHPlainChunk + kSpare];
  TLZHModel Model;
  TLZHDecodeTable Table;
  TLZHStep Way[TLZHModel::kMaxLevels];  // the current symbol's, from the root
};

// Copies `length` bytes from `distance` (3 to kLZHWindowSize) bytes back; a
// source that overlaps the copy repeats its bytes.  May write up to seven
// bytes past the end.
void CopyMatch(std::uint8_t* to, int distance, int length) {
  const std::uint8_t* from = to - distance;
  if (distance >= 8) {
    for (int k = 0; k < length; k += 8) std::memcpy(to + k, from + k, 8);
  } else {
    for (int k = 0; k < length; ++k) to[k] = from[k];
  }
}

class TDecoder {
 public:
  TDecoder(TWorkingMemory& memory, const TLZHReadFunc& read, const TLZHWriteFunc& write,
           const TLZHProgressHooks& hooks)
      : memory_(memory),
        write_(write),
        report_(hooks.Write),
        bits_(read, hooks.Read, memory.Input),
        chunk_(memory.Output + kHistory) {
    // Streams of the encoder never read a byte before writing it; any other
    // stream reads zeros there.
    std::memset(memory_.Output, 0, kHistory);
  }

  std::int64_t Run() {
    TLZHModel& model = memory_.Model;
    for (;;) {
      const TLZHStep* leaf = bits_.DecodeLeaf(model, memory_.Table, memory_.Way);
      if (leaf == nullptr) return kLZHTruncated;
      memory_.Table.Forget(memory_.Way, model.Update(memory_.Way, leaf));
      const int symbol = TLZHModel::SymbolOf(leaf->Node);
      if (symbol < kLZHEndSymbol) {
        chunk_[pending_++] = static_cast<std::uint8_t>(symbol);
        if (pending_ == kLZHPlainChunk) WriteChunk();
      } else if (symbol == kLZHEndSymbol) {
        break;
      } else if (!DecodeMatch(symbol - kLZHFirstMatchSymbol)) {
        return kLZHTruncated;
      }
    }
    write_(chunk_, pending_);
    Count(pending_);
    return written_;
  }

 private:
  bool DecodeMatch(int code) {
    const TLZHDistanceClass& k = kLZHClasses[code / kLZHMatchLengths];
    const int length = code % kLZHMatchLengths + kLZHMinMatch;
    std::uint32_t raw;
    if (!bits_.GetRaw(k.Bits, raw)) return false;
    CopyMatch(chunk_ + pending_, static_cast<int>(raw) + k.Base + length, length);
    pending_ += static_cast<std::size_t>(length);
    if (pending_ >= kLZHPlainChunk) WriteChunk();
    return true;
  }

  // Writes a full chunk and moves what follows it, with the window before
  // it, to the front.
  void WriteChunk() {
    write_(chunk_, kLZHPlainChunk);
    Count(kLZHPlainChunk);
    pending_ -= kLZHPlainChunk;
    std::memmove(memory_.Output, memory_.Output + kLZHPlainChunk, kHistory + pending_);
  }

  void Count(std::size_t written) {
    written_ += static_cast<std::int64_t>(written);
    LZHReport(report_, written, true);
  }

  TWorkingMemory& memory_;
  const TLZHWriteFunc& write_;
  const TLZHProgressHook& report_;
  TLZHBitReader bits_;
  std::uint8_t* chunk_;
  std::size_t pending_ = 0;
  std::int64_t written_ = 0;
};

}  // namespace

std::int64_t LZHDecompress(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                           const TLZHProgressHooks& hooks) {
  const std::unique_ptr<TWorkingMemory> memory = LZHAllocate<TWorkingMemory>();
  if (memory == nullptr) return kLZHOutOfMemory;
  return TDecoder(*memory, read, write, hooks).Run();
}

}  // namespace zorellz
