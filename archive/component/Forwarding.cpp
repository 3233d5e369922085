// The plain functions installed as the engine's hooks.  Each passes the
// engine's call on to the current instance's event; without an instance or
// an event it gives the answer that lets the engine go on by itself.
#include <cstdint>
#include <string>

#include "archive/component/ZRLLZSS.h"
#include "archive/engine/ZorelLZ.h"

namespace zorellz {
namespace {

constexpr TLZReply kDefaultReply = 1;  // overwrite
constexpr std::int32_t kGoOn = 1;
constexpr std::int32_t kStop = 0;
constexpr std::int32_t kStopPrompting = 1;

// The current instance when it has `event` assigned, else nullptr.
template <typename Event>
TZorelLZObj* ListenerOf(Event TZorelLZObj::*event) {
  TZorelLZObj* current = CurrentLZObj();
  return (current != nullptr && current->*event) ? current : nullptr;
}

}  // namespace

TLZReply LZForwardQuestion(const TLZReportRec& current, const TLZReportRec& existing) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnConfirmOverwrite);
  if (listener == nullptr) return kDefaultReply;
  return listener->OnConfirmOverwrite(*listener, current, existing);
}

// A report handler cannot stop the engine: its answer is not passed on.
std::int32_t LZForwardReport(TLZReportRec& record, std::int32_t code) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnProgressReport);
  if (listener != nullptr) listener->OnProgressReport(*listener, record, code);
  return kGoOn;
}

bool LZForwardRename(std::string& name) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnSeekToReName);
  return listener != nullptr && listener->OnSeekToReName(*listener, name);
}

// The listing and view handlers may look at other archives; whatever the
// check-password hook answered for them is forgotten afterwards.
std::int32_t LZForwardList(TLZReportRec& record, std::int32_t number) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnListArchive);
  if (listener == nullptr) return kStop;
  const std::int32_t answer = listener->OnListArchive(*listener, record, number);
  LZResetProtection();
  return answer;
}

std::int32_t LZForwardView(PZorelLZArchiveHeader directory, std::int32_t number) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnViewArchive);
  if (listener == nullptr) return kStop;
  const std::int32_t answer = listener->OnViewArchive(*listener, directory, number);
  LZResetProtection();
  return answer;
}

std::int32_t LZForwardSetPassWord(TLZArchiveHeader& header) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnRequestPassWord);
  if (listener == nullptr) return kLZPasswordAccepted;
  return listener->OnRequestPassWord(*listener, header);
}

std::int32_t LZForwardCheckPassWord(const TLZArchiveHeader& header, std::int32_t code) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnCheckPassWord);
  if (listener == nullptr) return kLZPasswordAccepted;
  return listener->OnCheckPassWord(*listener, header, code);
}

std::int32_t LZForwardPromptForDisk(std::int32_t disk_num, std::int32_t total_parts,
                                    std::int32_t needed_space, const char* drive) {
  TZorelLZObj* listener = ListenerOf(&TZorelLZObj::OnPromptForDisk);
  if (listener == nullptr) return kStopPrompting;
  return listener->OnPromptForDisk(*listener, disk_num, total_parts, needed_space, drive);
}

}  // namespace zorellz
