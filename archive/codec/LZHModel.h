// Internal to the adaptive Huffman LZ codec: its alphabet and the adaptive
// Huffman tree that the encoder and the decoder update identically after
// every symbol.
#pragma once

#include <cstdint>

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

// Nodes 1 to 628 are internal, node 1 the root; the leaf of symbol s is node
// s + 629.  A symbol's code is its path from the root, 0 for a step to a
// left child and 1 for a step to a right child.  Weights are 16-bit and wrap.
class TLZHModel {
 public:
  static constexpr int kRoot = 1;
  static constexpr int kInternalNodes = kLZHSymbolCount - 1;
  static constexpr int kFirstLeaf = kInternalNodes + 1;
  static constexpr int kNodeCount = kInternalNodes + kLZHSymbolCount;

  TLZHModel();

  int Child(int node, unsigned bit) const { return child_[node][bit]; }
  static bool IsLeaf(int node) { return node >= kFirstLeaf; }
  static int SymbolOf(int leaf) { return leaf - kFirstLeaf; }

  // Counts one more occurrence of `symbol` and reshapes the tree.
  void Update(int symbol);
  // The same, storing in `code` the code that `symbol` had before.
  void Update(int symbol, TLZHCode& code);

 private:
  template <bool kWithCode>
  void Reshape(int leaf, TLZHCode* code);
  void Undo(int leaf, int levels);
  void UpdateStepByStep(int leaf);
  void Recompute(int node);
  void Exchange(int a, int b);
  int Sibling(int node) const {
    const int p = parent_[node];
    return child_[p][0] ^ child_[p][1] ^ node;
  }

  std::uint16_t child_[kInternalNodes + 1][2];
  std::uint16_t parent_[kNodeCount + 1];
  std::uint16_t weight_[kNodeCount + 1];

  // What one reshaping changed, level by level, in case it must be undone.
  struct TStep {
    std::uint16_t Node;
    std::uint16_t Uncle;  // 0 when the two were not exchanged
    std::uint16_t OldWeight;
  };
  TStep steps_[kInternalNodes];
};

}  // namespace zorellz
