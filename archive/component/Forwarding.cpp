// The component's answers to the engine's calls, and the plain functions
// that pass them on to the current instance.
#include <cstdint>
#include <string>

#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

constexpr TLZReply kDefaultReply = 1;  // overwrite
constexpr std::int32_t kGoOn = 1;
constexpr std::int32_t kStop = 0;
constexpr std::int32_t kStopPrompting = 1;

}  // namespace

TLZReply TZorelLZObj::ForwardQuestion(const TLZReportRec& current, const TLZReportRec& existing) {
  if (!OnConfirmOverwrite) return kDefaultReply;
  return OnConfirmOverwrite(*this, current, existing);
}

// A report handler cannot stop the engine: its answer is not passed on.
std::int32_t TZorelLZObj::ForwardReport(TLZReportRec& record, std::int32_t code) {
  if (OnProgressReport) OnProgressReport(*this, record, code);
  return kGoOn;
}

bool TZorelLZObj::ForwardRename(std::string& name) {
  return OnSeekToReName && OnSeekToReName(*this, name);
}

// The listing and view handlers may look at other archives; whatever the
// check-password hook answered for them is forgotten afterwards.
std::int32_t TZorelLZObj::ForwardList(TLZReportRec& record, std::int32_t number) {
  if (!OnListArchive) return kStop;
  const std::int32_t answer = OnListArchive(*this, record, number);
  context_->ProtectionAnswer = -1;
  return answer;
}

std::int32_t TZorelLZObj::ForwardView(PZorelLZArchiveHeader directory, std::int32_t number) {
  if (!OnViewArchive) return kStop;
  const std::int32_t answer = OnViewArchive(*this, directory, number);
  context_->ProtectionAnswer = -1;
  return answer;
}

std::int32_t TZorelLZObj::ForwardSetPassWord(TLZArchiveHeader& header) {
  if (!OnRequestPassWord) return kLZPasswordAccepted;
  return OnRequestPassWord(*this, header);
}

std::int32_t TZorelLZObj::ForwardCheckPassWord(const TLZArchiveHeader& header, std::int32_t code) {
  if (!OnCheckPassWord) return kLZPasswordAccepted;
  return OnCheckPassWord(*this, header, code);
}

std::int32_t TZorelLZObj::ForwardPromptForDisk(std::int32_t disk_num, std::int32_t total_parts,
                                               std::int32_t needed_space, const char* drive) {
  if (!OnPromptForDisk) return kStopPrompting;
  return OnPromptForDisk(*this, disk_num, total_parts, needed_space, drive);
}

TLZQuestionHook TZorelLZObj::QuestionHook() {
  return [this](const TLZReportRec& current, const TLZReportRec& existing) {
    return ForwardQuestion(current, existing);
  };
}

TLZReportHook TZorelLZObj::ReportHook() {
  return [this](TLZReportRec& record, std::int32_t code) { return ForwardReport(record, code); };
}

TLZRenameHook TZorelLZObj::RenameHook() {
  return [this](std::string& name) { return ForwardRename(name); };
}

// ---- The plain functions --------------------------------------------------------

TLZReply LZForwardQuestion(const TLZReportRec& current, const TLZReportRec& existing) {
  TZorelLZObj* current_obj = CurrentLZObj();
  return current_obj != nullptr ? current_obj->ForwardQuestion(current, existing) : kDefaultReply;
}

std::int32_t LZForwardReport(TLZReportRec& record, std::int32_t code) {
  TZorelLZObj* current = CurrentLZObj();
  return current != nullptr ? current->ForwardReport(record, code) : kGoOn;
}

bool LZForwardRename(std::string& name) {
  TZorelLZObj* current = CurrentLZObj();
  return current != nullptr && current->ForwardRename(name);
}

// The answer of the default context's check-password hook is forgotten too,
// since the function may be installed there.
std::int32_t LZForwardList(TLZReportRec& record, std::int32_t number) {
  TZorelLZObj* current = CurrentLZObj();
  const std::int32_t answer = current != nullptr ? current->ForwardList(record, number) : kStop;
  if (current != nullptr && current->OnListArchive) LZResetProtection();
  return answer;
}

std::int32_t LZForwardView(PZorelLZArchiveHeader directory, std::int32_t number) {
  TZorelLZObj* current = CurrentLZObj();
  const std::int32_t answer = current != nullptr ? current->ForwardView(directory, number) : kStop;
  if (current != nullptr && current->OnViewArchive) LZResetProtection();
  return answer;
}

std::int32_t LZForwardSetPassWord(TLZArchiveHeader& header) {
  TZorelLZObj* current = CurrentLZObj();
  return current != nullptr ? current->ForwardSetPassWord(header) : kLZPasswordAccepted;
}

std::int32_t LZForwardCheckPassWord(const TLZArchiveHeader& header, std::int32_t code) {
  TZorelLZObj* current = CurrentLZObj();
  return current != nullptr ? current->ForwardCheckPassWord(header, code) : kLZPasswordAccepted;
}

std::int32_t LZForwardPromptForDisk(std::int32_t disk_num, std::int32_t total_parts,
                                    std::int32_t needed_space, const char* drive) {
  TZorelLZObj* current = CurrentLZObj();
  return current != nullptr
             ? current->ForwardPromptForDisk(disk_num, total_parts, needed_space, drive)
             : kStopPrompting;
}

}  // namespace zorellz
