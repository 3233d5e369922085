#include "archive/codec/LZSSMatchTree.h"

#include <bit>
#include <cstring>

namespace zorellz {
namespace {

constexpr int kSplayDepth = 30;
constexpr int kLeft = 0;
constexpr int kRight = 1;

bool IsRoot(int node) {
  return node >= kLZSSFirstRoot;
}

// Eight string bytes as one number that orders like the bytes themselves
// (the first byte most significant).
std::uint64_t LoadOrdered64(const std::uint8_t* bytes) {
  std::uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
  return value;
}

// Two unequal words whose bytes start at `offset` in their strings: the
// number of equal leading bytes of the strings.
int EqualLength(std::uint64_t key, std::uint64_t node, int offset) {
  return offset + std::countl_zero(key ^ node) / 8;
}

// The length of the common prefix of the key string and a string of the same
// tree, 1 to 18; on less than 18, whether the key sorts after the string.
// The comparison of whole words gives the order of the first differing
// bytes.  The key's bytes 1-8 come ready as `low`; most strings differ from
// it there.
int CommonLength(std::uint64_t low, const std::uint8_t* key, const std::uint8_t* node,
                 bool& key_greater) {
  std::uint64_t word = LoadOrdered64(node + 1);
  key_greater = low > word;
  if (word != low) return EqualLength(low, word, 1);
  const std::uint64_t middle = LoadOrdered64(key + 9);
  word = LoadOrdered64(node + 9);
  key_greater = middle > word;
  if (word != middle) return EqualLength(middle, word, 9);
  // Bytes 10 to 16 are known equal here, so a difference can only be at 17.
  const std::uint64_t high = LoadOrdered64(key + 10);
  word = LoadOrdered64(node + 10);
  key_greater = high > word;
  if (word != high) return EqualLength(high, word, 10);
  return kLZSSMaxMatch;
}

}  // namespace

TLZSSMatchTree::TLZSSMatchTree(TLZSSTreeBlock& block) : block_(block) {
  std::memset(&block_, 0, sizeof block_);
  for (auto& parent : block_.Parent) parent = kLZSSNil;
  for (int root = kLZSSFirstRoot; root < kLZSSNodeSlots; ++root)
    block_.Child[root][kRight] = kLZSSNil;
}

// The way of one string down its tree, as far as it has gone.
struct TLZSSMatchTree::TDescent {
  TDescent(const std::uint8_t* ring, int string, int last_position)
      : Key(ring + string),
        Low(LoadOrdered64(Key + 1)),
        R(string),
        P(kLZSSFirstRoot + ring[string]),
        Position(last_position) {}

  const std::uint8_t* Key;
  std::uint64_t Low;  // bytes 1-8 of the key
  int R;
  int P;  // the last node met
  bool Greater = true;
  bool Replaces = false;  // P holds the same 18 bytes
  int Longest = 0;
  int Position;
  int Depth = 0;  // ends as the level of R, a child of the root being at 1
};

// Goes one level down; false once R has found its place: below P on the
// side Greater, or instead of P.
inline bool TLZSSMatchTree::Step(TDescent& d) const {
  const auto& child = block_.Child;
  ++d.Depth;
  // Both children are loaded before the comparison has chosen one, so that
  // the loads do not wait for it.
  const int left = child[d.P][kLeft];
  const int right = child[d.P][kRight];
  const int next = d.Greater ? right : left;
  if (next == kLZSSNil) return false;
  d.P = next;
  const int length = CommonLength(d.Low, d.Key, block_.Ring + next, d.Greater);
  // Whether a node improves on the longest match so far is a coin toss,
  // so it is chosen without a branch.
  const bool longer = length > d.Longest;
  d.Position = longer ? next : d.Position;
  d.Longest = longer ? length : d.Longest;
  d.Replaces = length == kLZSSMaxMatch;
  return !d.Replaces;
}

int TLZSSMatchTree::Finish(const TDescent& d) {
  if (d.Replaces) {
    Replace(d.P, d.R);
  } else {
    block_.Child[d.P][d.Greater] = static_cast<std::uint16_t>(d.R);
    block_.Parent[d.R] = static_cast<std::uint16_t>(d.P);
  }
  match_position_ = d.Position;
  levels_[d.Key[0]] += static_cast<std::uint32_t>(d.Depth);
  if (d.Depth >= kSplayDepth) Splay(d.R);
  return d.Longest;
}

int TLZSSMatchTree::Insert(int r) {
  block_.Child[r][kLeft] = block_.Child[r][kRight] = kLZSSNil;
  TDescent d(block_.Ring, r, match_position_);
  while (Step(d)) {
  }
  return Finish(d);
}

// Each descent is a chain of loads that wait on each other; two chains in
// different trees overlap.  Nothing either one reads is written by the
// other before both are finished.
TLZSSMatchPair TLZSSMatchTree::InsertPair(int first, int second) {
  auto& child = block_.Child;
  child[first][kLeft] = child[first][kRight] = kLZSSNil;
  child[second][kLeft] = child[second][kRight] = kLZSSNil;
  TDescent a(block_.Ring, first, match_position_);
  TDescent b(block_.Ring, second, match_position_);
  bool a_goes_on;
  bool b_goes_on;
  do {
    a_goes_on = Step(a);
    b_goes_on = Step(b);
  } while (a_goes_on && b_goes_on);
  while (a_goes_on) a_goes_on = Step(a);
  while (b_goes_on) b_goes_on = Step(b);
  // In an empty tree the second keeps the match position the first left.
  if (b.Longest == 0) b.Position = a.Position;
  const TLZSSMatchPair pair = {{Finish(a), a.Position}, {Finish(b), b.Position}};
  return pair;
}

void TLZSSMatchTree::Replace(int p, int r) {
  auto& child = block_.Child;
  auto& parent = block_.Parent;
  for (int side : {kLeft, kRight}) {
    child[r][side] = child[p][side];
    if (child[r][side] != kLZSSNil) parent[child[r][side]] = static_cast<std::uint16_t>(r);
  }
  const int up = parent[p];
  parent[r] = static_cast<std::uint16_t>(up);
  child[up][child[up][kRight] == p] = static_cast<std::uint16_t>(r);
  parent[p] = kLZSSNil;
}

void TLZSSMatchTree::Delete(int p) {
  auto& child = block_.Child;
  auto& parent = block_.Parent;
  const int up = parent[p];
  if (up == kLZSSNil) return;
  const int left = child[p][kLeft];
  const int right = child[p][kRight];
  int q;
  if (right == kLZSSNil) {
    q = left;
  } else if (left == kLZSSNil) {
    q = right;
  } else {
    // Both children: the predecessor (rightmost of the left subtree) takes
    // p's place, its own left subtree taking the predecessor's.
    q = left;
    if (child[q][kRight] != kLZSSNil) {
      do q = child[q][kRight];
      while (child[q][kRight] != kLZSSNil);
      const int q_up = parent[q];
      const int q_left = child[q][kLeft];
      child[q_up][kRight] = static_cast<std::uint16_t>(q_left);
      if (q_left != kLZSSNil) parent[q_left] = static_cast<std::uint16_t>(q_up);
      child[q][kLeft] = static_cast<std::uint16_t>(left);
      parent[left] = static_cast<std::uint16_t>(q);
    }
    child[q][kRight] = static_cast<std::uint16_t>(right);
    parent[right] = static_cast<std::uint16_t>(q);
  }
  if (q != kLZSSNil) parent[q] = static_cast<std::uint16_t>(up);
  child[up][child[up][kRight] == p] = static_cast<std::uint16_t>(q);
  parent[p] = kLZSSNil;
}

void TLZSSMatchTree::CollectLevels(std::uint32_t (&levels)[256]) {
  for (int first = 0; first < 256; ++first) levels[first] += levels_[first];
  std::memset(levels_, 0, sizeof levels_);
}

// A node's first byte names its tree, and its parent link tells whether it
// is in one; the node keeps its number, which is its ring position, so the
// links move as they are.
void TLZSSMatchTree::MoveTrees(const bool (&moving)[256], TLZSSMatchTree& to) {
  TLZSSTreeBlock& from = block_;
  TLZSSTreeBlock& into = to.block_;
  for (int p = 0; p < kLZSSRingSize; ++p) {
    if (from.Parent[p] == kLZSSNil || !moving[from.Ring[p]]) continue;
    into.Child[p][kLeft] = from.Child[p][kLeft];
    into.Child[p][kRight] = from.Child[p][kRight];
    into.Parent[p] = from.Parent[p];
    from.Parent[p] = kLZSSNil;
  }
  for (int first = 0; first < 256; ++first) {
    if (!moving[first]) continue;
    const int root = kLZSSFirstRoot + first;
    into.Child[root][kRight] = from.Child[root][kRight];
    from.Child[root][kRight] = kLZSSNil;
  }
}

// Each pass lifts x by two levels (zig-zig or zig-zag below a grandparent
// that is a node) or by one (below the root), as in a splay tree; `side`
// names the child slot, its mirror image being 1 - side.
void TLZSSMatchTree::Splay(int x) {
  auto& child = block_.Child;
  auto& parent = block_.Parent;
  auto link = [&](int node, int side, int below) {
    child[node][side] = static_cast<std::uint16_t>(below);
    if (below != kLZSSNil) parent[below] = static_cast<std::uint16_t>(node);
  };
  for (;;) {
    const int p = parent[x];
    if (IsRoot(p)) return;
    const int g = parent[p];
    const int x_side = child[p][kRight] == x;
    if (IsRoot(g)) {
      link(p, x_side, child[x][1 - x_side]);
      link(x, 1 - x_side, p);
      link(g, kRight, x);
      return;
    }
    const int h = parent[g];
    const int p_side = child[g][kRight] == p;
    const int h_side = IsRoot(h) ? kRight : int{child[h][kRight] == g};
    if (x_side == p_side) {
      // Zig-zig: g goes below p, then p below x.
      link(g, p_side, child[p][1 - p_side]);
      link(p, 1 - p_side, g);
      link(p, x_side, child[x][1 - x_side]);
      link(x, 1 - x_side, p);
    } else {
      // Zig-zag: x takes the place of g with p and g as its children.
      link(g, p_side, child[x][1 - p_side]);
      link(p, x_side, child[x][p_side]);
      link(x, p_side, p);
      link(x, x_side, g);
    }
    link(h, h_side, x);
  }
}

}  // namespace zorellz
