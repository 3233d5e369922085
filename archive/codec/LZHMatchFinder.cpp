#include "archive/codec/LZHMatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zorellz {
namespace {

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

void TLZHMatchFinder::Reset(std::int64_t first) {
  std::fill(std::begin(head_), std::end(head_), kNone);
  // The links of no entry, which an entry made after a retired head or
  // none copies, though a search never follows them.
  older_[0] = {};
  std::fill_n(bytes_, 1 + kReadPast, 0);
  base_ = first - 1;
  next_ = 1;
  entered_ = 1;
  oldest_ = 1;
}

// The entries from the oldest one not retired on, and their bytes, move
// down by a multiple of kLinkSlots, which keeps their links where they are.
void TLZHMatchFinder::Slide() {
  const int shift = (oldest_ - 1) & ~(kLinkSlots - 1);
  std::memmove(bytes_ + oldest_ - shift, bytes_ + oldest_,
               static_cast<std::size_t>(next_ - oldest_));
  base_ += shift;
  next_ -= shift;
  entered_ -= shift;
  oldest_ -= shift;
  auto lower = [shift](std::uint16_t& place) {
    place = static_cast<std::uint16_t>(place > shift ? place - shift : kNone);
  };
  for (std::uint16_t& head : head_) lower(head);
  for (TOlder& older : older_) {
    for (std::uint16_t& link : older.Link) lower(link);
  }
}

// Considers the links of `older` but the last, newest first, while each is
// an entry not retired and `consider` asks for more; whether it did so to
// the end.  Unrolled, so that the links stay in registers.
template <typename Consider>
bool TLZHMatchFinder::ConsiderLinks(const TOlder& older, Consider& consider) const {
  static_assert(kLinks == 4);
  const int first = older.Link[0];
  const int second = older.Link[1];
  const int third = older.Link[2];
  return first >= oldest_ && consider(first) && second >= oldest_ && consider(second) &&
         third >= oldest_ && consider(third);
}

// Only matches of kLZHMinMatch bytes or more are ever coded, and among the
// candidates the first of the longest wins; so a search can look only for
// matches longer than `shorter`, skip every candidate that cannot be longer
// than the best so far, and stop once nothing can be.
template <bool kFirstLonger>
TLZHMatch TLZHMatchFinder::Search(int pos, int limit, int short_limit, int shorter) const {
  const int longest = std::min(kLZHMaxMatch, next_ - pos);
  TLZHMatch best;
  if (longest <= shorter) return best;
  const std::uint8_t* here = bytes_ + pos;
  int best_length = shorter;
  // A longer match also agrees at the best length's last byte and the one
  // after it: one test against these two bytes rejects most candidates.
  std::uint16_t wanted = Load16(here + best_length - 1);
  int examined = 0;
  // False when the search is over.
  auto consider = [&](int c) {
    if (++examined > limit) return false;
    if (Load16(bytes_ + c + best_length - 1) != wanted) return true;
    const int distance = pos - c;
    // A match never reaches the position it starts from.
    const int reach = std::min(longest, distance);
    if (reach <= best_length) return true;
    const int length = CommonLength(here, bytes_ + c, reach);
    const int value = distance - length;
    if (length > best_length && value <= kLZHLargestValue &&
        (length > kLZHMinMatch || value <= short_limit)) {
      best_length = length;
      best.Value = value;
      if (kFirstLonger) return false;
      if (best_length == longest) return false;
      wanted = Load16(here + best_length - 1);
    }
    return true;
  };
  // The links of the next group are fetched before the group at hand is
  // looked at, so that the wait for them overlaps with its work.
  for (int c = head_[Hash(pos)]; c >= oldest_;) {
    const TOlder older = Older(c);
    const int last = older.Link[kLinks - 1];
    Prefetch(&Older(last));
    if (!consider(c)) break;
    if (!ConsiderLinks(older, consider)) break;
    c = last;
  }
  if (best_length > shorter) best.Length = best_length;
  return best;
}

template TLZHMatch TLZHMatchFinder::Search<false>(int, int, int, int) const;
template TLZHMatch TLZHMatchFinder::Search<true>(int, int, int, int) const;

}  // namespace zorellz
