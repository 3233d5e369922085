// Preparation of a codec by compression level, around the coding of each
// stream: 0 stores (nothing to prepare), 1 the LZSS codec, 2 the adaptive
// Huffman LZ codec (its busy flag, so that no second stream starts while one
// runs).  Bit 7 of the level is ignored.  Any other level is refused.
#pragma once

#include <cstdint>

namespace zorellz {

// Prepares the codec of `level` and remembers it as the current codec; false
// when the level is unknown or its memory cannot be had.
bool LZInitCodec(std::uint8_t level);
// Releases the current codec; afterwards no codec is current.
void LZDoneCodec();
// True while the current codec can run.
bool LZCodecReady();
// The level of the current codec, -1 when there is none.
int LZCurrentCodec();

}  // namespace zorellz
