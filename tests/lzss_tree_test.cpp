// The LZSS match finder's two searches at once against one after the other:
// the same steps taken both ways must find the same matches and leave the
// trees, links and ring identical, byte for byte.
#include "archive/codec/LZSSMatchTree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "tests/TestSupport.h"

namespace zorellz {
namespace {

using test::TBytes;

constexpr int kMask = kLZSSRingSize - 1;

// A ring and its trees, stepped as the encoder steps them.
class TTrees {
 public:
  TTrees() : block_(std::make_unique<TLZSSTreeBlock>()), tree_(*block_) {}

  // Inserts the first strings whose first byte `owns` names.
  void Start(const TBytes& input, const std::function<bool(std::uint8_t)>& owns = nullptr) {
    for (int k = 0; k < kLZSSMaxMatch; ++k) block_->Ring[r_ + k] = input[k];
    for (int back = 1; back <= kLZSSMaxMatch; ++back) {
      if (!owns || owns(0)) tree_.Insert(r_ - back);
    }
    if (!owns || owns(input[0])) tree_.Insert(r_);
  }
  // Deletes the oldest string and stores `byte` in its place.
  void Replace(int oldest, std::uint8_t byte) {
    tree_.Delete(oldest);
    block_->Ring[oldest] = byte;
    if (oldest < kLZSSMaxMatch - 1) block_->Ring[oldest + kLZSSRingSize] = byte;
  }
  TLZSSMatch Insert(int r) { return {tree_.Insert(r), tree_.MatchPosition()}; }

  TLZSSMatchTree& Tree() { return tree_; }
  const std::uint8_t* Ring() const { return block_->Ring; }
  bool SameAs(const TTrees& other) const {
    return std::memcmp(block_.get(), other.block_.get(), sizeof(TLZSSTreeBlock)) == 0;
  }

 private:
  std::unique_ptr<TLZSSTreeBlock> block_;
  TLZSSMatchTree tree_;
  int r_ = kLZSSRingSize - kLZSSMaxMatch;
};

// Takes every two steps of `input` both ways; returns how many were taken
// at once.
int CompareSteps(const TBytes& input) {
  TTrees one;
  TTrees both;
  one.Start(input);
  both.Start(input);
  int s = 0;
  int r = kLZSSRingSize - kLZSSMaxMatch;
  int paired = 0;
  for (std::size_t next = kLZSSMaxMatch; next + 2 <= input.size(); next += 2) {
    const int r1 = (r + 1) & kMask;
    const int r2 = (r + 2) & kMask;
    const int s2 = (s + 1) & kMask;
    const std::uint8_t* ring = one.Ring();
    const bool apart = ring[r1] != ring[r2] && ring[r1] != ring[s2];

    one.Replace(s, input[next]);
    const TLZSSMatch first = one.Insert(r1);
    one.Replace(s2, input[next + 1]);
    const TLZSSMatch second = one.Insert(r2);

    both.Replace(s, input[next]);
    if (apart) {
      both.Replace(s2, input[next + 1]);
      const TLZSSMatchPair pair = both.Tree().InsertPair(r1, r2);
      EXPECT_EQ(pair.First.Length, first.Length) << "at " << next;
      EXPECT_EQ(pair.First.Position, first.Position) << "at " << next;
      EXPECT_EQ(pair.Second.Length, second.Length) << "at " << next;
      EXPECT_EQ(pair.Second.Position, second.Position) << "at " << next;
      ++paired;
    } else {
      both.Insert(r1);
      both.Replace(s2, input[next + 1]);
      both.Insert(r2);
    }
    if (!one.SameAs(both)) {
      ADD_FAILURE() << "trees differ after the steps at " << next;
      break;
    }
    s = (s + 2) & kMask;
    r = r2;
  }
  return paired;
}

TEST(LzssTree, TwoSearchesAtOnceMatchOneAfterTheOther) {
  // Words from a small vocabulary: long matches, deep trees that splay.
  static const char* const kWords[] = {"tree ",  "trees ", "treetop ", "the ", "then ",
                                       "there ", "\n",     "a ",       "an "};
  std::mt19937 random(3);
  TBytes text;
  while (text.size() < 60000) test::PutText(text, kWords[random() % 9]);
  EXPECT_GT(CompareSteps(text), 10000);

  // Runs of one byte broken by others: strings equal in all 18 bytes
  // replace each other, and neighbours often share a tree.
  TBytes runs;
  while (runs.size() < 40000) runs.insert(runs.end(), 1 + random() % 40, random() % 3 * 0x41);
  EXPECT_GT(CompareSteps(runs), 200);

  // A counter: the strings of each first byte come in increasing order, so
  // each one goes in deepest and every thirtieth level splays.
  TBytes counter;
  for (int n = 0; counter.size() < 40000; ++n) test::PutText(counter, "a" + std::to_string(n));
  EXPECT_GT(CompareSteps(counter), 10000);

  EXPECT_GT(CompareSteps(test::RandomBytes(30000, 5)), 10000);
}

TEST(LzssTree, MovedTreesFindWhatTheyWouldHaveFound) {
  // Trees split between two sets, some moving from one set to the other
  // every few hundred steps, against all of them kept in one.
  std::mt19937 random(7);
  TBytes input = test::RandomBytes(8000, 9);
  while (input.size() < 40000) test::PutText(input, "move " + std::to_string(random() % 300));
  input.insert(input.end(), 3000, 0);
  std::uint8_t owner[256];
  for (std::uint8_t& set : owner) set = random() % 2;
  TTrees whole;
  TTrees sets[2];
  whole.Start(input);
  for (int set : {0, 1})
    sets[set].Start(input, [&](std::uint8_t first) { return owner[first] == set; });
  int s = 0;
  int r = kLZSSRingSize - kLZSSMaxMatch;
  for (std::size_t next = kLZSSMaxMatch; next < input.size(); ++next) {
    if (next % 331 == 0) {
      bool moving[2][256] = {};
      for (int first = 0; first < 256; ++first) {
        if (random() % 3 != 0) continue;
        moving[owner[first]][first] = true;
        owner[first] ^= 1;
      }
      sets[0].Tree().MoveTrees(moving[0], sets[1].Tree());
      sets[1].Tree().MoveTrees(moving[1], sets[0].Tree());
    }
    r = (r + 1) & kMask;
    for (TTrees* trees : {&whole, &sets[0], &sets[1]}) trees->Replace(s, input[next]);
    const TLZSSMatch expected = whole.Insert(r);
    const TLZSSMatch found = sets[owner[whole.Ring()[r]]].Insert(r);
    ASSERT_EQ(found.Length, expected.Length) << "at " << next;
    // An empty tree finds nothing, and no position.
    if (expected.Length > 0) {
      ASSERT_EQ(found.Position, expected.Position) << "at " << next;
    }
    s = (s + 1) & kMask;
  }
}

}  // namespace
}  // namespace zorellz
