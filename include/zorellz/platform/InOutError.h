// The input/output exception of the run-time layer: every read or write
// failure that the engine does not check explicitly surfaces as this
// exception, carrying an error code.  Code 100 means that a read delivered
// fewer bytes than required; code 101 that a write could not be completed.
#pragma once

#include <stdexcept>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

inline constexpr int kInOutReadPastEnd = 100;
inline constexpr int kInOutWriteFailed = 101;

class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& message, int error_code)
      : std::runtime_error(message), ErrorCode(error_code) {}
  int ErrorCode;
};

}  // namespace zorellz
ZORELLZ_API_END
