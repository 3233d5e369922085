// LZH compression on two threads: a helper parses the input into tokens
// while the calling thread reads the input, codes the tokens and writes the
// stream.  The read and write functions and the hooks run on the calling
// thread only, as in the one-thread compressor.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>

#include "archive/codec/HelperThread.h"
#include "archive/codec/LZHBitIO.h"
#include "archive/codec/LZHMatchFinder.h"
#include "archive/codec/LZHModel.h"
#include "archive/codec/LZHParse.h"
#include "archive/codec/LZHStream.h"
#include "zorellz/codec/ZrlLZH.h"

namespace zorellz {
namespace {

constexpr int kChunks = 4;  // input chunks read ahead of the parse
constexpr int kBlocks = 4;  // blocks of tokens parsed ahead of the coding
constexpr std::size_t kBlockTokens = 8192;

// Raised on the helper when the calling thread gives up, to unwind it.
struct TStopped {};

// What the two threads share.  Chunks and blocks are used in turn; a count
// of those handed over and of those given back tells whose each one is.
struct TPipe {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::uint8_t Chunk[kChunks][kLZHPlainChunk];
  std::size_t ChunkBytes[kChunks];
  std::uint64_t ChunksRead = 0;  // by the calling thread
  std::uint64_t ChunksUsed = 0;  // given back by the parse
  bool InputEnded = false;       // a chunk short of full was read
  TLZHToken Block[kBlocks][kBlockTokens];
  std::size_t BlockTokens[kBlocks];
  std::uint64_t BlocksParsed = 0;  // by the helper, the last one with the end code
  std::uint64_t BlocksCoded = 0;   // given back by the calling thread
  bool ParseEnded = false;
  bool Stopped = false;  // the calling thread gives up

  // Waits until `ready` holds; raises TStopped once the calling thread gives up.
  template <typename Ready>
  void HelperWait(std::unique_lock<std::mutex>& lock, Ready ready) {
    Changed.wait(lock, [&] { return Stopped || ready(); });
    if (Stopped) throw TStopped{};
  }
};

// The parse's input: the chunks the calling thread has read.
class TPipeSource {
 public:
  explicit TPipeSource(TPipe& pipe) : pipe_(pipe) { Acquire(); }
  bool Remains() const { return position_ < count_; }
  std::uint8_t Take() {
    const std::uint8_t byte = chunk_[position_++];
    if (position_ == kLZHPlainChunk) {
      Release();
      Acquire();
    }
    return byte;
  }

 private:
  void Acquire() {
    std::unique_lock<std::mutex> lock(pipe_.Mutex);
    pipe_.HelperWait(lock, [&] { return pipe_.ChunksRead > pipe_.ChunksUsed; });
    const int slot = static_cast<int>(pipe_.ChunksUsed % kChunks);
    chunk_ = pipe_.Chunk[slot];
    count_ = pipe_.ChunkBytes[slot];
    position_ = 0;
  }
  void Release() {
    const std::lock_guard<std::mutex> lock(pipe_.Mutex);
    ++pipe_.ChunksUsed;
    pipe_.Changed.notify_one();
  }

  TPipe& pipe_;
  const std::uint8_t* chunk_ = nullptr;
  std::size_t position_ = 0;
  std::size_t count_ = 0;
};

// The parse's output: blocks of tokens for the calling thread.
class TPipeSink {
 public:
  explicit TPipeSink(TPipe& pipe) : pipe_(pipe) { Acquire(); }
  void Put(TLZHToken token) {
    block_[count_++] = token;
    if (count_ == kBlockTokens) {
      Publish(false);
      Acquire();
    }
  }
  // Hands over the last block, the one with the end code.
  void Finish() { Publish(true); }

 private:
  void Acquire() {
    std::unique_lock<std::mutex> lock(pipe_.Mutex);
    pipe_.HelperWait(lock, [&] { return pipe_.BlocksParsed - pipe_.BlocksCoded < kBlocks; });
    block_ = pipe_.Block[pipe_.BlocksParsed % kBlocks];
    count_ = 0;
  }
  void Publish(bool last) {
    const std::lock_guard<std::mutex> lock(pipe_.Mutex);
    pipe_.BlockTokens[pipe_.BlocksParsed % kBlocks] = count_;
    ++pipe_.BlocksParsed;
    pipe_.ParseEnded = last;
    pipe_.Changed.notify_one();
  }

  TPipe& pipe_;
  TLZHToken* block_ = nullptr;
  std::size_t count_ = 0;
};

void ParseOnHelper(TPipe& pipe, TLZHMatchFinder& finder) {
  try {
    TPipeSource source(pipe);
    TPipeSink sink(pipe);
    TLZHParser<TPipeSource, TPipeSink>(finder, source, sink).Run();
    sink.Finish();
  } catch (const TStopped&) {
  }
}

struct TWorkingMemory {
  TPipe Pipe;
  std::uint8_t Output[kLZHPackedChunk];
  TLZHMatchFinder Finder;
  TLZHModel Model;
};

// The calling thread's part: reads chunks while there is room for them and
// codes each block of tokens as it comes, until the block with the end code.
void ReadAndCode(TPipe& pipe, const TLZHReadFunc& read, const TLZHProgressHook& report,
                 TLZHSymbolCoder& coder) {
  std::unique_lock<std::mutex> lock(pipe.Mutex);
  for (;;) {
    const bool can_read = !pipe.InputEnded && pipe.ChunksRead - pipe.ChunksUsed < kChunks;
    const bool can_code = pipe.BlocksParsed > pipe.BlocksCoded;
    if (can_read) {
      const int slot = static_cast<int>(pipe.ChunksRead % kChunks);
      lock.unlock();
      const std::size_t count = LZHFillChunk(read, pipe.Chunk[slot], kLZHPlainChunk);
      LZHReport(report, count, false);
      lock.lock();
      pipe.ChunkBytes[slot] = count;
      pipe.InputEnded = count < kLZHPlainChunk;
      ++pipe.ChunksRead;
      pipe.Changed.notify_one();
    } else if (can_code) {
      const int slot = static_cast<int>(pipe.BlocksCoded % kBlocks);
      const bool last = pipe.ParseEnded && pipe.BlocksParsed == pipe.BlocksCoded + 1;
      lock.unlock();
      const TLZHToken* tokens = pipe.Block[slot];
      for (std::size_t k = 0, n = pipe.BlockTokens[slot]; k < n; ++k) coder.Put(tokens[k]);
      lock.lock();
      ++pipe.BlocksCoded;
      pipe.Changed.notify_one();
      if (last) return;
    } else {
      pipe.Changed.wait(lock);
    }
  }
}

}  // namespace

std::int64_t LZHCompressPipelined(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                                  const TLZHProgressHooks& hooks) {
  std::unique_ptr<TWorkingMemory> memory = LZHAllocate<TWorkingMemory>();
  if (memory == nullptr) return kLZHOutOfMemory;
  std::optional<TCodecHelperThread<TPipe>> helper;
  try {
    helper.emplace(ParseOnHelper, memory->Pipe, memory->Finder);
  } catch (const std::system_error&) {
    // No second thread to be had: one does both parts.
    memory.reset();
    return LZHCompress(read, write, hooks);
  } catch (const std::bad_alloc&) {
    return kLZHOutOfMemory;
  }
  TLZHBitWriter bits(write, hooks.Write, memory->Output);
  TLZHSymbolCoder coder(memory->Model, bits);
  ReadAndCode(memory->Pipe, read, hooks.Read, coder);
  bits.Flush();
  return bits.Bytes();
}

}  // namespace zorellz
