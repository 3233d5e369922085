// The file pass: selection, the overwrite question, and writing each
// selected entry beside its target until it is complete and verified.  With
// more than one job the entries' data are decoded by worker threads, each
// with its own coders and its own handle on the archive, while the calling
// thread asks every question and installs and reports every entry in
// archive order, as the serial pass does.
#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/engine/CodecIO.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/ExtractTarget.h"
#include "archive/engine/TaskPool.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "platform/PendingFile.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

// What became of one selected entry.
enum class TOutcome { kCounted, kDeclined, kAborted, kFailed };

struct TEntryResult {
  TOutcome Outcome = TOutcome::kCounted;
  std::int64_t Failure = 0;  // the result of the extraction when kFailed
};

// How to treat an existing target.
enum class TAnswer { kWrite, kKeep, kDecline, kAbort };

TEntryResult Failed(const TLZExtraction& extraction, TLZReportRec& record, std::int64_t result) {
  return {TOutcome::kFailed, LZReportFailure(extraction.Report, record, result)};
}

bool IsSelected(const TLZExtraction& extraction, const TLZFileItem& item, std::int32_t k) {
  return LZIsSelected(extraction, item, k);
}

// What is under an entry's target name, from one look at it.
struct TTargetState {
  bool Exists = false;  // a file or a link to one; not a folder
  bool IsLink = false;
  bool IsArchive = false;
};

// The folder held open for the last file written, if it is the one that
// `folders` names below the target.
const TFolderHandle* HeldFolder(const TLZExtraction& extraction,
                                const std::vector<std::string>& folders) {
  return extraction.HeldPlace == folders ? extraction.Held.get() : nullptr;
}

// Looked at in the folder held open when it is the entry's, as most entries
// follow one of their folder: no path to walk again.
TTargetState LookAtTarget(const TLZExtraction& extraction, const TLZPlace& place,
                          const std::string& path) {
  TFileStatus status;
  TTargetState state;
  const TFolderHandle* held = HeldFolder(extraction, place.Folders);
  if (!(held != nullptr ? GetLinkStatusIn(*held, place.Name, status)
                        : GetLinkStatus(path, status))) {
    return state;
  }
  if (status.IsLink) {
    state.IsLink = true;
    return state;
  }
  state.Exists = !status.IsDirectory;
  state.IsArchive = status.Identity == extraction.ArchiveIdentity;
  return state;
}

// The archive is never overwritten by its own entries: such a target goes
// through the rename function.  False when the entry is to be skipped.  The
// new name is the caller's own choice, so it is not held to the target folder.
bool SparesArchive(const TLZExtraction& extraction, TLZFileItem& item, TLZReportRec& record,
                   TTargetState& target) {
  if (!target.IsArchive) return true;
  if (!LZAskNewName(item.TargetPath, extraction.Rename)) return false;
  record.FileName = item.TargetPath;
  extraction.Context.CurrentReport = record;
  target.Exists = FileExists(item.TargetPath);
  return true;
}

TAnswer StoredAnswer(std::uint8_t reply) {
  switch (reply) {
    case 0:
      return TAnswer::kDecline;
    case 1:
      return TAnswer::kWrite;
    case 2:
      return TAnswer::kAbort;
    default:
      return TAnswer::kKeep;
  }
}

// Compressed entries are asked about as single-file decompression asks.
TAnswer CompressedAnswer(std::uint8_t reply) {
  if (reply == 0) return TAnswer::kDecline;
  if (reply == 2) return TAnswer::kAbort;
  return TAnswer::kWrite;
}

// Without a question function an existing target of a stored entry stays as
// it is, that of a compressed entry is replaced.
TAnswer AskAboutExisting(const TLZExtraction& extraction, const TLZFileItem& item,
                         const TLZReportRec& record, const TTargetState& target) {
  if (!target.Exists) return TAnswer::kWrite;
  if (extraction.Question == nullptr) {
    return item.Compressed != 0 ? TAnswer::kWrite : TAnswer::kKeep;
  }
  TLZReportRec existing;
  LZGetFileInfo(item.TargetPath, existing);
  if (item.Compressed == 0) return StoredAnswer(extraction.Question(record, existing));
  // Described as its single compressed file would describe it: by name.
  TLZReportRec current = record;
  current.FileName = ExtractFileName(item.TargetPath);
  return CompressedAnswer(extraction.Question(current, existing));
}

bool Verified(const TLZContext& context, const TLZFileItem& item, std::int64_t size,
              std::uint32_t crc) {
  return !context.CheckCRC || (size == item.UncompressedSize && crc == item.FileCRC);
}

// The entry's bytes, decoded or copied, into `output`: their count or a
// negative codec result.
std::int64_t WriteData(TLZContext& context, TFile& archive, const TLZFileItem& item, TFile& output,
                       std::uint32_t& crc) {
  if (item.Compressed != 0) {
    return LZDecodeStream(context, item.Method, archive, item.CompressedSize, &output, crc,
                          item.UncompressedSize);
  }
  return LZCopyBlockCRC(context, archive, &output, item.CompressedSize, LZProgressOnWrite, &crc);
}

// Checks, installs and reports an entry whose `written` bytes (or negative
// codec result) with CRC-32 `crc` are in `pending`.
TEntryResult FinishEntry(TLZExtraction& extraction, const TLZFileItem& item, TLZReportRec& record,
                         TPendingFile& pending, std::int64_t written, std::uint32_t crc) {
  if (written < 0) return Failed(extraction, record, written);
  if (!Verified(extraction.Context, item, written, crc)) {
    return Failed(extraction, record, kLZCRCMismatch);
  }
  if (!LZInstallFile(pending, item.FileDate, item.FileAttr)) {
    return Failed(extraction, record, kLZCannotCreateOutput);
  }
  // Compressed entries end as single-file decompression ends: without a name.
  if (item.Compressed != 0) record.FileName.clear();
  LZReport(extraction.Report, record, kLZReportFileDone);
  return {TOutcome::kCounted};
}

// The folder `folders` names below the target, held open while entries
// follow one another in it.
TFolderHandle::TStep HoldFolder(TLZExtraction& extraction, const std::vector<std::string>& folders) {
  if (HeldFolder(extraction, folders) != nullptr) return TFolderHandle::TStep::kOpened;
  extraction.Held.reset();
  auto folder = std::make_shared<TFolderHandle>();
  const TFolderHandle::TStep step = LZOpenBelowTarget(extraction, folders, false, *folder);
  if (step != TFolderHandle::TStep::kOpened) return step;
  extraction.Held = std::move(folder);
  extraction.HeldPlace = folders;
  return step;
}

// Makes the entry's work file in its folder, reached from the target folder
// without following links: 0, or the entry's failure.  `free` says that
// nothing had the target's name when the entry was decided on.
std::int64_t CreatePending(TLZExtraction& extraction, const TLZFileItem& item,
                           TPendingFile& pending, bool free) {
  pending.SetSync(extraction.Context.Durable);
  TLZPlace place;
  if (!LZPlaceBelowFolder(extraction.TargetFolder, item.TargetPath, place)) {
    // A name the user gave in place of the archive's own.
    return LZCreatePendingAt(pending, item.TargetPath) ? 0 : kLZCannotCreateOutput;
  }
  switch (HoldFolder(extraction, place.Folders)) {
    case TFolderHandle::TStep::kLink:
      return kLZPathThroughLink;
    case TFolderHandle::TStep::kFailed:
      return kLZCannotCreateOutput;
    case TFolderHandle::TStep::kOpened:
      break;
  }
  if (free) pending.ExpectFreeTarget();
  return pending.Create(extraction.Held, place.Name) ? 0 : kLZCannotCreateOutput;
}

// Raises EInOutError 100 unless the archive holds `count` more bytes from
// its position, as it was when it was opened.
void RequireArchiveBytes(TLZExtraction& extraction, std::int64_t count) {
  if (extraction.ArchiveSize - extraction.Archive.Position() < count) {
    LZRequireBytes(extraction.Archive, count);
  }
}

TEntryResult WriteEntry(TLZExtraction& extraction, const TLZFileItem& item, TLZReportRec& record,
                        bool free) {
  RequireArchiveBytes(extraction, item.CompressedSize);
  TPendingFile pending;
  if (const std::int64_t failure = CreatePending(extraction, item, pending, free); failure != 0) {
    return Failed(extraction, record, failure);
  }
  LZReport(extraction.Report, record, kLZReportFileBegins);
  extraction.Context.Progress = extraction.Report;
  std::uint32_t crc = 0;
  const std::int64_t written =
      WriteData(extraction.Context, extraction.Archive, item, pending.File(), crc);
  return FinishEntry(extraction, item, record, pending, written, crc);
}

TLZFileHeader SingleFileHeaderOf(const TLZFileItem& item, const std::string& name) {
  TLZFileHeader header;
  header.Signature = LZFileHeaderSignature();
  LZCopySharedFields(header, item);
  header.FileVersion.SetCut(item.FileVersion);
  header.SourceName.SetCut(name);
  return header;
}

// The entry left compressed, as a single compressed file under its own name;
// no question and no reports.
TEntryResult WriteUnexpanded(TLZExtraction& extraction, const TLZFileItem& item, std::int32_t k,
                             TLZReportRec& record) {
  RequireArchiveBytes(extraction, item.CompressedSize);
  TPendingFile pending;
  if (const std::int64_t failure = CreatePending(extraction, item, pending, false);
      failure != 0) {
    return Failed(extraction, record, failure);
  }
  std::array<std::uint8_t, TLZFileHeader::kSize> header{};
  SingleFileHeaderOf(item, extraction.Directory.Name(k)).Write(header.data());
  pending.File().Write(header.data(), header.size());
  LZCopyBlockCRC(extraction.Context, extraction.Archive, &pending.File(), item.CompressedSize,
                 LZNoProgress, nullptr);
  if (!pending.Commit()) return Failed(extraction, record, kLZCannotCreateOutput);
  return {TOutcome::kCounted};
}

// What the file pass does with a selected entry, decided before its data
// are read: the checks and the rename and overwrite questions.  kWriteFree
// writes as kWrite, to a name that nothing had.
enum class TDecision { kWrite, kWriteFree, kKeep, kDecline, kAbort, kOutsideTarget, kUnexpanded };

bool Writes(TDecision decision) {
  return decision == TDecision::kWrite || decision == TDecision::kWriteFree;
}

TDecision DecisionOf(TAnswer answer) {
  switch (answer) {
    case TAnswer::kKeep:
      return TDecision::kKeep;
    case TAnswer::kDecline:
      return TDecision::kDecline;
    case TAnswer::kAbort:
      return TDecision::kAbort;
    case TAnswer::kWrite:
      break;
  }
  return TDecision::kWrite;
}

TDecision DecideEntry(TLZExtraction& extraction, TLZFileItem& item, TLZReportRec& record) {
  // A link under the entry's name leads elsewhere: it is never written
  // through, and not replaced either.
  TLZPlace place;
  if (!LZPlaceBelowFolder(extraction.TargetFolder, item.TargetPath, place)) {
    return TDecision::kOutsideTarget;
  }
  TTargetState target = LookAtTarget(extraction, place, item.TargetPath);
  if (target.IsLink) return TDecision::kOutsideTarget;
  if (!SparesArchive(extraction, item, record, target)) return TDecision::kKeep;
  const bool unexpanded = item.Compressed != 0 && extraction.Unexpanded;
  if (unexpanded && !extraction.Context.AskBeforeUnexpanded) return TDecision::kUnexpanded;
  const TDecision decision = target.Exists || target.IsArchive
                                 ? DecisionOf(AskAboutExisting(extraction, item, record, target))
                                 : TDecision::kWriteFree;
  // An entry left compressed is written as it is, whichever way it may be.
  return unexpanded && Writes(decision) ? TDecision::kUnexpanded : decision;
}

// An entry whose data are not decoded, in its turn.
TEntryResult Conclude(TLZExtraction& extraction, const TLZFileItem& item, std::int32_t k,
                      TLZReportRec& record, TDecision decision) {
  switch (decision) {
    case TDecision::kOutsideTarget:
      return Failed(extraction, record, kLZCannotCreateOutput);
    case TDecision::kUnexpanded:
      return WriteUnexpanded(extraction, item, k, record);
    case TDecision::kDecline:
      LZReport(extraction.Report, record, kLZReportSkipped);
      return {TOutcome::kDeclined};
    case TDecision::kAbort:
      return {TOutcome::kAborted};
    case TDecision::kKeep:
    case TDecision::kWrite:
    case TDecision::kWriteFree:
      break;
  }
  return {TOutcome::kCounted};
}

TEntryResult ExtractEntry(TLZExtraction& extraction, TLZFileItem& item, std::int32_t k,
                          TLZReportRec& record) {
  const TDecision decision = DecideEntry(extraction, item, record);
  if (!Writes(decision)) return Conclude(extraction, item, k, record, decision);
  return WriteEntry(extraction, item, record, decision == TDecision::kWriteFree);
}

// An input/output error leaves the entry uninstalled; it is reported as a
// failed entry before the error goes on to the caller.
TEntryResult ExtractReported(TLZExtraction& extraction, TLZFileItem& item, std::int32_t k) {
  TLZReportRec record;
  LZItemToReport(record, item);
  extraction.Context.CurrentReport = record;
  try {
    return ExtractEntry(extraction, item, k, record);
  } catch (const EInOutError&) {
    LZReportFailure(extraction.Report, record, kLZCRCMismatch);
    throw;
  }
}

std::int32_t ExtractSelected(TLZExtraction& extraction) {
  std::int64_t data = extraction.DataStart;
  for (std::int32_t k = extraction.FolderCount + 1; k <= extraction.Directory.Count; ++k) {
    TLZFileItem& item = extraction.Items[static_cast<std::size_t>(k - 1)];
    const std::int64_t next = data + item.CompressedSize;
    if (IsSelected(extraction, item, k)) {
      if (!extraction.Archive.Seek(data)) {
        throw EInOutError("Cannot reach the data of entry " + std::to_string(k), kInOutReadPastEnd);
      }
      const TEntryResult result = ExtractReported(extraction, item, k);
      if (result.Outcome == TOutcome::kCounted) ++extraction.Extracted;
      if (result.Outcome == TOutcome::kAborted) break;
      if (result.Outcome == TOutcome::kFailed) return static_cast<std::int32_t>(result.Failure);
    }
    data = next;
  }
  return extraction.Extracted;
}

// ---- The pass on several threads ----

// A stored entry smaller than this is copied in its turn by the calling
// thread: handing it to a worker would cost more than the copy.  Larger ones
// are copied by the workers, side by side with the files being made.
constexpr std::int64_t kStoredForWorkers = 64 * 1024;

// A batch of entries is handed to a worker once it holds this many entries
// or this many bytes of data.
constexpr std::size_t kBatchEntries = 8;
constexpr std::int64_t kBatchBytes = 64 * 1024;

// Beyond two entries per worker, no more are taken while those in flight
// hold this many bytes.  Many large files written at once, each kept
// unnamed until its turn, made a stored extraction half again slower than
// with the few that keep both cores busy.
constexpr std::int64_t kWindowBytes = std::int64_t{4} << 20;

bool GoesToWorker(const TLZFileItem& item) {
  return item.Compressed != 0 || item.CompressedSize >= kStoredForWorkers;
}

// One selected entry between its questions and its turn.  It never goes
// before its worker is done with it.
struct TInFlight {
  TInFlight() = default;
  TInFlight(const TInFlight&) = delete;
  TInFlight& operator=(const TInFlight&) = delete;
  ~TInFlight() {
    if (Written.valid()) Written.wait();
  }

  std::int32_t K = 0;
  TLZFileItem* Item = nullptr;
  TLZReportRec Record;
  TDecision Decision = TDecision::kWrite;
  std::int64_t Data = 0;           // the file position of its data
  std::int64_t CreateFailure = 0;  // CreatePending's answer
  TPendingFile Pending;
  // Ready once its batch is written by a worker (Submit); not valid while
  // the batch waits to be handed over, nor for a small stored entry, which
  // the calling thread writes as it is dispatched.
  std::shared_future<void> Written;
  bool InBatch = false;                // in the batch not yet handed over
  std::exception_ptr WriteError;       // what writing its data raised
  std::vector<std::int32_t> Progress;  // the byte counts it reported, in order
  std::int64_t Size = 0;               // the bytes written, or a negative codec result
  std::uint32_t CRC = 0;
};

class TParallelPass {
 public:
  explicit TParallelPass(TLZExtraction& extraction)
      : extraction_(extraction), jobs_(static_cast<std::size_t>(extraction.Context.Jobs)) {}

  std::int32_t Run() {
    PrepareWorkers();
    // Joined before the entries in flight go, on every way out: it runs
    // every task it was given before it ends.
    // The calling thread is the last worker: it decodes while it waits.
    TLZTaskPool pool(jobs_ - 1);
    pool_ = &pool;
    std::int64_t data = extraction_.DataStart;
    for (std::int32_t k = extraction_.FolderCount + 1; k <= extraction_.Directory.Count; ++k) {
      TLZFileItem& item = extraction_.Items[static_cast<std::size_t>(k - 1)];
      const std::int64_t next = data + item.CompressedSize;
      if (IsSelected(extraction_, item, k)) {
        while (!in_flight_.empty() && MustSettleBefore(item)) {
          if (!Settle()) return result_;
        }
        if (!Dispatch(k, item, data)) break;
      }
      data = next;
    }
    while (!in_flight_.empty()) {
      if (!Settle()) return result_;
    }
    return extraction_.Extracted;
  }

 private:
  // Whether the oldest entry in flight is installed before `item` is taken:
  // the window is full, or holds enough data (kWindowBytes), or `item`'s
  // target is in flight, which is installed before it is asked about.
  bool MustSettleBefore(const TLZFileItem& item) const {
    const bool enough_data = in_flight_bytes_ >= kWindowBytes && in_flight_.size() >= 2 * jobs_;
    return in_flight_.size() >= window_ || enough_data || targets_.count(item.TargetPath) != 0;
  }

  void PrepareWorkers() {
    for (std::size_t i = 0; i < jobs_; ++i) {
      TFile& archive = archives_.emplace_back();
      int error = 0;
      if (!archive.Open(extraction_.ArchiveName, TFile::TMode::kReadDenyWrite, &error)) {
        throw EInOutError("cannot open \"" + extraction_.ArchiveName + "\"", error);
      }
    }
  }

  // Asks the entry's questions and starts decoding it; false when the user
  // cancelled, so that no later entry is taken.
  bool Dispatch(std::int32_t k, TLZFileItem& item, std::int64_t data) {
    auto entry = std::make_unique<TInFlight>();
    entry->K = k;
    entry->Item = &item;
    entry->Data = data;
    LZItemToReport(entry->Record, item);
    extraction_.Context.CurrentReport = entry->Record;
    entry->Decision = DecideEntry(extraction_, item, entry->Record);
    const bool complete = extraction_.ArchiveSize - data >= item.CompressedSize;
    if (Writes(entry->Decision) && complete) {
      entry->CreateFailure = CreatePending(extraction_, item, entry->Pending,
                                           entry->Decision == TDecision::kWriteFree);
      if (entry->CreateFailure == 0) Submit(*entry);
    }
    const bool go_on = entry->Decision != TDecision::kAbort;
    targets_.insert(item.TargetPath);
    in_flight_bytes_ += item.UncompressedSize;
    in_flight_.push_back(std::move(entry));
    return go_on;
  }

  // Puts the entry in the batch for the next worker, or writes a small
  // stored one at once: its copy then does not wait for the entries before
  // it to be installed, so that this thread copies while the workers do.
  // Entries go to the workers in batches, so that the hand-over, a few
  // system calls on both sides, is not paid for each small file.
  void Submit(TInFlight& entry) {
    if (!GoesToWorker(*entry.Item)) {
      WriteCaught(entry, pool_->Threads());
      return;
    }
    entry.InBatch = true;
    batch_.push_back(&entry);
    batch_bytes_ += entry.Item->CompressedSize;
    if (batch_.size() >= kBatchEntries || batch_bytes_ >= kBatchBytes) HandOverBatch();
  }

  void HandOverBatch() {
    if (batch_.empty()) return;
    auto write_batch = [this, batch = batch_](std::size_t worker) {
      for (TInFlight* entry : batch) WriteCaught(*entry, worker);
    };
    const std::shared_future<void> written = pool_->Submit(std::move(write_batch)).share();
    for (TInFlight* entry : batch_) {
      entry->Written = written;
      entry->InBatch = false;
    }
    batch_.clear();
    batch_bytes_ = 0;
  }

  // An entry's exception goes on when it is installed, not before: those
  // before it are installed first, as one thread would.
  void WriteCaught(TInFlight& entry, std::size_t worker) {
    try {
      Write(entry, worker);
    } catch (...) {
      entry.WriteError = std::current_exception();
    }
  }

  // The entry's data into its work file, on worker `worker`, its progress
  // kept to be told in its turn.
  void Write(TInFlight& entry, std::size_t worker) {
    TLZContext local(coders_[worker]);
    local.Progress = LZRecordProgress(entry.Progress);
    TFile& archive = archives_[worker];
    const TLZFileItem& item = *entry.Item;
    if (!archive.Seek(entry.Data)) {
      throw EInOutError("Cannot reach the data of entry " + std::to_string(entry.K),
                        kInOutReadPastEnd);
    }
    entry.Size = WriteData(local, archive, item, entry.Pending.File(), entry.CRC);
  }

  // Installs and reports the oldest entry in flight; false when the pass
  // stops there (result_ says with what).
  bool Settle() {
    std::unique_ptr<TInFlight> entry = std::move(in_flight_.front());
    in_flight_.pop_front();
    in_flight_bytes_ -= entry->Item->UncompressedSize;
    targets_.erase(targets_.find(entry->Item->TargetPath));
    extraction_.Context.CurrentReport = entry->Record;
    if (entry->InBatch) HandOverBatch();
    pool_->HelpUntilReady(entry->Written);
    TEntryResult result;
    try {
      result = Finish(*entry);
    } catch (const EInOutError&) {
      LZReportFailure(extraction_.Report, entry->Record, kLZCRCMismatch);
      throw;
    }
    if (result.Outcome == TOutcome::kCounted) ++extraction_.Extracted;
    if (result.Outcome == TOutcome::kAborted) result_ = extraction_.Extracted;
    if (result.Outcome == TOutcome::kFailed) result_ = static_cast<std::int32_t>(result.Failure);
    return result.Outcome != TOutcome::kAborted && result.Outcome != TOutcome::kFailed;
  }

  TEntryResult Finish(TInFlight& entry) {
    TFile& archive = extraction_.Archive;
    if (!archive.Seek(entry.Data)) {
      throw EInOutError("Cannot reach the data of entry " + std::to_string(entry.K),
                        kInOutReadPastEnd);
    }
    const TLZFileItem& item = *entry.Item;
    if (!Writes(entry.Decision)) {
      return Conclude(extraction_, item, entry.K, entry.Record, entry.Decision);
    }
    RequireArchiveBytes(extraction_, item.CompressedSize);
    if (entry.CreateFailure != 0) return Failed(extraction_, entry.Record, entry.CreateFailure);
    LZReport(extraction_.Report, entry.Record, kLZReportFileBegins);
    TLZContext& context = extraction_.Context;
    context.Progress = extraction_.Report;
    if (entry.Written.valid()) entry.Written.wait();
    if (entry.WriteError) std::rethrow_exception(entry.WriteError);
    LZReplayProgress(context, entry.Progress);
    return FinishEntry(extraction_, item, entry.Record, entry.Pending, entry.Size, entry.CRC);
  }

  TLZExtraction& extraction_;
  const std::size_t jobs_;
  // Entries in flight at most, each with its work file open.  Enough for
  // several batches per worker, so that the workers rarely run out of
  // entries while this thread installs the oldest or decodes a batch itself;
  // few enough for any limit on open files.
  const std::size_t window_ = std::min<std::size_t>(32 * jobs_, 128);
  TLZWorkerCoders coders_{jobs_, LZFastCompression};
  std::vector<TFile> archives_;
  std::deque<std::unique_ptr<TInFlight>> in_flight_;
  std::int64_t in_flight_bytes_ = 0;  // of their data, once written
  std::vector<TInFlight*> batch_;     // entries in flight not yet handed over
  std::int64_t batch_bytes_ = 0;      // of their data
  std::multiset<std::string> targets_;
  TLZTaskPool* pool_ = nullptr;
  std::int32_t result_ = 0;
};

// Whether any entry to extract goes to the workers: without one they would
// only cost their start.
bool SelectsWorkerEntries(const TLZExtraction& extraction) {
  for (std::int32_t k = extraction.FolderCount + 1; k <= extraction.Directory.Count; ++k) {
    const TLZFileItem& item = extraction.Items[static_cast<std::size_t>(k - 1)];
    if (GoesToWorker(item) && IsSelected(extraction, item, k)) return true;
  }
  return false;
}

}  // namespace

std::int32_t LZExtractFiles(TLZExtraction& extraction) {
  // Whichever way the pass ends, the names it gave are made durable.
  struct TFlush {
    TLZExtraction& Extraction;
    ~TFlush() { LZSyncTouchedFolders(Extraction); }
  } flush{extraction};
  try {
    if (extraction.Context.Jobs > 1 && SelectsWorkerEntries(extraction)) {
      return TParallelPass(extraction).Run();
    }
    return ExtractSelected(extraction);
  } catch (const EInOutError& error) {
    if (error.ErrorCode != kInOutReadPastEnd) throw;
    RaiseLZErrorFmt(TLZErrorClass::kArchive, kMsgArchiveCorrupt,
                    ExpandFileName(extraction.ArchiveName));
  }
}

}  // namespace zorellz
