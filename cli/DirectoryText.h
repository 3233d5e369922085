// How list and info show an archive they have read: the table, the summary
// line and the JSON object of list, and the header fields and directory
// verdict of info.  Pure text, built from the fields as they were read, so
// that hostile fields can be tried without running the tool: every text
// that came from the archive is made safe for the terminal, and the JSON
// object is valid UTF-8 whatever the archive holds.
#pragma once

#include <cstdint>
#include <string>

#include "cli/ArchiveLocation.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

// The table of list: a heading and a line for each entry.
std::string ListTable(const TZorelLZArchiveHeader& directory);

// "<archive>: N files, F folders, U -> P bytes (S% saved)" and where the
// archive was found, ending in a line end.
std::string ListSummary(const std::string& archive, const TArchiveLocation& location,
                        const TZorelLZArchiveHeader& directory);

// The object of list --json (format 1, described in the README).
std::string ListJson(const std::string& archive, const TArchiveLocation& location,
                     const TZorelLZArchiveHeader& directory);

// The header lines of info, two spaces in.
std::string InfoHeaderText(const TLZArchiveHeader& header);

// What info says of a directory load that returned `result`.
std::string DirectoryVerdict(std::int32_t result, const TZorelLZArchiveHeader& directory);

}  // namespace zorellz::cli
