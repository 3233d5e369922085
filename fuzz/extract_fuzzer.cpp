// Any bytes extracted as an archive, CRC checking on: locating, joining the
// parts of a spanned archive, loading the directory and decoding every entry
// must never crash or hang, must write nothing but into the target folder,
// and must leave no work file behind.  The bytes are listed and tested too.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzInputFile.h"
#include "platform/System.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"

namespace {

namespace fs = std::filesystem;
using zorellz::fuzz::Check;

// One folder per process holding the archive, the target folder and the
// temporary folder that TEMP names while the target runs.
class TScratch {
 public:
  TScratch() : reserved_(zorellz::CreateUniqueFile(zorellz::TempDirectory(), "zorellz-extract-")) {
    Check(!reserved_.empty());
    // The unique file reserves the name; the folder takes it with a suffix.
    root_ = reserved_.string() + ".d";
    Check(fs::create_directory(root_));
    Check(setenv("TEMP", Temp().c_str(), 1) == 0);
  }
  ~TScratch() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    fs::remove(reserved_, ignored);
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;

  fs::path Archive() const { return root_ / "DATA.LZA"; }
  fs::path Target() const { return root_ / "target"; }
  fs::path Temp() const { return root_ / "temp"; }

  void Write(const std::uint8_t* data, std::size_t size) const {
    fs::create_directory(Temp());
    std::ofstream out(Archive(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Check(static_cast<bool>(out));
  }

  // Nothing beside the target folder, the archive unchanged, no work file.
  void CheckUntouched(const std::uint8_t* data, std::size_t size) const {
    for (const auto& entry : fs::directory_iterator(root_)) {
      const fs::path& path = entry.path();
      Check(path == Archive() || path == Target() || path == Temp());
    }
    std::ifstream in(Archive(), std::ios::binary);
    const std::vector<std::uint8_t> now((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    Check(now == std::vector<std::uint8_t>(data, data + size));
    Check(fs::is_empty(Temp()));
  }

  void ClearTarget() const {
    std::error_code ignored;
    // Extracted read-only files and folders must not stop the clean-up.
    for (const auto& entry : fs::recursive_directory_iterator(Target(), ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(Target(), ignored);
  }

 private:
  fs::path reserved_;
  fs::path root_;
};

std::uint8_t Overwrite(const zorellz::TLZReportRec&, const zorellz::TLZReportRec&) {
  return 1;
}
std::int32_t GoOn(zorellz::TLZReportRec&, std::int32_t) {
  return 1;
}
bool NoNewName(std::string&) {
  return false;
}
// A later part is never there: a spanned input is read as far as part 1.
std::int32_t NoMoreDisks(std::int32_t, std::int32_t, std::int32_t, const char*) {
  return 1;
}
std::int32_t AcceptProtected(const zorellz::TLZArchiveHeader&, std::int32_t) {
  return zorellz::kLZPasswordAccepted;
}

void Extract(const TScratch& scratch, bool recurse, bool unexpanded) {
  try {
    zorellz::LZDecompressArchive(scratch.Archive().string(), scratch.Target().string(), Overwrite,
                                 GoOn, NoNewName, recurse, unexpanded);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
}

void List(const TScratch& scratch) {
  zorellz::TLZArchiveHeader header;
  try {
    zorellz::LZListArchive(scratch.Archive().string(), &header, GoOn);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
}

// Decodes every entry without writing anything.
void Test(const TScratch& scratch) {
  try {
    zorellz::LZTestArchive(scratch.Archive().string(), GoOn);
  } catch (const zorellz::EZorelLZError&) {
  } catch (const zorellz::EInOutError&) {
  }
  zorellz::LZResetProtection();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TScratch scratch;
  zorellz::LZSetHeaderOffset(0);
  zorellz::LZSetCheckCRC(true);
  zorellz::LZSetDearchiveMask("*.*");
  zorellz::LZSetSpanPromptProc(NoMoreDisks);
  zorellz::LZSetCheckPassWordHook(AcceptProtected);
  scratch.Write(data, size);

  for (bool recurse : {true, false}) {
    Extract(scratch, recurse, !recurse);
    scratch.CheckUntouched(data, size);
    scratch.ClearTarget();
  }
  List(scratch);
  Test(scratch);
  scratch.CheckUntouched(data, size);
  return 0;
}
