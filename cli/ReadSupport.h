// What the reading commands (list, extract, test, expand, sfx-extract,
// comment) share: finding the archive in a file, the engine context of a
// command, and how the engine's results and
// exceptions become one line, "zorellz: <file>: <cause>", and exit status 1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cli/ArchiveLocation.h"
#include "cli/CreateSupport.h"
#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

// Finds the archive of `name`, protected or not, at the start of the file or
// through its trailer; a missing file or one without an archive fails the
// command, naming `shown` (the name the user gave) when it is not empty.
TArchiveLocation LocateArchiveOrFail(const std::string& name, const std::string& shown = {});

// Fails the command for a protected archive unless `accept`.
void CheckProtection(const std::string& name, const TArchiveLocation& location, bool accept);

// Makes a command's engine context read protected archives (`accept`) or
// refuse them.  Each command runs on a context of its own, so nothing needs
// putting back.
void ReadProtected(TLZContext& context, bool accept);

// Fails the command for a negative result of reading `archive`; a part of a
// spanned archive that is missing or wrong is named.
[[noreturn]] void FailOnArchiveResult(const std::string& archive, std::int64_t result);

// Runs one reading operation; the exceptions it raises end the command with a
// line naming the file they concern (`files.Input` the file read,
// `files.Output` the file or folder written).  Returns the operation's result.
std::int64_t RunReadOperation(const std::function<std::int64_t()>& operation,
                              const TEngineFiles& files);

// Fails the command, in the system's words, unless `name` is an existing file.
void RequireFile(const std::string& name);

}  // namespace zorellz::cli
