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

// Bytes 1 to 17 of a string (its first byte is that of its whole tree) as
// three words: bytes 1-8, 9-16 and 10-17.
struct TTail {
  std::uint64_t Low;
  std::uint64_t Middle;
  std::uint64_t High;
};

TTail LoadTail(const std::uint8_t* string) {
  return {LoadOrdered64(string + 1), LoadOrdered64(string + 9), LoadOrdered64(string + 10)};
}

// Two unequal words whose bytes start at `offset` in their strings: the
// number of equal leading bytes of the strings.
int EqualLength(std::uint64_t key, std::uint64_t node, int offset) {
  return offset + std::countl_zero(key ^ node) / 8;
}

// The length of the common prefix of the key and a string of the same tree,
// 1 to 18; on less than 18, whether the key sorts after the string.  The
// comparison of whole words gives the order of the first differing bytes.
int CommonLength(const TTail& key, const std::uint8_t* node, bool& key_greater) {
  std::uint64_t word = LoadOrdered64(node + 1);
  key_greater = key.Low > word;
  if (word != key.Low) return EqualLength(key.Low, word, 1);
  word = LoadOrdered64(node + 9);
  key_greater = key.Middle > word;
  if (word != key.Middle) return EqualLength(key.Middle, word, 9);
  // Bytes 10 to 16 are known equal here, so a difference can only be at 17.
  word = LoadOrdered64(node + 10);
  key_greater = key.High > word;
  if (word != key.High) return EqualLength(key.High, word, 10);
  return kLZSSMaxMatch;
}

}  // namespace

TLZSSMatchTree::TLZSSMatchTree(TLZSSTreeBlock& block) : block_(block) {
  std::memset(&block_, 0, sizeof block_);
  for (auto& parent : block_.Parent) parent = kLZSSNil;
  for (int root = kLZSSFirstRoot; root < kLZSSNodeSlots; ++root)
    block_.Child[root][kRight] = kLZSSNil;
}

int TLZSSMatchTree::Insert(int r) {
  auto& child = block_.Child;
  const std::uint8_t* ring = block_.Ring;
  const TTail key = LoadTail(ring + r);
  child[r][kLeft] = child[r][kRight] = kLZSSNil;
  int p = kLZSSFirstRoot + ring[r];
  bool greater = true;
  int longest = 0;
  int position = match_position_;
  int depth = 0;  // ends as the level of r, a child of the root being at 1
  for (;;) {
    ++depth;
    // Both children are loaded before the comparison has chosen one, so that
    // the loads do not wait for it.
    const int left = child[p][kLeft];
    const int right = child[p][kRight];
    const int next = greater ? right : left;
    if (next == kLZSSNil) {
      child[p][greater] = static_cast<std::uint16_t>(r);
      block_.Parent[r] = static_cast<std::uint16_t>(p);
      break;
    }
    p = next;
    const int length = CommonLength(key, ring + p, greater);
    // Whether a node improves on the longest match so far is a coin toss,
    // so it is chosen without a branch.
    const bool longer = length > longest;
    position = longer ? p : position;
    longest = longer ? length : longest;
    if (length == kLZSSMaxMatch) {
      Replace(p, r);
      break;
    }
  }
  match_position_ = position;
  if (depth >= kSplayDepth) Splay(r);
  return longest;
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
