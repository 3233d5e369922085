// One file into a single compressed file: a 257-byte header that describes
// the source, then its codec stream.  The output is written beside its
// target and takes its name only when it is complete.
#include <cerrno>
#include <limits>
#include <optional>
#include <system_error>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/CodecIO.h"
#include "archive/engine/CreateWrite.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/NameRule.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "platform/PendingFile.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

constexpr std::size_t kLongestSourceName = 128;
constexpr std::int64_t kLargestSize = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMethodUnknown = 0;

// Level 0 writes method 2 and, like level 1, runs the LZSS coder, which is
// therefore prepared for it.
std::uint8_t CodecLevel(TLZCompressionChoices compression) {
  return compression == LZNoCompression ? LZFastCompression : compression;
}

std::uint8_t HeaderMethod(TLZCompressionChoices compression) {
  switch (compression) {
    case LZNoCompression:
      return kLZMethodStored;
    case LZFastCompression:
      return kLZMethodLZSS;
    default:
      return kLZMethodLZH;
  }
}

// Input and output are one file however they are spelled.
bool NameTheSameFile(const std::string& in_name, const std::string& out_name) {
  return ExpandFileName(in_name) == ExpandFileName(out_name) || IsSameFile(in_name, out_name);
}

// The source name as the header keeps it; none when it does not fit.
std::optional<std::string> StorableSourceName(const std::string& in_name) {
  std::optional<std::string> name = NativeToArchivePath(ExtractFileName(in_name));
  if (!name || !LZIsWritableEntryName(*name) || name->size() > kLongestSourceName) {
    return std::nullopt;
  }
  return name;
}

TLZReportRec DescribePlainFile(const std::string& file_name) {
  TLZReportRec record;
  const std::int64_t size = GetFileSizeOf(file_name);
  record.FileName = file_name;
  record.CompressedSize = static_cast<std::int32_t>(std::min(size, kLargestSize));
  record.UncompressedSize = record.CompressedSize;
  record.FileDate = GetFileDosDate(file_name);
  record.FileAttr = GetFileAttributesNative(file_name);
  record.FileCRC = GetFileCRC32(file_name);
  record.FileVersion = LZFileVersionText(file_name);
  record.Method = kMethodUnknown;
  return record;
}

// 0 to go on, or kLZDeclinedOverwrite.
std::int32_t ConfirmOverwrite(const std::string& out_name, const TLZQuestionHook& confirm,
                              TLZReportRec& record) {
  if (!FileExists(out_name)) {
    record.CompressedSize = -1;
    record.Method = kLZMethodLZSS;
    return 0;
  }
  record.CompressedSize = record.UncompressedSize;
  record.Method = kMethodUnknown;
  if (confirm == nullptr) return 0;
  constexpr std::uint8_t kOverwrite = 1;
  TLZReportRec existing;
  LZGetFileInfo(out_name, existing);
  return confirm(record, existing) == kOverwrite ? 0 : kLZDeclinedOverwrite;
}

TLZFileHeader NewFileHeader(const TLZReportRec& source, const std::string& source_name,
                            TLZCompressionChoices compression) {
  TLZFileHeader header;
  header.Signature = LZFileHeaderSignature();
  header.UncompressedSize = source.UncompressedSize;
  header.FileDate = source.FileDate;
  header.FileAttr = source.FileAttr;
  header.FileCRC = source.FileCRC;
  header.FileVersion.SetCut(source.FileVersion);
  header.SourceName.Set(source_name);
  header.Method = HeaderMethod(compression);
  return header;
}

[[noreturn]] void RaiseFileError(const char* what, const std::string& file_name, int error) {
  throw EInOutError(
      std::string(what) + " \"" + file_name + "\": " + std::generic_category().message(error),
      error);
}

// LZCheckCompressNames as LZCompressFile has always told it: every refusal
// but a missing input is kLZSameInputOutput.
std::int32_t CheckNames(const std::string& in_name, const std::string& out_name) {
  const std::int32_t refused = LZCheckCompressNames(in_name, out_name);
  return refused == 0 || refused == kLZInputMissing ? refused : kLZSameInputOutput;
}

// Header, stream, header again with the stream's size.  The bytes written,
// or a negative result.
std::int64_t WriteCompressed(TLZContext& context, TFile& input, TFile& output,
                             TLZFileHeader& header, TLZCompressionChoices compression) {
  LZWriteRecord(output, header);
  const std::int64_t stream = LZEncodeStream(context, compression, input, output);
  if (stream < 0) return stream;
  const std::int64_t total = stream + static_cast<std::int64_t>(TLZFileHeader::kSize);
  // A stream whose size the header cannot hold is refused, not cut.
  if (total > kLargestSize) return kLZInputTooLarge;
  header.CompressedSize = static_cast<std::int32_t>(stream);
  output.Seek(0);
  LZWriteRecord(output, header);
  return total;
}

struct TLZOutputWritten {
  std::int64_t Result = 0;      // bytes written, or a negative result
  std::int64_t Compressed = 0;  // bytes of the codec stream
};

// A single compressed file is copied whole, header included.
TLZOutputWritten WriteOutput(TLZContext& context, TFile& input, TFile& output,
                             TLZFileHeader& header, TLZCompressionChoices compression,
                             const TLZReportHook& report) {
  TLZFileHeader single;
  if (LZReadFileHeader(input, single)) {
    const std::int64_t copied = LZCopyFileBytes(input, output, -1, report, context.CurrentReport);
    return {copied, copied - static_cast<std::int64_t>(TLZFileHeader::kSize)};
  }
  const std::int64_t result = WriteCompressed(context, input, output, header, compression);
  return {result, header.CompressedSize};
}

void ReportDone(TLZReportRec record, const TLZOutputWritten& written, const TLZReportHook& report) {
  if (report == nullptr) return;
  record.FileName.clear();
  if (written.Result >= 0) record.CompressedSize = static_cast<std::int32_t>(written.Compressed);
  report(record, kLZReportFileDone);
}

}  // namespace

std::int32_t LZCheckCompressNames(const std::string& in_name, const std::string& out_name) {
  if (in_name.empty() || out_name.empty() || NameTheSameFile(in_name, out_name)) {
    return kLZSameInputOutput;
  }
  if (!FileExists(in_name)) return kLZInputMissing;
  // What the header cannot hold is refused rather than cut.
  if (!StorableSourceName(in_name)) return kLZNameNotStorable;
  if (GetFileSizeOf(in_name) > kLargestSize) return kLZInputTooLarge;
  return 0;
}

std::int32_t LZCompressFile(const std::string& in_name, const std::string& out_name,
                            TLZQuestionProc confirm, TLZCompressionChoices compression,
                            TLZReportProc report) {
  return LZCompressFile(LZDefaultContext(), in_name, out_name, confirm, compression, report);
}

std::int32_t LZCompressFile(TLZContext& context, const std::string& in_name,
                            const std::string& out_name, TLZQuestionHook confirm,
                            TLZCompressionChoices compression, TLZReportHook report) {
  TLZCodecSession codec(context.Codecs, CodecLevel(compression));
  if (std::int32_t refused = CheckNames(in_name, out_name); refused != 0) return refused;

  TLZReportRec record = DescribePlainFile(in_name);
  if (std::int32_t answer = ConfirmOverwrite(out_name, confirm, record); answer != 0) {
    return answer;
  }
  TFile input;
  int error = 0;
  if (!input.Open(in_name, TFile::TMode::kReadDenyWrite, &error)) {
    RaiseFileError("cannot open", in_name, error);
  }
  TPendingFile pending;
  if (!pending.Create(out_name, &error)) RaiseFileError("cannot create", out_name, error);

  TLZProgressScope progress(context, report);
  context.CurrentReport = record;
  if (report) report(record, kLZReportFileBegins);
  TLZFileHeader header = NewFileHeader(record, *StorableSourceName(in_name), compression);
  const TLZOutputWritten written =
      WriteOutput(context, input, pending.File(), header, compression, report);
  if (written.Result >= 0) {
    if (!pending.Commit(&error)) RaiseFileError("cannot replace", out_name, error);
    SetFileDosDate(out_name, record.FileDate);
  }
  ReportDone(record, written, report);
  return static_cast<std::int32_t>(written.Result);
}

std::string LZCompressedAutoName(const std::string& in_name) {
  const std::string extension = ExtractFileExt(in_name);
  if (extension.size() <= 1) return ChangeFileExt(in_name, ".~");
  return in_name.substr(0, in_name.size() - 1) + '~';
}

std::int32_t LZCompressFileAutoName(const std::string& in_name, TLZQuestionProc confirm,
                                    TLZReportProc report) {
  return LZCompressFileAutoName(LZDefaultContext(), in_name, confirm, report);
}

std::int32_t LZCompressFileAutoName(TLZContext& context, const std::string& in_name,
                                    TLZQuestionHook confirm, TLZReportHook report) {
  return LZCompressFile(context, in_name, LZCompressedAutoName(in_name), std::move(confirm),
                        LZMaxCompression, std::move(report));
}

}  // namespace zorellz
