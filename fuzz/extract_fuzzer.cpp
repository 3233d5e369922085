// Any bytes extracted as an archive, CRC checking on: locating, joining the
// parts of a spanned archive, loading the directory and decoding every entry
// must never crash or hang, must write nothing but into the target folder,
// and must leave no work file behind.  The bytes are listed and tested too.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzScratch.h"
#include "zorellz/engine/ZorelLZ.h"

namespace {

using namespace zorellz::fuzz;

// A later part is never there: a spanned input is read as far as part 1.
std::int32_t NoMoreDisks(std::int32_t, std::int32_t, std::int32_t, const char*) {
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TFuzzScratch scratch("zorellz-extract-");
  StartInput(NoMoreDisks, AcceptProtected);
  scratch.Write("DATA.LZA", data, size);
  const std::string archive = scratch.File("DATA.LZA").string();
  for (bool recurse : {true, false}) {
    Run([&] {
      zorellz::LZDecompressArchive(archive, scratch.Target().string(), Overwrite, GoOn, NoNewName,
                                   recurse, !recurse);
    });
    scratch.CheckOnly("DATA.LZA", data, size);
    scratch.ClearTarget();
  }
  Run([&] {
    zorellz::TLZArchiveHeader header;
    zorellz::LZListArchive(archive, &header, GoOn);
  });
  // Decodes every entry without writing anything.
  Run([&] { zorellz::LZTestArchive(archive, GoOn); });
  scratch.CheckOnly("DATA.LZA", data, size);
  return 0;
}
