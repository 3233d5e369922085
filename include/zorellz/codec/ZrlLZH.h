// The adaptive Huffman LZ codec of maximum compression: an LZ77 coder over a
// 21,903-byte window whose symbols (256 literals, an end code, 372 codes of
// match length and distance class) are coded by one adaptive Huffman tree of
// 629 leaves, each match code followed by 4 to 14 raw distance bits.  The
// stream is a sequence of 16-bit little-endian words, first bit in the most
// significant position, ending with the word that holds the end code.
//
// Unlike the LZSS codec, this one reads and writes its input and output
// itself in fixed chunks: compression reads 16,384 bytes and writes 32,768,
// decompression reads 32,768 and writes 16,384 at a time.  It starts at the
// files' current positions.  Compression reads its input to the end;
// decompression stops at the end code but may have read up to one chunk
// beyond it, so a caller that goes on reading the input repositions it first.
//
// Each call builds a fresh tree and window, so streams are independent and
// may run on several threads at once; only the process-wide hooks and busy
// flag (below) are for one caller at a time.  Exceptions of the input and output (such as
// EInOutError) pass through; all working memory is released on every way out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TFile;

inline constexpr int kLZHWindowSize = 21903;
inline constexpr std::int64_t kLZHOutOfMemory = -20;  // working memory unavailable
inline constexpr std::int64_t kLZHTruncated = -21;    // input ended before the end code
// Inputs of this size and more are compressed faster by LZHCompressPipelined
// when a second core is free; below it a second thread costs more than it
// saves.
inline constexpr std::int64_t kLZHPipelinedFrom = 256 * 1024;

// Fills `buffer` with up to `count` bytes and returns how many it stored; 0
// only when the input is exhausted.  The codec calls it again until a chunk
// is full or it returns 0, so a source may deliver any amount at a time.
using TLZHReadFunc = std::function<std::size_t(std::uint8_t* buffer, std::size_t count)>;
// Takes all `count` bytes of `buffer`, or raises.
using TLZHWriteFunc = std::function<void(const std::uint8_t* buffer, std::size_t count)>;

// Called with the byte count of every chunk read or written, and whether the
// call decompresses.
using TLZHProgressHook = std::function<void(std::int32_t count, bool decompressing)>;

struct TLZHProgressHooks {
  TLZHProgressHook Read;   // every chunk read
  TLZHProgressHook Write;  // every chunk written
};

// Installs the process's read- and write-progress hooks, which the calls
// without hooks of their own report to; either may be empty.
void LZHSetProgressHooks(TLZHProgressHook read_hook, TLZHProgressHook write_hook);

// Compresses `input` from its position to its end into `output`; returns the
// number of compressed bytes written, or kLZHOutOfMemory.
std::int64_t LZHCompress(TFile& input, TFile& output);
std::int64_t LZHCompress(const TLZHReadFunc& read, const TLZHWriteFunc& write);
std::int64_t LZHCompress(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                         const TLZHProgressHooks& hooks);
// The same stream, byte for byte, made on several threads: `threads` helpers
// (0: one per core) find the matches in parts of the input while the calling
// thread reads it and codes them.  The functions and hooks are called on the
// calling thread only.  Pays on inputs of more than a few chunks when a
// second core is free; with no thread to be had it runs as the above.
std::int64_t LZHCompressPipelined(TFile& input, TFile& output);
std::int64_t LZHCompressPipelined(const TLZHReadFunc& read, const TLZHWriteFunc& write);
std::int64_t LZHCompressPipelined(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                                  const TLZHProgressHooks& hooks, int threads = 0);

// Decompresses one stream from `input` into `output`; returns the number of
// bytes written, kLZHOutOfMemory, or kLZHTruncated (whether the input ends
// inside a Huffman code or inside the raw distance bits; only whole words
// count, and words beyond the bytes actually read are not part of the
// stream).  Any input is safe: a corrupt stream cannot address outside the
// window, and the window starts zero-filled.
std::int64_t LZHDecompress(TFile& input, TFile& output);
std::int64_t LZHDecompress(const TLZHReadFunc& read, const TLZHWriteFunc& write);
std::int64_t LZHDecompress(const TLZHReadFunc& read, const TLZHWriteFunc& write,
                           const TLZHProgressHooks& hooks);

// The process's busy flag that keeps a caller from starting a second
// compression: LZHAcquire returns false when it is set, otherwise sets it
// and returns true.  The codec operations do not look at it.  The engine
// keeps a flag per operation (TLZCodecSet).
bool LZHAcquire();
void LZHRelease();
bool LZHAcquired();

}  // namespace zorellz
ZORELLZ_API_END
