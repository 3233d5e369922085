// Internal to the adaptive Huffman LZ codec: the decoder's shortcut through
// the top levels of the adaptive tree.  An entry, indexed by the next kBits
// code bits, holds the way those bits take from the root: down to a leaf, or
// kBits levels down to an internal node.  The tree changes after every
// symbol, but near the root it seldom does; the decoder forgets only the
// entries below a node whose children changed, and fills an entry again the
// next time its bits are walked one by one.
#pragma once

#include <cstdint>

#include "archive/codec/LZHModel.h"

namespace zorellz {

class TLZHDecodeTable {
 public:
  static constexpr int kBits = 7;

  TLZHDecodeTable() { ForgetBelow(nullptr, 0); }

  // The levels (1 to kBits) of the way of entry `bits`, 0 when it is not
  // known; and the way itself, always kBits steps long.
  int Levels(unsigned bits) const { return levels_[bits]; }
  const TLZHStep* Way(unsigned bits) const { return ways_[bits]; }

  // Keeps the first `levels` (at most kBits) steps of `way`, the level below
  // the root first, as the way of entry `bits`.
  void Fill(unsigned bits, const TLZHStep* way, int levels);

  // Forgets the ways through the node at `level` (the root's being 0) of
  // `way`, whose first step is the root.
  void Forget(const TLZHStep* way, int level) {
    if (level < kBits) ForgetBelow(way, level);
  }

 private:
  void ForgetBelow(const TLZHStep* way, int level);

  std::uint8_t levels_[1 << kBits];
  TLZHStep ways_[1 << kBits][kBits];
};

}  // namespace zorellz
