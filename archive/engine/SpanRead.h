// Joining the parts of a spanned archive into one work file before it is
// extracted.  Internal to the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/File.h"

namespace zorellz {

// What reading the parts of one spanned archive shares.
struct TLZSpanJoin {
  TLZContext* Context = nullptr;                // whose disk prompt is asked
  TFile* WorkFile = nullptr;                    // parts are appended at its end
  std::vector<std::uint8_t>* Buffer = nullptr;  // kLZCopyBlockSize bytes
  std::string ArchiveName;                      // part 1
  std::int32_t TotalParts = 0;
  std::string Drive;  // handed to the disk prompt
  TLZReportHook Report;
};

// The "drive" the disk prompt names for an archive: the folder that holds
// its parts, with a trailing separator (the current folder when the name has
// none).
std::string LZSpanDrive(const std::string& archive_name);

// Asks for the disk, checks the part's trailer and appends the part's
// archive bytes to the work file: their count (>= 1), or kLZCannotOpenPart,
// kLZPromptStopped, kLZPartTooShort, kLZWrongPartStopped, or
// kLZJoinedArchiveInvalid when the joined bytes would pass 2 GiB.  Reports -9, -10
// after each block and -11.
std::int32_t LZReadSpanPart(std::int32_t part, TLZSpanJoin& join);

// Joins every part of the spanned archive that `header` (read from part 1)
// describes into a new, uniquely named work file in the temporary folder,
// restores an ordinary header and trailer in it, and reports -8 and -12.
// 0 with `work_file` naming the joined archive (the caller removes it), or
// kLZCannotCreateJoinFile, a part's result, or kLZJoinedArchiveInvalid; on
// failure no work file is left behind.
std::int32_t LZJoinSpannedArchive(TLZContext& context, const std::string& archive_name,
                                  const TLZArchiveHeader& header, const TLZReportHook& report,
                                  std::string& work_file);
// The same with the default context.
std::int32_t LZJoinSpannedArchive(const std::string& archive_name, const TLZArchiveHeader& header,
                                  const TLZReportHook& report, std::string& work_file);

}  // namespace zorellz
