#include "archive/codec/LZHModel.h"

namespace zorellz {
namespace {

// Every weight is halved when a recomputation leaves exactly this at the
// root; a root weight that passes it without equalling it halves nothing.
constexpr std::uint16_t kHalvingWeight = 2000;

// Sets bit `index` of a code being collected from the leaf up.
void AddBit(TLZHCode& code, int index, unsigned bit) {
  std::uint64_t& word = code.Words[index / 64];
  if (index % 64 == 0) word = 0;
  word |= std::uint64_t{bit} << (index % 64);
}

}  // namespace

TLZHModel::TLZHModel() {
  for (int n = kRoot; n <= kInternalNodes; ++n) {
    child_[n][0] = static_cast<std::uint16_t>(2 * n);
    child_[n][1] = static_cast<std::uint16_t>(2 * n + 1);
  }
  child_[0][0] = child_[0][1] = 0;
  parent_[0] = parent_[kRoot] = 0;
  // Internal nodes start at 1, not at the sum of their leaves.
  weight_[0] = weight_[kRoot] = 0;
  for (int n = 2; n <= kNodeCount; ++n) {
    parent_[n] = static_cast<std::uint16_t>(n / 2);
    weight_[n] = 1;
  }
}

void TLZHModel::Update(int symbol) {
  Reshape<false>(symbol + kFirstLeaf, nullptr);
}

void TLZHModel::Update(int symbol, TLZHCode& code) {
  Reshape<true>(symbol + kFirstLeaf, &code);
}

// The update as the format defines it: recompute the weights from the leaf
// to the root, then walk up comparing each node with its uncle, exchanging
// the two when the uncle is lighter and recomputing from there.  Done one
// step after the other, that is quadratic in the depth; it comes to a single
// pass because after the first recomputation every weight on the path is the
// sum of its children's, and an exchange then changes only the weight of the
// node's old parent: the grandparent keeps the same three summands.  The one
// thing the single pass cannot see coming is a halving (the root reaching
// 2,000 at the end of the first recomputation, and then only there, as the
// root's weight is final after it); in that rare case the pass is undone and
// the update done step by step.
template <bool kWithCode>
void TLZHModel::Reshape(int leaf, TLZHCode* code) {
  // The weight of `node` travels in a register from one level to the next.
  std::uint16_t node_weight = ++weight_[leaf];
  int node = leaf;
  int p = parent_[leaf];
  int level = 0;
  while (p != kRoot) {
    const int g = parent_[p];
    const unsigned p_right = child_[g][1] == p;
    const int uncle = child_[g][p_right ^ 1];
    const unsigned right = child_[p][1] == node;
    const int sibling = child_[p][right ^ 1];
    if constexpr (kWithCode) AddBit(*code, level, right);
    steps_[level] = {static_cast<std::uint16_t>(node), 0, weight_[p]};
    const std::uint16_t uncle_weight = weight_[uncle];
    if (uncle_weight < node_weight) {
      child_[g][p_right ^ 1] = static_cast<std::uint16_t>(node);
      child_[p][right] = static_cast<std::uint16_t>(uncle);
      parent_[node] = static_cast<std::uint16_t>(g);
      parent_[uncle] = static_cast<std::uint16_t>(p);
      steps_[level].Uncle = static_cast<std::uint16_t>(uncle);
      node_weight = uncle_weight;
    }
    node_weight = static_cast<std::uint16_t>(node_weight + weight_[sibling]);
    weight_[p] = node_weight;
    node = p;
    p = g;
    ++level;
  }
  if constexpr (kWithCode) {
    AddBit(*code, level, child_[kRoot][1] == node);
    code->Length = level + 1;
  }
  if (level == 0) return;  // a child of the root: nothing is recomputed
  const std::uint16_t old_root = weight_[kRoot];
  weight_[kRoot] =
      static_cast<std::uint16_t>(weight_[child_[kRoot][0]] + weight_[child_[kRoot][1]]);
  if (weight_[kRoot] == kHalvingWeight) {
    weight_[kRoot] = old_root;
    Undo(leaf, level);
    UpdateStepByStep(leaf);
  }
}

void TLZHModel::Undo(int leaf, int levels) {
  for (int level = levels - 1; level >= 0; --level) {
    const TStep& step = steps_[level];
    if (step.Uncle != 0) Exchange(step.Uncle, step.Node);
    weight_[parent_[step.Node]] = step.OldWeight;
  }
  --weight_[leaf];
}

// The update exactly as the format states it, for the rare one that halves.
void TLZHModel::UpdateStepByStep(int leaf) {
  ++weight_[leaf];
  int p = parent_[leaf];
  if (p == kRoot) return;
  Recompute(leaf);
  int node = leaf;
  do {
    const int uncle = Sibling(p);
    if (weight_[uncle] < weight_[node]) {
      Exchange(node, uncle);
      Recompute(uncle);
    }
    // After an exchange the walk goes on from the old parent, the uncle's
    // parent now, just as it does without one.
    node = p;
    p = parent_[node];
  } while (p != kRoot);
}

// Sets each weight from `node` up to the root to the sum of its children's,
// then halves every weight if the root's is exactly kHalvingWeight.
void TLZHModel::Recompute(int node) {
  do {
    const int p = parent_[node];
    weight_[p] = static_cast<std::uint16_t>(weight_[child_[p][0]] + weight_[child_[p][1]]);
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
  child_[pa][child_[pa][1] == a] = static_cast<std::uint16_t>(b);
  child_[pb][child_[pb][1] == b] = static_cast<std::uint16_t>(a);
  parent_[a] = static_cast<std::uint16_t>(pb);
  parent_[b] = static_cast<std::uint16_t>(pa);
}

}  // namespace zorellz
