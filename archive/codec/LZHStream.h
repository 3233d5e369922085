// Internal to the adaptive Huffman LZ codec: its fixed chunks of input and
// output, and the progress hooks reported once per chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "zorellz/codec/ZrlLZH.h"

namespace zorellz {

inline constexpr std::size_t kLZHPlainChunk = 16384;   // uncompressed bytes
inline constexpr std::size_t kLZHPackedWords = 16384;  // compressed words
inline constexpr std::size_t kLZHPackedChunk = 2 * kLZHPackedWords;

// Calls `read` until `size` bytes are in `buffer` or it returns 0; returns
// how many bytes arrived.
std::size_t LZHFillChunk(const TLZHReadFunc& read, std::uint8_t* buffer, std::size_t size);

// A coder's working memory, or null when there is not enough of it (the
// coder then answers kLZHOutOfMemory).  Its bytes are not cleared: each
// coder writes what it reads first, and clearing would cost a good part of
// the coding of a small file.
template <typename Memory>
std::unique_ptr<Memory> LZHAllocate() {
  try {
    return std::unique_ptr<Memory>(new Memory);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Tells a hook, when there is one, about `count` bytes.
inline void LZHReport(const TLZHProgressHook& hook, std::size_t count, bool decompressing) {
  if (hook) hook(static_cast<std::int32_t>(count), decompressing);
}

}  // namespace zorellz
