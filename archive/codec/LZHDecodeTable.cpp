#include "archive/codec/LZHDecodeTable.h"

#include <algorithm>
#include <cstring>

namespace zorellz {

void TLZHDecodeTable::Fill(unsigned bits, const TLZHStep* way, int levels) {
  // A short code owns every entry that starts with it.
  const int free_bits = kBits - levels;
  const unsigned first = bits >> free_bits << free_bits;
  for (unsigned entry = first; entry < first + (1u << free_bits); ++entry) {
    std::copy_n(way, levels, ways_[entry]);
    levels_[entry] = static_cast<std::uint8_t>(levels);
  }
}

void TLZHDecodeTable::ForgetBelow(const TLZHStep* way, int level) {
  // The entries through a node are those starting with the sides of its way.
  unsigned prefix = 0;
  for (int i = 1; i <= level; ++i) prefix = (prefix << 1) | way[i].Side;
  const int free_bits = kBits - level;
  std::memset(levels_ + (prefix << free_bits), 0, std::size_t{1} << free_bits);
}

}  // namespace zorellz
