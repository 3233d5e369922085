// Any bytes as a spanned archive of two parts: the first four bytes (little
// endian) say how many of the rest make part 1 (DATA.LZA); the others make
// part 2 (DATA.2).  So the join
// reads part trailers and data beyond part 1.  Extraction and testing must
// never crash or hang, write nothing outside the target folder and leave no
// work file behind.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzScratch.h"
#include "zorellz/engine/ZorelLZ.h"

namespace {

using namespace zorellz::fuzz;

// Every disk asked for is there: part 2 is read, part 3 and later are missing.
std::int32_t NextDisk(std::int32_t, std::int32_t, std::int32_t, const char*) {
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TFuzzScratch scratch("zorellz-span-");
  constexpr std::size_t kCutBytes = 4;
  if (size < kCutBytes) return 0;
  const std::size_t rest = size - kCutBytes;
  const std::uint32_t wanted =
      static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
      static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  const std::size_t cut = std::min<std::size_t>(rest, wanted);
  data += kCutBytes;
  StartInput(NextDisk, AcceptProtected);
  scratch.Write("DATA.LZA", data, cut);
  {
    std::ofstream part(scratch.File("DATA.2"), std::ios::binary | std::ios::trunc);
    part.write(reinterpret_cast<const char*>(data + cut), static_cast<std::streamsize>(rest - cut));
    Check(static_cast<bool>(part));
  }
  const std::string archive = scratch.File("DATA.LZA").string();
  Run([&] {
    zorellz::LZDecompressArchive(archive, scratch.Target().string(), Overwrite, GoOn, NoNewName,
                                 true, false);
  });
  Run([&] { zorellz::LZTestArchive(archive, GoOn); });
  scratch.CheckClean();
  return 0;
}
