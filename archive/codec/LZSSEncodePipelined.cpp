// LZSS encoding on two threads.  The search trees are split by first byte
// between the calling thread and a helper (see LZSSTreeShare.h): both take
// every block of input, each inserting the strings of its own trees, and the
// calling thread codes a block once both are through it.  Between blocks,
// with both threads at rest, trees move from the thread that took longer to
// the other, so that the two keep finishing together as the input changes.
// The calling thread alone reads, codes and writes, so the read and write
// functions run on it only, and are called as the one-thread encoder calls
// them.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
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
// The helper's part of the strings at first, in percent: more than half,
// since the calling thread also codes.
constexpr std::uint64_t kHelperPercent = 60;
// Trees move only when the threads' times differ by more than this part of
// the work, in percent: smaller moves would not pay for the scan they cost.
constexpr double kLeastMovePercent = 2;

using TClock = std::chrono::steady_clock;

// One block of input and the matches of its steps.  A step is taken as each
// byte comes in, 17 bytes behind it; the first block also takes the step of
// the first byte and the last one the steps after the end of the input.
struct TSlot {
  std::uint8_t Bytes[kLookBack + kBlockBytes];  // the 17 bytes before the block, then the block
  std::uint32_t Count = 0;                      // only the last block is not full
  bool Last = false;
  std::uint8_t Owner[256];      // the share of each tree while the block is taken
  TClock::duration HelperTime;  // what the block took the helper
  TLZSSFound Found[2][kBlockBytes + kLZSSMaxMatch];  // by share
};

// What the two threads share.  Slots are used in turn; the count of blocks
// the helper may take and of those it is through tell whose each one is.
// The owners and the helper's trees change only while the helper waits for
// the next block.
struct TPipe {
  std::mutex Mutex;
  std::condition_variable Changed;
  TSlot Slot[kSlots];
  std::uint8_t Owner[256];  // set with the first block
  std::uint64_t Released = 0;
  std::uint64_t HelperDone = 0;
  TLZSSTreeShare* HelperShare = nullptr;  // once it is through a block
  bool Stopped = false;                   // the calling thread gives up
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
      pipe.Changed.wait(lock, [&] { return pipe.Stopped || pipe.Released > b; });
      if (pipe.Stopped) return;
      slot = &pipe.Slot[b % kSlots];
    }
    if (!share) share.emplace(block, pipe.Owner, kHelper);
    const TClock::time_point start = TClock::now();
    TakeBlock(*share, *slot, b == 0, kHelper);
    slot->HelperTime = TClock::now() - start;
    // The slot may be refilled as soon as the count below is raised.
    const bool last = slot->Last;
    {
      const std::lock_guard<std::mutex> lock(pipe.Mutex);
      ++pipe.HelperDone;
      pipe.HelperShare = &*share;
      pipe.Changed.notify_one();
    }
    if (last) return;
  }
}

// Lets the helper take the blocks before `blocks`, whose slots are read,
// with the owners as they are now.  What was let go stays let go: the
// helper may already be at work on it.
void Release(TPipe& pipe, std::uint64_t blocks) {
  if (blocks <= pipe.Released) return;
  for (std::uint64_t block = pipe.Released; block < blocks; ++block) {
    std::uint8_t* owner = pipe.Slot[block % kSlots].Owner;
    std::copy(std::begin(pipe.Owner), std::end(pipe.Owner), owner);
  }
  const std::lock_guard<std::mutex> lock(pipe.Mutex);
  pipe.Released = blocks;
  pipe.Changed.notify_one();
}

// Waits until the helper is through `blocks` blocks.
void AwaitHelper(TPipe& pipe, std::uint64_t blocks) {
  std::unique_lock<std::mutex> lock(pipe.Mutex);
  pipe.Changed.wait(lock, [&] { return pipe.HelperDone >= blocks; });
}

// Whether the threads' times differ enough for trees to move.
bool Uneven(TClock::duration calling_time, TClock::duration helper_time) {
  return static_cast<double>(std::chrono::abs(calling_time - helper_time).count()) * 100 >=
         kLeastMovePercent * static_cast<double>((calling_time + helper_time).count());
}

// Moves trees between the shares, while both are between blocks, from the
// one that took longer over the last block to the other: trees whose work
// in that block comes to about half the difference.  A tree's work is the
// levels its insertions descended; the next block is expected to be like
// the last.  The time per level is taken from all of the threads' time,
// which holds work that is the same whoever owns what, so the moves fall
// short of the difference rather than overshoot it.
void Balance(TLZSSTreeShare& calling, TLZSSTreeShare& helper, std::uint8_t (&owner)[256],
             TClock::duration calling_time, TClock::duration helper_time) {
  std::uint32_t levels[256] = {};
  calling.Tree().CollectLevels(levels);
  helper.Tree().CollectLevels(levels);
  double all_levels = 0;
  for (const std::uint32_t count : levels) all_levels += count;
  if (all_levels == 0 || !Uneven(calling_time, helper_time)) return;
  const double calling_ns = static_cast<double>(calling_time.count());
  const double helper_ns = static_cast<double>(helper_time.count());
  const double difference = calling_ns - helper_ns;
  const std::uint8_t giver = difference > 0 ? kCalling : kHelper;
  double to_move = std::abs(difference) / 2 * all_levels / (calling_ns + helper_ns);
  std::array<int, 256> order;
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return levels[a] > levels[b]; });
  bool moving[256] = {};
  bool any = false;
  for (const int first : order) {
    if (levels[first] == 0) break;
    if (owner[first] != giver || levels[first] > to_move) continue;
    moving[first] = true;
    any = true;
    owner[first] = giver ^ 1;
    to_move -= levels[first];
  }
  if (!any) return;
  if (giver == kCalling) {
    calling.Tree().MoveTrees(moving, helper.Tree());
  } else {
    helper.Tree().MoveTrees(moving, calling.Tree());
  }
}

// Decides, with both threads through a block, whether trees move and how far
// the helper may go on.  While the threads keep pace the helper may run
// ahead as far as the slots allow; once one has fallen behind, the helper is
// held at the end of the blocks it has been let take, and the trees move
// there.
class TPacer {
 public:
  void Count(TClock::duration calling_time, TClock::duration helper_time) {
    calling_time_ += calling_time;
    helper_time_ += helper_time;
    ++blocks_;
  }

  // Both threads are through block `b`, not the last.
  void GoOn(TPipe& pipe, TLZSSTreeShare& share, std::uint64_t b) {
    if (pipe.Released == b + 1) {  // the helper waits
      Balance(share, *pipe.HelperShare, pipe.Owner, calling_time_, helper_time_);
      calling_time_ = helper_time_ = {};
      blocks_ = 0;
    }
    Release(pipe, FallenApart() ? b + 2 : b + kSlots);
  }

 private:
  // By half a block's time or more since the trees last moved, so that the
  // faster thread is about to wait.
  bool FallenApart() const {
    return std::chrono::abs(calling_time_ - helper_time_) * 4 * static_cast<std::int64_t>(blocks_) >
           calling_time_ + helper_time_;
  }

  TClock::duration calling_time_{};  // since the trees last moved
  TClock::duration helper_time_{};
  std::uint64_t blocks_ = 0;
};

// Reads block after block into the slots, for the helper to take.
class TBlockReader {
 public:
  TBlockReader(TPipe& pipe, TLZSSState& state) : pipe_(pipe), source_(state) {}

  bool Ended() const { return ended_; }
  std::uint64_t Blocks() const { return blocks_; }

  // Reads the next block, for the helper to take once released.
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

 private:
  TPipe& pipe_;
  TLZSSByteSource source_;
  std::uint64_t blocks_ = 0;
  bool ended_ = false;
};

// Codes the steps of each block in turn from the matches the shares found.
class TBlockCoder {
 public:
  explicit TBlockCoder(TLZSSByteSink& sink) : sink_(sink) {}

  // The block's steps, `steps` of them, the first block's starting with the
  // first input byte and the others' 17 bytes before the block.
  void Code(const TSlot& slot, bool first, std::size_t steps) {
    const std::uint8_t* bytes = first ? slot.Bytes + kLookBack : slot.Bytes;
    std::size_t k = skip_;
    while (k < steps) {
      const std::uint8_t byte = bytes[k];
      const TLZSSFound found = slot.Found[slot.Owner[byte]][k];
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
  TLZSSTreeShare share(*state.Tree, pipe.Owner, kCalling);
  TBlockCoder coder(sink);
  TPacer pacer;
  Release(pipe, 1);
  TClock::time_point start = TClock::now();
  for (std::uint64_t b = 0;; ++b) {
    while (!reader.Ended() && reader.Blocks() < b + kSlots) reader.ReadBlock();
    TSlot& slot = pipe.Slot[b % kSlots];
    TakeBlock(share, slot, b == 0, kCalling);
    // The coding of the block before counts with this one.
    const TClock::duration calling_time = TClock::now() - start;
    AwaitHelper(pipe, b + 1);
    start = TClock::now();
    pacer.Count(calling_time, slot.HelperTime);
    if (!slot.Last) pacer.GoOn(pipe, share, b);
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
