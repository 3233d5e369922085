// Compression and decompression speed of both codecs per corpus file and over
// the whole corpus, beside zlib at level 6 on the same inputs.  Speeds count
// uncompressed bytes in both directions; "ratio" is compressed size /
// uncompressed size.  LZH2 compresses on two threads: its CPU time is the
// process's, and its speed is by the clock.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchCorpus.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz::bench {
namespace {

using TCoder = void (*)(const std::string& in, std::string& out);
using TLZHDirection = std::int64_t (*)(const TLZHReadFunc&, const TLZHWriteFunc&);

// Runs one LZH stream over strings in memory.
void RunLZH(TLZHDirection direction, const std::string& in, std::string& out) {
  std::size_t taken = 0;
  out.clear();
  const std::int64_t result = direction(
      [&](std::uint8_t* buffer, std::size_t count) {
        count = std::min(count, in.size() - taken);
        std::copy_n(in.data() + taken, count, buffer);
        taken += count;
        return count;
      },
      [&](const std::uint8_t* buffer, std::size_t count) {
        out.append(reinterpret_cast<const char*>(buffer), count);
      });
  if (result < 0) throw std::runtime_error("LZH stream failed");
}

void LZHCompressString(const std::string& in, std::string& out) {
  RunLZH(LZHCompress, in, out);
}
void LZHCompressPipelinedString(const std::string& in, std::string& out) {
  RunLZH(LZHCompressPipelined, in, out);
}
void LZHDecompressString(const std::string& in, std::string& out) {
  RunLZH(LZHDecompress, in, out);
}

// Runs one LZSS stream over strings in memory.
void RunLZSS(void (*direction)(), const std::string& in, std::string& out) {
  // Allocates nothing when the codec is prepared already.
  if (!LZSSInit()) throw std::runtime_error("LZSS codec memory");
  std::size_t taken = 0;
  out.clear();
  LZSSSetIOFunctions(
      [&](std::uint8_t* buffer) {
        const std::size_t count = std::min<std::size_t>(kLZSSBufferSize, in.size() - taken);
        std::copy_n(in.data() + taken, count, buffer);
        taken += count;
        return static_cast<std::uint32_t>(count);
      },
      [&](const std::uint8_t* buffer, std::uint32_t count) {
        out.append(reinterpret_cast<const char*>(buffer), count);
        return count;
      });
  direction();
}

void LZSSEncodeString(const std::string& in, std::string& out) {
  RunLZSS(LZSSEncode, in, out);
}
void LZSSEncodePipelinedString(const std::string& in, std::string& out) {
  RunLZSS(LZSSEncodePipelined, in, out);
}
void LZSSDecodeString(const std::string& in, std::string& out) {
  RunLZSS(LZSSDecode, in, out);
}

void ZlibDeflate(const std::string& in, std::string& out) {
  uLongf size = compressBound(in.size());
  out.resize(size);
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(in.data()), in.size(), 6) != Z_OK) {
    throw std::runtime_error("deflate failed");
  }
  out.resize(size);
}

// The expected size travels in `out`, as zlib's format does not carry it.
void ZlibInflate(const std::string& in, std::string& out) {
  uLongf size = out.size();
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(in.data()), in.size()) != Z_OK) {
    throw std::runtime_error("inflate failed");
  }
}

struct TCodec {
  const char* Name;
  const char* EncodeName;
  const char* DecodeName;
  TCoder Encode;
  TCoder Decode;  // none when another entry has the same
  bool Threads = false;
};

const TCodec kCodecs[] = {
    {"LZSS", "compress", "decompress", LZSSEncodeString, LZSSDecodeString},
    {"LZSS2", "compress", "", LZSSEncodePipelinedString, nullptr, true},
    {"LZH", "compress", "decompress", LZHCompressString, LZHDecompressString},
    {"LZH2", "compress", "", LZHCompressPipelinedString, nullptr, true},
    {"Zlib6", "deflate", "inflate", ZlibDeflate, ZlibInflate},
};

struct TPrepared {
  std::vector<std::string> Plain;
  std::vector<std::string> Packed;
  std::int64_t PlainBytes = 0;
  std::int64_t PackedBytes = 0;
};

TPrepared Prepare(const TCodec& codec, const std::vector<const TCorpusFile*>& files) {
  TPrepared prepared;
  for (const TCorpusFile* file : files) {
    std::string packed;
    codec.Encode(file->Data, packed);
    prepared.Plain.push_back(file->Data);
    prepared.PlainBytes += static_cast<std::int64_t>(file->Data.size());
    prepared.PackedBytes += static_cast<std::int64_t>(packed.size());
    prepared.Packed.push_back(std::move(packed));
  }
  return prepared;
}

void Report(benchmark::State& state, const TPrepared& prepared) {
  state.SetBytesProcessed(state.iterations() * prepared.PlainBytes);
  state.counters["ratio"] =
      static_cast<double>(prepared.PackedBytes) / static_cast<double>(prepared.PlainBytes);
}

void EncodeFiles(benchmark::State& state, const TCodec* codec,
                 std::vector<const TCorpusFile*> files) {
  const TPrepared prepared = Prepare(*codec, files);
  std::string out;
  for (auto _ : state) {
    for (const std::string& plain : prepared.Plain) {
      codec->Encode(plain, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  Report(state, prepared);
}

void DecodeFiles(benchmark::State& state, const TCodec* codec,
                 std::vector<const TCorpusFile*> files) {
  const TPrepared prepared = Prepare(*codec, files);
  std::string out;
  for (auto _ : state) {
    for (std::size_t i = 0; i < prepared.Packed.size(); ++i) {
      out.resize(prepared.Plain[i].size());
      codec->Decode(prepared.Packed[i], out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  for (std::size_t i = 0; i < prepared.Packed.size(); ++i) {
    out.resize(prepared.Plain[i].size());
    codec->Decode(prepared.Packed[i], out);
    if (out != prepared.Plain[i]) state.SkipWithError("decoded data differ from the original");
  }
  Report(state, prepared);
}

void Register(const std::string& subject, const std::vector<const TCorpusFile*>& files) {
  for (const TCodec& codec : kCodecs) {
    const std::string prefix = std::string(codec.Name) + "/" + subject + "/";
    auto* encode = benchmark::RegisterBenchmark((prefix + codec.EncodeName).c_str(), EncodeFiles,
                                                &codec, files);
    if (codec.Threads) encode->MeasureProcessCPUTime()->UseRealTime();
    if (codec.Decode == nullptr) continue;
    benchmark::RegisterBenchmark((prefix + codec.DecodeName).c_str(), DecodeFiles, &codec, files);
  }
}

bool RegisterAll() {
  std::vector<const TCorpusFile*> all;
  for (const TCorpusFile& file : Corpus()) {
    Register(file.Name, {&file});
    all.push_back(&file);
  }
  Register("all", all);
  return true;
}

const bool kRegistered = RegisterAll();

}  // namespace
}  // namespace zorellz::bench
