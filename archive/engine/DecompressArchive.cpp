// Finding an archive to read: at the header offset, through the trailer of
// the file it is appended to, or by joining the parts of a spanned one.
#include <cstdint>
#include <string>

#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/SpanRead.h"
#include "archive/engine/WorkFile.h"
#include "archive/engine/ZorelLZ.h"
#include "platform/File.h"

namespace zorellz {
namespace {

std::int32_t RunOnJoinedParts(const std::string& file_name, const TLZArchiveHeader& header,
                              TLZReportProc report, const TLZArchiveOperation& operation) {
  std::string joined_name;
  const std::int32_t joined = LZJoinSpannedArchive(file_name, header, report, joined_name);
  if (joined != 0) return joined;
  // Removed on every way out.
  const TWorkFileGuard joined_file(joined_name);
  // The joined file is the archive file as it was before it was split, so
  // its header lies where the first part's header says.
  LZSetHeaderOffset(header.Trailer.ArchiveOffset);
  TLZArchiveHeader joined_header;
  const std::int32_t located = LZLocateArchive(joined_file.Path().string(), joined_header);
  if (located < 0 || LZIsSpannedHeader(joined_header)) return kLZJoinedArchiveInvalid;
  if (located > 0) LZSetHeaderOffset(joined_header.Trailer.ArchiveOffset);
  return operation(joined_file.Path().string());
}

}  // namespace

std::int32_t LZDecompressArchive(const std::string& archive_name, const std::string& target_folder,
                                 TLZQuestionProc question, TLZReportProc report,
                                 TLZRenameProc rename, bool dearchive_recurse,
                                 bool extract_unexpanded) {
  TLZProtectionScope protection;
  TLZArchiveHeader header;
  const std::int32_t located = LZLocateArchive(archive_name, header);
  if (located < 0) return kLZNotAnArchive;
  return LZRunOnLocatedArchive(
      archive_name, header, located, report, [&](const std::string& file_name) {
        return LZExtractArchive(file_name, target_folder, question, report, rename,
                                dearchive_recurse, extract_unexpanded);
      });
}

std::int32_t LZRunOnLocatedArchive(const std::string& file_name, const TLZArchiveHeader& header,
                                   std::int32_t located, TLZReportProc report,
                                   const TLZArchiveOperation& operation) {
  TLZRestore<std::int32_t> header_offset(LZEngine().HeaderOffset);
  if (LZIsSpannedHeader(header)) return RunOnJoinedParts(file_name, header, report, operation);
  if (located > 0) LZSetHeaderOffset(header.Trailer.ArchiveOffset);
  return operation(file_name);
}

}  // namespace zorellz
