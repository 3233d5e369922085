// The codec's module state (busy flag, progress hooks), its chunked input
// and the overloads that run it on files.
#include <stdexcept>
#include <utility>

#include "archive/codec/LZHStream.h"
#include "archive/codec/ZrlLZH.h"
#include "platform/File.h"

namespace zorellz {
namespace {

struct TLZHModule {
  bool Busy = false;
  TLZHProgressHook ReadHook;
  TLZHProgressHook WriteHook;
};

TLZHModule& Module() {
  static TLZHModule module;
  return module;
}

// Calls a copy, so that a hook may install other hooks.
void Report(TLZHProgressHook hook, std::size_t count, bool decompressing) {
  if (hook) hook(static_cast<std::int32_t>(count), decompressing);
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

void LZHReportRead(std::size_t count, bool decompressing) {
  Report(Module().ReadHook, count, decompressing);
}

void LZHReportWrite(std::size_t count, bool decompressing) {
  Report(Module().WriteHook, count, decompressing);
}

void LZHSetProgressHooks(TLZHProgressHook read_hook, TLZHProgressHook write_hook) {
  Module().ReadHook = std::move(read_hook);
  Module().WriteHook = std::move(write_hook);
}

std::int64_t LZHCompress(TFile& input, TFile& output) {
  return LZHCompress(FileReader(input), FileWriter(output));
}

std::int64_t LZHDecompress(TFile& input, TFile& output) {
  return LZHDecompress(FileReader(input), FileWriter(output));
}

bool LZHAcquire() {
  if (Module().Busy) return false;
  Module().Busy = true;
  return true;
}

void LZHRelease() {
  Module().Busy = false;
}

bool LZHAcquired() {
  return Module().Busy;
}

}  // namespace zorellz
