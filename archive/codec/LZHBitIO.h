// Internal to the adaptive Huffman LZ codec: the compressed stream as bits.
// Bits fill 16-bit words from the most significant end; each word is stored
// little-endian, and the words travel in chunks of kLZHPackedChunk bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/codec/LZHDecodeTable.h"
#include "archive/codec/LZHModel.h"
#include "archive/codec/LZHStream.h"

namespace zorellz {

// The low `count` (at most 16) bits of `value` in reverse order.
std::uint32_t ReversedBits(std::uint32_t value, int count);

class TLZHBitWriter {
 public:
  // `chunk` holds kLZHPackedChunk bytes.
  TLZHBitWriter(const TLZHWriteFunc& write, const TLZHProgressHook& report, std::uint8_t* chunk)
      : write_(write), report_(report), chunk_(chunk) {}

  // The low `count` (at most 32) bits of `bits`, the most significant first.
  void PutBits(std::uint32_t bits, int count) {
    pending_ = (pending_ << count) | bits;
    pending_count_ += count;
    while (pending_count_ >= 16) {
      pending_count_ -= 16;
      PutWord(static_cast<std::uint16_t>(pending_ >> pending_count_));
    }
  }
  // A symbol's code, from the root down.
  void PutCode(const TLZHCode& code);
  // The low `count` bits of `value`, the least significant first.
  void PutRaw(std::uint32_t value, int count);
  // Pads the last word with zero bits and writes what is buffered.
  void Flush();
  // Compressed bytes so far, a partly filled word not counted.
  std::int64_t Bytes() const { return bytes_; }

 private:
  void PutWord(std::uint16_t word) {
    StoreWord(word);
    if (words_ == kLZHPackedWords) WriteChunk();
  }
  void StoreWord(std::uint16_t word) {
    chunk_[2 * words_] = static_cast<std::uint8_t>(word);
    chunk_[2 * words_ + 1] = static_cast<std::uint8_t>(word >> 8);
    ++words_;
    bytes_ += 2;
  }
  void WriteChunk();

  const TLZHWriteFunc& write_;
  const TLZHProgressHook& report_;
  std::uint8_t* chunk_;
  std::size_t words_ = 0;
  std::uint64_t pending_ = 0;  // the low pending_count_ bits are not yet in a word
  int pending_count_ = 0;
  std::int64_t bytes_ = 0;
};

class TLZHBitReader {
 public:
  // `chunk` holds kLZHPackedChunk bytes.
  TLZHBitReader(const TLZHReadFunc& read, const TLZHProgressHook& report, std::uint8_t* chunk)
      : read_(read), report_(report), chunk_(chunk) {}

  // Both fail when the stream has too few bits left: the input ended, or
  // its last chunk holds no further whole word.

  // Follows the code of the next symbol from the root down, filling `way`
  // (kMaxLevels levels, the first one the root's); returns its leaf's level,
  // or nullptr.  The table's way is taken where it is known; where it is
  // not, the walk fills it in.
  const TLZHStep* DecodeLeaf(const TLZHModel& model, TLZHDecodeTable& table, TLZHStep* way) {
    constexpr int kTableBits = TLZHDecodeTable::kBits;
    if (count_ < kTableBits) TopUp();
    // The bits stay in registers for the whole descent.
    std::uint64_t bits = bits_;
    int count = count_;
    unsigned node = TLZHModel::kRoot;
    way->Node = static_cast<std::uint16_t>(node);
    TLZHStep* const first = way + 1;
    // Near the end of a chunk the table is left aside for a few symbols.
    bool fill = count >= kTableBits;
    const unsigned entry = static_cast<unsigned>(bits >> (64 - kTableBits));
    if (fill) {
      const int levels = table.Levels(entry);
      if (levels != 0) {
        std::memcpy(first, table.Way(entry), sizeof(TLZHStep) * kTableBits);
        way += levels;
        bits <<= levels;
        count -= levels;
        node = way->Node;
        fill = false;
      }
    }
    while (!TLZHModel::IsLeaf(node)) {
      // The next chunk is read only once a bit of it is needed.
      if (count == 0) {
        bits_ = 0;  // what the descent has left: every bit taken
        count_ = 0;
        if (!Refill()) return nullptr;
        bits = bits_;
        count = count_;
      }
      const unsigned side = static_cast<unsigned>(bits >> 63);
      bits <<= 1;
      --count;
      node = model.StepDown(node, side, *++way);
    }
    if (fill) {
      const int levels = static_cast<int>(way - first) + 1;
      table.Fill(entry, first, levels < kTableBits ? levels : kTableBits);
    }
    bits_ = bits;
    count_ = count;
    return way;
  }
  // `count` (at most 16) bits, the least significant first.
  bool GetRaw(int count, std::uint32_t& value) {
    if (count_ < count && !RefillFor(count)) return false;
    value = ReversedBits(static_cast<std::uint32_t>(bits_ >> (64 - count)), count);
    bits_ <<= count;
    count_ -= count;
    return true;
  }

 private:
  // Moves whole words of the chunk into bits_, reading the next chunk first
  // when this one is used up; false when no word came.
  bool Refill();
  // Moves whole words of this chunk into bits_ while they fit.
  void TopUp() {
    for (; count_ <= 64 - 16 && next_ < words_; ++next_, count_ += 16) {
      const std::uint64_t word = chunk_[2 * next_] | (chunk_[2 * next_ + 1] << 8);
      bits_ |= word << (64 - 16 - count_);
    }
  }
  // Refills until `count` bits are there; false when they cannot be.
  bool RefillFor(int count);

  const TLZHReadFunc& read_;
  const TLZHProgressHook& report_;
  std::uint8_t* chunk_;
  std::size_t next_ = kLZHPackedWords;   // word index in the chunk
  std::size_t words_ = kLZHPackedWords;  // whole words the chunk holds
  std::uint64_t bits_ = 0;               // the next bit is the most significant
  int count_ = 0;
};

}  // namespace zorellz
