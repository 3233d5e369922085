// Any bytes as a single compressed file, through the whole expand path: the
// stored name, the header, the stream up to its declared size, the CRC
// check.  Nothing is written but the expanded file beside the input, and no
// work file stays.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzScratch.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace {

std::uint8_t Overwrite(const zorellz::TLZReportRec&, const zorellz::TLZReportRec&) {
  return 1;
}
std::int32_t GoOn(zorellz::TLZReportRec&, std::int32_t) {
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zorellz::fuzz::TFuzzScratch scratch("zorellz-expand-");
  zorellz::LZSetCheckCRC(true);
  scratch.Write("REPORT.TX~", data, size);
  const std::string input = scratch.File("REPORT.TX~").string();
  try {
    zorellz::LZExpandFile(input, Overwrite, GoOn);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  try {
    zorellz::LZDecompressFile(input, scratch.File("OUT.TXT").string(), Overwrite, GoOn);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  scratch.CheckClean();
  return 0;
}
