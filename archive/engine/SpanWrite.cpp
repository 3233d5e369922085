// Creation across disks: the archive is built in a work file, then moved to
// its target whole when it fits on one disk, or cut into parts.
#include "archive/engine/SpanWrite.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/CreateWrite.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/OperationScope.h"
#include "archive/engine/SpanRead.h"
#include "archive/engine/WorkFile.h"
#include "platform/PendingFile.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

// A whole move fills one disk.
constexpr std::int32_t kOneDisk = 1;

// ---- Building ----

// The target and the parts that an earlier run left beside it are written
// by this operation: the build must not take them in.
std::vector<std::string> LaterOutputs(const std::string& archive_name) {
  std::vector<std::string> outputs = {archive_name};
  for (std::int32_t part = 2; part <= kLZMaxSpanParts; ++part) {
    std::string name = LZSpanPartName(archive_name, part);
    if (!FileExists(name)) break;
    outputs.push_back(std::move(name));
  }
  return outputs;
}

std::int32_t BuildIntoWorkFile(TLZContext& context, const std::string& work_file,
                               const std::string& file_specs, const std::string& archive_name,
                               TLZRecurse recurse, const TLZSpanInfo& span_info,
                               TLZCompressionChoices compression, const TLZReportHook& report) {
  const TLZBuildPlace place{.Output = work_file,
                            .ReportedName = archive_name,
                            .OtherOutputs = LaterOutputs(archive_name)};
  if (span_info.IsSelfExtracting != 0 && !span_info.StubName.empty()) {
    return LZCreateSFXArchiveAt(context, span_info.StubName, file_specs, place, compression, report,
                                recurse);
  }
  // The work file is new: the archive starts at its first byte.
  const TLZHeaderOffsetScope offset(context, 0);
  return LZCreateArchiveAt(context, file_specs, place, recurse, compression, report);
}

// ---- Moving an archive that fits on one disk ----

// The disk the move fills is its part 1 of 1; 0 before the move begins.
TLZReportRec MoveRecord(const std::string& archive_name, std::int64_t size, std::int32_t part) {
  return LZSpanRecord(archive_name, size, part, kOneDisk);
}

// Copies the work file beside the target and puts it in the target's place
// only when it is complete: 0 or a negative result.  A non-empty `program`
// (the stub of a self-extracting archive) makes the target executable as it is.
std::int32_t CopyToTarget(const TLZContext& context, const std::filesystem::path& work_file,
                          std::int64_t size, const std::string& archive_name,
                          const std::string& program, const TLZReportHook& report) {
  TFile source;
  if (!source.Open(work_file, TFile::TMode::kReadDenyWrite)) return kLZCannotOpenPart;
  const std::string drive = LZSpanDrive(archive_name);
  if (GetDiskFreeOf(drive) < size &&
      !LZSpanPromptGoesOn(context, kOneDisk, kOneDisk, size, drive)) {
    return kLZPromptStopped;
  }
  TPendingFile target;
  if (!target.Create(archive_name)) return kLZCannotMoveArchive;
  if (!program.empty()) target.MakeProgramLike(program);
  TLZReportRec begins = MoveRecord(archive_name, size, 0);
  LZSpanReport(report, begins, kLZReportJoinBegins);
  TLZReportRec record = MoveRecord(archive_name, size, kOneDisk);
  LZSpanReport(report, record, kLZReportPartOpened);
  std::vector<std::uint8_t> buffer(kLZCopyBlockSize);
  const TLZBlockSink sink = [&target](const std::uint8_t* data, std::size_t count) {
    target.File().Write(data, count);
    return true;
  };
  const std::int64_t copied = LZCopySpanBlocks(source, size, buffer, sink, record, report);
  LZSpanReport(report, record, kLZReportPartDone);
  if (copied != size || !target.Commit()) return kLZCannotMoveArchive;
  TLZReportRec done = MoveRecord(archive_name, size, kOneDisk);
  LZSpanReport(report, done, kLZReportJoinDone);
  return 0;
}

// One rename when the work file and the target share a file system (an
// existing target is replaced in the same step), else a copy.
std::int32_t MoveWhole(const TLZContext& context, TWorkFileGuard& work_file, std::int64_t size,
                       const std::string& archive_name, const std::string& program,
                       const TLZReportHook& report) {
  const bool moved = program.empty()
                         ? MoveFileIntoPlace(work_file.Path(), archive_name)
                         : MoveProgramIntoPlace(work_file.Path(), archive_name, program);
  if (moved) {
    work_file.Keep();
    return 0;
  }
  return CopyToTarget(context, work_file.Path(), size, archive_name, program, report);
}

}  // namespace

// ---- Steps shared by moving and splitting ----

bool LZSpanPromptGoesOn(const TLZContext& context, std::int32_t disk, std::int32_t total_parts,
                        std::int64_t needed_space, const std::string& drive) {
  TLZSpanPromptHook prompt = context.SpanPrompt;
  if (!prompt) prompt = LZDefaultSpanPrompt;
  // Whole moves and parts never need more than a disk of 32-bit size.
  const auto needed = static_cast<std::int32_t>(
      std::min<std::int64_t>(needed_space, std::numeric_limits<std::int32_t>::max()));
  return prompt(disk, total_parts, needed, drive.c_str()) == 0;
}

void LZSpanReport(const TLZReportHook& report, TLZReportRec& record, std::int32_t code) {
  if (report) report(record, code);
}

TLZReportRec LZSpanRecord(const std::string& name, std::int64_t size, std::int32_t part,
                          std::int32_t parts) {
  TLZReportRec record;
  record.FileName = name;
  record.CompressedSize = static_cast<std::int32_t>(size);
  record.UncompressedSize = part;
  record.FileDate = parts;
  return record;
}

std::int64_t LZCopySpanBlocks(TFile& source, std::int64_t count, std::vector<std::uint8_t>& buffer,
                              const TLZBlockSink& sink, TLZReportRec& record,
                              const TLZReportHook& report) {
  std::int64_t copied = 0;
  while (copied < count) {
    const auto block = static_cast<std::size_t>(
        std::min<std::int64_t>(count - copied, static_cast<std::int64_t>(buffer.size())));
    source.ReadExact(buffer.data(), block);
    if (!sink(buffer.data(), block)) break;
    copied += static_cast<std::int64_t>(block);
    record.FileAttr = static_cast<std::int32_t>(block);
    LZSpanReport(report, record, kLZReportPartChunk);
  }
  return copied;
}

std::int32_t LZCreateArchiveWithSpanning(const std::string& file_specs,
                                         const std::string& archive_name, TLZRecurse recurse,
                                         TLZSpanInfo& span_info, TLZCompressionChoices compression,
                                         TLZReportProc report) {
  return LZCreateArchiveWithSpanning(LZDefaultContext(), file_specs, archive_name, recurse,
                                     span_info, compression, report);
}

std::int32_t LZCreateArchiveWithSpanning(TLZContext& context, const std::string& file_specs,
                                         const std::string& archive_name, TLZRecurse recurse,
                                         TLZSpanInfo& span_info, TLZCompressionChoices compression,
                                         TLZReportHook report) {
  TWorkFileGuard work_file(LZCreateWorkFile());
  if (work_file.Path().empty()) return kLZCannotCreateOutput;
  const std::int32_t built =
      BuildIntoWorkFile(context, work_file.Path().string(), file_specs, archive_name, recurse,
                        span_info, compression, report);
  if (built <= 0) return built;

  TFileStatus status;
  if (!GetFileStatus(work_file.Path(), status)) return kLZCannotOpenPart;
  if (span_info.DiskSize >= status.Size) {
    span_info.PartsWritten = 0;
    span_info.SpannedName = archive_name;
    const std::string program = span_info.IsSelfExtracting != 0 ? span_info.StubName : "";
    const std::int32_t moved =
        MoveWhole(context, work_file, status.Size, archive_name, program, report);
    return moved < 0 ? moved : built;
  }
  return LZSplitWorkFile(context, work_file.Path().string(), status.Size, archive_name, span_info,
                         report);
}

}  // namespace zorellz
