// Writing an archive across several disks: the work file cut into parts,
// each followed by its part trailer.  Internal to the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/File.h"

namespace zorellz {

// The part counters of a part trailer are 16-bit.
inline constexpr std::int32_t kLZMaxSpanParts = 65535;

// What the parts of one spanned write share.
struct TLZSpanWrite {
  TLZContext* Context = nullptr;                // whose disk prompt is asked
  TFile* WorkFile = nullptr;                    // at the next archive byte to place
  std::vector<std::uint8_t>* Buffer = nullptr;  // kLZCopyBlockSize bytes
  std::string SpannedName;                      // part 1; the others are named after it
  std::string Drive;                            // handed to the disk prompt
  std::int32_t DiskSize = 0;
  std::int32_t Parts = 0;
  std::int64_t Remaining = 0;  // archive bytes not yet in a part
  // The work file's trailer carrying the archive's span block and name; each
  // part ends with it, its own number and size filled in.
  TLZArchiveTrailer Trailer;
  TLZReportHook Report;
};

// The archive bytes one disk of `disk_size` bytes carries: the disk less the
// part trailer and as much again in reserve (< 1: none).
std::int64_t LZSpanPartCapacity(std::int32_t disk_size);

// The parts that a work file of `work_size` bytes is cut into on disks of
// `disk_size` bytes.  Its trailer is not copied (the reader rebuilds it from
// the header), so every other byte is counted; 0 when a disk carries none.
std::int64_t LZSpanPartCount(std::int64_t work_size, std::int32_t disk_size);

// Asks for the disk of part `part`, then writes the part's share of the work
// file and the part trailer.  Returns the archive bytes written (>= 1), or
// kLZPromptStopped, kLZCannotCreatePart, or kLZWritePartFailed when the disk
// took fewer bytes (the incomplete part is removed).  Reports -9, -10 after
// each block and -11.  Raises EInOutError when the work file cannot be read.
std::int32_t LZWriteSpanPart(std::int32_t part, TLZSpanWrite& state);

// Cuts the built work file of `work_size` bytes into parts named after
// `archive_name`: the header's entry count, or kLZNoDiskSize,
// kLZCannotOpenPart, kLZWorkFileTooShort, kLZWorkHeaderUnreadable,
// kLZCannotCreatePart or kLZWritePartFailed.  Parts already written stay.
std::int32_t LZSplitWorkFile(TLZContext& context, const std::string& work_file,
                             std::int64_t work_size, const std::string& archive_name,
                             TLZSpanInfo& span_info, const TLZReportHook& report);

// ---- Steps shared by moving and splitting ----

// True when the context's disk prompt says go on.
bool LZSpanPromptGoesOn(const TLZContext& context, std::int32_t disk, std::int32_t total_parts,
                        std::int64_t needed_space, const std::string& drive);

void LZSpanReport(const TLZReportHook& report, TLZReportRec& record, std::int32_t code);

// The record of the -8 to -12 reports: a name, a size, a part and the
// number of parts.
TLZReportRec LZSpanRecord(const std::string& name, std::int64_t size, std::int32_t part,
                          std::int32_t parts);

// Where copied blocks go: true when a block was written whole.
using TLZBlockSink = std::function<bool(const std::uint8_t* data, std::size_t count)>;

// Copies `count` bytes from the source's position to `sink` in blocks of at
// most the buffer's size, reporting -10 with `record` after each block
// (FileAttr = its length).  Returns the bytes copied: fewer than `count`
// only when the sink refused a block.  Raises EInOutError 100 when the
// source ends first.
std::int64_t LZCopySpanBlocks(TFile& source, std::int64_t count, std::vector<std::uint8_t>& buffer,
                              const TLZBlockSink& sink, TLZReportRec& record,
                              const TLZReportHook& report);

}  // namespace zorellz
