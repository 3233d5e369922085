// Archives appended to a program: extracting them in place (and starting the
// command they carry), and copying them out into a plain archive file.
#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "archive/engine/ExtractPass.h"
#include "platform/Names.h"
#include "platform/PendingFile.h"
#include "platform/System.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

// LZCopyBlock copying everything after the header, reporting nothing.
constexpr std::int64_t kToTheEnd = -1;

// A run command whose first character is this byte means "no command".
constexpr std::uint8_t kNoRunCommand = 0xFF;

// The stored command text up to its first NUL; empty when there is none.
std::string RunCommandText(const TLZArchiveHeader& header) {
  const TShortField<12>& field = header.Trailer.RunCommand;
  if (field.Length() == 0 || field.Bytes[1] == kNoRunCommand) return std::string();
  std::string text = field.Get();
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  return Cp1252ToUtf8(text);
}

// Sees what an extraction went through that its result does not show: the
// user cancelling at a question, or an entry that failed.
class TExtractionWatch {
 public:
  TExtractionWatch(TLZQuestionHook question, TLZReportHook report)
      : question_(std::move(question)), report_(std::move(report)) {}
  TExtractionWatch(const TExtractionWatch&) = delete;
  TExtractionWatch& operator=(const TExtractionWatch&) = delete;

  TLZQuestionHook Question() {
    if (!question_) return nullptr;
    return [this](const TLZReportRec& current, const TLZReportRec& existing) {
      const std::uint8_t answer = question_(current, existing);
      if (answer == 2) cancelled_ = true;
      return answer;
    };
  }
  TLZReportHook Report() {
    return [this](TLZReportRec& record, std::int32_t code) {
      if (code == kLZCRCMismatch) entry_failed_ = true;
      return report_ ? report_(record, code) : 0;
    };
  }
  bool SawNoFailure() const { return !cancelled_ && !entry_failed_; }

 private:
  TLZQuestionHook question_;
  TLZReportHook report_;
  bool cancelled_ = false;
  bool entry_failed_ = false;
};

// The header of the archive as it will stand at the start of its own file.
void CopyHeaderToOffsetZero(TFile& sfx, TFile& out) {
  std::array<std::uint8_t, TLZArchiveHeader::kSize> bytes{};
  sfx.ReadExact(bytes.data(), bytes.size());
  TLZArchiveHeader header;
  header.Read(bytes.data());
  header.Trailer.ArchiveOffset = 0;
  header.Write(bytes.data());
  out.Write(bytes.data(), bytes.size());
}

// The appended archive of a file, checked for being one that can be copied
// out: 0 and `header`, or a negative result.
std::int32_t LocateAppendedArchive(TLZContext& context, const std::string& sfx_name,
                                   TLZArchiveHeader& header) {
  if (LZLocateArchive(context, sfx_name, header) <= 0) return kLZNoArchiveInFile;
  if (LZIsSpannedHeader(header)) return kLZSpannedEmbedded;
  return 0;
}

}  // namespace

std::int32_t LZDecompressSFXArchive(const std::string& file_name, const std::string& target_folder,
                                    TLZQuestionProc question, TLZReportProc report,
                                    TLZRenameProc rename, bool dearchive_recurse,
                                    bool extract_unexpanded) {
  return LZDecompressSFXArchive(LZDefaultContext(), file_name, target_folder, question, report,
                                rename, dearchive_recurse, extract_unexpanded);
}

std::int32_t LZDecompressSFXArchive(TLZContext& context, const std::string& file_name,
                                    const std::string& target_folder, TLZQuestionHook question,
                                    TLZReportHook report, TLZRenameHook rename,
                                    bool dearchive_recurse, bool extract_unexpanded) {
  TLZProtectionScope protection_scope(context);
  TLZArchiveHeader header;
  if (LZLocateArchive(context, file_name, header) < 0) return kLZNoArchiveInFile;
  const std::string command = RunCommandText(header);
  TExtractionWatch watch(std::move(question), std::move(report));
  const std::int32_t result =
      LZDecompressArchive(context, file_name, target_folder, watch.Question(), watch.Report(),
                          std::move(rename), dearchive_recurse, extract_unexpanded);
  // The command usually installs what was extracted: never after a part of it.
  if (result > 0 && watch.SawNoFailure() && !command.empty()) StartCommand(command);
  return result;
}

std::int32_t LZExtractArchiveFromSFX(const std::string& sfx_name, const std::string& archive_name) {
  return LZExtractArchiveFromSFX(LZDefaultContext(), sfx_name, archive_name);
}

std::int32_t LZExtractArchiveFromSFX(TLZContext& context, const std::string& sfx_name,
                                     const std::string& archive_name) {
  if (sfx_name.empty() || archive_name.empty() || !FileExists(sfx_name)) return kLZNoFile;
  TLZProtectionScope protection_scope(context);
  TLZArchiveHeader header;
  if (std::int32_t located = LocateAppendedArchive(context, sfx_name, header); located < 0) {
    return located;
  }
  // Committing over the input would replace the archive with its own copy.
  if (IsSameFile(sfx_name, archive_name)) return kLZCannotCreateOutput;

  TFile sfx;
  if (!sfx.Open(sfx_name, TFile::TMode::kReadDenyWrite)) return kLZCannotOpenSFX;
  if (!sfx.Seek(header.Trailer.ArchiveOffset)) return kLZCannotSeekEmbedded;
  // The count is returned as an Int32, like every size of the format.
  if (sfx.Size() - header.Trailer.ArchiveOffset > std::numeric_limits<std::int32_t>::max()) {
    return kLZNoArchiveInFile;
  }
  TPendingFile out;
  if (!out.Create(archive_name)) return kLZCannotCreateOutput;

  CopyHeaderToOffsetZero(sfx, out.File());
  const std::int64_t written =
      static_cast<std::int64_t>(TLZArchiveHeader::kSize) +
      LZCopyBlockCRC(context, sfx, &out.File(), kToTheEnd, LZNoProgress, nullptr);
  if (!out.Commit()) return kLZCannotCreateOutput;
  return static_cast<std::int32_t>(written);
}

}  // namespace zorellz
