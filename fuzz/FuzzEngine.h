// What the fuzz targets that hand an input to the engine as a file share:
// the engine's settings for each input, answers that let every operation
// run to its end, and a run that takes the engine's errors as the expected
// end of a hostile input.
#pragma once

#include <cstdint>
#include <string>

#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz::fuzz {

inline std::uint8_t Overwrite(const TLZReportRec&, const TLZReportRec&) {
  return 1;
}
inline std::int32_t GoOn(TLZReportRec&, std::int32_t) {
  return 1;
}
inline bool NoNewName(std::string&) {
  return false;
}
inline std::int32_t AcceptProtected(const TLZArchiveHeader&, std::int32_t) {
  return kLZPasswordAccepted;
}
inline std::int32_t RefuseProtected(const TLZArchiveHeader&, std::int32_t) {
  return 0;
}

// The settings every input starts from: the header at the start, CRC-32
// checked, every entry selected, and the given disk prompt and answer to a
// protected archive.
inline void StartInput(TLZSpanPromptProc disk_prompt, TLZCheckPassWordProc protection) {
  LZSetHeaderOffset(0);
  LZSetCheckCRC(true);
  LZSetDearchiveMask("*.*");
  LZSetSpanPromptProc(disk_prompt);
  LZSetCheckPassWordHook(protection);
}

// Runs one operation of the engine; its errors end it as a hostile input
// should, and the protection answer and header offset it may have changed
// are put back.
template <typename Operation>
void Run(Operation operation) {
  try {
    operation();
  } catch (const EZorelLZError&) {
  } catch (const EInOutError&) {
  }
  LZResetProtection();
  LZSetHeaderOffset(0);
}

}  // namespace zorellz::fuzz
