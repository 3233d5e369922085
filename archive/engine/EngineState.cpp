#include "archive/engine/EngineState.h"

#include <utility>

namespace zorellz {

TLZEngineState& LZEngine() {
  static TLZEngineState state;
  return state;
}

void LZResetEngineState() {
  LZEngine() = TLZEngineState{};
}

TLZSkippedInputHook LZSetSkippedInputHook(TLZSkippedInputHook hook) {
  TLZSkippedInputHook previous = std::move(LZEngine().SkippedInput);
  LZEngine().SkippedInput = std::move(hook);
  return previous;
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

void LZReportSkippedInput(const std::string& path, TLZSkipReason reason) {
  if (LZEngine().SkippedInput) LZEngine().SkippedInput(path, reason);
}

std::int32_t LZSetHeaderOffset(std::int32_t offset) {
  std::int32_t previous = LZEngine().HeaderOffset;
  if (offset >= 0) LZEngine().HeaderOffset = offset;
  return previous;
}

void LZResetProtection() {
  LZEngine().ProtectionAnswer = -1;
}

void LZSetDearchiveMask(const std::string& mask) {
  LZEngine().DearchiveMask = mask;
}
std::string LZGetDearchiveMask() {
  return LZEngine().DearchiveMask;
}

void LZSetCheckCRC(bool check) {
  LZEngine().CheckCRC = check;
}
bool LZGetCheckCRC() {
  return LZEngine().CheckCRC;
}

void LZSetCheckPassWordHook(TLZCheckPassWordProc hook) {
  LZEngine().CheckPassWord = hook;
}

TLZSetPassWordProc LZSetPassWordHook(TLZSetPassWordProc hook) {
  TLZSetPassWordProc previous = LZEngine().SetPassWord;
  LZEngine().SetPassWord = hook;
  return previous;
}

void LZSetFileMatchProc(TLZFileMatchProc proc) {
  LZEngine().FileMatch = proc;
}

TLZFileMatchProc LZGetFileMatch() {
  return LZEngine().FileMatch != nullptr ? LZEngine().FileMatch : LZDefaultFileMatch;
}

void LZSetExtensionsToStore(const std::string& extensions) {
  LZEngine().ExtensionsToStore = extensions;
}
std::string LZGetExtensionsToStore() {
  return LZEngine().ExtensionsToStore;
}

}  // namespace zorellz
