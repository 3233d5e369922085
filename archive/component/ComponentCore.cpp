// The component's life (construction, reset, destruction), its settings and
// its engine context.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

// The most recently created instance, for the plain forwarding functions.
std::atomic<TZorelLZObj*> current_lz_obj{nullptr};

// Instances on several threads mirror their settings into the one default
// context; they write it, and read its store list, under this lock.
std::mutex& MirrorLock() {
  static std::mutex lock;
  return lock;
}

template <typename Action>
auto Mirrored(Action action) {
  const std::lock_guard<std::mutex> guard(MirrorLock());
  return action();
}

// Part sizes by disk type, FloppyDiskOther last.
constexpr std::array<std::int32_t, FloppyDiskOther + 1> kFloppyDiskSizes = {
    1456472, 728760, 2912944, 364380, 1200000, 100428415, -1};

LZFloppyDiskTypes DiskTypeOfSize(std::int32_t size) {
  for (int type = FloppyDisk1440; type < FloppyDiskOther; ++type) {
    if (kFloppyDiskSizes[type] == size) return static_cast<LZFloppyDiskTypes>(type);
  }
  return FloppyDiskOther;
}

}  // namespace

TZorelLZObj* CurrentLZObj() {
  return current_lz_obj.load();
}

std::int32_t LZFloppyDiskSize(LZFloppyDiskTypes type) {
  return type < FloppyDiskOther ? kFloppyDiskSizes[type] : kFloppyDiskSizes[FloppyDiskOther];
}

// ---- Life ------------------------------------------------------------------

TZorelLZObj::TZorelLZObj(TComponent* owner)
    : TComponent(owner), context_(std::make_unique<TLZContext>()) {
  AssignDefaultHandlers();
  InstallContextHooks();
  current_lz_obj = this;
  Reset();
}

TZorelLZObj::TZorelLZObj(const TLZString& input_name, const TLZString& output_name)
    : TZorelLZObj(nullptr) {
  SetInputName(input_name);
  SetOutputName(output_name);
}

std::unique_ptr<TZorelLZObj> TZorelLZObj::CreateWithNames(const TLZString& input_name,
                                                          const TLZString& output_name) {
  return std::make_unique<TZorelLZObj>(input_name, output_name);
}

// Other instances keep their contexts; only the plain forwarding functions
// lose their instance.
TZorelLZObj::~TZorelLZObj() {
  current_lz_obj = nullptr;
}

void TZorelLZObj::InstallContextHooks() {
  context_->SetPassWord = [this](TLZArchiveHeader& header) { return ForwardSetPassWord(header); };
  context_->CheckPassWord = [this](const TLZArchiveHeader& header, std::int32_t code) {
    return ForwardCheckPassWord(header, code);
  };
  context_->SpanPrompt = [this](std::int32_t disk_num, std::int32_t total_parts,
                                std::int32_t needed_space, const char* drive) {
    return ForwardPromptForDisk(disk_num, total_parts, needed_space, drive);
  };
}

// The handlers are virtual, so a derived component's own answers apply.
void TZorelLZObj::AssignDefaultHandlers() {
  OnConfirmOverwrite = [this](TZorelLZObj& sender, const TLZReportRec& current,
                              const TLZReportRec& existing) {
    return ConfirmOverwrite(sender, current, existing);
  };
  OnProgressReport = [this](TZorelLZObj& sender, const TLZReportRec& record, std::int32_t number) {
    return ProgressReport(sender, record, number);
  };
  OnSeekToReName = [this](TZorelLZObj& sender, TLZString& name) {
    return RequestNewName(sender, name);
  };
  OnViewArchive = [this](TZorelLZObj& sender, PZorelLZArchiveHeader directory, std::int32_t k) {
    return ViewArchiveContents(sender, directory, k);
  };
  OnListArchive = [this](TZorelLZObj& sender, const TLZReportRec& record, std::int32_t number) {
    return ListArchiveContents(sender, record, number);
  };
  OnRequestPassWord = [this](TZorelLZObj& sender, TLZArchiveHeader& header) {
    return SetPassWord(sender, header);
  };
  OnCheckPassWord = [this](TZorelLZObj& sender, const TLZArchiveHeader& header, std::int32_t code) {
    return CheckPassWord(sender, header, code);
  };
  OnMatchFileName = [this](TZorelLZObj& sender, const TLZString& file_spec,
                           const TLZString& the_fname, std::int32_t archive_id) {
    return MatchFileName(sender, file_spec, the_fname, archive_id);
  };
  OnPromptForDisk = [this](TZorelLZObj& sender, std::int32_t disk_num, std::int32_t total_parts,
                           std::int32_t needed_space, const char* drive) {
    return PromptForDisk(sender, disk_num, total_parts, needed_space, drive);
  };
}

// Settings go through their setters, so that those the default context
// mirrors reach it as well.  A new instance starts with the default
// context's store list.
void TZorelLZObj::Reset() {
  directory_.reset();
  SetCompressionChoices(LZMaxCompression);
  SetSetPassWordFunc(nullptr);
  SetCheckPassWordFunc(nullptr);
  file_match_ = nullptr;
  RestoreHeaderOffset(0);
  Mirrored([] { return LZSetHeaderOffset(0); });
  SetDeArchiveMask("*.*");
  SetCheckFileCRC(false);
  SetDearchiveRecurse(true);
  SetExtractUnExpanded(false);
  SetExtensionstoStore(Mirrored([] { return LZGetExtensionsToStore(); }));
  SetInputName("");
  SetOutputName("");
  SetArchiveName("");
  SetArchiveFileSpecs("");
  SetTargetDirectory("");
  SetSFXStub("");
  SetSFXArchiveName("");
  SetMakeSfxValue(false);
  SetRecurseDirs(LZNoRecurse);
  header_buffer_ = TLZArchiveHeader{};
  span_info_ = TLZSpanInfo{};
  SetSpanDiskType(FloppyDisk1440);
  SetSpanDisks(false);
  SpanDiskCount_ = 0;
  context_->ProtectionAnswer = -1;
  Mirrored([] { LZResetProtection(); });
}

// ---- Names -----------------------------------------------------------------

void TZorelLZObj::SetInputName(const TLZString& name) {
  InputFileName_ = name;
}
TLZString TZorelLZObj::GetInputName() const {
  return InputFileName_;
}
void TZorelLZObj::SetOutputName(const TLZString& name) {
  OutputFileName_ = name;
}
TLZString TZorelLZObj::GetOutputName() const {
  return OutputFileName_;
}
void TZorelLZObj::SetArchiveName(const TLZString& name) {
  ArchiveName_ = name;
}
TLZString TZorelLZObj::GetArchiveName() const {
  return ArchiveName_;
}
void TZorelLZObj::SetArchiveFileSpecs(const TLZString& specs) {
  ArchiveFileSpecs_ = specs;
}
TLZString TZorelLZObj::GetArchiveFileSpecs() const {
  return ArchiveFileSpecs_;
}
void TZorelLZObj::SetTargetDirectory(const TLZString& folder) {
  DeArchiveTargetDirectory_ = folder;
}
TLZString TZorelLZObj::GetTargetDirectory() const {
  return DeArchiveTargetDirectory_;
}
void TZorelLZObj::SetSFXStub(const TLZString& name) {
  SFXStub_ = name;
}
TLZString TZorelLZObj::GetSFXStub() const {
  return SFXStub_;
}
void TZorelLZObj::SetSFXArchiveName(const TLZString& name) {
  SFXArchiveName_ = name;
}
TLZString TZorelLZObj::GetSFXArchiveName() const {
  return SFXArchiveName_;
}

// ---- Extraction and creation switches --------------------------------------

void TZorelLZObj::SetRecurseDirs(TLZRecurse value) {
  RecurseDirs_ = value;
}
TLZRecurse TZorelLZObj::GetRecurseDirs() const {
  return RecurseDirs_;
}
void TZorelLZObj::SetDeArchiveMask(const TLZString& mask) {
  DeArchiveMask_ = mask;
  context_->DearchiveMask = mask;
  Mirrored([&] { LZSetDearchiveMask(mask); });
}
TLZString TZorelLZObj::GetDearchiveMask() const {
  return DeArchiveMask_;
}
void TZorelLZObj::SetDearchiveRecurse(bool value) {
  DearchiveRecurse_ = value;
}
void TZorelLZObj::SetCheckFileCRC(bool value) {
  CheckFileCRCs_ = value;
  context_->CheckCRC = value;
  Mirrored([&] { LZSetCheckCRC(value); });
}
void TZorelLZObj::SetExtractUnExpanded(bool value) {
  ExtractUnExpanded_ = value;
}
void TZorelLZObj::SetCompressionChoices(TLZCompressionChoices value) {
  CompressionChoice_ = value;
}
void TZorelLZObj::SetExtensionstoStore(const TLZString& list) {
  ExtensionstoStore_ = list;
  context_->ExtensionsToStore = list;
  Mirrored([&] { LZSetExtensionsToStore(list); });
}
TLZString TZorelLZObj::GetExtensionstoStore() const {
  return context_->ExtensionsToStore;
}
void TZorelLZObj::SetJobs(std::int32_t jobs) {
  context_->Jobs = jobs < 1 ? 1 : jobs;
}
std::int32_t TZorelLZObj::GetJobs() const {
  return context_->Jobs;
}
void TZorelLZObj::SetMakeSfxValue(bool value) {
  MakeSFXArchive_ = value;
}
bool TZorelLZObj::GetMakeSfxValue() const {
  return MakeSFXArchive_;
}

// ---- Engine hooks and header offset ----------------------------------------

// A hook of its own replaces the event; removing it brings the event back.
std::int32_t TZorelLZObj::SetSetPassWordFunc(TLZSetPassWordProc hook) {
  set_password_hook_ = hook;
  if (hook != nullptr) {
    context_->SetPassWord = hook;
  } else {
    context_->SetPassWord = [this](TLZArchiveHeader& header) { return ForwardSetPassWord(header); };
  }
  return 0;
}

std::int32_t TZorelLZObj::SetCheckPassWordFunc(TLZCheckPassWordProc hook) {
  check_password_hook_ = hook;
  if (hook != nullptr) {
    context_->CheckPassWord = hook;
  } else {
    context_->CheckPassWord = [this](const TLZArchiveHeader& header, std::int32_t code) {
      return ForwardCheckPassWord(header, code);
    };
  }
  return 0;
}

void TZorelLZObj::SetPromptForDiskProc(TLZSpanPromptProc proc) {
  if (proc != nullptr) context_->SpanPrompt = proc;
}

std::int32_t TZorelLZObj::SetHeaderOffset() {
  return std::exchange(context_->HeaderOffset, header_buffer_.Trailer.ArchiveOffset);
}

std::int32_t TZorelLZObj::RestoreHeaderOffset(std::int32_t offset) {
  const std::int32_t previous = context_->HeaderOffset;
  if (offset >= 0) context_->HeaderOffset = offset;
  return previous;
}

// ---- Disk spanning ---------------------------------------------------------

std::int32_t TZorelLZObj::GetSpanDiskSize() const {
  return SpanDiskSize_;
}

// The type follows the size; setting the type here would reset the size.
void TZorelLZObj::SetSpanDiskSize(std::int32_t size) {
  if (size == SpanDiskSize_) return;
  SpanDiskSize_ = size;
  SpanDiskType_ = DiskTypeOfSize(size);
}

// A form stores the size before the type, so FloppyDiskOther arriving for a
// component that already has it keeps the size of no listed type it was
// given; any other change of type sets the size the type stands for.
void TZorelLZObj::SetSpanDiskType(LZFloppyDiskTypes type) {
  if (type > FloppyDiskOther) type = FloppyDiskOther;
  if (type == FloppyDiskOther && SpanDiskType_ == FloppyDiskOther) return;
  SpanDiskType_ = type;
  SpanDiskSize_ = LZFloppyDiskSize(type);
}

LZFloppyDiskTypes TZorelLZObj::GetSpanDiskType() const {
  return SpanDiskType_;
}
bool TZorelLZObj::GetSpanDisks() const {
  return SpanDisks_;
}
void TZorelLZObj::SetSpanDisks(bool value) {
  SpanDisks_ = value;
}
std::int32_t TZorelLZObj::GetSpanDiskCount() const {
  return SpanDiskCount_;
}
TLZString TZorelLZObj::GetSpannedArchiveName() const {
  return span_info_.SpannedName;
}

}  // namespace zorellz
