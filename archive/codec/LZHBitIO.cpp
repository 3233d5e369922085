#include "archive/codec/LZHBitIO.h"

#include <array>

namespace zorellz {
namespace {

constexpr int kWordBits = 16;

constexpr auto kReversedBytes = [] {
  std::array<std::uint8_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      if (byte & (1 << bit)) table[byte] |= static_cast<std::uint8_t>(0x80 >> bit);
    }
  }
  return table;
}();

}  // namespace

std::uint32_t ReversedBits(std::uint32_t value, int count) {
  const std::uint32_t reversed16 =
      (kReversedBytes[value & 0xFF] << 8) | kReversedBytes[(value >> 8) & 0xFF];
  return reversed16 >> (kWordBits - count);
}

void TLZHBitWriter::PutCode(const TLZHCode& code) {
  int word = (code.Length - 1) / 64;
  int count = code.Length - 64 * word;
  for (; word >= 0; --word, count = 64) {
    const std::uint64_t bits = code.Words[word];
    if (count > 32) {
      PutBits(static_cast<std::uint32_t>(bits >> 32), count - 32);
      count = 32;
    }
    const std::uint32_t low = static_cast<std::uint32_t>(bits);
    PutBits(count == 32 ? low : low & ((1u << count) - 1), count);
  }
}

void TLZHBitWriter::PutRaw(std::uint32_t value, int count) {
  PutBits(ReversedBits(value, count), count);
}

void TLZHBitWriter::WriteChunk() {
  write_(chunk_, 2 * words_);
  LZHReport(report_, 2 * words_, false);
  words_ = 0;
}

void TLZHBitWriter::Flush() {
  if (pending_count_ != 0) {
    // The padded last word goes out with the rest of the chunk, even when
    // it fills the chunk.
    StoreWord(static_cast<std::uint16_t>(pending_ << (kWordBits - pending_count_)));
    pending_count_ = 0;
  }
  // Also when nothing is buffered: every stream ends with one write.
  WriteChunk();
}

bool TLZHBitReader::RefillFor(int count) {
  while (count_ < count) {
    if (!Refill()) return false;
  }
  return true;
}

bool TLZHBitReader::Refill() {
  if (next_ == words_) {
    // A chunk short of full was the last one.
    if (words_ != kLZHPackedWords) return false;
    const std::size_t count = LZHFillChunk(read_, chunk_, kLZHPackedChunk);
    if (count == 0) return false;
    LZHReport(report_, count, true);
    // An odd last byte is no part of any word.
    words_ = count / 2;
    next_ = 0;
    if (words_ == 0) return false;
  }
  TopUp();
  return true;
}

}  // namespace zorellz
