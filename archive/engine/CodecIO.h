// The engine's side of the two codecs: the files a codec reads and writes,
// the byte counters, and progress passed to the operation's report function
// with the engine's current record (input bytes while compressing, output
// bytes while decompressing).  Installed into the codecs the first time the
// engine runs one.  Internal to the engine.
#pragma once

#include <cstdint>

#include "archive/engine/ZrlTypes.h"
#include "platform/File.h"

namespace zorellz {

// Compresses all of `input` from its start into `output` at its position:
// LZH for LZMaxCompression, LZSS otherwise (prepared here for
// LZNoCompression).  Returns the compressed byte count, a negative codec
// result, or kLZNoFile when the codec of `compression` is not prepared.
std::int64_t LZEncodeStream(TLZCompressionChoices compression, TFile& input, TFile& output);

// Decodes the `compressed_size` bytes at `input`'s position with the codec
// of `method` (kLZMethodLZH: LZH, any other: LZSS, its ring zeroed) into
// `output` at its position; with `output` nullptr the bytes are only
// counted.  The codec never sees more than `compressed_size` bytes.  Returns
// the bytes decoded or a negative codec result; `crc` receives the CRC-32 of
// the decoded bytes.  Progress counts output bytes.
std::int64_t LZDecodeStream(std::uint8_t method, TFile& input, std::int64_t compressed_size,
                            TFile* output, std::uint32_t& crc);

struct TLZCodecCounters {
  std::int64_t Read = 0;
  std::int64_t Written = 0;
};
TLZCodecCounters& LZCodecCounters();

}  // namespace zorellz
