#include "archive/codec/LZHModel.h"

namespace zorellz {
TLZHModel::TLZHModel() {
  for (int n = kRoot; n <= kInternalNodes; ++n) {
    child_[0][n] = static_cast<std::uint16_t>(2 * n);
    child_[1][n] = static_cast<std::uint16_t>(2 * n + 1);
  }
  child_[0][0] = child_[1][0] = 0;
  parent_[0] = parent_[kRoot] = 0;
  // Internal nodes start at 1, not at the sum of their leaves.
  weight_[0] = weight_[kRoot] = 0;
  for (int n = 2; n <= kNodeCount; ++n) {
    parent_[n] = static_cast<std::uint16_t>(n / 2);
    weight_[n] = 1;
  }
}

// The encoder knows the leaf, not the way to it: it climbs the parent links
// to the root first, the code's bits being the sides it climbs from.  The
// bits gather in a register, so that the climb waits on nothing but the
// links.
void TLZHModel::Update(int symbol, TLZHCode& code) {
  TLZHStep* const leaf = way_ + kMaxLevels - 1;
  TLZHStep* step = leaf;
  int node = symbol + kFirstLeaf;
  int level = 0;
  std::uint64_t word = 0;
  while (node != kRoot) {
    const int p = parent_[node];
    const unsigned side = child_[1][p] == node;
    *step-- = {static_cast<std::uint16_t>(node), child_[side ^ 1][p],
               static_cast<std::uint16_t>(side)};
    word |= std::uint64_t{side} << (level % 64);
    if (++level % 64 == 0) {
      code.Words[level / 64 - 1] = word;
      word = 0;
    }
    node = p;
  }
  if (level % 64 != 0) code.Words[level / 64] = word;
  step->Node = kRoot;
  code.Length = level;
  Reshape<true>(step, leaf);
}

// Puts back the links and the leaf's weight as they were before the pass.
// The weights above the leaf need no restoring: the update step by step
// recomputes every one of them before it reads it.
void TLZHModel::Restore(const TLZHStep* root, const TLZHStep* leaf) {
  for (const TLZHStep* step = root + 1; step <= leaf; ++step) {
    child_[step->Side][step[-1].Node] = step->Node;
    child_[step->Side ^ 1][step[-1].Node] = step->Sibling;
  }
  --weight_[leaf->Node];
}

// The update exactly as the format states it, for the rare one that halves;
// `level` is the leaf's.  Returns what Update does.
int TLZHModel::UpdateStepByStep(int leaf, int level) {
  // The decoder's passes leave the parent links behind.
  for (int n = kRoot; n <= kInternalNodes; ++n) {
    parent_[child_[0][n]] = parent_[child_[1][n]] = static_cast<std::uint16_t>(n);
  }
  ++weight_[leaf];
  int p = parent_[leaf];
  if (p == kRoot) return kMaxLevels;
  Recompute(leaf);
  int node = leaf;
  int highest = kMaxLevels;
  do {
    const int uncle = Sibling(p);
    if (weight_[uncle] < weight_[node]) {
      Exchange(node, uncle);
      Recompute(uncle);
      highest = level - 2;
    }
    // After an exchange the walk goes on from the old parent, the uncle's
    // parent now, just as it does without one: one level up the old way.
    node = p;
    p = parent_[node];
    --level;
  } while (p != kRoot);
  return highest;
}

// Sets each weight from `node` up to the root to the sum of its children's,
// then halves every weight if the root's is exactly kHalvingWeight.
void TLZHModel::Recompute(int node) {
  do {
    const int p = parent_[node];
    weight_[p] = static_cast<std::uint16_t>(weight_[child_[0][p]] + weight_[child_[1][p]]);
    node = p;
  } while (node != kRoot);
  if (weight_[kRoot] == kHalvingWeight) {
    for (int n = kRoot; n <= kNodeCount; ++n) weight_[n] >>= 1;
  }
}

// The two nodes trade places: each becomes the child of the other's parent,
// in the other's slot.
void TLZHModel::Exchange(int a, int b) {
  const int pa = parent_[a];
  const int pb = parent_[b];
  child_[child_[1][pa] == a][pa] = static_cast<std::uint16_t>(b);
  child_[child_[1][pb] == b][pb] = static_cast<std::uint16_t>(a);
  parent_[a] = static_cast<std::uint16_t>(pb);
  parent_[b] = static_cast<std::uint16_t>(pa);
}

}  // namespace zorellz
