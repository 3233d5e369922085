// Finding an archive to read: at the header offset, through the trailer of
// the file it is appended to, or by joining the parts of a spanned one.
#include <cstdint>
#include <string>
#include <utility>

#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/SpanRead.h"
#include "archive/engine/ZorelLZ.h"
#include "platform/File.h"

namespace zorellz {
namespace {

// The joined work file of a spanned archive, removed on every way out.
class TWorkFile {
 public:
  explicit TWorkFile(std::string name) : name_(std::move(name)) {}
  ~TWorkFile() { DeleteFileNative(name_); }
  TWorkFile(const TWorkFile&) = delete;
  TWorkFile& operator=(const TWorkFile&) = delete;
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

std::int32_t RunOnJoinedParts(const std::string& file_name, const TLZArchiveHeader& header,
                              TLZReportProc report, const TLZArchiveOperation& operation) {
  std::string joined_name;
  const std::int32_t joined = LZJoinSpannedArchive(file_name, header, report, joined_name);
  if (joined != 0) return joined;
  const TWorkFile joined_file(joined_name);
  // The joined file is the archive file as it was before it was split, so
  // its header lies where the first part's header says.
  LZSetHeaderOffset(header.Trailer.ArchiveOffset);
  TLZArchiveHeader joined_header;
  const std::int32_t located = LZLocateArchive(joined_file.Name(), joined_header);
  if (located < 0 || LZIsSpannedHeader(joined_header)) return kLZJoinedArchiveInvalid;
  if (located > 0) LZSetHeaderOffset(joined_header.Trailer.ArchiveOffset);
  return operation(joined_file.Name());
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
