#include <cstdint>
#include <cstring>

#include "archive/codec/LZSSMatchTree.h"
#include "archive/codec/LZSSState.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {
namespace {

constexpr int kRingMask = kLZSSRingSize - 1;
constexpr int kMirrored = kLZSSMaxMatch - 1;
constexpr int kMinCoded = kLZSSThreshold + 1;

// A flag byte and the up to eight items it describes.
class TGroup {
 public:
  void AddLiteral(std::uint8_t byte) {
    bytes_[0] |= mask_;
    bytes_[size_++] = byte;
  }
  void AddMatch(int position, int length) {
    bytes_[size_++] = static_cast<std::uint8_t>(position);
    bytes_[size_++] = static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kMinCoded));
  }
  // True when the item just added was the eighth.
  bool CloseItem() {
    mask_ = static_cast<std::uint8_t>(mask_ << 1);
    return mask_ == 0;
  }
  // Writes the group, also when it holds no item, and starts the next.
  void WriteTo(TLZSSByteSink& sink) {
    if (sink.Room() >= kCapacity) {
      std::memcpy(sink.Cursor(), bytes_, size_);
      sink.Advance(size_);
    } else {
      for (int i = 0; i < size_; ++i) sink.Put(bytes_[i]);
    }
    bytes_[0] = 0;
    size_ = 1;
    mask_ = 1;
  }

 private:
  static constexpr std::uint32_t kCapacity = 1 + 8 * 2;
  std::uint8_t bytes_[kCapacity] = {};
  int size_ = 1;
  std::uint8_t mask_ = 1;
};

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
    match_length_ = tree_.Insert(r_);
    return true;
  }

  int Lookahead() const { return lookahead_; }
  std::uint8_t Current() const { return ring_[r_]; }
  int MatchPosition() const { return tree_.MatchPosition(); }
  // The usable match at the current position, 0 to 18 bytes.
  int MatchLength() const { return match_length_ < lookahead_ ? match_length_ : lookahead_; }

  void Slide(int count, TLZSSByteSource& source) {
    int moved = 0;
    for (std::uint8_t byte; moved < count && source.Next(byte); ++moved) {
      tree_.Delete(s_);
      ring_[s_] = byte;
      if (s_ < kMirrored) ring_[s_ + kLZSSRingSize] = byte;
      Advance();
      match_length_ = tree_.Insert(r_);
    }
    // At the end of the input the look-ahead shrinks instead.
    for (; moved < count; ++moved) {
      tree_.Delete(s_);
      Advance();
      if (--lookahead_ != 0) match_length_ = tree_.Insert(r_);
    }
  }

 private:
  void Advance() {
    s_ = (s_ + 1) & kRingMask;
    r_ = (r_ + 1) & kRingMask;
  }

  TLZSSMatchTree& tree_;
  std::uint8_t* ring_;
  int s_ = 0;                              // oldest position, next to refill
  int r_ = kLZSSRingSize - kLZSSMaxMatch;  // current position
  int lookahead_ = 0;
  int match_length_ = 0;
};

}  // namespace

void LZSSEncodeStream(TLZSSState& state) {
  TLZSSByteSource source(state);
  TLZSSByteSink sink(state);
  TLZSSMatchTree tree(*state.Tree);
  TWindow window(tree);
  if (window.Start(source)) {
    TGroup group;
    while (window.Lookahead() > 0) {
      int length = window.MatchLength();
      if (length < kMinCoded) {
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
