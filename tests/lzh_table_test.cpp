// The adaptive Huffman LZ decoder's table of ways through the top of the
// tree, checked against the walk bit by bit on long adaptive runs: after
// every update, each entry the table still knows must be the way its bits
// take through the tree as it is now.
#include "archive/codec/LZHDecodeTable.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "archive/codec/LZHModel.h"

namespace zorellz {
namespace {

constexpr int kBits = TLZHDecodeTable::kBits;

// The way of `bits` (kBits of them, the first the most significant) from the
// root, down to a leaf or kBits levels; returns its levels.
int Walk(const TLZHModel& model, unsigned bits, TLZHStep* way) {
  unsigned node = TLZHModel::kRoot;
  int levels = 0;
  while (levels < kBits && !TLZHModel::IsLeaf(node)) {
    const unsigned side = (bits >> (kBits - 1 - levels)) & 1;
    node = model.StepDown(node, side, way[levels++]);
  }
  return levels;
}

void ExpectTableMatchesTree(const TLZHDecodeTable& table, const TLZHModel& model, int symbol) {
  for (unsigned bits = 0; bits < (1u << kBits); ++bits) {
    const int levels = table.Levels(bits);
    if (levels == 0) continue;
    TLZHStep way[kBits];
    ASSERT_EQ(Walk(model, bits, way), levels) << "entry " << bits << " after symbol " << symbol;
    for (int i = 0; i < levels; ++i) {
      ASSERT_EQ(table.Way(bits)[i].Node, way[i].Node) << "entry " << bits << " level " << i;
      ASSERT_EQ(table.Way(bits)[i].Sibling, way[i].Sibling) << "entry " << bits << " level " << i;
      ASSERT_EQ(table.Way(bits)[i].Side, way[i].Side) << "entry " << bits << " level " << i;
    }
  }
}

// Decodes `symbols` through a model and a table the way the decoder does:
// the codes come from an encoder's model, the way from the walk down, and
// every way walked fills its entry before the update.
void RunAdaptive(const std::vector<int>& symbols, unsigned seed) {
  TLZHModel encoder;
  TLZHModel decoder;
  TLZHDecodeTable table;
  std::mt19937 random(seed);
  std::vector<TLZHStep> way(TLZHModel::kMaxLevels);
  int forgotten_near_root = 0;
  for (int n = 0; n < static_cast<int>(symbols.size()); ++n) {
    TLZHCode code;
    encoder.Update(symbols[n], code);
    // The code from the root down, then random bits past a short code.
    way[0].Node = TLZHModel::kRoot;
    unsigned node = TLZHModel::kRoot;
    unsigned entry = 0;
    for (int level = 1; level <= code.Length; ++level) {
      const int index = code.Length - level;
      const unsigned side = (code.Words[index / 64] >> (index % 64)) & 1;
      node = decoder.StepDown(node, side, way[level]);
      if (level <= kBits) entry = (entry << 1) | side;
    }
    ASSERT_EQ(TLZHModel::SymbolOf(static_cast<int>(node)), symbols[n]);
    for (int level = code.Length; level < kBits; ++level) entry = (entry << 1) | (random() & 1);
    table.Fill(entry, way.data() + 1, code.Length < kBits ? code.Length : kBits);
    const int changed = decoder.Update(way.data(), way.data() + code.Length);
    if (changed < 2) ++forgotten_near_root;
    table.Forget(way.data(), changed);
    ExpectTableMatchesTree(table, decoder, n);
  }
  // The run reached the cases that forget most of the table.
  EXPECT_GT(forgotten_near_root, 0);
}

TEST(LzhTable, KnownWaysFollowTheTreeThroughExchangesAndHalvings) {
  // A few symbols far more frequent than the rest, the favourites changing
  // every 3,000 symbols, so that heavy leaves climb and fall near the root;
  // the root reaches 2,000 and halves several times.
  std::mt19937 random(7);
  std::vector<int> symbols;
  for (int phase = 0; phase < 6; ++phase) {
    for (int n = 0; n < 3000; ++n) {
      const bool favourite = random() % 4 != 0;
      symbols.push_back(favourite ? phase * 40 + static_cast<int>(random() % 6)
                                  : static_cast<int>(random() % kLZHSymbolCount));
    }
  }
  RunAdaptive(symbols, 1);
}

TEST(LzhTable, KnownWaysFollowTheTreeOnEvenlySpreadSymbols) {
  // Every symbol alike: long codes, exchanges all over the tree.
  std::mt19937 random(11);
  std::vector<int> symbols(12000);
  for (int& symbol : symbols) symbol = static_cast<int>(random() % kLZHSymbolCount);
  RunAdaptive(symbols, 2);
}

}  // namespace
}  // namespace zorellz
