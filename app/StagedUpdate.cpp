#include "app/StagedUpdate.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/System.h"

namespace tessaline {

namespace fs = std::filesystem;

namespace {

std::function<bool(const fs::path&)>& MoveHook() {
  static std::function<bool(const fs::path&)> hook;
  return hook;
}

std::string Cause(std::errc code) {
  return std::make_error_code(code).message();
}

std::string CauseOfErrno(int error) {
  return error != 0 ? std::generic_category().message(error) : Cause(std::errc::io_error);
}

// A new folder `<parent>/<prefix><random>`; raises when none can be made.
fs::path MakeUniqueFolder(const fs::path& parent, const std::string& prefix) {
  errno = 0;
  fs::path folder = zorellz::CreateUniqueDirectory(parent, prefix);
  if (folder.empty()) throw EStagedUpdateError(parent, CauseOfErrno(errno));
  return folder;
}

struct TStagedEntry {
  fs::path Relative;
  fs::file_type Type;
};

// Everything below `staging`, links not followed, parents before children.
std::vector<TStagedEntry> ListStaged(const fs::path& staging) {
  std::vector<TStagedEntry> entries;
  std::error_code error;
  fs::recursive_directory_iterator it(staging, error), end;
  for (; !error && it != end; it.increment(error)) {
    const fs::file_type type = it->symlink_status(error).type();
    if (error) break;
    entries.push_back({it->path().lexically_relative(staging), type});
  }
  if (error) throw EStagedUpdateError(staging, error.message());
  std::sort(entries.begin(), entries.end(),
            [](const TStagedEntry& a, const TStagedEntry& b) { return a.Relative < b.Relative; });
  return entries;
}

// Puts the staged entries in place one by one, journalling each step so that
// Undo can take them back in reverse order.
class TCommitRun {
 public:
  TCommitRun(const fs::path& data_folder, const fs::path& staging, const fs::path& replaced)
      : data_folder_(data_folder), staging_(staging), replaced_(replaced) {}

  void Place(const TStagedEntry& entry) {
    switch (entry.Type) {
      case fs::file_type::directory:
        return PlaceFolder(entry.Relative);
      case fs::file_type::regular:
        return PlaceFile(entry.Relative);
      case fs::file_type::symlink:
        // The engine writes no links; following one could lead anywhere.
        Fail(data_folder_ / entry.Relative, Cause(std::errc::too_many_symbolic_link_levels));
      default:
        Fail(data_folder_ / entry.Relative, Cause(std::errc::invalid_argument));
    }
  }

  // Takes every journalled step back; false when one of the replaced files
  // could not be put back (it is then still in the folder of replaced files).
  bool Undo() noexcept {
    bool restored = true;
    std::error_code ignored;
    for (auto step = journal_.rbegin(); step != journal_.rend(); ++step) {
      switch (step->Kind) {
        case TStepKind::kMovedIn:
          fs::remove(step->Target, ignored);
          break;
        case TStepKind::kMovedAside:
          if (!zorellz::ReplaceFileNative(step->Aside, step->Target)) restored = false;
          break;
        case TStepKind::kCreatedFolder:
          // Fails, as it should, when something else has been put inside.
          fs::remove(step->Target, ignored);
          break;
      }
    }
    journal_.clear();
    return restored;
  }

 private:
  enum class TStepKind { kCreatedFolder, kMovedAside, kMovedIn };
  struct TStep {
    TStepKind Kind;
    fs::path Target;
    fs::path Aside;
  };

  [[noreturn]] static void Fail(const fs::path& target, const std::string& cause) {
    throw EStagedUpdateError(target, cause);
  }

  void PlaceFolder(const fs::path& relative) {
    const fs::path target = data_folder_ / relative;
    std::error_code error;
    switch (fs::symlink_status(target, error).type()) {
      case fs::file_type::not_found:
        if (!fs::create_directory(target, error)) {
          Fail(target, error ? error.message() : Cause(std::errc::file_exists));
        }
        journal_.push_back({TStepKind::kCreatedFolder, target, {}});
        return;
      case fs::file_type::directory:
        return;
      case fs::file_type::symlink:
        // A folder the host's installation keeps elsewhere.
        if (fs::is_directory(target, error)) return;
        Fail(target, Cause(std::errc::not_a_directory));
      case fs::file_type::none:
        Fail(target, error.message());
      default:
        Fail(target, Cause(std::errc::not_a_directory));
    }
  }

  void PlaceFile(const fs::path& relative) {
    const fs::path target = data_folder_ / relative;
    std::error_code error;
    switch (fs::symlink_status(target, error).type()) {
      case fs::file_type::not_found:
        break;
      case fs::file_type::directory:
        Fail(target, Cause(std::errc::is_a_directory));
      case fs::file_type::none:
        Fail(target, error.message());
      default:
        // A file, or a link that is replaced itself rather than written
        // through.
        MoveAside(relative, target);
    }
    const auto& hook = MoveHook();
    if (hook && !hook(target)) Fail(target, Cause(std::errc::io_error));
    errno = 0;
    if (!zorellz::RenameFileNative(staging_ / relative, target)) Fail(target, CauseOfErrno(errno));
    journal_.push_back({TStepKind::kMovedIn, target, {}});
  }

  void MoveAside(const fs::path& relative, const fs::path& target) {
    const fs::path aside = replaced_ / relative;
    std::error_code error;
    fs::create_directories(aside.parent_path(), error);
    if (error) Fail(target, error.message());
    errno = 0;
    if (!zorellz::RenameFileNative(target, aside)) Fail(target, CauseOfErrno(errno));
    journal_.push_back({TStepKind::kMovedAside, target, aside});
  }

  fs::path data_folder_;
  fs::path staging_;
  fs::path replaced_;
  std::vector<TStep> journal_;
};

}  // namespace

EStagedUpdateError::EStagedUpdateError(fs::path file, const std::string& cause)
    : std::runtime_error(file.string() + ": " + cause), file_(std::move(file)), cause_(cause) {}

TStagedUpdate::TStagedUpdate(const fs::path& data_folder)
    : data_folder_(data_folder), staging_(MakeUniqueFolder(data_folder, ".tessaline-update-")) {}

TStagedUpdate::~TStagedUpdate() {
  std::error_code ignored;
  try {
    fs::remove_all(staging_, ignored);
    if (!replaced_.empty() && !keep_replaced_) fs::remove_all(replaced_, ignored);
  } catch (...) {
    // Best effort: a leftover hidden folder is harmless.
  }
}

void TStagedUpdate::SetMoveHookForTesting(std::function<bool(const fs::path&)> hook) {
  MoveHook() = std::move(hook);
}

void TStagedUpdate::Commit() {
  if (committed_) throw std::logic_error("TStagedUpdate::Commit called twice");
  committed_ = true;
  const std::vector<TStagedEntry> entries = ListStaged(staging_);
  replaced_ = MakeUniqueFolder(data_folder_, ".tessaline-replaced-");
  TCommitRun run(data_folder_, staging_, replaced_);
  try {
    for (const TStagedEntry& entry : entries) run.Place(entry);
  } catch (...) {
    if (!run.Undo()) keep_replaced_ = true;
    throw;
  }
  std::error_code ignored;
  fs::remove_all(replaced_, ignored);
  fs::remove_all(staging_, ignored);
}

}  // namespace tessaline
