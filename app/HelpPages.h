// Help pages that arrive with an update in the data folder and belong in the
// host's help folder.
#pragma once

#include <filesystem>
#include <string>

namespace tessaline {

// True for a name whose extension (from its last dot), upper-cased, is
// exactly ".HTML"; so ".html" alone is one, "x.HTM" and "x.HTML.bak" are not.
bool IsHelpPageName(const std::string& name);

// Moves the page `source` to `destination`: the copy is made beside the
// destination, takes the owner, group and permissions of the page it
// replaces (TakeOwnershipFrom), and replaces it only when it is complete; the
// source is deleted only after that.  When both name the same file nothing
// happens.  Returns "" on success, else the cause (the source and any old
// page then stay as they were).  A source that cannot be deleted once the
// page is in place is still a success: the page is where it belongs.
std::string MoveHelpPage(const std::filesystem::path& destination,
                         const std::filesystem::path& source);

}  // namespace tessaline
