// Any file given to the reader of archives: locating the archive, loading its
// directory and walking its paths must never crash, and a directory that
// loads must be one that extraction can trust.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzInputFile.h"
#include "zorellz/engine/ZorelLZ.h"

namespace {

using zorellz::fuzz::Check;
using zorellz::fuzz::TInputFile;

std::int32_t AcceptProtected(const zorellz::TLZArchiveHeader&, std::int32_t) {
  return zorellz::kLZPasswordAccepted;
}

bool IsSafeComponent(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

// What extraction relies on once a directory has loaded.
void CheckLoadedDirectory(const zorellz::TZorelLZArchiveHeader& directory) {
  Check(directory.Count >= 1 && directory.Count <= zorellz::kLZMaxEntries);
  Check(zorellz::LZDirectoryCRC(directory) == directory.Header.DirectoryCRC);
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    Check(directory.Name(k).size() == directory.Entry(k).NameLength);
    Check(IsSafeComponent(directory.Name(k)));
    std::string path;
    Check(zorellz::LZEntryPath(directory, k, path));
    Check(path.size() >= directory.Name(k).size());
  }
}

void LoadAt(const std::string& file_name, std::int32_t header_offset) {
  const std::int32_t previous = zorellz::LZSetHeaderOffset(header_offset);
  zorellz::TZorelLZArchiveHeader directory;
  const std::int32_t loaded = zorellz::LZLoadDirectory(file_name, directory);
  zorellz::LZSetHeaderOffset(previous);
  if (loaded == 0) {
    CheckLoadedDirectory(directory);
    return;
  }
  // A refused directory still holds whatever links were read; the walks
  // must stay bounded over them too.
  zorellz::LZDirectoryCRC(directory);
  std::string path;
  for (std::int32_t k = 0; k <= directory.Count + 1; ++k) zorellz::LZEntryPath(directory, k, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TInputFile input("zorellz-dir-fuzz-");
  zorellz::LZSetCheckPassWordHook(AcceptProtected);
  const std::string file_name = input.Rewrite(data, size);

  zorellz::TLZArchiveHeader header;
  const std::int32_t located = zorellz::LZLocateArchive(file_name, header);
  if (located == 0) LoadAt(file_name, zorellz::LZSetHeaderOffset(-1));
  if (located > 0) LoadAt(file_name, header.Trailer.ArchiveOffset);
  zorellz::LZResetProtection();
  return 0;
}
