// zorellz create ARCHIVE FILESPEC... [--level store|fast|max]
//                [--recurse none|once|full] [--stub STUB] [--protect]
//                [--span SIZE [--yes]] [--overwrite always|never|ask]
//                [--quiet|--verbose]
// An archive of the files that the FILESPECs name (files, folders, paths
// whose last component is a wildcard mask, /F=LISTFILE: see
// cli/CreateInputs.h); with --stub a self-extracting file.  An existing
// ARCHIVE is replaced, as tar -cf does, unless --overwrite says otherwise.
// The engine builds it beside its place and moves it there only when it is
// complete; with --span it builds it in the temporary folder and writes it
// to disks of SIZE bytes, in parts when it does not fit on one (see
// cli/SpanCreate.h).  Inputs left out while the archive is built are named
// on stderr and end the command with status 2.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/codec/ZrlUtils.h"
#include "cli/Commands.h"
#include "cli/CreateInputs.h"
#include "cli/CreateSupport.h"
#include "cli/EntryText.h"
#include "cli/Jobs.h"
#include "cli/Progress.h"
#include "cli/Questions.h"
#include "cli/SpanCreate.h"
#include "cli/SpanText.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {
namespace {

struct TCreateRequest {
  std::string Archive;
  std::vector<std::string> Specs;
  std::string FileSpecs;  // what the engine is given for Specs
  std::string Overwrite = "always";
  std::string Level = "max";
  std::string Recurse = "none";
  std::string Stub;
  std::string Span;  // empty: one archive file, written in place
  bool Yes = false;
  bool Protect = false;
  bool Sync = false;
  std::int32_t Jobs = 1;
  TReporting Reporting;
};

TLZRecurse RecurseByName(const std::string& name) {
  if (name == "once") return LZRecurseOnce;
  if (name == "full") return LZFullRecurse;
  return LZNoRecurse;
}

std::int32_t MarkProtected(TLZArchiveHeader&) {
  return kLZPasswordProtect;
}

std::string LeftOutCause(TLZSkipReason reason) {
  switch (reason) {
    case TLZSkipReason::kEntryLimit:
      return "left out: the archive already holds " + std::to_string(kLZMaxEntries) + " entries";
    case TLZSkipReason::kCannotOpen:
      return "cannot be opened; archived as an empty entry";
    case TLZSkipReason::kNameNotStorable:
      return "left out: its name cannot be stored (over 255 bytes, not in Windows-1252, "
             "or refused by the archive name rule)";
    case TLZSkipReason::kNotRegular:
      return "left out: not a regular file (a link to a folder, a dangling link, a FIFO or a "
             "device)";
    case TLZSkipReason::kTooLarge:
      return "left out: the archive cannot hold 2 GiB or more";
  }
  return "left out";
}

// The engine context of one create command: inputs left out are named and
// counted, and the archive is marked protected when asked.
class TCreateContext {
 public:
  TCreateContext(bool protect, std::int32_t jobs) {
    context_.SkippedInput = [this](const std::string& path, TLZSkipReason reason) {
      ++left_out_;
      // A name from the disk may hold line ends and controls too.
      ProgressInputLeftOut("zorellz: " + Printable(path) + ": " + LeftOutCause(reason),
                           reason == TLZSkipReason::kCannotOpen);
    };
    if (protect) context_.SetPassWord = MarkProtected;
    context_.Jobs = jobs;
  }
  TCreateContext(const TCreateContext&) = delete;
  TCreateContext& operator=(const TCreateContext&) = delete;

  TLZContext& Engine() { return context_; }
  int LeftOut() const { return left_out_; }

 private:
  TLZContext context_;
  int left_out_ = 0;
};

// Mistakes that the engine would report only as a bare code, or not at all:
// a wildcard in a folder that does not exist makes an empty archive.
void CheckFileSpecs(const std::string& file_specs) {
  const std::string list_file = ListFileOf(file_specs);
  if (!list_file.empty()) {
    if (!FileExists(list_file)) FailCommand(list_file, MissingFileCause(list_file));
    return;
  }
  std::filesystem::path folder = std::filesystem::path(file_specs).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    FailCommand(folder.string(),
                SystemCause(std::filesystem::exists(folder, error) ? ENOTDIR : ENOENT));
  }
}

void CheckStub(const TCreateRequest& request) {
  if (!FileExists(request.Stub)) FailCommand(request.Stub, MissingFileCause(request.Stub));
  if (IsSameFile(request.Stub, request.Archive)) {
    FailCommand(request.Archive, "is the stub as well");
  }
}

[[noreturn]] void FailOnResult(const TCreateRequest& request, std::int32_t result) {
  const bool self_extracting = !request.Stub.empty();
  if (result == kLZCannotOpenSFX) {
    if (self_extracting) FailCommand(request.Stub, "cannot be opened");
    FailCommand(request.Archive, "cannot be opened for writing");
  }
  if (result == kLZCannotCreateOutput) {
    FailCommand(request.Archive, CannotCreateCause(request.Archive));
  }
  if (result == kLZNoFileMatches) {
    FailCommand(request.Archive, "no file matches " + request.FileSpecs);
  }
  FailCommand(request.Archive, ResultCause(result, true));
}

std::int32_t Create(TLZContext& context, const TCreateRequest& request) {
  const TLZCompressionChoices level = LevelByName(request.Level);
  const TLZRecurse recurse = RecurseByName(request.Recurse);
  const TEngineFiles files{request.Archive, request.FileSpecs};
  if (request.Stub.empty()) {
    return RunEngineOperation(
        [&] {
          return LZCreateArchive(context, request.FileSpecs, request.Archive, recurse, level,
                                 ProgressReport);
        },
        files);
  }
  return RunEngineOperation(
      [&] {
        return LZCreateSFXArchive(context, request.Stub, request.FileSpecs, request.Archive, level,
                                  ProgressReport, recurse);
      },
      files);
}

TSpanCreateRequest SpanRequest(const TCreateRequest& request) {
  TSpanCreateRequest span;
  span.Archive = request.Archive;
  span.FileSpecs = request.FileSpecs;
  span.Stub = request.Stub;
  span.DiskSize = ParseSpanSize(request.Span).value_or(0);
  span.Recurse = RecurseByName(request.Recurse);
  span.Level = LevelByName(request.Level);
  span.AssumeYes = request.Yes;
  return span;
}

void CreateInPlace(TLZContext& context, const TCreateRequest& request, std::int64_t stub_size) {
  context.RefuseEmptyArchive = true;  // an archive of nothing replaces nothing
  context.Durable = request.Sync;
  const std::int32_t result = Create(context, request);
  if (result < 0) FailOnResult(request, result);
  ProgressSummary(request.Archive, result, GetFileSizeOf(request.Archive) - stub_size);
}

void CreateOnDisks(TLZContext& context, const TCreateRequest& request, std::int64_t stub_size) {
  TSpanPlacement placement;
  const std::int32_t result = CreateSpanned(context, SpanRequest(request), placement);
  if (result < 0) FailOnResult(request, result);
  ProgressSummary(request.Archive, placement.Files, placement.FileBytes - stub_size,
                  PlacementText(placement.Written));
}

// False when an existing archive is to be kept.
bool MayReplace(const TCreateRequest& request) {
  if (!FileExists(request.Archive)) return true;
  return MayReplaceOutput(request.Archive,
                          OverwriteByName(request.Overwrite, TOverwritePolicy::kAlways));
}

void RunCreate(TCreateRequest request) {
  const bool spanned = !request.Span.empty();
  TWorkFolder work;
  request.FileSpecs = EngineFileSpecs(request.Specs, RecurseByName(request.Recurse), work);
  if (request.Specs.size() == 1) CheckFileSpecs(request.FileSpecs);
  if (!MayReplace(request)) {
    ReportError(request.Archive, "exists; kept");
    throw TExitStatus{kExitPartial};
  }
  if (!request.Stub.empty()) CheckStub(request);
  if (spanned) CheckSpanTarget(request.Archive);
  const std::int64_t stub_size = request.Stub.empty() ? 0 : GetFileSizeOf(request.Stub);
  ProgressStart(request.Reporting);
  TCreateContext context(request.Protect, request.Jobs);
  if (spanned) {
    CreateOnDisks(context.Engine(), request, stub_size);
  } else {
    CreateInPlace(context.Engine(), request, stub_size);
  }
  if (context.LeftOut() > 0) throw TExitStatus{kExitPartial};
}

// The parser refuses a size that names no disk before anything is built.
CLI::Validator SpanSizeValidator() {
  return CLI::Validator(
      [](const std::string& text) { return ParseSpanSize(text) ? std::string() : SpanSizeRule(); },
      "SIZE");
}

}  // namespace

void RegisterCreateCommand(CLI::App& app) {
  auto* command = app.add_subcommand("create", "Create an archive or a self-extracting file");
  auto request = std::make_shared<TCreateRequest>();
  command->add_option("ARCHIVE", request->Archive, "Archive to write")->required();
  command
      ->add_option("FILESPEC", request->Specs,
                   "Files, folders (all their files), a folder path ending in a wildcard mask "
                   "(data/*.DAT), or /F=LISTFILE; several are taken as one list of files")
      ->required();
  command->add_option("--level", request->Level, "Compression level")
      ->check(CLI::IsMember(LevelNames()))
      ->capture_default_str();
  command->add_option("--recurse", request->Recurse, "Sub-folders to include")
      ->check(CLI::IsMember({"none", "once", "full"}))
      ->capture_default_str();
  command->add_option("--stub", request->Stub, "Extractor program to put before the archive");
  command->add_flag("--protect", request->Protect, "Mark the archive as protected");
  auto* span =
      command
          ->add_option("--span", request->Span,
                       "Write to disks of SIZE bytes, in parts when the archive does not fit "
                       "on one: a byte count with an optional k, M or G (1024-based: 1440k, "
                       "100M, 2G), or 1440, 720, 2880, 360, 1200, zip")
          ->check(SpanSizeValidator());
  command
      ->add_flag("--yes", request->Yes,
                 "Go on at every disk prompt without asking (stop when a part does not fit)")
      ->needs(span);
  command
      ->add_option("--overwrite", request->Overwrite,
                   "An existing ARCHIVE: always replace it once the new one is complete, never, "
                   "or ask")
      ->check(CLI::IsMember({"always", "never", "ask"}))
      ->capture_default_str();
  command->add_flag("--sync", request->Sync,
                    "Make the archive durable on the device before the command ends");
  AddJobsOption(*command, request->Jobs);
  AddReportingOptions(*command, request->Reporting, "No progress and no summary",
                      "A line for each file as it goes in");
  command->callback([request] { RunCreate(*request); });
}

}  // namespace zorellz::cli
