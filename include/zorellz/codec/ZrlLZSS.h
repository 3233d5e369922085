// The LZSS codec of fast compression: a 4,096-byte ring that starts filled
// with zero bytes, matches of 3 to 18 bytes found through one splayed search
// tree per first byte, items grouped eight to a flag byte.  The stream has no
// header and no end code.
//
// The codec does not touch files.  It pulls input and pushes output through
// two functions that the engine installs with SetIOFunctions, one
// call per 262,144-byte buffer.  A read returns how many bytes it stored (any
// number up to kLZSSBufferSize; fewer is not the end); 0 ends the input, and
// the codec does not call read again for that stream.  Every stream ends with
// one write of whatever is pending, also when that is 0 bytes.  A write that
// reports fewer bytes than it was given raises EInOutError; exceptions of the
// two functions pass through unchanged.
//
// Encode and Decode run only between Init and Done, with both functions
// installed; otherwise they raise std::logic_error and call neither function.
// The LZSS... functions act on one process-wide coder, for one caller at a
// time; the engine gives every operation a coder of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

inline constexpr std::uint32_t kLZSSBufferSize = 262144;
inline constexpr int kLZSSRingSize = 4096;      // N: positions 0 .. 4,095
inline constexpr int kLZSSMaxMatch = 18;        // F: longest match
inline constexpr int kLZSSThreshold = 2;        // matches must be longer to be coded
inline constexpr int kLZSSNil = kLZSSRingSize;  // "no node" in the search trees
// Inputs of this size and more are encoded faster by EncodePipelined when a
// second core is free; below it a second thread costs more than it saves.
inline constexpr std::int64_t kLZSSPipelinedFrom = 1024 * 1024;

// Fills `buffer` with up to kLZSSBufferSize bytes and returns the count.
using TLZSSReadFunc = std::function<std::uint32_t(std::uint8_t* buffer)>;
// Takes `count` bytes of `buffer` and returns how many it took.
using TLZSSWriteFunc =
    std::function<std::uint32_t(const std::uint8_t* buffer, std::uint32_t count)>;

struct TLZSSState;

// One LZSS coder: its buffers and its two functions.  Independent objects
// run independently, one stream at a time each, on any thread.
class TLZSSCodec {
 public:
  TLZSSCodec();
  ~TLZSSCodec();
  TLZSSCodec(const TLZSSCodec&) = delete;
  TLZSSCodec& operator=(const TLZSSCodec&) = delete;

  // Installs the input and output functions for every later stream.
  void SetIOFunctions(TLZSSReadFunc read, TLZSSWriteFunc write);
  // Allocates the buffers; false when memory is short.  On a coder that is
  // already initialised: true, and nothing new is allocated.
  bool Init();
  // Releases the buffers.
  void Done();
  bool Initialised() const;

  // Compresses everything that the read function delivers.
  void Encode();
  // The same stream, byte for byte, with the same calls of the functions,
  // made on two threads: a helper takes part of the search for matches.
  // The functions are called on the calling thread only.  Pays on inputs of
  // a MiB and more when a second core is free; with no thread or memory to
  // be had it runs as Encode.
  void EncodePipelined();
  // Decompresses everything that the read function delivers.  Any input
  // gives some output: positions are taken modulo the ring, and a last match
  // item without its second byte is dropped.
  void Decode();

 private:
  std::unique_ptr<TLZSSState> state_;
};

// The process's coder, on which the functions below act.
TLZSSCodec& LZSSDefaultCodec();

void LZSSSetIOFunctions(TLZSSReadFunc read, TLZSSWriteFunc write);
bool LZSSInit();
void LZSSDone();
bool LZSSInitialised();
void LZSSEncode();
void LZSSEncodePipelined();
void LZSSDecode();

}  // namespace zorellz
ZORELLZ_API_END
