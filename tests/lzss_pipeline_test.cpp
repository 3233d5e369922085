// LZSS encoding on two threads against the one-thread encoder: the same
// stream, the same calls of the functions, all on the calling thread, and
// failures that end both threads.
#include "zorellz/codec/ZrlLZSS.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/LzssMemory.h"
#include "tests/TestSupport.h"

namespace zorellz {
namespace {

using test::RandomBytes;
using test::SameBytes;
using test::TBytes;
using test::TLZSSMemoryRun;

constexpr std::size_t kBlock = 65536;  // the input the two threads take at a time

TBytes Text(std::size_t count) {
  TBytes bytes;
  for (unsigned n = 0; bytes.size() < count; ++n) {
    test::PutText(bytes, "line " + std::to_string(n * 7919 % 1013) + " of the ring\n");
  }
  bytes.resize(count);
  return bytes;
}

// Runs of a few byte values, with stray bytes between them.
TBytes Runs(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  TBytes bytes;
  while (bytes.size() < count) {
    bytes.insert(bytes.end(), 1 + random() % 300, static_cast<std::uint8_t>(random() % 3));
    if (random() % 2 == 0) bytes.push_back(static_cast<std::uint8_t>(random()));
  }
  bytes.resize(count);
  return bytes;
}

class LzssPipeline : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(LZSSInit()); }
  void TearDown() override { LZSSDone(); }

  static void ExpectSameRuns(const TBytes& input, const std::string& what,
                             std::size_t piece = kLZSSBufferSize) {
    const TLZSSMemoryRun one =
        test::RunLZSSOverMemory(LZSSEncode, input.data(), input.size(), piece);
    const TLZSSMemoryRun two =
        test::RunLZSSOverMemory(LZSSEncodePipelined, input.data(), input.size(), piece);
    EXPECT_TRUE(SameBytes(two.Output, one.Output)) << what;
    EXPECT_EQ(two.Writes, one.Writes) << what;
    EXPECT_EQ(two.Reads, one.Reads) << what;
  }
};

TEST_F(LzssPipeline, GivesTheOneThreadStream) {
  // Shorter than the look-ahead and than the ring, and around the ends of
  // blocks: where a block's steps begin 17 bytes early, where the last one
  // holds nothing but the steps after the input, where every slot is used.
  for (std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{17}, std::size_t{18}, std::size_t{19},
        std::size_t{4095}, std::size_t{4096}, std::size_t{4097}, kBlock - 18, kBlock - 1, kBlock,
        kBlock + 1, kBlock + 17, kBlock + 18, 2 * kBlock, 3 * kBlock - 1, 3 * kBlock,
        3 * kBlock + 1, 4 * kBlock + 5}) {
    ExpectSameRuns(Text(size), "text of " + std::to_string(size));
  }
  ExpectSameRuns(RandomBytes(700000, 51), "random bytes");
  ExpectSameRuns(Runs(1000000, 52), "runs");
  ExpectSameRuns(Text(300000), "text in reads of 7", 7);
}

TEST_F(LzssPipeline, GivesTheOneThreadStreamWhateverTheTreesHold) {
  // All strings in the one tree of 0, so that one thread inserts them all.
  ExpectSameRuns(TBytes(500000, 0), "zeros");
  ExpectSameRuns(TBytes(300000, 'x'), "one letter");
  // The trees are shared out by the first blocks; then the bytes change.
  TBytes changing = Text(4 * kBlock);
  const TBytes random = RandomBytes(3 * kBlock, 53);
  changing.insert(changing.end(), random.begin(), random.end());
  changing.insert(changing.end(), 2 * kBlock, 0);
  ExpectSameRuns(changing, "text, random bytes, zeros");
}

TEST_F(LzssPipeline, CallsTheFunctionsOnTheCallingThreadOnly) {
  const TBytes input = RandomBytes(500000, 54);
  std::mutex mutex;
  std::set<std::thread::id> callers;
  auto note = [&] {
    const std::lock_guard<std::mutex> lock(mutex);
    callers.insert(std::this_thread::get_id());
  };
  std::size_t taken = 0;
  LZSSSetIOFunctions(
      [&](std::uint8_t* buffer) {
        note();
        const std::size_t count = std::min<std::size_t>(kLZSSBufferSize, input.size() - taken);
        std::copy_n(input.data() + taken, count, buffer);
        taken += count;
        return static_cast<std::uint32_t>(count);
      },
      [&](const std::uint8_t*, std::uint32_t count) {
        note();
        return count;
      });
  LZSSEncodePipelined();
  EXPECT_EQ(taken, input.size());
  EXPECT_EQ(callers, std::set<std::thread::id>{std::this_thread::get_id()});
}

TEST_F(LzssPipeline, FailuresEndBothThreads) {
  // Reads fail before the first block, between blocks, and with the helper
  // waiting for one; writes fail with blocks read ahead.
  const TBytes input = RandomBytes(2000000, 55);
  for (int fail_at : {0, 1, 2, 3, 6}) {
    int reads = 0;
    std::size_t taken = 0;
    LZSSSetIOFunctions(
        [&](std::uint8_t* buffer) -> std::uint32_t {
          if (reads++ == fail_at) throw std::runtime_error("read");
          const std::size_t count = std::min<std::size_t>(kBlock / 2, input.size() - taken);
          std::copy_n(input.data() + taken, count, buffer);
          taken += count;
          return static_cast<std::uint32_t>(count);
        },
        [](const std::uint8_t*, std::uint32_t count) { return count; });
    EXPECT_THROW(LZSSEncodePipelined(), std::runtime_error) << fail_at;
    int writes = 0;
    taken = 0;
    reads = -1;
    LZSSSetIOFunctions(
        [&](std::uint8_t* buffer) -> std::uint32_t {
          const std::size_t count = std::min<std::size_t>(kLZSSBufferSize, input.size() - taken);
          std::copy_n(input.data() + taken, count, buffer);
          taken += count;
          return static_cast<std::uint32_t>(count);
        },
        [&](const std::uint8_t*, std::uint32_t count) -> std::uint32_t {
          if (writes++ == fail_at) throw std::length_error("write");
          return count;
        });
    EXPECT_THROW(LZSSEncodePipelined(), std::length_error) << fail_at;
  }
  // Nothing of the failed runs is left over.
  ExpectSameRuns(Text(200000), "after failures");
}

}  // namespace
}  // namespace zorellz
