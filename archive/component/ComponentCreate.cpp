// The component's operations that write: single compressed files, archives,
// self-extracting files and archives written across disks.
#include <cstdint>

#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {

// Without an output name the derived name is written, always at the maximum
// level.
std::int32_t TZorelLZObj::CompressFile() {
  if (OutputFileName_.empty()) {
    return CompressFileEx();
  }
  return LZCompressFile(*context_, InputFileName_, OutputFileName_, QuestionHook(),
                        CompressionChoice_, ReportHook());
}

std::int32_t TZorelLZObj::CompressFileEx() {
  return LZCompressFileAutoName(*context_, InputFileName_, QuestionHook(), ReportHook());
}

std::int32_t TZorelLZObj::CreateArchive() {
  SpanDiskCount_ = 0;
  if (MakeSFXArchive_) return CreateSFXArchive();
  if (SpanDisks_) return CreateSpanned(ArchiveName_, /*self_extracting=*/false);
  return LZCreateArchive(*context_, ArchiveFileSpecs_, ArchiveName_, RecurseDirs_,
                         CompressionChoice_, ReportHook());
}

std::int32_t TZorelLZObj::CreateSFXArchive() {
  SpanDiskCount_ = 0;
  if (SpanDisks_) return CreateSpanned(SFXArchiveName_, /*self_extracting=*/true);
  return LZCreateSFXArchive(*context_, SFXStub_, ArchiveFileSpecs_, SFXArchiveName_,
                            CompressionChoice_, ReportHook(), RecurseDirs_);
}

// The span parameters start afresh for every build, so that the spanned name
// and the part count always describe the last one.
std::int32_t TZorelLZObj::CreateSpanned(const TLZString& target, bool self_extracting) {
  span_info_ = TLZSpanInfo{};
  span_info_.DiskSize = GetSpanDiskSize();
  span_info_.IsSelfExtracting = self_extracting ? 1 : 0;
  if (self_extracting) span_info_.StubName = SFXStub_;
  const std::int32_t result =
      LZCreateArchiveWithSpanning(*context_, ArchiveFileSpecs_, target, RecurseDirs_, span_info_,
                                  CompressionChoice_, ReportHook());
  SpanDiskCount_ = span_info_.PartsWritten;
  return result;
}

}  // namespace zorellz
