// The data area of an archive built on several threads.  The calling thread
// opens and plans each entry a few entries ahead and hands the compressed
// ones to the workers, which code them into spools with coders of their
// own; it then writes every entry in archive order exactly as the serial
// builder would, replaying the progress each worker recorded.  Entries are
// coded independently, so the archive is the same byte for byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <vector>

#include "archive/engine/CodecIO.h"
#include "archive/engine/CreateWrite.h"
#include "archive/engine/Spool.h"
#include "archive/engine/TaskPool.h"

namespace zorellz {
namespace {

// One file entry between planning and writing.  It never goes before its
// worker is done with it.
struct TPlannedEntry {
  TPlannedEntry() = default;
  TPlannedEntry(const TPlannedEntry&) = delete;
  TPlannedEntry& operator=(const TPlannedEntry&) = delete;
  ~TPlannedEntry() {
    if (Coded.valid()) Coded.wait();
  }

  TLZBuildEntry* Entry = nullptr;
  TFile Input;
  bool Opened = false;
  TLZDataPlan Plan;
  // Filled by the worker of a compressed entry.
  std::future<void> Coded;
  TLZSpool Spool;
  std::vector<std::int32_t> Progress;  // the byte counts it reported, in order
  std::int64_t Result = 0;
};

class TParallelBuild {
 public:
  TParallelBuild(TLZDataArea& area, std::vector<TLZBuildEntry>& entries)
      : area_(area), entries_(entries) {}

  std::int32_t Run() {
    coders_ = std::make_unique<TLZWorkerCoders>(jobs_, area_.Compression);
    // The one file of an archive has the cores to itself: a large one is
    // coded on several threads.
    const auto files = std::count_if(entries_.begin(), entries_.end(),
                                     [](const TLZBuildEntry& entry) { return !entry.IsFolder; });
    entry_jobs_ = files == 1 ? area_.Context.Jobs : 1;
    // Joined before the planned entries go, on every way out: it runs every
    // task it was given before it ends.
    // The calling thread is the last worker.
    TLZTaskPool pool(jobs_ - 1);
    pool_ = &pool;
    const std::size_t ahead = 2 * jobs_;
    std::int32_t written = 0;
    for (next_ = 0; next_ < entries_.size() && planned_.size() < ahead;) PlanNext();
    while (!planned_.empty()) {
      std::unique_ptr<TPlannedEntry> current = std::move(planned_.front());
      planned_.pop_front();
      while (next_ < entries_.size() && planned_.size() < ahead) PlanNext();
      const std::int32_t result = Write(*current);
      if (result < 0) return result;
      written += result;
    }
    return written;
  }

 private:
  void PlanNext() {
    TLZBuildEntry& entry = entries_[next_++];
    if (entry.IsFolder) return;
    auto planned = std::make_unique<TPlannedEntry>();
    planned->Entry = &entry;
    planned->Opened = LZOpenEntryInput(area_, entry, planned->Input);
    if (planned->Opened) {
      planned->Plan = LZPlanEntryData(area_.Context, planned->Input, area_.Compression, entry);
      if (planned->Plan.Compress) Submit(*planned);
    }
    planned_.push_back(std::move(planned));
  }

  void Submit(TPlannedEntry& planned) {
    const TLZCompressionChoices compression = area_.Compression;
    planned.Coded = pool_->Submit([this, &planned, compression](std::size_t worker) {
      TLZContext local((*coders_)[worker]);
      local.Jobs = entry_jobs_;
      local.Progress = LZRecordProgress(planned.Progress);
      planned.Result = LZEncodeEntryTo(local, compression, *planned.Entry, planned.Input,
                                       [&planned](const std::uint8_t* data, std::size_t count) {
                                         planned.Spool.Write(data, count);
                                       });
    });
  }

  std::int32_t Write(TPlannedEntry& planned) {
    TLZBuildEntry& entry = *planned.Entry;
    if (!LZBeginEntryData(area_, entry, planned.Opened)) return 0;
    TLZContext& context = area_.Context;
    const std::int64_t start = area_.Output.Position();
    std::int64_t result = 0;
    if (planned.Plan.Compress) {
      pool_->HelpUntilReady(planned.Coded);
      planned.Coded.get();  // a worker's exception goes on from here
      LZReplayProgress(context, planned.Progress);
      result = planned.Result;
      if (result >= 0) planned.Spool.CopyTo(area_.Output);
      LZMarkCompressed(area_.Compression, result, entry);
      if (result > 0) result = 0;
    } else {
      LZWritePlainData(context, planned.Plan, planned.Input, area_.Output, entry);
    }
    planned.Input.Close();
    return LZFinishEntryData(area_, start, result, entry);
  }

  TLZDataArea& area_;
  std::vector<TLZBuildEntry>& entries_;
  const std::size_t jobs_ = static_cast<std::size_t>(area_.Context.Jobs);
  std::unique_ptr<TLZWorkerCoders> coders_;
  std::int32_t entry_jobs_ = 1;  // the Jobs of the context that codes an entry
  std::deque<std::unique_ptr<TPlannedEntry>> planned_;
  TLZTaskPool* pool_ = nullptr;
  std::size_t next_ = 0;
};

}  // namespace

std::int32_t LZWriteDataInParallel(TLZDataArea& area, std::vector<TLZBuildEntry>& entries) {
  return TParallelBuild(area, entries).Run();
}

}  // namespace zorellz
