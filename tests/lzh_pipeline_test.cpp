// LZH compression on several threads against the one-thread compressor:
// the same stream, the same calls of the functions and hooks, all on the
// calling thread, and failures that end every thread.
#include "zorellz/codec/ZrlLZH.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/LzhMemory.h"
#include "tests/TestSupport.h"

namespace zorellz {
namespace {

using test::RandomBytes;
using test::SameBytes;
using test::TBytes;
using test::TLZHMemoryRun;

constexpr std::size_t kChunk = 16384;  // what compression reads at a time

TBytes Text(std::size_t count) {
  TBytes bytes;
  for (unsigned n = 0; bytes.size() < count; ++n) {
    test::PutText(bytes, "line " + std::to_string(n * 7919 % 1013) + " of the window\n");
  }
  bytes.resize(count);
  return bytes;
}

void ExpectSameRuns(const TBytes& input, std::size_t piece, const std::string& what) {
  const TLZHMemoryRun one = test::RunLZHOverMemory(LZHCompress, input.data(), input.size(), piece);
  const TLZHMemoryRun two =
      test::RunLZHOverMemory(LZHCompressPipelined, input.data(), input.size(), piece);
  EXPECT_EQ(two.Result, one.Result) << what;
  EXPECT_TRUE(SameBytes(two.Output, one.Output)) << what;
  EXPECT_EQ(two.Writes, one.Writes) << what;
  EXPECT_EQ(two.ReadHooks, one.ReadHooks) << what;
  EXPECT_EQ(two.WriteHooks, one.WriteHooks) << what;
  EXPECT_EQ(two.Taken, input.size()) << what;
}

TEST(LzhPipeline, GivesTheOneThreadStream) {
  // Within the first literals and the look-ahead, around the chunk size and
  // the read-ahead of several chunks, and over many blocks of tokens.
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{67},
                           kChunk - 1, kChunk, kChunk + 1, 5 * kChunk, 5 * kChunk + 3}) {
    ExpectSameRuns(Text(size), 1 << 20, "text of " + std::to_string(size));
  }
  ExpectSameRuns(Text(900000), 1 << 20, "long text");
  ExpectSameRuns(RandomBytes(300000, 41), 1 << 20, "random bytes");
  ExpectSameRuns(Text(100000), 7, "text in pieces of 7");
}

template <int kThreads>
std::int64_t CompressOn(const TLZHReadFunc& read, const TLZHWriteFunc& write) {
  return LZHCompressPipelined(read, write, TLZHProgressHooks{}, kThreads);
}

// Parts of the input parsed apart join into the one parse where they meet.
// Long repeats keep two parses out of step, so that the calling thread
// parses on by itself; a part may then end before it is met.
TEST(LzhPipeline, JoinsPartsWhereverTheyMeet) {
  constexpr std::size_t kPart = 8 * kChunk;
  TBytes input = Text(300000);
  input.resize(input.size() + 700000, 0);
  const TBytes noise = RandomBytes(200000, 44);
  input.insert(input.end(), noise.begin(), noise.end());
  for (std::size_t n = 0; n < 300000; ++n)
    input.push_back(static_cast<std::uint8_t>("abcdefg"[n % 7]));
  const TBytes tail = Text(140000);
  input.insert(input.end(), tail.begin(), tail.end());
  for (std::size_t size : {2 * kPart, 2 * kPart + 1, 3 * kPart - 1, input.size()}) {
    constexpr std::size_t kWhole = std::size_t{1} << 20;  // what each read may hand out
    const TLZHMemoryRun one = test::RunLZHOverMemory(LZHCompress, input.data(), size, kWhole);
    for (auto compress : {CompressOn<1>, CompressOn<2>, CompressOn<3>}) {
      const TLZHMemoryRun many = test::RunLZHOverMemory(compress, input.data(), size, kWhole);
      EXPECT_TRUE(SameBytes(many.Output, one.Output)) << size;
      EXPECT_EQ(many.Writes, one.Writes) << size;
    }
  }
}

TEST(LzhPipeline, CallsTheFunctionsOnTheCallingThreadOnly) {
  const TBytes input = RandomBytes(200000, 42);
  std::mutex mutex;
  std::set<std::thread::id> callers;
  auto note = [&] {
    const std::lock_guard<std::mutex> lock(mutex);
    callers.insert(std::this_thread::get_id());
  };
  std::size_t taken = 0;
  const TLZHReadFunc read = [&](std::uint8_t* buffer, std::size_t count) {
    note();
    count = std::min(count, input.size() - taken);
    std::copy_n(input.data() + taken, count, buffer);
    taken += count;
    return count;
  };
  const TLZHWriteFunc write = [&](const std::uint8_t*, std::size_t) { note(); };
  const TLZHProgressHook hook = [&](std::int32_t, bool) { note(); };
  EXPECT_GT(LZHCompressPipelined(read, write, TLZHProgressHooks{hook, hook}), 0);
  EXPECT_EQ(callers, std::set<std::thread::id>{std::this_thread::get_id()});
}

TEST(LzhPipeline, FailuresEndBothThreads) {
  // Random bytes give a token per byte, so the helper runs ahead until it
  // waits for room; a failure must end that wait.
  const TBytes input = RandomBytes(400000, 43);
  for (std::size_t fail_at : {std::size_t{0}, std::size_t{3}, std::size_t{8}}) {
    std::size_t taken = 0, reads = 0, writes = 0;
    bool reads_fail = true;
    const TLZHReadFunc read = [&](std::uint8_t* buffer, std::size_t count) {
      if (reads_fail && reads++ == fail_at) throw std::runtime_error("read");
      count = std::min(count, input.size() - taken);
      std::copy_n(input.data() + taken, count, buffer);
      taken += count;
      return count;
    };
    const TLZHWriteFunc write = [&](const std::uint8_t*, std::size_t) {
      if (writes++ == fail_at) throw std::length_error("write");
    };
    EXPECT_THROW(LZHCompressPipelined(read, [](const std::uint8_t*, std::size_t) {}),
                 std::runtime_error)
        << fail_at;
    taken = 0;
    reads_fail = false;
    EXPECT_THROW(LZHCompressPipelined(read, write), std::length_error) << fail_at;
  }
  // Nothing of the failed runs is left over.
  ExpectSameRuns(Text(50000), 1 << 20, "after failures");
}

}  // namespace
}  // namespace zorellz
