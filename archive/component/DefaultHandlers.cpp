// The component's default event handlers: the answers a program gets when
// it assigns no event, the overwrite question that a program may assign, and
// the disk prompt.
#include <array>
#include <cstdint>
#include <string>

#include "archive/codec/ZrlUtils.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/MessageBox.h"

namespace zorellz {
namespace {

constexpr char kOverwriteCaption[] = "ZorelLZ";
constexpr char kOverwriteQuestion[] = "Should I overwrite the existing file?";
constexpr char kLineEnd[] = "\r\n";
constexpr std::size_t kMaxLineLength = 255;
constexpr std::size_t kMaxVersionLength = 8;

constexpr TLZReply kKeepFile = 0;
constexpr TLZReply kOverwriteFile = 1;
constexpr TLZReply kAbortOperation = 2;

// The attribute letters in the order shown, each with the bit that keeps it.
struct TAttributeFlag {
  char Letter;
  std::int32_t Bit;
};
constexpr std::array<TAttributeFlag, 4> kAttributeFlags = {{
    {'H', 0x02},  // hidden
    {'R', 0x01},  // read-only
    {'S', 0x04},  // system
    {'A', 0x20},  // archive
}};

// A line of the description is shown as one short string: whatever passes
// 255 characters is cut, its line end included.
std::string DescriptionLine(std::string text) {
  if (text.size() > kMaxLineLength) text.resize(kMaxLineLength);
  return text;
}

std::string AttributeFlagText(std::int32_t attributes) {
  std::string text;
  for (const TAttributeFlag& flag : kAttributeFlags) {
    text += (attributes & flag.Bit) != 0 ? flag.Letter : '_';
  }
  return text;
}

std::string EntryDescription(const TLZReportRec& entry) {
  const std::string version = entry.FileVersion.substr(0, kMaxVersionLength);
  const std::int32_t ratio = CompressionPercent(entry.CompressedSize, entry.UncompressedSize);
  return DescriptionLine("File Name : " + entry.FileName + kLineEnd) +
         DescriptionLine("Compressed Size  : " + std::to_string(entry.CompressedSize) + " bytes" +
                         kLineEnd) +
         DescriptionLine("Uncompressed Size: " + std::to_string(entry.UncompressedSize) + " bytes" +
                         kLineEnd) +
         DescriptionLine("File Attributes: " + AttributeFlagText(entry.FileAttr) + "  (" +
                         std::to_string(entry.FileAttr) + ")" + kLineEnd) +
         DescriptionLine("File Version : " + version + kLineEnd) +
         DescriptionLine("32-bit CRC: " + LongToHex(entry.FileCRC) + kLineEnd) +
         DescriptionLine("Compression ratio: " + std::to_string(ratio) + "%" + kLineEnd + kLineEnd);
}

TLZReply ReplyToAnswer(int answer) {
  switch (answer) {
    case kMbNo:
      return kKeepFile;
    case kMbCancel:
      return kAbortOperation;
    default:
      // Yes, and a box that could not be shown, replace the file.
      return kOverwriteFile;
  }
}

}  // namespace

std::string LZOverwriteQuestionText(const TLZReportRec& current_record,
                                    const TLZReportRec& existing_record) {
  return "The file \"" + existing_record.FileName + "\" already exists: " + kLineEnd + kLineEnd +
         EntryDescription(current_record) + kOverwriteQuestion;
}

TLZReply TZorelLZObj::ConfirmOverwrite(TZorelLZObj&, const TLZReportRec&, const TLZReportRec&) {
  return kOverwriteFile;
}

TLZReply TZorelLZObj::ConfirmOverwriteW(TZorelLZObj&, const TLZReportRec& current_record,
                                        const TLZReportRec& existing_record) {
  const int answer =
      ShowMessageBox(LZOverwriteQuestionText(current_record, existing_record), kOverwriteCaption,
                     TMsgBoxButtons::kYesNoCancel, TMsgBoxIcon::kQuestion);
  return ReplyToAnswer(answer);
}

std::int32_t TZorelLZObj::ProgressReport(TZorelLZObj&, const TLZReportRec&, std::int32_t) {
  return 1;
}

bool TZorelLZObj::RequestNewName(TZorelLZObj&, TLZString& new_file_name) {
  new_file_name.clear();
  return false;
}

// Listings and views stop after their summary.
std::int32_t TZorelLZObj::ListArchiveContents(TZorelLZObj&, const TLZReportRec&, std::int32_t) {
  return 0;
}

std::int32_t TZorelLZObj::ViewArchiveContents(TZorelLZObj&, PZorelLZArchiveHeader, std::int32_t) {
  return 0;
}

// An archive being created is not protected, and a protected one is refused.
std::int32_t TZorelLZObj::SetPassWord(TZorelLZObj&, TLZArchiveHeader&) {
  return kLZPasswordAccepted;
}

std::int32_t TZorelLZObj::CheckPassWord(TZorelLZObj&, const TLZArchiveHeader&, std::int32_t) {
  return kLZProtectedMarker;
}

bool TZorelLZObj::MatchFileName(TZorelLZObj&, const TLZString& file_spec,
                                const TLZString& the_fname, std::int32_t archive_id) {
  file_match_ = LZGetFileMatch();
  return file_match_(file_spec, the_fname, archive_id);
}

// A disk is never asked to hold more than one part, whatever the caller
// says it needs.
std::int32_t TZorelLZObj::PromptForDisk(TZorelLZObj&, std::int32_t disk_num,
                                        std::int32_t total_parts, std::int32_t needed_space,
                                        const char* drive) {
  return LZAskForDisk(disk_num, total_parts, needed_space, GetSpanDiskSize(), drive);
}

}  // namespace zorellz
