#include "archive/engine/EngineState.h"

#include <utility>

namespace zorellz {

// The process's context codes with the process's coders, which the codecs'
// own process-wide functions prepare.
TLZContext& LZDefaultContext() {
  static TLZContext context(LZDefaultCodecSet());
  return context;
}

void LZResetEngineState() {
  static_cast<TLZContextValues&>(LZDefaultContext()) = TLZContextValues{};
}

TLZSkippedInputHook LZSetSkippedInputHook(TLZSkippedInputHook hook) {
  return std::exchange(LZDefaultContext().SkippedInput, std::move(hook));
}

TLZReportRec LZHeaderSummaryRecord(const std::string& name, const TLZArchiveHeader& header) {
  TLZReportRec record;
  record.FileName = name;
  record.CompressedSize = header.TotalCompressed;
  record.UncompressedSize = header.TotalUncompressed;
  record.FileAttr = header.FileCount;
  record.FileCRC = static_cast<std::uint32_t>(header.NamesSize);
  return record;
}

void LZReportSkippedInput(const TLZContext& context, const std::string& path,
                          TLZSkipReason reason) {
  if (context.SkippedInput) context.SkippedInput(path, reason);
}

std::int32_t LZSetHeaderOffset(std::int32_t offset) {
  std::int32_t previous = LZDefaultContext().HeaderOffset;
  if (offset >= 0) LZDefaultContext().HeaderOffset = offset;
  return previous;
}

void LZResetProtection() {
  LZDefaultContext().ProtectionAnswer = -1;
}

void LZSetDearchiveMask(const std::string& mask) {
  LZDefaultContext().DearchiveMask = mask;
}
std::string LZGetDearchiveMask() {
  return LZDefaultContext().DearchiveMask;
}

void LZSetCheckCRC(bool check) {
  LZDefaultContext().CheckCRC = check;
}
bool LZGetCheckCRC() {
  return LZDefaultContext().CheckCRC;
}

void LZSetCheckPassWordHook(TLZCheckPassWordProc hook) {
  LZDefaultContext().CheckPassWord = hook;
}

TLZSetPassWordProc LZSetPassWordHook(TLZSetPassWordProc hook) {
  return std::exchange(LZDefaultContext().SetPassWord, hook).pointer();
}

void LZSetFileMatchProc(TLZFileMatchProc proc) {
  LZDefaultContext().FileMatch = proc;
}

TLZFileMatchProc LZGetFileMatch() {
  const TLZFileMatchHook& match = LZDefaultContext().FileMatch;
  if (match.pointer() != nullptr) return match.pointer();
  return LZDefaultFileMatch;
}

void LZSetExtensionsToStore(const std::string& extensions) {
  LZDefaultContext().ExtensionsToStore = extensions;
}
std::string LZGetExtensionsToStore() {
  return LZDefaultContext().ExtensionsToStore;
}

}  // namespace zorellz
