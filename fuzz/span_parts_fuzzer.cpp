// Any bytes as a spanned archive of two parts: the first byte says where the
// rest is cut into part 1 (DATA.LZA) and part 2 (DATA.2), so that the join
// reads part trailers and data beyond part 1.  Extraction and testing must
// never crash or hang, write nothing outside the target folder and leave no
// work file behind.
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "archive/codec/ZrlErrors.h"
#include "archive/engine/ZorelLZ.h"
#include "fuzz/FuzzScratch.h"
#include "platform/InOutError.h"

namespace {

using zorellz::fuzz::Check;

std::uint8_t Overwrite(const zorellz::TLZReportRec&, const zorellz::TLZReportRec&) { return 1; }
std::int32_t GoOn(zorellz::TLZReportRec&, std::int32_t) { return 1; }
bool NoNewName(std::string&) { return false; }
// Every disk asked for is there: part 2 is read, part 3 and later are missing.
std::int32_t NextDisk(std::int32_t, std::int32_t, std::int32_t, const char*) { return 1; }
std::int32_t AcceptProtected(const zorellz::TLZArchiveHeader&, std::int32_t) {
  return zorellz::kLZPasswordAccepted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zorellz::fuzz::TFuzzScratch scratch("zorellz-span-");
  if (size < 1) return 0;
  const std::size_t rest = size - 1;
  const std::size_t cut = rest * data[0] / 255;
  zorellz::LZSetHeaderOffset(0);
  zorellz::LZSetCheckCRC(true);
  zorellz::LZSetDearchiveMask("*.*");
  zorellz::LZSetSpanPromptProc(NextDisk);
  zorellz::LZSetCheckPassWordHook(AcceptProtected);
  scratch.Write("DATA.LZA", data + 1, cut);
  {
    std::ofstream part(scratch.File("DATA.2"), std::ios::binary | std::ios::trunc);
    part.write(reinterpret_cast<const char*>(data + 1 + cut),
               static_cast<std::streamsize>(rest - cut));
    Check(static_cast<bool>(part));
  }
  const std::string archive = scratch.File("DATA.LZA").string();
  try {
    zorellz::LZDecompressArchive(archive, scratch.Target().string(), Overwrite, GoOn, NoNewName,
                                 true, false);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
  try {
    zorellz::LZTestArchive(archive, GoOn);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
  zorellz::LZSetHeaderOffset(0);
  scratch.CheckClean();
  return 0;
}
