// The engine's side of the two codecs: the files a codec reads and writes,
// and progress passed to the context's report function with its current
// record (input bytes while compressing, output bytes while decompressing).
// The coders are the context's own.  Internal to the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/File.h"

namespace zorellz {

// Compresses all of `input` from its start into `output` at its position:
// LZH for LZMaxCompression, LZSS otherwise (prepared here for
// LZNoCompression), on several threads when the context's Jobs are 2 or
// more and the input is large enough to gain (LZH on Jobs, LZSS on two).
// Returns the compressed byte count, a negative codec result, or kLZNoFile
// when the codec of `compression` is not prepared.
std::int64_t LZEncodeStream(TLZContext& context, TLZCompressionChoices compression, TFile& input,
                            TFile& output);
// The same with the default context.
std::int64_t LZEncodeStream(TLZCompressionChoices compression, TFile& input, TFile& output);

// Takes all `count` bytes of `data`, or raises.
using TLZByteSink = std::function<void(const std::uint8_t* data, std::size_t count)>;
// LZEncodeStream into a sink instead of a file.
std::int64_t LZEncodeStreamTo(TLZContext& context, TLZCompressionChoices compression, TFile& input,
                              const TLZByteSink& output);
// Fills up to `count` bytes of `buffer`; fewer only at the end (0 there).
using TLZByteReader = std::function<std::size_t(std::uint8_t* buffer, std::size_t count)>;
// LZEncodeStreamTo of the bytes `input` gives, or of `size` bytes in memory:
// the same stream, read in the same blocks.  A stream of `size` bytes (-1
// when not known) that is large enough is coded on several threads when the
// context's Jobs allow it, with the same result.
std::int64_t LZEncodeFrom(TLZContext& context, TLZCompressionChoices compression,
                          TLZByteReader input, const TLZByteSink& output, std::int64_t size);
std::int64_t LZEncodeBytesTo(TLZContext& context, TLZCompressionChoices compression,
                             const std::uint8_t* data, std::size_t size, const TLZByteSink& output);

// Decodes the `compressed_size` bytes at `input`'s position with the codec
// of `method` (kLZMethodLZH: LZH, any other: LZSS, its ring zeroed) into
// `output` at its position; with `output` nullptr the bytes are only
// counted.  The codec never sees more than `compressed_size` bytes.  Returns
// the bytes decoded or a negative codec result; `crc` receives the CRC-32 of
// the decoded bytes.  Progress counts output bytes.  With an
// `output_limit` of 0 or more (the declared size of what is decoded) the
// stream stops before it would write a byte past it, and the result is
// kLZCRCMismatch: a stream longer than its declared size is damaged.
std::int64_t LZDecodeStream(TLZContext& context, std::uint8_t method, TFile& input,
                            std::int64_t compressed_size, TFile* output, std::uint32_t& crc,
                            std::int64_t output_limit = -1);

}  // namespace zorellz
