#include <memory>

#include "archive/codec/LZHBitIO.h"
#include "archive/codec/LZHMatchFinder.h"
#include "archive/codec/LZHModel.h"
#include "archive/codec/LZHParse.h"
#include "archive/codec/LZHStream.h"
#include "zorellz/codec/ZrlLZH.h"

namespace zorellz {
namespace {

struct TWorkingMemory {
  std::uint8_t Input[kLZHPlainChunk];
  std::uint8_t Output[kLZHPackedChunk];
  TLZHMatchFinder Finder;
  TLZHModel Model;
};

}  // namespace

std::int64_t LZHCompress(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                         const TLZHProgressHooks& hooks) {
  const std::unique_ptr<TWorkingMemory> memory = LZHAllocate<TWorkingMemory>();
  if (memory == nullptr) return kLZHOutOfMemory;
  TLZHPlainSource source(read, hooks.Read, memory->Input);
  TLZHBitWriter bits(write, hooks.Write, memory->Output);
  TLZHSymbolCoder coder(memory->Model, bits);
  TLZHParser<TLZHPlainSource, TLZHSymbolCoder>(memory->Finder, source, coder).Run();
  bits.Flush();
  return bits.Bytes();
}

}  // namespace zorellz
