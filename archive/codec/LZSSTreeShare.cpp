#include "archive/codec/LZSSTreeShare.h"

#include <algorithm>
#include <cstring>

namespace zorellz {
namespace {

constexpr int kRingMask = kLZSSRingSize - 1;
constexpr int kMirrored = kLZSSMaxMatch - 1;
constexpr int kLookBack = kLZSSMaxMatch - 1;

// Bytes stored in one go by PutBytes, and the mask that keeps the first n
// of them: 16 - n bytes into kFirstBytes.
constexpr int kRun = 16;
constexpr std::uint8_t kFirstBytes[2 * kRun] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

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
  if (owner_[ring_[r_]] == me_) Take(r_, steps_);
  ++steps_;
  InsertPending();
}

void TLZSSTreeShare::Feed(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t done = 0; done < count; done += kChunk) {
    FeedChunk(bytes + done, static_cast<int>(std::min<std::size_t>(kChunk, count - done)));
  }
  InsertPending();
}

void TLZSSTreeShare::Finish() {
  while (lookahead_ > 0) {
    Retire(s_);
    Advance();
    if (--lookahead_ == 0) break;
    if (owner_[ring_[r_]] == me_) Take(r_, steps_);
    ++steps_;
  }
  InsertPending();
}

// Step k of the chunk deletes the string at s_ + k, whose first byte is
// still in the ring (no step of the chunk has stored a byte there), stores
// bytes[k] in its place and inserts the string at s_ + k - 17, whose first
// byte is bytes[k - 17].
void TLZSSTreeShare::FeedChunk(const std::uint8_t* bytes, int count) {
  int inserts = 0;
  int deletes = 0;
  for (int k = 0; k < count; ++k) {
    inserting_[inserts] = static_cast<std::uint16_t>(k);
    inserts += owner_[bytes[k - kLookBack]] == me_;
    deleting_[deletes] = static_cast<std::uint16_t>(k);
    deletes += owner_[ring_[(s_ + k) & kRingMask]] == me_;
  }
  // The end of the chunk, after the last insertion.
  inserting_[inserts] = static_cast<std::uint16_t>(count);
  int d = 0;
  int stored = 0;
  for (int i = 0; i <= inserts; ++i) {
    const int k = inserting_[i];
    for (; d < deletes && deleting_[d] <= k; ++d) Retire((s_ + deleting_[d]) & kRingMask);
    const int to = std::min(k + 1, count);
    PutBytes(bytes, stored, to, count);
    stored = to;
    if (i < inserts) Take((s_ + k - kLookBack) & kRingMask, steps_ + k);
  }
  s_ = (s_ + count) & kRingMask;
  r_ = (r_ + count) & kRingMask;
  steps_ += count;
}

void TLZSSTreeShare::PutBytes(const std::uint8_t* bytes, int from, int to, int end) {
  const int position = (s_ + from) & kRingMask;
  const int count = to - from;
  if (count <= kRun && from + kRun <= end && position >= kMirrored &&
      position + kRun <= kLZSSRingSize) {
    // A run of 16 bytes: the first `count` from the input, the others as
    // they are.
    std::uint64_t fresh[2];
    std::uint64_t kept[2];
    std::uint64_t mask[2];
    std::memcpy(fresh, bytes + from, kRun);
    std::memcpy(kept, ring_ + position, kRun);
    std::memcpy(mask, kFirstBytes + kRun - count, kRun);
    for (int half = 0; half < 2; ++half) {
      kept[half] = (fresh[half] & mask[half]) | (kept[half] & ~mask[half]);
    }
    std::memcpy(ring_ + position, kept, kRun);
    return;
  }
  for (int k = from; k < to; ++k) {
    const int at = (s_ + k) & kRingMask;
    ring_[at] = bytes[k];
    if (at < kMirrored) ring_[at + kLZSSRingSize] = bytes[k];
  }
}

void TLZSSTreeShare::Retire(int position) {
  if (ring_[position] == pending_first_) InsertPending();
  if (parent_[position] != kLZSSNil) tree_.Delete(position);
}

void TLZSSTreeShare::Take(int position, std::size_t step) {
  const int first = ring_[position];
  if (first == pending_first_) InsertPending();
  if (pending_ == kLZSSNil) {
    pending_ = position;
    pending_first_ = first;
    pending_step_ = step;
    return;
  }
  StorePair(tree_.InsertPair(pending_, position), step);
}

void TLZSSTreeShare::InsertPending() {
  if (pending_ == kLZSSNil) return;
  const int length = tree_.Insert(pending_);
  found_[pending_step_] = {static_cast<std::uint16_t>(tree_.MatchPosition()),
                           static_cast<std::uint16_t>(length)};
  pending_ = kLZSSNil;
  pending_first_ = kNoByte;
}

void TLZSSTreeShare::StorePair(const TLZSSMatchPair& pair, std::size_t step) {
  found_[pending_step_] = {static_cast<std::uint16_t>(pair.First.Position),
                           static_cast<std::uint16_t>(pair.First.Length)};
  found_[step] = {static_cast<std::uint16_t>(pair.Second.Position),
                  static_cast<std::uint16_t>(pair.Second.Length)};
  pending_ = kLZSSNil;
  pending_first_ = kNoByte;
}

void TLZSSTreeShare::Advance() {
  s_ = (s_ + 1) & kRingMask;
  r_ = (r_ + 1) & kRingMask;
}

}  // namespace zorellz
