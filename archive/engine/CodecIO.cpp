#include "archive/engine/CodecIO.h"

#include <algorithm>
#include <stdexcept>

#include "archive/codec/ZrlCRC.h"
#include "archive/codec/ZrlCodec.h"
#include "archive/codec/ZrlErrors.h"
#include "archive/codec/ZrlLZH.h"
#include "archive/codec/ZrlLZSS.h"
#include "archive/engine/EngineState.h"

namespace zorellz {
namespace {

// Which side of a stream the report function hears about: input bytes while
// compressing, output bytes while decompressing.
enum class TLZProgressSide { kReads, kWrites };

struct TLZStreamFiles {
  TFile* Input = nullptr;
  TFile* Output = nullptr;  // nullptr while decoding only to check
  TLZProgressSide Side = TLZProgressSide::kReads;
  // Input bytes the codec may still see; -1 while compressing (to the end).
  std::int64_t InputLeft = -1;
  std::uint32_t* OutputCRC = nullptr;  // updated with every byte written
};

TLZStreamFiles& StreamFiles() {
  static TLZStreamFiles files;
  return files;
}

void ReportProgress(std::int64_t count) {
  TLZEngineState& engine = LZEngine();
  if (count > 0 && engine.Progress != nullptr) {
    engine.Progress(engine.CurrentReport, static_cast<std::int32_t>(count));
  }
}

void CountRead(std::int64_t count, TLZProgressSide side) {
  LZCodecCounters().Read += count;
  if (side == TLZProgressSide::kReads) ReportProgress(count);
}

void CountWritten(std::int64_t count, TLZProgressSide side) {
  LZCodecCounters().Written += count;
  if (side == TLZProgressSide::kWrites) ReportProgress(count);
}

std::size_t ReadLimited(TLZStreamFiles& files, std::uint8_t* buffer, std::size_t count) {
  if (files.InputLeft >= 0 && static_cast<std::uint64_t>(files.InputLeft) < count) {
    count = static_cast<std::size_t>(files.InputLeft);
  }
  const std::size_t read = count == 0 ? 0 : files.Input->Read(buffer, count);
  if (files.InputLeft >= 0) files.InputLeft -= static_cast<std::int64_t>(read);
  return read;
}

void WriteOutput(TLZStreamFiles& files, const std::uint8_t* buffer, std::size_t count) {
  if (files.Output != nullptr) files.Output->Write(buffer, count);
  if (files.OutputCRC != nullptr) UpdateCRC32(*files.OutputCRC, buffer, count);
}

std::uint32_t ReadForLZSS(std::uint8_t* buffer) {
  TLZStreamFiles& files = StreamFiles();
  if (files.Input == nullptr) throw std::logic_error("LZSS stream has no input file");
  const std::size_t count = ReadLimited(files, buffer, kLZSSBufferSize);
  CountRead(static_cast<std::int64_t>(count), files.Side);
  return static_cast<std::uint32_t>(count);
}

std::uint32_t WriteForLZSS(const std::uint8_t* buffer, std::uint32_t count) {
  TLZStreamFiles& files = StreamFiles();
  WriteOutput(files, buffer, count);
  CountWritten(count, files.Side);
  return count;
}

// The adaptive Huffman codec moves the bytes itself and only tells the
// engine how many.
void LZHReadHook(std::int32_t count, bool decompressing) {
  CountRead(count, decompressing ? TLZProgressSide::kWrites : TLZProgressSide::kReads);
}

void LZHWriteHook(std::int32_t count, bool decompressing) {
  CountWritten(count, decompressing ? TLZProgressSide::kWrites : TLZProgressSide::kReads);
}

// Binds the files of one stream to the codecs for as long as it runs.  The
// functions are installed again for every stream, so that whatever else a
// program did with the codecs in between cannot redirect the engine's data.
class TLZStreamBinding {
 public:
  TLZStreamBinding(TFile& input, TFile* output, TLZProgressSide side, std::int64_t input_left = -1,
                   std::uint32_t* output_crc = nullptr) {
    StreamFiles() = TLZStreamFiles{&input, output, side, input_left, output_crc};
    LZCodecCounters() = TLZCodecCounters{};
    LZSSSetIOFunctions(ReadForLZSS, WriteForLZSS);
    LZHSetProgressHooks(LZHReadHook, LZHWriteHook);
  }
  ~TLZStreamBinding() { StreamFiles() = TLZStreamFiles{}; }
  TLZStreamBinding(const TLZStreamBinding&) = delete;
  TLZStreamBinding& operator=(const TLZStreamBinding&) = delete;
};

// Level 0 prepares no codec and level 2 prepares another one, yet stored
// single files are written and LZSS entries read through the LZSS coder:
// borrow it for one stream unless it is already prepared.
class TLZSSBorrow {
 public:
  TLZSSBorrow() {
    if (LZSSInitialised()) return;
    if (!LZSSInit()) RaiseLZError(TLZErrorClass::kError, kMsgInitFailed);
    owned_ = true;
  }
  ~TLZSSBorrow() {
    if (owned_) LZSSDone();
  }
  TLZSSBorrow(const TLZSSBorrow&) = delete;
  TLZSSBorrow& operator=(const TLZSSBorrow&) = delete;

 private:
  bool owned_ = false;
};

std::int64_t EncodeLZH(TFile& input, TFile& output) {
  if (LZCurrentCodec() != LZMaxCompression || !LZCodecReady()) return kLZNoFile;
  return LZHCompress(input, output);
}

std::int64_t EncodeLZSS() {
  if (!LZSSInitialised()) return kLZNoFile;
  LZSSEncode();
  return LZCodecCounters().Written;
}

std::int64_t DecodeLZH() {
  TLZStreamFiles& files = StreamFiles();
  return LZHDecompress([&files](std::uint8_t* buffer,
                                std::size_t count) { return ReadLimited(files, buffer, count); },
                       [&files](const std::uint8_t* buffer, std::size_t count) {
                         WriteOutput(files, buffer, count);
                       });
}

std::int64_t DecodeLZSS() {
  TLZSSBorrow lzss;
  LZSSDecode();
  return LZCodecCounters().Written;
}

}  // namespace

TLZCodecCounters& LZCodecCounters() {
  static TLZCodecCounters counters;
  return counters;
}

std::int64_t LZEncodeStream(TLZCompressionChoices compression, TFile& input, TFile& output) {
  if (!input.Seek(0)) return kLZNoFile;
  TLZStreamBinding binding(input, &output, TLZProgressSide::kReads);
  if (compression == LZMaxCompression) return EncodeLZH(input, output);
  if (compression == LZNoCompression) {
    TLZSSBorrow lzss;
    return EncodeLZSS();
  }
  return EncodeLZSS();
}

std::int64_t LZDecodeStream(std::uint8_t method, TFile& input, std::int64_t compressed_size,
                            TFile* output, std::uint32_t& crc) {
  InitCRC32(crc);
  TLZStreamBinding binding(input, output, TLZProgressSide::kWrites,
                           std::max<std::int64_t>(0, compressed_size), &crc);
  const std::int64_t result = method == kLZMethodLZH ? DecodeLZH() : DecodeLZSS();
  crc = FinalCRC32(crc);
  return result;
}

}  // namespace zorellz
