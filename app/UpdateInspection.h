// Looking at an update without applying it: --list and --check.  Neither
// needs a display, neither changes anything on disk.  Results go to
// standard output, errors to standard error, one line each.
#pragma once

#include <QString>

namespace tessaline {

// Lists the entries of the update carried by `update_file`: size, date,
// CRC-32 and path, one line each.  The exit status: 0, or 1 when the update
// cannot be read.
int ListUpdate(const QString& update_file);

// Decodes every entry and checks its CRC-32, resolves the host's folders,
// checks that each database file the update replaces is present and not in
// use, and prints what the update would do, file by file.  0 only when the
// update would succeed, 1 otherwise.
int CheckUpdate(const QString& update_file);

}  // namespace tessaline
