// Internal to the LZSS codec: the encoder's ring and its match finder.  Every
// ring position 0 .. 4,095 is a node standing for the 18-byte string that
// starts there; one binary search tree per first byte orders them, and
// inserting a string finds its longest match on the way down.  A string
// inserted 30 or more levels deep is splayed to the top of its tree.
#pragma once

#include <cstdint>

#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {

// The ring carries a copy of its first 17 bytes behind its end, so that a
// string starting near the end can be read without wrapping.
inline constexpr int kLZSSRingBytes = kLZSSRingSize + kLZSSMaxMatch - 1;
// Node kLZSSRingSize + 1 + c is the root of the tree of first byte c; its
// right child is the top of that tree.
inline constexpr int kLZSSFirstRoot = kLZSSRingSize + 1;
inline constexpr int kLZSSNodeSlots = kLZSSFirstRoot + 256;

struct TLZSSTreeBlock {
  std::uint8_t Ring[kLZSSRingBytes];
  std::uint16_t Child[kLZSSNodeSlots][2];  // [node][0] left, [node][1] right
  std::uint16_t Parent[kLZSSRingSize];     // kLZSSNil while not in a tree
};

struct TLZSSMatch {
  int Length = 0;
  int Position = 0;
};
struct TLZSSMatchPair {
  TLZSSMatch First;
  TLZSSMatch Second;
};

class TLZSSMatchTree {
 public:
  // Zeroes the ring and empties every tree.
  explicit TLZSSMatchTree(TLZSSTreeBlock& block);

  std::uint8_t* Ring() { return block_.Ring; }

  // Inserts the string at ring position r (not in a tree) and returns the
  // length of its longest match (0 when its tree was empty, up to 18);
  // MatchPosition() is where that match starts.  Of equally long matches,
  // the first met on the way down wins.  A node holding the same 18 bytes
  // is replaced by r.
  int Insert(int r);
  // Insert(first) then Insert(second), for strings of different trees
  // (different first bytes): the match of each.
  TLZSSMatchPair InsertPair(int first, int second);
  int MatchPosition() const { return match_position_; }

  // Removes ring position p from its tree, if it is in one.
  void Delete(int p);

  // Adds to `levels` the levels that insertions descended since the last
  // call, by first byte, and starts counting afresh: the work each tree
  // took, for an encoder that shares the trees out between threads.
  void CollectLevels(std::uint32_t (&levels)[256]);
  // Moves the trees of the first bytes marked in `moving` into `to`, whose
  // ring holds the same bytes and whose trees of those bytes are empty.
  void MoveTrees(const bool (&moving)[256], TLZSSMatchTree& to);

 private:
  struct TDescent;
  bool Step(TDescent& d) const;
  int Finish(const TDescent& d);
  // Moves x to the top of its tree by rotations that keep the order.
  void Splay(int x);
  // Puts node r where node p is.
  void Replace(int p, int r);

  TLZSSTreeBlock& block_;
  int match_position_ = 0;
  std::uint32_t levels_[256] = {};
};

}  // namespace zorellz
