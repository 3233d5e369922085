// Words for the negative results of the reading operations (locating,
// listing, extraction, expansion), as a clause that follows the name of the
// file concerned: "LIST.LZA: not an archive (...)".
#pragma once

#include <cstdint>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// The cause of a negative result; an unknown code is named by its number.
std::string LZReadResultCause(std::int64_t result);

}  // namespace zorellz
ZORELLZ_API_END
