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
  // Every chain empty, the window zero-filled.
  TLZHMatchFinder() { Reset(); }
  // Makes it as new, for another stream or part of one.
  void Reset();

  std::uint8_t At(int position) const { return window_[position]; }
  void Store(int position, std::uint8_t byte) {
    window_[position] = byte;
    if (position < kMirrored) window_[kLZHWindowSize + position] = byte;
  }

  void Insert(int position);
  // Drops the oldest entry of the chain that `position` hashes to, just
  // before the byte at `position` is replaced.  Positions leave the chains
  // in the order they entered them, each one a window's length (less the
  // look-ahead) after it entered: so that entry is always `position`.
  void RemoveOldest(int position);

  // The longest match for the bytes from `position` (kLZHWindowSize counts
  // as 0) up to `fill`, the end of the bytes read so far, among the newest
  // `limit` entries of its chain; of equally long ones the newest.  A match
  // of kLZHMinMatch bytes counts only up to value `short_limit`.
  TLZHMatch Find(int position, int fill, int limit, int short_limit) const {
    return Search<false>(position, fill, limit, short_limit, kLZHMinMatch - 1);
  }
  // Whether Find would return a match longer than `length` (at least
  // kLZHMinMatch); stops at the first one.
  bool FindsLonger(int position, int fill, int limit, int length) const {
    return Search<true>(position, fill, limit, 0, length).Length != 0;
  }

 private:
  // The window's first bytes are repeated behind its end, so that strings
  // that wrap can be read straight on.
  static constexpr int kMirrored = kLZHMaxMatch;
  // Chain links are window positions; this one stands for none.
  static constexpr std::uint16_t kNone = kLZHWindowSize;

  template <bool kFirstLonger>
  TLZHMatch Search(int position, int fill, int limit, int short_limit, int shorter) const;

  int Hash(int position) const {
    return (window_[position + 1] << 4) ^ window_[position] ^
           ((window_[position + 2] << 8) & (kLZHHashSize - 1));
  }

  // A chain entry's next two older entries: a search loads both at once,
  // and so waits for memory once per two candidates.
  struct TOlder {
    std::uint16_t Next;
    std::uint16_t AfterNext;
  };

  std::uint8_t window_[kLZHWindowSize + kMirrored];
  std::uint16_t head_[kLZHHashSize];
  // Indexed by position, with a spare entry at kNone that takes the links
  // about no entry; its own older links stay kNone.
  TOlder older_[kLZHWindowSize + 1];
  std::uint16_t newer_[kLZHWindowSize + 1];
};

}  // namespace zorellz
