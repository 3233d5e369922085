// Any bytes as a single compressed file, through the whole expand path: the
// stored name, the header, the stream up to its declared size, the CRC
// check.  Nothing is written but the expanded file beside the input, and no
// work file stays.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzScratch.h"
#include "zorellz/engine/ZorelLZ.h"

using namespace zorellz::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TFuzzScratch scratch("zorellz-expand-");
  zorellz::LZSetCheckCRC(true);
  scratch.Write("REPORT.TX~", data, size);
  const std::string input = scratch.File("REPORT.TX~").string();
  Run([&] { zorellz::LZExpandFile(input, Overwrite, GoOn); });
  Run([&] { zorellz::LZDecompressFile(input, scratch.File("OUT.TXT").string(), Overwrite, GoOn); });
  scratch.CheckClean();
  return 0;
}
