// The host's database files, which an update may replace only while no other
// process has them open.
#pragma once

#include <string>

#include "platform/Names.h"

namespace tessaline {

// True for a path whose extension (from its last dot), upper-cased, is
// ".DAT" or ".IDX".
inline bool IsDatabaseFile(const std::string& path) {
  const std::string extension = zorellz::UpperCaseAscii(zorellz::ExtractFileExt(path));
  return extension == ".DAT" || extension == ".IDX";
}

}  // namespace tessaline
