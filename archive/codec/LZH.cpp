// The codec's process-wide hooks, its chunked input and the overloads that
// run it on files.
#include <stdexcept>
#include <utility>

#include "archive/codec/LZHStream.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

TLZHProgressHooks& ProcessHooks() {
  static TLZHProgressHooks hooks;
  return hooks;
}

TLZHReadFunc FileReader(TFile& file) {
  return [&file](std::uint8_t* buffer, std::size_t count) { return file.Read(buffer, count); };
}

TLZHWriteFunc FileWriter(TFile& file) {
  return [&file](const std::uint8_t* buffer, std::size_t count) { file.Write(buffer, count); };
}

}  // namespace

std::size_t LZHFillChunk(const TLZHReadFunc& read, std::uint8_t* buffer, std::size_t size) {
  std::size_t filled = 0;
  while (filled < size) {
    const std::size_t count = read(buffer + filled, size - filled);
    if (count == 0) break;
    if (count > size - filled) throw std::logic_error("LZH read function overfilled its buffer");
    filled += count;
  }
  return filled;
}

void LZHSetProgressHooks(TLZHProgressHook read_hook, TLZHProgressHook write_hook) {
  ProcessHooks() = TLZHProgressHooks{std::move(read_hook), std::move(write_hook)};
}

// A copy, so that a hook may install other hooks while the stream runs.
std::int64_t LZHCompress(const TLZHReadFunc& read, const TLZHWriteFunc& write) {
  return LZHCompress(read, write, TLZHProgressHooks(ProcessHooks()));
}

std::int64_t LZHCompressPipelined(const TLZHReadFunc& read, const TLZHWriteFunc& write) {
  return LZHCompressPipelined(read, write, TLZHProgressHooks(ProcessHooks()));
}

std::int64_t LZHDecompress(const TLZHReadFunc& read, const TLZHWriteFunc& write) {
  return LZHDecompress(read, write, TLZHProgressHooks(ProcessHooks()));
}

std::int64_t LZHCompress(TFile& input, TFile& output) {
  return LZHCompress(FileReader(input), FileWriter(output));
}

std::int64_t LZHCompressPipelined(TFile& input, TFile& output) {
  return LZHCompressPipelined(FileReader(input), FileWriter(output));
}

std::int64_t LZHDecompress(TFile& input, TFile& output) {
  return LZHDecompress(FileReader(input), FileWriter(output));
}

bool LZHAcquire() {
  return LZDefaultCodecSet().AcquireLZH();
}

void LZHRelease() {
  LZDefaultCodecSet().ReleaseLZH();
}

bool LZHAcquired() {
  return LZDefaultCodecSet().LZHAcquired();
}

}  // namespace zorellz
