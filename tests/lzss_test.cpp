#include "zorellz/codec/ZrlLZSS.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/LzssMemory.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

using test::RandomBytes;
using test::SameBytes;
using test::TBytes;

// ---- A literal model of the codec --------------------------------------
// Slow and plain on purpose: int arrays, one byte at a time, the splay done
// as single rotations.  The library's coder must give the same bytes.

class TReferenceEncoder {
 public:
  TBytes Encode(const TBytes& input) {
    input_ = &input;
    taken_ = 0;
    InitTree();
    TBytes out;
    std::vector<int> code{0};
    int mask = 1;
    int s = 0;
    int r = kN - kF;
    int len = 0;
    for (int c; len < kF && (c = NextByte()) >= 0; ++len) ring_[r + len] = c;
    if (len == 0) return out;
    for (int i = 1; i <= kF; ++i) InsertNode(r - i);
    InsertNode(r);
    while (len > 0) {
      if (match_length_ > len) match_length_ = len;
      if (match_length_ <= 2) {
        match_length_ = 1;
        code[0] |= mask;
        code.push_back(ring_[r]);
      } else {
        code.push_back(match_position_ & 0xFF);
        code.push_back(((match_position_ >> 8) << 4) | (match_length_ - 3));
      }
      mask = (mask << 1) & 0xFF;
      if (mask == 0) {
        out.insert(out.end(), code.begin(), code.end());
        code.assign(1, 0);
        mask = 1;
      }
      const int last = match_length_;
      int i = 0;
      for (int c; i < last && (c = NextByte()) >= 0; ++i) {
        DeleteNode(s);
        ring_[s] = c;
        if (s < kF - 1) ring_[s + kN] = c;
        s = (s + 1) % kN;
        r = (r + 1) % kN;
        InsertNode(r);
      }
      while (i < last) {
        ++i;
        DeleteNode(s);
        s = (s + 1) % kN;
        r = (r + 1) % kN;
        if (--len != 0) InsertNode(r);
      }
    }
    out.insert(out.end(), code.begin(), code.end());
    return out;
  }

 private:
  static constexpr int kN = 4096;
  static constexpr int kF = 18;
  static constexpr int kNil = kN;

  int NextByte() { return taken_ < input_->size() ? (*input_)[taken_++] : -1; }
  static bool IsRoot(int node) { return node > kN; }

  void InitTree() {
    std::fill(parent_.begin(), parent_.end(), kNil);
    std::fill(right_.begin() + kN + 1, right_.end(), kNil);
  }

  // Puts `child` into the slot of `node` that held `old`.
  void ReplaceChild(int node, int old, int child) {
    if (right_[node] == old) {
      right_[node] = child;
    } else {
      left_[node] = child;
    }
    if (child != kNil) parent_[child] = node;
  }

  void InsertNode(int r) {
    match_length_ = 0;
    int depth = 0;
    int cmp = 1;
    int p = kN + 1 + ring_[r];
    left_[r] = right_[r] = kNil;
    for (;;) {
      ++depth;
      std::vector<int>& side = cmp >= 0 ? right_ : left_;
      if (side[p] == kNil) {
        side[p] = r;
        parent_[r] = p;
        break;
      }
      p = side[p];
      int i = 1;
      cmp = 0;
      while (i < kF && (cmp = ring_[r + i] - ring_[p + i]) == 0) ++i;
      if (i > match_length_) {
        match_position_ = p;
        match_length_ = i;
        if (i == kF) {
          left_[r] = left_[p];
          right_[r] = right_[p];
          if (left_[r] != kNil) parent_[left_[r]] = r;
          if (right_[r] != kNil) parent_[right_[r]] = r;
          ReplaceChild(parent_[p], p, r);
          parent_[p] = kNil;
          break;
        }
      }
    }
    if (depth >= 30) Splay(r);
  }

  // Moves x one level up, above its parent.
  void Rotate(int x) {
    const int p = parent_[x];
    const int g = parent_[p];
    if (left_[p] == x) {
      left_[p] = right_[x];
      if (left_[p] != kNil) parent_[left_[p]] = p;
      right_[x] = p;
    } else {
      right_[p] = left_[x];
      if (right_[p] != kNil) parent_[right_[p]] = p;
      left_[x] = p;
    }
    parent_[p] = x;
    ReplaceChild(g, p, x);
  }

  void Splay(int x) {
    while (!IsRoot(parent_[x])) {
      const int p = parent_[x];
      const int g = parent_[p];
      if (IsRoot(g)) {
        Rotate(x);
      } else if ((left_[p] == x) == (left_[g] == p)) {
        Rotate(p);
        Rotate(x);
      } else {
        Rotate(x);
        Rotate(x);
      }
    }
  }

  void DeleteNode(int p) {
    if (parent_[p] == kNil) return;
    int q;
    if (right_[p] == kNil) {
      q = left_[p];
    } else if (left_[p] == kNil) {
      q = right_[p];
    } else {
      q = left_[p];
      if (right_[q] != kNil) {
        while (right_[q] != kNil) q = right_[q];
        ReplaceChild(parent_[q], q, left_[q]);
        left_[q] = left_[p];
        parent_[left_[p]] = q;
      }
      right_[q] = right_[p];
      parent_[right_[p]] = q;
    }
    ReplaceChild(parent_[p], p, q);
    parent_[p] = kNil;
  }

  const TBytes* input_ = nullptr;
  std::size_t taken_ = 0;
  std::vector<int> ring_ = std::vector<int>(kN + kF - 1, 0);
  // Roots never get a left child; the slots exist so that ReplaceChild
  // needs no case for them.
  std::vector<int> left_ = std::vector<int>(kN + 257, kNil);
  std::vector<int> right_ = std::vector<int>(kN + 257, kNil);
  std::vector<int> parent_ = std::vector<int>(kN + 1, kNil);
  int match_position_ = 0;
  int match_length_ = 0;
};

TBytes ReferenceEncode(const TBytes& input) {
  return TReferenceEncoder().Encode(input);
}

TBytes ReferenceDecode(const TBytes& stream) {
  return test::PlainLZSSDecode(stream.data(), stream.size());
}

// ---- Running the library's codec over memory ----------------------------

using TRun = test::TLZSSMemoryRun;

// Runs one stream; the read function hands out at most `piece` bytes a call.
TRun RunStream(void (*direction)(), const TBytes& input, std::size_t piece = kLZSSBufferSize) {
  return test::RunLZSSOverMemory(direction, input.data(), input.size(), piece);
}

TBytes Encode(const TBytes& input, std::size_t piece = kLZSSBufferSize) {
  return RunStream(LZSSEncode, input, piece).Output;
}
TBytes Decode(const TBytes& stream, std::size_t piece = kLZSSBufferSize) {
  return RunStream(LZSSDecode, stream, piece).Output;
}

// Runs of one byte with random lengths up to `longest`, sometimes
// interrupted: the shape that drives the search trees deep.
TBytes Runs(std::size_t count, std::size_t longest, unsigned seed) {
  std::mt19937 random(seed);
  TBytes bytes;
  while (bytes.size() < count) {
    const std::uint8_t value = static_cast<std::uint8_t>(random() % 4);
    bytes.insert(bytes.end(), 1 + random() % longest, value);
    if (random() % 3 == 0) bytes.push_back(static_cast<std::uint8_t>(random()));
  }
  bytes.resize(count);
  return bytes;
}

TBytes Text(std::size_t count, unsigned seed) {
  static const char* const kWords[] = {"the ",   "codec ", "ring ", "match ", "tree ",
                                       "splay ", "of ",    "a ",    "and ",   "\n"};
  std::mt19937 random(seed);
  TBytes bytes;
  while (bytes.size() < count) test::PutText(bytes, kWords[random() % 10]);
  bytes.resize(count);
  return bytes;
}

class Lzss : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(LZSSInit()); }
  void TearDown() override { LZSSDone(); }

  // The library's stream equals the model's, and decodes to the input.
  static void ExpectExact(const TBytes& input, const std::string& what) {
    const TBytes stream = Encode(input);
    EXPECT_TRUE(SameBytes(stream, ReferenceEncode(input))) << what << ", stream";
    EXPECT_TRUE(SameBytes(Decode(stream), input)) << what << ", decoded";
  }
};

// ---- Byte-identical streams ----------------------------------------------

TEST_F(Lzss, MatchesModelOnCorpus) {
  constexpr std::size_t kEnough = 1 << 20;
  const auto files = test::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no sample corpus";
  for (const auto& path : files) {
    TBytes data = test::ReadFileBytes(path.string());
    if (data.size() > kEnough) data.resize(kEnough);
    ExpectExact(data, path.filename().string());
  }
}

TEST_F(Lzss, MatchesModelOnGeneratedData) {
  ExpectExact(RandomBytes(300000, 1), "random");
  ExpectExact(Text(300000, 2), "text");
  ExpectExact(Runs(300000, 40, 3), "short runs");
  ExpectExact(Runs(300000, 5000, 4), "long runs");
  ExpectExact(TBytes(100000, 0), "zeros");
  ExpectExact(TBytes(100000, 0xAB), "one byte repeated");
  TBytes cycle;
  for (int i = 0; i < 200000; ++i) cycle.push_back(static_cast<std::uint8_t>(i % 4099));
  ExpectExact(cycle, "cycle longer than the ring");
  // Strings met in rising order build tall trees, which get splayed.
  TBytes counting;
  for (int i = 100000; counting.size() < 200000; i += 7)
    test::PutText(counting, std::to_string(i) + ",");
  ExpectExact(counting, "counting");
}

TEST_F(Lzss, MatchesModelAroundBufferSize) {
  const TBytes text = Text(kLZSSBufferSize * 2 + 5, 5);
  constexpr std::size_t kSize = kLZSSBufferSize;
  for (std::size_t size : {kSize - 1, kSize, kSize + 1, kSize * 2 + 5}) {
    ExpectExact(TBytes(text.begin(), text.begin() + size), "text");
  }
}

TEST_F(Lzss, MatchesModelOnShortInputs) {
  const TBytes random = RandomBytes(40, 6);
  const TBytes runs = Runs(40, 6, 7);
  for (std::size_t size = 1; size <= 40; ++size) {
    ExpectExact(TBytes(random.begin(), random.begin() + size), "random");
    ExpectExact(TBytes(runs.begin(), runs.begin() + size), "runs");
    ExpectExact(TBytes(size, 0), "zeros");
  }
}

// ---- The stream format by hand -------------------------------------------

TEST_F(Lzss, EmptyInputGivesEmptyStreamInOneWrite) {
  const TRun run = RunStream(LZSSEncode, TBytes{});
  EXPECT_TRUE(run.Output.empty());
  EXPECT_EQ(run.Writes, std::vector<std::uint32_t>{0});
  const TRun decoded = RunStream(LZSSDecode, TBytes{});
  EXPECT_TRUE(decoded.Output.empty());
  EXPECT_EQ(decoded.Writes, std::vector<std::uint32_t>{0});
}

TEST_F(Lzss, SmallInputsAreLiterals) {
  EXPECT_EQ(Encode({'x'}), (TBytes{0x01, 'x'}));
  // Eight items fill the group; the flag byte of the empty next group follows.
  EXPECT_EQ(Encode({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}),
            (TBytes{0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00}));
}

TEST_F(Lzss, LeadingZerosMatchTheZeroRing) {
  // Before the first item, positions 4077 down to 4060 (zeros) are inserted,
  // each string of 18 zeros replacing the previous node, so the tree of zero
  // holds 4060 alone.  The input's string at 4078 is zeros as well (the
  // ring beyond the input is zero): a full match at 4060 = 0xFDC, cut to the
  // input's 3 bytes.  Match item: 0xDC, then 0xF in the high nibble and
  // 3 - 3 in the low.
  EXPECT_EQ(Encode({0, 0, 0}), (TBytes{0x00, 0xDC, 0xF0}));
  // Twenty zeros: the same match at its full 18 bytes, then two bytes whose
  // matches are cut below 3 by the end of the input, so they go as literals
  // (flag bits 1 and 2).
  const TBytes twenty = Encode(TBytes(20, 0));
  EXPECT_EQ(twenty, (TBytes{0x06, 0xDC, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(Decode(twenty), TBytes(20, 0));
}

TEST_F(Lzss, DecodesUnwrittenRingAsZeros) {
  // Literal 'A', then a match of 2 + 3 bytes at ring position 0x100.
  EXPECT_EQ(Decode({0x01, 'A', 0x00, 0x12}), (TBytes{'A', 0, 0, 0, 0, 0}));
}

TEST_F(Lzss, MatchOverlappingItsOutputRepeats) {
  // 'A' lands at 4078; a match of 15 + 3 at 4078 copies what it writes.
  EXPECT_EQ(Decode({0x01, 'A', 0xEE, 0xFF}), TBytes(19, 'A'));
}

TEST_F(Lzss, TruncatedLastMatchEndsTheOutput) {
  // Two literals, then a match item with its first byte only.
  EXPECT_EQ(Decode({0x03, 'A', 'B', 0x05}), (TBytes{'A', 'B'}));
  // A flag byte with no items.
  EXPECT_EQ(Decode({0x01, 'A', 0x00}), (TBytes{'A'}));
}

// Whatever the decoder is given, it must agree with the model, including
// positions that wrap around the ring and matches on unwritten positions.
TEST_F(Lzss, DecodesArbitraryBytesLikeTheModel) {
  for (unsigned seed = 0; seed < 20; ++seed) {
    // The last one decodes to more than one output buffer.
    TBytes stream = RandomBytes(seed < 19 ? 5000 + seed * 997 : 100000, 100 + seed);
    // Mostly matches, so that the output passes buffer boundaries.
    for (std::size_t i = 0; i < stream.size(); i += 17) stream[i] &= 0x11;
    EXPECT_TRUE(SameBytes(Decode(stream), ReferenceDecode(stream))) << "seed " << seed;
  }
  const TBytes zeros(600000, 0);
  EXPECT_TRUE(SameBytes(Decode(zeros), ReferenceDecode(zeros)));
}

// ---- Buffers and the engine's functions -------------------------------------

TEST_F(Lzss, LongStreamsUseFullBuffers) {
  const TBytes input = RandomBytes(3 * kLZSSBufferSize + 1000, 8);
  const TRun encoded = RunStream(LZSSEncode, input);
  EXPECT_EQ(encoded.Reads, 5);  // four loads, then the 0 that ends the input
  ASSERT_GE(encoded.Writes.size(), 3u);
  for (std::size_t i = 0; i + 1 < encoded.Writes.size(); ++i) {
    EXPECT_EQ(encoded.Writes[i], kLZSSBufferSize);
  }
  const TRun decoded = RunStream(LZSSDecode, encoded.Output);
  EXPECT_TRUE(SameBytes(decoded.Output, input));
  EXPECT_EQ(decoded.Writes,
            (std::vector<std::uint32_t>{kLZSSBufferSize, kLZSSBufferSize, kLZSSBufferSize, 1000}));
}

TEST_F(Lzss, ShortReadsGiveTheSameStream) {
  const TBytes input = Text(100000, 9);
  const TBytes whole = Encode(input);
  for (std::size_t piece : {1, 7, 17, 4096}) {
    EXPECT_TRUE(SameBytes(Encode(input, piece), whole)) << "pieces of " << piece;
    EXPECT_TRUE(SameBytes(Decode(whole, piece), input)) << "pieces of " << piece;
  }
}

TEST_F(Lzss, NothingIsReadAfterTheInputEnds) {
  int reads = 0;
  TBytes out;
  LZSSSetIOFunctions(
      [&](std::uint8_t* buffer) -> std::uint32_t {
        // 'a', then the end, then data that belongs to no stream.
        if (++reads == 2) return 0;
        buffer[0] = 'a';
        return 1;
      },
      [&](const std::uint8_t* buffer, std::uint32_t count) {
        out.insert(out.end(), buffer, buffer + count);
        return count;
      });
  LZSSEncode();
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(out, (TBytes{0x01, 'a'}));
}

TEST_F(Lzss, FailuresOfTheFunctionsPassThroughAndLeaveTheCodecUsable) {
  const TBytes input = Text(3 * kLZSSBufferSize, 10);
  LZSSSetIOFunctions([](std::uint8_t*) -> std::uint32_t { throw std::runtime_error("read"); },
                     [](const std::uint8_t*, std::uint32_t count) { return count; });
  EXPECT_THROW(LZSSEncode(), std::runtime_error);
  EXPECT_THROW(LZSSDecode(), std::runtime_error);
  int writes = 0;
  std::size_t taken = 0;
  LZSSSetIOFunctions(
      [&](std::uint8_t* buffer) {
        const std::size_t count = std::min<std::size_t>(kLZSSBufferSize, input.size() - taken);
        std::copy_n(input.data() + taken, count, buffer);
        taken += count;
        return static_cast<std::uint32_t>(count);
      },
      [&](const std::uint8_t*, std::uint32_t) -> std::uint32_t {
        if (++writes == 1) throw EInOutError("disk full", kInOutWriteFailed);
        return 0;
      });
  EXPECT_THROW(LZSSEncode(), EInOutError);
  ASSERT_EQ(writes, 1);
  taken = 0;
  // A write that takes fewer bytes than it was given is a failure too.
  EXPECT_THROW(LZSSEncode(), EInOutError);
  ExpectExact(input, "after failures");
}

TEST_F(Lzss, RefusesToRunWithoutItsBuffers) {
  LZSSDone();
  EXPECT_FALSE(LZSSInitialised());
  bool called = false;
  LZSSSetIOFunctions(
      [&](std::uint8_t*) -> std::uint32_t {
        called = true;
        return 0;
      },
      [&](const std::uint8_t*, std::uint32_t count) {
        called = true;
        return count;
      });
  EXPECT_THROW(LZSSEncode(), std::logic_error);
  EXPECT_THROW(LZSSDecode(), std::logic_error);
  EXPECT_FALSE(called);
}

TEST_F(Lzss, SecondInitKeepsTheBuffers) {
  ASSERT_TRUE(LZSSInit());
  EXPECT_TRUE(LZSSInitialised());
  LZSSDone();
  EXPECT_FALSE(LZSSInitialised());
  LZSSDone();  // releasing twice is harmless
  EXPECT_FALSE(LZSSInitialised());
}

// ---- Codec preparation -----------------------------------------------------

TEST(Codec, PreparesByLevel) {
  EXPECT_EQ(LZCurrentCodec(), -1);
  EXPECT_FALSE(LZCodecReady());

  EXPECT_TRUE(LZInitCodec(0));
  EXPECT_EQ(LZCurrentCodec(), 0);
  EXPECT_TRUE(LZCodecReady());
  EXPECT_FALSE(LZSSInitialised());
  LZDoneCodec();
  EXPECT_EQ(LZCurrentCodec(), -1);

  EXPECT_TRUE(LZInitCodec(1));
  EXPECT_TRUE(LZCodecReady());
  EXPECT_TRUE(LZSSInitialised());
  EXPECT_TRUE(LZInitCodec(1));  // a second preparation is harmless
  LZDoneCodec();
  EXPECT_FALSE(LZSSInitialised());
  EXPECT_FALSE(LZCodecReady());

  EXPECT_TRUE(LZInitCodec(0x81));  // bit 7 is ignored
  EXPECT_EQ(LZCurrentCodec(), 1);
  EXPECT_TRUE(LZSSInitialised());
  LZDoneCodec();
  EXPECT_FALSE(LZSSInitialised());
}

TEST(Codec, RefusesUnknownLevels) {
  for (std::uint8_t level : {3, 0x7F, 0x83}) {
    EXPECT_FALSE(LZInitCodec(level)) << int{level};
    EXPECT_EQ(LZCurrentCodec(), -1);
    EXPECT_FALSE(LZCodecReady());
  }
  // An unknown level does not forget a prepared codec.
  ASSERT_TRUE(LZInitCodec(1));
  EXPECT_FALSE(LZInitCodec(3));
  EXPECT_EQ(LZCurrentCodec(), 1);
  LZDoneCodec();
  EXPECT_FALSE(LZSSInitialised());
}

}  // namespace
}  // namespace zorellz
