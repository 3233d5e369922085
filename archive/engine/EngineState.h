// The engine's module-level state, kept in one place.  Internal to the
// engine: callers go through the setters of ZorelLZ.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/engine/ZorelLZ.h"
#include "archive/engine/ZrlTypes.h"

namespace zorellz {

inline constexpr char kLZDefaultStoreList[] =
    ".ZIP|.PKK|.ZPA|.GIF|.CAB|.GZ|.LZH|.LZA|.LZZ|.LZ|.PAK|.ZOO|.Z|.ARC|.ARJ|.AR7";

struct TLZEngineState {
  // File position at which LZReadArchiveHeader expects a header.
  std::int32_t HeaderOffset = 0;
  // -1: the check-password hook has not been asked in this operation.
  std::int32_t ProtectionAnswer = -1;
  TLZFileMatchProc FileMatch = nullptr;  // nullptr: the default match
  TLZCheckPassWordProc CheckPassWord = nullptr;
  TLZSetPassWordProc SetPassWord = nullptr;
  TLZSpanPromptProc SpanPrompt = LZDefaultSpanPrompt;
  // Set by each operation from its report function before copying or
  // decoding a file; progress calls pass CurrentReport.
  TLZReportProc Progress = nullptr;
  std::string DearchiveMask = "*.*";
  bool CheckCRC = false;
  std::string ExtensionsToStore = kLZDefaultStoreList;
  TLZReportRec CurrentReport;
  // The directory of the archive being extracted, for the default file match
  // (nullptr outside an extraction).
  const TZorelLZArchiveHeader* ExtractingDirectory = nullptr;
  // Told about inputs that creation leaves out (or keeps empty) and goes on.
  TLZSkippedInputHook SkippedInput;
};

// The one instance of the engine state.
TLZEngineState& LZEngine();

// Tells the skipped-input hook, when one is installed.
void LZReportSkippedInput(const std::string& path, TLZSkipReason reason);

// The record of an archive's summary: its totals, entry count and names
// size under `name`, as creation, listing and testing report them.
TLZReportRec LZHeaderSummaryRecord(const std::string& name, const TLZArchiveHeader& header);

// Reads one on-disk record at the file position; false when the file ends
// before the whole record is in.
template <typename Record>
bool LZReadRecord(TFile& file, Record& record) {
  std::array<std::uint8_t, Record::kSize> bytes{};
  if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return false;
  record.Read(bytes.data());
  return true;
}

}  // namespace zorellz
