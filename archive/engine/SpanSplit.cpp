// Cutting a built work file into the parts of a spanned archive.  Every
// byte of the work file but its own trailer goes into the parts; the reader
// rebuilds that trailer from the header when it joins them.
#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "archive/engine/CreateCollect.h"
#include "archive/engine/CreateWrite.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/SpanRead.h"
#include "archive/engine/SpanWrite.h"
#include "archive/engine/WorkFile.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

constexpr auto kTrailerSize = static_cast<std::int64_t>(TLZArchiveTrailer::kSize);
constexpr auto kHeaderSize = static_cast<std::int64_t>(TLZArchiveHeader::kSize);
// Besides its archive bytes a disk holds the part trailer, and as much
// again is kept free.
constexpr std::int64_t kPartOverhead = 2 * kTrailerSize;
// The span block keeps sizes and offsets in signed 32 bits.
constexpr std::int64_t kLargestSpannedFile = std::numeric_limits<std::int32_t>::max();

// ---- Checks made before anything is written ----

bool ReadWorkTrailer(TFile& work, std::int64_t size, TLZArchiveTrailer& trailer) {
  return size >= kTrailerSize && work.Seek(size - kTrailerSize) && LZReadRecord(work, trailer);
}

// The span fields must describe the split, and part 1 must hold the whole
// header, or the reader could not find it.
bool SplitFitsDisks(std::int64_t work_size, std::int64_t parts, std::int32_t disk_size,
                    std::int32_t archive_offset) {
  return work_size <= kLargestSpannedFile && parts >= 1 && parts <= kLZMaxSpanParts &&
         archive_offset >= 0 && archive_offset + kHeaderSize <= LZSpanPartCapacity(disk_size);
}

// An archive named like one of its later parts ("X.2") would have that part
// written over part 1.
bool PartNamesCollide(const std::string& spanned_name, std::int32_t parts) {
  for (std::int32_t part = 2; part <= parts; ++part) {
    if (LZSpanPartName(spanned_name, part) == spanned_name) return true;
  }
  return false;
}

// ---- The span fields ----

// The archive's name in its header and part trailers is only informational,
// but a reader takes a header for a spanned one only when the name is not
// empty: a name that has no archive form keeps its ASCII characters and
// shows '_' for every other byte.
TShortField<12> SpanNameOf(const std::string& spanned_name) {
  const std::string file_name = ExtractFileName(spanned_name);
  std::optional<std::string> text = LZStoredName(file_name);
  if (!text) {
    text = file_name;
    std::replace_if(
        text->begin(), text->end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; },
        '_');
  }
  TShortField<12> field;
  field.SetCut(*text);
  return field;
}

// The span block of part 1 and the archive's name; `trailer` keeps every
// other field.
void MarkSpanned(TLZArchiveTrailer& trailer, std::int32_t parts, std::int64_t data_size,
                 const TShortField<12>& name) {
  trailer.SpanSignature = LZSpanSignature();
  trailer.SpanParts = static_cast<std::uint16_t>(parts);
  trailer.SpanPart = 1;
  trailer.SpanOffset = trailer.ArchiveOffset;
  trailer.SpanDataSize = static_cast<std::int32_t>(data_size);
  trailer.SpanName = name;
}

// Reads the header the work file's trailer points at; false when there is
// none to read.
bool ReadWorkHeader(TFile& work, const TLZArchiveTrailer& trailer, TLZArchiveHeader& header) {
  return work.Seek(trailer.ArchiveOffset) && LZReadRecord(work, header);
}

// The header of part 1 tells the reader how many parts to join.
bool WriteSpannedHeader(TFile& work, TLZArchiveHeader header, const TLZSpanWrite& state) {
  header.PartCount = state.Parts;
  const TLZArchiveTrailer& span = state.Trailer;
  header.Trailer.SpanSignature = span.SpanSignature;
  header.Trailer.SpanParts = span.SpanParts;
  header.Trailer.SpanPart = span.SpanPart;
  header.Trailer.SpanOffset = span.SpanOffset;
  header.Trailer.SpanDataSize = span.SpanDataSize;
  header.Trailer.SpanName = span.SpanName;
  if (!work.Seek(span.ArchiveOffset)) return false;
  LZWriteRecord(work, header);
  return true;
}

// ---- The steps of a split ----

TLZSpanWrite StartSplit(TLZContext& context, const std::string& archive_name,
                        std::int32_t disk_size, std::int64_t work_size,
                        const TLZReportHook& report) {
  TLZSpanWrite state;
  state.Context = &context;
  state.Drive = LZSpanDrive(archive_name);
  state.SpannedName = state.Drive + ExtractFileName(archive_name);
  state.DiskSize = disk_size;
  state.Remaining = work_size - kTrailerSize;
  state.Report = report;
  return state;
}

// Counts the parts and checks, before anything is written, that the disks
// and the part names can carry them: 0 or a negative result.
std::int32_t PlanSplit(TFile& work, std::int64_t work_size, TLZSpanWrite& state) {
  if (!ReadWorkTrailer(work, work_size, state.Trailer)) return kLZWorkFileTooShort;
  const std::int64_t parts = LZSpanPartCount(work_size, state.DiskSize);
  if (!SplitFitsDisks(work_size, parts, state.DiskSize, state.Trailer.ArchiveOffset)) {
    return kLZNoDiskSize;
  }
  state.Parts = static_cast<std::int32_t>(parts);
  if (PartNamesCollide(state.SpannedName, state.Parts)) return kLZCannotCreatePart;
  MarkSpanned(state.Trailer, state.Parts, state.Remaining, SpanNameOf(state.SpannedName));
  return 0;
}

// Makes the work file's header that of the spanned archive (reporting -8):
// its entry count, or kLZWorkHeaderUnreadable.
std::int32_t MarkWorkHeader(TFile& work, const TLZSpanWrite& state, TLZSpanInfo& span_info) {
  TLZArchiveHeader header;
  if (!ReadWorkHeader(work, state.Trailer, header)) return kLZWorkHeaderUnreadable;
  TLZReportRec begins = LZSpanRecord(state.SpannedName, 0, 0, state.Parts);
  LZSpanReport(state.Report, begins, kLZReportJoinBegins);
  span_info.PartsWritten = state.Parts;
  if (!WriteSpannedHeader(work, header, state)) return kLZWorkHeaderUnreadable;
  return header.FileCount;
}

// ---- One part ----

// False when the disk took fewer bytes (full, or the file cannot grow).
bool WriteToPart(TFile& part, const void* data, std::size_t count) {
  try {
    part.Write(data, count);
    return true;
  } catch (const EInOutError&) {
    return false;
  }
}

// Ends the part with its trailer and flushes it to the disk; false when the
// disk did not take it all.
bool FinishPart(TFile& part, TLZArchiveTrailer trailer, std::int64_t data_size) {
  trailer.SpanDataSize = static_cast<std::int32_t>(data_size);
  std::array<std::uint8_t, TLZArchiveTrailer::kSize> bytes{};
  trailer.Write(bytes.data());
  if (!WriteToPart(part, bytes.data(), bytes.size())) return false;
  try {
    part.Sync();
  } catch (const EInOutError&) {
    return false;
  }
  part.Close();
  return true;
}

std::int32_t WriteAllParts(TLZSpanWrite& state) {
  for (std::int32_t part = 1; part <= state.Parts; ++part) {
    if (LZWriteSpanPart(part, state) < 1) return kLZWritePartFailed;
  }
  return 0;
}

}  // namespace

std::int64_t LZSpanPartCapacity(std::int32_t disk_size) {
  return static_cast<std::int64_t>(disk_size) - kPartOverhead;
}

std::int64_t LZSpanPartCount(std::int64_t work_size, std::int32_t disk_size) {
  const std::int64_t capacity = LZSpanPartCapacity(disk_size);
  const std::int64_t data = work_size - kTrailerSize;
  if (capacity < 1 || data < 1) return 0;
  return (data + capacity - 1) / capacity;
}

std::int32_t LZWriteSpanPart(std::int32_t part, TLZSpanWrite& state) {
  const std::int64_t needed =
      part < state.Parts ? state.DiskSize - kTrailerSize : state.Remaining + kPartOverhead;
  if (!LZSpanPromptGoesOn(*state.Context, part, state.Parts, needed, state.Drive))
    return kLZPromptStopped;
  state.Trailer.SpanPart = static_cast<std::uint16_t>(part);
  if (part != 1) state.Trailer.SpanOffset = 0;

  const std::string name = LZSpanPartName(state.SpannedName, part);
  TFile file;
  if (!file.Open(name, TFile::TMode::kCreateTruncate)) return kLZCannotCreatePart;
  // A part must never end with a trailer that claims bytes it lacks.
  TWorkFileGuard incomplete(name);
  TLZReportRec record = LZSpanRecord(name, needed, part, state.Parts);
  LZSpanReport(state.Report, record, kLZReportPartOpened);

  const std::int64_t share = std::min(LZSpanPartCapacity(state.DiskSize), state.Remaining);
  const TLZBlockSink sink = [&file](const std::uint8_t* data, std::size_t count) {
    return WriteToPart(file, data, count);
  };
  const std::int64_t copied =
      LZCopySpanBlocks(*state.WorkFile, share, *state.Buffer, sink, record, state.Report);
  if (copied != share || !FinishPart(file, state.Trailer, copied)) return kLZWritePartFailed;
  incomplete.Keep();
  state.Remaining -= copied;
  LZSpanReport(state.Report, record, kLZReportPartDone);
  return static_cast<std::int32_t>(copied);
}

std::int32_t LZSplitWorkFile(TLZContext& context, const std::string& work_file,
                             std::int64_t work_size, const std::string& archive_name,
                             TLZSpanInfo& span_info, const TLZReportHook& report) {
  if (span_info.DiskSize < 1) return kLZNoDiskSize;
  TLZSpanWrite state = StartSplit(context, archive_name, span_info.DiskSize, work_size, report);
  span_info.SpannedName = state.SpannedName;
  TFile work;
  if (!work.Open(work_file, TFile::TMode::kReadWrite)) return kLZCannotOpenPart;
  if (const std::int32_t planned = PlanSplit(work, work_size, state); planned < 0) return planned;
  const std::int32_t entries = MarkWorkHeader(work, state, span_info);
  if (entries < 0) return entries;

  std::vector<std::uint8_t> buffer(kLZCopyBlockSize);
  state.WorkFile = &work;
  state.Buffer = &buffer;
  if (!work.Seek(0) || WriteAllParts(state) != 0) return kLZWritePartFailed;
  TLZReportRec done = LZSpanRecord(state.SpannedName, work_size, state.Parts, state.Parts);
  LZSpanReport(report, done, kLZReportJoinDone);
  return entries;
}

}  // namespace zorellz
