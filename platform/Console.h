// The program's standard streams as the user sees them.
#pragma once

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// True when standard error goes to a terminal (so that a progress line that
// redraws itself is read by a person, not written into a file).
bool StandardErrorIsTerminal();

}  // namespace zorellz
ZORELLZ_API_END
