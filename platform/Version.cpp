#include "zorellz/platform/Version.h"

namespace zorellz {

const char* Version() noexcept {
  return ZORELLZ_VERSION;
}

}  // namespace zorellz
