#include "platform/Termination.h"

#include <signal.h>
#include <string.h>

#include <string>

namespace zorellz {

namespace {

volatile sig_atomic_t pending_request = 0;

void NoteRequest(int signal_number) {
  if (pending_request == 0) pending_request = signal_number;
}

}  // namespace

void CatchTerminationRequests() {
  struct sigaction action {};
  action.sa_handler = NoteRequest;
  sigemptyset(&action.sa_mask);
  // Restarted calls keep a request from turning into a failed read or write
  // in the middle of the work that the request is going to undo.
  action.sa_flags = SA_RESTART;
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal_number, &action, nullptr);
  }
}

int PendingTerminationRequest() {
  return pending_request;
}

std::string TerminationRequestName(int request) {
  switch (request) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(request);
  }
}

void SetTerminationRequestForTesting(int request) {
  pending_request = request;
}

}  // namespace zorellz
