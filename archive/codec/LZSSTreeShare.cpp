#include "archive/codec/LZSSTreeShare.h"

namespace zorellz {
namespace {

constexpr int kRingMask = kLZSSRingSize - 1;
constexpr int kMirrored = kLZSSMaxMatch - 1;

}  // namespace

TLZSSTreeShare::TLZSSTreeShare(TLZSSTreeBlock& block, const std::uint8_t (&owner)[256],
                               std::uint8_t me)
    : tree_(block), ring_(tree_.Ring()), owner_(owner), me_(me) {}

void TLZSSTreeShare::Start(const std::uint8_t* bytes, int count) {
  for (; lookahead_ < count; ++lookahead_) ring_[r_ + lookahead_] = bytes[lookahead_];
  // The zero strings before the look-ahead are all of the tree of 0.
  if (owner_[0] == me_) {
    for (int back = 1; back <= kLZSSMaxMatch; ++back) tree_.Insert(r_ - back);
  }
  Insert(r_);
}

void TLZSSTreeShare::Feed(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    tree_.Delete(s_);
    ring_[s_] = bytes[k];
    if (s_ < kMirrored) ring_[s_ + kLZSSRingSize] = bytes[k];
    Advance();
    Insert(r_);
  }
}

void TLZSSTreeShare::Finish() {
  while (lookahead_ > 0) {
    tree_.Delete(s_);
    Advance();
    if (--lookahead_ != 0) Insert(r_);
  }
}

// The step's match is stored by the share that inserts its string; the
// other one only counts the step.
void TLZSSTreeShare::Insert(int position) {
  if (Owns(position)) {
    const int length = tree_.Insert(position);
    found_[steps_] = {static_cast<std::uint16_t>(tree_.MatchPosition()),
                      static_cast<std::uint16_t>(length)};
  }
  ++steps_;
}

void TLZSSTreeShare::Advance() {
  s_ = (s_ + 1) & kRingMask;
  r_ = (r_ + 1) & kRingMask;
}

}  // namespace zorellz
