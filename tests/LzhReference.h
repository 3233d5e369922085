// A literal model of the adaptive Huffman LZ codec, slow and plain on
// purpose: the tree as arrays indexed by node number with 16-bit weights, one
// bit at a time into and out of the words, every window index reduced modulo
// the window size.  The library's codec must give the same bytes in both
// directions.  Besides the stream, the model tells the tests what happened on
// the way (halvings of the tree, matches, the text or binary decision).
// Header only, so that the fuzz build needs nothing else from the tests.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace zorellz::test {

inline constexpr int kLZHRefWindow = 21903;
inline constexpr int kLZHRefEndSymbol = 256;
inline constexpr int kLZHRefFirstMatchSymbol = 257;
inline constexpr int kLZHRefLengths = 62;  // match lengths 3 to 64
inline constexpr int kLZHRefShortest = 3;
inline constexpr int kLZHRefLongest = 64;

// The six distance classes: raw bits, smallest and largest value of
// distance - length.
inline constexpr std::array<int, 6> kLZHRefClassBits = {4, 6, 8, 10, 12, 14};
inline constexpr std::array<int, 6> kLZHRefClassBase = {0, 16, 80, 336, 1360, 5456};
inline constexpr std::array<int, 6> kLZHRefClassUpper = {15, 79, 335, 1359, 5455, 21839};

// ---- The adaptive Huffman tree ------------------------------------------------

class TLZHReferenceTree {
 public:
  static constexpr int kRoot = 1;
  static constexpr int kLastInternal = 628;
  static constexpr int kFirstLeaf = 629;
  static constexpr int kLastNode = 1257;
  static constexpr std::uint16_t kHalvingWeight = 2000;

  TLZHReferenceTree() {
    for (int n = 1; n <= kLastInternal; ++n) {
      left_[n] = static_cast<std::uint16_t>(2 * n);
      right_[n] = static_cast<std::uint16_t>(2 * n + 1);
    }
    for (int n = 2; n <= kLastNode; ++n) {
      parent_[n] = static_cast<std::uint16_t>(n / 2);
      weight_[n] = 1;
    }
    weight_[kRoot] = 0;
  }

  // The path from the root to the leaf of `symbol`: 0 left, 1 right.
  std::vector<int> Code(int symbol) const {
    std::vector<int> bits;
    for (int node = symbol + kFirstLeaf; node != kRoot; node = parent_[node]) {
      bits.push_back(right_[parent_[node]] == node ? 1 : 0);
    }
    std::reverse(bits.begin(), bits.end());
    return bits;
  }

  static bool IsLeaf(int node) { return node > kLastInternal; }
  int Child(int node, int bit) const { return bit ? right_[node] : left_[node]; }

  void Update(int symbol) {
    const int leaf = symbol + kFirstLeaf;
    weight_[leaf] = static_cast<std::uint16_t>(weight_[leaf] + 1);
    int p = parent_[leaf];
    if (p == kRoot) {
      ++updates_at_root_;
      return;
    }
    const int halvings_before = halvings_;
    RecomputeUpward(leaf, OtherChild(p, leaf));
    int node = leaf;
    do {
      const int g = parent_[p];
      const int u = OtherChild(g, p);
      if (weight_[u] < weight_[node]) {
        Exchange(node, u, p, g);
        if (halvings_ != halvings_before) ++exchanges_after_halving_;
        RecomputeUpward(u, OtherChild(p, u));
        node = u;
      }
      // After an exchange node is u, whose parent is now p: the walk goes on
      // from p either way.
      node = parent_[node];
      p = parent_[node];
    } while (p != kRoot);
  }

  int Halvings() const { return halvings_; }
  // Recomputations that took the root's weight from below 2,000 to above it.
  int PassesOverHalvingWeight() const { return passes_; }
  // Exchanges decided on weights halved earlier in the same update.
  int ExchangesAfterHalving() const { return exchanges_after_halving_; }
  // Updates of a leaf whose parent is the root: nothing but the leaf changes.
  int UpdatesAtRoot() const { return updates_at_root_; }

 private:
  int OtherChild(int parent, int child) const {
    return left_[parent] == child ? right_[parent] : left_[parent];
  }

  // `node` (a child of p) and `u` (the other child of g = parent of p) trade
  // places.
  void Exchange(int node, int u, int p, int g) {
    (left_[p] == node ? left_[p] : right_[p]) = static_cast<std::uint16_t>(u);
    (left_[g] == u ? left_[g] : right_[g]) = static_cast<std::uint16_t>(node);
    parent_[u] = static_cast<std::uint16_t>(p);
    parent_[node] = static_cast<std::uint16_t>(g);
  }

  void RecomputeUpward(int a, int b) {
    const std::uint16_t before = weight_[kRoot];
    do {
      weight_[parent_[a]] = static_cast<std::uint16_t>(weight_[a] + weight_[b]);
      a = parent_[a];
      if (a != kRoot) b = OtherChild(parent_[a], a);
    } while (a != kRoot);
    if (weight_[kRoot] == kHalvingWeight) {
      for (int n = 1; n <= kLastNode; ++n) weight_[n] = static_cast<std::uint16_t>(weight_[n] >> 1);
      ++halvings_;
    } else if (before < kHalvingWeight && weight_[kRoot] > kHalvingWeight) {
      ++passes_;
    }
  }

  std::array<std::uint16_t, kLastNode + 1> left_{};
  std::array<std::uint16_t, kLastNode + 1> right_{};
  std::array<std::uint16_t, kLastNode + 1> parent_{};
  std::array<std::uint16_t, kLastNode + 1> weight_{};
  int halvings_ = 0;
  int passes_ = 0;
  int exchanges_after_halving_ = 0;
  int updates_at_root_ = 0;
};

// ---- Writing symbols -------------------------------------------------------------

// Codes symbols and raw bits into 16-bit words, first bit at the top, each
// word stored low byte first.  Also used by the tests to build streams that
// the encoder never makes.
class TLZHReferenceSymbolWriter {
 public:
  void PutSymbol(int symbol) {
    for (int bit : tree_.Code(symbol)) PutBit(bit);
    tree_.Update(symbol);
  }
  // Least significant bit first.
  void PutRaw(int value, int count) {
    for (int i = 0; i < count; ++i) PutBit((value >> i) & 1);
  }
  void PutMatch(int length, int distance_class, int raw) {
    PutSymbol(kLZHRefFirstMatchSymbol + kLZHRefLengths * distance_class + length - kLZHRefShortest);
    PutRaw(raw, kLZHRefClassBits[distance_class]);
  }

  // The words so far, the last one padded with zero bits.
  std::vector<std::uint8_t> Flush() {
    if (pending_ > 0) {
      word_ = static_cast<std::uint16_t>(word_ << (16 - pending_));
      AppendWord();
    }
    return bytes_;
  }
  std::vector<std::uint8_t> Finish() {
    PutSymbol(kLZHRefEndSymbol);
    return Flush();
  }

  std::size_t BitsWritten() const { return bytes_.size() * 8 + pending_; }
  const TLZHReferenceTree& Tree() const { return tree_; }

 private:
  void PutBit(int bit) {
    word_ = static_cast<std::uint16_t>((word_ << 1) | bit);
    if (++pending_ == 16) AppendWord();
  }
  void AppendWord() {
    bytes_.push_back(static_cast<std::uint8_t>(word_ & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(word_ >> 8));
    word_ = 0;
    pending_ = 0;
  }

  TLZHReferenceTree tree_;
  std::uint16_t word_ = 0;
  int pending_ = 0;
  std::vector<std::uint8_t> bytes_;
};

// ---- The compressor --------------------------------------------------------------

struct TLZHReferenceMatch {
  std::size_t At = 0;  // offset of its first byte in the uncompressed data
  int Length = 0;
  int Distance = 0;          // positions back from the first byte of the match
  std::size_t RawBitAt = 0;  // bit offset of its raw distance bits in the stream
  int RawBits = 0;
  bool operator==(const TLZHReferenceMatch&) const = default;
};

struct TLZHReferenceEncoding {
  std::vector<std::uint8_t> Stream;
  bool Binary = false;
  int Literals = 0;
  std::vector<TLZHReferenceMatch> Matches;
  TLZHReferenceTree Tree;  // as the stream leaves it, with its counters
};

class TLZHReferenceEncoder {
 public:
  explicit TLZHReferenceEncoder(const std::vector<std::uint8_t>& input) : input_(input) {}

  TLZHReferenceEncoding Encode() {
    if (EncodeFirstLiterals()) {
      FillLookAhead();
      EncodeWindow();
    }
    result_.Stream = out_.Finish();
    result_.Tree = out_.Tree();
    return result_;
  }

 private:
  static constexpr int kW = kLZHRefWindow;
  static constexpr int kNone = -1;
  static constexpr int kHashSize = 16384;
  static constexpr int kFirstLiterals = 3;
  static constexpr int kLookAhead = 64;

  // The model holds the input in one piece: of the library's chunks only
  // the end of the input shows in the stream, and an input of whole chunks
  // ends as soon as its last byte is taken (the read that follows gives 0).
  bool InputRemains() const { return taken_ < input_.size(); }
  std::uint8_t TakeByte() { return input_[taken_++]; }

  // False when the input ends among the first three bytes.
  bool EncodeFirstLiterals() {
    for (int i = 0; i < kFirstLiterals; ++i) {
      if (!InputRemains()) return false;
      window_[i] = TakeByte();
      EncodeLiteral(window_[i]);
    }
    return true;
  }

  // Bytes 4 to 67 of the input alone decide text or binary.
  void FillLookAhead() {
    fill_ = kFirstLiterals;
    for (int n = 0; n < kLookAhead && InputRemains(); ++n) {
      window_[fill_] = TakeByte();
      if (window_[fill_] > 0x7F) result_.Binary = true;
      ++fill_;
    }
  }

  void EncodeWindow() {
    int cur = kFirstLiterals;
    int ins = 0;
    bool skip = false;
    bool wrapped = false;
    int count = 0;
    while (cur != fill_) {
      if (wrapped) RemoveOldest(fill_);
      Insert(ins);
      if (skip) {
        --count;
        if (count == 1) skip = false;
      } else {
        const int next = FindMatch(cur + 1, result_.Binary ? 20 : 50);
        count = FindMatch(cur, result_.Binary ? 200 : 1000);
        if (count < 3 || next > count) {
          EncodeLiteral(window_[cur]);
        } else {
          skip = true;
          EncodeMatch(count, match_value_);
        }
      }
      cur = (cur + 1) % kW;
      ins = (ins + 1) % kW;
      if (InputRemains()) {
        window_[fill_] = TakeByte();
        ++fill_;
        if (fill_ == kW) {
          fill_ = 0;
          wrapped = true;
        }
      } else {
        // So the step right after the last byte still removes a string from
        // the chains, and no step after it.
        wrapped = false;
      }
    }
  }

  void EncodeLiteral(std::uint8_t byte) {
    out_.PutSymbol(byte);
    ++result_.Literals;
    ++coded_;
  }

  void EncodeMatch(int length, int value) {
    int k = 0;
    while (kLZHRefClassUpper[k] < value) ++k;
    out_.PutSymbol(length + 254 + 62 * k);
    result_.Matches.push_back(
        {coded_, length, value + length, out_.BitsWritten(), kLZHRefClassBits[k]});
    out_.PutRaw(value - kLZHRefClassBase[k], kLZHRefClassBits[k]);
    coded_ += length;
  }

  int Hash(int p) const {
    return (window_[(p + 1) % kW] << 4) ^ window_[p] ^ ((window_[(p + 2) % kW] << 8) & 0x3FFF);
  }

  void Insert(int p) {
    const int h = Hash(p);
    if (head_[h] == kNone) {
      tail_[h] = p;
      older_[p] = kNone;
    } else {
      older_[p] = head_[h];
      newer_[head_[h]] = p;
    }
    head_[h] = p;
    newer_[p] = kNone;
  }

  // Drops the tail of the chain of p's string, trusting that it is p.
  void RemoveOldest(int p) {
    const int h = Hash(p);
    if (head_[h] == tail_[h]) {
      head_[h] = kNone;
    } else {
      tail_[h] = newer_[tail_[h]];
      older_[tail_[h]] = kNone;
    }
  }

  int FindMatch(int pos, int limit) {
    if (pos == kW) pos = 0;
    int best = 0;
    int examined = 0;
    for (int c = head_[Hash(pos)]; c != kNone; c = older_[c]) {
      ++examined;
      if (examined > limit) break;
      if (window_[(pos + best) % kW] != window_[(c + best) % kW]) continue;
      int k = 0;
      int j = pos;
      int l = c;
      while (window_[j] == window_[l] && k < kLZHRefLongest && l != pos && j != fill_) {
        j = (j + 1) % kW;
        l = (l + 1) % kW;
        ++k;
      }
      const int value = (pos - c + kW) % kW - k;
      const int short_limit = result_.Binary ? 5455 : 1359;
      if (k > best && value <= 21839 && (k > 3 || value <= short_limit)) {
        best = k;
        match_value_ = value;
      }
    }
    return best;
  }

  const std::vector<std::uint8_t>& input_;
  std::size_t taken_ = 0;
  // Bytes past the fill position are never part of a match, so what the
  // window starts with does not show in the stream.
  std::vector<std::uint8_t> window_ = std::vector<std::uint8_t>(kW, 0);
  std::vector<int> head_ = std::vector<int>(kHashSize, kNone);
  std::vector<int> tail_ = std::vector<int>(kHashSize, kNone);
  std::vector<int> older_ = std::vector<int>(kW, kNone);
  std::vector<int> newer_ = std::vector<int>(kW, kNone);
  int fill_ = 0;
  int match_value_ = 0;
  std::size_t coded_ = 0;  // input bytes coded so far
  TLZHReferenceSymbolWriter out_;
  TLZHReferenceEncoding result_;
};

inline TLZHReferenceEncoding ReferenceLZHCompress(const std::vector<std::uint8_t>& input) {
  return TLZHReferenceEncoder(input).Encode();
}

// ---- The decompressor ------------------------------------------------------------

inline constexpr std::int64_t kLZHRefTruncated = -21;

inline constexpr std::size_t kLZHRefOutputChunk = 16384;

struct TLZHReferenceDecoding {
  std::int64_t Result = 0;  // bytes decoded, or kLZHRefTruncated
  std::vector<std::uint8_t> Output;
  // How much of Output the decoder has written out: each chunk of 16,384
  // bytes as it fills, the rest at the end code.
  std::size_t Written = 0;
  std::vector<TLZHReferenceMatch> Matches;
  bool Capped = false;  // stopped because the output grew past the limit
};

class TLZHReferenceDecoder {
 public:
  TLZHReferenceDecoder(const std::uint8_t* data, std::size_t size, std::size_t limit)
      : data_(data), words_(size / 2), limit_(limit) {}

  TLZHReferenceDecoding Decode() {
    for (;;) {
      const int symbol = DecodeSymbol();
      if (symbol < 0) return Truncated();
      if (symbol == kLZHRefEndSymbol) break;
      if (symbol < kLZHRefEndSymbol) {
        Emit(static_cast<std::uint8_t>(symbol));
      } else if (!CopyMatch(symbol - kLZHRefFirstMatchSymbol)) {
        return Truncated();
      }
      if (result_.Output.size() > limit_) {
        result_.Capped = true;
        break;
      }
    }
    result_.Result = static_cast<std::int64_t>(result_.Output.size());
    result_.Written = result_.Output.size();
    return result_;
  }

 private:
  // Only whole words belong to the stream; -1 past the last one.
  int ReadBit() {
    if (bits_left_ == 0) {
      if (next_word_ >= words_) return -1;
      word_ = static_cast<std::uint16_t>(data_[2 * next_word_] | data_[2 * next_word_ + 1] << 8);
      ++next_word_;
      bits_left_ = 16;
    }
    const int bit = word_ >> 15;
    word_ = static_cast<std::uint16_t>(word_ << 1);
    --bits_left_;
    return bit;
  }

  int DecodeSymbol() {
    int node = TLZHReferenceTree::kRoot;
    while (!TLZHReferenceTree::IsLeaf(node)) {
      const int bit = ReadBit();
      if (bit < 0) return -1;
      node = tree_.Child(node, bit);
    }
    const int symbol = node - TLZHReferenceTree::kFirstLeaf;
    tree_.Update(symbol);
    return symbol;
  }

  bool CopyMatch(int code) {
    const int k = code / kLZHRefLengths;
    const int length = code % kLZHRefLengths + kLZHRefShortest;
    const std::size_t raw_bit_at = next_word_ * 16 - bits_left_;
    int raw = 0;
    for (int i = 0; i < kLZHRefClassBits[k]; ++i) {
      const int bit = ReadBit();
      if (bit < 0) return false;
      raw |= bit << i;
    }
    const int distance = raw + kLZHRefClassBase[k] + length;
    result_.Matches.push_back(
        {result_.Output.size(), length, distance, raw_bit_at, kLZHRefClassBits[k]});
    int src = position_ - distance;
    if (src < 0) src += kLZHRefWindow;
    for (int i = 0; i < length; ++i) {
      Emit(window_[src]);
      src = (src + 1) % kLZHRefWindow;
    }
    return true;
  }

  void Emit(std::uint8_t byte) {
    result_.Output.push_back(byte);
    window_[position_] = byte;
    position_ = (position_ + 1) % kLZHRefWindow;
    if (result_.Output.size() % kLZHRefOutputChunk == 0) result_.Written = result_.Output.size();
  }

  TLZHReferenceDecoding Truncated() {
    result_.Result = kLZHRefTruncated;
    return result_;
  }

  const std::uint8_t* data_;
  std::size_t words_;
  std::size_t limit_;
  std::size_t next_word_ = 0;
  std::uint16_t word_ = 0;
  int bits_left_ = 0;
  TLZHReferenceTree tree_;
  std::vector<std::uint8_t> window_ = std::vector<std::uint8_t>(kLZHRefWindow, 0);
  int position_ = 0;
  TLZHReferenceDecoding result_;
};

// Decodes one stream; stops early (Capped) once more than `limit` bytes are
// out.  On kLZHRefTruncated, Output holds what was decoded before the input
// ran out.
inline TLZHReferenceDecoding ReferenceLZHDecompress(
    const std::uint8_t* data, std::size_t size,
    std::size_t limit = std::numeric_limits<std::size_t>::max()) {
  return TLZHReferenceDecoder(data, size, limit).Decode();
}

inline TLZHReferenceDecoding ReferenceLZHDecompress(const std::vector<std::uint8_t>& stream) {
  return ReferenceLZHDecompress(stream.data(), stream.size());
}

}  // namespace zorellz::test
