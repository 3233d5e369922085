#include "archive/engine/CopyBytes.h"

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

void Report(const TLZCopyOptions& options, bool on_write, std::size_t count) {
  if (options.Progress && options.Record != nullptr && options.ProgressOnWrite == on_write) {
    options.Progress(*options.Record, static_cast<std::int32_t>(count));
  }
}

}  // namespace

std::int64_t LZCopyBytes(TFile& source, TFile* target, std::int64_t count,
                         const TLZCopyOptions& options) {
  // Not cleared first: every byte used is read into it.
  const auto block = std::make_unique_for_overwrite<std::uint8_t[]>(kLZCopyBlockSize);
  const std::span<std::uint8_t> buffer(block.get(), kLZCopyBlockSize);
  if (options.CRC != nullptr) InitCRC32(*options.CRC);
  std::int64_t copied = 0;
  while (count < 0 || copied < count) {
    const std::size_t chunk =
        count < 0 ? buffer.size()
                  : static_cast<std::size_t>(std::min<std::int64_t>(buffer.size(), count - copied));
    const std::size_t read = source.Read(buffer.data(), chunk);
    if (read > 0 || options.ReportEmptyRead) Report(options, false, read);
    if (options.ShortSourceRaises && count >= 0 && read < chunk) {
      throw EInOutError("Read beyond end of file \"" + source.Path().string() + "\"",
                        kInOutReadPastEnd);
    }
    if (read == 0) break;
    if (target != nullptr) target->Write(buffer.data(), read);
    if (options.CRC != nullptr) UpdateCRC32(*options.CRC, buffer.data(), read);
    Report(options, true, read);
    copied += static_cast<std::int64_t>(read);
  }
  if (options.CRC != nullptr) *options.CRC = FinalCRC32(*options.CRC);
  return copied;
}

}  // namespace zorellz
