// Writing what a new archive or compressed file holds: the builder shared by
// plain and self-extracting archives, the data of one collected file, plain
// copies with progress, and the codec prepared for an operation.  Internal
// to the engine.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/engine/CodecIO.h"
#include "archive/engine/CreateCollect.h"
#include "archive/engine/OperationScope.h"
#include "platform/PendingFile.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/Export.h"
#include "zorellz/platform/File.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// Installs the operation's report function as the context's progress
// function and puts the previous one back when the operation ends.
class TLZProgressScope {
 public:
  TLZProgressScope(TLZContext& context, TLZReportHook report)
      : restore_(context.Progress, std::move(report)) {}

 private:
  TLZRestore<TLZReportHook> restore_;
};

template <typename Record>
void LZWriteRecord(TFile& file, const Record& record) {
  std::array<std::uint8_t, Record::kSize> bytes{};
  record.Write(bytes.data());
  file.Write(bytes.data(), bytes.size());
}

// ---- The archive builder ----

// What an archive is built from and where it goes.
struct TLZCreateRequest {
  std::string FileSpecs;     // full path of the mask, or of the list file
  bool ListFile = false;     // FileSpecs names a list file ("/F=")
  std::string ArchiveName;   // full path of the file written
  std::string ReportedName;  // the target as the caller named it
  // Files that the operation writes besides ArchiveName: never inputs.
  std::vector<std::string> OtherOutputs;
  TLZRecurse Recurse = LZNoRecurse;
  TLZCompressionChoices Compression = LZMaxCompression;
  TLZReportHook Report;
};

// Where a build puts its archive.  Usually all one name; creation across
// disks builds in a work file while its reports name the target, and the
// target and the parts it will write are outputs from the start.
struct TLZBuildPlace {
  std::string Output;        // the file written
  std::string ReportedName;  // the target as the caller named it
  std::vector<std::string> OtherOutputs;
};

// Checks the names of a request: EZorelLZError 40003 when one is empty,
// EZorelLZArchive 40004 when the file specs name the target itself.
TLZCreateRequest LZParseCreateRequest(const std::string& file_specs, const TLZBuildPlace& place,
                                      TLZRecurse recurse, TLZCompressionChoices compression,
                                      TLZReportHook report);

// LZCreateArchive and LZCreateSFXArchive, writing to `place`.
std::int32_t LZCreateArchiveAt(TLZContext& context, const std::string& file_specs,
                               const TLZBuildPlace& place, TLZRecurse recurse,
                               TLZCompressionChoices compression, TLZReportHook report);
std::int32_t LZCreateSFXArchiveAt(TLZContext& context, const std::string& stub_name,
                                  const std::string& file_specs, const TLZBuildPlace& place,
                                  TLZCompressionChoices compression, TLZReportHook report,
                                  TLZRecurse recurse);

// Builds the archive into `pending`, which holds the bytes in front of the
// current header offset and is positioned there, and commits it when it is
// complete.  The codec of the request's level must be prepared.  Returns the
// number of files whose data were written, or a negative result; an
// uncommitted pending file is left to its owner to discard.
std::int32_t LZBuildArchive(TLZContext& context, TPendingFile& pending,
                            const TLZCreateRequest& request);

// ---- Pieces of the data area ----

// Copies `count` bytes (or, when `count` is negative, everything up to the
// end) from the input's position, in blocks whose lengths go to `progress`
// (when given) with `record` as they are read.  Returns the bytes copied,
// fewer than `count` when the input ends first.
std::int64_t LZCopyFileBytes(TFile& input, TFile& output, std::int64_t count,
                             const TLZReportHook& progress, TLZReportRec& record);
std::int64_t LZCopyFileBytes(TFile& input, TFile& output, std::int64_t count);

// The report record of a collected entry, named by its native path.
TLZReportRec LZBuildEntryReport(const TLZBuildEntry& entry);

// Where the data of an archive's files go, and the sums that its header
// keeps in 32 bits as they grow.
struct TLZDataArea {
  TLZContext& Context;
  TFile& Output;
  TLZCompressionChoices Compression = LZMaxCompression;
  TLZReportHook Report;
  TFileIdentity OutputIdentity;  // an input that is the output is never read
  std::int64_t TotalCompressed = 0;
  std::int64_t TotalUncompressed = 0;
};

// Writes the data of one file entry at the end of the data area and
// completes the entry (sizes, flag, method, CRC).  1 when its data were
// written; 0 when it is kept as an empty entry, because the file could not
// be opened or its data would take the totals past 32 bits (told to the
// skipped-input hook); or the negative result of a failed codec.
std::int32_t LZWriteEntryData(TLZDataArea& area, TLZBuildEntry& entry);

// Builds the data area of `entries` with `area.Context.Jobs` threads coding
// the compressed entries: the same bytes, entries and reports as
// LZWriteEntryData on each file entry in turn.  The number of files whose
// data were written, or a negative codec result.
std::int32_t LZWriteDataInParallel(TLZDataArea& area, std::vector<TLZBuildEntry>& entries);

// ---- The steps of LZWriteEntryData ----

// Opens the entry's input, never the archive being written, and reads what
// the directory keeps of it: attributes, CRC and version, and a small input
// whole (TLZBuildEntry::Bytes).  False when it does not open.
bool LZOpenEntryInput(const TLZDataArea& area, TLZBuildEntry& entry, TFile& input);
// LZEncodeStreamTo of the entry's input, from memory when it is held there.
std::int64_t LZEncodeEntryTo(TLZContext& context, TLZCompressionChoices compression,
                             const TLZBuildEntry& entry, TFile& input, const TLZByteSink& output);
// Makes the entry the context's current record; an entry whose input did
// not open is kept empty and told to the skipped-input hook (false),
// otherwise its beginning is reported (true).
bool LZBeginEntryData(TLZDataArea& area, TLZBuildEntry& entry, bool opened);
// How an opened input is written: compressed, or taken over from the single
// compressed file it is, or stored.
struct TLZDataPlan {
  bool Compress = false;
  bool SingleFile = false;
  TLZFileHeader Single;
};
TLZDataPlan LZPlanEntryData(TLZContext& context, TFile& input, TLZCompressionChoices compression,
                            const TLZBuildEntry& entry);
// Writes an entry that is not compressed as its plan says.
void LZWritePlainData(TLZContext& context, const TLZDataPlan& plan, TFile& input, TFile& output,
                      TLZBuildEntry& entry);
// Marks the entry as compressed into `size` bytes (or a failed codec).
void LZMarkCompressed(TLZCompressionChoices compression, std::int64_t size, TLZBuildEntry& entry);
// Admits the data written from `start` to the totals and reports the entry
// done: 1, 0 for an entry kept empty, or `result` when it is negative.
std::int32_t LZFinishEntryData(TLZDataArea& area, std::int64_t start, std::int64_t result,
                               TLZBuildEntry& entry);

}  // namespace zorellz
ZORELLZ_API_END
