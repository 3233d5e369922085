// Any list file: its lines are taken as paths or passed over, whatever bytes
// they hold, and every entry taken names a regular file as the line wrote it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/engine/CreateCollect.h"
#include "fuzz/FuzzInputFile.h"
#include "platform/System.h"
#include "zorellz/codec/ZrlErrors.h"

using zorellz::fuzz::Check;
using zorellz::fuzz::TInputFile;

namespace {

// A folder of a few files for relative lines to find.
class TListedFolder {
 public:
  TListedFolder()
      : path_(zorellz::TempDirectory() / ("zorellz-list-fuzz-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(path_ / "sub");
    for (const char* name : {"a", "b.txt", "sub/c"}) std::ofstream(path_ / name) << name;
  }
  ~TListedFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The listed folder is current while one input runs; the fuzzer's own
// relative paths need the folder it was started in.
class TCurrentFolder {
 public:
  explicit TCurrentFolder(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~TCurrentFolder() { std::filesystem::current_path(previous_); }
  TCurrentFolder(const TCurrentFolder&) = delete;
  TCurrentFolder& operator=(const TCurrentFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TListedFolder folder;
  static TInputFile input("zorellz-list-fuzz-");
  const std::string list = input.Rewrite(data, size);
  TCurrentFolder current(folder.Path());

  zorellz::TLZCollection collection;
  try {
    zorellz::LZCollectListFile(list, zorellz::TLZOutputFiles{}, collection);
  } catch (const zorellz::EZorelLZArchive& error) {
    Check(error.MessageId == zorellz::kMsgNoValidListFileName && collection.Entries.empty());
    return 0;
  } catch (const zorellz::EInOutError&) {
    return 0;  // a listed file that cannot be read to its end
  }
  Check(!collection.Entries.empty());
  Check(collection.Entries.size() <= static_cast<std::size_t>(zorellz::kLZMaxEntries));
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i < collection.Entries.size(); ++i) {
    const zorellz::TLZBuildEntry& entry = collection.Entries[i];
    Check(entry.Number == static_cast<std::int32_t>(i + 1) && !entry.IsFolder);
    Check(entry.Path.find_first_of(std::string("\n\0", 2)) == std::string::npos);
    Check(text.find(entry.Path) != std::string::npos);
    std::error_code error;
    Check(std::filesystem::is_regular_file(entry.Path, error));
  }
  return 0;
}
