#include "cli/ReadSupport.h"

#include <filesystem>
#include <system_error>

#include "cli/Questions.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {
namespace {

std::int32_t AcceptProtected(const TLZArchiveHeader&, std::int32_t) {
  return kLZPasswordAccepted;
}

// The library's messages name full paths in their own words; these say what
// went wrong with the file the line already names.
[[noreturn]] void FailOnLibraryError(const EZorelLZError& error, const TEngineFiles& files) {
  switch (error.MessageId) {
    case kMsgArchiveCorrupt:
      FailCommand(files.Input, "ends before the data of its entries (cut short or damaged)");
    case kMsgCannotRecreateFolders:
      FailCommand(files.Output, "the archive's folders cannot be created there");
    case kMsgWrongCompressedFile:
      FailCommand(files.Input, "is missing, and its compressed form holds another file");
    case kMsgSameInputOutput:
      FailCommand(files.Output, "is the input as well");
    case kMsgNoTempFileName:
      FailCommand(files.Input, "no work file can be created in the temporary folder");
    default:
      throw;
  }
}

// The disk prompt knows which part it asked for last.
[[noreturn]] void FailOnSpannedPart(const std::string& archive, std::int64_t result) {
  const TDiskRequest disk = LastDiskRequest();
  if (disk.Part == 0) FailCommand(archive, ResultCause(result));
  const std::string part = LZSpanPartName(archive, disk.Part);
  const std::string place = "part " + std::to_string(disk.Part) + " of " +
                            std::to_string(disk.Total) + " of the spanned archive";
  switch (result) {
    case kLZWrongPartStopped:
      FailCommand(part, "is not " + place);
    case kLZPromptStopped:
      FailCommand(part,
                  (FileExists(part) ? "stopped at your request (" : "missing (") + place + ")");
    default:
      FailCommand(part, ResultCause(result) + " (" + place + ")");
  }
}

}  // namespace

void RequireFile(const std::string& name) {
  if (FileExists(name)) return;
  FailCommand(name, MissingFileCause(name));
}

TArchiveLocation LocateArchiveOrFail(const std::string& name, const std::string& shown) {
  const std::string& subject = shown.empty() ? name : shown;
  if (!FileExists(name)) FailCommand(subject, MissingFileCause(name));
  TArchiveLocation location;
  TLZContext inspection;
  ReadProtected(inspection, true);
  const std::int32_t located = LZLocateArchive(inspection, name, location.Header);
  if (located < 0) FailCommand(subject, ResultCause(kLZNotAnArchive));
  location.ThroughTrailer = located > 0;
  location.Offset =
      location.ThroughTrailer ? location.Header.Trailer.ArchiveOffset : inspection.HeaderOffset;
  return location;
}

void CheckProtection(const std::string& name, const TArchiveLocation& location, bool accept) {
  if (location.Protected() && !accept) {
    FailCommand(name, "is protected (--accept-protected reads it all the same)");
  }
}

void ReadProtected(TLZContext& context, bool accept) {
  context.ProtectionAnswer = -1;
  context.CheckPassWord = accept ? AcceptProtected : nullptr;
}

void FailOnArchiveResult(const std::string& archive, std::int64_t result) {
  switch (result) {
    case kLZPromptStopped:
    case kLZWrongPartStopped:
    case kLZCannotOpenPart:
    case kLZPartTooShort:
      FailOnSpannedPart(archive, result);
    default:
      FailCommand(archive, ResultCause(result));
  }
}

std::int64_t RunReadOperation(const std::function<std::int64_t()>& operation,
                              const TEngineFiles& files) {
  std::int64_t result = 0;
  RunEngineOperation(
      [&]() -> std::int32_t {
        try {
          result = operation();
        } catch (const EZorelLZError& error) {
          FailOnLibraryError(error, files);
        }
        return 0;
      },
      files);
  return result;
}

}  // namespace zorellz::cli
