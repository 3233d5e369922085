// Internal to the adaptive Huffman LZ codec: its alphabet and the adaptive
// Huffman tree that the encoder and the decoder update identically after
// every symbol.
#pragma once

#include <cstdint>
#include <utility>

namespace zorellz {

// Symbols: 0-255 literal bytes, 256 the end of the stream, then one symbol
// per distance class and match length.
inline constexpr int kLZHEndSymbol = 256;
inline constexpr int kLZHFirstMatchSymbol = 257;
inline constexpr int kLZHMinMatch = 3;
inline constexpr int kLZHMaxMatch = 64;
inline constexpr int kLZHMatchLengths = kLZHMaxMatch - kLZHMinMatch + 1;
inline constexpr int kLZHDistanceClasses = 6;
inline constexpr int kLZHSymbolCount =
    kLZHFirstMatchSymbol + kLZHDistanceClasses * kLZHMatchLengths;

// A match of length L at distance d is coded by V = d - L: the first class
// whose Upper is at least V, then V - Base in Bits raw bits.
struct TLZHDistanceClass {
  int Bits;
  int Base;
  int Upper;
};
inline constexpr TLZHDistanceClass kLZHClasses[kLZHDistanceClasses] = {
    {4, 0, 15}, {6, 16, 79}, {8, 80, 335}, {10, 336, 1359}, {12, 1360, 5455}, {14, 5456, 21839},
};
inline constexpr int kLZHLargestValue = kLZHClasses[kLZHDistanceClasses - 1].Upper;

// The code of a symbol: bit j (of word j / 64) is the step into the j-th
// node above its leaf, so the last bit is the step out of the root.
struct TLZHCode {
  static constexpr int kWords = 10;  // room for the deepest possible leaf
  int Length = 0;
  std::uint64_t Words[kWords];
};

// One level of the way from the root to a leaf, as it was before the
// update: the node there, the other child of its parent and the side of
// the parent it hangs on (0 left, 1 right).  The weights the update needs it
// reads from the tree.
struct TLZHStep {
  std::uint16_t Node;
  std::uint16_t Sibling;
  std::uint16_t Side;
};

// Nodes 1 to 628 are internal, node 1 the root; the leaf of symbol s is node
// s + 629.  A symbol's code is its path from the root, 0 for a step to a
// left child and 1 for a step to a right child.  Weights are 16-bit and wrap.
class TLZHModel {
 public:
  static constexpr int kRoot = 1;
  static constexpr int kInternalNodes = kLZHSymbolCount - 1;
  static constexpr int kFirstLeaf = kInternalNodes + 1;
  static constexpr int kNodeCount = kInternalNodes + kLZHSymbolCount;
  // Levels of the deepest possible leaf's way, the root's included.
  static constexpr int kMaxLevels = kInternalNodes + 1;

  TLZHModel();

  static bool IsLeaf(unsigned node) { return node >= kFirstLeaf; }
  static int SymbolOf(int leaf) { return leaf - kFirstLeaf; }

  // Fills in the level below internal `node` on `side` and returns its node,
  // for a decoder finding its way down from the root.  The descent waits on
  // one load per level: the row comes from the side, known ahead.
  unsigned StepDown(unsigned node, unsigned side, TLZHStep& below) const {
    const unsigned child = child_[side][node];
    below.Node = static_cast<std::uint16_t>(child);
    below.Sibling = child_[side ^ 1][node];
    below.Side = static_cast<std::uint16_t>(side);
    return child;
  }

  // Counts one more occurrence of the leaf at the end of the way from
  // `root` (whose Node is kRoot) to `leaf`, and reshapes the tree.  Returns
  // the level of the highest node whose children changed (the root's being
  // 0), or kMaxLevels when the links all stayed.
  int Update(const TLZHStep* root, const TLZHStep* leaf) { return Reshape<false>(root, leaf); }
  // The same for `symbol`, storing in `code` the code it had before.
  void Update(int symbol, TLZHCode& code);

 private:
  // Every weight is halved when a recomputation leaves exactly this at the
  // root; a root weight that passes it without equalling it halves nothing.
  static constexpr std::uint16_t kHalvingWeight = 2000;

  template <bool kTrackParents>
  int Reshape(const TLZHStep* root, const TLZHStep* leaf);
  void Restore(const TLZHStep* root, const TLZHStep* leaf);
  int UpdateStepByStep(int leaf, int level);
  void Recompute(int node);
  void Exchange(int a, int b);
  int Sibling(int node) const {
    const int p = parent_[node];
    return child_[0][p] ^ child_[1][p] ^ node;
  }

  // Indexed [side][node], so that a descent can pick the row from the next
  // bit before it knows the node.
  std::uint16_t child_[2][kInternalNodes + 1];
  // The encoder's updates keep these; the decoder's leave them behind, and
  // the rare update done step by step rebuilds them first.
  std::uint16_t parent_[kNodeCount + 1];
  std::uint16_t weight_[kNodeCount + 1];
  // The encoder's way up, filled from the end.
  TLZHStep way_[kMaxLevels];
};

// The update as the format defines it: recompute the weights from the leaf
// to the root, then walk up comparing each node with its uncle, exchanging
// the two when the uncle is lighter and recomputing from there.  Done one
// step after the other, that is quadratic in the depth; it comes to a single
// pass because after the first recomputation every weight on the path is the
// sum of its children's, and an exchange then changes only the weight of the
// node's old parent: the grandparent keeps the same three summands.
//
// Neither the uncles nor their weights change before they are compared, so
// the pass needs only the way as it was and the weights.  It runs on two
// weights: the node's, and that of its sibling, which after the comparison
// one level down is the heavier of that level's node and uncle (the one left
// in the uncle's place).  The lighter one joins the sibling in the parent.
//
// The one thing the single pass cannot see coming is a halving (the root
// reaching 2,000 at the end of the first recomputation, and then only there,
// as the root's weight is final after it); in that rare case the pass is
// undone and the update done step by step.
//
// Defined here, inline, as the decoder spends a good part of its time in it.
template <bool kTrackParents>
inline int TLZHModel::Reshape(const TLZHStep* root, const TLZHStep* leaf) {
  std::uint16_t node_weight = static_cast<std::uint16_t>(weight_[leaf->Node] + 1);
  weight_[leaf->Node] = node_weight;
  if (leaf - root < 2) return kMaxLevels;  // a child of the root: nothing is recomputed
  std::uint16_t sibling_weight = weight_[leaf->Sibling];
  const TLZHStep* highest = nullptr;  // the highest level that exchanged
  for (const TLZHStep* step = leaf; step - root >= 2; --step) {
    const TLZHStep& parent = step[-1];
    const int node = step->Node;
    const int g = step[-2].Node;
    const int uncle = parent.Sibling;
    std::uint16_t lighter = node_weight;
    std::uint16_t heavier = weight_[uncle];
    if (heavier < lighter) {  // equal weights stay where they are
      child_[parent.Side ^ 1][g] = static_cast<std::uint16_t>(node);
      child_[step->Side][parent.Node] = static_cast<std::uint16_t>(uncle);
      if constexpr (kTrackParents) {
        parent_[node] = static_cast<std::uint16_t>(g);
        parent_[uncle] = parent.Node;
      }
      std::swap(lighter, heavier);
      highest = step;
    }
    node_weight = static_cast<std::uint16_t>(lighter + sibling_weight);
    sibling_weight = heavier;
    weight_[parent.Node] = node_weight;
  }
  const std::uint16_t root_weight = static_cast<std::uint16_t>(node_weight + sibling_weight);
  if (root_weight != kHalvingWeight) {
    weight_[kRoot] = root_weight;
    // An exchange at a level changes the children of the node two above.
    return highest == nullptr ? kMaxLevels : static_cast<int>(highest - root) - 2;
  }
  Restore(root, leaf);
  return UpdateStepByStep(leaf->Node, static_cast<int>(leaf - root));
}

}  // namespace zorellz
