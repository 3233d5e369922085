#include <cstdint>

#include "archive/codec/LZSSGroup.h"
#include "archive/codec/LZSSMatchTree.h"
#include "archive/codec/LZSSState.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {
namespace {

constexpr int kRingMask = kLZSSRingSize - 1;
constexpr int kMirrored = kLZSSMaxMatch - 1;

// The ring as the encoder sees it: up to 18 bytes of look-ahead from the
// current position r, the strings before r in the search trees.  Each step
// forward takes the oldest string out of the trees, puts the next input
// byte (if any) in its place and inserts the string at the new r.
class TWindow {
 public:
  explicit TWindow(TLZSSMatchTree& tree) : tree_(tree), ring_(tree.Ring()) {}

  // Fills the look-ahead; false when there is no input at all.
  bool Start(TLZSSByteSource& source) {
    std::uint8_t byte;
    while (lookahead_ < kLZSSMaxMatch && source.Next(byte)) ring_[r_ + lookahead_++] = byte;
    if (lookahead_ == 0) return false;
    // The zero strings before the look-ahead are matchable from the start.
    for (int back = 1; back <= kLZSSMaxMatch; ++back) tree_.Insert(r_ - back);
    Insert();
    return true;
  }

  int Lookahead() const { return lookahead_; }
  std::uint8_t Current() const { return ring_[r_]; }
  int MatchPosition() const { return match_.Position; }
  // The usable match at the current position, 0 to 18 bytes.
  int MatchLength() const { return match_.Length < lookahead_ ? match_.Length : lookahead_; }

  void Slide(int count, TLZSSByteSource& source) {
    int moved = 0;
    for (; moved < count; ++moved) {
      if (ahead_) {
        // The step was taken with the one before.
        Advance();
        match_ = next_match_;
        ahead_ = false;
      } else if (source.Available() >= 2 && TwoStepsApart()) {
        TakeTwoSteps(source.Cursor());
        source.Skip(2);
      } else if (std::uint8_t byte; source.Next(byte)) {
        tree_.Delete(s_);
        Put(s_, byte);
        Advance();
        Insert();
      } else {
        break;
      }
    }
    // At the end of the input the look-ahead shrinks instead.
    for (; moved < count; ++moved) {
      tree_.Delete(s_);
      Advance();
      if (--lookahead_ != 0) Insert();
    }
  }

 private:
  void Insert() {
    match_.Length = tree_.Insert(r_);
    match_.Position = tree_.MatchPosition();
  }

  // Whether this step and the next can be taken at once: the two strings
  // they insert start with different bytes, and the next step's oldest
  // string (deleted before this one's insertion then) is not in this one's
  // tree.  No string in a tree reads the bytes either step stores.
  bool TwoStepsApart() const {
    const std::uint8_t first = ring_[(r_ + 1) & kRingMask];
    return first != ring_[(r_ + 2) & kRingMask] && first != ring_[(s_ + 1) & kRingMask];
  }

  // Takes this step, and all of the next but moving on to it, with the next
  // two input bytes.  Every position is inserted whatever is coded, so the
  // next step's result is kept for when it comes.
  void TakeTwoSteps(const std::uint8_t* bytes) {
    const int next_oldest = (s_ + 1) & kRingMask;
    tree_.Delete(s_);
    Put(s_, bytes[0]);
    tree_.Delete(next_oldest);
    Put(next_oldest, bytes[1]);
    Advance();
    const TLZSSMatchPair pair = tree_.InsertPair(r_, (r_ + 1) & kRingMask);
    match_ = pair.First;
    next_match_ = pair.Second;
    ahead_ = true;
  }

  void Put(int position, std::uint8_t byte) {
    ring_[position] = byte;
    if (position < kMirrored) ring_[position + kLZSSRingSize] = byte;
  }

  void Advance() {
    s_ = (s_ + 1) & kRingMask;
    r_ = (r_ + 1) & kRingMask;
  }

  TLZSSMatchTree& tree_;
  std::uint8_t* ring_;
  int s_ = 0;                              // oldest position, next to refill
  int r_ = kLZSSRingSize - kLZSSMaxMatch;  // current position
  int lookahead_ = 0;
  TLZSSMatch match_;       // at the current position
  TLZSSMatch next_match_;  // at the next one, when ahead_
  bool ahead_ = false;     // the next step is taken already
};

}  // namespace

void LZSSEncodeStream(TLZSSState& state) {
  TLZSSByteSource source(state);
  TLZSSByteSink sink(state);
  TLZSSMatchTree tree(*state.Tree);
  TWindow window(tree);
  if (window.Start(source)) {
    TLZSSGroup group;
    while (window.Lookahead() > 0) {
      int length = window.MatchLength();
      if (length < kLZSSMinCoded) {
        length = 1;
        group.AddLiteral(window.Current());
      } else {
        group.AddMatch(window.MatchPosition(), length);
      }
      if (group.CloseItem()) group.WriteTo(sink);
      window.Slide(length, source);
    }
    group.WriteTo(sink);
  }
  sink.Flush();
}

}  // namespace zorellz
