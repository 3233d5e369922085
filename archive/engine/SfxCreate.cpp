// A self-extracting file: the stub copied byte for byte, an archive behind
// it whose trailer says where it starts.  The whole file is written beside
// its target and takes its name only when it is complete.
#include <limits>

#include "archive/engine/CreateWrite.h"
#include "platform/PendingFile.h"
#include "platform/WorkFiles.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {

std::int32_t LZCreateSFXArchive(const std::string& stub_name, const std::string& file_specs,
                                const std::string& out_name, TLZCompressionChoices compression,
                                TLZReportProc report, TLZRecurse recurse) {
  return LZCreateSFXArchive(LZDefaultContext(), stub_name, file_specs, out_name, compression,
                            report, recurse);
}

std::int32_t LZCreateSFXArchive(TLZContext& context, const std::string& stub_name,
                                const std::string& file_specs, const std::string& out_name,
                                TLZCompressionChoices compression, TLZReportHook report,
                                TLZRecurse recurse) {
  const TLZBuildPlace place{.Output = out_name, .ReportedName = out_name, .OtherOutputs = {}};
  return LZCreateSFXArchiveAt(context, stub_name, file_specs, place, compression, std::move(report),
                              recurse);
}

std::int32_t LZCreateSFXArchiveAt(TLZContext& context, const std::string& stub_name,
                                  const std::string& file_specs, const TLZBuildPlace& place,
                                  TLZCompressionChoices compression, TLZReportHook report,
                                  TLZRecurse recurse) {
  TLZProtectionScope protection(context);
  const std::string& out_name = place.Output;
  if (stub_name.empty() || out_name.empty() || place.ReportedName.empty() ||
      !FileExists(stub_name)) {
    return kLZNoFile;
  }
  TFile stub;
  if (!stub.Open(stub_name, TFile::TMode::kReadDenyWrite)) return kLZCannotOpenSFX;
  // Writing the output would replace the stub while it is being read, and
  // placing it where the caller asked would replace the stub afterwards.
  if (IsSameFile(stub_name, out_name) || IsSameFile(stub_name, place.ReportedName)) {
    return kLZCannotCreateOutput;
  }
  ReclaimStaleWorkFiles(std::filesystem::path(out_name).parent_path());
  TPendingFile pending;
  pending.SetSync(context.Durable);
  if (!pending.Create(out_name)) return kLZCannotCreateOutput;
  pending.MakeProgramLike(stub_name);

  const std::int64_t stub_length = LZCopyFileBytes(stub, pending.File(), -1);
  stub.Close();
  // The trailer records where the archive starts in 32 bits.
  if (stub_length > std::numeric_limits<std::int32_t>::max()) return kLZCannotOpenSFX;

  TLZHeaderOffsetScope offset(context, static_cast<std::int32_t>(stub_length));
  TLZCodecSession codec(context.Codecs, compression);
  const TLZCreateRequest request =
      LZParseCreateRequest(file_specs, place, recurse, compression, std::move(report));
  return LZBuildArchive(context, pending, request);
}

}  // namespace zorellz
