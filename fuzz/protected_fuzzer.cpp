// Any bytes as an archive whose protection is refused: extraction, the
// comment and selected entries must write nothing at all, whatever the
// header, the trailer and the directory claim.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "fuzz/FuzzScratch.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace {

using zorellz::fuzz::Check;

std::uint8_t Overwrite(const zorellz::TLZReportRec&, const zorellz::TLZReportRec&) {
  return 1;
}
std::int32_t GoOn(zorellz::TLZReportRec&, std::int32_t) {
  return 1;
}
bool NoNewName(std::string&) {
  return false;
}
std::int32_t NoMoreDisks(std::int32_t, std::int32_t, std::int32_t, const char*) {
  return 1;
}
std::int32_t RefuseProtected(const zorellz::TLZArchiveHeader&, std::int32_t) {
  return 0;
}

bool IsProtected(const std::string& archive) {
  zorellz::TLZArchiveHeader header;
  return zorellz::LZLocateArchive(archive, header) > 0 &&
         header.Trailer.Protection == zorellz::kLZProtectedMarker;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zorellz::fuzz::TFuzzScratch scratch("zorellz-protected-");
  zorellz::LZSetHeaderOffset(0);
  zorellz::LZSetCheckCRC(true);
  zorellz::LZSetDearchiveMask("*.*");
  zorellz::LZSetSpanPromptProc(NoMoreDisks);
  zorellz::LZSetCheckPassWordHook(RefuseProtected);
  scratch.Write("DATA.LZA", data, size);
  const std::string archive = scratch.File("DATA.LZA").string();
  const std::string target = scratch.Target().string();
  const bool refused = IsProtected(archive);
  zorellz::LZResetProtection();
  try {
    zorellz::LZDecompressArchive(archive, target, Overwrite, GoOn, NoNewName, true, false);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
  try {
    std::string path;
    zorellz::LZExtractComment(archive, target, &path);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
  zorellz::LZSetHeaderOffset(0);
  if (refused) Check(std::filesystem::is_empty(scratch.Target()));
  scratch.CheckClean();
  return 0;
}
