// Requests to end the program (Ctrl-C, a termination request, the loss of
// the terminal) noted instead of obeyed at once, so that a program in the
// middle of changing files can put them back first and then end.
#pragma once

#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// From now on the requests are noted; each one is noted, none ends the
// process by itself.
void CatchTerminationRequests();

// The request noted first: the signal's number on POSIX; 0 when none.
int PendingTerminationRequest();

// The request's name for messages ("SIGTERM").
std::string TerminationRequestName(int request);

// Notes `request` as if it had arrived (0 forgets it), for tests.
void SetTerminationRequestForTesting(int request);

}  // namespace zorellz
ZORELLZ_API_END
