#include "archive/engine/CodecIO.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/codec/ZrlLZSS.h"

namespace zorellz {
namespace {

// Thrown through the coder when a stream would write past its limit.
struct TLZPastOutputLimit {};

// Which side of a stream the report function hears about: input bytes while
// compressing, output bytes while decompressing.
enum class TLZProgressSide { kReads, kWrites };

// The files of one stream, and what it has moved so far.
class TLZStream {
 public:
  TLZStream(TLZContext& context, TLZByteReader input, const TLZByteSink* output,
            TLZProgressSide side, std::int64_t input_left = -1, std::uint32_t* output_crc = nullptr,
            std::int64_t output_limit = -1)
      : context_(context),
        input_(std::move(input)),
        output_(output),
        side_(side),
        input_left_(input_left),
        output_crc_(output_crc),
        output_left_(output_limit) {}

  std::int64_t Written() const { return written_; }

  std::size_t Read(std::uint8_t* buffer, std::size_t count) {
    if (input_left_ >= 0 && static_cast<std::uint64_t>(input_left_) < count) {
      count = static_cast<std::size_t>(input_left_);
    }
    const std::size_t read = count == 0 ? 0 : input_(buffer, count);
    if (input_left_ >= 0) input_left_ -= static_cast<std::int64_t>(read);
    return read;
  }
  void Write(const std::uint8_t* buffer, std::size_t count) {
    if (output_left_ >= 0) {
      // Stop before the first byte past the limit reaches the output.
      if (static_cast<std::uint64_t>(output_left_) < count) throw TLZPastOutputLimit{};
      output_left_ -= static_cast<std::int64_t>(count);
    }
    if (output_ != nullptr) (*output_)(buffer, count);
    if (output_crc_ != nullptr) UpdateCRC32(*output_crc_, buffer, count);
  }

  void CountRead(std::int64_t count, TLZProgressSide side) {
    if (side == TLZProgressSide::kReads) ReportProgress(count);
  }
  void CountWritten(std::int64_t count, TLZProgressSide side) {
    written_ += count;
    if (side == TLZProgressSide::kWrites) ReportProgress(count);
  }
  TLZProgressSide Side() const { return side_; }

  // The LZSS coder pulls and pushes whole buffers through these.
  void BindLZSS(TLZSSCodec& lzss) {
    lzss.SetIOFunctions(
        [this](std::uint8_t* buffer) {
          const std::size_t count = Read(buffer, kLZSSBufferSize);
          CountRead(static_cast<std::int64_t>(count), side_);
          return static_cast<std::uint32_t>(count);
        },
        [this](const std::uint8_t* buffer, std::uint32_t count) {
          Write(buffer, count);
          CountWritten(count, side_);
          return count;
        });
  }

  // The adaptive Huffman codec moves the bytes itself and only tells the
  // engine how many.
  TLZHProgressHooks LZHHooks() {
    return TLZHProgressHooks{
        [this](std::int32_t count, bool decompressing) {
          CountRead(count, decompressing ? TLZProgressSide::kWrites : TLZProgressSide::kReads);
        },
        [this](std::int32_t count, bool decompressing) {
          CountWritten(count, decompressing ? TLZProgressSide::kWrites : TLZProgressSide::kReads);
        }};
  }

 private:
  void ReportProgress(std::int64_t count) {
    if (count > 0 && context_.Progress) {
      context_.Progress(context_.CurrentReport, static_cast<std::int32_t>(count));
    }
  }

  TLZContext& context_;
  TLZByteReader input_;
  const TLZByteSink* output_;  // nullptr while decoding only to check
  TLZProgressSide side_;
  // Input bytes the codec may still see; -1 while compressing (to the end).
  std::int64_t input_left_;
  std::uint32_t* output_crc_;  // updated with every byte written
  // Output bytes the stream may still write; -1 without a limit.
  std::int64_t output_left_;
  std::int64_t written_ = 0;
};

// Level 0 prepares no codec and level 2 prepares another one, yet stored
// single files are written and LZSS entries read through the LZSS coder:
// borrow it for one stream unless it is already prepared.
class TLZSSBorrow {
 public:
  explicit TLZSSBorrow(TLZSSCodec& lzss) : lzss_(lzss) {
    if (lzss_.Initialised()) return;
    if (!lzss_.Init()) RaiseLZError(TLZErrorClass::kError, kMsgInitFailed);
    owned_ = true;
  }
  ~TLZSSBorrow() {
    if (owned_) lzss_.Done();
  }
  TLZSSBorrow(const TLZSSBorrow&) = delete;
  TLZSSBorrow& operator=(const TLZSSBorrow&) = delete;

 private:
  TLZSSCodec& lzss_;
  bool owned_ = false;
};

// On `threads` threads (at least 2), or on this one (0).
std::int64_t EncodeLZH(TLZCodecSet& codecs, TLZStream& stream, const TLZByteSink& output,
                       int threads) {
  if (codecs.Current() != LZMaxCompression || !codecs.Ready()) return kLZNoFile;
  const TLZHReadFunc read = [&stream](std::uint8_t* buffer, std::size_t count) {
    return stream.Read(buffer, count);
  };
  if (threads > 1) return LZHCompressPipelined(read, output, stream.LZHHooks(), threads);
  return LZHCompress(read, output, stream.LZHHooks());
}

TLZByteReader FileReader(TFile& file) {
  return [&file](std::uint8_t* buffer, std::size_t count) { return file.Read(buffer, count); };
}

TLZByteSink FileSink(TFile& file) {
  return [&file](const std::uint8_t* data, std::size_t count) { file.Write(data, count); };
}

// Gathers what a decoder hands over a few kilobytes at a time into writes
// of kLZCopyBlockSize, so that a small file takes one.  Flush before the
// file is used otherwise; what is not flushed is dropped.
class TGatheredSink {
 public:
  explicit TGatheredSink(TFile& file) : file_(file) {}

  void Write(const std::uint8_t* data, std::size_t count) {
    if (held_ + count > kLZCopyBlockSize) Flush();
    if (count >= kLZCopyBlockSize) {
      file_.Write(data, count);
      return;
    }
    if (buffer_ == nullptr) buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kLZCopyBlockSize);
    std::copy_n(data, count, buffer_.get() + held_);
    held_ += count;
  }
  void Flush() {
    if (held_ > 0) file_.Write(buffer_.get(), held_);
    held_ = 0;
  }

 private:
  TFile& file_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t held_ = 0;
};

std::int64_t EncodeLZSS(TLZSSCodec& lzss, TLZStream& stream, bool pipelined) {
  if (!lzss.Initialised()) return kLZNoFile;
  stream.BindLZSS(lzss);
  if (pipelined) {
    lzss.EncodePipelined();
  } else {
    lzss.Encode();
  }
  return stream.Written();
}

// Whether a stream of `size` bytes (-1: not known) is coded on several
// threads: when the context may use two or more and the stream is large
// enough to gain.
bool EncodesPipelined(const TLZContext& context, TLZCompressionChoices compression,
                      std::int64_t size) {
  const std::int64_t from =
      compression == LZMaxCompression ? kLZHPipelinedFrom : kLZSSPipelinedFrom;
  return context.Jobs > 1 && size >= from;
}

std::int64_t DecodeLZH(TLZStream& stream) {
  TLZHProgressHooks hooks = stream.LZHHooks();
  return LZHDecompress(
      [&stream](std::uint8_t* buffer, std::size_t count) { return stream.Read(buffer, count); },
      [&stream](const std::uint8_t* buffer, std::size_t count) { stream.Write(buffer, count); },
      hooks);
}

std::int64_t DecodeLZSS(TLZSSCodec& lzss, TLZStream& stream) {
  TLZSSBorrow borrow(lzss);
  stream.BindLZSS(lzss);
  lzss.Decode();
  return stream.Written();
}

}  // namespace

std::int64_t LZEncodeStream(TLZContext& context, TLZCompressionChoices compression, TFile& input,
                            TFile& output) {
  return LZEncodeStreamTo(context, compression, input, FileSink(output));
}

std::int64_t LZEncodeStreamTo(TLZContext& context, TLZCompressionChoices compression, TFile& input,
                              const TLZByteSink& output) {
  if (!input.Seek(0)) return kLZNoFile;
  return LZEncodeFrom(context, compression, FileReader(input), output, input.Size());
}

std::int64_t LZEncodeBytesTo(TLZContext& context, TLZCompressionChoices compression,
                             const std::uint8_t* data, std::size_t size,
                             const TLZByteSink& output) {
  std::size_t taken = 0;
  return LZEncodeFrom(
      context, compression,
      [&](std::uint8_t* buffer, std::size_t count) {
        count = std::min(count, size - taken);
        std::copy_n(data + taken, count, buffer);
        taken += count;
        return count;
      },
      output, static_cast<std::int64_t>(size));
}

std::int64_t LZEncodeFrom(TLZContext& context, TLZCompressionChoices compression,
                          TLZByteReader input, const TLZByteSink& output, std::int64_t size) {
  TLZStream stream(context, std::move(input), &output, TLZProgressSide::kReads);
  TLZSSCodec& lzss = context.Codecs.LZSS();
  const bool pipelined = EncodesPipelined(context, compression, size);
  if (compression == LZMaxCompression) {
    return EncodeLZH(context.Codecs, stream, output, pipelined ? context.Jobs : 0);
  }
  if (compression == LZNoCompression) {
    TLZSSBorrow borrow(lzss);
    return EncodeLZSS(lzss, stream, pipelined);
  }
  return EncodeLZSS(lzss, stream, pipelined);
}

std::int64_t LZEncodeStream(TLZCompressionChoices compression, TFile& input, TFile& output) {
  return LZEncodeStream(LZDefaultContext(), compression, input, output);
}

std::int64_t LZDecodeStream(TLZContext& context, std::uint8_t method, TFile& input,
                            std::int64_t compressed_size, TFile* output, std::uint32_t& crc,
                            std::int64_t output_limit) {
  InitCRC32(crc);
  std::optional<TGatheredSink> gathered;
  if (output != nullptr) gathered.emplace(*output);
  const TLZByteSink sink = [&gathered](const std::uint8_t* data, std::size_t count) {
    gathered->Write(data, count);
  };
  TLZStream stream(context, FileReader(input), output != nullptr ? &sink : nullptr,
                   TLZProgressSide::kWrites, std::max<std::int64_t>(0, compressed_size), &crc,
                   output_limit);
  std::int64_t result = 0;
  try {
    result = method == kLZMethodLZH ? DecodeLZH(stream) : DecodeLZSS(context.Codecs.LZSS(), stream);
  } catch (const TLZPastOutputLimit&) {
    result = kLZCRCMismatch;
  }
  if (gathered) gathered->Flush();
  crc = FinalCRC32(crc);
  return result;
}

}  // namespace zorellz
