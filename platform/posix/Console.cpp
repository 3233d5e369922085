#include "platform/Console.h"

#include <unistd.h>

namespace zorellz {

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

}  // namespace zorellz
