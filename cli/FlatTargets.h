// Entries of one --flat extraction that share a name.  Every file goes
// straight into the target folder, so a later entry lands on the file that
// an earlier entry of the same run wrote, or was asked about.  The engine
// asks about it as about any existing file; this module tells the two cases
// apart by the files' identities, so that the first entry is not lost to an
// answer meant for files that were there before.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

class TFlatTargets {
 public:
  explicit TFlatTargets(const std::string& target_folder);

  // Whether the entry `current`, about to be asked about, lands on a file
  // that this run wrote or asked about already.  When it does not, its
  // target is noted as asked about.
  bool LandsOnEarlier(const TLZReportRec& current);

  // Every answer to the engine's question, in the order given; a "keep"
  // answer about a shared name (`same_name`) makes the entry's skip report
  // one of LeftOut().
  void Answered(std::uint8_t answer, bool same_name);

  // Follows the engine's reports.  Returns false for the skip report of an
  // entry left out for its name, which is not a kept existing file.
  bool Note(const TLZReportRec& record, std::int32_t code);

  // For entries left compressed, which the engine writes without a
  // question: whether entry `entry` is the first selected entry with
  // `target_path`.  A later one is one of LeftOut(), and is not selected.
  bool Claims(const std::string& target_path, std::int32_t entry);

  // The targets of the entries left out because an earlier entry had their
  // name, as the engine gave them.
  const std::vector<std::string>& LeftOut() const { return left_out_; }

 private:
  using TIdentity = std::pair<std::uint64_t, std::uint64_t>;  // device and inode

  std::string folder_;
  std::string begun_;          // the target of the last file begun
  std::set<TIdentity> seen_;   // the files this run wrote or asked about
  std::deque<bool> declined_;  // per "keep" answer not yet reported: for its name
  std::vector<std::string> left_out_;
  std::map<std::string, std::int32_t> claimed_;  // target path: its first entry
  std::set<std::int32_t> refused_;               // entries that came later
};

}  // namespace zorellz::cli
