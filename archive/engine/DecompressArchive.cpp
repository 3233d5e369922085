// Finding the archive to extract: at the header offset, through the trailer
// of the file it is appended to, or by joining the parts of a spanned one.
#include <cstdint>
#include <string>

#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/SpanRead.h"
#include "archive/engine/ZorelLZ.h"
#include "platform/File.h"

namespace zorellz {
namespace {

// The arguments handed through to LZExtractArchive.
struct TLZExtractRequest {
  std::string TargetFolder;
  TLZQuestionProc Question;
  TLZReportProc Report;
  TLZRenameProc Rename;
  bool Recurse;
  bool Unexpanded;
};

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

// `located` is LZLocateArchive's answer: an archive found through its
// trailer is read with the header offset at its ArchiveOffset.  The caller
// restores the offset.
std::int32_t ExtractLocated(const std::string& archive_name, const TLZArchiveHeader& header,
                            std::int32_t located, const TLZExtractRequest& request) {
  if (located > 0) LZSetHeaderOffset(header.Trailer.ArchiveOffset);
  return LZExtractArchive(archive_name, request.TargetFolder, request.Question, request.Report,
                          request.Rename, request.Recurse, request.Unexpanded);
}

std::int32_t ExtractSpanned(const std::string& archive_name, const TLZArchiveHeader& header,
                            const TLZExtractRequest& request) {
  std::string joined_name;
  const std::int32_t joined =
      LZJoinSpannedArchive(archive_name, header, request.Report, joined_name);
  if (joined != 0) return joined;
  const TWorkFile joined_file(joined_name);
  // The joined file is the archive file as it was before it was split, so
  // its header lies where the first part's header says.
  LZSetHeaderOffset(header.Trailer.ArchiveOffset);
  TLZArchiveHeader joined_header;
  const std::int32_t located = LZLocateArchive(joined_file.Name(), joined_header);
  if (located < 0) return kLZJoinedArchiveInvalid;
  return ExtractLocated(joined_file.Name(), joined_header, located, request);
}

}  // namespace

std::int32_t LZDecompressArchive(const std::string& archive_name, const std::string& target_folder,
                                 TLZQuestionProc question, TLZReportProc report,
                                 TLZRenameProc rename, bool dearchive_recurse,
                                 bool extract_unexpanded) {
  TLZProtectionScope protection;
  TLZRestore<std::int32_t> header_offset(LZEngine().HeaderOffset);
  const TLZExtractRequest request{target_folder, question,          report,
                                  rename,        dearchive_recurse, extract_unexpanded};
  TLZArchiveHeader header;
  const std::int32_t located = LZLocateArchive(archive_name, header);
  if (located < 0) return kLZNotAnArchive;
  if (LZIsSpannedHeader(header)) return ExtractSpanned(archive_name, header, request);
  return ExtractLocated(archive_name, header, located, request);
}

}  // namespace zorellz
