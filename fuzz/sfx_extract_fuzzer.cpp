// Any bytes as a self-extracting file: finding the appended archive through
// its trailer and copying it out as a plain archive, which is then listed.
// Only the copy may appear, and no work file stays.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzScratch.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace {

std::int32_t GoOn(zorellz::TLZReportRec&, std::int32_t) {
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zorellz::fuzz::TFuzzScratch scratch("zorellz-sfx-");
  zorellz::LZSetHeaderOffset(0);
  scratch.Write("SETUP.EXE", data, size);
  const std::string copy = scratch.File("SETUP.LZA").string();
  try {
    if (zorellz::LZExtractArchiveFromSFX(scratch.File("SETUP.EXE").string(), copy) >= 0) {
      zorellz::TLZArchiveHeader header;
      zorellz::LZListArchive(copy, &header, GoOn);
    }
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
  zorellz::LZSetHeaderOffset(0);
  scratch.CheckClean();
  return 0;
}
