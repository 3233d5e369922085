#include <cstdint>
#include <string>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/EngineState.h"
#include "zorellz/platform/MessageBox.h"

namespace zorellz {
namespace {

constexpr char kPromptCaption[] = "LZ Archive Disk Spanning";
constexpr char kNoSpaceCaption[] = "LZ Archive Disk Spanning Error";
constexpr std::size_t kMaxMessageLength = 255;

std::string InsertDiskMessage(std::int32_t disk_num, std::int32_t total_parts,
                              const std::string& drive) {
  std::string text = "Please insert disk #" + std::to_string(disk_num) + " of " +
                     std::to_string(total_parts) + " into drive " + drive +
                     "\r\n\r\nShould I continue?";
  if (text.size() > kMaxMessageLength) text.resize(kMaxMessageLength);
  return text;
}

bool EnoughSpace(std::int32_t needed_space, std::int32_t space_limit, const std::string& drive) {
  // Reading parts passes -1: there is nothing to write.
  if (needed_space < 1) return true;
  return GetDiskFreeOf(drive) >= MinInt(needed_space, space_limit);
}

}  // namespace

std::int32_t LZDefaultSpanPrompt(std::int32_t disk_num, std::int32_t total_parts,
                                 std::int32_t needed_space, const char* drive) {
  return LZAskForDisk(disk_num, total_parts, needed_space, INT32_MAX, drive);
}

std::int32_t LZAskForDisk(std::int32_t disk_num, std::int32_t total_parts,
                          std::int32_t needed_space, std::int32_t space_limit, const char* drive) {
  const std::string drive_text = drive != nullptr ? drive : "";
  for (;;) {
    int answer = ShowMessageBox(InsertDiskMessage(disk_num, total_parts, drive_text),
                                kPromptCaption, TMsgBoxButtons::kYesNo, TMsgBoxIcon::kQuestion);
    if (answer != kMbYes) return 1;
    if (EnoughSpace(needed_space, space_limit, drive_text)) return 0;
    ShowMessageBox("Insufficient disk space on drive " + drive_text, kNoSpaceCaption,
                   TMsgBoxButtons::kOk, TMsgBoxIcon::kWarning);
  }
}

TLZSpanPromptProc LZSetSpanPromptProc(TLZSpanPromptProc proc) {
  TLZSpanPromptProc installed = proc != nullptr ? proc : LZDefaultSpanPrompt;
  LZDefaultContext().SpanPrompt = installed;
  return installed;
}

}  // namespace zorellz
