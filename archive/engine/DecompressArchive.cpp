// Finding an archive to read: at the header offset, through the trailer of
// the file it is appended to, or by joining the parts of a spanned one.
#include <cstdint>
#include <string>

#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/SpanRead.h"
#include "archive/engine/WorkFile.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

std::int32_t RunOnJoinedParts(TLZContext& context, const std::string& file_name,
                              const TLZArchiveHeader& header, const TLZReportHook& report,
                              const TLZArchiveOperation& operation) {
  std::string joined_name;
  const std::int32_t joined = LZJoinSpannedArchive(context, file_name, header, report, joined_name);
  if (joined != 0) return joined;
  // Removed on every way out.
  const TWorkFileGuard joined_file(joined_name);
  // The joined file is the archive file as it was before it was split, so
  // its header lies where the first part's header says.
  context.HeaderOffset = header.Trailer.ArchiveOffset;
  TLZArchiveHeader joined_header;
  const std::int32_t located = LZLocateArchive(context, joined_file.Path().string(), joined_header);
  if (located < 0 || LZIsSpannedHeader(joined_header)) return kLZJoinedArchiveInvalid;
  if (located > 0) context.HeaderOffset = joined_header.Trailer.ArchiveOffset;
  return operation(joined_file.Path().string());
}

}  // namespace

std::int32_t LZDecompressArchive(const std::string& archive_name, const std::string& target_folder,
                                 TLZQuestionProc question, TLZReportProc report,
                                 TLZRenameProc rename, bool dearchive_recurse,
                                 bool extract_unexpanded) {
  return LZDecompressArchive(LZDefaultContext(), archive_name, target_folder, question, report,
                             rename, dearchive_recurse, extract_unexpanded);
}

std::int32_t LZDecompressArchive(TLZContext& context, const std::string& archive_name,
                                 const std::string& target_folder, TLZQuestionHook question,
                                 TLZReportHook report, TLZRenameHook rename, bool dearchive_recurse,
                                 bool extract_unexpanded) {
  TLZProtectionScope protection(context);
  TLZArchiveHeader header;
  const std::int32_t located = LZLocateArchive(context, archive_name, header);
  if (located < 0) return kLZNotAnArchive;
  return LZRunOnLocatedArchive(
      context, archive_name, header, located, report, [&](const std::string& file_name) {
        return LZExtractArchive(context, file_name, target_folder, question, report, rename,
                                dearchive_recurse, extract_unexpanded);
      });
}

std::int32_t LZRunOnLocatedArchive(TLZContext& context, const std::string& file_name,
                                   const TLZArchiveHeader& header, std::int32_t located,
                                   const TLZReportHook& report,
                                   const TLZArchiveOperation& operation) {
  TLZRestore<std::int32_t> header_offset(context.HeaderOffset);
  if (LZIsSpannedHeader(header)) {
    return RunOnJoinedParts(context, file_name, header, report, operation);
  }
  if (located > 0) context.HeaderOffset = header.Trailer.ArchiveOffset;
  return operation(file_name);
}

}  // namespace zorellz
