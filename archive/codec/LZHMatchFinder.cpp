#include "archive/codec/LZHMatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zorellz {
namespace {

constexpr int W = kLZHWindowSize;

// Asks for memory that will be read soon, where the compiler can say so.
void Prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

std::uint16_t Load16(const std::uint8_t* bytes) {
  std::uint16_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

std::uint64_t Load64(const std::uint8_t* bytes) {
  std::uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// The number of equal leading bytes of `a` and `b`, at most `reach` (1 to
// kLZHMaxMatch), comparing eight at a time.  Reads up to the eighth byte
// past a multiple of eight below `reach`, so never past kLZHMaxMatch bytes.
int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int reach) {
  for (int k = 0; k < reach; k += 8) {
    const std::uint64_t diff = Load64(a + k) ^ Load64(b + k);
    if (diff != 0) {
      const int first = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                   : std::countl_zero(diff);
      return std::min(k + first / 8, reach);
    }
  }
  return reach;
}

}  // namespace

void TLZHMatchFinder::Reset() {
  std::memset(window_, 0, sizeof window_);
  std::fill(std::begin(head_), std::end(head_), kNone);
  std::fill(std::begin(older_), std::end(older_), TOlder{kNone, kNone});
  std::fill(std::begin(newer_), std::end(newer_), kNone);
}

// An empty chain's head is kNone, whose spare entry takes the newer link
// and supplies an older link of kNone.
void TLZHMatchFinder::Insert(int p) {
  const int h = Hash(p);
  const int head = head_[h];
  newer_[head] = static_cast<std::uint16_t>(p);
  older_[p] = {static_cast<std::uint16_t>(head), older_[head].Next};
  newer_[p] = kNone;
  head_[h] = static_cast<std::uint16_t>(p);
}

void TLZHMatchFinder::RemoveOldest(int p) {
  const int before = newer_[p];
  if (before == kNone) {
    head_[Hash(p)] = kNone;
  } else {
    older_[before] = {kNone, kNone};
    older_[newer_[before]].AfterNext = kNone;
  }
}

// Only matches of kLZHMinMatch bytes or more are ever coded, and among the
// candidates the first of the longest wins; so a search can look only for
// matches longer than `shorter`, skip every candidate that cannot be longer
// than the best so far, and stop once nothing can be.
template <bool kFirstLonger>
TLZHMatch TLZHMatchFinder::Search(int pos, int fill, int limit, int short_limit,
                                  int shorter) const {
  if (pos == W) pos = 0;
  int ahead = fill - pos;
  if (ahead < 0) ahead += W;
  const int longest = std::min(kLZHMaxMatch, ahead);
  TLZHMatch best;
  if (longest <= shorter) return best;
  const std::uint8_t* here = window_ + pos;
  int best_length = shorter;
  int examined = 0;
  // False when the search is over.
  auto consider = [&](int c) {
    if (++examined > limit) return false;
    int distance = pos - c;
    if (distance < 0) distance += W;
    // A match never reaches the position it starts from.
    const int reach = std::min(longest, distance);
    // A longer match also agrees at the best length's last byte and the one
    // after it: one test rejects most candidates.
    if (reach <= best_length ||
        Load16(here + best_length - 1) != Load16(window_ + c + best_length - 1)) {
      return true;
    }
    const int length = CommonLength(here, window_ + c, reach);
    const int value = distance - length;
    if (length > best_length && value <= kLZHLargestValue &&
        (length > kLZHMinMatch || value <= short_limit)) {
      best_length = length;
      best.Value = value;
      if (kFirstLonger) return false;
    }
    return best_length < longest;
  };
  // The links of the next pair are fetched before the pair at hand is looked
  // at, so that the wait for them overlaps with its work.
  for (int c = head_[Hash(pos)]; c != kNone;) {
    const TOlder older = older_[c];
    Prefetch(&older_[older.AfterNext]);
    if (!consider(c) || older.Next == kNone || !consider(older.Next)) break;
    c = older.AfterNext;
  }
  if (best_length > shorter) best.Length = best_length;
  return best;
}

template TLZHMatch TLZHMatchFinder::Search<false>(int, int, int, int, int) const;
template TLZHMatch TLZHMatchFinder::Search<true>(int, int, int, int, int) const;

}  // namespace zorellz
