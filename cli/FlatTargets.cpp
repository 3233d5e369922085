#include "cli/FlatTargets.h"

#include "platform/File.h"
#include "platform/Names.h"

namespace zorellz::cli {

namespace {
constexpr std::uint8_t kKeep = 0;
}  // namespace

TFlatTargets::TFlatTargets(const std::string& target_folder)
    : folder_(IncludeTrailingSeparator(ExpandFileName(target_folder))) {}

// Inserts the identity of the file at `path`; false when it was there
// already (or the file cannot be looked at).
bool TFlatTargets::Remember(const std::string& path) {
  TFileIdentity identity;
  if (!GetFileIdentity(path, identity)) return false;
  return seen_.insert({identity.Device, identity.Inode}).second;
}

bool TFlatTargets::LandsOnEarlier(const TLZReportRec& current) {
  // A compressed entry is described by its name alone; the folder is the
  // same for every entry.
  const std::string target = folder_ + ExtractFileName(current.FileName);
  TFileIdentity identity;
  if (!GetFileIdentity(target, identity)) return false;
  return !seen_.insert({identity.Device, identity.Inode}).second;
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
      Remember(begun_);
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
