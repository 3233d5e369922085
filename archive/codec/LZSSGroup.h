// Internal to the LZSS codec: the encoder's output, a flag byte and the up
// to eight items it describes.  Bit k of the flag is set when item k is a
// literal; a match is two bytes: the low 8 bits of its ring position, then
// the high 4 bits beside its length less 3.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/codec/LZSSState.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {

// Matches shorter than this are coded as a literal.
inline constexpr int kLZSSMinCoded = kLZSSThreshold + 1;

class TLZSSGroup {
 public:
  void AddLiteral(std::uint8_t byte) {
    bytes_[0] |= mask_;
    bytes_[size_++] = byte;
  }
  void AddMatch(int position, int length) {
    bytes_[size_++] = static_cast<std::uint8_t>(position);
    bytes_[size_++] =
        static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kLZSSMinCoded));
  }
  // True when the item just added was the eighth.
  bool CloseItem() {
    mask_ = static_cast<std::uint8_t>(mask_ << 1);
    return mask_ == 0;
  }
  // Writes the group, also when it holds no item, and starts the next.
  void WriteTo(TLZSSByteSink& sink) {
    if (sink.Room() >= kCapacity) {
      std::memcpy(sink.Cursor(), bytes_, size_);
      sink.Advance(size_);
    } else {
      for (int i = 0; i < size_; ++i) sink.Put(bytes_[i]);
    }
    bytes_[0] = 0;
    size_ = 1;
    mask_ = 1;
  }

 private:
  static constexpr std::uint32_t kCapacity = 1 + 8 * 2;
  std::uint8_t bytes_[kCapacity] = {};
  int size_ = 1;
  std::uint8_t mask_ = 1;
};

}  // namespace zorellz
