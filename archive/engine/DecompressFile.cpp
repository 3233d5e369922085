// Single-file decompression: a single compressed file (or a plain file,
// copied) into a target that is replaced only by a complete, verified file.
#include <cstdint>
#include <string>
#include <system_error>

#include "archive/engine/CodecIO.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "platform/Names.h"
#include "platform/PendingFile.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

constexpr char kNoVersion = '0';  // the version text of a file without one

// The file to read: the source itself, or, when it is missing, the single
// compressed file under its compressed name, which must hold that source.
std::string ActualSource(const std::string& source) {
  if (FileExists(source)) return source;
  const std::string compressed = LZCompressedName(source);
  std::string stored;
  if (LZGetSourceName(compressed, stored)) stored = Cp1252ToUtf8(stored);
  if (!SameTextAscii(stored, ExtractFileName(source))) {
    RaiseLZErrorFmt(TLZErrorClass::kCompress, kMsgWrongCompressedFile, stored);
  }
  return compressed;
}

void OpenSource(TFile& input, const std::string& source) {
  int error = 0;
  if (!input.Open(source, TFile::TMode::kReadDenyWrite, &error)) {
    throw EInOutError("Cannot open \"" + source + "\": " + std::generic_category().message(error),
                      error);
  }
}

// The bytes of the target into `output`: their count or a negative codec
// result; `crc` receives their CRC-32.
std::int64_t WriteData(TLZContext& context, TFile& input, const TLZFileHeader* header,
                       TFile& output, std::uint32_t& crc) {
  if (header == nullptr) {
    input.Seek(0);
    return LZCopyBlockCRC(context, input, &output, -1, LZProgressOnWrite, &crc);
  }
  const auto stream_start = static_cast<std::int64_t>(TLZFileHeader::kSize);
  input.Seek(stream_start);
  return LZDecodeStream(context, header->Method, input, input.Size() - stream_start, &output, crc,
                        header->UncompressedSize);
}

bool Verified(const TLZContext& context, TFile& input, const TLZFileHeader* header,
              const TLZReportRec& record, std::int64_t size, std::uint32_t crc) {
  if (!context.CheckCRC) return true;
  const std::int64_t expected_size = header != nullptr ? header->UncompressedSize : input.Size();
  return size == expected_size && crc == record.FileCRC;
}

// `record` describes the target; its date and attributes are the target's.
std::int64_t WriteTarget(TLZContext& context, TFile& input, const TLZFileHeader* header,
                         TLZReportRec& record, const TLZReportHook& report) {
  TPendingFile pending;
  if (!LZCreatePendingAt(pending, record.FileName)) {
    return LZReportFailure(report, record, kLZCannotCreateOutput);
  }
  LZReport(report, record, kLZReportFileBegins);
  context.Progress = report;
  std::uint32_t crc = 0;
  const std::int64_t written = WriteData(context, input, header, pending.File(), crc);
  if (written < 0) return LZReportFailure(report, record, written);
  if (!Verified(context, input, header, record, written, crc)) {
    return LZReportFailure(report, record, kLZCRCMismatch);
  }
  if (!LZInstallFile(pending, record.FileDate, record.FileAttr)) {
    return LZReportFailure(report, record, kLZCannotCreateOutput);
  }
  record.FileName.clear();
  LZReport(report, record, kLZReportFileDone);
  return written;
}

}  // namespace

std::int64_t LZDecompressFile(const std::string& source, const std::string& target,
                              TLZQuestionProc question, TLZReportProc report) {
  return LZDecompressFile(LZDefaultContext(), source, target, question, report);
}

std::int64_t LZDecompressFile(TLZContext& engine, const std::string& source,
                              const std::string& target, TLZQuestionHook question,
                              TLZReportHook report) {
  engine.CurrentReport = TLZReportRec{};
  TLZCodecSession codec(engine.Codecs, LZFastCompression);  // LZSS; LZH needs no preparation
  TLZRestore<TLZReportHook> progress(engine.Progress);
  if (source.empty() || target.empty()) {
    RaiseLZError(TLZErrorClass::kCompress, kMsgInvalidParameters);
  }
  const std::string target_path = ExpandFileName(target);
  std::string source_path = ExpandFileName(source);
  if (source_path == target_path) {
    RaiseLZErrorFmt(TLZErrorClass::kCompress, kMsgSameInputOutput, source);
  }
  source_path = ActualSource(source_path);
  if (IsSameFile(source_path, target_path)) {
    RaiseLZErrorFmt(TLZErrorClass::kCompress, kMsgSameInputOutput, source);
  }

  TFile input;
  OpenSource(input, source_path);
  TLZFileHeader header;
  const bool compressed = LZReadFileHeader(input, header);
  TLZReportRec record;
  LZGetFileInfo(source_path, record);
  if (question != nullptr && FileExists(target_path)) {
    TLZReportRec existing;
    LZGetFileInfo(target_path, existing);
    const std::uint8_t reply = question(record, existing);
    if (reply == 0) return kLZDeclinedOverwrite;
    if (reply == 2) return kLZAbortedOverwrite;
  }
  record.FileName = target_path;
  if (!compressed) record.FileVersion.assign(1, kNoVersion);
  engine.CurrentReport = record;
  try {
    return WriteTarget(engine, input, compressed ? &header : nullptr, record, report);
  } catch (const EInOutError&) {
    LZReportFailure(report, record, kLZCRCMismatch);
    throw;
  }
}

}  // namespace zorellz
