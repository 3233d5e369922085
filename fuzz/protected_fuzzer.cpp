// Any bytes as an archive whose protection is refused: extraction, the
// comment and selected entries must write nothing at all, whatever the
// header, the trailer and the directory claim.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzScratch.h"
#include "zorellz/engine/ZorelLZ.h"

namespace {

using namespace zorellz::fuzz;

std::int32_t NoMoreDisks(std::int32_t, std::int32_t, std::int32_t, const char*) {
  return 1;
}

bool IsProtected(const std::string& archive) {
  zorellz::TLZArchiveHeader header;
  return zorellz::LZLocateArchive(archive, header) > 0 &&
         header.Trailer.Protection == zorellz::kLZProtectedMarker;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TFuzzScratch scratch("zorellz-protected-");
  StartInput(NoMoreDisks, RefuseProtected);
  scratch.Write("DATA.LZA", data, size);
  const std::string archive = scratch.File("DATA.LZA").string();
  const std::string target = scratch.Target().string();
  const bool refused = IsProtected(archive);
  zorellz::LZResetProtection();
  Run([&] {
    zorellz::LZDecompressArchive(archive, target, Overwrite, GoOn, NoNewName, true, false);
  });
  Run([&] {
    std::string path;
    zorellz::LZExtractComment(archive, target, &path);
  });
  if (refused) Check(std::filesystem::is_empty(scratch.Target()));
  scratch.CheckClean();
  return 0;
}
