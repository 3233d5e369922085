// The component's operations that read: extraction, single files, the
// self-extracting payload, listing and viewing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "archive/engine/OperationScope.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

constexpr char kNumberMaskPrefix[] = "#:";
constexpr std::size_t kMaxMaskLength = 12;
constexpr char kPlainArchiveExtension[] = ".LZA";
// Read-only and volume label mark the file an archive keeps as its comment.
constexpr std::int32_t kCommentAttributes = kFaReadOnly | kFaVolumeID;

// Runs `action` when the scope is left, by return or by exception.
template <typename Action>
class TOnExit {
 public:
  explicit TOnExit(Action action) : action_(std::move(action)) {}
  ~TOnExit() { action_(); }
  TOnExit(const TOnExit&) = delete;
  TOnExit& operator=(const TOnExit&) = delete;

 private:
  Action action_;
};

}  // namespace

// ---- Single compressed files ------------------------------------------------

std::int64_t TZorelLZObj::DeCompressFile() {
  if (OutputFileName_.empty()) {
    return DeCompressFileEx();
  }
  return LZDecompressFile(*context_, InputFileName_, OutputFileName_, QuestionHook(), ReportHook());
}

std::int64_t TZorelLZObj::DeCompressFileEx() {
  return LZExpandFile(*context_, InputFileName_, QuestionHook(), ReportHook());
}

// ---- Extraction -------------------------------------------------------------

std::int32_t TZorelLZObj::DecompressArchive() {
  return LZDecompressArchive(*context_, ArchiveName_, DeArchiveTargetDirectory_, QuestionHook(),
                             ReportHook(), RenameHook(), DearchiveRecurse_, ExtractUnExpanded_);
}

std::int32_t TZorelLZObj::DecompressSFXArchive() {
  return LZDecompressSFXArchive(*context_, SFXArchiveName_, DeArchiveTargetDirectory_,
                                QuestionHook(), ReportHook(), RenameHook(), DearchiveRecurse_,
                                ExtractUnExpanded_);
}

std::int32_t TZorelLZObj::ExtractArchiveFileByName(const TLZString& name) {
  return ExtractSelected(name);
}

// The engine's matcher reads "#:7" as entry 7.
std::int32_t TZorelLZObj::ExtractArchiveFileByID(std::int32_t id) {
  return ExtractSelected((kNumberMaskPrefix + std::to_string(id)).substr(0, kMaxMaskLength));
}

std::int32_t TZorelLZObj::ExtractSelected(const TLZString& mask) {
  const TLZRestore<std::string> restore_mask(context_->DearchiveMask, mask);
  return LZDecompressArchive(*context_, ArchiveName_, DeArchiveTargetDirectory_, nullptr, nullptr,
                             nullptr, DearchiveRecurse_, ExtractUnExpanded_);
}

std::int32_t TZorelLZObj::ExtractCommentFromArchive() {
  return LZExtractComment(*context_, ArchiveName_, DeArchiveTargetDirectory_, &comment_path_);
}

std::int32_t TZorelLZObj::SetArchiveCommentFile(const TLZString& name) {
  return SetFileAttributesNative(name, kCommentAttributes) ? kCommentAttributes : -1;
}

// ---- Locating ---------------------------------------------------------------

std::int32_t TZorelLZObj::GetArchiveSize() {
  // Whatever the check-password hook answered for this header must not let
  // a later operation into another archive.
  const TLZProtectionScope forget(*context_);
  return LZGetArchiveSize(*context_, InputFileName_);
}

std::int32_t TZorelLZObj::IsSFXArchive() {
  const TLZProtectionScope forget(*context_);
  const std::int32_t located = LZLocateArchive(*context_, SFXArchiveName_, header_buffer_);
  CountSpannedParts();
  return located;
}

std::int32_t TZorelLZObj::IsSpanned(const TLZString& name) {
  const TLZProtectionScope forget(*context_);
  const std::int32_t located = LZLocateArchive(*context_, name, header_buffer_);
  if (located < 0) return located;
  if (!LZIsSpannedHeader(header_buffer_)) return 0;
  CountSpannedParts();
  return header_buffer_.PartCount;
}

bool TZorelLZObj::IsSpannedArchive() {
  return IsSpanned(ArchiveName_) > 1;
}

bool TZorelLZObj::IsSpannedSFXArchive() {
  return IsSpanned(SFXArchiveName_) > 1;
}

void TZorelLZObj::CountSpannedParts() {
  if (LZIsSpannedHeader(header_buffer_)) SpanDiskCount_ = header_buffer_.PartCount;
}

// ---- The self-extracting payload ----------------------------------------------

// Without a name of its own the copy goes beside the self-extracting file.
std::int32_t TZorelLZObj::ExtractArchiveFromSFX() {
  if (ArchiveName_.empty() && !SFXArchiveName_.empty()) {
    SetArchiveName(ChangeFileExt(SFXArchiveName_, kPlainArchiveExtension));
  }
  return LZExtractArchiveFromSFX(*context_, SFXArchiveName_, ArchiveName_);
}

std::int32_t TZorelLZObj::ListSFXArchive() {
  return WithSFXSwitch(&TZorelLZObj::PlainListing);
}

std::int32_t TZorelLZObj::ViewSFXArchive() {
  return WithSFXSwitch(&TZorelLZObj::PlainView);
}

// The plain operation reads ArchiveName at the context's header offset, so
// both point at the payload for its length and back afterwards.
std::int32_t TZorelLZObj::WithSFXSwitch(std::int32_t (TZorelLZObj::*plain)()) {
  if (IsSFXArchive() <= 0) return (this->*plain)();
  const TLZString saved_name = std::exchange(ArchiveName_, SFXArchiveName_);
  const std::int32_t saved_offset = SetHeaderOffset();
  const TOnExit restore([&] {
    context_->HeaderOffset = saved_offset;
    ArchiveName_ = saved_name;
  });
  return (this->*plain)();
}

// ---- Listing and viewing ------------------------------------------------------

std::int32_t TZorelLZObj::ListArchive() {
  return IsSFXArchive() > 0 ? ListSFXArchive() : PlainListing();
}

std::int32_t TZorelLZObj::ViewArchive() {
  return IsSFXArchive() > 0 ? ViewSFXArchive() : PlainView();
}

std::int32_t TZorelLZObj::PlainListing() {
  SpanDiskCount_ = 0;
  header_buffer_ = TLZArchiveHeader{};  // filled only when the header is read
  const std::int32_t result = LZListArchive(
      *context_, ArchiveName_, &header_buffer_,
      [this](TLZReportRec& record, std::int32_t number) { return ForwardList(record, number); });
  CountSpannedParts();
  return result;
}

// A view started from one of its own callbacks would free the directory the
// running view is delivering, so it is refused.
std::int32_t TZorelLZObj::PlainView() {
  if (directory_ != nullptr) return kLZNotAnArchive;
  const TLZProtectionScope forget(*context_);
  SpanDiskCount_ = 0;
  const std::int32_t count = LZReadArchiveHeader(*context_, ArchiveName_, header_buffer_);
  if (count < 1) return kLZNotAnArchive;
  CountSpannedParts();

  LZAllocDirectory(directory_, count);
  if (directory_ == nullptr) return kLZNotAnArchive;
  const TOnExit release([this, count] { LZFreeDirectory(directory_, count); });
  const std::int32_t loaded = LZLoadDirectory(*context_, ArchiveName_, *directory_);
  if (loaded < 0) return loaded;
  return ViewEntries(directory_->Count);
}

// The entries are delivered only when the summary's answer asks for them.
std::int32_t TZorelLZObj::ViewEntries(std::int32_t entry_count) {
  if (ForwardView(directory_.get(), kLZReportSummary) == 0) return entry_count;
  for (std::int32_t k = 1; k <= entry_count; ++k) {
    if (ForwardView(directory_.get(), k) == 0) break;
  }
  ForwardView(directory_.get(), kLZReportFinished);
  return entry_count;
}

void TZorelLZObj::FullLZName(std::int32_t id, TLZString& name) const {
  name.clear();
  if (directory_ != nullptr) LZEntryPath(*directory_, id, name);
}

}  // namespace zorellz
