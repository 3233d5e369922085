// zorellz create ARCHIVE FILESPEC [--level store|fast|max]
//                [--recurse none|once|full] [--stub STUB] [--protect]
//                [--span SIZE [--yes]] [--quiet]
// An archive of the files that FILESPEC names (a path whose last component
// is a wildcard mask, or /F=LISTFILE); with --stub a self-extracting file.
// The engine builds it beside its place and moves it there only when it is
// complete; with --span it builds it in the temporary folder and writes it
// to disks of SIZE bytes, in parts when it does not fit on one (see
// cli/SpanCreate.h).  Inputs left out while the archive is built are named
// on stderr and end the command with status 2.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/ZorelLZ.h"
#include "cli/Commands.h"
#include "cli/CreateSupport.h"
#include "cli/Progress.h"
#include "cli/SpanCreate.h"
#include "cli/SpanText.h"
#include "platform/File.h"

namespace zorellz::cli {
namespace {

struct TCreateRequest {
  std::string Archive;
  std::string FileSpecs;
  std::string Level = "max";
  std::string Recurse = "none";
  std::string Stub;
  std::string Span;  // empty: one archive file, written in place
  bool Yes = false;
  bool Protect = false;
  bool Quiet = false;
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
      return "left out: its name cannot be stored (over 255 bytes, or not in Windows-1252)";
    case TLZSkipReason::kTooLarge:
      return "left out: the archive cannot hold 2 GiB or more";
  }
  return "left out";
}

// Engine state that the command changes, put back on every way out.  Counts
// the inputs that the engine leaves out.
class TCreateScope {
 public:
  explicit TCreateScope(bool protect) {
    previous_skip_hook_ =
        LZSetSkippedInputHook([this](const std::string& path, TLZSkipReason reason) {
          ++left_out_;
          ProgressInputLeftOut("zorellz: " + path + ": " + LeftOutCause(reason),
                               reason == TLZSkipReason::kCannotOpen);
        });
    if (protect) {
      previous_password_hook_ = LZSetPassWordHook(MarkProtected);
      password_hook_set_ = true;
    }
  }
  ~TCreateScope() {
    LZSetSkippedInputHook(std::move(previous_skip_hook_));
    if (password_hook_set_) LZSetPassWordHook(previous_password_hook_);
  }
  TCreateScope(const TCreateScope&) = delete;
  TCreateScope& operator=(const TCreateScope&) = delete;

  int LeftOut() const { return left_out_; }

 private:
  TLZSkippedInputHook previous_skip_hook_;
  TLZSetPassWordProc previous_password_hook_ = nullptr;
  bool password_hook_set_ = false;
  int left_out_ = 0;
};

[[noreturn]] void FailMissing(const std::string& name, const char* missing) {
  std::error_code error;
  FailCommand(name, std::filesystem::is_directory(name, error) ? "is a folder" : missing);
}

// Mistakes that the engine would report only as a bare code, or not at all:
// a wildcard in a folder that does not exist makes an empty archive.
void CheckFileSpecs(const std::string& file_specs) {
  const std::string list_file = ListFileOf(file_specs);
  if (!list_file.empty()) {
    if (!FileExists(list_file)) FailMissing(list_file, "no such file");
    return;
  }
  std::filesystem::path folder = std::filesystem::path(file_specs).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) FailCommand(folder.string(), "no such folder");
}

void CheckStub(const TCreateRequest& request) {
  if (!FileExists(request.Stub)) FailMissing(request.Stub, "no such file");
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
  std::string cause = CommonResultCause(result);
  if (cause.empty()) cause = "failed with result " + std::to_string(result);
  FailCommand(request.Archive, cause);
}

std::int32_t Create(const TCreateRequest& request) {
  const TLZCompressionChoices level = LevelByName(request.Level);
  const TLZRecurse recurse = RecurseByName(request.Recurse);
  const TEngineFiles files{request.Archive, request.FileSpecs};
  if (request.Stub.empty()) {
    return RunEngineOperation(
        [&] {
          return LZCreateArchive(request.FileSpecs, request.Archive, recurse, level,
                                 ProgressReport);
        },
        files);
  }
  return RunEngineOperation(
      [&] {
        return LZCreateSFXArchive(request.Stub, request.FileSpecs, request.Archive, level,
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

void CreateInPlace(const TCreateRequest& request, std::int64_t stub_size) {
  const std::int32_t result = Create(request);
  if (result < 0) FailOnResult(request, result);
  ProgressSummary(request.Archive, result, GetFileSizeOf(request.Archive) - stub_size);
}

void CreateOnDisks(const TCreateRequest& request, std::int64_t stub_size) {
  TSpanPlacement placement;
  const std::int32_t result = CreateSpanned(SpanRequest(request), placement);
  if (result < 0) FailOnResult(request, result);
  ProgressSummary(request.Archive, placement.Files, placement.FileBytes - stub_size,
                  PlacementText(placement.Written));
}

void RunCreate(const TCreateRequest& request) {
  const bool spanned = !request.Span.empty();
  CheckFileSpecs(request.FileSpecs);
  if (!request.Stub.empty()) CheckStub(request);
  if (spanned) CheckSpanTarget(request.Archive);
  const std::int64_t stub_size = request.Stub.empty() ? 0 : GetFileSizeOf(request.Stub);
  ProgressStart(request.Quiet);
  TCreateScope scope(request.Protect);
  if (spanned) {
    CreateOnDisks(request, stub_size);
  } else {
    CreateInPlace(request, stub_size);
  }
  if (scope.LeftOut() > 0) throw TExitStatus{2};
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
      ->add_option("FILESPEC", request->FileSpecs,
                   "Folder path ending in a wildcard mask (data/*.DAT), or /F=LISTFILE")
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
                       "on one: a byte count, or 1440, 720, 2880, 360, 1200, zip")
          ->check(SpanSizeValidator());
  command
      ->add_flag("--yes", request->Yes,
                 "Go on at every disk prompt without asking (stop when a part does not fit)")
      ->needs(span);
  command->add_flag("--quiet", request->Quiet, "No progress and no summary");
  command->callback([request] { RunCreate(*request); });
}

}  // namespace zorellz::cli
