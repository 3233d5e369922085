// Preparation of a codec by compression level, around the coding of each
// stream: 0 stores (nothing to prepare), 1 the LZSS codec, 2 the adaptive
// Huffman LZ codec (its busy flag, so that no second stream starts while one
// runs).  Bit 7 of the level is ignored.  Any other level is refused.
//
// A TLZCodecSet holds one coder of each kind and the current choice; every
// engine operation has its own, so operations on several threads never share
// a coder.  The LZ... functions act on the process's set.
#pragma once

#include <cstdint>

#include "zorellz/codec/ZrlLZSS.h"
#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TLZCodecSet {
 public:
  static constexpr int kNone = -1;

  // Prepares the codec of `level` and remembers it as the current codec;
  // false when the level is unknown or its memory cannot be had.  An
  // unknown level leaves the current codec as it was, so that whatever is
  // prepared is still released by Done.
  bool Init(std::uint8_t level);
  // Releases the current codec; afterwards no codec is current.
  void Done();
  // True while the current codec can run.
  bool Ready() const;
  // The level of the current codec, kNone when there is none.
  int Current() const { return current_; }

  TLZSSCodec& LZSS() { return lzss_; }
  // The adaptive Huffman coder's busy flag.
  bool AcquireLZH();
  void ReleaseLZH() { lzh_busy_ = false; }
  bool LZHAcquired() const { return lzh_busy_; }

 private:
  TLZSSCodec lzss_;
  bool lzh_busy_ = false;
  int current_ = kNone;
};

// The process's set, behind the functions below and the codecs' own
// process-wide functions.
TLZCodecSet& LZDefaultCodecSet();

bool LZInitCodec(std::uint8_t level);
void LZDoneCodec();
bool LZCodecReady();
int LZCurrentCodec();

}  // namespace zorellz
ZORELLZ_API_END
