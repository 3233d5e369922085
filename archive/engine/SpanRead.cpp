// Reading the parts of a spanned archive back into one archive file.
#include "archive/engine/SpanRead.h"

#include <algorithm>
#include <array>
#include <limits>

#include "archive/engine/EngineState.h"
#include "archive/engine/OperationScope.h"
#include "archive/engine/SpanWrite.h"
#include "archive/engine/WorkFile.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

constexpr auto kTrailerSize = static_cast<std::int64_t>(TLZArchiveTrailer::kSize);
constexpr auto kHeaderSize = static_cast<std::int64_t>(TLZArchiveHeader::kSize);
// Every size and offset of a joined archive is a 32-bit signed field.
constexpr std::int64_t kMaxJoinedSize = std::numeric_limits<std::int32_t>::max();
// Reading a part needs no free space on its disk.
constexpr std::int32_t kNoSpaceNeeded = -1;

void Report(const TLZSpanJoin& join, TLZReportRec& record, std::int32_t code) {
  if (join.Report != nullptr) join.Report(record, code);
}

// True when the user (or the installed prompt) wants to go on.
bool DiskPromptGoesOn(std::int32_t part, const TLZSpanJoin& join) {
  return LZSpanPromptGoesOn(*join.Context, part, join.TotalParts, kNoSpaceNeeded, join.Drive);
}

bool ReadPartTrailer(TFile& part_file, std::int64_t size, TLZArchiveTrailer& trailer) {
  return size >= kTrailerSize && part_file.Seek(size - kTrailerSize) &&
         LZReadRecord(part_file, trailer);
}

// Beyond the trailer's own marks, the part must be of this archive and the
// trailer must describe the file it ends: a size taken on trust would make
// the copy cut the wrong bytes.
bool TrailerFitsPart(std::int32_t part, const TLZArchiveTrailer& trailer, std::int64_t size,
                     const TLZSpanJoin& join) {
  return LZCheckSpanTrailer(part, trailer) && trailer.SpanParts == join.TotalParts &&
         trailer.SpanDataSize == size - kTrailerSize;
}

// The joined archive ends with a trailer of its own.
bool JoinStaysInRange(std::int64_t joined_size, std::int32_t part_data_size) {
  return joined_size + part_data_size + kTrailerSize <= kMaxJoinedSize;
}

// Copies `size` bytes of the open part to the work file's position,
// reporting each block.  A part that ends early raises EInOutError 100.
void CopyPartBlocks(TFile& part_file, std::int64_t size, const TLZSpanJoin& join,
                    TLZReportRec& record) {
  std::vector<std::uint8_t>& buffer = *join.Buffer;
  for (std::int64_t left = size; left > 0;) {
    const auto block = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
    part_file.ReadExact(buffer.data(), block);
    join.WorkFile->Write(buffer.data(), block);
    left -= static_cast<std::int64_t>(block);
    record.FileAttr = static_cast<std::int32_t>(block);
    Report(join, record, kLZReportPartChunk);
  }
}

// Appends the part's archive bytes to the work file; their count, or
// kLZJoinedArchiveInvalid when they would take the archive past its limits.
std::int32_t AppendPart(std::int32_t part, const std::string& part_name, TFile& part_file,
                        std::int64_t size, std::int32_t data_size, const TLZSpanJoin& join) {
  TFile& work = *join.WorkFile;
  const std::int64_t start = work.Size();
  if (!JoinStaysInRange(start, data_size)) return kLZJoinedArchiveInvalid;
  TLZReportRec record = LZSpanRecord(part_name, size, part, join.TotalParts);
  Report(join, record, kLZReportPartOpened);
  if (!part_file.Seek(0) || !work.Seek(start)) return kLZCannotOpenPart;
  CopyPartBlocks(part_file, size, join, record);
  part_file.Close();
  // The part trailer describes the disk, not the archive.
  if (!work.Seek(start + data_size)) return kLZJoinedArchiveInvalid;
  work.Truncate();
  Report(join, record, kLZReportPartDone);
  return data_size;
}

// The header of part 1 describes the spanned archive; the joined file gets
// back the header and trailer of an ordinary one.
TLZArchiveHeader OrdinaryHeader(TLZArchiveHeader header) {
  header.PartCount = 0;
  TLZArchiveTrailer& trailer = header.Trailer;
  trailer.SpanName.Bytes[0] = 0;
  trailer.SpanSignature = TShortField<3>{};
  trailer.SpanParts = 0;
  trailer.SpanPart = 0;
  trailer.SpanOffset = 0;
  trailer.SpanDataSize = 0;
  return header;
}

// Appends the trailer and rewrites the header in place; false when the
// header's offset does not lie inside the joined bytes.
bool RestoreOrdinaryArchive(TFile& work, const TLZArchiveHeader& spanned) {
  const TLZArchiveHeader header = OrdinaryHeader(spanned);
  const std::int64_t joined_size = work.Size();
  const std::int32_t offset = header.Trailer.ArchiveOffset;
  if (offset < 0 || offset > joined_size - kHeaderSize) return false;
  std::array<std::uint8_t, TLZArchiveHeader::kSize> header_bytes{};
  std::array<std::uint8_t, TLZArchiveTrailer::kSize> trailer_bytes{};
  header.Write(header_bytes.data());
  header.Trailer.Write(trailer_bytes.data());
  if (!work.Seek(joined_size)) return false;
  work.Write(trailer_bytes.data(), trailer_bytes.size());
  if (!work.Seek(offset)) return false;
  work.Write(header_bytes.data(), header_bytes.size());
  return true;
}

// The joined file is the archive file as it was before it was split: its
// header lies where part 1 said.
bool JoinedArchiveIsValid(TLZContext& context, const std::string& work_file,
                          const TLZArchiveHeader& header) {
  const TLZHeaderOffsetScope offset(context, header.Trailer.ArchiveOffset);
  TLZArchiveHeader located;
  return LZLocateArchive(context, work_file, located) >= 0;
}

std::int32_t ReadAllParts(TLZSpanJoin& join) {
  for (std::int32_t part = 1; part <= join.TotalParts; ++part) {
    const std::int32_t read = LZReadSpanPart(part, join);
    if (read < 1) return read;
  }
  return 0;
}

// Appends every part to `work` and makes it an ordinary archive: 0 or a
// negative result.
std::int32_t JoinParts(TLZContext& context, TFile& work, const std::string& archive_name,
                       const TLZArchiveHeader& header, const TLZReportHook& report) {
  std::vector<std::uint8_t> buffer(kLZCopyBlockSize);
  TLZSpanJoin join{.Context = &context,
                   .WorkFile = &work,
                   .Buffer = &buffer,
                   .ArchiveName = archive_name,
                   .TotalParts = header.PartCount,
                   .Drive = LZSpanDrive(archive_name),
                   .Report = report};
  TLZReportRec begins = LZSpanRecord(archive_name, 0, 0, join.TotalParts);
  if (report) report(begins, kLZReportJoinBegins);
  const std::int32_t read = ReadAllParts(join);
  if (read < 0) return read;
  if (!RestoreOrdinaryArchive(work, header)) return kLZJoinedArchiveInvalid;
  TLZReportRec done = LZSpanRecord(archive_name, work.Size(), join.TotalParts, join.TotalParts);
  if (report) report(done, kLZReportJoinDone);
  return 0;
}

}  // namespace

bool LZCheckSpanTrailer(std::int32_t part, const TLZArchiveTrailer& trailer) {
  return trailer.SpanSignature == LZSpanSignature() && trailer.SpanParts != 0 &&
         trailer.SpanPart == part && trailer.SpanDataSize > 0;
}

std::string LZSpanPartName(const std::string& archive_name, std::int32_t part) {
  if (part == 1) return archive_name;
  return ChangeFileExt(archive_name, "." + std::to_string(part));
}

std::string LZSpanDrive(const std::string& archive_name) {
  const std::string folder = ExtractFilePath(archive_name);
  return IncludeTrailingSeparator(folder.empty() ? CurrentDirectory().string() : folder);
}

std::int32_t LZReadSpanPart(std::int32_t part, TLZSpanJoin& join) {
  if (part != 1 && !DiskPromptGoesOn(part, join)) return kLZPromptStopped;
  const std::string part_name = LZSpanPartName(join.ArchiveName, part);
  bool wrong_part_seen = false;
  for (;;) {
    while (!FileExists(part_name)) {
      if (!DiskPromptGoesOn(part, join)) {
        return wrong_part_seen ? kLZWrongPartStopped : kLZPromptStopped;
      }
    }
    TFile part_file;
    if (!part_file.Open(part_name, TFile::TMode::kReadDenyWrite)) return kLZCannotOpenPart;
    const std::int64_t size = part_file.Size();
    TLZArchiveTrailer trailer;
    if (!ReadPartTrailer(part_file, size, trailer)) return kLZPartTooShort;
    if (TrailerFitsPart(part, trailer, size, join)) {
      return AppendPart(part, part_name, part_file, size, trailer.SpanDataSize, join);
    }
    // The disk in the drive holds another part: release it before asking.
    part_file.Close();
    wrong_part_seen = true;
    if (!DiskPromptGoesOn(part, join)) return kLZWrongPartStopped;
  }
}

std::int32_t LZJoinSpannedArchive(const std::string& archive_name, const TLZArchiveHeader& header,
                                  const TLZReportHook& report, std::string& work_file) {
  return LZJoinSpannedArchive(LZDefaultContext(), archive_name, header, report, work_file);
}

std::int32_t LZJoinSpannedArchive(TLZContext& context, const std::string& archive_name,
                                  const TLZArchiveHeader& header, const TLZReportHook& report,
                                  std::string& work_file) {
  // A part count the part trailers cannot carry marks a damaged header.
  if (header.PartCount < 1 || header.PartCount > kLZMaxSpanParts) return kLZNotAnArchive;
  TWorkFileGuard guard(LZCreateWorkFile());
  TFile work;
  if (guard.Path().empty() || !work.Open(guard.Path(), TFile::TMode::kReadWrite)) {
    return kLZCannotCreateJoinFile;
  }
  const std::int32_t joined = JoinParts(context, work, archive_name, header, report);
  work.Close();
  if (joined < 0) return joined;
  if (!JoinedArchiveIsValid(context, guard.Path().string(), header)) {
    return kLZJoinedArchiveInvalid;
  }
  work_file = guard.Keep();
  return 0;
}

}  // namespace zorellz
