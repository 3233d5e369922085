#include "archive/engine/OperationScope.h"

#include "archive/codec/ZrlUtils.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlErrors.h"

namespace zorellz {

TLZCodecSession::TLZCodecSession(TLZCodecSet& codecs, std::uint8_t level) : codecs_(codecs) {
  // A failed preparation has nothing to release, and releasing could free
  // a codec that another stream holds.
  if (!codecs_.Init(level)) RaiseLZError(TLZErrorClass::kError, kMsgInitFailed);
}

std::string LZFileVersionText(const std::string& file_name) {
  constexpr std::size_t kLongestVersion = 8;
  std::string version = GetFileVersionString(file_name, "FileVersion");
  if (version.empty()) return "0";
  return version.substr(0, kLongestVersion);
}

}  // namespace zorellz
