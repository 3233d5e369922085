#include "archive/codec/LZSSTreeShare.h"

namespace zorellz {
namespace {

constexpr int kRingMask = kLZSSRingSize - 1;
constexpr int kMirrored = kLZSSMaxMatch - 1;

}  // namespace

TLZSSTreeShare::TLZSSTreeShare(TLZSSTreeBlock& block, const std::uint8_t (&owner)[256],
                               std::uint8_t me)
    : tree_(block), ring_(tree_.Ring()), parent_(block.Parent), owner_(owner), me_(me) {}

void TLZSSTreeShare::Start(const std::uint8_t* bytes, int count) {
  for (; lookahead_ < count; ++lookahead_) ring_[r_ + lookahead_] = bytes[lookahead_];
  // The zero strings before the look-ahead are all of the tree of 0.
  if (owner_[0] == me_) {
    for (int back = 1; back <= kLZSSMaxMatch; ++back) tree_.Insert(r_ - back);
  }
  Take();
  InsertPending();
}

void TLZSSTreeShare::Feed(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    Retire();
    Put(bytes[k]);
    Advance();
    Take();
  }
  InsertPending();
}

void TLZSSTreeShare::Finish() {
  while (lookahead_ > 0) {
    Retire();
    Advance();
    if (--lookahead_ != 0) Take();
  }
  InsertPending();
}

// A string waiting to be inserted is, unlike the one-thread encoder's, not
// in its tree yet: if the oldest string may be of that tree, it goes in
// first.  Deleting a string of another tree, and storing a byte (which only
// strings not in a tree read), do not change what it finds.
void TLZSSTreeShare::Retire() {
  if (ring_[s_] == pending_first_) InsertPending();
  if (parent_[s_] != kLZSSNil) tree_.Delete(s_);
}

void TLZSSTreeShare::Put(std::uint8_t byte) {
  ring_[s_] = byte;
  if (s_ < kMirrored) ring_[s_ + kLZSSRingSize] = byte;
}

void TLZSSTreeShare::Advance() {
  s_ = (s_ + 1) & kRingMask;
  r_ = (r_ + 1) & kRingMask;
}

void TLZSSTreeShare::Take() {
  const std::size_t step = steps_++;
  if (!Owns(r_)) return;
  if (ring_[r_] == pending_first_) InsertPending();
  if (pending_ == kLZSSNil) {
    pending_ = r_;
    pending_first_ = ring_[r_];
    pending_step_ = step;
    return;
  }
  const TLZSSMatchPair pair = tree_.InsertPair(pending_, r_);
  found_[pending_step_] = {static_cast<std::uint16_t>(pair.First.Position),
                           static_cast<std::uint16_t>(pair.First.Length)};
  found_[step] = {static_cast<std::uint16_t>(pair.Second.Position),
                  static_cast<std::uint16_t>(pair.Second.Length)};
  pending_ = kLZSSNil;
  pending_first_ = kNoByte;
}

void TLZSSTreeShare::InsertPending() {
  if (pending_ == kLZSSNil) return;
  const int length = tree_.Insert(pending_);
  found_[pending_step_] = {static_cast<std::uint16_t>(tree_.MatchPosition()),
                           static_cast<std::uint16_t>(length)};
  pending_ = kLZSSNil;
  pending_first_ = kNoByte;
}

}  // namespace zorellz
