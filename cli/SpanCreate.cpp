#include "cli/SpanCreate.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "archive/codec/ZrlUtils.h"
#include "cli/CreateSupport.h"
#include "cli/Progress.h"
#include "cli/Questions.h"
#include "cli/SpanText.h"
#include "platform/Names.h"
#include "platform/System.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {
namespace {

// What the engine's reports tell about placing the archive.  The engine
// reports through a plain function pointer, so this is the state of the one
// running command.
struct TSpanWriting {
  std::string ArchiveName;
  bool Began = false;           // the target, or the first part, is being written
  std::int64_t WholeSize = 0;   // of an archive moved whole
  std::int64_t PlacedSize = 0;  // of the built file, once it is placed; 0 after a rename
  std::int32_t Part = 0;        // the part whose file was created last
  std::int32_t Parts = 0;
  std::int64_t PartDone = 0;
  std::int64_t PartNeeds = 0;
  std::int32_t FilesDone = 0;
};

TSpanWriting writing;

void ShowPart() {
  std::string label = "writing " + ExtractFileName(writing.ArchiveName);
  if (writing.Parts > 1) {
    label = "writing part " + std::to_string(writing.Part) + " of " + std::to_string(writing.Parts);
  }
  ProgressWriting(label, writing.PartDone, writing.PartNeeds);
}

// Moving the archive whole reports it as part 1 of 1; a part of a split
// archive carries the space it needs.
void PartBegins(const TLZReportRec& record) {
  writing.Part = record.UncompressedSize;
  writing.Parts = record.FileDate;
  writing.PartDone = 0;
  writing.PartNeeds = writing.Parts > 1 ? record.CompressedSize : writing.WholeSize;
  ShowPart();
}

// The placing reports (-8 to -12) share their numbers with those of joining
// parts: they are taken here and never reach the creation bar.
std::int32_t SpanReport(TLZReportRec& record, std::int32_t code) {
  switch (code) {
    case kLZReportJoinBegins:
      writing.Began = true;
      writing.Parts = record.FileDate;
      writing.WholeSize = record.CompressedSize;
      return 1;
    case kLZReportPartOpened:
      PartBegins(record);
      return 1;
    case kLZReportPartChunk:
      writing.PartDone += record.FileAttr;
      ShowPart();
      return 1;
    case kLZReportPartDone:
      return 1;
    case kLZReportJoinDone:
      writing.PlacedSize = record.CompressedSize;
      return 1;
    case kLZReportFileDone:
      ++writing.FilesDone;
      break;
    default:
      break;
  }
  return ProgressReport(record, code);
}

std::string FirstPartName(const TSpanCreateRequest& request, const TLZSpanInfo& info) {
  return info.SpannedName.empty() ? request.Archive : info.SpannedName;
}

std::string ShortOfSpaceCause(const TDiskRequest& disk) {
  return "not enough free space: needs " + GroupedNumber(disk.Needed) + " bytes, " +
         GroupedNumber(disk.Free) + " free";
}

// The disk prompt is asked before each part and its file is created after
// it: which of them was last tells how the part failed.
[[noreturn]] void FailOnPart(const TSpanCreateRequest& request, const TLZSpanInfo& info) {
  const TDiskRequest disk = LastDiskRequest();
  const std::int32_t part = disk.Part > 0 ? disk.Part : writing.Part;
  const std::string name = LZSpanPartName(FirstPartName(request, info), part);
  if (disk.Answer == TDiskAnswer::kShortOfSpace) FailCommand(name, ShortOfSpaceCause(disk));
  if (disk.Answer == TDiskAnswer::kStopped) {
    FailCommand(name, "stopped at the prompt for disk " + std::to_string(part) + " of " +
                          std::to_string(disk.Total) + "; " + PartsWrittenBefore(part));
  }
  if (writing.Part < part) FailCommand(name, CannotCreateCause(name));
  FailCommand(name, "writing failed (is the disk full or read-only?)");
}

// Part 1 carries the stub and the archive's header whole, and a disk at
// least the part trailer twice over.
std::string DiskTooSmallCause(const TSpanCreateRequest& request) {
  std::string cause =
      "a disk of " + GroupedNumber(request.DiskSize) + " bytes is too small for this archive";
  if (!request.Stub.empty()) cause += " (part 1 must hold the stub and the archive's header)";
  return cause;
}

// Before any disk was asked for, a part cannot be created only because the
// archive's own name is that of a later part ("X.2").
[[noreturn]] void FailOnPartName(const TSpanCreateRequest& request, const TLZSpanInfo& info) {
  const std::int32_t part = LastDiskRequest().Part;
  if (part < 1) {
    FailCommand(request.Archive, "its extension is a part number, so a part would take its name");
  }
  FailCommand(LZSpanPartName(FirstPartName(request, info), part), "cannot be created");
}

std::string WorkFolder() {
  return "the temporary folder " + TempDirectory().string();
}

[[noreturn]] void FailOnSpanResult(const TSpanCreateRequest& request, const TLZSpanInfo& info,
                                   std::int32_t result) {
  switch (result) {
    case kLZNoDiskSize:
      FailCommand(request.Archive, DiskTooSmallCause(request));
    case kLZCannotOpenPart:
    case kLZWorkFileTooShort:
    case kLZWorkHeaderUnreadable:
      FailCommand(request.Archive, "the work file in " + WorkFolder() + " cannot be read");
    case kLZCannotCreatePart:
      FailOnPartName(request, info);
    case kLZPromptStopped: {
      const TDiskRequest disk = LastDiskRequest();
      FailCommand(request.Archive, disk.Answer == TDiskAnswer::kShortOfSpace
                                       ? ShortOfSpaceCause(disk)
                                       : "stopped at the disk prompt");
    }
    case kLZWritePartFailed:
      FailOnPart(request, info);
    case kLZCannotMoveArchive:
      FailCommand(request.Archive, writing.Began ? "copied short (is the disk full?)"
                                                 : CannotCreateCause(request.Archive));
    case kLZCannotCreateOutput:
      FailCommand(request.Archive, "no work file can be created in " + WorkFolder());
    default:
      FailCommand(request.Archive, "failed with result " + std::to_string(result));
  }
}

bool IsPlacingResult(std::int32_t result) {
  return (result <= kLZNoDiskSize && result >= kLZWritePartFailed) ||
         result == kLZCannotMoveArchive || result == kLZCannotCreateOutput;
}

TSpanPlacement Placement(const TSpanCreateRequest& request, const TLZSpanInfo& info,
                         std::int32_t result) {
  TSpanPlacement placement;
  const std::string first = FirstPartName(request, info);
  // A renamed work file reports nothing: it is the archive.
  placement.FileBytes = writing.PlacedSize > 0 ? writing.PlacedSize : GetFileSizeOf(first);
  if (info.PartsWritten < 1) {
    placement.Files = result;
    placement.Written.push_back(first);
    return placement;
  }
  // A split archive's result counts the folders as well.
  placement.Files = writing.FilesDone;
  for (std::int32_t part = 1; part <= info.PartsWritten; ++part) {
    placement.Written.push_back(LZSpanPartName(first, part));
  }
  return placement;
}

}  // namespace

void CheckSpanTarget(const std::string& archive) {
  std::filesystem::path folder = std::filesystem::path(archive).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    FailCommand(archive, SystemCause(ENOENT));
  }
  if (std::filesystem::is_directory(archive, error)) FailCommand(archive, SystemCause(EISDIR));
}

std::int32_t CreateSpanned(TLZContext& context, const TSpanCreateRequest& request,
                           TSpanPlacement& placement) {
  writing = TSpanWriting{};
  writing.ArchiveName = request.Archive;
  QuestionsStart(request.Archive, request.AssumeYes);
  UseDiskPrompt(context);
  TLZSpanInfo info;
  info.DiskSize = request.DiskSize;
  info.IsSelfExtracting = request.Stub.empty() ? 0 : 1;
  info.StubName = request.Stub;
  const std::int32_t result = RunEngineOperation(
      [&] {
        return LZCreateArchiveWithSpanning(context, request.FileSpecs, request.Archive,
                                           request.Recurse, info, request.Level, SpanReport);
      },
      TEngineFiles{request.Archive, request.FileSpecs});
  if (IsPlacingResult(result)) FailOnSpanResult(request, info, result);
  if (result < 0) return result;
  if (result == 0) FailCommand(request.Archive, "nothing to archive; no disk written");
  placement = Placement(request, info, result);
  return result;
}

}  // namespace zorellz::cli
