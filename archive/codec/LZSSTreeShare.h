// Internal to the LZSS codec: one thread's share of the encoder's search
// trees.  A share keeps a ring of its own and takes every step of the
// one-thread encoder on it, storing each input byte and deleting each oldest
// string, but inserts only the strings whose first byte it owns.  Strings
// of different first bytes lie in different trees, which never read each
// other, so every string inserted finds the match that the one-thread
// encoder finds for it.  Shares that own disjoint byte values may run on
// different threads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/codec/LZSSMatchTree.h"

namespace zorellz {

// The match found at one step, valid where the step's first byte is owned.
struct TLZSSFound {
  std::uint16_t Position;
  std::uint16_t Length;
};

class TLZSSTreeShare {
 public:
  // `owner` names the share of each first byte; this one is `me`.
  TLZSSTreeShare(TLZSSTreeBlock& block, const std::uint8_t (&owner)[256], std::uint8_t me);

  // The steps to come store their matches from found[0] on.
  void Output(TLZSSFound* found) {
    found_ = found;
    steps_ = 0;
  }
  std::size_t Steps() const { return steps_; }
  // Between blocks, to weigh and move trees; the owners may then change.
  TLZSSMatchTree& Tree() { return tree_; }

  // Fills the look-ahead with the first `count` input bytes (1 to 18, fewer
  // than 18 only when that is all) and takes the first step.
  void Start(const std::uint8_t* bytes, int count);
  // One step per further input byte; the 17 bytes before `bytes` are the
  // input bytes before them.
  void Feed(const std::uint8_t* bytes, std::size_t count);
  // The steps after the last input byte, the look-ahead shrinking to 0.
  void Finish();

 private:
  // Feed takes the steps in chunks.  A share owns about half of the strings,
  // so a branch on whether a step concerns it would be guessed wrong half
  // of the time; the steps it owns are listed first, without branches, and
  // only those are visited, each byte stored in a run before the string
  // that first reads it.
  static constexpr int kChunk = 1024;
  static constexpr int kNoByte = 256;

  void FeedChunk(const std::uint8_t* bytes, int count);
  // Stores the bytes of the chunk's steps from `from` to `to` (not
  // included); bytes[end] is past the chunk.
  void PutBytes(const std::uint8_t* bytes, int from, int to, int end);
  // Takes the string at ring position `position` out of its tree, if it is
  // in one of this share.
  void Retire(int position);
  // Inserts the share's string at ring position `position`, the one of step
  // `step`, or keeps it to insert beside the next one.
  void Take(int position, std::size_t step);
  void InsertPending();
  // Stores the matches of the pending string and of the one at `step`.
  void StorePair(const TLZSSMatchPair& pair, std::size_t step);
  void Advance();

  TLZSSMatchTree tree_;
  std::uint8_t* ring_;
  const std::uint16_t* parent_;
  const std::uint8_t* owner_;
  const std::uint8_t me_;
  int s_ = 0;                              // oldest position, next to refill
  int r_ = kLZSSRingSize - kLZSSMaxMatch;  // current position
  int lookahead_ = 0;
  TLZSSFound* found_ = nullptr;
  std::size_t steps_ = 0;
  // A string whose insertion waits for one of another tree, so that the two
  // searches overlap: its position, first byte (kNoByte when there is none)
  // and step.  Unlike the one-thread encoder's, it is not in its tree yet, so
  // it goes in before a string of that tree goes out.
  int pending_ = kLZSSNil;
  int pending_first_ = kNoByte;
  std::size_t pending_step_ = 0;
  // The steps of a chunk that insert or delete a string of this share.
  std::uint16_t inserting_[kChunk + 1];
  std::uint16_t deleting_[kChunk];
};

}  // namespace zorellz
