// Any bytes as an archive, shown as list and info show it: the header lines
// and the directory verdict, the table, the summary line and the JSON
// object.  Whatever the header, the trailer, the names and the versions
// hold, no text carries a character that would steer a terminal, and the
// JSON object parses back with every entry.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "cli/DirectoryText.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzInputFile.h"
#include "zorellz/engine/ZorelLZ.h"

namespace {

using namespace zorellz;
using fuzz::Check;

// Line ends only: no C0 control, DEL or C1 control (U+0080..U+009F, two
// bytes in UTF-8).
void CheckPrintable(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<std::uint8_t>(text[at]);
    Check(byte >= 0x20 || byte == '\n');
    Check(byte != 0x7F);
    const bool c1 =
        byte == 0xC2 && at + 1 < text.size() && static_cast<std::uint8_t>(text[at + 1]) < 0xA0;
    Check(!c1);
  }
}

void ShowDirectory(TLZContext& context, const std::string& archive,
                   const cli::TArchiveLocation& location) {
  context.HeaderOffset = location.Offset;
  TZorelLZArchiveHeader directory;
  const std::int32_t loaded =
      LZViewArchive(context, archive, [&directory](PZorelLZArchiveHeader read, std::int32_t entry) {
        if (entry == kLZReportSummary) directory = *read;
        return 0;
      });
  CheckPrintable(cli::DirectoryVerdict(loaded, directory));
  if (loaded < 0) return;
  CheckPrintable(cli::ListTable(directory));
  CheckPrintable(cli::ListSummary("DATA.LZA", location, directory));
  const nlohmann::json listing =
      nlohmann::json::parse(cli::ListJson("DATA.LZA", location, directory));
  Check(listing.at("entries").size() == static_cast<std::size_t>(directory.Count));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::TInputFile input("zorellz-listing-");
  const std::string archive = input.Rewrite(data, size);
  TLZContext context;
  context.CheckPassWord = fuzz::AcceptProtected;
  cli::TArchiveLocation location;
  fuzz::Run([&] {
    const std::int32_t located = LZLocateArchive(context, archive, location.Header);
    if (located < 0) return;
    location.ThroughTrailer = located > 0;
    location.Offset = location.ThroughTrailer ? location.Header.Trailer.ArchiveOffset : 0;
    CheckPrintable(cli::InfoHeaderText(location.Header));
    ShowDirectory(context, archive, location);
  });
  return 0;
}
