// Any bytes as a self-extracting file: finding the appended archive through
// its trailer and copying it out as a plain archive, which is then listed.
// Only the copy may appear, and no work file stays.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzScratch.h"
#include "zorellz/engine/ZorelLZ.h"

using namespace zorellz::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TFuzzScratch scratch("zorellz-sfx-");
  zorellz::LZSetHeaderOffset(0);
  scratch.Write("SETUP.EXE", data, size);
  const std::string copy = scratch.File("SETUP.LZA").string();
  Run([&] {
    if (zorellz::LZExtractArchiveFromSFX(scratch.File("SETUP.EXE").string(), copy) >= 0) {
      zorellz::TLZArchiveHeader header;
      zorellz::LZListArchive(copy, &header, GoOn);
    }
  });
  scratch.CheckClean();
  return 0;
}
