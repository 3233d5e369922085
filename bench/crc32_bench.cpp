// CRC-32 throughput, ours beside zlib's, per corpus file and over the whole
// corpus.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "bench/BenchCorpus.h"
#include "zorellz/codec/ZrlCRC.h"

namespace zorellz::bench {
namespace {

using TCrcFunction = std::uint32_t (*)(const std::string& data);

std::uint32_t OurCRC(const std::string& data) {
  return CRC32Of(data.data(), data.size());
}

std::uint32_t ZlibCRC(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

void CrcOfFile(benchmark::State& state, TCrcFunction crc, const TCorpusFile* file) {
  for (auto _ : state) benchmark::DoNotOptimize(crc(file->Data));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file->Data.size()));
}

void CrcOfCorpus(benchmark::State& state, TCrcFunction crc) {
  std::int64_t bytes = 0;
  for (const TCorpusFile& file : Corpus()) bytes += static_cast<std::int64_t>(file.Data.size());
  for (auto _ : state) {
    for (const TCorpusFile& file : Corpus()) benchmark::DoNotOptimize(crc(file.Data));
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

// One benchmark per corpus file and implementation, named so that the two
// implementations of a file sort next to each other.
bool RegisterAll() {
  const std::pair<const char*, TCrcFunction> implementations[] = {{"ours", OurCRC},
                                                                  {"zlib", ZlibCRC}};
  for (const TCorpusFile& file : Corpus()) {
    for (const auto& [label, crc] : implementations) {
      const std::string name = "CRC32/" + file.Name + "/" + label;
      benchmark::RegisterBenchmark(name.c_str(), CrcOfFile, crc, &file);
    }
  }
  for (const auto& [label, crc] : implementations) {
    const std::string name = std::string("CRC32/all/") + label;
    benchmark::RegisterBenchmark(name.c_str(), CrcOfCorpus, crc);
  }
  return true;
}

const bool kRegistered = RegisterAll();

}  // namespace
}  // namespace zorellz::bench
