// LZSS encoding on two threads.  The search trees are split by first byte
// between the calling thread and a helper (see LZSSTreeShare.h): both take
// every block of input, each inserting the strings of its own trees, and the
// calling thread codes a block once both are through it.  The calling thread
// alone reads, codes and writes, so the read and write functions run on it
// only, and are called as the one-thread encoder calls them.
#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <optional>
#include <system_error>

#include "archive/codec/HelperThread.h"
#include "archive/codec/LZSSGroup.h"
#include "archive/codec/LZSSState.h"
#include "archive/codec/LZSSTreeShare.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {
namespace {

constexpr std::uint32_t kBlockBytes = 64 * 1024;
constexpr int kSlots = 3;  // blocks read but not yet coded, at most
constexpr int kLookBack = kLZSSMaxMatch - 1;
constexpr std::uint8_t kCalling = 0;
constexpr std::uint8_t kHelper = 1;
// The helper's part of the strings, in percent: more than half, since the
// calling thread also codes.
constexpr std::uint64_t kHelperPercent = 60;

// One block of input and the matches of its steps.  A step is taken as each
// byte comes in, 17 bytes behind it; the first block also takes the step of
// the first byte and the last one the steps after the end of the input.
struct TSlot {
  std::uint8_t Bytes[kLookBack + kBlockBytes];  // the 17 bytes before the block, then the block
  std::uint32_t Count = 0;                      // only the last block is not full
  bool Last = false;
  TLZSSFound Found[2][kBlockBytes + kLZSSMaxMatch];  // by share
};

// What the two threads share.  Slots are used in turn; the count of blocks
// read and of those the helper is through tell whose each one is.
struct TPipe {
  std::mutex Mutex;
  std::condition_variable Changed;
  TSlot Slot[kSlots];
  std::uint8_t Owner[256];  // set with the first block
  std::uint64_t BlocksRead = 0;
  std::uint64_t HelperDone = 0;
  bool Stopped = false;  // the calling thread gives up
};

struct TWorkingMemory {
  TPipe Pipe;
  TLZSSTreeBlock HelperTree;
};

// Gives each byte value to a share, the most frequent in the first blocks
// first, each to the share that is further below its part of the strings so
// far.  A tree cannot change hands later.
void ShareOut(TPipe& pipe, std::uint64_t blocks) {
  std::array<std::uint64_t, 256> counts = {};
  for (std::uint64_t b = 0; b < blocks; ++b) {
    const TSlot& slot = pipe.Slot[b];
    for (std::uint32_t k = 0; k < slot.Count; ++k) ++counts[slot.Bytes[kLookBack + k]];
  }
  std::array<int, 256> order;
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return counts[a] > counts[b]; });
  const std::uint64_t part[2] = {100 - kHelperPercent, kHelperPercent};
  std::uint64_t load[2] = {0, 0};
  for (int value : order) {
    const std::uint8_t to = counts[value] == 0 ? value & 1
                            : load[kCalling] * part[kHelper] < load[kHelper] * part[kCalling]
                                ? kCalling
                                : kHelper;
    pipe.Owner[value] = to;
    load[to] += counts[value];
  }
}

// One share's steps of the block in `slot`, the `first` of the stream or not.
void TakeBlock(TLZSSTreeShare& share, TSlot& slot, bool first, std::uint8_t me) {
  share.Output(slot.Found[me]);
  const std::uint8_t* bytes = slot.Bytes + kLookBack;
  std::uint32_t count = slot.Count;
  if (first && count > 0) {
    const std::uint32_t start = std::min<std::uint32_t>(count, kLZSSMaxMatch);
    share.Start(bytes, static_cast<int>(start));
    bytes += start;
    count -= start;
  }
  share.Feed(bytes, count);
  if (slot.Last) share.Finish();
}

void TakeBlocksOnHelper(TPipe& pipe, TLZSSTreeBlock& block) {
  std::optional<TLZSSTreeShare> share;
  for (std::uint64_t b = 0;; ++b) {
    TSlot* slot;
    {
      std::unique_lock<std::mutex> lock(pipe.Mutex);
      pipe.Changed.wait(lock, [&] { return pipe.Stopped || pipe.BlocksRead > b; });
      if (pipe.Stopped) return;
      slot = &pipe.Slot[b % kSlots];
    }
    if (!share) share.emplace(block, pipe.Owner, kHelper);
    TakeBlock(*share, *slot, b == 0, kHelper);
    // The slot may be refilled as soon as the count below is raised.
    const bool last = slot->Last;
    {
      const std::lock_guard<std::mutex> lock(pipe.Mutex);
      ++pipe.HelperDone;
      pipe.Changed.notify_one();
    }
    if (last) return;
  }
}

// Waits until the helper is through `blocks` blocks.
void AwaitHelper(TPipe& pipe, std::uint64_t blocks) {
  std::unique_lock<std::mutex> lock(pipe.Mutex);
  pipe.Changed.wait(lock, [&] { return pipe.HelperDone >= blocks; });
}

// Reads block after block into the slots, for the helper to take.
class TBlockReader {
 public:
  TBlockReader(TPipe& pipe, TLZSSState& state) : pipe_(pipe), source_(state) {}

  bool Ended() const { return ended_; }
  std::uint64_t Blocks() const { return blocks_; }

  // Reads the next block, for the helper to take once published.
  void ReadBlock() {
    TSlot& slot = pipe_.Slot[blocks_ % kSlots];
    if (blocks_ > 0) {
      const TSlot& before = pipe_.Slot[(blocks_ - 1) % kSlots];
      std::memcpy(slot.Bytes, before.Bytes + kBlockBytes, kLookBack);
    }
    slot.Count = source_.Take(slot.Bytes + kLookBack, kBlockBytes);
    slot.Last = ended_ = slot.Count < kBlockBytes;
    ++blocks_;
  }
  void Publish() {
    const std::lock_guard<std::mutex> lock(pipe_.Mutex);
    pipe_.BlocksRead = blocks_;
    pipe_.Changed.notify_one();
  }

 private:
  TPipe& pipe_;
  TLZSSByteSource source_;
  std::uint64_t blocks_ = 0;
  bool ended_ = false;
};

// Codes the steps of each block in turn from the matches the shares found.
class TBlockCoder {
 public:
  TBlockCoder(const std::uint8_t (&owner)[256], TLZSSByteSink& sink) : owner_(owner), sink_(sink) {}

  // The block's steps, `steps` of them, the first block's starting with the
  // first input byte and the others' 17 bytes before the block.
  void Code(const TSlot& slot, bool first, std::size_t steps) {
    const std::uint8_t* bytes = first ? slot.Bytes + kLookBack : slot.Bytes;
    std::size_t k = skip_;
    while (k < steps) {
      const std::uint8_t byte = bytes[k];
      const TLZSSFound found = slot.Found[owner_[byte]][k];
      // Only near the end of the input is a match longer than what is left.
      std::size_t length =
          slot.Last ? std::min<std::size_t>(found.Length, steps - k) : found.Length;
      if (length < kLZSSMinCoded) {
        length = 1;
        group_.AddLiteral(byte);
      } else {
        group_.AddMatch(found.Position, static_cast<int>(length));
      }
      if (group_.CloseItem()) group_.WriteTo(sink_);
      k += length;
    }
    skip_ = k - steps;
    coded_any_ = coded_any_ || steps > 0;
  }

  // Writes the last group, and what is pending.
  void Finish() {
    if (coded_any_) group_.WriteTo(sink_);
    sink_.Flush();
  }

 private:
  const std::uint8_t (&owner_)[256];
  TLZSSByteSink& sink_;
  TLZSSGroup group_;
  std::size_t skip_ = 0;  // steps of the next block that the last match covers
  bool coded_any_ = false;
};

void EncodeOnTwoThreads(TLZSSState& state, TPipe& pipe) {
  TBlockReader reader(pipe, state);
  TLZSSByteSink sink(state);
  while (!reader.Ended() && reader.Blocks() < kSlots) reader.ReadBlock();
  ShareOut(pipe, reader.Blocks());
  reader.Publish();
  TLZSSTreeShare share(*state.Tree, pipe.Owner, kCalling);
  TBlockCoder coder(pipe.Owner, sink);
  for (std::uint64_t b = 0;; ++b) {
    while (!reader.Ended() && reader.Blocks() < b + kSlots) {
      reader.ReadBlock();
      reader.Publish();
    }
    TSlot& slot = pipe.Slot[b % kSlots];
    TakeBlock(share, slot, b == 0, kCalling);
    AwaitHelper(pipe, b + 1);
    coder.Code(slot, b == 0, share.Steps());
    if (slot.Last) break;
  }
  coder.Finish();
}

}  // namespace

void LZSSEncodePipelinedStream(TLZSSState& state) {
  std::unique_ptr<TWorkingMemory> memory(new (std::nothrow) TWorkingMemory);
  // Short of memory or of a thread, one thread does it all.
  if (memory == nullptr) return LZSSEncodeStream(state);
  std::optional<TCodecHelperThread<TPipe>> helper;
  try {
    helper.emplace(TakeBlocksOnHelper, memory->Pipe, memory->HelperTree);
  } catch (const std::system_error&) {
    memory.reset();
    return LZSSEncodeStream(state);
  }
  EncodeOnTwoThreads(state, memory->Pipe);
}

}  // namespace zorellz
