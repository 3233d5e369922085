#include "zorellz/codec/ZrlLZH.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/LzhMemory.h"
#include "tests/LzhReference.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

using test::RandomBytes;
using test::SameBytes;
using test::TBytes;
using test::TLZHHookCall;
using test::TLZHMemoryRun;
using test::TLZHReferenceDecoding;
using test::TLZHReferenceEncoding;

constexpr std::size_t kSmallChunk = 16384;  // compression reads, decompression writes
constexpr std::size_t kLargeChunk = 32768;  // compression writes, decompression reads

// ---- Running both codecs -------------------------------------------------------

TLZHMemoryRun Compress(const TBytes& input, std::size_t piece = 1 << 20) {
  return test::RunLZHOverMemory(LZHCompress, input.data(), input.size(), piece);
}
TLZHMemoryRun Decompress(const TBytes& stream, std::size_t piece = 1 << 20) {
  return test::RunLZHOverMemory(LZHDecompress, stream.data(), stream.size(), piece);
}

TLZHReferenceEncoding ModelCompress(const TBytes& input) {
  return test::ReferenceLZHCompress(input);
}
TLZHReferenceDecoding ModelDecompress(const TBytes& stream) {
  return test::ReferenceLZHDecompress(stream);
}

// ---- Inputs ---------------------------------------------------------------------

TBytes Text(std::size_t count, unsigned seed) {
  static const char* const kWords[] = {"the ", "window ", "chain ", "match ", "tree ", "weight ",
                                       "of ",  "a ",      "and ",   "\n",     "leaf ", "root "};
  std::mt19937 random(seed);
  TBytes bytes;
  while (bytes.size() < count) test::PutText(bytes, kWords[random() % 12]);
  bytes.resize(count);
  return bytes;
}

// Runs of a few byte values with random lengths up to `longest`.
TBytes Runs(std::size_t count, std::size_t longest, unsigned seed) {
  std::mt19937 random(seed);
  TBytes bytes;
  while (bytes.size() < count) {
    bytes.insert(bytes.end(), 1 + random() % longest, static_cast<std::uint8_t>(random() % 4));
  }
  bytes.resize(count);
  return bytes;
}

// Random bytes that now and then repeat a random earlier stretch: a steady
// supply of match symbols never seen before, each of which makes the root's
// weight jump as stale weights enter the sums.
TBytes RandomWithCopies(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  TBytes bytes;
  while (bytes.size() < count) {
    if (bytes.size() > 100 && random() % 50 == 0) {
      const std::size_t length = 3 + random() % 62;
      const std::size_t distance = 1 + random() % std::min<std::size_t>(bytes.size(), 20000);
      for (std::size_t i = 0; i < length; ++i) bytes.push_back(bytes[bytes.size() - distance]);
    } else {
      bytes.push_back(static_cast<std::uint8_t>(random()));
    }
  }
  bytes.resize(count);
  return bytes;
}

// Random blocks of `period` bytes over and over.
TBytes Periodic(std::size_t count, std::size_t period, unsigned seed) {
  const TBytes block = RandomBytes(period, seed);
  TBytes bytes;
  for (std::size_t i = 0; i < count; ++i) bytes.push_back(block[i % period]);
  return bytes;
}

TBytes Prefix(const TBytes& bytes, std::size_t count) {
  return TBytes(bytes.begin(), bytes.begin() + std::min(count, bytes.size()));
}

// ---- Checks ---------------------------------------------------------------------

std::int64_t Size(const TBytes& bytes) {
  return static_cast<std::int64_t>(bytes.size());
}

// The library's stream is the model's, and both decoders give the input back.
void ExpectExact(const TBytes& input, const std::string& what) {
  const TLZHMemoryRun run = Compress(input);
  EXPECT_TRUE(SameBytes(run.Output, ModelCompress(input).Stream)) << what << ", stream";
  EXPECT_EQ(run.Result, Size(run.Output)) << what;
  const TLZHMemoryRun back = Decompress(run.Output);
  EXPECT_EQ(back.Result, Size(input)) << what;
  EXPECT_TRUE(SameBytes(back.Output, input)) << what << ", decoded";
  EXPECT_TRUE(SameBytes(ModelDecompress(run.Output).Output, input)) << what << ", model decoded";
}

// Both decoders agree on any bytes, down to what is written before a failure.
void ExpectDecodesLikeModel(const TBytes& stream, const std::string& what) {
  const TLZHReferenceDecoding model = ModelDecompress(stream);
  const TLZHMemoryRun run = Decompress(stream);
  EXPECT_EQ(run.Result, model.Result) << what;
  EXPECT_TRUE(SameBytes(run.Output, Prefix(model.Output, model.Written))) << what;
}

// ---- Byte-identical streams ------------------------------------------------------

TEST(Lzh, MatchesModelOnCorpus) {
  // The model is slow in a debug build; the first 128 KiB of each file wrap
  // the window six times, which is all the comparison needs.
  constexpr std::size_t kEnough = 128 << 10;
  const auto files = test::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no sample corpus";
  for (const auto& path : files) {
    ExpectExact(Prefix(test::ReadFileBytes(path.string()), kEnough), path.filename().string());
  }
}

TEST(Lzh, MatchesModelOnGeneratedData) {
  ExpectExact(RandomBytes(60000, 1), "random");
  ExpectExact(Text(120000, 2), "text wrapping the window five times");
  ExpectExact(Runs(60000, 40, 3), "short runs");
  ExpectExact(Runs(60000, 3000, 4), "long runs");
  ExpectExact(TBytes(30000, 0xAB), "one byte repeated");
  ExpectExact(RandomWithCopies(60000, 5), "random with copies");
  // Repeats at the far end of the window's reach, and just beyond it.
  for (std::size_t period : {21838, 21839, 21903}) {
    ExpectExact(Periodic(50000, period, 6), "period " + std::to_string(period));
  }
}

TEST(Lzh, MatchesModelOverManyWindows) {
  // The match finder moves what it holds every 32 KiB once past the first
  // 64 KiB; streams of several such moves, with matches at the far end of
  // the window and strings just out of it, must stay the model's.
  ExpectExact(Periodic(240000, 21839, 19), "period at the window's reach");
  ExpectExact(Periodic(240000, 21880, 20), "period beyond it");
  ExpectExact(RandomWithCopies(240000, 21), "random with copies");
}

TEST(Lzh, MatchesModelOnShortInputs) {
  const TBytes random = RandomBytes(100, 7);
  const TBytes text = Text(100, 8);
  const TBytes runs = Runs(100, 6, 9);
  for (std::size_t size = 0; size <= 100; ++size) {
    ExpectExact(Prefix(random, size), "random " + std::to_string(size));
    ExpectExact(Prefix(text, size), "text " + std::to_string(size));
    ExpectExact(Prefix(runs, size), "runs " + std::to_string(size));
    ExpectExact(TBytes(size, 0), "zeros " + std::to_string(size));
  }
}

TEST(Lzh, MatchesModelAroundChunkSizes) {
  const TBytes text = Text(3 * kSmallChunk + 1, 10);
  const TBytes random = RandomBytes(2 * kSmallChunk + 1, 11);
  for (std::size_t chunks : {1, 2, 3}) {
    for (std::size_t size :
         {chunks * kSmallChunk - 1, chunks * kSmallChunk, chunks * kSmallChunk + 1}) {
      ExpectExact(Prefix(text, size), "text " + std::to_string(size));
      if (chunks < 3) ExpectExact(Prefix(random, size), "random " + std::to_string(size));
    }
  }
}

// ---- The stream format by hand ---------------------------------------------------

TEST(Lzh, EmptyInputIsTheEndCodeAlone) {
  // The end code's leaf is node 256 + 629 = 885; up to the root the nodes
  // are 442, 221, 110, 55, 27, 13, 6, 3, so the path from the root is
  // 1 0 1 1 1 0 1 0 1 (odd nodes are right children).  Padded to a word:
  // 1011 1010 1000 0000 = 0xBA80, low byte first.
  const TLZHMemoryRun run = Compress({});
  EXPECT_EQ(run.Output, (TBytes{0x80, 0xBA}));
  EXPECT_EQ(run.Result, 2);
  EXPECT_EQ(run.Writes, std::vector<std::size_t>{2});
  const TLZHMemoryRun back = Decompress(run.Output);
  EXPECT_EQ(back.Result, 0);
  EXPECT_TRUE(back.Output.empty());
}

TEST(Lzh, FirstThreeBytesAreLiterals) {
  // Even three equal bytes: no match can be made before three are stored.
  for (const TBytes& input :
       {TBytes{'x'}, TBytes{'x', 'y'}, TBytes{0, 0, 0}, TBytes{'a', 'b', 'c'}}) {
    const TLZHReferenceEncoding model = ModelCompress(input);
    EXPECT_EQ(model.Literals, Size(input));
    EXPECT_TRUE(model.Matches.empty());
    test::TLZHReferenceSymbolWriter literals;
    for (std::uint8_t byte : input) literals.PutSymbol(byte);
    EXPECT_EQ(model.Stream, literals.Finish());
    ExpectExact(input, "short input");
  }
}

TEST(Lzh, LookAheadHoldsShortInputsWhole) {
  // Three literals and 64 bytes of look-ahead: 67 bytes are read before the
  // first search, one more is read in the first step.
  for (std::size_t size : {4, 66, 67, 68, 69}) {
    const TBytes input = Runs(size, 5, static_cast<unsigned>(size));
    const TLZHMemoryRun back = Decompress(Compress(input).Output);
    EXPECT_EQ(back.Result, Size(input)) << size;
    EXPECT_EQ(back.Output, input) << size;
  }
}

// Text with a three-byte marker at offset 10, inside the look-ahead, and
// again at 2,100.  A match of three bytes that far back (2,090 - 3 > 1,359)
// is taken only from binary input.  `binary_at` places one byte above 0x7F.
TBytes MarkedInput(std::size_t binary_at) {
  TBytes input = Text(2200, 12);
  const TBytes marker = {0x01, 0x02, 0x03};
  std::copy(marker.begin(), marker.end(), input.begin() + 10);
  std::copy(marker.begin(), marker.end(), input.begin() + 2100);
  input[2103] = 0x04;  // the match ends after the marker
  if (binary_at < input.size()) input[binary_at] = 0xC0;
  return input;
}

bool HasFarMarkerMatch(const TLZHReferenceEncoding& model) {
  return std::any_of(model.Matches.begin(), model.Matches.end(), [](const auto& match) {
    return match.At == 2100 && match.Length == 3 && match.Distance == 2090;
  });
}

TEST(Lzh, OnlyBytesFourToSixtySevenDecideBinary) {
  struct TCase {
    std::size_t binary_at;  // beyond the input: none
    bool binary;
  };
  for (const TCase& c : {TCase{99999, false}, TCase{0, false}, TCase{2, false}, TCase{3, true},
                         TCase{66, true}, TCase{67, false}, TCase{1000, false}}) {
    const TBytes input = MarkedInput(c.binary_at);
    const TLZHReferenceEncoding model = ModelCompress(input);
    EXPECT_EQ(model.Binary, c.binary) << c.binary_at;
    EXPECT_EQ(HasFarMarkerMatch(model), c.binary) << c.binary_at;
    ExpectExact(input, "byte above 0x7F at " + std::to_string(c.binary_at));
  }
}

TEST(Lzh, DecompressingTwiceGivesTheSameOutput) {
  const TBytes input = Text(50000, 13);
  const TBytes stream = Compress(input).Output;
  EXPECT_EQ(Decompress(stream).Output, input);
  EXPECT_EQ(Decompress(stream).Output, input);
}

TEST(Lzh, EveryCutOfAShortStreamIsTruncated) {
  const TBytes stream = Compress(Text(400, 14)).Output;
  ASSERT_GT(stream.size(), 100u);
  for (std::size_t size = 0; size < stream.size(); ++size) {
    const TBytes cut = Prefix(stream, size);
    EXPECT_EQ(ModelDecompress(cut).Result, kLZHTruncated) << size;
    const TLZHMemoryRun run = Decompress(cut);
    EXPECT_EQ(run.Result, kLZHTruncated) << size;
    EXPECT_TRUE(run.Output.empty()) << size;
  }
}

TEST(Lzh, CutsOfALongStreamAreTruncated) {
  // Cut around the end of the first input chunk, at the end of the second and
  // just before the end code; what was decoded by then is written in whole
  // output chunks.
  const TBytes stream = Compress(RandomBytes(90000, 15)).Output;
  ASSERT_GT(stream.size(), 2 * kLargeChunk);
  for (std::size_t size :
       {kLargeChunk - 2, kLargeChunk - 1, kLargeChunk, kLargeChunk + 1, kLargeChunk + 2,
        2 * kLargeChunk, stream.size() - 2, stream.size() - 1}) {
    const TBytes cut = Prefix(stream, size);
    EXPECT_EQ(ModelDecompress(cut).Result, kLZHTruncated) << size;
    ExpectDecodesLikeModel(cut, "cut at " + std::to_string(size));
  }
}

TEST(Lzh, CutInsideRawDistanceBitsIsTruncated) {
  const TLZHReferenceEncoding model = ModelCompress(Text(5000, 16));
  // The first match whose raw bits run on into the next word.
  const auto straddles = [](const test::TLZHReferenceMatch& match) {
    return match.RawBitAt / 16 != (match.RawBitAt + match.RawBits - 1) / 16;
  };
  const auto match = std::find_if(model.Matches.begin(), model.Matches.end(), straddles);
  ASSERT_NE(match, model.Matches.end());
  const TBytes cut = Prefix(model.Stream, (match->RawBitAt / 16 + 1) * 2);
  const TLZHReferenceDecoding decoded = ModelDecompress(cut);
  EXPECT_EQ(decoded.Result, kLZHTruncated);
  // Every earlier match was decoded, this one not.
  EXPECT_EQ(decoded.Matches.size(), static_cast<std::size_t>(match - model.Matches.begin()));
  EXPECT_EQ(Decompress(cut).Result, kLZHTruncated);
}

TEST(Lzh, OddTrailingByteIsIgnored) {
  for (const TBytes& input : {TBytes{}, Text(1000, 17), RandomBytes(40000, 18)}) {
    TBytes stream = Compress(input).Output;
    stream.push_back(0xFF);
    const TLZHMemoryRun run = Decompress(stream);
    EXPECT_EQ(run.Result, Size(input));
    EXPECT_TRUE(SameBytes(run.Output, input));
  }
}

// ---- Weights of the tree ---------------------------------------------------------

TEST(Lzh, HalvesTheWeightsWhenTheRootReaches2000) {
  const TBytes input = RandomBytes(20000, 1);
  const TLZHReferenceEncoding model = ModelCompress(input);
  EXPECT_GT(model.Tree.Halvings(), 10);
  EXPECT_EQ(model.Tree.PassesOverHalvingWeight(), 0);
  // Halved in the first recomputation of an update, the weights decide the
  // exchanges that follow in the same update.
  EXPECT_GT(model.Tree.ExchangesAfterHalving(), 0);
  ExpectExact(input, "random");
}

TEST(Lzh, RootPassing2000KeepsItsWeights) {
  const TBytes early = RandomWithCopies(3000, 7);
  const TLZHReferenceEncoding model = ModelCompress(early);
  EXPECT_EQ(model.Tree.PassesOverHalvingWeight(), 1);
  EXPECT_EQ(model.Tree.Halvings(), 0);
  ExpectExact(early, "passing 2000");
  // Unhalved, the root's weight climbs past 65,535, comes round to 2,000
  // exactly and halves, then passes again.
  const TBytes late = RandomWithCopies(150000, 7);
  const TLZHReferenceEncoding wrapped = ModelCompress(late);
  EXPECT_EQ(wrapped.Tree.PassesOverHalvingWeight(), 2);
  EXPECT_EQ(wrapped.Tree.Halvings(), 1);
  ExpectExact(late, "weights past 65,535");
}

TEST(Lzh, LeafUnderTheRootChangesAlone) {
  // Zeros are one match symbol over and over; its leaf climbs to the root.
  const TBytes zeros(30000, 0);
  EXPECT_GT(ModelCompress(zeros).Tree.UpdatesAtRoot(), 400);
  ExpectExact(zeros, "zeros");
}

// ---- Matches ---------------------------------------------------------------------

TEST(Lzh, MatchesStayWithinTheirLimits) {
  const std::vector<TBytes> inputs = {Text(60000, 19), Runs(60000, 200, 20), TBytes(30000, 0),
                                      RandomWithCopies(60000, 21), Periodic(60000, 21838, 22)};
  for (const TBytes& input : inputs) {
    const TLZHReferenceEncoding model = ModelCompress(input);
    // The library's stream, as the model's decoder reads it.
    const TLZHReferenceDecoding decoded = ModelDecompress(Compress(input).Output);
    EXPECT_EQ(decoded.Output, input);
    EXPECT_EQ(decoded.Matches, model.Matches);
    ASSERT_FALSE(decoded.Matches.empty());
    for (const auto& match : decoded.Matches) {
      EXPECT_GE(match.Length, 3);
      EXPECT_LE(match.Length, 64);
      EXPECT_LE(match.Length, match.Distance) << "reaches into its own output";
      EXPECT_LE(static_cast<std::size_t>(match.Distance), match.At) << "reaches before the start";
      EXPECT_LT(match.Distance, kLZHWindowSize);
    }
  }
}

// ---- Chunks, hooks and files -----------------------------------------------------

std::vector<TLZHHookCall> HookCallsFor(const std::vector<std::size_t>& writes, bool decompressing) {
  std::vector<TLZHHookCall> calls;
  for (std::size_t count : writes) {
    calls.push_back({static_cast<std::int32_t>(count), decompressing});
  }
  return calls;
}

// Reads report whole chunks but the last, and exactly `total` bytes.
void ExpectChunkedReads(const std::vector<TLZHHookCall>& reads, std::size_t chunk,
                        std::size_t total, bool decompressing) {
  std::size_t sum = 0;
  std::size_t short_reads = 0;
  for (const TLZHHookCall& call : reads) {
    EXPECT_EQ(call.Decompressing, decompressing);
    EXPECT_TRUE(short_reads == 0) << "a read after a short one";
    if (static_cast<std::size_t>(call.Count) != chunk) ++short_reads;
    sum += call.Count;
  }
  EXPECT_EQ(sum, total);
}

TEST(Lzh, CompressionReadsAndWritesWholeChunks) {
  const TBytes input = RandomBytes(100000, 23);  // the stream is a little longer
  const TLZHMemoryRun run = Compress(input);
  ASSERT_EQ(run.Writes.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(run.Writes[i], kLargeChunk);
  EXPECT_EQ(run.Result, Size(run.Output));
  EXPECT_EQ(run.WriteHooks, HookCallsFor(run.Writes, false));
  EXPECT_EQ(run.Taken, input.size());
  ExpectChunkedReads(run.ReadHooks, kSmallChunk, input.size(), false);
  EXPECT_GE(run.ReadHooks.size(), 7u);
}

TEST(Lzh, DecompressionReadsAndWritesWholeChunks) {
  const TBytes input = Text(100000, 24);
  const TBytes stream = Compress(input).Output;
  const TLZHMemoryRun run = Decompress(stream);
  EXPECT_EQ(run.Result, Size(input));
  EXPECT_EQ(run.Writes,
            (std::vector<std::size_t>{kSmallChunk, kSmallChunk, kSmallChunk, kSmallChunk,
                                      kSmallChunk, kSmallChunk, 100000 - 6 * kSmallChunk}));
  EXPECT_EQ(run.WriteHooks, HookCallsFor(run.Writes, true));
  ExpectChunkedReads(run.ReadHooks, kLargeChunk, run.Taken, true);
  EXPECT_GE(run.Taken, stream.size());
}

TEST(Lzh, ReadPiecesDoNotChangeTheResult) {
  const TBytes input = Text(40000, 25);
  const TLZHMemoryRun whole = Compress(input);
  for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1000}, kSmallChunk + 1}) {
    const TLZHMemoryRun pieces = Compress(input, piece);
    EXPECT_TRUE(SameBytes(pieces.Output, whole.Output)) << "pieces of " << piece;
    EXPECT_EQ(pieces.ReadHooks, whole.ReadHooks) << "pieces of " << piece;
    const TLZHMemoryRun back = Decompress(whole.Output, piece);
    EXPECT_EQ(back.Result, Size(input)) << "pieces of " << piece;
    EXPECT_TRUE(SameBytes(back.Output, input)) << "pieces of " << piece;
  }
}

TEST(Lzh, FilesStartAtTheirCurrentPositions) {
  test::TScratchDir dir;
  const TBytes input = Text(50000, 26);
  const TBytes stream = Compress(input).Output;
  const TBytes leading = {'l', 'e', 'a', 'd'};

  TBytes source = leading;
  source.insert(source.end(), input.begin(), input.end());
  test::WriteFileBytes(dir.File("source"), source);
  {
    TFile in, out;
    ASSERT_TRUE(in.Open(dir.File("source"), TFile::TMode::kReadDenyWrite));
    ASSERT_TRUE(out.Open(dir.File("packed"), TFile::TMode::kCreateTruncate));
    ASSERT_TRUE(in.Seek(4));
    out.Write("head", 4);
    EXPECT_EQ(LZHCompress(in, out), Size(stream));
  }
  TBytes packed = test::ReadFileBytes(dir.File("packed"));
  ASSERT_GE(packed.size(), 4u);
  EXPECT_TRUE(SameBytes(TBytes(packed.begin() + 4, packed.end()), stream));

  // Leading bytes before the stream, and another stream behind it.
  packed.insert(packed.end(), stream.begin(), stream.end());
  test::WriteFileBytes(dir.File("packed"), packed);
  {
    TFile in, out;
    ASSERT_TRUE(in.Open(dir.File("packed"), TFile::TMode::kReadDenyWrite));
    ASSERT_TRUE(out.Open(dir.File("unpacked"), TFile::TMode::kCreateTruncate));
    ASSERT_TRUE(in.Seek(4));
    out.Write(leading.data(), leading.size());
    EXPECT_EQ(LZHDecompress(in, out), Size(input));
  }
  EXPECT_TRUE(SameBytes(test::ReadFileBytes(dir.File("unpacked")), source));
}

TEST(Lzh, FailuresOfTheFunctionsPassThrough) {
  const TBytes input = RandomBytes(40000, 27);
  const TBytes stream = Compress(input).Output;
  const TLZHWriteFunc refuse = [](const std::uint8_t*, std::size_t) {
    throw EInOutError("disk full", kInOutWriteFailed);
  };
  const TLZHReadFunc fail = [](std::uint8_t*, std::size_t) -> std::size_t {
    throw std::runtime_error("read");
  };
  std::size_t taken = 0;
  const TLZHReadFunc read = [&](std::uint8_t* buffer, std::size_t count) {
    count = std::min(count, stream.size() - taken);
    std::copy_n(stream.data() + taken, count, buffer);
    taken += count;
    return count;
  };
  const TLZHWriteFunc ignore = [](const std::uint8_t*, std::size_t) {};
  EXPECT_THROW(LZHCompress(read, refuse), EInOutError);
  EXPECT_THROW(LZHCompress(fail, ignore), std::runtime_error);
  taken = 0;
  EXPECT_THROW(LZHDecompress(read, refuse), EInOutError);
  EXPECT_THROW(LZHDecompress(fail, ignore), std::runtime_error);
  // Nothing of the failed runs is left over.
  ExpectExact(input, "after failures");
}

// ---- Damaged streams -------------------------------------------------------------

TEST(Lzh, DecodesArbitraryBytesLikeTheModel) {
  for (std::size_t size : {1, 2, 3, 4, 100, 5000, 40000, 70000}) {
    ExpectDecodesLikeModel(RandomBytes(size, static_cast<unsigned>(size)),
                           "random " + std::to_string(size));
  }
  ExpectDecodesLikeModel(TBytes(70000, 0), "zeros");
  ExpectDecodesLikeModel(TBytes(70000, 0xFF), "ones");
  // A good stream with a few bytes changed.
  const TBytes stream = Compress(Text(60000, 28)).Output;
  std::mt19937 random(29);
  for (int round = 0; round < 10; ++round) {
    TBytes damaged = stream;
    for (int i = 0; i < 3; ++i) damaged[random() % damaged.size()] ^= 1 << (random() % 8);
    ExpectDecodesLikeModel(damaged, "damaged " + std::to_string(round));
  }
}

TEST(Lzh, DistanceBeforeTheStartGivesZeros) {
  // "abc", then five bytes from 21,844 back: ahead of anything written.
  test::TLZHReferenceSymbolWriter early;
  for (char c : {'a', 'b', 'c'}) early.PutSymbol(c);
  early.PutMatch(5, 5, 16383);  // 16,383 + 5,456 + 5
  TLZHMemoryRun run = Decompress(early.Finish());
  EXPECT_EQ(run.Result, 8);
  EXPECT_EQ(run.Output, (TBytes{'a', 'b', 'c', 0, 0, 0, 0, 0}));

  // A first symbol that copies 64 bytes from the full window size back, the
  // very position it writes; then 'x' and three bytes from 3 back.
  test::TLZHReferenceSymbolWriter first;
  first.PutMatch(64, 5, 16383);  // 16,383 + 5,456 + 64 = 21,903
  first.PutSymbol('x');
  first.PutMatch(3, 0, 0);
  TBytes expected(64, 0);
  expected.insert(expected.end(), {'x', 0, 0, 'x'});
  run = Decompress(first.Finish());
  EXPECT_EQ(run.Result, Size(expected));
  EXPECT_EQ(run.Output, expected);
}

TEST(Lzh, MatchesWithoutEndCodeRunOut) {
  // 30,000 matches of 64 bytes, over a hundred output chunks, and no end
  // code.
  test::TLZHReferenceSymbolWriter writer;
  for (char c : {'a', 'b', 'c'}) writer.PutSymbol(c);
  for (int i = 0; i < 30000; ++i) writer.PutMatch(64, i % 2, i % 16);
  const TBytes stream = writer.Flush();
  const TLZHReferenceDecoding model = ModelDecompress(stream);
  EXPECT_EQ(model.Result, kLZHTruncated);
  // The padding of the last word may decode to one more match.
  EXPECT_GE(model.Output.size(), 3 + 30000 * 64u);
  ExpectDecodesLikeModel(stream, "no end code");
}

// ---- The busy flag and the codec of level 2 --------------------------------------

TEST(Lzh, BusyFlagAdmitsOneUser) {
  ASSERT_FALSE(LZHAcquired());
  EXPECT_TRUE(LZHAcquire());
  EXPECT_TRUE(LZHAcquired());
  EXPECT_FALSE(LZHAcquire());
  // The codec itself does not look at the flag.
  ExpectExact(Text(1000, 30), "while acquired");
  LZHRelease();
  EXPECT_FALSE(LZHAcquired());
  EXPECT_TRUE(LZHAcquire());
  LZHRelease();
}

TEST(Lzh, PreparedAsCodecOfLevelTwo) {
  ASSERT_FALSE(LZHAcquired());
  EXPECT_TRUE(LZInitCodec(2));
  EXPECT_EQ(LZCurrentCodec(), 2);
  EXPECT_TRUE(LZCodecReady());
  EXPECT_TRUE(LZHAcquired());
  LZDoneCodec();
  EXPECT_EQ(LZCurrentCodec(), -1);
  EXPECT_FALSE(LZCodecReady());
  EXPECT_FALSE(LZHAcquired());

  EXPECT_TRUE(LZInitCodec(0x82));  // bit 7 is ignored
  EXPECT_EQ(LZCurrentCodec(), 2);
  EXPECT_FALSE(LZHAcquire()) << "a second compression would start";
  LZDoneCodec();
  EXPECT_FALSE(LZHAcquired());
}

TEST(Lzh, LevelTwoIsRefusedWhileBusy) {
  ASSERT_TRUE(LZHAcquire());
  EXPECT_FALSE(LZInitCodec(2));
  EXPECT_TRUE(LZHAcquired());
  LZHRelease();
  LZDoneCodec();
}

}  // namespace
}  // namespace zorellz
