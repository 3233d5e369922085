// Where the archive of a file lies, as the reading commands found it.
#pragma once

#include <cstdint>

#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

struct TArchiveLocation {
  TLZArchiveHeader Header;
  bool ThroughTrailer = false;  // appended to another file, found through its trailer
  std::int32_t Offset = 0;      // of the header in the file

  bool Spanned() const { return LZIsSpannedHeader(Header); }
  bool Protected() const { return Header.Trailer.Protection != 0; }
};

}  // namespace zorellz::cli
