// Stored property values of a TZorelLZObj, as a form description keeps them,
// and their application after construction.  Each value goes through the
// property's setter, in stored order, so later values see what earlier ones
// did (SpanDiskSize -1 then SpanDiskType FloppyDiskOther leaves -1 and
// FloppyDiskOther).  Enumeration values are named by their identifiers.
//
// Only writable properties are stored: events are assigned in code.  A value
// for an unknown, read-only or event property, of the wrong type, or an
// unknown identifier raises EStoredPropertyError, and then nothing of the
// list has been applied.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>

#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// An enumeration value by name: TStoredIdent{"LZFullRecurse"}.
struct TStoredIdent {
  std::string Name;
};
using TStoredValue = std::variant<bool, std::int32_t, std::string, TStoredIdent>;

struct TStoredProperty {
  std::string Name;
  TStoredValue Value;
};

class EStoredPropertyError : public std::runtime_error {
 public:
  EStoredPropertyError(const std::string& property, const std::string& cause);
  const std::string& Property() const { return property_; }

 private:
  std::string property_;
};

// Property names and identifiers are compared without regard to ASCII case.
void ApplyStoredProperties(TZorelLZObj& object, std::span<const TStoredProperty> values);

}  // namespace zorellz
ZORELLZ_API_END
