// Internal to the adaptive Huffman LZ codec: the compressor's window and its
// match finder.  Hash chains link the window positions whose next three
// bytes hash alike, newest first; a search walks one chain for the longest
// match, up to a number of candidates.
#pragma once

#include <cstdint>

#include "archive/codec/LZHModel.h"
#include "zorellz/codec/ZrlLZH.h"

namespace zorellz {

inline constexpr int kLZHHashSize = 16384;

struct TLZHMatch {
  int Length = 0;  // 0 when no match of kLZHMinMatch bytes or more was found
  int Value = 0;   // distance - length
};

class TLZHMatchFinder {
 public:
  // Positions count from the start of the stream.  Each one asked about is
  // at most a window behind the next byte to be stored.

  // Makes it as new, for a stream or part of one whose first byte stored
  // will be that of position `first`; a new finder is reset before use.
  // Only what it uses is ever written, so that the finder of a short stream
  // costs little to set up.
  void Reset(std::int64_t first);

  // Stores the next input byte.
  void Store(std::uint8_t byte) {
    if (next_ == kSlideAt) Slide();
    bytes_[next_++] = byte;
    bytes_[next_ + kReadPast - 1] = 0;
  }
  std::uint8_t At(std::int64_t position) const { return bytes_[Place(position)]; }
  // The position of the next byte to be stored.
  std::int64_t Filled() const { return base_ + next_; }

  // Enters the next position into its chain: the first one stored after a
  // Reset, then one after the other.  Its three bytes must be stored.
  void Insert() {
    const int p = entered_++;
    const int h = Hash(p);
    const int head = head_[h];
    // A retired head's own links may have been taken by a newer entry; they
    // are never followed, as the search stops at the head.
    const TOlder older = Older(head);
    TOlder& entry = Older(p);
    entry.Link[0] = static_cast<std::uint16_t>(head);
    for (int k = 1; k < kLinks; ++k) entry.Link[k] = older.Link[k - 1];
    head_[h] = static_cast<std::uint16_t>(p);
  }
  // The oldest entry leaves the chains, just before its byte is replaced.
  // Entries leave in the order they entered.
  void RetireOldest() { ++oldest_; }

  // The longest match for the bytes from `position` up to the last one
  // stored, among the newest `limit` entries of its chain; of equally long
  // ones the newest.  A match of kLZHMinMatch bytes counts only up to value
  // `short_limit`.
  TLZHMatch Find(std::int64_t position, int limit, int short_limit) const {
    return Search<false>(Place(position), limit, short_limit, kLZHMinMatch - 1);
  }
  // Whether Find would return a match longer than `length` (at least
  // kLZHMinMatch); stops at the first one.
  bool FindsLonger(std::int64_t position, int limit, int length) const {
    return Search<true>(Place(position), limit, 0, length).Length != 0;
  }

 private:
  // The bytes are kept in the order they came, not in a ring, so that a
  // string is read straight on and two places' distance is a difference.
  // Entries are named by their place there, which never exceeds 16 bits:
  // when the bytes reach kSlideAt, everything slides down (see Slide).
  // Place 0 stands for no entry.  Retired entries stay linked: a search
  // stops at the first entry below the oldest, as links only lead to older
  // ones, and a slide turns the links to the places it drops into 0.
  static constexpr int kPlaces = 1 << 16;
  static constexpr int kSlideAt = kPlaces - 1;
  static constexpr std::uint16_t kNone = 0;
  // The links are indexed by place modulo a power of two above the window,
  // which tells apart all the entries not retired.
  static constexpr int kLinkSlots = 1 << 15;
  // Slides go down by kLinkSlots: the chains and the look-ahead fit below.
  static_assert(kLinkSlots > kLZHWindowSize + kLZHMaxMatch);
  static_assert(kSlideAt - kLinkSlots > kLZHWindowSize + kLZHMaxMatch);

  int Place(std::int64_t position) const { return static_cast<int>(position - base_); }
  void Slide();

  template <bool kFirstLonger>
  TLZHMatch Search(int place, int limit, int short_limit, int shorter) const;

  int Hash(int place) const {
    return (bytes_[place + 1] << 4) ^ bytes_[place] ^
           ((bytes_[place + 2] << 8) & (kLZHHashSize - 1));
  }

  // A chain entry's next kLinks older entries: a search loads them at once,
  // and so waits for memory once per kLinks candidates.
  static constexpr int kLinks = 4;
  struct TOlder {
    std::uint16_t Link[kLinks];
  };
  template <typename Consider>
  bool ConsiderLinks(const TOlder& older, Consider& consider) const;
  TOlder& Older(int place) { return older_[place & (kLinkSlots - 1)]; }
  const TOlder& Older(int place) const { return older_[place & (kLinkSlots - 1)]; }

  // A search reads up to kReadPast bytes past the last one stored, where
  // they never decide anything; they are kept cleared all the same.
  static constexpr int kReadPast = 8;
  std::uint8_t bytes_[kPlaces + kReadPast];
  std::uint16_t head_[kLZHHashSize];
  TOlder older_[kLinkSlots];
  std::int64_t base_ = -1;  // the position of place 0
  int next_ = 1;            // the place of the next byte to be stored
  int entered_ = 1;         // the place of the next entry
  int oldest_ = 1;          // the place of the oldest entry not retired
};

}  // namespace zorellz
