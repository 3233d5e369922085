// LZH compression on several threads.  Helpers parse parts of the input; the
// calling thread reads the input, joins the parts into the one parse and
// codes its tokens.  The read and write functions and the hooks run on the
// calling thread only, as in the one-thread compressor, and the stream is
// the same, bit for bit.
//
// Why parts join: the parse carries nothing over a token boundary but the
// window and the chains, and those depend on the position alone.  So a part
// parsed from its start as if a token started there agrees with the whole
// parse from the first position where both start a token.  Each part is
// parsed a little past the next one's start (kOverrun) for the two to meet
// there.  Where they do not (long repeats can keep two parses out of step),
// the calling thread parses on from where the earlier part ended until it
// meets a later part.
#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "archive/codec/HelperThread.h"
#include "archive/codec/LZHBitIO.h"
#include "archive/codec/LZHMatchFinder.h"
#include "archive/codec/LZHModel.h"
#include "archive/codec/LZHParse.h"
#include "archive/codec/LZHStream.h"
#include "zorellz/codec/ZrlLZH.h"

namespace zorellz {
namespace {

constexpr int kChunksPerBlock = 8;
// Parts and input blocks are the same size: part k starts at block k.
constexpr std::int64_t kPart = kChunksPerBlock * kLZHPlainChunk;
constexpr std::int64_t kOverrun = 4096;
// A parse reads this far past the position where it stops.
constexpr std::int64_t kReadPast = 2 * kLZHMaxMatch;
static_assert(kPart >= kLZHWindowSize, "a part's origin lies in the block before it at most");
static_assert(kOverrun + kReadPast < kPart, "a part's parse ends in the block after it at most");
// Each helper holds a match finder and a part or two of input and tokens.
constexpr int kMostHelpers = 64;
// Parts parsed or being parsed beyond one per helper.  The calling thread
// shares a core with a helper where there are as many helpers as cores, and
// falls behind for a while whenever it loses the core; with too few parts in
// hand the helpers then run out of slots and a core stands idle.  Eight
// parts more took 3-5% off the time on two cores; sixteen did no better.
constexpr std::size_t kSpareParts = 8;

struct TBlock {
  std::uint8_t Bytes[kPart];
  std::size_t Count = 0;  // short of kPart only in the last block
};

// The bytes of consecutive blocks, from an offset into the first.
class TBlockSource {
 public:
  TBlockSource(const TBlock* const* blocks, std::size_t count, std::size_t offset)
      : blocks_(blocks), blocks_left_(count) {
    Enter();
    position_ = offset;
    if (position_ == count_) Advance();
  }
  bool Remains() const { return position_ < count_; }
  std::uint8_t Take() {
    const std::uint8_t byte = bytes_[position_++];
    if (position_ == count_) Advance();
    return byte;
  }

 private:
  void Enter() {
    bytes_ = (*blocks_)->Bytes;
    count_ = (*blocks_)->Count;
    position_ = 0;
  }
  void Advance() {
    if (blocks_left_ > 1) {
      ++blocks_;
      --blocks_left_;
      Enter();
    }
  }

  const TBlock* const* blocks_;
  std::size_t blocks_left_;
  const std::uint8_t* bytes_ = nullptr;
  std::size_t count_ = 0;
  std::size_t position_ = 0;
};

struct TTokenSink {
  std::vector<TLZHToken>& Tokens;
  void Put(TLZHToken token) { Tokens.push_back(token); }
};

using TParser = TLZHParser<TBlockSource, TTokenSink>;

// The tokens from a token boundary at `start` up to the first one at or
// after `stop`; `blocks` hold the stream from Origin(start) on.
void Parse(TLZHMatchFinder& finder, const std::vector<const TBlock*>& blocks, std::size_t offset,
           std::int64_t start, std::int64_t stop, bool binary, std::vector<TLZHToken>& tokens) {
  tokens.clear();
  TBlockSource source(blocks.data(), blocks.size(), offset);
  TTokenSink sink{tokens};
  TParser(finder, source, sink).RunPart(start, stop, binary);
}

struct TPart {
  std::int64_t Start = 0;
  std::int64_t Stop = 0;
  std::vector<const TBlock*> Blocks;  // from the one that holds Origin(Start)
  std::size_t Offset = 0;             // of Origin(Start) in Blocks[0]
  std::vector<TLZHToken> Tokens;
  bool Done = false;
};

// What the threads share.
struct TShared {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::deque<TPart*> Queue;  // parts for the helpers, in order
  bool Binary = false;       // set before the first part is queued
  bool Stopped = false;      // the calling thread is done or gives up
};

void ParseParts(TShared& shared, TLZHMatchFinder& finder) {
  std::unique_lock<std::mutex> lock(shared.Mutex);
  for (;;) {
    shared.Changed.wait(lock, [&] { return shared.Stopped || !shared.Queue.empty(); });
    if (shared.Stopped) return;
    TPart& part = *shared.Queue.front();
    shared.Queue.pop_front();
    const bool binary = shared.Binary;
    lock.unlock();
    // Room for every token was reserved: nothing here allocates.
    Parse(finder, part.Blocks, part.Offset, part.Start, part.Stop, binary, part.Tokens);
    lock.lock();
    part.Done = true;
    shared.Changed.notify_all();
  }
}

// The calling thread's work: reads the input a block at a time, hands out
// the parts, and codes the tokens of the one parse.
class TJoiner {
 public:
  TJoiner(const TLZHReadFunc& read, const TLZHProgressHook& report, TShared& shared,
          std::size_t slots)
      : read_(read), report_(report), shared_(shared), parts_(slots) {
    for (TPart& part : parts_) part.Tokens.reserve(kPart + kOverrun + 3);
  }

  // Codes every token but the end code.  The helpers must be stopped
  // before the joiner goes, since they use its blocks and parts.
  void Run(TLZHSymbolCoder& coder);

 private:
  // Input blocks.
  bool HaveBlock(std::int64_t block) const { return block < first_block_ + Held(); }
  std::int64_t Held() const { return static_cast<std::int64_t>(blocks_.size()); }
  const TBlock* Block(std::int64_t block) const { return blocks_[block - first_block_].get(); }
  void ReadBlock();
  void ReadUpTo(std::int64_t block);
  void DropBlocksBefore(std::int64_t block);
  // Fills `blocks` and `offset` for a parse from `start` to `stop`.
  void GatherBlocks(std::int64_t start, std::int64_t stop, std::vector<const TBlock*>& blocks,
                    std::size_t& offset);

  // Parts.
  bool PartExists(std::int64_t k);
  TPart& Part(std::int64_t k) { return parts_[static_cast<std::size_t>(k) % parts_.size()]; }
  std::int64_t PartStart(std::int64_t k) const { return k * kPart; }
  std::int64_t PartStop(std::int64_t k) const { return (k + 1) * kPart + kOverrun; }
  void HandOut();
  TPart& WaitFor(std::int64_t k);
  void Release(std::int64_t parts);

  const TLZHReadFunc& read_;
  const TLZHProgressHook& report_;
  TShared& shared_;
  std::vector<TPart> parts_;
  std::deque<std::unique_ptr<TBlock>> blocks_;  // from first_block_ on
  std::vector<std::unique_ptr<TBlock>> spare_blocks_;
  std::int64_t first_block_ = 0;
  bool input_ended_ = false;
  std::int64_t total_ = 0;     // bytes read so far; all of them once input_ended_
  std::int64_t handed_ = 0;    // parts handed out
  std::int64_t released_ = 0;  // parts whose slots are free again
  // The calling thread's own parse, where two parts do not meet.
  std::unique_ptr<TLZHMatchFinder> bridge_finder_;
  std::vector<const TBlock*> bridge_blocks_;
  std::vector<TLZHToken> bridge_tokens_;
};

void TJoiner::ReadBlock() {
  std::unique_ptr<TBlock> block;
  if (spare_blocks_.empty()) {
    block = std::make_unique_for_overwrite<TBlock>();
  } else {
    block = std::move(spare_blocks_.back());
    spare_blocks_.pop_back();
  }
  block->Count = 0;
  for (int chunk = 0; chunk < kChunksPerBlock && !input_ended_; ++chunk) {
    const std::size_t count = LZHFillChunk(read_, block->Bytes + block->Count, kLZHPlainChunk);
    LZHReport(report_, count, false);
    block->Count += count;
    input_ended_ = count < kLZHPlainChunk;
  }
  total_ += static_cast<std::int64_t>(block->Count);
  blocks_.push_back(std::move(block));
}

void TJoiner::ReadUpTo(std::int64_t block) {
  while (!input_ended_ && !HaveBlock(block)) ReadBlock();
}

void TJoiner::DropBlocksBefore(std::int64_t block) {
  while (first_block_ < block && !blocks_.empty()) {
    spare_blocks_.push_back(std::move(blocks_.front()));
    blocks_.pop_front();
    ++first_block_;
  }
}

void TJoiner::GatherBlocks(std::int64_t start, std::int64_t stop,
                           std::vector<const TBlock*>& blocks, std::size_t& offset) {
  const std::int64_t origin = TParser::Origin(start);
  const std::int64_t first = origin / kPart;
  const std::int64_t last = (std::min(stop, INT64_MAX - kReadPast) + kReadPast) / kPart;
  ReadUpTo(last);
  blocks.clear();
  for (std::int64_t b = first; b <= last && HaveBlock(b); ++b) blocks.push_back(Block(b));
  offset = static_cast<std::size_t>(origin - first * kPart);
}

// Part 0 always exists; part k when the input goes on past its start.
bool TJoiner::PartExists(std::int64_t k) {
  if (k == 0) return true;
  ReadUpTo(k);
  return total_ > PartStart(k);
}

// Hands out parts while there are free slots for them.
void TJoiner::HandOut() {
  while (handed_ < released_ + static_cast<std::int64_t>(parts_.size()) && PartExists(handed_)) {
    TPart& part = Part(handed_);
    part.Start = PartStart(handed_);
    part.Stop = PartStop(handed_);
    GatherBlocks(part.Start, part.Stop, part.Blocks, part.Offset);
    if (handed_ == 0) shared_.Binary = TParser::IsBinary(Block(0)->Bytes, Block(0)->Count);
    const std::lock_guard<std::mutex> lock(shared_.Mutex);
    part.Done = false;
    shared_.Queue.push_back(&part);
    shared_.Changed.notify_all();
    ++handed_;
  }
}

TPart& TJoiner::WaitFor(std::int64_t k) {
  HandOut();
  TPart& part = Part(k);
  std::unique_lock<std::mutex> lock(shared_.Mutex);
  shared_.Changed.wait(lock, [&] { return part.Done; });
  return part;
}

// Frees the slots of the parts before `parts` and the blocks no parse
// needs any more.
void TJoiner::Release(std::int64_t parts) {
  released_ = std::max(released_, parts);
  // Later parts, and the calling thread's own parses, start at or after
  // the oldest part still held.
  DropBlocksBefore(TParser::Origin(PartStart(std::min(released_, handed_))) / kPart);
}

// Codes the tokens of part 0 and goes on with each later part from where it
// meets the tokens at hand.
void TJoiner::Run(TLZHSymbolCoder& coder) {
  const std::vector<TLZHToken>* tokens = &WaitFor(0).Tokens;
  std::size_t i = 0;
  std::int64_t position = 0;         // where (*tokens)[i] starts
  std::int64_t next = 1;             // the part to meet
  const TPart* next_part = nullptr;  // once it is parsed
  std::int64_t next_position = 0;    // where its token next_index starts
  std::size_t next_index = 0;
  for (;;) {
    if (next_part == nullptr && position >= PartStart(next) && PartExists(next)) {
      next_part = &WaitFor(next);
      next_position = PartStart(next);
      next_index = 0;
    }
    if (next_part != nullptr) {
      const std::vector<TLZHToken>& later = next_part->Tokens;
      while (next_index < later.size() && next_position < position) {
        next_position += LZHTokenLength(later[next_index++]);
      }
      const bool meet = next_index < later.size() && next_position == position;
      if (meet || next_index == later.size()) {
        if (meet) {
          Release(next);
          tokens = &later;
          i = next_index;
        } else if (tokens == &bridge_tokens_) {
          Release(next + 1);  // it ended before the two could meet
        }
        ++next;
        next_part = nullptr;
        HandOut();
        continue;
      }
    }
    if (i == tokens->size()) {
      if (input_ended_ && position >= total_) break;
      // The tokens at hand end short of meeting the next part: parse on,
      // here, up to where that one stops.
      Release(next);
      const std::int64_t stop =
          PartExists(next) ? std::max(PartStop(next), position + kOverrun) : INT64_MAX;
      std::size_t offset = 0;
      GatherBlocks(position, stop, bridge_blocks_, offset);
      if (bridge_finder_ == nullptr) bridge_finder_ = std::make_unique<TLZHMatchFinder>();
      Parse(*bridge_finder_, bridge_blocks_, offset, position, stop, shared_.Binary,
            bridge_tokens_);
      tokens = &bridge_tokens_;
      i = 0;
      continue;
    }
    const TLZHToken token = (*tokens)[i++];
    coder.Put(token);
    position += LZHTokenLength(token);
  }
}

struct TWorkingMemory {
  std::uint8_t Output[kLZHPackedChunk];
  TLZHModel Model;
};

}  // namespace

std::int64_t LZHCompressPipelined(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                                  const TLZHProgressHooks& hooks, int threads) {
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  threads = std::min(threads, kMostHelpers);
  std::unique_ptr<TWorkingMemory> memory = LZHAllocate<TWorkingMemory>();
  if (memory == nullptr) return kLZHOutOfMemory;
  try {
    TShared shared;
    std::vector<std::unique_ptr<TLZHMatchFinder>> finders;
    TJoiner joiner(read, hooks.Read, shared, static_cast<std::size_t>(threads) + kSpareParts);
    std::vector<std::unique_ptr<TCodecHelperThread<TShared>>> helpers;
    for (int h = 0; h < threads; ++h) {
      finders.push_back(std::make_unique<TLZHMatchFinder>());
      try {
        helpers.push_back(
            std::make_unique<TCodecHelperThread<TShared>>(ParseParts, shared, *finders.back()));
      } catch (const std::system_error&) {
        break;
      }
    }
    if (helpers.empty()) {
      // No second thread to be had: one does all.
      memory.reset();
      return LZHCompress(read, write, hooks);
    }
    TLZHBitWriter bits(write, hooks.Write, memory->Output);
    TLZHSymbolCoder coder(memory->Model, bits);
    joiner.Run(coder);
    coder.Put(kLZHEndSymbol);
    bits.Flush();
    return bits.Bytes();
  } catch (const std::bad_alloc&) {
    return kLZHOutOfMemory;
  }
}

}  // namespace zorellz
