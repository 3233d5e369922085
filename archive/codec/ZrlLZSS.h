// The LZSS codec of fast compression: a 4,096-byte ring that starts filled
// with zero bytes, matches of 3 to 18 bytes found through one splayed search
// tree per first byte, items grouped eight to a flag byte.  The stream has no
// header and no end code.
//
// The codec does not touch files.  It pulls input and pushes output through
// two functions that the engine installs once with LZSSSetIOFunctions, one
// call per 262,144-byte buffer.  A read returns how many bytes it stored (any
// number up to kLZSSBufferSize; fewer is not the end); 0 ends the input, and
// the codec does not call read again for that stream.  Every stream ends with
// one write of whatever is pending, also when that is 0 bytes.  A write that
// reports fewer bytes than it was given raises EInOutError; exceptions of the
// two functions pass through unchanged.
//
// One stream at a time per process.  LZSSEncode and LZSSDecode run only
// between LZSSInit and LZSSDone, with both functions installed; otherwise
// they raise std::logic_error and call neither function.
#pragma once

#include <cstdint>
#include <functional>

namespace zorellz {

inline constexpr std::uint32_t kLZSSBufferSize = 262144;
inline constexpr int kLZSSRingSize = 4096;      // N: positions 0 .. 4,095
inline constexpr int kLZSSMaxMatch = 18;        // F: longest match
inline constexpr int kLZSSThreshold = 2;        // matches must be longer to be coded
inline constexpr int kLZSSNil = kLZSSRingSize;  // "no node" in the search trees

// Fills `buffer` with up to kLZSSBufferSize bytes and returns the count.
using TLZSSReadFunc = std::function<std::uint32_t(std::uint8_t* buffer)>;
// Takes `count` bytes of `buffer` and returns how many it took.
using TLZSSWriteFunc =
    std::function<std::uint32_t(const std::uint8_t* buffer, std::uint32_t count)>;

// Installs the engine's input and output functions for every later stream.
void LZSSSetIOFunctions(TLZSSReadFunc read, TLZSSWriteFunc write);

// Allocates the codec's buffers; false when memory is short.  On a codec that
// is already initialised: true, and nothing new is allocated.
bool LZSSInit();
// Releases the buffers.
void LZSSDone();
bool LZSSInitialised();

// Compresses everything that the read function delivers.
void LZSSEncode();
// Decompresses everything that the read function delivers.  Any input gives
// some output: positions are taken modulo the ring, and a last match item
// without its second byte is dropped.
void LZSSDecode();

}  // namespace zorellz
