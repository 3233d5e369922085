#include "cli/FlatTargets.h"

#include <optional>

#include "platform/Names.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {

namespace {

constexpr std::uint8_t kKeep = 0;

std::optional<std::pair<std::uint64_t, std::uint64_t>> IdentityOf(const std::string& path) {
  TFileIdentity identity;
  if (!GetFileIdentity(path, identity)) return std::nullopt;
  return std::make_pair(identity.Device, identity.Inode);
}

}  // namespace

TFlatTargets::TFlatTargets(const std::string& target_folder)
    : folder_(IncludeTrailingSeparator(ExpandFileName(target_folder))) {}

bool TFlatTargets::LandsOnEarlier(const TLZReportRec& current) {
  // A compressed entry is described by its name alone; the folder is the
  // same for every entry.
  const auto identity = IdentityOf(folder_ + ExtractFileName(current.FileName));
  return identity && !seen_.insert(*identity).second;
}

bool TFlatTargets::Claims(const std::string& target_path, std::int32_t entry) {
  // The engine asks about an entry more than once.
  const std::int32_t first = claimed_.try_emplace(target_path, entry).first->second;
  if (first == entry) return true;
  if (refused_.insert(entry).second) left_out_.push_back(target_path);
  return false;
}

void TFlatTargets::Answered(std::uint8_t answer, bool same_name) {
  // Each "keep" answer is followed by one skip report, in the same order.
  if (answer == kKeep) declined_.push_back(same_name);
}

bool TFlatTargets::Note(const TLZReportRec& record, std::int32_t code) {
  switch (code) {
    case kLZReportFileBegins:
      begun_ = record.FileName;
      break;
    case kLZReportFileDone:
      if (const auto identity = IdentityOf(begun_)) seen_.insert(*identity);
      break;
    case kLZReportSkipped:
      if (!declined_.empty()) {
        const bool same_name = declined_.front();
        declined_.pop_front();
        if (same_name) {
          left_out_.push_back(record.FileName);
          return false;
        }
      }
      break;
    default:
      break;
  }
  return true;
}

}  // namespace zorellz::cli
